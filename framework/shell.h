// Opening a web page or document with the program the user chose for it.
#pragma once
#include <windows.h>

#include <cstdint>

// ShellExecuteA with "open" and no parameters. SHELL32 is loaded here, at
// the first call, and stays loaded: importing it would load it (and what it
// pulls in) at every start of the saver, which never opens anything.
// Returns ShellExecuteA's result (32 or more on success); 0 when SHELL32 or
// the function cannot be found.
std::uintptr_t openWithShell(HWND owner, const char* target, int show);
