#include "framework/shell.h"

#include "framework/files.h"
#include "framework/paths.h"
#include "framework/scoped.h"

std::uintptr_t openWithShell(HWND owner, const char* target, int show)
{
    using ShellExecuteEntry = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    // Kept loaded: the shell may go on with the request after the call
    // returns. From the system directory only, never by the search order.
    static const std::string path = systemLibraryPath(systemDirectory(), "shell32.dll");
    static const HMODULE shell = path.empty() ? nullptr : LoadLibraryA(path.c_str());
    const auto shellExecute = lookUp<ShellExecuteEntry>(shell, "ShellExecuteA");
    if (!shellExecute)
        return 0;
    return reinterpret_cast<std::uintptr_t>(shellExecute(owner, "open", target, "", "", show));
}
