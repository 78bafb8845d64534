// The start-up yardstick: a full-screen top-most window that does nothing.
// At its first timer tick (after its first paint, as with the saver's first
// flight tick) it writes "first_tick_unix_ms=..." to the file named by
// SKYVANE_BENCH_STATS followed by ".started", and ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double unixMilliseconds()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG units = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return double(units - 116444736000000000ULL) / 10000.0;
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER) {
        KillTimer(window, 1);
        if (const char* stats = std::getenv("SKYVANE_BENCH_STATS")) {
            if (FILE* file = std::fopen((std::string(stats) + ".started").c_str(), "wb")) {
                std::fprintf(file, "first_tick_unix_ms=%.1f\n", unixMilliseconds());
                std::fclose(file);
            }
        }
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "EmptyWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "EmptyWindow", "empty", WS_POPUP | WS_MAXIMIZE, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                  instance, nullptr);
    ShowWindow(window, SW_SHOWMAXIMIZED);
    SetTimer(window, 1, 5, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
