// BMP files: round trips at every depth, files written by common tools (made
// by tests/data/make_imaging_fixtures.sh), handcrafted layouts no common tool
// writes, and damaged or hostile files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "imaging/image_errors.h"
#include "imaging/bitmap_file.h"

namespace {

std::vector<uint8_t> readFixture(const std::string& name)
{
    std::ifstream in(std::string(SKYVANE_TEST_DATA) + "/bmp/" + name, std::ios::binary);
    EXPECT_TRUE(in) << "missing fixture " << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The colour of one channel mask's value, widened to 8 bits.
uint32_t widen(uint32_t pixel, uint32_t mask)
{
    int shift = 0;
    while (!(mask >> shift & 1))
        ++shift;
    const uint32_t max = mask >> shift;
    return ((pixel & mask) >> shift) * 255 / max;
}

// 0xRRGGBB of the pixel at (x, y), y counted from the top.
uint32_t colourAt(const Picture& picture, int x, int y)
{
    const uint8_t* row = picture.row(y);
    switch (picture.bitsPerPixel) {
    case 1:
    case 4:
    case 8: {
        const int bpp = picture.bitsPerPixel;
        const int bitOffset = x * bpp;
        const unsigned index = row[bitOffset / 8] >> (8 - bpp - bitOffset % 8) & ((1u << bpp) - 1);
        if (index >= picture.palette.size()) {
            ADD_FAILURE() << "index " << index << " beyond the palette of " << picture.palette.size();
            return 0xDEAD;
        }
        return picture.palette[index];
    }
    case 16: {
        const uint32_t pixel = row[2 * x] | row[2 * x + 1] << 8;
        const bool rgb = !picture.redMask && !picture.greenMask && !picture.blueMask;
        const uint32_t r = rgb ? 0x7C00 : picture.redMask, g = rgb ? 0x03E0 : picture.greenMask,
                       b = rgb ? 0x001F : picture.blueMask;
        return widen(pixel, r) << 16 | widen(pixel, g) << 8 | widen(pixel, b);
    }
    case 24: return row[3 * x + 2] << 16 | row[3 * x + 1] << 8 | row[3 * x];
    case 32: {
        uint32_t pixel;
        std::memcpy(&pixel, row + 4 * x, 4);  // little-endian host
        if (!picture.redMask && !picture.greenMask && !picture.blueMask)
            return pixel & 0xFFFFFF;
        return widen(pixel, picture.redMask) << 16 | widen(pixel, picture.greenMask) << 8 |
               widen(pixel, picture.blueMask);
    }
    }
    ADD_FAILURE() << "unexpected depth " << picture.bitsPerPixel;
    return 0;
}

// The 5 x 3 test picture: colour (x + 5y) mod 8 of this list.
constexpr uint32_t testColours[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF,
                                     0x000000, 0xFFFF00, 0x00FFFF, 0xFF00FF};

void expectTestColours(const Picture& picture, const std::string& what)
{
    ASSERT_EQ(picture.width, 5) << what;
    ASSERT_EQ(picture.height, 3) << what;
    ASSERT_EQ(picture.bits.size(), picture.stride() * 3) << what;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(colourAt(picture, x, y), testColours[(x + 5 * y) % 8])
                << what << ": got 0x" << std::hex << colourAt(picture, x, y) << " at " << std::dec << x << "," << y;
}

uint16_t le16(const std::vector<uint8_t>& bytes, std::size_t at) { return bytes[at] | bytes[at + 1] << 8; }
uint32_t le32(const std::vector<uint8_t>& bytes, std::size_t at)
{
    return le16(bytes, at) | static_cast<uint32_t>(le16(bytes, at + 2)) << 16;
}

// Builds bitmap files byte by byte for layouts that no common tool writes.
struct BmpBuilder {
    std::vector<uint8_t> bytes;
    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint32_t v) { u8(v & 0xFF); u8(v >> 8 & 0xFF); }
    void u32(uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    void raw(std::initializer_list<uint8_t> values) { bytes.insert(bytes.end(), values); }
    void zeros(std::size_t count) { bytes.insert(bytes.end(), count, 0); }

    void fileHeader(uint32_t pixelOffset)
    {
        raw({'B', 'M'});
        u32(0);  // file size: readers do not rely on it
        u32(0);
        u32(pixelOffset);
    }
    // An information header of headerSize bytes (40, 52, 56, 108 or 124);
    // masks go inside it when it is larger than 40.
    void infoHeader(uint32_t headerSize, int32_t width, int32_t height, uint16_t bpp, uint32_t compression,
                    uint32_t colorsUsed = 0, std::array<uint32_t, 3> masks = {0, 0, 0})
    {
        u32(headerSize);
        u32(static_cast<uint32_t>(width));
        u32(static_cast<uint32_t>(height));
        u16(1);
        u16(bpp);
        u32(compression);
        u32(0);
        u32(2835);
        u32(2835);
        u32(colorsUsed);
        u32(0);
        if (headerSize > 40) {
            for (uint32_t mask : masks)
                u32(mask);
            zeros(headerSize - 52);
        }
    }
    void palette(std::initializer_list<uint32_t> colours)
    {
        for (uint32_t c : colours) {
            u8(c & 0xFF);
            u8(c >> 8 & 0xFF);
            u8(c >> 16 & 0xFF);
            u8(0);
        }
    }
};

Picture randomPicture(int width, int height, int bpp, std::mt19937& random)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.bitsPerPixel = bpp;
    if (bpp <= 8)
        for (int i = 0; i < (1 << bpp); ++i)
            picture.palette.push_back(random() & 0xFFFFFF);
    picture.bits.resize(picture.stride() * height);
    for (auto& byte : picture.bits)
        byte = static_cast<uint8_t>(random());
    return picture;
}

void expectSamePicture(const Picture& a, const Picture& b, const std::string& what)
{
    EXPECT_EQ(a.width, b.width) << what;
    EXPECT_EQ(a.height, b.height) << what;
    EXPECT_EQ(a.bitsPerPixel, b.bitsPerPixel) << what;
    EXPECT_EQ(a.palette, b.palette) << what;
    EXPECT_EQ(a.redMask, b.redMask) << what;
    EXPECT_EQ(a.greenMask, b.greenMask) << what;
    EXPECT_EQ(a.blueMask, b.blueMask) << what;
    EXPECT_TRUE(a.bits == b.bits) << what << ": pixel bytes differ";
}

template <class Error>
void expectError(const std::vector<uint8_t>& bytes, const char* message, const std::string& what)
{
    try {
        readBitmapFile(bytes);
        ADD_FAILURE() << what << ": read without error";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), message) << what;
    } catch (const std::exception& error) {
        ADD_FAILURE() << what << ": wrong error " << error.what();
    }
}

void expectInvalid(const std::vector<uint8_t>& bytes, const std::string& what)
{
    expectError<EInvalidGraphic>(bytes, "Bitmap image is not valid", what);
}

}  // namespace

// --- Round trips -------------------------------------------------------------

TEST(BitmapRoundTrip, EveryDepthAndOddWidthIsPixelIdentical)
{
    std::mt19937 random(7);
    for (int bpp : {1, 4, 8, 16, 24, 32}) {
        for (int width : {1, 2, 3, 5, 7, 9, 13, 33}) {
            const Picture picture = randomPicture(width, 3, bpp, random);
            const std::vector<uint8_t> file = writeBitmapFile(picture);
            const std::string what = std::to_string(bpp) + " bpp, width " + std::to_string(width);
            expectSamePicture(readBitmapFile(file), picture, what);
        }
    }
}

TEST(BitmapRoundTrip, BitfieldMasksAndShortPalettesSurvive)
{
    std::mt19937 random(11);
    Picture rgb565 = randomPicture(7, 4, 16, random);
    rgb565.redMask = 0xF800, rgb565.greenMask = 0x07E0, rgb565.blueMask = 0x001F;
    expectSamePicture(readBitmapFile(writeBitmapFile(rgb565)), rgb565, "565");

    Picture bgr32 = randomPicture(3, 2, 32, random);
    bgr32.redMask = 0x000000FF, bgr32.greenMask = 0x0000FF00, bgr32.blueMask = 0x00FF0000;
    expectSamePicture(readBitmapFile(writeBitmapFile(bgr32)), bgr32, "32-bit swapped masks");

    Picture grey = randomPicture(9, 5, 8, random);
    grey.palette.resize(236);  // what a greyscale JPEG decodes to
    expectSamePicture(readBitmapFile(writeBitmapFile(grey)), grey, "236 greys");
}

TEST(BitmapWrite, HeadersFollowTheFileLayout)
{
    std::mt19937 random(3);
    const Picture picture = randomPicture(5, 3, 24, random);
    const std::vector<uint8_t> file = writeBitmapFile(picture);
    ASSERT_EQ(file.size(), 14u + 40u + 16u * 3u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(le32(file, 2), file.size());
    EXPECT_EQ(le32(file, 6), 0u);
    EXPECT_EQ(le32(file, 10), 54u);
    EXPECT_EQ(le32(file, 14), 40u);
    EXPECT_EQ(static_cast<int32_t>(le32(file, 18)), 5);
    EXPECT_EQ(static_cast<int32_t>(le32(file, 22)), 3);  // positive: bottom-up
    EXPECT_EQ(le16(file, 26), 1);
    EXPECT_EQ(le16(file, 28), 24);
    EXPECT_EQ(le32(file, 30), 0u);  // BI_RGB
    EXPECT_EQ(le32(file, 34), 48u);
    EXPECT_TRUE(std::equal(picture.bits.begin(), picture.bits.end(), file.begin() + 54));

    // An 8-bit picture carries its colour table, blue, green, red, zero.
    Picture indexed = randomPicture(3, 2, 8, random);
    indexed.palette = {0x102030, 0xA0B0C0};
    const std::vector<uint8_t> indexedFile = writeBitmapFile(indexed);
    EXPECT_EQ(le32(indexedFile, 10), 54u + 8u);
    EXPECT_EQ(le32(indexedFile, 46), 2u);  // colours used
    EXPECT_EQ(std::vector<uint8_t>(indexedFile.begin() + 54, indexedFile.begin() + 62),
              (std::vector<uint8_t>{0x30, 0x20, 0x10, 0, 0xC0, 0xB0, 0xA0, 0}));

    // 565 goes out as BI_BITFIELDS with the three masks after the header.
    Picture rgb565 = randomPicture(2, 2, 16, random);
    rgb565.redMask = 0xF800, rgb565.greenMask = 0x07E0, rgb565.blueMask = 0x001F;
    const std::vector<uint8_t> maskFile = writeBitmapFile(rgb565);
    EXPECT_EQ(le32(maskFile, 30), 3u);
    EXPECT_EQ(le32(maskFile, 54), 0xF800u);
    EXPECT_EQ(le32(maskFile, 58), 0x07E0u);
    EXPECT_EQ(le32(maskFile, 62), 0x001Fu);
    EXPECT_EQ(le32(maskFile, 10), 66u);
}

TEST(BitmapWrite, IndexedPictureWithoutPaletteGetsAGreyRamp)
{
    std::mt19937 random(9);
    Picture picture = randomPicture(3, 2, 4, random);
    picture.palette.clear();
    const Picture back = readBitmapFile(writeBitmapFile(picture));
    ASSERT_EQ(back.palette.size(), 16u);
    EXPECT_EQ(back.palette[0], 0x000000u);
    EXPECT_EQ(back.palette[1], 0x111111u);
    EXPECT_EQ(back.palette[15], 0xFFFFFFu);
    EXPECT_TRUE(back.bits == picture.bits);
}

TEST(BitmapWrite, EmptyPictureIsAnEmptyFileAndInconsistentPicturesAreRefused)
{
    EXPECT_TRUE(writeBitmapFile(Picture{}).empty());
    EXPECT_TRUE(readBitmapFile(writeBitmapFile(Picture{})).empty());

    std::mt19937 random(5);
    Picture shortBits = randomPicture(4, 4, 24, random);
    shortBits.bits.pop_back();
    EXPECT_THROW(writeBitmapFile(shortBits), EInvalidGraphic);
    // Each row is padded to 4 bytes: bits for 3 x 2 pixels of 9 bytes a row
    // are 6 bytes short of the 2 rows of 12 the writer copies.
    Picture unpadded = randomPicture(3, 2, 24, random);
    unpadded.bits.resize(2 * 9);
    EXPECT_THROW(writeBitmapFile(unpadded), EInvalidGraphic);
    Picture bigPalette = randomPicture(4, 4, 4, random);
    bigPalette.palette.resize(17);
    EXPECT_THROW(writeBitmapFile(bigPalette), EInvalidGraphic);
    Picture oddDepth = randomPicture(4, 4, 24, random);
    oddDepth.bitsPerPixel = 12;
    EXPECT_THROW(writeBitmapFile(oddDepth), EInvalidGraphic);
    Picture maskAt24 = randomPicture(4, 4, 24, random);
    maskAt24.redMask = 0xFF0000;
    EXPECT_THROW(writeBitmapFile(maskAt24), EInvalidGraphic);
}

// --- Files written by common tools -------------------------------------------

TEST(BitmapReadToolFiles, ImageMagickColourPicturesDecodeToTheirColours)
{
    struct Case { const char* file; int bpp; uint32_t red, green, blue; };
    const Case cases[] = {
        {"info_24.bmp", 24, 0, 0, 0},                      // BMP3: 40-byte header
        {"info_4_palette.bmp", 4, 0, 0, 0},
        {"core_4_palette.bmp", 4, 0, 0, 0},                // BMP2: OS/2 core header, 3-byte palette
        {"core_24.bmp", 24, 0, 0, 0},
        {"v5_24.bmp", 24, 0, 0, 0},                        // BMP: V5 header
        {"v5_32_bitfields.bmp", 32, 0x00FF0000, 0x0000FF00, 0x000000FF},
        {"v5_16_565.bmp", 16, 0xF800, 0x07E0, 0x001F},
        {"v5_16_555.bmp", 16, 0x7C00, 0x03E0, 0x001F},
    };
    for (const Case& c : cases) {
        const Picture picture = readBitmapFile(readFixture(c.file));
        EXPECT_EQ(picture.bitsPerPixel, c.bpp) << c.file;
        EXPECT_EQ(picture.redMask, c.red) << c.file;
        EXPECT_EQ(picture.greenMask, c.green) << c.file;
        EXPECT_EQ(picture.blueMask, c.blue) << c.file;
        expectTestColours(picture, c.file);
    }
}

TEST(BitmapReadToolFiles, GreyRampUncompressedAndRle8AreTheSame)
{
    const Picture plain = readBitmapFile(readFixture("info_8_palette.bmp"));
    const Picture rle = readBitmapFile(readFixture("info_8_rle.bmp"));
    for (const Picture* picture : {&plain, &rle}) {
        ASSERT_EQ(picture->bitsPerPixel, 8);
        ASSERT_EQ(picture->width, 6);
        ASSERT_EQ(picture->height, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                const uint32_t grey = 10 * (x + 6 * y);
                EXPECT_EQ(colourAt(*picture, x, y), grey << 16 | grey << 8 | grey) << x << "," << y;
            }
    }
}

TEST(BitmapReadToolFiles, MonochromeCheckerboard)
{
    const Picture picture = readBitmapFile(readFixture("info_1_palette.bmp"));
    ASSERT_EQ(picture.bitsPerPixel, 1);
    ASSERT_EQ(picture.width, 7);
    ASSERT_EQ(picture.height, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(colourAt(picture, x, y), (x + y) % 2 ? 0xFFFFFFu : 0u) << x << "," << y;
}

TEST(BitmapReadToolFiles, RewritingAToolFileKeepsItsPixelBytes)
{
    const std::vector<uint8_t> original = readFixture("info_24.bmp");
    const std::vector<uint8_t> rewritten = writeBitmapFile(readBitmapFile(original));
    ASSERT_EQ(rewritten.size(), original.size());
    EXPECT_TRUE(std::equal(original.begin() + 54, original.end(), rewritten.begin() + 54));
}

// --- Handcrafted layouts -----------------------------------------------------

TEST(BitmapReadLayouts, TopDownRowsAreFlippedToBottomUp)
{
    BmpBuilder top;
    top.fileHeader(54);
    top.infoHeader(40, 2, -2, 24, 0);
    top.raw({0, 0, 255, 0, 255, 0, 0, 0});        // top row: red, green, padding
    top.raw({255, 0, 0, 255, 255, 255, 0, 0});    // bottom row: blue, white
    const Picture picture = readBitmapFile(top.bytes);
    ASSERT_EQ(picture.height, 2);
    EXPECT_EQ(colourAt(picture, 0, 0), 0xFF0000u);
    EXPECT_EQ(colourAt(picture, 1, 0), 0x00FF00u);
    EXPECT_EQ(colourAt(picture, 0, 1), 0x0000FFu);
    EXPECT_EQ(colourAt(picture, 1, 1), 0xFFFFFFu);
    // Stored bottom-up: the blue pixel comes first in the bits.
    EXPECT_EQ(picture.bits[0], 255);
}

TEST(BitmapReadLayouts, ShortPaletteFromColorsUsed)
{
    BmpBuilder file;
    file.fileHeader(54 + 8);
    file.infoHeader(40, 3, 1, 8, 0, 2);
    file.palette({0x112233, 0x445566});
    file.raw({1, 0, 1, 0});
    const Picture picture = readBitmapFile(file.bytes);
    EXPECT_EQ(picture.palette, (std::vector<uint32_t>{0x112233, 0x445566}));
    EXPECT_EQ(colourAt(picture, 0, 0), 0x445566u);
    EXPECT_EQ(colourAt(picture, 1, 0), 0x112233u);
}

TEST(BitmapReadLayouts, PixelOffsetEndsAShortPaletteEarly)
{
    // "Colours used" says all 256, but only two are stored before the pixels.
    BmpBuilder file;
    file.fileHeader(54 + 8);
    file.infoHeader(40, 3, 1, 8, 0, 0);
    file.palette({0x112233, 0x445566});
    file.raw({1, 0, 1, 0});
    const Picture picture = readBitmapFile(file.bytes);
    EXPECT_EQ(picture.palette, (std::vector<uint32_t>{0x112233, 0x445566}));
    EXPECT_EQ(colourAt(picture, 0, 0), 0x445566u);
}

TEST(BitmapReadLayouts, MasksAfterInfoHeaderAndInsideV2V3V4Headers)
{
    // Red, green at 5-6-5 and one 2 x 1 row: pure red, pure blue.
    for (uint32_t headerSize : {40u, 52u, 56u, 108u, 124u}) {
        BmpBuilder file;
        const uint32_t masksAfter = headerSize == 40 ? 12 : 0;
        file.fileHeader(14 + headerSize + masksAfter);
        file.infoHeader(headerSize, 2, 1, 16, 3, 0, {0xF800, 0x07E0, 0x001F});
        if (headerSize == 40) {
            file.u32(0xF800);
            file.u32(0x07E0);
            file.u32(0x001F);
        }
        file.u16(0xF800);
        file.u16(0x001F);
        const Picture picture = readBitmapFile(file.bytes);
        const std::string what = "header " + std::to_string(headerSize);
        EXPECT_EQ(picture.greenMask, 0x07E0u) << what;
        EXPECT_EQ(colourAt(picture, 0, 0), 0xFF0000u) << what;
        EXPECT_EQ(colourAt(picture, 1, 0), 0x0000FFu) << what;
    }
}

TEST(BitmapReadLayouts, DefaultDepthsWithoutMasks)
{
    BmpBuilder file555;
    file555.fileHeader(54);
    file555.infoHeader(40, 1, 1, 16, 0);
    file555.u16(0x03E0);  // green at 5-5-5
    file555.u16(0);
    const Picture p555 = readBitmapFile(file555.bytes);
    EXPECT_EQ(p555.redMask | p555.greenMask | p555.blueMask, 0u);
    EXPECT_EQ(colourAt(p555, 0, 0), 0x00FF00u);

    // A V4 header's masks mean nothing for BI_RGB.
    BmpBuilder file32;
    file32.fileHeader(14 + 108);
    file32.infoHeader(108, 1, 1, 32, 0, 0, {0xFF, 0xFF00, 0xFF0000});
    file32.raw({0x30, 0x20, 0x10, 0x99});
    const Picture p32 = readBitmapFile(file32.bytes);
    EXPECT_EQ(p32.redMask | p32.greenMask | p32.blueMask, 0u);
    EXPECT_EQ(colourAt(p32, 0, 0), 0x102030u);
    EXPECT_EQ(p32.bits[3], 0x99);  // the reserved byte is kept for a faithful round trip
}

TEST(BitmapReadLayouts, Rle8RunsLiteralsDeltasAndLineEnds)
{
    // 5 x 3 RLE8, bottom row first.
    BmpBuilder file;
    file.fileHeader(54 + 16);
    file.infoHeader(40, 5, 3, 8, 1, 4);
    file.palette({0x000000, 0xFF0000, 0x00FF00, 0x0000FF});
    file.raw({3, 1, 0, 0});           // row 0: 1 1 1, rest index 0, end of line
    file.raw({0, 3, 2, 3, 2, 0});     // row 1: literal 2 3 2, padded to even length
    file.raw({0, 2, 1, 1});           // delta: 1 right, 1 up -> row 2, column 4
    file.raw({9, 3});                 // run of 3 past the right edge: clipped
    file.raw({0, 1});                 // end of bitmap
    const Picture picture = readBitmapFile(file.bytes);
    ASSERT_EQ(picture.bitsPerPixel, 8);
    auto at = [&](int x, int yFromBottom) { return picture.bits[yFromBottom * picture.stride() + x]; };
    EXPECT_EQ((std::vector<int>{at(0, 0), at(1, 0), at(2, 0), at(3, 0), at(4, 0)}), (std::vector<int>{1, 1, 1, 0, 0}));
    EXPECT_EQ((std::vector<int>{at(0, 1), at(1, 1), at(2, 1), at(3, 1)}), (std::vector<int>{2, 3, 2, 0}));
    EXPECT_EQ((std::vector<int>{at(0, 2), at(3, 2), at(4, 2)}), (std::vector<int>{0, 0, 3}));
}

TEST(BitmapReadLayouts, Rle4RunsAlternateNibblesAndOddLiteralsArePadded)
{
    // 6 x 2 RLE4.
    BmpBuilder file;
    file.fileHeader(54 + 12);
    file.infoHeader(40, 6, 2, 4, 2, 3);
    file.palette({0x000000, 0xFF0000, 0x0000FF});
    file.raw({5, 0x12});              // row 0: 1 2 1 2 1
    file.raw({0, 0});                 // end of line
    file.raw({0, 3, 0x21, 0x20});     // row 1: literal 2 1 2 (two bytes, already even)
    file.raw({0, 5, 0x11, 0x11, 0x10, 0});  // literal of 5 (three bytes, padded to four): two fall off the edge
    file.raw({0, 1});
    const Picture picture = readBitmapFile(file.bytes);
    ASSERT_EQ(picture.bitsPerPixel, 4);
    // Row 0 from the top is the second stored row.
    std::vector<uint32_t> top, bottom;
    for (int x = 0; x < 6; ++x) {
        top.push_back(colourAt(picture, x, 0));
        bottom.push_back(colourAt(picture, x, 1));
    }
    EXPECT_EQ(bottom, (std::vector<uint32_t>{0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000, 0}));
    EXPECT_EQ(top, (std::vector<uint32_t>{0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000, 0xFF0000, 0xFF0000}));
}

TEST(BitmapReadLayouts, RleWithoutEndMarkAndZeroSizedPictures)
{
    BmpBuilder noEnd;
    noEnd.fileHeader(54 + 8);
    noEnd.infoHeader(40, 2, 2, 8, 1, 2);
    noEnd.palette({0, 0xFFFFFF});
    noEnd.raw({2, 1});  // the stream stops after a whole command
    const Picture picture = readBitmapFile(noEnd.bytes);
    EXPECT_EQ(colourAt(picture, 0, 1), 0xFFFFFFu);
    EXPECT_EQ(colourAt(picture, 0, 0), 0u);

    BmpBuilder zeroWidth;
    zeroWidth.fileHeader(54);
    zeroWidth.infoHeader(40, 0, 10, 24, 0);
    EXPECT_TRUE(readBitmapFile(zeroWidth.bytes).empty());
}

// --- Damaged and hostile files -----------------------------------------------

TEST(BitmapReadHostile, EmptyAndShortFiles)
{
    EXPECT_TRUE(readBitmapFile({}).empty());
    const std::vector<uint8_t> valid = readFixture("info_24.bmp");
    for (std::size_t length = 1; length < 14; ++length)
        expectError<EBitmapReadError>(std::vector<uint8_t>(valid.begin(), valid.begin() + length), "Stream read error",
                                "length " + std::to_string(length));
    for (std::size_t length = 14; length < valid.size(); ++length)
        expectInvalid(std::vector<uint8_t>(valid.begin(), valid.begin() + length),
                      "cut to " + std::to_string(length));
}

TEST(BitmapReadHostile, BadHeaderFields)
{
    const std::vector<uint8_t> valid = readFixture("info_24.bmp");
    auto patched = [&](std::size_t at, std::initializer_list<uint8_t> values) {
        std::vector<uint8_t> copy = valid;
        std::copy(values.begin(), values.end(), copy.begin() + at);
        return copy;
    };
    expectInvalid(patched(0, {'B', 'A'}), "signature");
    expectInvalid(patched(14, {0, 0, 0, 0}), "header size 0");
    expectInvalid(patched(14, {0xFF, 0xFF, 0, 0}), "header larger than the file");
    expectInvalid(patched(26, {0, 0}), "0 planes");
    expectInvalid(patched(26, {2, 0}), "2 planes");
    expectInvalid(patched(28, {0, 0}), "0 bits per pixel (embedded JPEG or PNG)");
    expectInvalid(patched(28, {7, 0}), "7 bits per pixel");
    expectInvalid(patched(30, {4, 0, 0, 0}), "BI_JPEG");
    expectInvalid(patched(30, {1, 0, 0, 0}), "RLE8 at 24 bits");
    expectInvalid(patched(30, {3, 0, 0, 0}), "bitfields at 24 bits");
    expectInvalid(patched(10, {0xF0, 0, 0, 0}), "pixel offset past the end");
    expectInvalid(patched(10, {20, 0, 0, 0}), "pixel offset inside the header");
    expectInvalid(patched(18, {0xFF, 0xFF, 0xFF, 0xFF}), "negative width");
    expectInvalid(patched(22, {0, 0, 0, 0x80}), "height INT32_MIN");
    expectInvalid(patched(18, {0, 0, 1, 0}), "rows missing for a wider picture");
    expectInvalid(patched(18, {0xFF, 0xFF, 0xFF, 0x7F}), "absurd width");
}

TEST(BitmapReadHostile, BadPalettesAndMasks)
{
    BmpBuilder hugePalette;
    hugePalette.fileHeader(54);
    hugePalette.infoHeader(40, 1, 1, 8, 0, 0xFFFFFFFF);
    hugePalette.palette({0, 0, 0});
    expectInvalid(hugePalette.bytes, "2^32 colours declared, none before the pixels");

    BmpBuilder noRoom;
    noRoom.fileHeader(54);  // pixels right after the header: no colour table at all
    noRoom.infoHeader(40, 1, 1, 8, 0, 0);
    noRoom.u32(0);
    expectInvalid(noRoom.bytes, "indexed picture without a colour table");

    auto maskFile = [](std::array<uint32_t, 3> masks, uint16_t bpp) {
        BmpBuilder file;
        file.fileHeader(66);
        file.infoHeader(40, 1, 1, bpp, 3);
        for (uint32_t mask : masks)
            file.u32(mask);
        file.u32(0);
        return file.bytes;
    };
    expectInvalid(maskFile({0, 0, 0}, 16), "zero masks");
    expectInvalid(maskFile({0xF800, 0xFFE0, 0x1F}, 16), "overlapping masks");
    expectInvalid(maskFile({0xF100, 0x07E0, 0x1F}, 16), "mask with a gap");
    expectInvalid(maskFile({0xF80000, 0x07E0, 0x1F}, 16), "mask beyond 16 bits");
    EXPECT_NO_THROW(readBitmapFile(maskFile({0xF800, 0x07E0, 0x1F}, 16)));
    std::vector<uint8_t> pixelsOverMasks = maskFile({0xF800, 0x07E0, 0x1F}, 16);
    pixelsOverMasks[10] = 54;
    expectInvalid(pixelsOverMasks, "pixel data overlapping the masks after the header");
}

TEST(BitmapReadHostile, UnsupportedHeaderSizes)
{
    // An OS/2 2.x header (64 bytes) and an unknown one, each otherwise well formed.
    for (uint32_t headerSize : {16u, 64u, 200u}) {
        BmpBuilder file;
        file.fileHeader(14 + headerSize);
        file.infoHeader(headerSize, 1, 1, 24, 0);
        file.u32(0);
        expectInvalid(file.bytes, "header size " + std::to_string(headerSize));
    }
}

TEST(BitmapReadHostile, BadRleStreams)
{
    auto rleFile = [](std::initializer_list<uint8_t> data, int32_t height = 2) {
        BmpBuilder file;
        file.fileHeader(54 + 8);
        file.infoHeader(40, 4, height, 8, 1, 2);
        file.palette({0, 0xFFFFFF});
        file.raw(data);
        return file.bytes;
    };
    expectInvalid(rleFile({0, 5, 1, 1}), "literal run cut short");
    expectInvalid(rleFile({0, 3, 1, 1, 1}), "literal run missing its padding");
    expectInvalid(rleFile({0, 2, 1}), "delta cut short");
    expectInvalid(rleFile({2, 1, 0, 1}, -2), "top-down RLE");
    EXPECT_NO_THROW(readBitmapFile(rleFile({0, 2, 255, 255, 4, 1, 0, 1})));  // a delta off the picture
}

TEST(BitmapReadHostile, LargeRleCanvasIsBoundedByThePixelCap)
{
    BmpBuilder file;
    file.fileHeader(54 + 8);
    file.infoHeader(40, 8193, 8192, 8, 1, 2);  // one column more than the cap allows
    file.palette({0, 0xFFFFFF});
    file.raw({0, 1});
    expectInvalid(file.bytes, "RLE picture over the pixel cap");
}
