// Password mode: the operating system's password provider changes the
// screen saver's password; the program shows nothing of its own.
#pragma once
#include <windows.h>

// Loads "MPR.DLL" from the system directory, calls PwdChangePasswordA with
// "SCRSAVE", the owner window, 0, 0 and unloads it again. A missing library
// or entry point does nothing.
void changeScreenSaverPassword(HWND owner);
