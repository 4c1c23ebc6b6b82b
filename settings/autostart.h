// The autostart entry: the Run value is a command line, which the shell splits
// at blanks unless the path is quoted.
#pragma once
#include <string>
#include <string_view>

namespace corvane {

// What the Run value holds for an executable at exePath: the path in quotes.
std::u16string AutostartCommand(std::u16string_view exePath);

// The executable a Run value starts: the text between the quotes of a quoted
// value, or the whole of a bare one (what earlier builds wrote), blanks around
// it dropped. Empty for an empty value or a quote that is never closed.
std::u16string AutostartPath(std::u16string_view command);

// True when commandLine (the process's whole command line) is exePath written
// bare: a start from an unquoted Run value, which the platform's parsing would
// split into arguments that are no file at all. Compared as the file system
// compares names, without regard to case.
bool IsBareStartOf(std::u16string_view commandLine, std::u16string_view exePath);

// True when this process was started that way.
bool StartedFromBareRunValue();

// True when the data of our value under Explorer's StartupApproved\Run key says
// the user turned the entry off in Windows' startup settings (an odd first byte).
bool StartupDisabledBy(std::string_view data);

}  // namespace corvane
