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

// The process's GDI objects. GetGuiResources counts them on Windows; Wine's
// is a stub that returns 0, and there every live object of the process's own
// handle table answers GetObjectType for its index alone.
long gdiObjects()
{
    using GuiResources = DWORD(WINAPI*)(HANDLE, DWORD);
    const auto guiResources = reinterpret_cast<GuiResources>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetGuiResources")));
    if (guiResources) {
        if (const DWORD counted = guiResources(GetCurrentProcess(), 0))   // GR_GDIOBJECTS
            return long(counted);
    }
    long live = 0;
    for (uintptr_t index = 1; index < 0x10000; ++index)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0)
            ++live;
    return live;
}

// The process's kernel handles. GetProcessHandleCount (Windows XP SP1 on)
// counts them; Wine's answers 0, and there every open handle value (a
// multiple of 4) answers GetHandleInformation.
long kernelHandles()
{
    using HandleCount = BOOL(WINAPI*)(HANDLE, PDWORD);
    const auto handleCount = reinterpret_cast<HandleCount>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessHandleCount")));
    DWORD count = 0;
    if (handleCount && handleCount(GetCurrentProcess(), &count) && count != 0)
        return long(count);
    long open = 0;
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++open;
    }
    return open;
}

// Committed private memory: the sum of the process's committed private regions.
unsigned long long privateBytes()
{
    unsigned long long committed = 0;
    MEMORY_BASIC_INFORMATION region{};
    uintptr_t address = 0;
    while (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            committed += region.RegionSize;
        const uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (region.RegionSize == 0 || next <= address)
            break;
        address = next;
    }
    return committed;
}

// The bytes in use in all the process's heaps (the C runtime's among them):
// a small leak shows here long before it needs new pages.
unsigned long long heapBytes()
{
    HANDLE heaps[64];
    const DWORD count = std::min<DWORD>(GetProcessHeaps(64, heaps), 64);
    unsigned long long inUse = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                inUse += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return inUse;
}

// "name=value" lines of the process's GDI objects, kernel handles, heap
// bytes in use and committed private memory.
std::string processResources()
{
    char text[200];
    std::snprintf(text, sizeof text, "gdi_objects=%ld\nhandles=%ld\nheap_bytes=%llu\nprivate_bytes=%llu\n",
                  gdiObjects(), kernelHandles(), heapBytes(), privateBytes());
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
    sampleEvery_ = std::strtol(environment("SKYVANE_BENCH_SAMPLE_PLANES").c_str(), nullptr, 10);
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
    // Constructed with the program's static objects, before WinMain.
    char line[64];
    std::snprintf(line, sizeof line, "step_entered_unix_ms=%.1f\n", unixMilliseconds());
    startupSteps_ = line;
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
        if (!statsPath_.empty()) {
            char line[64];
            std::snprintf(line, sizeof line, "first_tick_unix_ms=%.1f\n", unixMilliseconds());
            writeFile(statsPath_ + ".started", startupSteps_ + line);
        }
        // Counted only for runs that end by a number of planes (the soak
        // run): the timed runs must not pay for the count.
        if (planeLimit_ > 0)
            resourcesAtStart_ = processResources();
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
    std::string resources;
    if (planeLimit_ > 0)
        resources = prefixed("start_", resourcesAtStart_) + prefixed("end_", processResources());
    writeFile(statsPath_, text + resources);
}

void FlightBench::startupStep(StartupStep step)
{
    static const char* const names[] = {"begun", "settings", "decode", "catalogue", "background", "first_plane",
                                        "shown"};
    char line[64];
    std::snprintf(line, sizeof line, "step_%s_unix_ms=%.1f\n", names[static_cast<int>(step)], unixMilliseconds());
    startupSteps_ += line;
}

void FlightBench::planeStarted()
{
    ++planes_;
    if (sampleEvery_ <= 0 || planes_ % sampleEvery_ != 0 || statsPath_.empty())
        return;
    // Counted before the samples file is opened, which takes a handle itself.
    std::stringstream values(processResources());
    if (FILE* file = std::fopen((statsPath_ + ".samples").c_str(), "ab")) {
        std::string line = "planes=" + std::to_string(planes_) + " ticks=" + std::to_string(ticks_);
        for (std::string value; std::getline(values, value);)
            line += " " + value;
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

namespace {
// Installed before WinMain runs: the saver finds it when its first plane starts.
struct Installer {
    FlightBench bench;
    Installer() { setFlightObserver(&bench); }
    ~Installer() { setFlightObserver(nullptr); }
} installer;
} // namespace
