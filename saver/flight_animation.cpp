// TForm1: the flight timers. Each tick erases the plane, moves it, saves the
// background under its new place and draws it there; a plane that has left
// the screen makes way for the next one after the configured pause.
#include "saver/saver_window.h"

#include <algorithm>

#include "framework/scoped.h"
#include "saver/flight_observer.h"
#include "saver/flight_passes.h"
#include "settings/settings.h"

namespace {

FlightObserver* installedObserver = nullptr;

// A new seed from the clock for every start height.
std::uint32_t clockSeed()
{
    LARGE_INTEGER now;
    if (QueryPerformanceCounter(&now))
        return static_cast<std::uint32_t>(now.QuadPart ^ (now.QuadPart >> 32));
    return GetTickCount();
}

// The planes fly across the field (the primary monitor) as across a screen
// of its size at (0, 0), moved to its place in the scene.
int32_t startHeight(int16_t verticalStep, const ScreenArea& field)
{
    if (installedObserver) {
        if (UniformSource* chosen = installedObserver->startHeights())
            return field.top + randomStartY(verticalStep, field.height, *chosen);
    }
    SeededUniformSource random(clockSeed());
    return field.top + randomStartY(verticalStep, field.height, random);
}

// The flights show only what they change (the old and the new place of the
// plane), not the whole scene: the same frames for a fraction of the CPU
// time. The changed part goes to the window at once, within the tick, with no
// repaint message in between. Only the scene's picture is copied; where it
// does not reach, the window keeps its background colour, and a window that
// is uncovered later gets its usual repaint.
void repaintSceneRect(HWND window, SceneSurface& scene, const SaverPlacement& placement, const FlightRect& changed)
{
    const FlightRect shown{std::max(changed.left, 0), std::max(changed.top, 0),
                           std::min(changed.right, scene.pictureWidth()),
                           std::min(changed.bottom, scene.pictureHeight())};
    if (shown.empty() || !scene.hasBitmap())
        return;
    const FlightRect at = sceneToWindow(placement, shown);
    ScopedGetDC windowDc(window);
    BitBlt(windowDc, at.left, at.top, shown.width(), shown.height(), scene.canvas(), shown.left, shown.top, SRCCOPY);
}

// Shows the changed part of the scene, through the observer when it wants to.
void showChange(HWND window, SceneSurface& scene, const SaverPlacement& placement, const FlightRect& changed)
{
    if (installedObserver && installedObserver->repaint(window, scene, changed))
        return;
    repaintSceneRect(window, scene, placement, changed);
}

} // namespace

void setFlightObserver(FlightObserver* observer)
{
    installedObserver = observer;
}

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
    // A new plane's first tick comes after the pause; from here on it flies.
    ticking.setInterval(flyingInterval(direction));

    FlightSurfaces surfaces{imdest, imsave, View_Image_White, View_Image_Black};
    showChange(handle(), imdest, placement_, moveAndRedrawPlane(surfaces, flight_));

    const auto next = installedObserver ? installedObserver->afterTick(handle(), imdest)
                                        : FlightObserver::AfterTick::FlyOn;
    if (next == FlightObserver::AfterTick::EndSaver) {
        endSaver();
        return;
    }

    const ScreenArea& field = placement_.flightField;
    if (planeFinished(direction, flight_.x - field.left, field.width))
        startPlane(ticking);
    if (next == FlightObserver::AfterTick::NextTickAtOnce)
        tickAtOnce();
}

// A tick of the enabled flight timer, queued now instead of at its interval.
void TForm1::tickAtOnce()
{
    for (Timer* timer : {&Timer_Left, &Timer_Right}) {
        if (timer->enabled())
            PostMessageA(handle(), WM_TIMER, timer->id(), 0);
    }
}

void TForm1::startPlane(Timer& finished)
{
    // Off first: should the selection fail, no timer runs and the scene stays still.
    finished.setEnabled(false);
    selectNextPlane();
    FlightSurfaces surfaces{imdest, imsave, View_Image_White, View_Image_Black};
    matchSpritesToScene(surfaces);
    flight_.painted = findPaintedArea(surfaces);

    const PlaneSlot& slot = catalogue_.slot(selection_.currentSlot());
    const ScreenArea& field = placement_.flightField;
    const int32_t x = field.left + laterPlaneStartX(slot.direction, field.width);
    placePlane(flight_, x, startHeight(slot.verticalStep, field), slot.horizontalStep, slot.verticalStep);
    drawSprite();

    Timer& next = slot.direction == enterLeft ? Timer_Left : Timer_Right;
    next.setInterval(pauseInterval(saverSettings.Delay));
    next.setEnabled(true);
    if (installedObserver)
        installedObserver->planeStarted();
}

void TForm1::startFirstPlane()
{
    // The background is painted; from now on only the flights change the
    // scene, and they repaint exactly the rectangles they touch.
    imdest.setOnChange({});

    FlightSurfaces surfaces{imdest, imsave, View_Image_White, View_Image_Black};
    matchSpritesToScene(surfaces);
    flight_.painted = findPaintedArea(surfaces);

    const PlaneSlot& slot = catalogue_.slot(selection_.currentSlot());
    const ScreenArea& field = placement_.flightField;
    placePlane(flight_, field.left + firstPlaneStartX(slot.direction, field.width),
               field.top + firstPlaneStartY(slot.verticalStep, field.height), slot.horizontalStep, slot.verticalStep);
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
    showChange(handle(), imdest, placement_, paintedInScene(flight_));
}
