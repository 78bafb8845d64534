// The flight benchmark's observer, linked only into the instrumented saver
// (bench/skyvane.scr of the benchmark build, scripts/bench.sh). It installs
// itself at program start. Environment variables, read once:
//   SKYVANE_BENCH_REPAINT     "whole": repaint the whole scene on every change;
//                             anything else: the saver's own repaint of the
//                             changed rectangles
//   SKYVANE_BENCH_SEED        freezes the start heights' random numbers
//   SKYVANE_BENCH_DUMP        path prefix for frame dumps: <prefix>-<tick>-window.bmp
//                             (the window as painted) and <prefix>-<tick>-scene.bmp
//   SKYVANE_BENCH_DUMP_TICKS  comma-separated tick numbers to dump at; the run
//                             ends after the last one
//   SKYVANE_BENCH_SECONDS     ends the run after this many seconds of flight
//   SKYVANE_BENCH_PLANES      ends the run once this many later planes started
//   SKYVANE_BENCH_SAMPLE_PLANES  every this many later planes, a line of the
//                             process's GDI objects, handles and memory is
//                             added to "<stats file>.samples"
//   SKYVANE_BENCH_FAST        "1": every tick follows the last at once, no
//                             timer pace and no pause between planes (soak run)
//   SKYVANE_BENCH_STATS       file for the figures, written when the run ends,
//                             with the resources at the first tick (start_)
//                             and at the end (end_); "<file>.started" is
//                             written at the first tick, with the time each
//                             part of the start-up ended
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <vector>

#include "saver/flight_observer.h"

class FlightBench : public FlightObserver {
public:
    FlightBench();
    UniformSource* startHeights() override { return frozen_.get(); }
    bool repaint(HWND window, SceneSurface& scene, const FlightRect& changed) override;
    AfterTick afterTick(HWND window, SceneSurface& scene) override;
    void planeStarted() override;
    void startupStep(StartupStep step) override;

private:
    void dumpFrames(HWND window, SceneSurface& scene, long tick);
    void writeStats(long ticks);
    bool wholeScene_ = false;
    bool fast_ = false;
    std::unique_ptr<SeededUniformSource> frozen_;
    std::string dumpPrefix_;
    std::vector<long> dumpTicks_;
    double seconds_ = 0;
    long planeLimit_ = 0;
    long sampleEvery_ = 0;
    std::string statsPath_;
    long ticks_ = 0;
    long planes_ = 0;
    LARGE_INTEGER frequency_{}, firstTick_{};
    ULONGLONG startCpu100ns_ = 0;
    std::string resourcesAtStart_;
    std::string startupSteps_;   // "step_<name>_unix_ms=..." lines
};
