// Smooth scaling of the dialog backdrop: colours read from every pixel
// format, the same size kept, flat areas kept flat and edges blended.
#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "imaging/picture_scaling.h"
#include "tests/support/pictures.h"

namespace {
Picture pictureOf(int width, int height, int bitsPerPixel, std::vector<uint8_t> bits,
                  std::vector<uint32_t> palette = {})
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.bitsPerPixel = bitsPerPixel;
    picture.bits = std::move(bits);
    picture.palette = std::move(palette);
    return picture;
}
}

TEST(PictureScaling, ReadsEveryPixelFormat)
{
    // Rows bottom-up, each padded to 4 bytes.
    const Picture grey = pictureOf(3, 2, 8, {0, 0, 7, 0, 0, 1, 0, 0}, {0x000000, 0x808080, 0xFFFFFF});
    EXPECT_EQ(pictureColour(grey, 1, 0), 0x808080u);
    EXPECT_EQ(pictureColour(grey, 2, 1), 0u);   // index 7, past the palette's end: black

    const Picture nibbles = pictureOf(3, 1, 4, {0x12, 0x10, 0, 0}, {0, 0x112233, 0x445566});
    EXPECT_EQ(pictureColour(nibbles, 0, 0), 0x112233u);
    EXPECT_EQ(pictureColour(nibbles, 1, 0), 0x445566u);
    EXPECT_EQ(pictureColour(nibbles, 2, 0), 0x112233u);

    EXPECT_EQ(pictureColour(pictureOf(1, 1, 32, {0x33, 0x22, 0x11, 0xFF}), 0, 0), 0x112233u);
    // 5-5-5: red and green full, blue 0
    EXPECT_EQ(pictureColour(pictureOf(1, 1, 16, {0xE0, 0x7F, 0, 0}), 0, 0), 0xFFFF00u);
}

TEST(PictureScaling, TheSameSizeKeepsEveryColourAndFlatAreasStayFlat)
{
    Picture source = filledPicture24(5, 4, 0x1E6EC8);
    setPixel24(source, 2, 1, 0xDC3C28);
    const Picture same = smoothlyScaled(source, 5, 4);
    ASSERT_EQ(same.bitsPerPixel, 24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(pictureColour(same, x, y), pictureColour(source, x, y)) << x << "," << y;

    const Picture flat = smoothlyScaled(filledPicture24(7, 3, 0x1E6EC8), 17, 9);
    ASSERT_EQ((std::array{flat.width, flat.height}), (std::array{17, 9}));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 17; ++x)
            ASSERT_EQ(pictureColour(flat, x, y), 0x1E6EC8u);

    EXPECT_TRUE(smoothlyScaled(Picture{}, 10, 10).empty());
    EXPECT_TRUE(smoothlyScaled(source, 0, 10).empty());
}

TEST(PictureScaling, EnlargingBlendsAnEdgeInsteadOfCopyingBlocks)
{
    // Left half black, right half white, enlarged by 1.5: the outer columns
    // keep their colours and the columns at the edge are grey in between,
    // rising from left to right.
    Picture source = filledPicture24(4, 1, 0x000000);
    setPixel24(source, 2, 0, 0xFFFFFF);
    setPixel24(source, 3, 0, 0xFFFFFF);
    const Picture scaled = smoothlyScaled(source, 6, 1);
    EXPECT_EQ(pictureColour(scaled, 0, 0), 0x000000u);
    EXPECT_EQ(pictureColour(scaled, 5, 0), 0xFFFFFFu);
    int previous = -1;
    bool between = false;
    for (int x = 0; x < 6; ++x) {
        const int red = static_cast<int>(pictureColour(scaled, x, 0) >> 16);
        EXPECT_GE(red, previous);
        previous = red;
        between = between || (red > 0 && red < 255);
        // Grey: the three channels alike.
        EXPECT_EQ(pictureColour(scaled, x, 0), static_cast<uint32_t>(red * 0x010101));
    }
    EXPECT_TRUE(between) << "no blended pixel at the edge";
    // The middle of 2x: the pixel centred exactly between two source pixels is their mean.
    Picture pair = filledPicture24(2, 1, 0x000000);
    setPixel24(pair, 1, 0, 0xC8C8C8);
    const Picture doubled = smoothlyScaled(pair, 4, 1);
    EXPECT_EQ(pictureColour(doubled, 1, 0), 0x323232u);   // 1/4 of the way
    EXPECT_EQ(pictureColour(doubled, 2, 0), 0x969696u);   // 3/4 of the way
}

TEST(PictureScaling, APartIsTheTopLeftOfTheWholeScaledPicture)
{
    Picture source = filledPicture24(7, 5, 0x1E6EC8);
    for (int i = 0; i < 5; ++i)
        setPixel24(source, i, i, 0x102030u * static_cast<uint32_t>(i + 1));
    const Picture whole = smoothlyScaled(source, 23, 17);
    const Picture part = smoothlyScaledPart(source, 23, 17, 10, 9);
    ASSERT_EQ((std::array{part.width, part.height}), (std::array{10, 9}));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(pictureColour(part, x, y), pictureColour(whole, x, y)) << x << "," << y;
    // A part larger than the scaled picture is the whole of it.
    const Picture all = smoothlyScaledPart(source, 23, 17, 555, 441);
    EXPECT_EQ((std::array{all.width, all.height}), (std::array{23, 17}));
    EXPECT_EQ(all.bits, whole.bits);
}

TEST(PictureScaling, ALargePictureAtFiveHundredPercentIsNeverMadeWhole)
{
    // 8192 x 8192 at 500 % is 40960 x 40960: 4.7 GB at 24 bits, past 32-bit
    // sizes. Only the part the dialog shows is made.
    Picture source = filledPicture24(8, 8, 0x1E6EC8);
    setPixel24(source, 0, 0, 0xDC3C28);
    const int scaled = 8192 * 5;
    const Picture part = smoothlyScaledPart(source, scaled, scaled, 300, 200);
    ASSERT_EQ((std::array{part.width, part.height}), (std::array{300, 200}));
    EXPECT_EQ(pictureColour(part, 0, 0), 0xDC3C28u);   // 5120 pixels of the first source pixel
    EXPECT_EQ(pictureColour(part, 299, 199), 0xDC3C28u);
    // A part past the readers' largest picture, or the whole, is refused
    // rather than overflowing its size.
    ASSERT_TRUE(smoothlyScaledPart(source, scaled, scaled, 8193, 8192).empty());
    EXPECT_TRUE(smoothlyScaled(source, scaled, scaled).empty());
    EXPECT_FALSE(smoothlyScaledPart(source, scaled, scaled, 8192, 1).empty());
}
