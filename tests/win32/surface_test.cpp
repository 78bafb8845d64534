// Scene surfaces under Wine: the white bitmap of a first use, rasterCopy's
// raster modes and clipping, stored copies of pictures, and loading and saving
// pictures with the program's file rules; the capture surface frees its bitmap.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialog/capture_surface.h"
#include "framework/exceptions.h"
#include "framework/files.h"
#include "framework/surface.h"
#include "imaging/bitmap_file.h"
#include "imaging/image_errors.h"
#include "tests/win32/support/test_files.h"

namespace {

using Pixels = std::vector<uint32_t>;   // 0xRRGGBB, rows top-down

// The surface's picture as seen through GDI: copied into a 32-bit DIB.
Pixels snapshot(SceneSurface& surface)
{
    const int width = surface.pictureWidth(), height = surface.pictureHeight();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;   // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, width, height, surface.canvas(), 0, 0, SRCCOPY);
    GdiFlush();
    Pixels pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + width * height);
    for (uint32_t& pixel : pixels)
        pixel &= 0xFFFFFF;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return pixels;
}

// A 24-bit picture whose pixels come from colour(x, y).
Picture picture24(int width, int height, const std::function<uint32_t(int, int)>& colour)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.bitsPerPixel = 24;
    picture.bits.assign(picture.stride() * height, 0);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.row(y);
        for (int x = 0; x < width; ++x) {
            const uint32_t c = colour(x, y);
            row[3 * x] = static_cast<uint8_t>(c);
            row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
        }
    }
    return picture;
}

Picture solid(int width, int height, uint32_t colour)
{
    return picture24(width, height, [=](int, int) { return colour; });
}

// Distinct colours per pixel, so a misplaced copy shows.
uint32_t pattern(int x, int y)
{
    return 0x100000u + static_cast<uint32_t>(x) * 0x0101u + static_cast<uint32_t>(y) * 0x010000u;
}

Pixels pixelsOf(int width, int height, const std::function<uint32_t(int, int)>& colour)
{
    Pixels pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(colour(x, y));
    return pixels;
}

RECT rect(int left, int top, int right, int bottom)
{
    return RECT{left, top, right, bottom};
}

std::string temporaryDirectory()
{
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    char path[MAX_PATH] = {};
    GetTempFileNameA(base, "sfc", 0, path);
    DeleteFileA(path);
    CreateDirectoryA(path, nullptr);
    return path;
}

std::vector<std::string> listing(const std::string& directory)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// The repository's test pictures, through Wine's Z: drive.
std::string testData(const std::string& name)
{
    std::string source = __FILE__;
    source = source.substr(0, source.find_last_of("/\\"));
    return "Z:" + source + "/../data/" + name;
}

// --- the first use of a surface without a picture ----------------------------

TEST(FirstUse, SaveBufferIsWhiteAtItsFixedSizeInTheDisplayFormat)
{
    SceneSurface imsave(637, 462);
    EXPECT_FALSE(imsave.hasBitmap());
    HDC canvas = imsave.canvas();
    ASSERT_TRUE(imsave.hasBitmap());
    EXPECT_EQ(imsave.pictureWidth(), 637);
    EXPECT_EQ(imsave.pictureHeight(), 462);
    EXPECT_EQ(snapshot(imsave), Pixels(637 * 462, 0xFFFFFF));

    BITMAP bitmap{};
    GetObjectA(GetCurrentObject(canvas, OBJ_BITMAP), sizeof bitmap, &bitmap);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(bitmap.bmBitsPixel, GetDeviceCaps(screen, BITSPIXEL));
    ReleaseDC(nullptr, screen);
}

TEST(FirstUse, AFixedSizeChangedBeforeTheFirstUseIsTheOneUsed)
{
    SceneSurface scene(105, 105);
    scene.setWidth(320);
    scene.setHeight(200);
    scene.canvas();
    EXPECT_EQ(scene.pictureWidth(), 320);
    EXPECT_EQ(scene.pictureHeight(), 200);
}

TEST(FirstUse, ACanvasToCoverSkipsTheWhiteAndFillWhiteGivesItAfterAll)
{
    // As the live desktop copy uses it: a bitmap of the fixed size in the
    // display's format, then one copy over all of it.
    SceneSurface scene(64, 48);
    HDC canvas = scene.canvasToCover();
    ASSERT_EQ(scene.pictureWidth(), 64);
    ASSERT_EQ(scene.pictureHeight(), 48);
    EXPECT_NE(snapshot(scene), Pixels(64 * 48, 0xFFFFFF)) << "no white pass before the copy";

    const auto pattern = [](int x, int y) { return uint32_t(x * 0x030507 + y * 0x050301) & 0xFFFFFF; };
    SceneSurface source(64, 48);
    source.assignBitmap(picture24(64, 48, pattern));
    BitBlt(canvas, 0, 0, 64, 48, source.canvas(), 0, 0, SRCCOPY);
    EXPECT_EQ(snapshot(scene), pixelsOf(64, 48, pattern));

    int changes = 0;
    scene.setOnChange([&] { ++changes; });
    scene.fillWhite();
    EXPECT_EQ(snapshot(scene), Pixels(64 * 48, 0xFFFFFF));
    EXPECT_EQ(changes, 1);
}

TEST(FirstUse, ASourceWithoutPictureIsWhiteToo)
{
    SceneSurface target(8, 8), source(4, 4);
    target.assignBitmap(solid(8, 8, 0x000000));
    rasterCopy(target, rect(2, 2, 6, 6), source, rect(0, 0, 4, 4));
    EXPECT_EQ(source.pictureWidth(), 4);
    EXPECT_EQ(snapshot(target), pixelsOf(8, 8, [](int x, int y) {
        return (x >= 2 && x < 6 && y >= 2 && y < 6) ? 0xFFFFFFu : 0u;
    }));
}

// --- rasterCopy ----------------------------------------------------------------

class RasterCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        target.assignBitmap(solid(40, 30, background));
        source.assignBitmap(picture24(20, 20, pattern));
        target.setOnChange([this] { ++changes; });
    }
    static constexpr uint32_t background = 0x123456;
    SceneSurface target{40, 30};
    SceneSurface source{20, 20};
    int changes = 0;
};

TEST_F(RasterCopy, CopyPutsEachSourcePixelAtTheSameOffset)
{
    rasterCopy(target, rect(10, 5, 20, 15), source, rect(3, 4, 13, 14));
    EXPECT_EQ(snapshot(target), pixelsOf(40, 30, [](int x, int y) {
        return (x >= 10 && x < 20 && y >= 5 && y < 15) ? pattern(x - 10 + 3, y - 5 + 4) : background;
    }));
    EXPECT_EQ(changes, 1);
}

TEST_F(RasterCopy, AndAndOrCombineBitwiseAndTheModeStays)
{
    target.assignBitmap(solid(40, 30, 0xF0F00F));
    source.assignBitmap(solid(20, 20, 0x3C0FF0));
    target.setRasterMode(RasterMode::And);
    rasterCopy(target, rect(0, 0, 10, 10), source, rect(0, 0, 10, 10));
    rasterCopy(target, rect(20, 0, 30, 10), source, rect(0, 0, 10, 10));   // still AND
    target.setRasterMode(RasterMode::Or);
    rasterCopy(target, rect(0, 15, 10, 25), source, rect(0, 0, 10, 10));
    EXPECT_EQ(target.rasterMode(), RasterMode::Or);
    EXPECT_EQ(snapshot(target), pixelsOf(40, 30, [](int x, int y) -> uint32_t {
        const bool top = y < 10, lower = y >= 15 && y < 25;
        if (top && ((x < 10) || (x >= 20 && x < 30)))
            return 0xF0F00F & 0x3C0FF0;
        if (lower && x < 10)
            return 0xF0F00F | 0x3C0FF0;
        return 0xF0F00F;
    }));
}

TEST_F(RasterCopy, WhiteUnderAndAndBlackUnderOrLeaveTheDestination)
{
    target.assignBitmap(picture24(40, 30, pattern));
    const Pixels before = snapshot(target);
    source.assignBitmap(solid(20, 20, 0xFFFFFF));
    target.setRasterMode(RasterMode::And);
    rasterCopy(target, rect(5, 5, 25, 25), source, rect(0, 0, 20, 20));
    source.assignBitmap(solid(20, 20, 0x000000));
    target.setRasterMode(RasterMode::Or);
    rasterCopy(target, rect(15, 8, 35, 28), source, rect(0, 0, 20, 20));
    EXPECT_EQ(snapshot(target), before);
}

TEST_F(RasterCopy, ASourceInAnotherFormatIsConvertedToTheDestinations)
{
    SceneSurface scene(16, 16);   // display format, white
    SceneSurface sprite(16, 16);
    sprite.assignBitmap(picture24(16, 16, [](int x, int) { return x < 8 ? 0xFFFFFFu : 0x204080u; }));
    scene.setRasterMode(RasterMode::And);
    rasterCopy(scene, rect(0, 0, 16, 16), sprite, rect(0, 0, 16, 16));
    EXPECT_EQ(snapshot(scene), pixelsOf(16, 16, [](int x, int) { return x < 8 ? 0xFFFFFFu : 0x204080u; }));
}

TEST_F(RasterCopy, APartlyOutsideCopyChangesOnlyThePartInside)
{
    rasterCopy(target, rect(-5, -3, 5, 7), source, rect(0, 0, 10, 10));
    rasterCopy(target, rect(35, 25, 45, 35), source, rect(10, 10, 20, 20));
    EXPECT_EQ(snapshot(target), pixelsOf(40, 30, [](int x, int y) {
        if (x < 5 && y < 7)
            return pattern(x + 5, y + 3);
        if (x >= 35 && y >= 25)
            return pattern(x - 35 + 10, y - 25 + 10);
        return background;
    }));
    EXPECT_EQ(changes, 2);
}

TEST_F(RasterCopy, AWhollyOutsideCopyChangesNothing)
{
    const Pixels before = snapshot(target);
    for (const RECT& outside : {rect(-577, 0, 0, 20), rect(40, 0, 617, 20), rect(0, 30, 20, 395),
                                rect(-2000, -2000, -1423, -1635), rect(100000, 5, 100577, 370)}) {
        const int width = outside.right - outside.left, height = outside.bottom - outside.top;
        rasterCopy(target, outside, source, rect(0, 0, width, height));
    }
    EXPECT_EQ(snapshot(target), before);
    EXPECT_EQ(changes, 0);
}

TEST_F(RasterCopy, SourcePixelsBeyondTheSourcePictureLeaveTheirDestination)
{
    // A 577 x 365 sprite rectangle over a 20 x 20 picture.
    rasterCopy(target, rect(4, 2, 581, 367), source, rect(0, 0, 577, 365));
    // A source rectangle that starts before the picture.
    rasterCopy(target, rect(30, 20, 40, 30), source, rect(-6, -4, 4, 6));
    EXPECT_EQ(snapshot(target), pixelsOf(40, 30, [](int x, int y) {
        if (x >= 36 && y >= 24)
            return pattern(x - 36, y - 24);
        if (x >= 4 && x < 24 && y >= 2 && y < 22)
            return pattern(x - 4, y - 2);
        return background;
    }));
}

TEST_F(RasterCopy, EmptyRectanglesChangeNothing)
{
    const Pixels before = snapshot(target);
    rasterCopy(target, rect(5, 5, 5, 10), source, rect(0, 0, 0, 5));
    rasterCopy(target, rect(10, 10, 5, 5), source, rect(10, 10, 5, 5));
    EXPECT_EQ(snapshot(target), before);
    EXPECT_EQ(changes, 0);
}

TEST_F(RasterCopy, DifferentSizesScaleTheSourceIntoTheRectangle)
{
    source.assignBitmap(picture24(2, 2, [](int x, int y) { return y == 0 ? (x == 0 ? 0xFF0000u : 0x00FF00u)
                                                                          : (x == 0 ? 0x0000FFu : 0xFFFF00u); }));
    rasterCopy(target, rect(10, 10, 14, 14), source, rect(0, 0, 2, 2));
    EXPECT_EQ(snapshot(target), pixelsOf(40, 30, [](int x, int y) {
        if (x < 10 || x >= 14 || y < 10 || y >= 14)
            return background;
        const bool right = x >= 12, lower = y >= 12;
        return lower ? (right ? 0xFFFF00u : 0x0000FFu) : (right ? 0x00FF00u : 0xFF0000u);
    }));
}

TEST_F(RasterCopy, ScaledCopyDrawsOnlyTheSourcePartInsideItsPicture)
{
    // Twice the size: source (10..30) of which only (10..20) exists.
    rasterCopy(target, rect(0, 0, 40, 20), source, rect(10, 0, 30, 10));
    const Pixels after = snapshot(target);
    for (int y = 0; y < 30; ++y) {
        for (int x = 20; x < 40; ++x)
            EXPECT_EQ(after[y * 40 + x], background) << x << "," << y;
    }
    EXPECT_EQ(after[0], pattern(10, 0));
    EXPECT_EQ(after[19 * 40 + 19], pattern(19, 9));
}

// --- pictures given to a surface ---------------------------------------------

TEST(AssignBitmap, StoresACopyAtThePicturesOwnSizeAndFormat)
{
    SceneSurface surface(105, 105);
    Picture given = picture24(33, 7, pattern);
    surface.assignBitmap(given);
    given.bits.assign(given.bits.size(), 0);   // later changes do not reach the surface
    EXPECT_EQ(surface.width(), 105);           // the fixed size stays
    EXPECT_EQ(surface.pictureWidth(), 33);
    EXPECT_EQ(surface.pictureHeight(), 7);
    EXPECT_EQ(snapshot(surface), pixelsOf(33, 7, pattern));
    const Picture back = surface.toPicture();
    EXPECT_EQ(back.bitsPerPixel, 24);
    EXPECT_EQ(back.bits, picture24(33, 7, pattern).bits);
}

TEST(AssignBitmap, PalettedPicturesKeepTheirPalette)
{
    Picture grey;
    grey.width = 5;
    grey.height = 3;
    grey.bitsPerPixel = 8;
    for (uint32_t level = 0; level < 236; ++level)
        grey.palette.push_back(level * 0x010101u);
    grey.bits.assign(grey.stride() * grey.height, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            grey.row(y)[x] = static_cast<uint8_t>(x * 40 + y);
    SceneSurface surface(105, 105);
    surface.assignBitmap(grey);
    const Picture back = surface.toPicture();
    EXPECT_EQ(back.bitsPerPixel, 8);
    EXPECT_EQ(back.bits, grey.bits);
    ASSERT_GE(back.palette.size(), 236u);
    EXPECT_EQ(std::vector<uint32_t>(back.palette.begin(), back.palette.begin() + 236), grey.palette);
    EXPECT_EQ(snapshot(surface)[1 * 5 + 2], (2u * 40 + 1) * 0x010101u);
}

TEST(AssignBitmap, AnEmptyPictureIsAnEmptyBitmapThatNothingIsDrawnOn)
{
    SceneSurface scene(64, 48), source(8, 8);
    scene.assignBitmap(Picture{});
    int changes = 0;
    scene.setOnChange([&] { ++changes; });
    EXPECT_TRUE(scene.hasBitmap());
    rasterCopy(scene, rect(0, 0, 8, 8), source, rect(0, 0, 8, 8));
    EXPECT_EQ(scene.pictureWidth(), 0);   // no white bitmap of the fixed size
    EXPECT_EQ(scene.pictureHeight(), 0);
    EXPECT_EQ(changes, 0);
}

TEST(AssignBitmap, ASurfacesOwnJpegCanBecomeItsBitmap)
{
    SceneSurface holder(105, 105);
    holder.assignJpeg(std::make_unique<JpegImage>(readWholeFile(testData("jpeg/colour.jpg"))));
    ASSERT_TRUE(holder.hasJpeg());
    EXPECT_FALSE(holder.hasBitmap());
    EXPECT_THROW(holder.canvas(), Exception);   // only a bitmap can be drawn on
    const Picture& decoded = convertJpegToBitmap(*holder.jpeg());
    EXPECT_EQ(&convertJpegToBitmap(*holder.jpeg()), &decoded);   // decoded once
    const int width = decoded.width, height = decoded.height;
    holder.assignBitmap(decoded);
    EXPECT_FALSE(holder.hasJpeg());
    EXPECT_EQ(holder.pictureWidth(), width);
    EXPECT_EQ(holder.pictureHeight(), height);
    EXPECT_EQ(holder.toPicture().bitsPerPixel, 24);
}

// --- files -------------------------------------------------------------------

class SurfaceFiles : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const std::string& name : listing(directory)) {
            SetFileAttributesA((directory + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA((directory + "\\" + name).c_str());
        }
        RemoveDirectoryA(directory.c_str());
    }
    std::string at(const std::string& name) const { return directory + "\\" + name; }
    std::string directory = temporaryDirectory();
};

TEST_F(SurfaceFiles, SavedBitmapLoadsBackTheSame)
{
    SceneSurface scene(105, 105);
    scene.assignBitmap(picture24(31, 17, pattern));
    scene.saveToFile(at("screen.bmp"));
    EXPECT_EQ(listing(directory), std::vector<std::string>{"screen.bmp"});   // no temporary left

    SceneSurface loaded(105, 105);
    loaded.assignBitmap(readBitmapFile(readWholeFile(at("screen.bmp"))));
    EXPECT_EQ(loaded.pictureWidth(), 31);
    EXPECT_EQ(loaded.toPicture().bitsPerPixel, 24);
    EXPECT_EQ(snapshot(loaded), pixelsOf(31, 17, pattern));

    const Picture fromFile = readBitmapFile(readWholeFile(at("screen.bmp")));
    EXPECT_EQ(fromFile.bits, picture24(31, 17, pattern).bits);
}

TEST_F(SurfaceFiles, ASavedBitmapReplacesTheOldFile)
{
    writeTestFile(at("screen.bmp"), std::string(5000, 'x'));
    SceneSurface scene(105, 105);
    scene.assignBitmap(solid(4, 4, 0x808080));
    scene.saveToFile(at("screen.bmp"));
    EXPECT_EQ(readBitmapFile(readWholeFile(at("screen.bmp"))).width, 4);
}

TEST_F(SurfaceFiles, AFailedLoadKeepsThePreviousPicture)
{
    SceneSurface scene(105, 105);
    scene.assignBitmap(picture24(6, 6, pattern));
    writeTestFile(at("broken.bmp"), std::string(100, '\x42'));
    writeTestFile(at("broken.jpg"), "not a jpeg at all");
    writeTestFile(at("short.bmp"), "BM");

    const auto loadBitmap = [&](const std::string& name) {
        scene.assignBitmap(readBitmapFile(readWholeFile(at(name))));
    };
    try {
        loadBitmap("missing.bmp");
        FAIL() << "a missing file loaded";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot open file " + at("missing.bmp"));
    }
    EXPECT_THROW(loadBitmap("broken.bmp"), EInvalidGraphic);
    EXPECT_THROW(loadBitmap("short.bmp"), EBitmapReadError);
    EXPECT_THROW(std::make_unique<JpegImage>(readWholeFile(at("broken.jpg"))), EJpegError);
    EXPECT_TRUE(scene.hasBitmap());
    EXPECT_EQ(snapshot(scene), pixelsOf(6, 6, pattern));
}

TEST_F(SurfaceFiles, AZeroByteBitmapFileGivesAnEmptyPicture)
{
    writeTestFile(at("screen.bmp"), "");
    SceneSurface scene(1024, 768);
    scene.assignBitmap(readBitmapFile(readWholeFile(at("screen.bmp"))));
    EXPECT_TRUE(scene.hasBitmap());
    EXPECT_EQ(scene.pictureWidth(), 0);
    EXPECT_EQ(scene.pictureHeight(), 0);
}

TEST_F(SurfaceFiles, AFileOpenForWritingElsewhereCannotBeOpened)
{
    writeTestFile(at("screen.bmp"), "BM");
    HANDLE writer = CreateFileA(at("screen.bmp").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    try {
        readWholeFile(at("screen.bmp"));
        ADD_FAILURE() << "read a file another program is writing";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot open file " + at("screen.bmp"));
    }
    CloseHandle(writer);
    EXPECT_EQ(readWholeFile(at("screen.bmp")).size(), 2u);
}

TEST_F(SurfaceFiles, AFailedSaveKeepsTheOldFileAndLeavesNoTemporary)
{
    const std::string good = std::string("BM") + std::string(60, '\x01');
    writeTestFile(at("screen.bmp"), good);
    SetFileAttributesA(at("screen.bmp").c_str(), FILE_ATTRIBUTE_READONLY);
    SceneSurface scene(105, 105);
    scene.assignBitmap(solid(4, 4, 0x808080));
    try {
        scene.saveToFile(at("screen.bmp"));
        ADD_FAILURE() << "replaced a read-only file";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file " + at("screen.bmp"));
    }
    const std::vector<uint8_t> kept = readWholeFile(at("screen.bmp"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), good);
    EXPECT_EQ(listing(directory), std::vector<std::string>{"screen.bmp"});

    try {
        scene.saveToFile(at("no such folder\\screen.bmp"));
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file " + at("no such folder\\screen.bmp"));
    }
}

// Windows 9x has no working MoveFileExA: the file is replaced by renames.
TEST_F(SurfaceFiles, WithoutMoveFileExAGoodFileSurvivesAFailedReplacementAndYieldsToAGoodOne)
{
    const std::string good = std::string("BM") + std::string(60, '\x01');
    writeTestFile(at("screen.bmp"), good);
    const std::vector<uint8_t> newer = {'B', 'M', 2, 2, 2};

    // Another program holds the file open without allowing it to be renamed
    // or deleted: the old file cannot move aside, so nothing changes.
    HANDLE reader = CreateFileA(at("screen.bmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_THROW(writeFileSafely(at("screen.bmp"), newer, FileReplacement::Moves), EFCreateError);
    CloseHandle(reader);
    std::vector<uint8_t> kept = readWholeFile(at("screen.bmp"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), good);
    EXPECT_EQ(listing(directory), std::vector<std::string>{"screen.bmp"});

    writeFileSafely(at("screen.bmp"), newer, FileReplacement::Moves);
    EXPECT_EQ(readWholeFile(at("screen.bmp")), newer);
    EXPECT_EQ(listing(directory), std::vector<std::string>{"screen.bmp"});

    writeFileSafely(at("fresh.bmp"), newer, FileReplacement::Moves);
    EXPECT_EQ(readWholeFile(at("fresh.bmp")), newer);
}

TEST(CaptureSurfaceLife, ItsBitmapIsGoneWithIt)
{
    HGDIOBJ bitmap = nullptr;
    {
        CaptureSurface surface;
        surface.resize(40, 30);
        bitmap = GetCurrentObject(surface.canvas(), OBJ_BITMAP);
        ASSERT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
        surface.resize(20, 10);   // the first bitmap is replaced
        EXPECT_EQ(GetObjectType(bitmap), 0u) << "the replaced bitmap is still there";
        bitmap = GetCurrentObject(surface.canvas(), OBJ_BITMAP);
    }
    EXPECT_EQ(GetObjectType(bitmap), 0u) << "the last bitmap outlived its surface";
}

} // namespace
