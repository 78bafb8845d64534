// Widening a 24-bit picture to 32 bits per pixel, the one conversion the
// program makes in memory instead of through GDI.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imaging/picture.h"

namespace {

Picture picture24(int width, int height)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.bits.assign(picture.stride() * height, 0xEE);   // the padding too
    return picture;
}

TEST(WidenToThirtyTwoBits, WidensEveryRowPastItsPadding)
{
    Picture picture = picture24(3, 2);   // 9 bytes a row, padded to 12
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            uint8_t* pixel = picture.row(y) + 3 * x;
            pixel[0] = uint8_t(10 * x + y), pixel[1] = uint8_t(100 + x), pixel[2] = uint8_t(200 + y);
        }
    ASSERT_TRUE(widensToThirtyTwoBits(picture));
    Picture wide = picture24(3, 2);
    wide.bitsPerPixel = 32;
    wide.bits.assign(wide.stride() * 2, 0xAA);
    ASSERT_EQ(wide.bits.size(), 24u);
    widenToThirtyTwoBits(picture, wide.bits.data());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const uint8_t* pixel = wide.row(y) + 4 * x;
            EXPECT_EQ(pixel[0], 10 * x + y);
            EXPECT_EQ(pixel[1], 100 + x);
            EXPECT_EQ(pixel[2], 200 + y);
            EXPECT_EQ(pixel[3], 0);
        }
}

TEST(WidenToThirtyTwoBits, TakesOnlyWholeTwentyFourBitPictures)
{
    Picture grey = picture24(4, 4);
    grey.bitsPerPixel = 8;
    EXPECT_FALSE(widensToThirtyTwoBits(grey));
    Picture cut = picture24(4, 4);
    cut.bits.resize(cut.bits.size() - 1);   // a row short of a byte
    EXPECT_FALSE(widensToThirtyTwoBits(cut));
    EXPECT_FALSE(widensToThirtyTwoBits(picture24(0, 4)));
    EXPECT_TRUE(widensToThirtyTwoBits(picture24(1, 1)));
}

} // namespace
