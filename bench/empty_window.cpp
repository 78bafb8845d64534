// The start-up yardstick: a full-screen top-most window that does nothing.
// At its first timer tick (after its first paint, as with the saver's first
// flight tick) it writes "first_tick_unix_ms=..." to the file named by
// SKYVANE_BENCH_STATS followed by ".started", and ends.
//
// With SKYVANE_BENCH_FILE_WORK=1 it is the second yardstick, the floor of the
// saver's design: before its window it does the decode pass's file work and
// nothing else, for every "In*.sdd" of the Windows directory in the order the
// search lists them: open it, create its ".jpg", read 3 bytes and write them,
// read 3 bytes, then read and write blocks of 2048 bytes to the end, close
// both ("file_work_unix_ms" when done). After its first tick it
// deletes the images again, as the saver does when it ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double unixMilliseconds()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG units = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return double(units - 116444736000000000ULL) / 10000.0;
}

std::string startedLines;
std::vector<std::string> imagesWritten;

void stamp(const char* name)
{
    char line[64];
    std::snprintf(line, sizeof line, "%s_unix_ms=%.1f\n", name, unixMilliseconds());
    startedLines += line;
}

void copyContainer(HANDLE container, HANDLE image)
{
    char block[2048];
    DWORD got = 0, written = 0;
    ReadFile(container, block, 3, &got, nullptr);
    WriteFile(image, block, got, &written, nullptr);
    ReadFile(container, block, 3, &got, nullptr);
    while (ReadFile(container, block, sizeof block, &got, nullptr) && got > 0)
        WriteFile(image, block, got, &written, nullptr);
}

void decodeFileWork()
{
    char windows[MAX_PATH] = {};
    const std::string directory(windows, GetWindowsDirectoryA(windows, MAX_PATH));
    WIN32_FIND_DATAA found;
    std::vector<std::string> names;
    HANDLE search = FindFirstFileA((directory + "\\In*.sdd").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    for (const std::string& name : names) {
        const std::string image = directory + "\\" + name.substr(0, name.size() - 4) + ".jpg";
        HANDLE container = CreateFileA((directory + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE written = CreateFileA(image.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        copyContainer(container, written);
        CloseHandle(container);
        CloseHandle(written);
        imagesWritten.push_back(image);
    }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER) {
        KillTimer(window, 1);
        stamp("first_tick");
        if (const char* stats = std::getenv("SKYVANE_BENCH_STATS")) {
            if (FILE* file = std::fopen((std::string(stats) + ".started").c_str(), "wb")) {
                std::fputs(startedLines.c_str(), file);
                std::fclose(file);
            }
        }
        for (const std::string& image : imagesWritten)
            DeleteFileA(image.c_str());
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
    stamp("entered");
    const char* fileWork = std::getenv("SKYVANE_BENCH_FILE_WORK");
    if (fileWork && std::string(fileWork) == "1") {
        decodeFileWork();
        stamp("file_work");
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "EmptyWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "EmptyWindow", "empty", WS_POPUP | WS_MAXIMIZE, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                  instance, nullptr);
    stamp("window");
    ShowWindow(window, SW_SHOWMAXIMIZED);
    stamp("shown");
    SetTimer(window, 1, 5, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
