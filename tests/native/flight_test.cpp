// The flight arithmetic: start places, start heights, the end of a flight and
// the pause between planes.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "saver/catalogue.h"
#include "saver/flight.h"

namespace {

// Gives a chosen number and remembers the range it was asked for.
class FixedSource : public UniformSource {
public:
    explicit FixedSource(int value) : value_(value) {}
    int between(int low, int high) override
    {
        askedLow = low;
        askedHigh = high;
        ++calls;
        return value_;
    }
    int askedLow = -1, askedHigh = -1, calls = 0;
private:
    int value_;
};

const PlaneSlotEntry& slotRow(int number) { return catalogueTable.at(number - 1); }

TEST(FirstPlanePlacement, ClimbingSlot4StartsBelowTheMiddleLeftOfTheScreen)
{
    const PlaneSlotEntry& slot4 = slotRow(4);
    ASSERT_EQ(slot4.direction, enterLeft);
    ASSERT_EQ(slot4.verticalStep, -4);
    EXPECT_EQ(firstPlaneStartX(slot4.direction, 1024), -1094);
    EXPECT_EQ(firstPlaneStartY(slot4.verticalStep, 768), 384 + 120);
    EXPECT_EQ(firstPlaneStartY(slot4.verticalStep, 1080), 540 + 120);
}

TEST(FirstPlanePlacement, HalfScreenHeightRoundsHalvesToEven)
{
    EXPECT_EQ(halfRoundedToEven(1024), 512);
    EXPECT_EQ(halfRoundedToEven(1025), 512);   // 512.5
    EXPECT_EQ(halfRoundedToEven(1027), 514);   // 513.5
    EXPECT_EQ(halfRoundedToEven(1), 0);        // 0.5
    EXPECT_EQ(halfRoundedToEven(3), 2);        // 1.5
    EXPECT_EQ(halfRoundedToEven(0), 0);
    EXPECT_EQ(halfRoundedToEven(-3), -2);      // -1.5
    EXPECT_EQ(halfRoundedToEven(-5), -2);      // -2.5
    // A descending plane starts above the middle, a level one on it.
    EXPECT_EQ(firstPlaneStartY(2, 1025), 512 - 60);
    EXPECT_EQ(firstPlaneStartY(0, 1027), 514);
}

TEST(FirstPlanePlacement, RightToLeftFirstPlaneStartsAtTheEdgeLaterOnesFurtherOut)
{
    EXPECT_EQ(firstPlaneStartX(enterRight, 1024), 1024);
    EXPECT_EQ(laterPlaneStartX(enterRight, 1024), 1024 + 1094);
    EXPECT_EQ(firstPlaneStartX(enterRight, 1920), 1920);
    EXPECT_EQ(laterPlaneStartX(enterRight, 1920), 1920 + 1094);
    EXPECT_EQ(laterPlaneStartX(enterLeft, 1920), -1094);
    EXPECT_EQ(startOffset, 1094);
}

TEST(FirstPlanePlacement, PlacingSetsStepsAndRectangles)
{
    FlightState flight;
    flight.drawn = {1, 2, 3, 4};
    placePlane(flight, -1094, 504, 15, -4);
    EXPECT_EQ(flight.x, -1094);
    EXPECT_EQ(flight.y, 504);
    EXPECT_EQ(flight.horizontalStep, 15);
    EXPECT_EQ(flight.verticalStep, -4);
    EXPECT_EQ(flight.drawn, (FlightRect{-1094, 504, -1094 + 577, 504 + 365}));

    advancePlane(flight);
    EXPECT_EQ(flight.x, -1079);
    EXPECT_EQ(flight.y, 500);
    EXPECT_EQ(flight.drawn, (FlightRect{-1079, 500, -1079 + 577, 500 + 365}));
}

TEST(RandomStartY, DescendingPlaneBelowTheMiddleStartsAtTheTop)
{
    const int16_t descending = slotRow(5).verticalStep;
    ASSERT_GT(descending, 0);
    FixedSource lower(600);
    EXPECT_EQ(randomStartY(descending, 1000, lower), 0);
    EXPECT_EQ(lower.askedLow, 0);
    EXPECT_EQ(lower.askedHigh, 999);
    EXPECT_EQ(lower.calls, 1);
    FixedSource bottomRow(999);
    EXPECT_EQ(randomStartY(descending, 1000, bottomRow), 0);
    // Exactly the middle is not below it; above it stays.
    FixedSource middle(500);
    EXPECT_EQ(randomStartY(descending, 1000, middle), 500);
    FixedSource upper(17);
    EXPECT_EQ(randomStartY(descending, 1000, upper), 17);
    // Odd height: the middle is 3.5, so row 4 is below it and row 3 above.
    FixedSource row4(4), row3(3);
    EXPECT_EQ(randomStartY(descending, 7, row4), 0);
    EXPECT_EQ(randomStartY(descending, 7, row3), 3);
}

TEST(RandomStartY, ClimbingPlaneAboveTheMiddleStartsBelowTheBottom)
{
    const int16_t climbing = slotRow(4).verticalStep;
    ASSERT_LT(climbing, 0);
    FixedSource upper(499);
    EXPECT_EQ(randomStartY(climbing, 1000, upper), 1000);
    FixedSource top(0);
    EXPECT_EQ(randomStartY(climbing, 1000, top), 1000);
    FixedSource middle(500);
    EXPECT_EQ(randomStartY(climbing, 1000, middle), 500);
    FixedSource lower(800);
    EXPECT_EQ(randomStartY(climbing, 1000, lower), 800);
    FixedSource row3(3), row4(4);
    EXPECT_EQ(randomStartY(climbing, 7, row3), 7);
    EXPECT_EQ(randomStartY(climbing, 7, row4), 4);
}

TEST(RandomStartY, LevelPlaneStartsAtAnyRow)
{
    for (int slot : {2, 18}) {
        const int16_t level = slotRow(slot).verticalStep;
        ASSERT_EQ(level, 0) << "slot " << slot;
        for (int row : {0, 1, 383, 384, 385, 767}) {
            FixedSource source(row);
            EXPECT_EQ(randomStartY(level, 768, source), row) << "slot " << slot << ", row " << row;
            EXPECT_EQ(source.askedHigh, 767);
        }
    }
}

TEST(RandomStartY, RealSourceStaysOnTheScreen)
{
    SeededUniformSource source(12345);
    for (int i = 0; i < 500; ++i) {
        const int32_t level = randomStartY(0, 768, source);
        EXPECT_GE(level, 0);
        EXPECT_LT(level, 768);
        const int32_t descending = randomStartY(2, 768, source);
        EXPECT_TRUE(descending == 0 || (descending > 0 && descending <= 384)) << descending;
        const int32_t climbing = randomStartY(-3, 768, source);
        EXPECT_TRUE(climbing == 768 || (climbing >= 384 && climbing < 768)) << climbing;
    }
}

TEST(EndOfFlight, TestsOnA1024PixelScreen)
{
    EXPECT_FALSE(planeFinished(enterLeft, 1024, 1024));
    EXPECT_TRUE(planeFinished(enterLeft, 1025, 1024));
    EXPECT_FALSE(planeFinished(enterLeft, -1094, 1024));
    EXPECT_FALSE(planeFinished(enterRight, -1024, 1024));
    EXPECT_TRUE(planeFinished(enterRight, -1025, 1024));
    // A right-to-left plane long past the visible edge still flies.
    EXPECT_FALSE(planeFinished(enterRight, -577, 1024));
    EXPECT_FALSE(planeFinished(enterRight, 1024 + 1094, 1024));
}

// Ticks a plane from its later start until it is finished; returns the ticks.
int ticksUntilFinished(int slotNumber, int32_t screenWidth, int32_t& finalX)
{
    const PlaneSlotEntry& slot = slotRow(slotNumber);
    FlightState flight;
    placePlane(flight, laterPlaneStartX(slot.direction, screenWidth), 0, slot.horizontalStep, slot.verticalStep);
    int ticks = 0;
    do {
        advancePlane(flight);
        ++ticks;
    } while (!planeFinished(slot.direction, flight.x, screenWidth) && ticks < 100000);
    finalX = flight.x;
    return ticks;
}

TEST(EndOfFlight, FlightsEndOnTheFirstTickPastTheLimit)
{
    int32_t x = 0;
    // Slot 1 moves 22 pixels a tick from -1094: 97 ticks reach 1040, the first x > 1024.
    EXPECT_EQ(ticksUntilFinished(1, 1024, x), 97);
    EXPECT_EQ(x, 1040);
    // Slot 5 moves -14 a tick from 2118: 225 ticks reach -1032, the first x < -1024.
    EXPECT_EQ(ticksUntilFinished(5, 1024, x), 225);
    EXPECT_EQ(x, -1032);
    for (int slot = 1; slot <= slotCount; ++slot) {
        ticksUntilFinished(slot, 1024, x);
        if (slotRow(slot).direction == enterLeft)
            EXPECT_GT(x, 1024) << "slot " << slot;
        else
            EXPECT_LT(x, -1024) << "slot " << slot;
    }
}

// On a scaled display every design length and step grows by DPI / 96.
TEST(ScaledFlight, SizesAndStartPlacesGrowByTheScale)
{
    struct Row {
        int dpi;
        FlightGeometry geometry;
    };
    const Row rows[] = {
        {96, FlightGeometry{}},
        // 125 %: 721.25, 456.25, 683.75, 357.5, 796.25, 577.5, 1367.5.
        {120, {721, 456, 684, 358, 796, 578, 1368}},
        // 150 %: halves round away from zero (865.5, 547.5).
        {144, {866, 548, 821, 429, 956, 693, 1641}},
        // 175 %: 1009.75, 638.75, 957.25, 500.5, 1114.75, 808.5, 1914.5.
        {168, {1010, 639, 957, 501, 1115, 809, 1915}},
        {192, {1154, 730, 1094, 572, 1274, 924, 2188}},
    };
    for (const Row& row : rows) {
        const FlightScale scale = flightScaleFor(row.dpi);
        EXPECT_EQ(flightGeometry(scale), row.geometry) << row.dpi << " DPI";
        // Either picture pair is drawn at exactly the sprite's size.
        for (const int pictureScale : {1, 2}) {
            EXPECT_EQ(scaledPictureLength(pictureScale * spriteWidth, scale, pictureScale), row.geometry.spriteWidth)
                << row.dpi << " DPI, pictures for " << pictureScale;
            EXPECT_EQ(scaledPictureLength(pictureScale * spriteHeight, scale, pictureScale), row.geometry.spriteHeight)
                << row.dpi << " DPI, pictures for " << pictureScale;
        }
    }
    // Below 96 DPI the design's pixels stay; above 500 % the scale is held.
    EXPECT_EQ(flightScaleFor(72).dpi, 96);
    EXPECT_EQ(flightScaleFor(0).dpi, 96);
    EXPECT_EQ(flightScaleFor(10000).dpi, 480);

    const FlightScale twice = flightScaleFor(192), half = flightScaleFor(144);
    EXPECT_EQ(firstPlaneStartX(enterLeft, 3840, twice), -2188);
    EXPECT_EQ(firstPlaneStartX(enterRight, 3840, twice), 3840);
    EXPECT_EQ(laterPlaneStartX(enterRight, 3840, twice), 3840 + 2188);
    EXPECT_EQ(laterPlaneStartX(enterLeft, 2880, half), -1641);
    // Slot 4 climbs 4 a tick: 120 design pixels below the middle, 240 at 200 %.
    EXPECT_EQ(firstPlaneStartY(-4, 2160, twice), 1080 + 240);
    EXPECT_EQ(firstPlaneStartY(3, 1620, half), 810 - 135);
    EXPECT_EQ(firstPlaneStartY(-1, 1620, half), 810 + 45);   // 45, not 44
    // A shift that ends in a half rounds away from zero, below the middle as
    // above it: 30 ticks of 1 at 125 % are 37.5.
    const FlightScale quarter = flightScaleFor(120);
    EXPECT_EQ(quarter.length(-30), -38);
    EXPECT_EQ(quarter.length(30), 38);
    EXPECT_EQ(firstPlaneStartY(-1, 1350, quarter), 675 + 38);
    EXPECT_EQ(firstPlaneStartY(1, 1350, quarter), 675 - 38);
    EXPECT_EQ(firstPlaneStartX(enterLeft, 2400, quarter), -1368);   // 1367.5
    EXPECT_EQ(laterPlaneStartX(enterRight, 2400, quarter), 2400 + 1368);

    FlightState flight;
    flight.scale = twice;
    placePlane(flight, -2188, 1320, 15, -4);
    EXPECT_EQ(flight.drawn, (FlightRect{-2188, 1320, -2188 + 1154, 1320 + 730}));
    advancePlane(flight);
    EXPECT_EQ(flight.drawn, (FlightRect{-2158, 1312, -2158 + 1154, 1312 + 730}));
    EXPECT_EQ(spriteRect(flight), (FlightRect{0, 0, 1154, 730}));

    // The pictures for twice the density are drawn as they are at 200 %, at
    // three quarters at 150 %; today's pictures at the scale.
    EXPECT_EQ(scaledPictureLength(1154, twice, 2), 1154);
    EXPECT_EQ(scaledPictureLength(1154, half, 2), 866);
    EXPECT_EQ(scaledPictureLength(577, half, 1), 866);
    EXPECT_EQ(scaledPictureLength(577, flightScaleFor(120), 1), 721);
}

// Where a plane stands n ticks after it started at start: the exact place,
// start + n * step * dpi / 96, rounded to the nearest pixel (a half up, so the
// moves of a fractional step alternate evenly from the first tick on).
int32_t exactPlace(int32_t start, int ticks, int16_t designStep, FlightScale scale)
{
    const int64_t in96ths = int64_t{ticks} * designStep * scale.dpi + flightDesignDpi / 2;
    const int64_t below = in96ths >= 0 ? in96ths / flightDesignDpi : -((-in96ths + flightDesignDpi - 1) / flightDesignDpi);
    return static_cast<int32_t>(start + below);
}

// Flies a plane of the slot from (startX, startY) until the end test on the
// saver's one flight state (whatever the plane before it left in it),
// checking x and y at every tick against the exact place rounded. Returns
// the ticks; counts the ticks whose place was off in wrongTicks.
int checkedFlight(FlightState& flight, int slotNumber, int32_t startX, int32_t startY, int32_t screenWidth,
                  int& wrongTicks)
{
    const PlaneSlotEntry& slot = slotRow(slotNumber);
    placePlane(flight, startX, startY, slot.horizontalStep, slot.verticalStep);
    int ticks = 0;
    do {
        advancePlane(flight);
        ++ticks;
        const int32_t x = exactPlace(startX, ticks, slot.horizontalStep, flight.scale);
        const int32_t y = exactPlace(startY, ticks, slot.verticalStep, flight.scale);
        if (flight.x != x || flight.y != y || flight.drawn != spriteRectAt(flight, x, y)) {
            if (wrongTicks++ == 0)
                ADD_FAILURE() << "slot " << slotNumber << " at " << flight.scale.dpi << " DPI, tick " << ticks
                              << ": at " << flight.x << "," << flight.y << ", exactly " << x << "," << y;
        }
    } while (!planeFinished(slot.direction, flight.x, screenWidth) && ticks < 100000);
    return ticks;
}

TEST(ScaledFlight, EveryPlaneStandsAtItsExactPlaceRoundedAtEveryTick)
{
    for (const int dpi : {96, 120, 144, 168, 192, 240}) {
        // A screen of the same physical size at every scale; the first plane,
        // then every slot's in turn, as the saver flies them one after another.
        const FlightScale scale = flightScaleFor(dpi);
        const int32_t width = 1920 * dpi / 96, height = 1080 * dpi / 96;
        FlightState flight;
        flight.scale = scale;
        int wrongTicks = 0;
        const PlaneSlotEntry& first = slotRow(1);
        checkedFlight(flight, 1, firstPlaneStartX(first.direction, width, scale),
                      firstPlaneStartY(first.verticalStep, height, scale), width, wrongTicks);
        for (int slot = 1; slot <= slotCount; ++slot)
            checkedFlight(flight, slot, laterPlaneStartX(slotRow(slot).direction, width, scale),
                          (slot * 97) % height, width, wrongTicks);
        EXPECT_EQ(wrongTicks, 0) << dpi << " DPI";
    }
    // At 96 DPI the design's own steps, tick for tick.
    int32_t x = 0;
    FlightState design;
    int wrongTicks = 0;
    EXPECT_EQ(checkedFlight(design, 1, -1094, 0, 1024, wrongTicks), ticksUntilFinished(1, 1024, x));
    // Twice the screen at twice the scale: the same ticks as at 96 DPI.
    FlightState twice;
    twice.scale = flightScaleFor(192);
    EXPECT_EQ(checkedFlight(twice, 5, 2048 + 2188, 0, 2048, wrongTicks), 225);
    EXPECT_EQ(wrongTicks, 0);
}

TEST(ScaledFlight, AFractionalStepAlternatesAndCarriesTheRest)
{
    int32_t carry = 48;
    // 15 at 150 % is 22.5: 23, 22, 23, 22 from a half-pixel start.
    EXPECT_EQ(scaledStep(15, flightScaleFor(144), carry), 23);
    EXPECT_EQ(scaledStep(15, flightScaleFor(144), carry), 22);
    EXPECT_EQ(scaledStep(15, flightScaleFor(144), carry), 23);
    carry = 48;
    EXPECT_EQ(scaledStep(-13, flightScaleFor(144), carry), -19);   // -19.5 + 0.5
    EXPECT_EQ(scaledStep(-13, flightScaleFor(144), carry), -20);
    EXPECT_EQ(carry, 48);
    carry = 48;
    EXPECT_EQ(scaledStep(-1, flightScaleFor(120), carry), -1);   // -1.25 + 0.5 = -0.75: a quarter left
    EXPECT_EQ(carry, 24);
}

TEST(PauseInterval, DelaySecondsLess999Milliseconds)
{
    EXPECT_EQ(pauseInterval(1), 1u);
    EXPECT_EQ(pauseInterval(4), 3001u);
    EXPECT_EQ(pauseInterval(300), 299001u);
}

TEST(PauseInterval, DelayBelowOneGivesTheShortestPause)
{
    EXPECT_EQ(pauseInterval(0), 1u);
    EXPECT_EQ(pauseInterval(-1), 1u);
    EXPECT_EQ(pauseInterval(std::numeric_limits<int32_t>::min()), 1u);
}

TEST(PauseInterval, HugeDelayIsHeldAtTheLongestTimerInterval)
{
    EXPECT_EQ(pauseInterval(2147483), 2147482001u);
    EXPECT_EQ(pauseInterval(2147484), 2147483001u);
    EXPECT_EQ(pauseInterval(2147485), longestTimerInterval);
    EXPECT_EQ(pauseInterval(std::numeric_limits<int32_t>::max()), longestTimerInterval);
}

TEST(FlyingInterval, LeftTimerFiveRightTimerTwentyFive)
{
    EXPECT_EQ(flyingInterval(enterLeft), 5u);
    EXPECT_EQ(flyingInterval(enterRight), 25u);
}

TEST(RepaintRectangle, UnionCoversBothAndIgnoresEmpty)
{
    const FlightRect erased{100, 200, 677, 565};
    const FlightRect drawn{122, 199, 699, 564};
    EXPECT_EQ(unionRect(erased, drawn), (FlightRect{100, 199, 699, 565}));
    EXPECT_EQ(unionRect(drawn, erased), unionRect(erased, drawn));
    EXPECT_EQ(unionRect(FlightRect{}, drawn), drawn);
    EXPECT_EQ(unionRect(erased, FlightRect{5, 5, 5, 9}), erased);
    EXPECT_EQ(unionRect(FlightRect{-1094, 0, -517, 365}, FlightRect{-1072, -1, -495, 364}),
              (FlightRect{-1094, -1, -495, 365}));
}

// The passes' rectangles cut to the field: a field of 1024 x 768 at x = 800
// (a second monitor left of the primary), a plane whose painted part is
// (64, 48)-(336, 144) of its sprite.
FlightState planeAt(int32_t x, int32_t y)
{
    FlightState flight;
    placePlane(flight, x, y, 22, -1);
    flight.painted = {64, 48, 336, 144};
    flight.field = {800, 0, 1824, 768};
    return flight;
}

TEST(PassArea, APlaneBesideTheFieldTouchesNothing)
{
    // Its start place: the painted part lies on the monitor left of the field.
    EXPECT_TRUE(passArea(planeAt(800 - 1094, 300)).scene.empty());
    EXPECT_TRUE(passArea(planeAt(800 - 1094, 300)).sprite.empty());
    // Just past the right edge, and above the top edge.
    EXPECT_TRUE(passArea(planeAt(1824 - 64, 300)).scene.empty());
    EXPECT_TRUE(passArea(planeAt(900, -144)).scene.empty());
}

TEST(PassArea, APlaneAcrossAnEdgeWorksOnlyInsideTheField)
{
    // Across the left edge: the scene part starts at the edge, the sprite part
    // at the same pixel of the sprite.
    const PassArea left = passArea(planeAt(800 - 100, 300));
    EXPECT_EQ(left.scene, (FlightRect{800, 348, 800 - 100 + 336, 444}));
    EXPECT_EQ(left.sprite, (FlightRect{100, 48, 336, 144}));
    // Across the right and the bottom edges.
    const PassArea corner = passArea(planeAt(1824 - 200, 768 - 60));
    EXPECT_EQ(corner.scene, (FlightRect{1824 - 136, 768 - 12, 1824, 768}));
    EXPECT_EQ(corner.sprite, (FlightRect{64, 48, 200, 60}));
    EXPECT_EQ(corner.scene.width(), corner.sprite.width());
    EXPECT_EQ(corner.scene.height(), corner.sprite.height());
}

TEST(PassArea, InsideTheFieldOrWithoutOneThePaintedPartIsWhole)
{
    const FlightState inside = planeAt(1000, 200);
    EXPECT_EQ(passArea(inside).scene, paintedInScene(inside));
    EXPECT_EQ(passArea(inside).sprite, inside.painted);

    FlightState anywhere;   // the default field: only the scene's edges limit it
    placePlane(anywhere, -5000, -3000, 22, -1);
    EXPECT_EQ(passArea(anywhere).scene, anywhere.drawn);
    EXPECT_EQ(passArea(anywhere).sprite, spriteRect());
}

TEST(PassArea, IntersectionIsEmptyWhenRectanglesOnlyTouch)
{
    EXPECT_TRUE(intersectRect({0, 0, 10, 10}, {10, 0, 20, 10}).empty());
    EXPECT_EQ(intersectRect({0, 0, 10, 10}, {5, -5, 20, 8}), (FlightRect{5, 0, 10, 8}));
}

}  // namespace
