#include "framework/dpi_awareness.h"

#include <windows.h>

#include <string>

#include "framework/files.h"
#include "framework/paths.h"
#include "framework/scoped.h"

namespace {

// DPI_AWARENESS_CONTEXT values (Windows 10); the headers for Windows 95 know none.
HANDLE const systemAwareContext = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-2));
HANDLE const perMonitorAwareContext = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
HANDLE const perMonitorAwareV2Context = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
// PROCESS_DPI_AWARENESS values (Windows 8.1).
constexpr int processSystemDpiAware = 1;
constexpr int processPerMonitorDpiAware = 2;
constexpr HRESULT accessDenied = static_cast<HRESULT>(0x80070005L);   // already declared

using SetContextFunction = BOOL(WINAPI*)(HANDLE);
using SetAwarenessFunction = HRESULT(WINAPI*)(int);
using SetAwareFunction = BOOL(WINAPI*)();

// Whether the context was set now or had been set before (by a manifest, an
// earlier call, or Wine, which starts every program per-monitor aware). An
// awareness already set is final; asking the older functions again would only
// cost the load of shcore.dll.
bool setContext(SetContextFunction set, HANDLE context)
{
    return set(context) != FALSE || GetLastError() == ERROR_ACCESS_DENIED;
}

bool setAwarenessContext(HMODULE user32, DpiAwareness awareness)
{
    auto set = lookUp<SetContextFunction>(user32, "SetProcessDpiAwarenessContext");
    if (!set)
        return false;
    if (awareness == DpiAwareness::SystemDpi)
        return setContext(set, systemAwareContext);
    // Version 2 also scales the system's own parts (menus, message boxes); the
    // first Windows 10 releases know only version 1 and refuse version 2 as an
    // invalid parameter.
    return setContext(set, perMonitorAwareV2Context) || setContext(set, perMonitorAwareContext);
}

}

bool declareDpiAwarenessThroughShcore(DpiAwareness awareness)
{
    // By its full path: a library of that name in the program's or the
    // current directory would otherwise be loaded and run in its place.
    ScopedLibrary shcore(systemLibraryPath(systemDirectory(), "shcore.dll"));
    auto set = shcore.entry<SetAwarenessFunction>("SetProcessDpiAwareness");
    if (!set)
        return false;
    const HRESULT result = set(awareness == DpiAwareness::PerMonitor ? processPerMonitorDpiAware
                                                                     : processSystemDpiAware);
    return result == S_OK || result == accessDenied;
}

bool declareDpiAwareness(DpiAwareness awareness)
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (setAwarenessContext(user32, awareness) || declareDpiAwarenessThroughShcore(awareness))
        return true;
    auto setAware = lookUp<SetAwareFunction>(user32, "SetProcessDPIAware");
    return setAware && setAware() != FALSE;
}

namespace {

using DpiForMonitorFunction = HRESULT(WINAPI*)(HANDLE, int, UINT*, UINT*);

// GetDpiForMonitor of shcore.dll (Windows 8.1 and later), loaded from the
// system directory while it lives, as for the awareness.
class MonitorDpiSource {
public:
    MonitorDpiSource()
    {
        const std::string path = systemLibraryPath(systemDirectory(), "shcore.dll");
        if (!path.empty())
            shcore_ = LoadLibraryA(path.c_str());
        if (shcore_)
            dpiForMonitor_ = lookUp<DpiForMonitorFunction>(shcore_, "GetDpiForMonitor");
    }
    ~MonitorDpiSource()
    {
        if (shcore_)
            FreeLibrary(shcore_);
    }
    MonitorDpiSource(const MonitorDpiSource&) = delete;
    MonitorDpiSource& operator=(const MonitorDpiSource&) = delete;

    // The monitor's own pixels per inch, 0 where the system does not say.
    int dpiOf(HANDLE monitor) const
    {
        constexpr int effectiveDpi = 0;   // MDT_EFFECTIVE_DPI
        UINT x = 0, y = 0;
        if (!dpiForMonitor_ || !monitor || dpiForMonitor_(monitor, effectiveDpi, &x, &y) != S_OK)
            return 0;
        return static_cast<int>(x);
    }

private:
    HMODULE shcore_ = nullptr;
    DpiForMonitorFunction dpiForMonitor_ = nullptr;
};

int screenDpi()
{
    ScopedGetDC screen(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    return dpi > 0 ? dpi : 96;
}

// MONITORINFO, which the headers for Windows 95 do not name.
struct MonitorInfo {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};
constexpr DWORD primaryMonitorFlag = 1;   // MONITORINFOF_PRIMARY

using MonitorEnumProc = BOOL(CALLBACK*)(HANDLE, HDC, RECT*, LPARAM);
using EnumDisplayMonitorsFunction = BOOL(WINAPI*)(HDC, const RECT*, MonitorEnumProc, LPARAM);
using GetMonitorInfoFunction = BOOL(WINAPI*)(HANDLE, MonitorInfo*);

struct MonitorListing {
    GetMonitorInfoFunction monitorInfo;
    const MonitorDpiSource& dpis;
    int fallbackDpi;
    std::vector<SystemMonitor> monitors;
};

BOOL CALLBACK listMonitor(HANDLE monitor, HDC, RECT*, LPARAM data)
{
    auto& listing = *reinterpret_cast<MonitorListing*>(data);
    MonitorInfo info{};
    info.cbSize = sizeof info;
    if (listing.monitorInfo(monitor, &info)) {
        const int own = listing.dpis.dpiOf(monitor);
        listing.monitors.push_back({info.rcMonitor, (info.dwFlags & primaryMonitorFlag) != 0,
                                    own > 0 ? own : listing.fallbackDpi});
    }
    return TRUE;
}

}

int primaryMonitorDpi()
{
    using MonitorFromPointFunction = HANDLE(WINAPI*)(POINT, DWORD);
    constexpr DWORD defaultToPrimary = 1;   // MONITOR_DEFAULTTOPRIMARY
    const auto monitorFromPoint = lookUp<MonitorFromPointFunction>(GetModuleHandleA("user32.dll"), "MonitorFromPoint");
    if (monitorFromPoint) {
        // The primary monitor holds the screen's origin.
        const MonitorDpiSource dpis;
        if (const int dpi = dpis.dpiOf(monitorFromPoint(POINT{0, 0}, defaultToPrimary)); dpi > 0)
            return dpi;
    }
    return screenDpi();
}

std::vector<SystemMonitor> systemMonitors()
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    const auto enumerate = lookUp<EnumDisplayMonitorsFunction>(user32, "EnumDisplayMonitors");
    const auto monitorInfo = lookUp<GetMonitorInfoFunction>(user32, "GetMonitorInfoA");
    if (!enumerate || !monitorInfo)
        return {};
    const MonitorDpiSource dpis;
    MonitorListing listing{monitorInfo, dpis, screenDpi(), {}};
    if (!enumerate(nullptr, nullptr, listMonitor, reinterpret_cast<LPARAM>(&listing)))
        return {};
    return listing.monitors;
}

int systemDpi()
{
    ScopedGetDC screen(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}
