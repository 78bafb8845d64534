#include "app/password_change.h"

#include "framework/files.h"
#include "framework/paths.h"
#include "framework/scoped.h"

namespace {
using PwdChangePasswordA = DWORD(WINAPI*)(LPCSTR registryKeyName, HWND owner, DWORD, DWORD);
}

void changeScreenSaverPassword(HWND owner)
{
    ScopedLibrary library(systemLibraryPath(systemDirectory(), "MPR.DLL"));
    if (!library)
        return;
    // Through void*: the entry's real type is known only to us, not to FARPROC.
    auto change = reinterpret_cast<PwdChangePasswordA>(
        reinterpret_cast<void*>(library.entry("PwdChangePasswordA")));
    if (change)
        change("SCRSAVE", owner, 0, 0);   // the provider reports to the user itself
}
