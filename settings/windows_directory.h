// The Windows directory, where every data file of the program lives.
#pragma once
#include <string>

// The directory as the system reports it (normally without a trailing
// backslash), or "c:\windows" when the system cannot say. Never fails.
std::string windowsDirectory();
