#include "settings/windows_directory.h"

#include <windows.h>

#include "framework/paths.h"

std::string windowsDirectory()
{
    return resolveWindowsDirectory([](char* buffer, uint32_t capacity) -> uint32_t {
        return GetWindowsDirectoryA(buffer, capacity);
    });
}

std::string dataFilePath(std::string_view fileName)
{
    return joinPath(windowsDirectory(), fileName);
}
