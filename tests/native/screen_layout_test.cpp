// Where the saver's window, scene and flights go over one or more monitors:
// the virtual screen (or the primary screen where the system knows none), the
// live desktop copied from all of it, the fake desktop picture at the primary
// monitor's top-left and the planes flying across the primary monitor.
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
