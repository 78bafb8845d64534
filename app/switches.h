// The command line's switch decides what the process does. Pure.
#pragma once
#include <optional>
#include <string>
#include <string_view>

enum class SaverMode { Saver, Configure, ChangePassword, None };

// The first argument after the program's name in a Windows command line, or
// nothing when there is none. Arguments are separated by blanks and control
// characters; double quotes group blanks into an argument and are removed.
std::optional<std::string> firstArgument(std::string_view commandLine);

// The switch text: letters a-z turned into A-Z, nothing else changed.
std::string switchText(std::string_view argument);

// "/S" as the whole text starts the saver; "/C" and "/A" as the whole text or
// as its first two characters configure and change the password; anything
// else (the preview switch "/P" too) does nothing.
SaverMode modeForSwitch(std::string_view argument);
