#include "app/recent_menu.h"
namespace corvane {
void runSettingsDialog() {}
}
