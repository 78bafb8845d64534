// The painted area of a plane's sprites: where the mask is not white or the
// colours not black, in every pixel layout the decoder and GDI give.
#include <gtest/gtest.h>

#include <cstdint>

#include "saver/flight.h"
#include "saver/sprite_area.h"

namespace {

Picture blank(int width, int height, int bitsPerPixel, uint8_t fill)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.bitsPerPixel = bitsPerPixel;
    picture.bits.assign(picture.stride() * height, fill);
    return picture;
}

void setBytes(Picture& picture, int x, int y, std::initializer_list<uint8_t> bytes)
{
    uint8_t* pixel = picture.row(y) + x * picture.bitsPerPixel / 8;
    for (uint8_t byte : bytes)
        *pixel++ = byte;
}

const Picture noPicture;

TEST(PaintedArea, CoversEveryMaskPixelThatIsNotWhiteAndEveryColourThatIsNotBlack)
{
    Picture mask = blank(spriteWidth, spriteHeight, 24, 0xFF);
    Picture colours = blank(spriteWidth, spriteHeight, 24, 0x00);
    setBytes(mask, 40, 30, {0xFF, 0xFE, 0xFF});   // one level off white still paints
    setBytes(mask, 300, 200, {0, 0, 0});
    setBytes(colours, 500, 12, {0, 0, 1});
    EXPECT_EQ(paintedArea(mask, colours), (FlightRect{40, 12, 501, 201}));
    EXPECT_EQ(paintedArea(mask, noPicture), (FlightRect{40, 30, 301, 201}));
    EXPECT_EQ(paintedArea(noPicture, colours), (FlightRect{500, 12, 501, 13}));
}

TEST(PaintedArea, WhiteMaskAndBlackColoursPaintNothing)
{
    EXPECT_TRUE(paintedArea(blank(spriteWidth, spriteHeight, 24, 0xFF), blank(300, 200, 24, 0)).empty());
    EXPECT_TRUE(paintedArea(noPicture, noPicture).empty());
}

TEST(PaintedArea, ThirtyTwoBitPixelsIgnoreTheUnusedByte)
{
    Picture mask = blank(spriteWidth, spriteHeight, 32, 0xFF);
    Picture colours = blank(spriteWidth, spriteHeight, 32, 0x00);
    setBytes(mask, 10, 10, {0xFF, 0xFF, 0xFF, 0x00});   // white with a clear padding byte
    setBytes(colours, 20, 20, {0, 0, 0, 0xFF});          // black with a set padding byte
    EXPECT_TRUE(paintedArea(mask, colours).empty());
    setBytes(colours, 21, 22, {0, 0x80, 0, 0});
    EXPECT_EQ(paintedArea(mask, colours), (FlightRect{21, 22, 22, 23}));
}

TEST(PaintedArea, SixteenBitPixelsFollowTheirChannelMasks)
{
    Picture mask = blank(64, 64, 16, 0xFF);   // 5-5-5: 0xFFFF is white with the unused bit set
    setBytes(mask, 5, 6, {0xFF, 0x7F});       // still white
    setBytes(mask, 7, 8, {0xFE, 0x7F});       // not white
    EXPECT_EQ(paintedArea(mask, noPicture), (FlightRect{7, 8, 8, 9}));
    Picture rgb565 = blank(64, 64, 16, 0xFF);
    rgb565.redMask = 0xF800, rgb565.greenMask = 0x07E0, rgb565.blueMask = 0x001F;
    setBytes(rgb565, 9, 9, {0xFF, 0x7F});     // the top red bit clear: not white
    EXPECT_EQ(paintedArea(rgb565, noPicture), (FlightRect{9, 9, 10, 10}));
}

TEST(PaintedArea, PalettePixelsAreJudgedByTheirColour)
{
    // A greyscale JPEG decodes to 8 bits with a grey ramp whose white need not be index 255.
    Picture mask = blank(100, 50, 8, 3);
    mask.palette = {0x000000, 0x404040, 0x808080, 0xFFFFFF};
    setBytes(mask, 60, 40, {2});
    Picture colours = blank(100, 50, 8, 0);
    colours.palette = {0x000000, 0x101010};
    setBytes(colours, 2, 3, {1});
    setBytes(colours, 4, 5, {9});   // beyond the colour table: shown as black
    EXPECT_EQ(paintedArea(mask, colours), (FlightRect{2, 3, 61, 41}));
}

TEST(PaintedArea, StaysWithinTheSpriteRectangle)
{
    Picture mask = blank(spriteWidth + 40, spriteHeight + 40, 24, 0xFF);
    setBytes(mask, spriteWidth + 10, 5, {0, 0, 0});    // right of the sprite rectangle: never drawn
    setBytes(mask, 5, spriteHeight + 10, {0, 0, 0});   // below it
    EXPECT_TRUE(paintedArea(mask, noPicture).empty());
    setBytes(mask, spriteWidth - 1, spriteHeight - 1, {0, 0, 0});
    EXPECT_EQ(paintedArea(mask, noPicture), (FlightRect{spriteWidth - 1, spriteHeight - 1, spriteWidth, spriteHeight}));
}

TEST(PaintedArea, LiesWhereTheSpriteIsDrawn)
{
    FlightState flight;
    placePlane(flight, -100, 40, 7, 1);
    EXPECT_EQ(paintedInScene(flight), flight.drawn);   // a new flight paints its whole rectangle
    flight.painted = {30, 80, 550, 290};
    EXPECT_EQ(paintedInScene(flight), (FlightRect{-70, 120, 450, 330}));
    advancePlane(flight);
    EXPECT_EQ(paintedInScene(flight), (FlightRect{-63, 121, 457, 331}));
    flight.painted = {};
    EXPECT_TRUE(paintedInScene(flight).empty());
}

} // namespace
