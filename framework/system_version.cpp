#include "framework/system_version.h"

SystemVersion systemVersion()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        return {};
    return {version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion};
}
