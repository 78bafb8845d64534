// What the system says of itself: its family and version (GetVersionExA),
// which decide what the program may ask of it.
#pragma once
#include <windows.h>

struct SystemVersion {
    DWORD platformId = 0;   // VER_PLATFORM_WIN32_NT or _WINDOWS (9x); 0 when the system does not say
    DWORD major = 0;
    DWORD minor = 0;
    bool ntFamily() const { return platformId == VER_PLATFORM_WIN32_NT; }
};

SystemVersion systemVersion();
