#include "framework/shell.h"

std::uintptr_t openWithShell(HWND owner, const char* target, int show)
{
    using ShellExecuteEntry = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    // Kept loaded: the shell may go on with the request after the call returns.
    static const HMODULE shell = LoadLibraryA("shell32.dll");
    const auto shellExecute = shell ? reinterpret_cast<ShellExecuteEntry>(
                                          reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteA")))
                                    : nullptr;
    if (!shellExecute)
        return 0;
    return reinterpret_cast<std::uintptr_t>(shellExecute(owner, "open", target, "", "", show));
}
