// A seam for watching the flights from outside the saver. A measuring build
// links in an observer of its own and installs it before the saver starts;
// the shipped program installs none and flies as it always does.
#pragma once
#include <windows.h>

#include "framework/surface.h"
#include "saver/catalogue.h"
#include "saver/flight.h"

// The parts of the saver's start-up, each reported as it ends (Begun as
// FormCreate begins): the settings (steps 1 to 7), the decode pass, the
// catalogue with the input watch, the background with the window's and the
// scene's size, the first plane's selection and start, and the window shown
// (its first paint included).
enum class StartupStep { Begun, Settings, Decode, Catalogue, Background, FirstPlane, Shown };

class FlightObserver {
public:
    // What the flight does after a tick the observer has seen.
    enum class AfterTick {
        FlyOn,           // the next tick at the timer's pace
        NextTickAtOnce,  // the next tick as soon as the queue allows, no pause
        EndSaver,        // end the saver, as a key press would
    };

    virtual ~FlightObserver() = default;
    // The random numbers for later planes' start heights; null for the
    // clock-seeded ones.
    virtual UniformSource* startHeights() { return nullptr; }
    // Shows the changed part of the scene in the window itself instead of the
    // saver's own repaint; false leaves the repaint to the saver.
    virtual bool repaint(HWND, SceneSurface&, const FlightRect&) { return false; }
    // After every tick, once the tick has drawn and shown the plane.
    virtual AfterTick afterTick(HWND, SceneSurface&) { return AfterTick::FlyOn; }
    // After a later plane has been selected and placed.
    virtual void planeStarted() {}
    // As each part of the start-up ends.
    virtual void startupStep(StartupStep) {}
};

// Installs the observer (null: none, as in the shipped program).
void setFlightObserver(FlightObserver* observer);

// Tells the observer, if any, that a part of the start-up has ended.
void observeStartupStep(StartupStep step);
