// The process's DPI awareness, declared at run time before any window exists,
// so a scaled display (125 % and up) shows the program's windows sharp in
// physical pixels instead of stretching them; and the system's DPI, by which
// the dialogs scale their design.
#pragma once
#include <windows.h>

#include <vector>

enum class DpiAwareness {
    SystemDpi,    // one DPI for the whole session: the dialogs scale by it
    PerMonitor,   // physical pixels on every monitor: the full-screen saver
};

// Declares the awareness with the best function the system has:
// SetProcessDpiAwarenessContext (Windows 10), SetProcessDpiAwareness
// (Windows 8.1), SetProcessDPIAware (Vista). Each is looked up at run time;
// where none exists (Windows 9x, NT 4.0, 2000, XP) nothing changes, and an
// awareness the process already has is kept. Returns whether one succeeded.
bool declareDpiAwareness(DpiAwareness awareness);

// The Windows 8.1 way alone, which declareDpiAwareness takes where the
// Windows 10 function is missing: SetProcessDpiAwareness of shcore.dll, the
// library loaded from the system directory only. False where there is none.
bool declareDpiAwarenessThroughShcore(DpiAwareness awareness);

// The system's pixels per inch (LOGPIXELSY of the screen): 96 at 100 %.
int systemDpi();

// The primary monitor's pixels per inch, by which the saver scales its
// flights: the monitor's own where Windows 8.1 and later tell it
// (GetDpiForMonitor of shcore.dll, looked up at run time, as is
// MonitorFromPoint, which Windows 95 and NT 4.0 lack), which follows a change
// of the scaling since log-on; elsewhere the system's (LOGPIXELSX).
int primaryMonitorDpi();

// A monitor as the system lists it (EnumDisplayMonitors, Windows 98 and 2000
// on, looked up at run time): its place in screen coordinates, whether it is
// the primary, and its pixels per inch: its own where Windows 8.1 and later
// tell it, elsewhere the system's, as for the primary.
struct SystemMonitor {
    RECT area;
    bool primary;
    int dpi;
};
// Every monitor of the desktop; none where the system cannot list them
// (Windows 95, NT 4.0).
std::vector<SystemMonitor> systemMonitors();
