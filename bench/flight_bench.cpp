#include "bench/flight_bench.h"

#include <algorithm>
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

} // namespace

FlightBench::FlightBench()
{
    wholeScene_ = environment("SKYVANE_BENCH_REPAINT") == "whole";
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

bool FlightBench::afterTick(HWND window, SceneSurface& scene)
{
    ++ticks_;
    if (ticks_ == 1) {
        QueryPerformanceCounter(&firstTick_);
        startCpu100ns_ = processCpu();
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
    if (over)
        writeStats(ticks_);
    return over;
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
    std::snprintf(text, sizeof text, "mode=%s\nticks=%ld\nflight_seconds=%.3f\nsaver_cpu_seconds=%.3f\n",
                  wholeScene_ ? "whole" : "rect", ticks, flight, cpu);
    writeFile(statsPath_, text);
}

FlightBench& flightBench()
{
    static FlightBench bench;
    return bench;
}
