// Where the saver's window, scene and flights go over one or more monitors:
// the virtual screen (or the primary screen where the system knows none), the
// live desktop copied from all of it, the fake desktop picture at the primary
// monitor's top-left, and a flight on every monitor that never draws on another.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "saver/catalogue.h"
#include "saver/flight.h"
#include "saver/screen_layout.h"

namespace {

DisplayMetrics primaryOnly(int32_t width, int32_t height)
{
    return {width, height, {0, 0, width, height}};
}

// A 1024 x 768 primary monitor with another monitor at (left, top).
DisplayMetrics withSecond(int32_t left, int32_t top, int32_t width, int32_t height)
{
    const int32_t right = std::max(1024, left + width), bottom = std::max(768, top + height);
    const int32_t x = std::min(0, left), y = std::min(0, top);
    return {1024, 768, {x, y, right - x, bottom - y}};
}

}

TEST(ScreenLayout, OneMonitorIsTheScreenAtTheOriginWhateverTheSystemKnows)
{
    const DisplayMetrics modern = primaryOnly(1024, 768);
    // Windows 95 and NT 4.0 answer 0 for the virtual screen's metrics.
    const DisplayMetrics old{1024, 768, {0, 0, 0, 0}};
    for (const DisplayMetrics& metrics : {modern, old}) {
        for (bool fake : {false, true}) {
            const SaverPlacement placement = saverPlacement(metrics, fake);
            EXPECT_EQ(placement.window, (ScreenArea{0, 0, 1024, 768}));
            EXPECT_EQ(placement.desktopSource, (ScreenPoint{0, 0}));
            EXPECT_EQ(placement.sceneInWindow, (ScreenPoint{0, 0}));
            EXPECT_EQ(placement.flightField, (ScreenArea{0, 0, 1024, 768}));
            EXPECT_EQ(sceneToWindow(placement, {-1094, 10, -517, 375}), (FlightRect{-1094, 10, -517, 375}));
            // A picture covers the window exactly when it is at least the screen's size.
            EXPECT_TRUE(sceneCoversWindow(placement, 1024, 768));
            EXPECT_TRUE(sceneCoversWindow(placement, 1280, 1024));
            EXPECT_FALSE(sceneCoversWindow(placement, 800, 600));
            EXPECT_FALSE(sceneCoversWindow(placement, 1024, 767));
        }
    }
}

TEST(ScreenLayout, AVirtualScreenWithoutThePrimaryMonitorIsNotTrusted)
{
    const ScreenArea primary{0, 0, 1024, 768};
    EXPECT_EQ(coveredScreen({1024, 768, {0, 0, 0, 768}}), primary);
    EXPECT_EQ(coveredScreen({1024, 768, {0, 0, 1024, -5}}), primary);
    EXPECT_EQ(coveredScreen({1024, 768, {10, 0, 2048, 768}}), primary);
    EXPECT_EQ(coveredScreen({1024, 768, {0, 0, 1000, 768}}), primary);
    EXPECT_EQ(coveredScreen({1024, 768, {-1280, 0, 1280, 1024}}), primary);
    EXPECT_EQ(coveredScreen({1024, 768, {-1280, -256, 2304, 1024}}), (ScreenArea{-1280, -256, 2304, 1024}));
}

TEST(ScreenLayout, MonitorRightOfThePrimary)
{
    const DisplayMetrics metrics = withSecond(1024, 0, 1280, 1024);
    const SaverPlacement live = saverPlacement(metrics, false);
    EXPECT_EQ(live.window, (ScreenArea{0, 0, 2304, 1024}));
    EXPECT_EQ(live.desktopSource, (ScreenPoint{0, 0}));
    EXPECT_EQ(live.sceneInWindow, (ScreenPoint{0, 0}));
    EXPECT_EQ(live.flightField, (ScreenArea{0, 0, 1024, 768}));
    EXPECT_TRUE(sceneCoversWindow(live, 2304, 1024));
    EXPECT_FALSE(sceneCoversWindow(live, 1024, 768));

    const SaverPlacement fake = saverPlacement(metrics, true);
    EXPECT_EQ(fake.window, live.window);
    EXPECT_EQ(fake.sceneInWindow, (ScreenPoint{0, 0}));
    EXPECT_EQ(fake.flightField, (ScreenArea{0, 0, 1024, 768}));
    // The stock picture leaves the second monitor to the background colour.
    EXPECT_FALSE(sceneCoversWindow(fake, 1024, 768));
}

TEST(ScreenLayout, MonitorLeftOfThePrimaryHasANegativeOrigin)
{
    const DisplayMetrics metrics = withSecond(-1280, 0, 1280, 1024);
    const SaverPlacement live = saverPlacement(metrics, false);
    EXPECT_EQ(live.window, (ScreenArea{-1280, 0, 2304, 1024}));
    EXPECT_EQ(live.desktopSource, (ScreenPoint{-1280, 0}));
    EXPECT_EQ(live.sceneInWindow, (ScreenPoint{0, 0}));
    EXPECT_EQ(live.flightField, (ScreenArea{1280, 0, 1024, 768}));
    EXPECT_EQ(sceneToWindow(live, {1280, 0, 1857, 365}), (FlightRect{1280, 0, 1857, 365}));

    const SaverPlacement fake = saverPlacement(metrics, true);
    EXPECT_EQ(fake.sceneInWindow, (ScreenPoint{1280, 0}));
    EXPECT_EQ(fake.flightField, (ScreenArea{0, 0, 1024, 768}));
    // The picture's pixel (0, 0) shows at the primary monitor's top-left.
    EXPECT_EQ(sceneToWindow(fake, {0, 0, 577, 365}), (FlightRect{1280, 0, 1857, 365}));
    // Nothing of the picture reaches the left monitor, however large it is.
    EXPECT_FALSE(sceneCoversWindow(fake, 4000, 4000));
}

TEST(ScreenLayout, MonitorAboveThePrimaryWithMixedSizes)
{
    // A 1920 x 1080 monitor above the 1024 x 768 primary, overhanging it on both sides.
    const DisplayMetrics metrics = withSecond(-448, -1080, 1920, 1080);
    const SaverPlacement live = saverPlacement(metrics, false);
    EXPECT_EQ(live.window, (ScreenArea{-448, -1080, 1920, 1848}));
    EXPECT_EQ(live.desktopSource, (ScreenPoint{-448, -1080}));
    EXPECT_EQ(live.flightField, (ScreenArea{448, 1080, 1024, 768}));

    const SaverPlacement fake = saverPlacement(metrics, true);
    EXPECT_EQ(fake.sceneInWindow, (ScreenPoint{448, 1080}));
    EXPECT_EQ(fake.flightField, (ScreenArea{0, 0, 1024, 768}));
    EXPECT_EQ(sceneToWindow(fake, {-10, -20, 10, 20}), (FlightRect{438, 1060, 458, 1100}));
}

TEST(ScreenLayout, ThreeMonitorsAroundAPortraitPrimary)
{
    // Left 1280 x 1024 at (-1280, 200), primary 1080 x 1920, right 2560 x 1440 at (1080, -300).
    const DisplayMetrics metrics{1080, 1920, {-1280, -300, 1280 + 1080 + 2560, 1920 + 300}};
    const SaverPlacement live = saverPlacement(metrics, false);
    EXPECT_EQ(live.window, (ScreenArea{-1280, -300, 4920, 2220}));
    EXPECT_EQ(live.flightField, (ScreenArea{1280, 300, 1080, 1920}));
    const SaverPlacement fake = saverPlacement(metrics, true);
    EXPECT_EQ(fake.sceneInWindow, (ScreenPoint{1280, 300}));
}

TEST(ScreenLayout, PlanesFlyAcrossThePrimaryMonitorAtItsPlace)
{
    // The flights' arithmetic for the field's size, moved to the field: a
    // right-to-left first plane enters at the primary's right edge, not at the
    // right edge of the whole layout, and ends a primary's width past its left edge.
    const SaverPlacement live = saverPlacement(withSecond(-1280, 0, 1280, 1024), false);
    const ScreenArea& field = live.flightField;
    const int32_t startX = field.left + firstPlaneStartX(enterRight, field.width);
    EXPECT_EQ(startX, 1280 + 1024);
    EXPECT_EQ(field.top + firstPlaneStartY(-4, field.height), 384 + 120);
    EXPECT_EQ(field.left + laterPlaneStartX(enterLeft, field.width), 1280 - 1094);
    EXPECT_FALSE(planeFinished(enterRight, 1280 - 1024 - field.left, field.width));
    EXPECT_TRUE(planeFinished(enterRight, 1280 - 1025 - field.left, field.width));
    EXPECT_FALSE(planeFinished(enterLeft, 1280 + 1024 - field.left, field.width));
    EXPECT_TRUE(planeFinished(enterLeft, 1280 + 1025 - field.left, field.width));
    // In the window, the plane at the field's origin is at the primary's top-left.
    EXPECT_EQ(sceneToWindow(live, spriteRectAt(field.left, field.top)).left, 1280);
    // The passes may change the primary monitor's part of the scene only.
    EXPECT_EQ(fieldInScene(live), (FlightRect{1280, 0, 2304, 768}));
    EXPECT_EQ(fieldInScene(saverPlacement(withSecond(-1280, 0, 1280, 1024), true)), (FlightRect{0, 0, 1024, 768}));
}

namespace {

// The monitors as the system lists them, the primary first.
DisplayMetrics listed(std::vector<MonitorArea> monitors)
{
    DisplayMetrics metrics;
    metrics.primaryWidth = monitors.front().area.width;
    metrics.primaryHeight = monitors.front().area.height;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    for (const MonitorArea& monitor : monitors) {
        left = std::min(left, monitor.area.left);
        top = std::min(top, monitor.area.top);
        right = std::max(right, monitor.area.left + monitor.area.width);
        bottom = std::max(bottom, monitor.area.top + monitor.area.height);
    }
    metrics.virtualScreen = {left, top, right - left, bottom - top};
    metrics.monitors = std::move(monitors);
    return metrics;
}

const MonitorArea primary1024{{0, 0, 1024, 768}, 96, true};

}

TEST(ScreenLayout, EveryFurtherMonitorHasAFlightOnItsOwnPixels)
{
    // (monitors, fake desktop, scene picture size) -> each further monitor in
    // scene pixels, the pixels its planes may change, and its DPI.
    const struct {
        const char* layout;
        std::vector<MonitorArea> monitors;
        bool fake;
        int32_t sceneWidth, sceneHeight;
        std::vector<MonitorField> expected;
    } rows[] = {
        {"one monitor", {primary1024}, false, 1024, 768, {}},
        {"left, smaller, negative origin", {primary1024, {{-800, 0, 800, 600}, 120, false}}, false, 1824, 768,
         {{{0, 0, 800, 600}, {0, 0, 800, 600}, 120}}},
        {"right, taller, lower", {primary1024, {{1024, 200, 1280, 1024}, 0, false}}, false, 2304, 1224,
         {{{1024, 200, 1280, 1024}, {1024, 200, 2304, 1224}, 0}}},
        {"above, overhanging both sides", {primary1024, {{-448, -1080, 1920, 1080}, 168, false}}, false, 1920, 1848,
         {{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}, 168}}},
        {"two touching on the right, listed first", {{{1024, 0, 800, 600}, 96, false}, primary1024,
                                                     {{1824, 0, 640, 480}, 96, false}}, false, 2464, 768,
         {{{1024, 0, 800, 600}, {1024, 0, 1824, 600}, 96}, {{1824, 0, 640, 480}, {1824, 0, 2464, 480}, 96}}},
        {"a gap between them", {primary1024, {{1124, 0, 800, 600}, 144, false}}, false, 1924, 768,
         {{{1124, 0, 800, 600}, {1124, 0, 1924, 600}, 144}}},
        // A mirrored display and one that overlaps the primary would show
        // the same planes twice: no flight of their own.
        {"mirrored", {primary1024, {{0, 0, 1024, 768}, 96, false}}, false, 1024, 768, {}},
        {"overlapping the primary", {primary1024, {{1000, 0, 800, 600}, 96, false}}, false, 1800, 768, {}},
        {"two further monitors overlapping each other",
         {primary1024, {{1024, 0, 800, 600}, 96, false}, {{1500, 0, 800, 600}, 96, false}}, false, 2300, 768,
         {{{1024, 0, 800, 600}, {1024, 0, 1824, 600}, 96}}},
        // A fake desktop picture sits at the primary's top-left: a monitor it
        // does not reach gets no flight, one it reaches has its planes cut there.
        {"fake, stock picture", {primary1024, {{1024, 0, 1280, 1024}, 96, false}}, true, 1024, 768, {}},
        {"fake, wide picture", {primary1024, {{1024, 0, 1280, 1024}, 96, false}}, true, 1600, 1200,
         {{{1024, 0, 1280, 1024}, {1024, 0, 1600, 1024}, 96}}},
        {"fake, monitor left", {primary1024, {{-800, 0, 800, 600}, 96, false}}, true, 4000, 4000, {}},
        {"fake, monitor above a taller primary", {{{0, 0, 1024, 1280}, 96, true}, {{0, -600, 1024, 600}, 96, false}},
         true, 1024, 1280, {}},
        {"no picture", {primary1024, {{1024, 0, 800, 600}, 96, false}}, false, 0, 0, {}},
        {"an empty monitor", {primary1024, {{1024, 0, 0, 600}, 96, false}}, false, 1024, 768, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.layout);
        DisplayMetrics metrics = listed(row.monitors);
        if (!row.monitors.front().primary)   // the primary is the one at the origin
            metrics.primaryWidth = 1024, metrics.primaryHeight = 768;
        const SaverPlacement placement = saverPlacement(metrics, row.fake);
        EXPECT_EQ(furtherMonitorFields(metrics, placement, row.sceneWidth, row.sceneHeight), row.expected);
    }
    // The primary's DPI as listed; asked for where the system lists no monitor.
    static constexpr auto asked = [] { return 144; };
    EXPECT_EQ(primaryDpiOf(listed({{{-800, 0, 800, 600}, 96, false}, {{0, 0, 1024, 768}, 120, true}}), asked), 120);
    EXPECT_EQ(primaryDpiOf(primaryOnly(1024, 768), asked), 144);
}

TEST(ScreenLayout, AFurtherMonitorsPlanesStartBesideItAndNeverChangeAPixelOffIt)
{
    // The second monitor left of the primary, smaller, and one right of it,
    // taller and lower; planes in both directions, climbing and descending,
    // at 100 % and at scales that are not whole numbers.
    const DisplayMetrics metrics = listed({primary1024, {{-800, 0, 800, 600}, 96, false},
                                           {{1024, 100, 1280, 1024}, 96, false}});
    const SaverPlacement live = saverPlacement(metrics, false);
    const std::vector<MonitorField> fields = furtherMonitorFields(metrics, live, 3104, 1124);
    ASSERT_EQ(fields.size(), 2u);
    for (const MonitorField& field : fields) {
        for (const int32_t dpi : {96, 120, 144, 168}) {
            for (const int slot : {1, 4, 5, 15, 19}) {
                const PlaneSlotEntry& entry = catalogueTable[slot - 1];
                SCOPED_TRACE(testing::Message() << "monitor at " << field.monitor.left << " dpi " << dpi << " slot "
                                                << slot);
                FlightState flight;
                flight.scale = flightScaleFor(dpi);
                flight.field = field.clip;
                flight.painted = spriteRect(flight);
                const ScreenArea& area = field.monitor;
                const int32_t startX = area.left + laterPlaneStartX(entry.direction, area.width, flight.scale);
                const int32_t startY = area.top + (entry.verticalStep < 0 ? area.height : 0);
                placePlane(flight, startX, startY, entry.horizontalStep, entry.verticalStep);
                // It starts wholly beside its monitor: nothing shows.
                EXPECT_TRUE(passArea(flight).scene.empty());
                int ticks = 0;
                bool seen = false;
                do {
                    advancePlane(flight);
                    const FlightRect changed = passArea(flight).scene;
                    seen = seen || !changed.empty();
                    if (!changed.empty()) {
                        ASSERT_EQ(intersectRect(changed, field.clip), changed) << "tick " << ticks;
                    }
                    ASSERT_LT(++ticks, 100000);
                } while (!planeFinished(entry.direction, flight.x - area.left, area.width));
                EXPECT_TRUE(seen) << "the plane crossed its monitor";
                // The end test is the monitor's own width, past its far edge.
                if (entry.direction == enterLeft)
                    EXPECT_GT(flight.x, area.left + area.width);
                else
                    EXPECT_LT(flight.x, area.left - area.width);
            }
        }
    }
}

TEST(ScreenLayout, DesktopCopyBandsStaySmallAndAlwaysMoveOn)
{
    // Small enough to stay in the cache at every width, never zero rows (the
    // copy loop would not end), and at most a band's worth of bytes a band.
    for (const int32_t width : {1, 640, 1920, 3840, 7680, 49152, 1 << 20}) {
        const int32_t rows = desktopCopyBandRows(width);
        SCOPED_TRACE(width);
        EXPECT_GE(rows, 1);
        EXPECT_TRUE(rows == 1 || int64_t(rows) * width * 4 <= 192 * 1024);
        EXPECT_GT(int64_t(rows + 1) * width * 4, 192 * 1024) << "bands as large as the limit allows";
    }
    EXPECT_EQ(desktopCopyBandRows(1920), 25);
    EXPECT_EQ(desktopCopyBandRows(0), desktopCopyBandRows(1));
    EXPECT_EQ(desktopCopyBandRows(-5), desktopCopyBandRows(1));
}

TEST(ScreenLayout, EveryRowIsCopiedOnceInBandsTopDown)
{
    // (height, band rows) -> every band asked for, as (top, rows): no band of
    // zero rows, none past the bottom, none at all for an empty scene.
    using Bands = std::vector<std::pair<int32_t, int32_t>>;
    const struct {
        int32_t height, bandRows;
        Bands expected;
    } rows[] = {
        {0, 25, {}},
        {1, 25, {{0, 1}}},
        {24, 25, {{0, 24}}},
        {25, 25, {{0, 25}}},
        {26, 25, {{0, 25}, {25, 1}}},
        {75, 25, {{0, 25}, {25, 25}, {50, 25}}},
        {3, 1, {{0, 1}, {1, 1}, {2, 1}}},
        {2, 0, {{0, 1}, {1, 1}}},
        {-4, 25, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.height) + " rows in bands of " + std::to_string(row.bandRows));
        Bands asked;
        const RowSpan uncopied = copyInBands(row.height, row.bandRows, [&](int32_t top, int32_t count) {
            asked.emplace_back(top, count);
            return true;
        });
        EXPECT_EQ(asked, row.expected);
        EXPECT_TRUE(uncopied.empty());
    }
}

TEST(ScreenLayout, ABandThatFailsLeavesOnlyItselfAndTheRowsBelowUncopied)
{
    // 1080 rows in bands of 25: the last band holds 5 rows.
    std::vector<std::pair<int32_t, int32_t>> asked;
    auto failingAt = [&](int32_t failingTop) {
        asked.clear();
        return copyInBands(1080, 25, [&](int32_t top, int32_t rows) {
            asked.emplace_back(top, rows);
            return top != failingTop;
        });
    };
    EXPECT_TRUE(failingAt(-1).empty()) << "every band copied";
    EXPECT_EQ(asked.size(), 44u);
    EXPECT_EQ(asked.back(), std::make_pair(1075, 5));

    EXPECT_EQ(failingAt(50), (RowSpan{50, 1080})) << "the two bands above it stay as copied";
    EXPECT_EQ(asked.size(), 3u) << "no band is tried after the failure";
    EXPECT_EQ(failingAt(0), (RowSpan{0, 1080}));
    EXPECT_EQ(failingAt(1075), (RowSpan{1075, 1080}));
    EXPECT_TRUE(copyInBands(0, 25, [](int32_t, int32_t) { return false; }).empty()) << "nothing to copy";
}
