// The version check, run once at start-up on a thread of its own.
#pragma once
#include <cstdint>

namespace corvane {

int CheckVersion();
std::uint32_t VersionCheckThread(void* ignored);

}  // namespace corvane
