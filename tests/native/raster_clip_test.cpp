// The clipping of a rectangle copy: which destination pixels are written and
// which source pixels they take, at every edge of both bitmaps.
#include <gtest/gtest.h>

#include <climits>

#include "framework/raster_clip.h"

namespace {

std::string describe(const std::optional<ClippedCopy>& c)
{
    if (!c)
        return "nothing";
    return std::to_string(c->x) + "," + std::to_string(c->y) + " " + std::to_string(c->width) + "x" +
           std::to_string(c->height) + " from " + std::to_string(c->sourceX) + "," + std::to_string(c->sourceY) +
           " " + std::to_string(c->sourceWidth) + "x" + std::to_string(c->sourceHeight) +
           (c->scaled ? " scaled" : "");
}

// A 100 x 80 destination bitmap and a 50 x 40 source bitmap.
std::string copy(ClipRect dst, ClipRect src)
{
    return describe(clipRasterCopy(dst, src, 100, 80, 50, 40));
}

TEST(ClipRasterCopy, SameSizeCopiesAreCutAtTheDestinationsEdges)
{
    EXPECT_EQ(copy({10, 10, 30, 20}, {0, 0, 20, 10}), "10,10 20x10 from 0,0 20x10");
    EXPECT_EQ(copy({-5, -3, 15, 7}, {0, 0, 20, 10}), "0,0 15x7 from 5,3 15x7");
    EXPECT_EQ(copy({90, 75, 110, 85}, {0, 0, 20, 10}), "90,75 10x5 from 0,0 10x5");
    EXPECT_EQ(copy({100, 0, 120, 10}, {0, 0, 20, 10}), "nothing");
    EXPECT_EQ(copy({-20, 0, 0, 10}, {0, 0, 20, 10}), "nothing");
}

TEST(ClipRasterCopy, SameSizeCopiesTakeOnlySourcePixelsInsideTheSource)
{
    // The sprite reaches beyond its bitmap: those destination pixels stay.
    EXPECT_EQ(copy({0, 0, 60, 50}, {0, 0, 60, 50}), "0,0 50x40 from 0,0 50x40");
    EXPECT_EQ(copy({10, 10, 30, 30}, {-10, -5, 10, 15}), "20,15 10x15 from 0,0 10x15");
    EXPECT_EQ(copy({0, 0, 10, 10}, {50, 0, 60, 10}), "nothing");
}

TEST(ClipRasterCopy, EmptyRectanglesCopyNothing)
{
    EXPECT_EQ(copy({10, 10, 10, 20}, {0, 0, 0, 10}), "nothing");
    EXPECT_EQ(copy({10, 20, 30, 10}, {0, 10, 20, 0}), "nothing");
    EXPECT_EQ(describe(clipRasterCopy({0, 0, 10, 10}, {0, 0, 10, 10}, 0, 0, 50, 40)), "nothing");
}

TEST(ClipRasterCopy, RectanglesFarOffTheBitmapsDoNotOverflow)
{
    EXPECT_EQ(copy({INT_MIN, INT_MIN, INT_MIN + 20, INT_MIN + 10}, {0, 0, 20, 10}), "nothing");
    EXPECT_EQ(copy({INT_MAX - 20, 0, INT_MAX, 10}, {0, 0, 20, 10}), "nothing");
    EXPECT_EQ(copy({0, 0, 20, 10}, {INT_MIN, 0, INT_MIN + 20, 10}), "nothing");
}

TEST(ClipRasterCopy, ScaledCopiesDrawTheSourcePartInsideItsBitmap)
{
    EXPECT_EQ(copy({0, 0, 100, 80}, {0, 0, 50, 40}), "0,0 100x80 from 0,0 50x40 scaled");
    // The right half of the source rectangle lies beyond the source bitmap.
    EXPECT_EQ(copy({0, 0, 40, 20}, {30, 0, 70, 40}), "0,0 20x20 from 30,0 20x40 scaled");
    EXPECT_EQ(copy({0, 0, 40, 20}, {60, 0, 100, 40}), "nothing");
    EXPECT_EQ(copy({-100, 0, -10, 20}, {0, 0, 50, 40}), "nothing");
    // At the destination's right edge: a part that reaches past it is mapped
    // whole (GDI cuts it at the edge, the scale kept); one that ends at the
    // left edge or begins at the right edge draws nothing.
    EXPECT_EQ(copy({80, 0, 120, 20}, {0, 0, 50, 40}), "80,0 40x20 from 0,0 50x40 scaled");
    EXPECT_EQ(copy({99, 0, 139, 20}, {0, 0, 50, 40}), "99,0 40x20 from 0,0 50x40 scaled");
    EXPECT_EQ(copy({100, 0, 140, 20}, {0, 0, 50, 40}), "nothing");
    EXPECT_EQ(copy({-40, 0, 0, 20}, {0, 0, 50, 40}), "nothing");
    EXPECT_EQ(copy({-40, 0, 1, 20}, {0, 0, 50, 40}), "-40,0 41x20 from 0,0 50x40 scaled");
    // The source's part inside its bitmap maps onto less than a pixel: nothing.
    EXPECT_EQ(copy({10, 0, 11, 20}, {0, 0, 100, 40}), "nothing");
}

}
