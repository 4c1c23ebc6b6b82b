// Settings store, autostart and the save folder. (To be built.)
#include "settings/settings.h"

namespace corvane {

Settings settings{};

void LoadSettings() {}
void SetVersionCheck(bool on) { settings.versionCheck = on; }
void SetQuickCapture(bool on) { settings.quickCapture = on; }
void SetAutostart(bool on) { settings.autostart = on; }
void SetDefaultSaveFolder() {}
void StoreSaveFolder() {}
void ChooseSaveFolder() {}

}  // namespace corvane
