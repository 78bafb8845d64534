#include "settings/windows_directory.h"

#include <windows.h>

#include "settings/windows_directory_rule.h"

std::string windowsDirectory()
{
    return resolveWindowsDirectory([](char* buffer, uint32_t capacity) -> uint32_t {
        return GetWindowsDirectoryA(buffer, capacity);
    });
}
