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

// The planes fly across the field (the primary monitor) as across a screen
// of its size at (0, 0), moved to its place in the scene.
int32_t startHeight(int16_t verticalStep, const ScreenArea& field)
{
    if (installedObserver) {
        if (UniformSource* chosen = installedObserver->startHeights())
            return field.top + randomStartY(verticalStep, field.height, *chosen);
    }
    SeededUniformSource random(clockSeed());  // a new seed for every start height
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
    // A window destroyed meanwhile (a close from another program while an
    // error box of a tick was open) shows nothing; a device context of no
    // window would be the whole screen's.
    if (!window || !IsWindow(window))
        return;
    if (installedObserver && installedObserver->repaint(window, scene, changed))
        return;
    repaintSceneRect(window, scene, placement, changed);
}

} // namespace

void setFlightObserver(FlightObserver* observer)
{
    installedObserver = observer;
}

void observeStartupStep(StartupStep step)
{
    if (installedObserver)
        installedObserver->startupStep(step);
}

void TForm1::Timer_LeftTimer()
{
    flightTick(mainFlight_, enterLeft);
}

void TForm1::Timer_RightTimer()
{
    flightTick(mainFlight_, enterRight);
}

void TForm1::flightTick(MonitorFlight& monitor, int direction)
{
    try {
        if (monitor.firstPlaneDue)
            startFurtherFirstPlane(monitor);
        else
            movePlane(monitor, direction);
    } catch (...) {
        // A tick that failed would fail again 5 ms later: this monitor's
        // flights stop and its part of the scene stays as it is; a key still
        // ends the saver.
        monitor.left.setEnabled(false);
        monitor.right.setEnabled(false);
        throw;
    }
}

void TForm1::movePlane(MonitorFlight& monitor, int direction)
{
    Timer& ticking = monitor.timerOf(direction);
    // A new plane's first tick comes after the pause; from here on it flies.
    ticking.setInterval(flyingInterval(direction));

    showChange(handle(), imdest, placement_, moveAndRedrawPlane(monitor.surfaces, monitor.flight));

    const auto next = installedObserver ? installedObserver->afterTick(handle(), imdest)
                                        : FlightObserver::AfterTick::FlyOn;
    if (next == FlightObserver::AfterTick::EndSaver) {
        endSaver();
        return;
    }

    const ScreenArea& area = monitor.area;
    if (planeFinished(direction, monitor.flight.x - area.left, area.width))
        startPlane(monitor, ticking);
    if (next == FlightObserver::AfterTick::NextTickAtOnce)
        tickAtOnce(monitor);
}

// The next tick of this flight's enabled timer, queued now instead of at its
// interval (every flight queues its own).
void TForm1::tickAtOnce(MonitorFlight& monitor)
{
    for (Timer* timer : {&monitor.left, &monitor.right}) {
        if (timer->enabled())
            PostMessageA(handle(), WM_TIMER, timer->id(), 0);
    }
}

void TForm1::startPlane(MonitorFlight& monitor, Timer& finished)
{
    // Off first: should the selection fail, no timer runs and the scene stays still.
    finished.setEnabled(false);
    selectNextPlane(monitor);

    const PlaneSlot& slot = catalogue_.slot(monitor.selection.currentSlot());
    const ScreenArea& area = monitor.area;
    launchPlane(monitor, slot, area.left + laterPlaneStartX(slot.direction, area.width, monitor.flight.scale),
                startHeight(slot.verticalStep, area), pauseInterval(saverSettings.Delay));
    if (installedObserver)
        installedObserver->planeStarted();
}

void TForm1::startFirstPlane()
{
    // The background is painted; from now on only the flights change the
    // scene, and they repaint exactly the rectangles they touch.
    imdest.setOnChange({});
    launchFirstPlane(mainFlight_);
}

// A further monitor's first plane, chosen at its first tick.
void TForm1::startFurtherFirstPlane(MonitorFlight& monitor)
{
    monitor.firstPlaneDue = false;
    monitor.left.setEnabled(false);
    selectNextPlane(monitor);
    if (isSlotNumber(monitor.selection.currentSlot()))
        launchFirstPlane(monitor);
}

// The first plane of a monitor's run flies at once, at the design interval
// of its timer, from the first plane's place beside that monitor.
void TForm1::launchFirstPlane(MonitorFlight& monitor)
{
    const PlaneSlot& slot = catalogue_.slot(monitor.selection.currentSlot());
    const ScreenArea& area = monitor.area;
    launchPlane(monitor, slot, area.left + firstPlaneStartX(slot.direction, area.width, monitor.flight.scale),
                area.top + firstPlaneStartY(slot.verticalStep, area.height, monitor.flight.scale),
                flyingInterval(slot.direction));
}

// Finds where the chosen plane's sprites paint, draws it at (x, y), a start place
// outside its monitor, and starts the timer of its direction: its first tick
// comes after firstInterval.
void TForm1::launchPlane(MonitorFlight& monitor, const PlaneSlot& slot, int32_t x, int32_t y, uint32_t firstInterval)
{
    FlightState& flight = monitor.flight;
    flight.painted = monitor.spritesPainted ? *monitor.spritesPainted
                                            : findPaintedArea(monitor.surfaces, spriteRect(flight));
    placePlane(flight, x, y, slot.horizontalStep, slot.verticalStep);
    drawSprite(monitor);

    Timer& timer = monitor.timerOf(slot.direction);
    timer.setInterval(firstInterval);
    timer.setEnabled(true);
}

// Draws the plane at its drawn rectangle.
void TForm1::drawSprite(MonitorFlight& monitor)
{
    drawPlane(monitor.surfaces, monitor.flight);
    showChange(handle(), imdest, placement_, passArea(monitor.flight).scene);
}

// Every monitor's flight timers off.
void TForm1::stopAllFlights()
{
    for (MonitorFlight* monitor : flights()) {
        monitor->left.setEnabled(false);
        monitor->right.setEnabled(false);
    }
}
