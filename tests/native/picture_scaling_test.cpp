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

namespace {
// A plane pair: a disc of the colour on white and on black, with the small
// errors a JPEG pair has (the background a few levels off white and black,
// the plane two levels apart in the two pictures).
MaskedPair discPair(int width, int height, double radius, uint32_t colour)
{
    MaskedPair pair{filledPicture24(width, height, 0xFAFCFD), filledPicture24(width, height, 0x030502)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double dx = x + 0.5 - width / 2.0, dy = y + 0.5 - height / 2.0;
            if (dx * dx + dy * dy <= radius * radius) {
                setPixel24(pair.onWhite, x, y, colour + 0x020202);
                setPixel24(pair.onBlack, x, y, colour);
            }
        }
    return pair;
}

// Every pixel is exact background (white / black) or the same colour in both.
int planePixelsOfAnExactPair(const MaskedPair& pair)
{
    EXPECT_EQ(pair.onWhite.bitsPerPixel, 24);
    int plane = 0;
    for (int y = 0; y < pair.onWhite.height; ++y)
        for (int x = 0; x < pair.onWhite.width; ++x) {
            const uint32_t white = pictureColour(pair.onWhite, x, y), black = pictureColour(pair.onBlack, x, y);
            if (white == 0xFFFFFFu && black == 0u)
                continue;
            EXPECT_EQ(white, black) << "a speck at " << x << "," << y;
            ++plane;
        }
    return plane;
}
}

TEST(MaskedPairScaling, EveryScaleKeepsTheMaskExactAndTheSilhouettesArea)
{
    const MaskedPair source = discPair(80, 50, 20, 0x3C5A78);
    const double area = 3.14159265 * 20 * 20;
    for (const auto& [width, height] : {std::pair{80, 50}, {120, 75}, {160, 100}, {60, 38}, {100, 63}}) {
        const MaskedPair scaled = scaledMaskedPair(source.onWhite, source.onBlack, width, height);
        ASSERT_EQ((std::array{scaled.onWhite.width, scaled.onWhite.height, scaled.onBlack.width}),
                  (std::array{width, height, width}));
        const double factors = width / 80.0 * height / 50.0;
        EXPECT_NEAR(planePixelsOfAnExactPair(scaled) / (area * factors), 1.0, 0.04) << width;
        // Inside the disc the colour is the pair's mean, rounded; the corners are background.
        EXPECT_EQ(pictureColour(scaled.onBlack, width / 2, height / 2), 0x3D5B79u) << width;
        EXPECT_EQ(pictureColour(scaled.onWhite, 0, 0), 0xFFFFFFu);
        EXPECT_EQ(pictureColour(scaled.onBlack, width - 1, height - 1), 0u);
    }
}

TEST(MaskedPairScaling, TheOutlineTakesNoColourFromTheBackground)
{
    // A dark plane with a bright core: enlarged, the outline stays dark (no
    // white blended in from the mask's background), the core is blended
    // smoothly with the dark around it.
    MaskedPair source{filledPicture24(6, 4, 0xFFFFFF), filledPicture24(6, 4, 0)};
    for (int x = 1; x < 5; ++x)
        for (int y = 1; y < 3; ++y) {
            const uint32_t colour = x == 2 || x == 3 ? 0xC0C0C0 : 0x202020;
            setPixel24(source.onWhite, x, y, colour);
            setPixel24(source.onBlack, x, y, colour);
        }
    const MaskedPair doubled = scaledMaskedPair(source.onWhite, source.onBlack, 12, 8);
    EXPECT_EQ(planePixelsOfAnExactPair(doubled), 8 * 4);
    for (int y = 2; y < 6; ++y) {
        EXPECT_EQ(pictureColour(doubled.onBlack, 2, y), 0x202020u) << y;
        EXPECT_EQ(pictureColour(doubled.onBlack, 1, y), 0u) << y;
        const uint32_t between = pictureColour(doubled.onBlack, 4, y) & 0xFF;
        EXPECT_GT(between, 0x20u);
        EXPECT_LT(between, 0xC0u);
    }
}

TEST(MaskedPairScaling, UnusablePicturesGiveAnEmptyPair)
{
    const MaskedPair source = discPair(8, 8, 3, 0x102030);
    EXPECT_TRUE(scaledMaskedPair(Picture{}, source.onBlack, 16, 16).onWhite.empty());
    EXPECT_TRUE(scaledMaskedPair(source.onWhite, source.onBlack, 0, 16).onBlack.empty());
    EXPECT_TRUE(scaledMaskedPair(source.onWhite, source.onBlack, 8193, 8192).onWhite.empty());
    // Pixels cut short in either picture: nothing is read past them.
    Picture cut = source.onWhite;
    cut.bits.resize(cut.bits.size() / 2);
    EXPECT_TRUE(scaledMaskedPair(cut, source.onBlack, 16, 16).onWhite.empty());
    Picture cutBlack = source.onBlack;
    cutBlack.bits.resize(cutBlack.bits.size() / 2);
    EXPECT_TRUE(scaledMaskedPair(source.onWhite, cutBlack, 16, 16).onBlack.empty());
}

namespace {
// The picture with more columns on the right and more rows at the bottom, of
// a colour that would be plane beside either picture of the pair.
Picture grown(const Picture& picture, int moreColumns, int moreRows)
{
    Picture larger = filledPicture24(picture.width + moreColumns, picture.height + moreRows, 0x607080);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            setPixel24(larger, x, y, pictureColour(picture, x, y));
    return larger;
}
}

TEST(MaskedPairScaling, APairOfTwoSizesUsesThePartTheyShare)
{
    const MaskedPair source = discPair(8, 8, 3, 0x102030);
    const MaskedPair shared = scaledMaskedPair(source.onWhite, source.onBlack, 16, 16);
    ASSERT_EQ(shared.onWhite.width, 16);
    struct Row {
        int whiteColumns, whiteRows, blackColumns, blackRows;
    };
    // Either picture wider or taller than the other, by a little or by half.
    const Row rows[] = {{4, 0, 0, 0}, {0, 4, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, 4}, {1, 0, 0, 3}, {0, 2, 5, 0}};
    for (const Row& row : rows) {
        const MaskedPair scaled = scaledMaskedPair(grown(source.onWhite, row.whiteColumns, row.whiteRows),
                                                   grown(source.onBlack, row.blackColumns, row.blackRows), 16, 16);
        EXPECT_EQ(scaled.onWhite.bits, shared.onWhite.bits) << row.whiteColumns << row.whiteRows << row.blackColumns
                                                            << row.blackRows;
        EXPECT_EQ(scaled.onBlack.bits, shared.onBlack.bits) << row.whiteColumns << row.whiteRows << row.blackColumns
                                                            << row.blackRows;
    }
}

TEST(MaskedPairScaling, APixelIsPlaneWhereItsTwoPicturesAreLessThanHalfTheRangeApart)
{
    // Two flat pictures, their channel sums that far apart: background (white
    // and black) from 384 on, half of 3 x 256; plane below, also where the
    // picture on white is the darker.
    struct Row {
        uint32_t onWhite, onBlack;
        int apart;   // channel sum on white less channel sum on black
        bool plane;
    };
    const Row rows[] = {
        {0xFFFFFF, 0x000000, 765, false}, {0xF0F4F8, 0x0C0804, 708, false},
        {0x808080, 0x000000, 384, false}, {0x9080A0, 0x101010, 384, false},
        {0x80807F, 0x000000, 383, true},  {0x9080A0, 0x101011, 383, true},
        {0x800000, 0x000000, 128, true},  {0x4A4A4A, 0x0A0A0A, 192, true},
        {0x7F0000, 0x000000, 127, true},  {0x3C5A78, 0x3C5A78, 0, true},
        {0x000000, 0xFFFFFF, -765, true},
    };
    for (const Row& row : rows) {
        const auto sum = [](uint32_t c) { return int(c >> 16 & 0xFF) + int(c >> 8 & 0xFF) + int(c & 0xFF); };
        ASSERT_EQ(sum(row.onWhite) - sum(row.onBlack), row.apart) << std::hex << row.onWhite;
        for (const auto& [width, height] : {std::pair{3, 2}, {6, 4}}) {
            const MaskedPair scaled = scaledMaskedPair(filledPicture24(3, 2, row.onWhite),
                                                       filledPicture24(3, 2, row.onBlack), width, height);
            ASSERT_EQ(scaled.onWhite.width, width);
            // A plane pixel is the two pictures' mean in both; background is white over black.
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const uint32_t white = pictureColour(scaled.onWhite, x, y);
                    const uint32_t black = pictureColour(scaled.onBlack, x, y);
                    if (row.plane) {
                        EXPECT_EQ(white, black) << row.apart << " apart, at " << x << "," << y;
                        for (int shift : {0, 8, 16})
                            EXPECT_NEAR(int(black >> shift & 0xFF),
                                        (int(row.onWhite >> shift & 0xFF) + int(row.onBlack >> shift & 0xFF)) / 2.0, 0.5)
                                << row.apart << " apart";
                    } else {
                        EXPECT_EQ(white, 0xFFFFFFu) << row.apart << " apart, at " << x << "," << y;
                        EXPECT_EQ(black, 0u) << row.apart << " apart, at " << x << "," << y;
                    }
                }
        }
    }
}
