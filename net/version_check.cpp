// Version check. (To be built.)
#include "net/version_check.h"

namespace corvane {

int CheckVersion() { return 0; }
std::uint32_t VersionCheckThread(void*) {
  CheckVersion();
  return 0;
}

}  // namespace corvane
