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
    auto change = library.entry<PwdChangePasswordA>("PwdChangePasswordA");
    if (change)
        change("SCRSAVE", owner, 0, 0);   // the provider reports to the user itself
}
