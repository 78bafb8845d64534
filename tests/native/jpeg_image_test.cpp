// JPEG pictures: the fixtures of tests/data/jpeg (cjpeg and ImageMagick, made
// by tests/data/make_imaging_fixtures.sh from known pixels), damaged headers
// and damaged data, and the decoder's resource limits.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <jpeglib.h>
#include <jerror.h>

#include "imaging/image_errors.h"
#include "imaging/jpeg_image.h"

namespace {

std::vector<uint8_t> readFixture(const std::string& name)
{
    std::ifstream in(std::string(SKYVANE_TEST_DATA) + "/jpeg/" + name, std::ios::binary);
    EXPECT_TRUE(in) << "missing fixture " << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One marker segment of a JPEG file; for a scan, `end` includes its entropy-coded data.
struct Segment {
    uint8_t marker;
    std::size_t start, end;
};

std::vector<Segment> segmentsOf(const std::vector<uint8_t>& jpeg)
{
    std::vector<Segment> segments;
    std::size_t at = 2;  // after SOI
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != JPEG_EOI) {
        const uint8_t marker = jpeg[at + 1];
        std::size_t end = at + 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
        if (marker == 0xDA)
            while (end + 1 < jpeg.size() &&
                   !(jpeg[end] == 0xFF && jpeg[end + 1] != 0 && (jpeg[end + 1] < 0xD0 || jpeg[end + 1] > 0xD7)))
                ++end;
        segments.push_back({marker, at, end});
        at = end;
    }
    return segments;
}

std::vector<Segment> segmentsWith(const std::vector<uint8_t>& jpeg, uint8_t marker)
{
    std::vector<Segment> found;
    for (const Segment& s : segmentsOf(jpeg))
        if (s.marker == marker)
            found.push_back(s);
    return found;
}

struct Rgb {
    int r, g, b;
};

Rgb rgbAt(const Picture& picture, int x, int y)
{
    const uint8_t* pixel = picture.row(y) + 3 * x;
    return {pixel[2], pixel[1], pixel[0]};
}

// The colour fixture's source: 8 x 8 flat blocks, four per row, the second
// band in the reverse order.
const Rgb blockColours[4] = {{200, 30, 30}, {30, 200, 30}, {30, 30, 200}, {220, 220, 40}};
Rgb sourceColour(int x, int y) { return blockColours[y < 8 ? x / 8 : 3 - x / 8]; }

void expectNear(Rgb got, Rgb want, int tolerance, const std::string& what)
{
    EXPECT_NEAR(got.r, want.r, tolerance) << what;
    EXPECT_NEAR(got.g, want.g, tolerance) << what;
    EXPECT_NEAR(got.b, want.b, tolerance) << what;
}

void expectBlockCentres(const Picture& picture, int tolerance, const std::string& what)
{
    ASSERT_EQ(picture.width, 32) << what;
    ASSERT_EQ(picture.height, 16) << what;
    ASSERT_EQ(picture.bitsPerPixel, 24) << what;
    ASSERT_EQ(picture.bits.size(), picture.stride() * 16) << what;
    for (int y : {3, 4, 11, 12})
        for (int x = 3; x < 32; x += 8)
            expectNear(rgbAt(picture, x, y), sourceColour(x, y), tolerance,
                       what + " at " + std::to_string(x) + "," + std::to_string(y));
}

// Runs f, which must throw EJpegError with this libjpeg message code.
template <class F>
void expectJpegError(F f, int code, const std::string& what)
{
    try {
        f();
        ADD_FAILURE() << what << ": no error";
    } catch (const EJpegError& error) {
        EXPECT_EQ(error.messageCode(), code) << what;
        EXPECT_EQ(std::string(error.what()), "JPEG error #" + std::to_string(code)) << what;
    } catch (const std::exception& error) {
        ADD_FAILURE() << what << ": wrong error " << error.what();
    }
}

}  // namespace

// --- Decoding ----------------------------------------------------------------

TEST(JpegDecode, ColourGivesTwentyFourBitsNearTheSource)
{
    JpegImage jpeg(readFixture("colour.jpg"));
    EXPECT_EQ(jpeg.width(), 32);
    EXPECT_EQ(jpeg.height(), 16);
    EXPECT_FALSE(jpeg.greyscale());
    const Picture& picture = jpeg.bitmap();
    EXPECT_TRUE(picture.palette.empty());
    expectBlockCentres(picture, 12, "baseline");
}

TEST(JpegDecode, ProgressiveMatchesBaseline)
{
    JpegImage baseline(readFixture("colour.jpg"));
    JpegImage progressive(readFixture("progressive.jpg"));
    const Picture& a = baseline.bitmap();
    const Picture& b = progressive.bitmap();
    expectBlockCentres(b, 12, "progressive");
    ASSERT_EQ(a.bits.size(), b.bits.size());
    int worst = 0;
    for (std::size_t i = 0; i < a.bits.size(); ++i)
        worst = std::max(worst, std::abs(a.bits[i] - b.bits[i]));
    EXPECT_LE(worst, 2);
}

TEST(JpegDecode, AdobeCmykIsConvertedToColour)
{
    JpegImage jpeg(readFixture("cmyk.jpg"));
    EXPECT_FALSE(jpeg.greyscale());
    expectBlockCentres(jpeg.bitmap(), 16, "CMYK");
}

namespace {
// A CMYK JPEG of flat 8 x 8 blocks, one per ink (c, m, y, k as stored), at
// quality 100, where a flat block decodes to its exact values; with the Adobe
// marker (Adobe's inverted inks) or without it (plain inks).
std::vector<uint8_t> cmykBlocks(const std::vector<std::array<uint8_t, 4>>& inks, bool adobe)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(8 * inks.size());
    info.image_height = 8;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    info.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row;
    for (const auto& ink : inks)
        for (int x = 0; x < 8; ++x)
            row.insert(row.end(), ink.begin(), ink.end());
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> jpeg(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return jpeg;
}
}

TEST(JpegDecode, CmykInksGiveTheNearestColour)
{
    // Each colour channel is ink x black / 255, counted as light (an Adobe
    // file stores it so; a plain file stores 255 less it), to the nearest
    // level: 1.498 is 1, 0.502 is 1, 156.86 is 157.
    struct Row {
        std::array<uint8_t, 4> ink;   // c, m, y, k as an Adobe file stores them
        Rgb colour;
    };
    const std::vector<Row> rows = {
        {{2, 128, 200, 191}, {1, 96, 150}},      // 1.498, 95.87, 149.80
        {{97, 2, 2, 191}, {73, 1, 1}},           // 72.65, 1.498, 1.498
        {{128, 128, 200, 1}, {1, 1, 1}},         // 0.502, 0.502, 0.784
        {{200, 128, 1, 128}, {100, 64, 1}},      // 100.39, 64.25, 0.502
        {{200, 100, 50, 200}, {157, 78, 39}},    // 156.86, 78.43, 39.22
        {{255, 0, 17, 255}, {255, 0, 17}},
        {{97, 203, 254, 0}, {0, 0, 0}},
        {{64, 191, 127, 254}, {64, 190, 127}},   // 63.75, 190.25, 126.50
    };
    std::vector<std::array<uint8_t, 4>> adobeInks, plainInks;
    for (const Row& row : rows) {
        adobeInks.push_back(row.ink);
        plainInks.push_back({});
        for (int i = 0; i < 4; ++i)
            plainInks.back()[i] = static_cast<uint8_t>(255 - row.ink[i]);
    }
    for (const auto& [inks, what] : {std::pair{adobeInks, "Adobe"}, {plainInks, "plain"}}) {
        JpegImage jpeg(cmykBlocks(inks, std::string(what) == "Adobe"));
        const Picture& picture = jpeg.bitmap();
        ASSERT_EQ(picture.width, static_cast<int>(8 * rows.size())) << what;
        ASSERT_EQ(picture.bitsPerPixel, 24) << what;
        for (std::size_t block = 0; block < rows.size(); ++block)
            for (int y : {0, 4, 7}) {
                const Rgb got = rgbAt(picture, static_cast<int>(8 * block + 3), y);
                const Rgb& want = rows[block].colour;
                EXPECT_EQ((std::array{got.r, got.g, got.b}), (std::array{want.r, want.g, want.b}))
                    << what << " block " << block;
            }
    }
}

TEST(JpegDecode, GreyscaleGivesEightBitsWithAtMost236Greys)
{
    JpegImage jpeg(readFixture("grey.jpg"));
    EXPECT_TRUE(jpeg.greyscale());
    const Picture& picture = jpeg.bitmap();
    ASSERT_EQ(picture.bitsPerPixel, 8);
    ASSERT_EQ(picture.width, 24);
    ASSERT_EQ(picture.height, 16);
    ASSERT_GE(picture.palette.size(), 200u);
    ASSERT_LE(picture.palette.size(), 236u);
    // The quantiser spreads its levels from black to white.
    EXPECT_EQ(picture.palette.front(), 0x000000u);
    EXPECT_EQ(picture.palette.back(), 0xFFFFFFu);
    for (uint32_t entry : picture.palette)
        EXPECT_TRUE((entry & 0xFF) == (entry >> 8 & 0xFF) && (entry & 0xFF) == (entry >> 16 & 0xFF))
            << std::hex << entry << " is not grey";
    for (int y = 0; y < 16; y += 5)
        for (int x = 0; x < 24; ++x) {
            const uint8_t index = picture.row(y)[x];
            ASSERT_LT(index, picture.palette.size());
            EXPECT_NEAR(static_cast<int>(picture.palette[index] & 0xFF), 10 * x, 8) << x << "," << y;
        }
}

TEST(JpegDecode, DecodesOnceAndKeepsTheResult)
{
    JpegImage jpeg(readFixture("colour.jpg"));
    const Picture& first = jpeg.bitmap();
    const uint8_t* pixels = first.bits.data();
    const Picture& second = jpeg.bitmap();
    EXPECT_EQ(&first, &second);
    // A second decode would have replaced the pixel buffer.
    EXPECT_EQ(second.bits.data(), pixels);
}

TEST(JpegDecode, TruncatedDataStillDecodesAtFullSize)
{
    // libjpeg only warns when the data runs out; warnings are ignored.
    std::vector<uint8_t> bytes = readFixture("colour.jpg");
    bytes.resize(bytes.size() - 30);  // inside the second of the two MCUs
    JpegImage jpeg(bytes);
    const Picture& picture = jpeg.bitmap();
    EXPECT_EQ(picture.width, 32);
    EXPECT_EQ(picture.height, 16);
    expectNear(rgbAt(picture, 3, 3), sourceColour(3, 3), 12, "the part before the cut");
}

// --- Failures ----------------------------------------------------------------

TEST(JpegFailure, DamagedHeaderFailsAtLoad)
{
    const std::vector<uint8_t> valid = readFixture("colour.jpg");
    expectJpegError([] { JpegImage({}); }, JERR_NO_SOI, "empty");
    expectJpegError([] { JpegImage({'B', 'M', 0, 0, 0, 0}); }, JERR_NO_SOI, "a bitmap file");

    expectJpegError([&] { JpegImage(std::vector<uint8_t>(valid.begin(), valid.begin() + 100)); }, JERR_NO_IMAGE,
                    "cut inside the tables");

    const Segment frame = segmentsWith(valid, 0xC0).at(0);
    std::vector<uint8_t> precision = valid;
    precision[frame.start + 4] = 12;
    expectJpegError([&] { JpegImage{precision}; }, JERR_BAD_PRECISION, "12-bit samples");

    std::vector<uint8_t> zeroHeight = valid;
    zeroHeight[frame.start + 5] = 0;
    zeroHeight[frame.start + 6] = 0;
    expectJpegError([&] { JpegImage{zeroHeight}; }, JERR_EMPTY_IMAGE, "height 0");
}

TEST(JpegFailure, OversizedPictureIsRefusedAtLoad)
{
    // 60000 x 60000 fits libjpeg's own limit but would need 10 GB.
    std::vector<uint8_t> huge = readFixture("colour.jpg");
    const Segment frame = segmentsWith(huge, 0xC0).at(0);
    for (std::size_t at : {frame.start + 5, frame.start + 7}) {
        huge[at] = 60000 >> 8;
        huge[at + 1] = 60000 & 0xFF;
    }
    expectJpegError([&] { JpegImage{huge}; }, JERR_IMAGE_TOO_BIG, "60000 x 60000");
}

TEST(JpegFailure, ProgressiveWholeImageBuffersAreBounded)
{
    // 8192 x 8192 is within the pixel cap, but a progressive 4:4:4 file needs
    // 384 MB of coefficients before the first pixel: refused when the decode
    // starts, before any of it is allocated.
    std::vector<uint8_t> bytes = readFixture("progressive.jpg");
    const Segment frame = segmentsWith(bytes, 0xC2).at(0);
    for (std::size_t at : {frame.start + 5, frame.start + 7}) {
        bytes[at] = 8192 >> 8;
        bytes[at + 1] = 8192 & 0xFF;
    }
    const std::size_t components = bytes[frame.start + 9];
    for (std::size_t i = 0; i < components; ++i)
        bytes[frame.start + 10 + 3 * i + 1] = 0x11;  // no subsampling
    JpegImage jpeg(bytes);
    EXPECT_EQ(jpeg.width(), 8192);
    expectJpegError([&] { jpeg.bitmap(); }, JERR_NO_BACKING_STORE, "384 MB of coefficients");
}

TEST(JpegFailure, DamagedDataFailsAtConversionAndKeepsFailing)
{
    std::vector<uint8_t> bytes = readFixture("progressive.jpg");
    const std::vector<Segment> scans = segmentsWith(bytes, 0xDA);
    ASSERT_GE(scans.size(), 2u);
    // The second scan's spectral end (Se) becomes 64, beyond the last coefficient.
    const Segment& second = scans[1];
    const std::size_t components = bytes[second.start + 4];
    bytes[second.start + 5 + 2 * components + 1] = 64;

    JpegImage jpeg(bytes);  // the header is intact
    EXPECT_EQ(jpeg.width(), 32);
    expectJpegError([&] { jpeg.bitmap(); }, JERR_BAD_PROGRESSION, "first conversion");
    expectJpegError([&] { jpeg.bitmap(); }, JERR_BAD_PROGRESSION, "second conversion");
}

TEST(JpegFailure, EndlessProgressiveScansAreRefused)
{
    // A repeated refinement scan only draws a warning from libjpeg, so
    // repeating it is a cheap way to make the decoder walk the image forever.
    const std::vector<uint8_t> original = readFixture("progressive.jpg");
    const Segment last = segmentsWith(original, 0xDA).back();
    std::vector<uint8_t> bytes(original.begin(), original.begin() + last.end);
    for (int i = 0; i < 600; ++i)
        bytes.insert(bytes.end(), original.begin() + last.start, original.begin() + last.end);
    bytes.insert(bytes.end(), {0xFF, JPEG_EOI});

    JpegImage jpeg(bytes);
    expectJpegError([&] { jpeg.bitmap(); }, JERR_IMAGE_TOO_BIG, "600 extra scans");

    // A few repeats are within the limit and decode.
    std::vector<uint8_t> few(original.begin(), original.begin() + last.end);
    for (int i = 0; i < 5; ++i)
        few.insert(few.end(), original.begin() + last.start, original.begin() + last.end);
    few.insert(few.end(), {0xFF, JPEG_EOI});
    JpegImage fine(few);
    EXPECT_EQ(fine.bitmap().width, 32);
}
