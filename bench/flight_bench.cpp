#include "bench/flight_bench.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "framework/scoped.h"
#include "imaging/bitmap_file.h"

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

ULONGLONG toUnits(const FILETIME& time)
{
    return (ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// User plus kernel time of this process, in 100 ns units.
ULONGLONG processCpu()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    return toUnits(kernel) + toUnits(user);
}

// Milliseconds since 1970, comparable with the shell's clock.
double unixMilliseconds()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return double(toUnits(now) - 116444736000000000ULL) / 10000.0;
}

void writeFile(const std::string& path, const std::string& text)
{
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

// The window's client area as painted, 24 bits per pixel.
Picture windowPixels(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    Picture picture;
    picture.width = client.right;
    picture.height = client.bottom;
    picture.bitsPerPixel = 24;
    picture.bits.resize(picture.stride() * picture.height);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject<HBITMAP> section(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section || !bits)
        return Picture{};
    {
        ScopedGetDC windowDc(window);
        MemoryDC memory(windowDc);
        ScopedSelectObject select(memory, section.get());
        BitBlt(memory, 0, 0, picture.width, picture.height, windowDc, 0, 0, SRCCOPY);
        GdiFlush();
        std::copy_n(static_cast<const uint8_t*>(bits), picture.bits.size(), picture.bits.begin());
    }
    return picture;
}

// "name=value" lines of the process's GDI objects, window-system objects,
// kernel handles and memory. The counting functions are looked up at run
// time; a missing one reports -1.
std::string processResources()
{
    using GuiResources = DWORD(WINAPI*)(HANDLE, DWORD);
    using HandleCount = BOOL(WINAPI*)(HANDLE, PDWORD);
    const auto guiResources = reinterpret_cast<GuiResources>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetGuiResources")));
    const auto handleCount = reinterpret_cast<HandleCount>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessHandleCount")));
    long gdi = -1, user = -1, handles = -1;
    if (guiResources) {
        gdi = long(guiResources(GetCurrentProcess(), 0));    // GR_GDIOBJECTS
        user = long(guiResources(GetCurrentProcess(), 1));   // GR_USEROBJECTS
    }
    DWORD count = 0;
    if (handleCount && handleCount(GetCurrentProcess(), &count))
        handles = long(count);
    // Committed private memory: the sum of the process's committed private regions.
    unsigned long long committed = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* address = nullptr;
         VirtualQuery(address, &region, sizeof region) == sizeof region; address += region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            committed += region.RegionSize;
        if (region.RegionSize == 0 || reinterpret_cast<uintptr_t>(address) + region.RegionSize < reinterpret_cast<uintptr_t>(address))
            break;
    }
    char text[256];
    std::snprintf(text, sizeof text, "gdi_objects=%ld\nuser_objects=%ld\nhandles=%ld\nprivate_bytes=%llu\n",
                  gdi, user, handles, committed);
    return text;
}

std::string prefixed(const std::string& prefix, const std::string& lines)
{
    std::string result;
    std::stringstream input(lines);
    for (std::string line; std::getline(input, line);)
        result += prefix + line + "\n";
    return result;
}

} // namespace

FlightBench::FlightBench()
{
    wholeScene_ = environment("SKYVANE_BENCH_REPAINT") == "whole";
    fast_ = environment("SKYVANE_BENCH_FAST") == "1";
    planeLimit_ = std::strtol(environment("SKYVANE_BENCH_PLANES").c_str(), nullptr, 10);
    if (const std::string seed = environment("SKYVANE_BENCH_SEED"); !seed.empty())
        frozen_ = std::make_unique<SeededUniformSource>(std::uint32_t(std::strtoul(seed.c_str(), nullptr, 10)));
    dumpPrefix_ = environment("SKYVANE_BENCH_DUMP");
    std::stringstream ticks(environment("SKYVANE_BENCH_DUMP_TICKS"));
    for (std::string item; std::getline(ticks, item, ',');)
        if (!item.empty())
            dumpTicks_.push_back(std::strtol(item.c_str(), nullptr, 10));
    std::sort(dumpTicks_.begin(), dumpTicks_.end());
    seconds_ = std::strtod(environment("SKYVANE_BENCH_SECONDS").c_str(), nullptr);
    statsPath_ = environment("SKYVANE_BENCH_STATS");
    QueryPerformanceFrequency(&frequency_);
}

bool FlightBench::repaint(HWND window, SceneSurface& scene, const FlightRect&)
{
    if (!wholeScene_)
        return false;
    // The whole window for every change, painted at the next WM_PAINT.
    RECT client{};
    GetClientRect(window, &client);
    const bool covers = scene.pictureWidth() >= client.right && scene.pictureHeight() >= client.bottom;
    InvalidateRect(window, nullptr, covers ? FALSE : TRUE);
    return true;
}

FlightObserver::AfterTick FlightBench::afterTick(HWND window, SceneSurface& scene)
{
    ++ticks_;
    if (ticks_ == 1) {
        QueryPerformanceCounter(&firstTick_);
        startCpu100ns_ = processCpu();
        resourcesAtStart_ = processResources();
        if (!statsPath_.empty()) {
            char line[64];
            std::snprintf(line, sizeof line, "first_tick_unix_ms=%.1f\n", unixMilliseconds());
            writeFile(statsPath_ + ".started", line);
        }
    }
    if (!dumpPrefix_.empty() && std::binary_search(dumpTicks_.begin(), dumpTicks_.end(), ticks_))
        dumpFrames(window, scene, ticks_);

    bool over = !dumpTicks_.empty() && ticks_ >= dumpTicks_.back();
    if (seconds_ > 0) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        over = over || double(now.QuadPart - firstTick_.QuadPart) / double(frequency_.QuadPart) >= seconds_;
    }
    over = over || (planeLimit_ > 0 && planes_ >= planeLimit_);
    if (over) {
        writeStats(ticks_);
        return AfterTick::EndSaver;
    }
    return fast_ ? AfterTick::NextTickAtOnce : AfterTick::FlyOn;
}

void FlightBench::dumpFrames(HWND window, SceneSurface& scene, long tick)
{
    UpdateWindow(window);   // the repaint this tick asked for, now
    const std::string prefix = dumpPrefix_ + "-" + std::to_string(tick);
    writeBytes(prefix + "-window.bmp", writeBitmapFile(windowPixels(window)));
    writeBytes(prefix + "-scene.bmp", writeBitmapFile(scene.toPicture()));
}

void FlightBench::writeStats(long ticks)
{
    if (statsPath_.empty())
        return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const double flight = double(now.QuadPart - firstTick_.QuadPart) / double(frequency_.QuadPart);
    const double cpu = double(processCpu() - startCpu100ns_) / 1e7;
    char text[256];
    std::snprintf(text, sizeof text, "mode=%s\nticks=%ld\nplanes=%ld\nflight_seconds=%.3f\nsaver_cpu_seconds=%.3f\n",
                  wholeScene_ ? "whole" : "rect", ticks, planes_, flight, cpu);
    writeFile(statsPath_, text + prefixed("start_", resourcesAtStart_) + prefixed("end_", processResources()));
}

namespace {
// Installed before WinMain runs: the saver finds it when its first plane starts.
struct Installer {
    FlightBench bench;
    Installer() { setFlightObserver(&bench); }
    ~Installer() { setFlightObserver(nullptr); }
} installer;
} // namespace
