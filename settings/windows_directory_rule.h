// How the Windows directory is asked for, apart from the system call. Pure.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

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
