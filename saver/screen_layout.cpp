#include "saver/screen_layout.h"

#include <algorithm>

namespace {

bool holdsPrimary(const ScreenArea& area, int32_t primaryWidth, int32_t primaryHeight)
{
    const int64_t right = static_cast<int64_t>(area.left) + area.width;
    const int64_t bottom = static_cast<int64_t>(area.top) + area.height;
    return area.left <= 0 && area.top <= 0 && right >= primaryWidth && bottom >= primaryHeight;
}

}

int32_t primaryDpiOf(const DisplayMetrics& metrics, int (*ask)())
{
    for (const MonitorArea& monitor : metrics.monitors) {
        if (monitor.primary && monitor.dpi > 0)
            return monitor.dpi;
    }
    return ask();
}

ScreenArea coveredScreen(const DisplayMetrics& metrics)
{
    const ScreenArea primary{0, 0, metrics.primaryWidth, metrics.primaryHeight};
    const ScreenArea& all = metrics.virtualScreen;
    if (all.width <= 0 || all.height <= 0 || !holdsPrimary(all, metrics.primaryWidth, metrics.primaryHeight))
        return primary;
    return all;
}

SaverPlacement saverPlacement(const DisplayMetrics& metrics, bool fakeDesktop)
{
    SaverPlacement placement;
    placement.window = coveredScreen(metrics);
    placement.desktopSource = {placement.window.left, placement.window.top};
    // The primary monitor's top-left in the window's client area.
    const ScreenPoint primaryInWindow{-placement.window.left, -placement.window.top};
    if (fakeDesktop) {
        placement.sceneInWindow = primaryInWindow;
        placement.flightField = {0, 0, metrics.primaryWidth, metrics.primaryHeight};
    } else {
        placement.sceneInWindow = {0, 0};
        placement.flightField = {primaryInWindow.x, primaryInWindow.y, metrics.primaryWidth, metrics.primaryHeight};
    }
    return placement;
}

FlightRect fieldInScene(const SaverPlacement& placement)
{
    const ScreenArea& field = placement.flightField;
    return {field.left, field.top, field.left + field.width, field.top + field.height};
}

ScreenArea screenToScene(const SaverPlacement& placement, const ScreenArea& screen)
{
    // Screen -> window: less the window's top-left; window -> scene: less
    // where the scene is drawn in the window.
    const ScreenArea& window = placement.window;
    const ScreenPoint& at = placement.sceneInWindow;
    return {screen.left - window.left - at.x, screen.top - window.top - at.y, screen.width, screen.height};
}

namespace {

FlightRect rectOf(const ScreenArea& area)
{
    return {area.left, area.top, area.left + area.width, area.top + area.height};
}

bool isPrimary(const MonitorArea& monitor, const DisplayMetrics& metrics)
{
    return monitor.primary
        || monitor.area == ScreenArea{0, 0, metrics.primaryWidth, metrics.primaryHeight};
}

}

std::vector<MonitorField> furtherMonitorFields(const DisplayMetrics& metrics, const SaverPlacement& placement,
                                               int32_t sceneWidth, int32_t sceneHeight)
{
    // Everything in scene pixels. The primary's field is taken first, so no
    // other monitor's planes ever reach it.
    const FlightRect window = rectOf(screenToScene(placement, placement.window));
    const FlightRect picture = intersectRect(window, {0, 0, std::max(sceneWidth, int32_t{0}),
                                                      std::max(sceneHeight, int32_t{0})});
    std::vector<FlightRect> taken{rectOf(screenToScene(placement, {0, 0, metrics.primaryWidth, metrics.primaryHeight}))};
    std::vector<MonitorField> fields;
    for (const MonitorArea& monitor : metrics.monitors) {
        if (isPrimary(monitor, metrics) || monitor.area.width <= 0 || monitor.area.height <= 0)
            continue;
        const ScreenArea inScene = screenToScene(placement, monitor.area);
        const FlightRect whole = rectOf(inScene);
        const bool shared = std::any_of(taken.begin(), taken.end(),
                                        [&](const FlightRect& other) { return !intersectRect(whole, other).empty(); });
        taken.push_back(whole);
        const FlightRect clip = intersectRect(whole, picture);
        if (shared || clip.empty())
            continue;
        fields.push_back({inScene, clip, monitor.dpi});
    }
    return fields;
}

FlightRect sceneToWindow(const SaverPlacement& placement, const FlightRect& scene)
{
    const ScreenPoint& at = placement.sceneInWindow;
    return {scene.left + at.x, scene.top + at.y, scene.right + at.x, scene.bottom + at.y};
}

bool sceneCoversWindow(const SaverPlacement& placement, int32_t pictureWidth, int32_t pictureHeight)
{
    const ScreenPoint& at = placement.sceneInWindow;
    return at.x <= 0 && at.y <= 0 && static_cast<int64_t>(at.x) + pictureWidth >= placement.window.width
        && static_cast<int64_t>(at.y) + pictureHeight >= placement.window.height;
}

int32_t desktopCopyBandRows(int32_t sceneWidth)
{
    constexpr int64_t bandBytes = 192 * 1024;
    const int64_t rowBytes = int64_t(std::max(sceneWidth, int32_t{1})) * 4;
    return int32_t(std::max<int64_t>(1, bandBytes / rowBytes));
}

RowSpan copyInBands(int32_t height, int32_t bandRows, const std::function<bool(int32_t top, int32_t rows)>& copyBand)
{
    const int32_t band = std::max(bandRows, int32_t{1});
    for (int32_t top = 0; top < height; top += band) {
        if (!copyBand(top, std::min(band, height - top)))
            return {top, height};
    }
    return {};
}
