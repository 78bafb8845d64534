// A tick's passes row by row against the four passes one after another (erase,
// save, mask, colour), each over its whole rectangle pixel by pixel: the same
// scene and the same save buffer, for a plane moving every way, with the old
// and the new place sharing rows or not, clipped at each edge of the scene, of
// the field and of the surfaces, and stored top row first or bottom row first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "saver/flight.h"
#include "saver/row_passes.h"

namespace {

// 32-bit pixels of their own, stored top row first or bottom row first, with
// row y at(x, y) either way.
struct Pixels {
    Pixels(int32_t width, int32_t height, bool bottomUp)
        : width(width), height(height), bottomUp(bottomUp), store(std::size_t(width) * std::size_t(height))
    {
    }
    uint32_t& at(int32_t x, int32_t y) { return store[std::size_t(bottomUp ? height - 1 - y : y) * width + x]; }
    uint32_t at(int32_t x, int32_t y) const
    {
        return store[std::size_t(bottomUp ? height - 1 - y : y) * width + x];
    }
    bool inside(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    PixelRows rows()
    {
        if (store.empty())
            return {nullptr, width, height, 0};
        return bottomUp ? PixelRows{store.data() + std::size_t(height - 1) * width, width, height, -width}
                        : PixelRows{store.data(), width, height, width};
    }
    int32_t width, height;
    bool bottomUp;
    std::vector<uint32_t> store;
};

// Fills with a pattern that no two pixels share; keep, mostly set bits (a
// mask), or few (colours).
enum class Bits { Any, Many, Few };
void fill(Pixels& pixels, uint32_t seed, Bits bits)
{
    uint32_t state = seed;
    const auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state ^ (state >> 15);
    };
    for (int32_t y = 0; y < pixels.height; ++y)
        for (int32_t x = 0; x < pixels.width; ++x) {
            uint32_t value = next();
            if (bits == Bits::Many)
                value |= next();
            if (bits == Bits::Few)
                value &= next() & next();
            pixels.at(x, y) = value;
        }
}

// One pass as a rectangle copy of one size: each destination pixel inside the
// target whose source pixel lies inside the source takes rule(itself, source).
template <class Rule>
void referencePass(Pixels& target, const FlightRect& to, const Pixels& source, const FlightRect& from, Rule rule)
{
    if (to.empty() || from.empty())
        return;
    const int64_t top = std::max<int64_t>(to.top, 0), bottom = std::min<int64_t>(to.bottom, target.height);
    const int64_t left = std::max<int64_t>(to.left, 0), right = std::min<int64_t>(to.right, target.width);
    for (int64_t y = top; y < bottom; ++y)
        for (int64_t x = left; x < right; ++x) {
            const int64_t sx = from.left + (x - to.left), sy = from.top + (y - to.top);
            if (source.inside(sx, sy))
                target.at(int32_t(x), int32_t(y)) = rule(target.at(int32_t(x), int32_t(y)),
                                                         source.at(int32_t(sx), int32_t(sy)));
        }
}

struct Surfaces {
    Pixels scene, saveBuffer, mask, colours;
    PassPixels rows() { return {scene.rows(), saveBuffer.rows(), mask.rows(), colours.rows()}; }
};

// The four passes one after another, each over its whole rectangle.
void referencePasses(Surfaces& s, const PassPlan& plan)
{
    const auto copy = [](uint32_t, uint32_t from) { return from; };
    referencePass(s.scene, plan.erase.scene, s.saveBuffer, plan.erase.sprite, copy);
    referencePass(s.saveBuffer, plan.save.sprite, s.scene, plan.save.scene, copy);
    referencePass(s.scene, plan.draw.scene, s.mask, plan.draw.sprite, [](uint32_t to, uint32_t from) { return to & from; });
    referencePass(s.scene, plan.draw.scene, s.colours, plan.draw.sprite, [](uint32_t to, uint32_t from) { return to | from; });
}

struct Size {
    int32_t width, height;
};

// A plane's tick: the sprite rectangle (its size the sprite's) at the place
// it left and the one it reached, its painted part, the field; the surfaces'
// sizes; and whether the tick changes the scene at all.
struct TickCase {
    std::string name;
    FlightRect left, reached;
    FlightRect painted{0, 0, 20, 14};
    FlightRect field = wholeScene;
    bool changesScene = true;
    Size scene{48, 36}, saveBuffer{24, 18}, mask{20, 14}, colours{20, 14};
};

// The 20 x 14 sprite rectangle with its top-left corner at (x, y).
FlightRect at(int32_t x, int32_t y, int32_t width = 20, int32_t height = 14)
{
    return {x, y, x + width, y + height};
}

TickCase withPainted(TickCase tick, const FlightRect& painted)
{
    tick.painted = painted;
    return tick;
}

PassArea areaOf(const TickCase& tick, const FlightRect& drawn)
{
    FlightState flight;
    flight.drawn = drawn;
    flight.painted = tick.painted;
    flight.field = tick.field;
    return passArea(flight);
}

// Which surfaces are stored bottom row first (as GDI's DIB sections mostly are).
struct Layout {
    const char* name;
    bool scene, saveBuffer, mask, colours;
};
const Layout layouts[] = {{"top row first", false, false, false, false},
                          {"bottom row first", true, true, true, true},
                          {"mixed", true, false, false, true}};

Surfaces surfacesFor(const TickCase& tick, const Layout& layout)
{
    Surfaces s{Pixels(tick.scene.width, tick.scene.height, layout.scene),
               Pixels(tick.saveBuffer.width, tick.saveBuffer.height, layout.saveBuffer),
               Pixels(tick.mask.width, tick.mask.height, layout.mask),
               Pixels(tick.colours.width, tick.colours.height, layout.colours)};
    fill(s.scene, 1, Bits::Any);
    fill(s.saveBuffer, 2, Bits::Any);   // what an earlier place left there
    fill(s.mask, 3, Bits::Many);
    fill(s.colours, 4, Bits::Few);
    return s;
}

// Pixels (x, y) where two pictures of one size differ, the first few.
std::string differences(const Pixels& got, const Pixels& expected)
{
    std::string found;
    int count = 0;
    for (int32_t y = 0; y < got.height; ++y)
        for (int32_t x = 0; x < got.width; ++x)
            if (got.at(x, y) != expected.at(x, y) && ++count <= 4)
                found += " (" + std::to_string(x) + ", " + std::to_string(y) + ")";
    return count == 0 ? "" : std::to_string(count) + " pixels differ, first at" + found;
}

class RowPasses : public ::testing::TestWithParam<TickCase> {};

TEST_P(RowPasses, LeaveThePixelsOfTheFourPassesOneAfterAnother)
{
    const TickCase& tick = GetParam();
    const PassArea left = areaOf(tick, tick.left), reached = areaOf(tick, tick.reached);
    const PassPlan plan{left, reached, reached};
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        Surfaces expected = surfacesFor(tick, layout);
        const Surfaces before = surfacesFor(tick, layout);
        referencePasses(expected, plan);
        EXPECT_EQ(differences(expected.scene, before.scene).empty(), !tick.changesScene);

        Surfaces byRow = surfacesFor(tick, layout);
        passRowByRow(byRow.rows(), plan);
        EXPECT_EQ(differences(byRow.scene, expected.scene), "") << "the scene";
        EXPECT_EQ(differences(byRow.saveBuffer, expected.saveBuffer), "") << "the save buffer";
        EXPECT_EQ(byRow.mask.store, before.mask.store);
        EXPECT_EQ(byRow.colours.store, before.colours.store);

        // Each pass alone, as erasePlane, saveUnderPlane and drawPlane do them.
        Surfaces oneByOne = surfacesFor(tick, layout);
        passRowByRow(oneByOne.rows(), {left, {}, {}});
        passRowByRow(oneByOne.rows(), {{}, reached, {}});
        passRowByRow(oneByOne.rows(), {{}, {}, reached});
        EXPECT_EQ(differences(oneByOne.scene, expected.scene), "") << "the scene, pass by pass";
        EXPECT_EQ(differences(oneByOne.saveBuffer, expected.saveBuffer), "") << "the save buffer, pass by pass";
    }
}

const FlightRect field{12, 6, 36, 28};
const FlightRect innerPart{3, 2, 17, 11};

const TickCase ticks[] = {
    {"StandingStill", at(14, 10), at(14, 10)},
    {"RightThree", at(14, 10), at(17, 10)},
    {"LeftThree", at(14, 10), at(11, 10)},
    {"LeftOne", at(14, 10), at(13, 10)},
    {"LeftTwo", at(14, 10), at(12, 10)},
    {"LeftFive", at(14, 10), at(9, 10)},
    {"LeftSix", at(14, 10), at(8, 10)},
    {"LeftSeven", at(14, 10), at(7, 10)},
    {"RightOne", at(14, 10), at(15, 10)},
    {"RightSix", at(14, 10), at(20, 10)},
    {"DownTwo", at(14, 10), at(14, 12)},
    {"UpTwo", at(14, 10), at(14, 8)},
    {"UpOne", at(14, 10), at(14, 9)},
    {"DownOne", at(14, 10), at(14, 11)},
    {"UpOneLeftFive", at(14, 10), at(9, 9)},
    {"UpFourRightTwo", at(14, 10), at(16, 6)},
    {"DownOneRightFive", at(14, 10), at(19, 11)},
    {"DownThreeLeftOne", at(14, 10), at(13, 13)},
    // The two places share one row, or none.
    {"UpThirteen", at(14, 18), at(14, 5)},
    {"DownThirteen", at(14, 5), at(14, 18)},
    {"UpFarApart", at(14, 20), at(15, 2)},
    {"DownFarApart", at(14, 2), at(13, 20)},
    {"RightFarApart", at(2, 10), at(26, 10)},
    {"LeftSideBySide", at(22, 10), at(2, 10)},
    // Across the scene's edges, with negative coordinates.
    {"AcrossTheLeftEdge", at(-8, 10), at(-5, 9)},
    {"InFromBeyondTheLeftEdge", at(-25, 10), at(-18, 11)},
    {"AcrossTheTopEdgeGoingDown", at(10, -6), at(12, -4)},
    {"AcrossTheTopEdgeGoingUp", at(10, -3), at(11, -7)},
    {"AcrossTheRightEdge", at(40, 10), at(43, 11)},
    {"AcrossTheBottomEdgeGoingDown", at(10, 30), at(9, 33)},
    {"AcrossTheBottomEdgeGoingUp", at(10, 33), at(9, 30)},
    {"AcrossTheTopLeftCorner", at(-7, -5), at(-9, -8)},
    {"AcrossTheBottomRightCorner", at(40, 30), at(42, 29)},
    {"OutOfTheSceneOnTheRight", at(45, 10), at(50, 10)},
    {"WhollyBeyondTheScene", at(-60, 10), at(-40, 10), {0, 0, 20, 14}, wholeScene, false},
    // Across the field's edges; beside it nothing changes.
    {"AcrossTheFieldsLeftEdge", at(2, 10), at(5, 9), {0, 0, 20, 14}, field},
    {"AcrossTheFieldsTopEdgeGoingUp", at(14, 0), at(15, -2), {0, 0, 20, 14}, field},
    {"AcrossTheFieldsTopEdgeGoingDown", at(14, -2), at(15, 1), {0, 0, 20, 14}, field},
    {"AcrossTheFieldsRightEdge", at(28, 10), at(31, 12), {0, 0, 20, 14}, field},
    {"AcrossTheFieldsBottomEdgeGoingUp", at(14, 24), at(14, 21), {0, 0, 20, 14}, field},
    {"AcrossTheFieldsCornerGoingUp", at(27, 20), at(30, 18), {0, 0, 20, 14}, field},
    {"IntoTheField", at(-10, 10), at(-5, 10), {0, 0, 20, 14}, field},
    {"BesideTheField", at(38, 10), at(42, 9), {0, 0, 20, 14}, field, false},
    // A painted part inside the sprite, a single row, a single pixel, none.
    withPainted({"InnerPaintedPartUpLeft", at(14, 10), at(12, 7)}, innerPart),
    withPainted({"InnerPaintedPartDownRight", at(14, 10), at(16, 13)}, innerPart),
    withPainted({"InnerPaintedPartAcrossTheFieldGoingUp", at(4, 8), at(6, 3), {}, field}, innerPart),
    withPainted({"OnePaintedRowDownOne", at(14, 10), at(14, 11)}, {0, 6, 20, 7}),
    withPainted({"OnePaintedPixelStill", at(14, 10), at(14, 10)}, {5, 5, 6, 6}),
    withPainted({"OnePaintedPixelUpOne", at(14, 10), at(14, 9)}, {5, 5, 6, 6}),
    withPainted({"OnePaintedPixelDownOne", at(14, 10), at(14, 11)}, {5, 5, 6, 6}),
    withPainted({"OnePaintedPixelRightOne", at(14, 10), at(15, 10)}, {5, 5, 6, 6}),
    withPainted({"NothingPainted", at(14, 10), at(16, 9), {}, wholeScene, false}, {}),
    // A one-pixel sprite.
    {"OnePixelSpriteUpOne", at(14, 10, 1, 1), at(14, 9, 1, 1), {0, 0, 1, 1}},
    {"OnePixelSpriteDownOne", at(14, 10, 1, 1), at(14, 11, 1, 1), {0, 0, 1, 1}},
    {"OnePixelSpriteAtTheCorner", at(47, 35, 1, 1), at(47, 35, 1, 1), {0, 0, 1, 1}},
    // Surfaces smaller than the sprite rectangle: each pass clipped at its own.
    {"SpritesSmallerThanTheRectangleGoingUp", at(14, 10), at(16, 8), {0, 0, 20, 14}, wholeScene, true, {48, 36},
     {24, 18}, {12, 9}, {12, 9}},
    {"ColoursNarrowerThanTheMask", at(14, 10), at(13, 12), {0, 0, 20, 14}, wholeScene, true, {48, 36}, {24, 18},
     {20, 14}, {15, 14}},
    {"ColoursShorterThanTheMaskGoingUp", at(14, 10), at(14, 7), {0, 0, 20, 14}, wholeScene, true, {48, 36},
     {24, 18}, {20, 14}, {20, 9}},
    {"NoColours", at(14, 10), at(15, 9), {0, 0, 20, 14}, wholeScene, true, {48, 36}, {24, 18}, {20, 14}, {0, 0}},
    {"SaveBufferSmallerThanTheSpriteGoingUp", at(14, 10), at(15, 8), {0, 0, 20, 14}, wholeScene, true, {48, 36},
     {16, 10}, {20, 14}, {20, 14}},
    {"SaveBufferSmallerThanTheSpriteGoingDown", at(14, 10), at(13, 13), {0, 0, 20, 14}, wholeScene, true, {48, 36},
     {16, 10}, {20, 14}, {20, 14}},
    // The saver's own sizes at 200 % on a part of a 4K scene.
    {"TwiceTheDesignSizeUpAndRight", at(200, 100, 1154, 730), at(222, 98, 1154, 730), {60, 160, 1100, 580},
     wholeScene, true, {1500, 960}, {1274, 924}, {1154, 730}, {1154, 730}},
};

INSTANTIATE_TEST_SUITE_P(Ticks, RowPasses, ::testing::ValuesIn(ticks),
                         [](const auto& info) { return info.param.name; });

}  // namespace
