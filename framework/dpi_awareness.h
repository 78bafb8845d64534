// The process's DPI awareness, declared at run time before any window exists,
// so a scaled display (125 % and up) shows the program's windows sharp in
// physical pixels instead of stretching them; and the system's DPI, by which
// the dialogs scale their design.
#pragma once

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
