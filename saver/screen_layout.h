// Where the saver's window, scene and flights go on the screens the system
// reports: the window covers the virtual screen (every monitor), the live
// desktop is copied from all of it, a fake desktop picture sits at the primary
// monitor's top-left, and every monitor has a flight of its own, drawn on that
// monitor only. With one monitor all of this is the screen at (0, 0).
// Pure: no <windows.h>.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "saver/flight.h"

struct ScreenPoint {
    int32_t x = 0, y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// A rectangle by its top-left corner and size.
struct ScreenArea {
    int32_t left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const ScreenArea&, const ScreenArea&) = default;
};

// One monitor as the system lists it: its place in screen coordinates and its
// pixels per inch (0 where the system does not say).
struct MonitorArea {
    ScreenArea area;
    int32_t dpi = 0;
    bool primary = false;
    friend bool operator==(const MonitorArea&, const MonitorArea&) = default;
};

// What the system says about its screens, in physical pixels. The primary
// monitor's top-left is (0, 0) in screen coordinates; the virtual screen is
// the bounding box of all monitors (its origin is negative when a monitor
// stands left of or above the primary). Systems before the multi-monitor
// ones report 0 for the virtual screen's metrics and list no monitors.
struct DisplayMetrics {
    int32_t primaryWidth = 0, primaryHeight = 0;
    ScreenArea virtualScreen;
    std::vector<MonitorArea> monitors{};
};

// The primary monitor's DPI as the system listed it; where it listed none
// (or no DPI for it), ask() answers.
int32_t primaryDpiOf(const DisplayMetrics& metrics, int (*ask)());

// The virtual screen, or the primary screen at (0, 0) where the system knows
// no virtual screen or reports one that does not hold the primary monitor.
ScreenArea coveredScreen(const DisplayMetrics& metrics);

// Where the saver puts things, in three coordinate systems: the screen's
// (window), the window's client area (scene) and the scene's pixels (flights).
struct SaverPlacement {
    ScreenArea window;             // screen coordinates: the whole covered screen
    ScreenPoint desktopSource;     // where in the desktop's device context the window's top-left lies
    ScreenPoint sceneInWindow;     // where the scene's pixel (0, 0) is drawn in the window
    ScreenArea flightField;        // the primary monitor in scene pixels: where the planes fly
};

// The live desktop scene is a copy of the whole covered screen and is drawn at
// the window's top-left, so the primary monitor lies inside it at its offset.
// A fake desktop picture is drawn at the primary monitor's top-left, so the
// primary monitor is the picture's own top-left part.
SaverPlacement saverPlacement(const DisplayMetrics& metrics, bool fakeDesktop);

// The flight field as the rectangle of scene pixels the planes may change.
FlightRect fieldInScene(const SaverPlacement& placement);

// A rectangle in screen coordinates as scene pixels.
ScreenArea screenToScene(const SaverPlacement& placement, const ScreenArea& screen);

// The flight of a monitor beside the primary.
struct MonitorField {
    // The monitor in scene pixels: its planes start beside its edges, and end
    // by its width, as the primary's do by the screen's.
    ScreenArea monitor;
    // The scene pixels its planes may change: the monitor, within the window
    // and within the scene's picture.
    FlightRect clip;
    int32_t dpi = 0;   // the monitor's own, 0 where the system does not say
    friend bool operator==(const MonitorField&, const MonitorField&) = default;
};

// The flights of the monitors beside the primary, in the system's order. A
// monitor gets none where its planes could not be seen (it lies outside the
// window or the scene's picture, sceneWidth x sceneHeight from the scene's
// origin) or could show on another monitor (it shares pixels with the
// primary or with a monitor listed before it, as a mirrored display does).
std::vector<MonitorField> furtherMonitorFields(const DisplayMetrics& metrics, const SaverPlacement& placement,
                                               int32_t sceneWidth, int32_t sceneHeight);

// A rectangle of scene pixels in window coordinates.
FlightRect sceneToWindow(const SaverPlacement& placement, const FlightRect& scene);

// Whether a scene picture of this size, drawn at its place, covers the whole
// window (then a repaint need not paint the window's background first).
bool sceneCoversWindow(const SaverPlacement& placement, int32_t pictureWidth, int32_t pictureHeight);

// The live desktop is copied in bands of this many rows of a scene this wide,
// about 192 KB of 32-bit pixels each (at least one row): each band's transfer
// buffer is used again while it is still in the processor's cache, where one
// screen-sized transfer would map, fault in and stream megabytes of fresh
// memory. Under X a 1920 x 1080 copy takes less than half the time.
int32_t desktopCopyBandRows(int32_t sceneWidth);

// Rows of the scene from top (included) to bottom (excluded).
struct RowSpan {
    int32_t top = 0, bottom = 0;
    bool empty() const { return bottom <= top; }
    friend bool operator==(const RowSpan&, const RowSpan&) = default;
};

// Copies rows 0 to height band by band, top down, with copyBand(top, rows),
// bandRows at a time (the last band may be shorter), and stops at the first
// band that fails. Returns the rows left uncopied: from the failed band's top
// to the bottom, none when every band was copied. Rows already copied are
// never among them.
RowSpan copyInBands(int32_t height, int32_t bandRows, const std::function<bool(int32_t top, int32_t rows)>& copyBand);
