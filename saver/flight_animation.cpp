// TForm1: the flight timers. Each tick erases the plane, moves it, saves the
// background under its new place and draws it there; a plane that has left
// the screen makes way for the next one after the configured pause.
#include "saver/saver_window.h"

#include "saver/flight_passes.h"
#include "settings/settings.h"

#ifdef SKYVANE_BENCH
#include "bench/flight_bench.h"
#endif

namespace {

int32_t screenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int32_t screenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

// A new seed from the clock for every start height.
std::uint32_t clockSeed()
{
    LARGE_INTEGER now;
    if (QueryPerformanceCounter(&now))
        return static_cast<std::uint32_t>(now.QuadPart ^ (now.QuadPart >> 32));
    return GetTickCount();
}

int32_t startHeight(int16_t verticalStep)
{
#ifdef SKYVANE_BENCH
    if (UniformSource* frozen = flightBench().frozenRandom())
        return randomStartY(verticalStep, screenHeight(), *frozen);
#endif
    SeededUniformSource random(clockSeed());
    return randomStartY(verticalStep, screenHeight(), random);
}

// Whether the flights repaint only what they change (the old and the new
// place of the plane) instead of the whole scene on every change. Both give
// the same frames; the changed rectangles take less than half the CPU time
// (scripts/bench.sh measures both).
bool repaintChangedRectangles()
{
#ifdef SKYVANE_BENCH
    return !flightBench().wholeSceneRepaint();
#else
    return true;
#endif
}

// Marks the part of the window that shows the changed part of the scene for
// the next repaint. Where the scene's picture does not cover the window, the
// window's background colour is painted first, as for any other repaint.
void repaintSceneRect(HWND window, SceneSurface& scene, const FlightRect& changed)
{
    if (changed.empty())
        return;
    const RECT rect = toRect(changed);
    RECT client{};
    GetClientRect(window, &client);
    const bool coversWindow = scene.pictureWidth() >= client.right && scene.pictureHeight() >= client.bottom;
    InvalidateRect(window, &rect, coversWindow ? FALSE : TRUE);
}

} // namespace

void TForm1::Timer_LeftTimer()
{
    flightTick(Timer_Left, enterLeft);
}

void TForm1::Timer_RightTimer()
{
    flightTick(Timer_Right, enterRight);
}

void TForm1::flightTick(Timer& ticking, int direction)
{
    try {
        movePlane(ticking, direction);
    } catch (...) {
        // A tick that failed would fail again 5 ms later: the flights stop
        // and the scene stays as it is; a key still ends the saver.
        Timer_Left.setEnabled(false);
        Timer_Right.setEnabled(false);
        throw;
    }
}

void TForm1::movePlane(Timer& ticking, int direction)
{
    // A new plane's first tick comes after the pause; from here on it flies.
    ticking.setInterval(flyingInterval(direction));

    FlightSurfaces surfaces{imdest, imsave, View_Image_White, View_Image_Black};
    const FlightRect changed = moveAndRedrawPlane(surfaces, flight_);
    if (repaintChangedRectangles())
        repaintSceneRect(handle(), imdest, changed);

#ifdef SKYVANE_BENCH
    if (flightBench().afterTick(handle(), imdest)) {
        endSaver();
        return;
    }
#endif

    if (planeFinished(direction, flight_.x, screenWidth()))
        startPlane(ticking);
}

void TForm1::startPlane(Timer& finished)
{
    // Off first: should the selection fail, no timer runs and the scene stays still.
    finished.setEnabled(false);
    selectNextPlane();
    FlightSurfaces surfaces{imdest, imsave, View_Image_White, View_Image_Black};
    matchSpritesToScene(surfaces);

    const PlaneSlot& slot = catalogue_.slot(selection_.currentSlot());
    const int32_t x = laterPlaneStartX(slot.direction, screenWidth());
    placePlane(flight_, x, startHeight(slot.verticalStep), slot.horizontalStep, slot.verticalStep);
    drawSprite();

    Timer& next = slot.direction == enterLeft ? Timer_Left : Timer_Right;
    next.setInterval(pauseInterval(saverSettings.Delay));
    next.setEnabled(true);
}

void TForm1::startFirstPlane()
{
    if (repaintChangedRectangles()) {
        // The background is painted; from now on only the flights change the
        // scene, and they repaint exactly the rectangles they touch.
        imdest.setOnChange({});
    }

    FlightSurfaces surfaces{imdest, imsave, View_Image_White, View_Image_Black};
    matchSpritesToScene(surfaces);

    const PlaneSlot& slot = catalogue_.slot(selection_.currentSlot());
    placePlane(flight_, firstPlaneStartX(slot.direction, screenWidth()),
               firstPlaneStartY(slot.verticalStep, screenHeight()), slot.horizontalStep, slot.verticalStep);
    drawSprite();

    // The first plane flies at once, at the design interval of its timer.
    Timer& first = slot.direction == enterLeft ? Timer_Left : Timer_Right;
    first.setInterval(flyingInterval(slot.direction));
    first.setEnabled(true);
}

// Draws the plane at its drawn rectangle (a start place, outside the screen).
void TForm1::drawSprite()
{
    FlightSurfaces surfaces{imdest, imsave, View_Image_White, View_Image_Black};
    drawPlane(surfaces, flight_);
    if (repaintChangedRectangles())
        repaintSceneRect(handle(), imdest, flight_.drawn);
}
