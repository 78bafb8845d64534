// Instrumentation for the flight benchmark, compiled only into the benchmark
// build of the saver (SKYVANE_BENCH). Environment variables, read once:
//   SKYVANE_BENCH_REPAINT     "whole": repaint the whole scene on every change;
//                             anything else: repaint the changed rectangles
//   SKYVANE_BENCH_SEED        freezes the start heights' random numbers
//   SKYVANE_BENCH_DUMP        path prefix for frame dumps: <prefix>-<tick>-window.bmp
//                             (the window as painted) and <prefix>-<tick>-scene.bmp
//   SKYVANE_BENCH_DUMP_TICKS  comma-separated tick numbers to dump at; the run
//                             ends after the last one
//   SKYVANE_BENCH_SECONDS     ends the run after this many seconds of flight
//   SKYVANE_BENCH_STATS       file for the figures, written when the run ends;
//                             "<file>.started" is written at the first tick
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <vector>

#include "framework/surface.h"
#include "saver/catalogue.h"

class FlightBench {
public:
    FlightBench();
    bool wholeSceneRepaint() const { return wholeScene_; }
    // The frozen random numbers, or null for the clock-seeded ones.
    UniformSource* frozenRandom() { return frozen_.get(); }
    // Counts a tick; dumps frames when asked. True when the run is over.
    bool afterTick(HWND window, SceneSurface& scene);

private:
    void dumpFrames(HWND window, SceneSurface& scene, long tick);
    void writeStats(long ticks);
    bool wholeScene_ = false;
    std::unique_ptr<SeededUniformSource> frozen_;
    std::string dumpPrefix_;
    std::vector<long> dumpTicks_;
    double seconds_ = 0;
    std::string statsPath_;
    long ticks_ = 0;
    LARGE_INTEGER frequency_{}, firstTick_{};
    ULONGLONG startCpu100ns_ = 0;
};

FlightBench& flightBench();
