// The flight's raster passes on real GDI bitmaps: erase, save, mask and colour
// passes on a scene in the display's format and on a 24-bit one (a fake
// desktop picture), with sprites as the JPEG decoder makes them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "framework/surface.h"
#include "saver/flight.h"
#include "saver/flight_passes.h"
#include "tests/support/pictures.h"

namespace {

constexpr int sceneWidth = 800;
constexpr int sceneHeight = 600;

uint32_t pixelAt(const Picture& picture, int x, int y)
{
    const uint8_t* row = picture.row(y);
    if (picture.bitsPerPixel == 32)
        return (uint32_t(row[4 * x + 2]) << 16) | (uint32_t(row[4 * x + 1]) << 8) | row[4 * x];
    if (picture.bitsPerPixel == 24)
        return (uint32_t(row[3 * x + 2]) << 16) | (uint32_t(row[3 * x + 1]) << 8) | row[3 * x];
    ADD_FAILURE() << "unexpected depth " << picture.bitsPerPixel;
    return 0;
}

// A background with no two neighbours alike, so any misplaced copy shows.
Picture noise(int width, int height)
{
    Picture picture = filledPicture24(width, height, 0);
    uint32_t state = 0x12345678;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            setPixel24(picture, x, y, state >> 8);
        }
    return picture;
}

void fillBlock(Picture& picture, const FlightRect& block, uint32_t colour)
{
    for (int y = block.top; y < block.bottom; ++y)
        for (int x = block.left; x < block.right; ++x)
            setPixel24(picture, x, y, colour);
}

// Which scene: the display's own format (a live desktop) or a 24-bit picture.
enum class SceneKind { Display, TwentyFourBit };

struct Scene {
    explicit Scene(SceneKind kind)
    {
        const Picture background = noise(sceneWidth, sceneHeight);
        if (kind == SceneKind::TwentyFourBit) {
            scene.assignBitmap(background);
        } else {
            // A bitmap in the display's format, painted like the live desktop copy.
            SceneSurface source(sceneWidth, sceneHeight);
            source.assignBitmap(background);
            scene.setRasterMode(RasterMode::Copy);
            const RECT all{0, 0, sceneWidth, sceneHeight};
            rasterCopy(scene, all, source, all);
        }
        original = scene.toPicture();
    }
    SceneSurface scene{sceneWidth, sceneHeight};
    SceneSurface saveBuffer{saveBufferWidth, saveBufferHeight};
    SceneSurface mask{spriteWidth, spriteHeight};
    SceneSurface colours{colourSurfaceWidth, colourSurfaceHeight};
    FlightSurfaces surfaces{scene, saveBuffer, mask, colours};
    Picture original;
};

// Scene pixels that differ from the original outside the allowed rectangle.
int changedOutside(const Picture& now, const Picture& original, const FlightRect& allowed)
{
    int changed = 0;
    for (int y = 0; y < now.height; ++y)
        for (int x = 0; x < now.width; ++x) {
            const bool inside = x >= allowed.left && x < allowed.right && y >= allowed.top && y < allowed.bottom;
            if (!inside && pixelAt(now, x, y) != pixelAt(original, x, y))
                ++changed;
        }
    return changed;
}

int changedAnywhere(const Picture& now, const Picture& original)
{
    return changedOutside(now, original, FlightRect{});
}

// The plane: a dark-edged block on white (mask) and its colours on black.
const FlightRect planeBody{40, 30, 520, 300};
const FlightRect planeCanopy{300, 60, 380, 110};
constexpr uint32_t bodyColour = 0x2080C0;
constexpr uint32_t canopyColour = 0xF0E010;

// The two sprite pictures as the JPEG decoder gives them: 24 bits per pixel.
struct SpritePictures {
    Picture mask, colours;
};

SpritePictures decodedSprites(int width = spriteWidth, int height = spriteHeight)
{
    SpritePictures sprites{filledPicture24(width, height, 0xFFFFFF), filledPicture24(width, height, 0x000000)};
    auto clip = [&](FlightRect r) {
        return FlightRect{r.left, r.top, std::min(r.right, width), std::min(r.bottom, height)};
    };
    fillBlock(sprites.mask, clip(planeBody), 0x000000);
    fillBlock(sprites.colours, clip(planeBody), bodyColour);
    fillBlock(sprites.colours, clip(planeCanopy), canopyColour);
    return sprites;
}

void giveSprites(Scene& scene, int width = spriteWidth, int height = spriteHeight)
{
    const SpritePictures sprites = decodedSprites(width, height);
    scene.mask.assignBitmap(sprites.mask);
    scene.colours.assignBitmap(sprites.colours);
}

// The sprites as the saver gives them: in the scene's format where the scene
// is in the display's (on a 32-bit display, the passes' loops over memory).
void giveSpritesAsTheSaverDoes(Scene& scene, int width = spriteWidth, int height = spriteHeight)
{
    const SpritePictures sprites = decodedSprites(width, height);
    assignSprites(scene.surfaces, sprites.colours, sprites.mask);
}

// What GDI makes of a picture in the display's format.
Picture throughDisplayBitmap(const Picture& picture)
{
    SceneSurface source(picture.width, picture.height), display(picture.width, picture.height);
    source.assignBitmap(picture);
    const RECT all{0, 0, picture.width, picture.height};
    display.setRasterMode(RasterMode::Copy);
    rasterCopy(display, all, source, all);
    return display.toPicture();
}

class FlightPasses : public ::testing::TestWithParam<SceneKind> {};

TEST_P(FlightPasses, EraseRestoresExactlyTheSavedBackground)
{
    Scene scene(GetParam());
    giveSprites(scene);
    FlightState flight;
    // A start place wholly left of the scene, as every left-to-right plane has.
    placePlane(flight, -spriteWidth - 20, 120, 37, 3);
    drawPlane(scene.surfaces, flight);
    ASSERT_EQ(changedAnywhere(scene.scene.toPicture(), scene.original), 0);

    for (int tick = 1; tick <= 24; ++tick) {
        moveAndRedrawPlane(scene.surfaces, flight);
        if (tick % 4 == 0) {
            // Only the plane's own rectangle differs from the background.
            ASSERT_EQ(changedOutside(scene.scene.toPicture(), scene.original, flight.drawn), 0) << "tick " << tick;
        }
    }
    ASSERT_GT(flight.x, 0);   // well inside: the plane is drawn in full
    EXPECT_GT(scene.original.width, 0);

    erasePlane(scene.surfaces, flight);
    EXPECT_EQ(changedAnywhere(scene.scene.toPicture(), scene.original), 0);
}

TEST_P(FlightPasses, APlaneCrossingTheFieldChangesNothingBesideIt)
{
    // The field is part of the scene (a second monitor left of it, the rest
    // above and below); the plane flies from its start place beside the field
    // across it and out, its body reaching past the field's bottom edge.
    Scene scene(GetParam());
    giveSpritesAsTheSaverDoes(scene);
    const FlightRect field{250, 40, sceneWidth, sceneHeight - 60};
    FlightState flight;
    placePlane(flight, field.left - startOffset, 300, 60, 2);
    flight.painted = findPaintedArea(scene.surfaces);
    flight.field = field;
    drawPlane(scene.surfaces, flight);
    int framesInField = 0;
    while (!planeFinished(enterLeft, flight.x - field.left, field.width())) {
        const FlightRect changed = moveAndRedrawPlane(scene.surfaces, flight);
        const Picture now = scene.scene.toPicture();
        ASSERT_EQ(changedOutside(now, scene.original, field), 0) << "at x " << flight.x;
        EXPECT_EQ(intersectRect(changed, field), changed) << "the window is shown a change beside the field";
        framesInField += changedAnywhere(now, scene.original) > 0;
    }
    EXPECT_GT(framesInField, 5);
}

TEST_P(FlightPasses, WhiteMaskAndBlackColoursLeaveTheSceneUnchanged)
{
    Scene scene(GetParam());
    scene.mask.assignBitmap(filledPicture24(spriteWidth, spriteHeight, 0xFFFFFF));
    scene.colours.assignBitmap(filledPicture24(spriteWidth, spriteHeight, 0x000000));
    FlightState flight;
    for (const auto& [x, y] : {std::pair{100, 50}, {-200, 400}, {sceneWidth - 300, -100}}) {
        placePlane(flight, x, y, 11, -2);
        saveUnderPlane(scene.surfaces, flight);
        drawPlane(scene.surfaces, flight);
        EXPECT_EQ(changedAnywhere(scene.scene.toPicture(), scene.original), 0) << "at " << x << ", " << y;
        moveAndRedrawPlane(scene.surfaces, flight);
        EXPECT_EQ(changedAnywhere(scene.scene.toPicture(), scene.original), 0) << "tick from " << x << ", " << y;
    }
}

// Checks the plane drawn with its top-left corner at (x, y).
void expectPlaneAt(const Picture& now, const Picture& original, int x, int y, int spriteW, int spriteH)
{
    int wrong = 0;
    for (int sy = 0; sy < spriteHeight; ++sy)
        for (int sx = 0; sx < spriteWidth; ++sx) {
            const int px = x + sx, py = y + sy;
            if (px < 0 || py < 0 || px >= now.width || py >= now.height)
                continue;
            uint32_t expected = pixelAt(original, px, py);
            const bool inImage = sx < spriteW && sy < spriteH;
            auto in = [&](const FlightRect& r) { return sx >= r.left && sx < r.right && sy >= r.top && sy < r.bottom; };
            if (inImage && in(planeCanopy))
                expected = canopyColour;
            else if (inImage && in(planeBody))
                expected = bodyColour;
            if (pixelAt(now, px, py) != expected && ++wrong <= 5)
                ADD_FAILURE() << "sprite pixel (" << sx << ", " << sy << ") at scene (" << px << ", " << py
                              << "): got 0x" << std::hex << pixelAt(now, px, py) << ", expected 0x" << expected;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(changedOutside(now, original, spriteRectAt(x, y)), 0);
}

TEST_P(FlightPasses, PlanePixelsLandAtTheDrawnRectangle)
{
    Scene scene(GetParam());
    giveSprites(scene);
    FlightState flight;
    placePlane(flight, 150, 110, 0, 0);
    drawPlane(scene.surfaces, flight);
    expectPlaneAt(scene.scene.toPicture(), scene.original, 150, 110, spriteWidth, spriteHeight);
}

TEST_P(FlightPasses, PlaneOverTheEdgesShowsOnlyItsInsidePart)
{
    // With the sprites as decoded, and in the scene's format (on a 32-bit
    // display, the passes' loops over memory), over every edge.
    for (const bool matched : {false, true})
        for (const auto& [x, y] : {std::pair{-300, -150}, {sceneWidth - 200, sceneHeight - 100},
                                   {-500, sceneHeight - 30}, {sceneWidth - 20, -300}}) {
            Scene scene(GetParam());
            if (matched)
                giveSpritesAsTheSaverDoes(scene);
            else
                giveSprites(scene);
            FlightState flight;
            placePlane(flight, x, y, 0, 0);
            flight.painted = findPaintedArea(scene.surfaces);
            saveUnderPlane(scene.surfaces, flight);
            drawPlane(scene.surfaces, flight);
            SCOPED_TRACE("at " + std::to_string(x) + ", " + std::to_string(y) + (matched ? ", matched" : ""));
            expectPlaneAt(scene.scene.toPicture(), scene.original, x, y, spriteWidth, spriteHeight);
            erasePlane(scene.surfaces, flight);
            EXPECT_EQ(changedAnywhere(scene.scene.toPicture(), scene.original), 0);
        }
}

TEST_P(FlightPasses, SpriteSmallerThanTheRectangleLeavesTheRestUnchanged)
{
    Scene scene(GetParam());
    const int smallWidth = 330, smallHeight = 200;   // cuts through the plane's body
    giveSprites(scene, smallWidth, smallHeight);
    FlightState flight;
    placePlane(flight, 120, 90, 5, 1);
    saveUnderPlane(scene.surfaces, flight);
    drawPlane(scene.surfaces, flight);
    expectPlaneAt(scene.scene.toPicture(), scene.original, 120, 90, smallWidth, smallHeight);

    // A tick on: the old place is restored, the new one drawn, the rest untouched.
    moveAndRedrawPlane(scene.surfaces, flight);
    expectPlaneAt(scene.scene.toPicture(), scene.original, 125, 91, smallWidth, smallHeight);
    erasePlane(scene.surfaces, flight);
    EXPECT_EQ(changedAnywhere(scene.scene.toPicture(), scene.original), 0);
}

TEST_P(FlightPasses, StartPlacesLieOutsideTheScene)
{
    Scene scene(GetParam());
    giveSprites(scene);
    FlightState flight;
    const int width = sceneWidth, height = sceneHeight;
    const std::pair<int32_t, int32_t> starts[] = {
        {firstPlaneStartX(enterLeft, width), firstPlaneStartY(-4, height)},
        {firstPlaneStartX(enterRight, width), firstPlaneStartY(3, height)},
        {laterPlaneStartX(enterRight, width), 0},
        {laterPlaneStartX(enterLeft, width), height},
    };
    for (const auto& [x, y] : starts) {
        placePlane(flight, x, y, 0, 0);
        drawPlane(scene.surfaces, flight);
        EXPECT_EQ(changedAnywhere(scene.scene.toPicture(), scene.original), 0) << "at " << x << ", " << y;
    }
    // The first tick's erase restores a save buffer that never saw the scene:
    // it lands outside too.
    placePlane(flight, laterPlaneStartX(enterLeft, width), 10, 12, 0);
    erasePlane(scene.surfaces, flight);
    EXPECT_EQ(changedAnywhere(scene.scene.toPicture(), scene.original), 0);
}

// A flight: where the plane starts, its steps, and its ticks.
struct Flight {
    int32_t x, y;
    int16_t horizontalStep, verticalStep;
    int ticks;
};

TEST_P(FlightPasses, SpritesInTheScenesFormatDrawTheSamePixels)
{
    // On a display of 32 bits, sprites in the scene's format take the passes
    // row by row in memory, sprites as decoded go through GDI: right and up
    // from beyond the left edge, left and down to beyond the bottom edge,
    // straight up, and straight down across the top edge.
    const Flight flights[] = {{-600, 140, 31, -2, 25}, {sceneWidth - 150, 250, -27, 3, 30},
                              {150, 300, 0, -7, 12}, {100, -250, 0, 9, 12}};
    for (const auto& [width, height] : {std::pair{spriteWidth, spriteHeight}, {330, 200}})
        for (const Flight& flight : flights) {
            Scene asDecoded(GetParam()), matched(GetParam());
            giveSprites(asDecoded, width, height);
            giveSpritesAsTheSaverDoes(matched, width, height);
            EXPECT_EQ(matched.mask.pictureWidth(), width);
            EXPECT_EQ(matched.colours.pictureHeight(), height);

            FlightState one, other;
            placePlane(one, flight.x, flight.y, flight.horizontalStep, flight.verticalStep);
            placePlane(other, flight.x, flight.y, flight.horizontalStep, flight.verticalStep);
            SCOPED_TRACE("sprite " + std::to_string(width) + " x " + std::to_string(height) + " from " +
                         std::to_string(flight.x) + ", " + std::to_string(flight.y));
            saveUnderPlane(asDecoded.surfaces, one);   // some start inside the scene
            saveUnderPlane(matched.surfaces, other);
            for (int tick = 0; tick < flight.ticks; ++tick) {
                moveAndRedrawPlane(asDecoded.surfaces, one);
                moveAndRedrawPlane(matched.surfaces, other);
            }
            const Picture expected = asDecoded.scene.toPicture();
            const Picture got = matched.scene.toPicture();
            ASSERT_EQ(got.bits.size(), expected.bits.size());
            EXPECT_EQ(changedAnywhere(got, expected), 0);
            EXPECT_GT(changedAnywhere(got, matched.original), 0);
            // The plane's last place restored from each save buffer: the background again.
            erasePlane(asDecoded.surfaces, one);
            erasePlane(matched.surfaces, other);
            EXPECT_EQ(changedAnywhere(matched.scene.toPicture(), asDecoded.scene.toPicture()), 0);
            EXPECT_EQ(changedAnywhere(matched.scene.toPicture(), matched.original), 0);
        }
}

TEST_P(FlightPasses, SpritesAreGivenThePixelsOfGdisOwnConversion)
{
    // An odd width, so the 24-bit rows carry padding that must not shift a row.
    for (const auto& [width, height] : {std::pair{spriteWidth, spriteHeight}, {331, 201}}) {
        Scene given(GetParam());
        const SpritePictures sprites = decodedSprites(width, height);
        const FlightRect painted = assignSprites(given.surfaces, sprites.colours, sprites.mask);

        SCOPED_TRACE("sprite " + std::to_string(width) + " x " + std::to_string(height));
        // Told from the decoded pictures or read back from the sprites: the same area.
        EXPECT_EQ(painted, findPaintedArea(given.surfaces));
        EXPECT_FALSE(painted.empty());
        for (const auto& [surface, decoded] :
             {std::pair{&given.mask, &sprites.mask}, {&given.colours, &sprites.colours}}) {
            // Only a scene in the display's format has its sprites converted.
            const Picture expected = GetParam() == SceneKind::Display ? throughDisplayBitmap(*decoded) : *decoded;
            const Picture got = surface->toPicture();
            EXPECT_EQ(got.bitsPerPixel, expected.bitsPerPixel);
            EXPECT_EQ(got.bits, expected.bits);
        }
    }
}

TEST_P(FlightPasses, PaintedAreaDrawsTheFramesOfTheWholeRectangle)
{
    Scene whole(GetParam()), painted(GetParam());
    giveSpritesAsTheSaverDoes(whole);
    giveSpritesAsTheSaverDoes(painted);
    FlightState one, other;
    placePlane(one, -600, 140, 31, -2);
    placePlane(other, -600, 140, 31, -2);
    other.painted = findPaintedArea(painted.surfaces);
    EXPECT_EQ(other.painted, planeBody);   // the canopy lies inside the body

    for (int tick = 1; tick <= 40; ++tick) {
        moveAndRedrawPlane(whole.surfaces, one);
        const Picture before = painted.scene.toPicture();
        const FlightRect changed = moveAndRedrawPlane(painted.surfaces, other);
        const Picture after = painted.scene.toPicture();
        // The window is shown only the changed rectangle: nothing else may change.
        ASSERT_EQ(changedOutside(after, before, changed), 0) << "tick " << tick;
        if (tick % 5 == 0) {
            ASSERT_EQ(changedAnywhere(after, whole.scene.toPicture()), 0) << "tick " << tick;
        }
    }
    EXPECT_GT(changedAnywhere(painted.scene.toPicture(), painted.original), 0);
}

INSTANTIATE_TEST_SUITE_P(Scenes, FlightPasses, ::testing::Values(SceneKind::Display, SceneKind::TwentyFourBit),
                         [](const auto& info) { return info.param == SceneKind::Display ? "DisplayFormat" : "TwentyFourBit"; });

}  // namespace
