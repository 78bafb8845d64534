// The Windows directory, where every data file of the program lives: the
// directory the system reports for Windows itself, or "c:\windows" when the
// system cannot say. The rule is pure (windows_directory_rule.cpp, tested
// natively with the system call replaced); windows_directory.cpp asks the
// system.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// GetWindowsDirectoryA's contract: fills buffer (capacity bytes) and returns
// the path's length without the terminating zero; when the path does not fit,
// returns the capacity it needs (with the zero) and leaves the buffer alone;
// 0 on failure.
using DirectoryQuery = std::function<uint32_t(char* buffer, uint32_t capacity)>;

inline constexpr const char* fallbackWindowsDirectory = "c:\\windows";

// Asks with a zeroed 256-byte buffer and a capacity of 200. A path that needs
// more is asked for again with a buffer of the size it needs (a few times, in
// case it keeps changing), so a long directory is returned whole rather than
// as a cleared buffer. A failing call gives "c:\windows".
std::string resolveWindowsDirectory(const DirectoryQuery& query);

// Win32 (windows_directory.cpp).
//
// The directory as the system reports it (normally without a trailing
// backslash), or "c:\windows" when the system cannot say. Never fails.
std::string windowsDirectory();

// The full path of the data file of that name: the Windows directory, "\"
// and the name.
std::string dataFilePath(std::string_view fileName);
