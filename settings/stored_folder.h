// The stored save folder judged from its raw registry data. Pure: no platform
// calls, no process-wide state, so that it is tested and fuzzed on its own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

// The folder held by "ReDoda" data of the given registry type, or empty when
// the data cannot name a folder: not REG_SZ or REG_EXPAND_SZ, an odd byte count
// (not whole UTF-16), no text before its first null, text of capacity or more
// characters (no room for the terminator), or a unit that no Windows path holds
// (a control character, < > " | ? *). The text ends at its first null; stored
// data need not carry one.
std::u16string StoredSaveFolder(std::uint32_t type, std::string_view bytes, std::size_t capacity);

// Whether folder names a folder by its full path: a drive letter, a colon and
// a backslash ("D:\Shots"), or a share ("\\server\share\Shots"). Anything else
// ("Shots\", "C:Shots", "\Shots", "%VAR%\Shots" left unexpanded) would be taken
// relative to the current folder or drive, which is the program's own.
bool IsFullPath(std::u16string_view folder);

}  // namespace corvane
