#include "framework/surface.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "framework/exceptions.h"
#include "framework/files.h"
#include "framework/paths.h"
#include "framework/raster_clip.h"
#include "framework/scoped.h"
#include "imaging/bitmap_file.h"

namespace {
// A BITMAPINFO with room for a full colour table or the three channel masks.
struct BitmapInfo {
    BITMAPINFOHEADER header{};
    RGBQUAD colours[256]{};
    BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

RGBQUAD toRgbQuad(uint32_t colour)
{
    RGBQUAD quad{};
    quad.rgbBlue = static_cast<BYTE>(colour & 0xFF);
    quad.rgbGreen = static_cast<BYTE>((colour >> 8) & 0xFF);
    quad.rgbRed = static_cast<BYTE>((colour >> 16) & 0xFF);
    return quad;
}

uint32_t fromRgbQuad(const RGBQUAD& quad)
{
    return (uint32_t(quad.rgbRed) << 16) | (uint32_t(quad.rgbGreen) << 8) | quad.rgbBlue;
}

// The header of an uncompressed bitmap whose rows are stored bottom-up, as
// Picture keeps them; no colour table or masks yet.
BitmapInfo bitmapInfo(int width, int height, int bitsPerPixel, DWORD compression = BI_RGB)
{
    BitmapInfo info;
    BITMAPINFOHEADER& header = info.header;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;   // positive: bottom-up
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitsPerPixel);
    header.biCompression = compression;
    return info;
}

BitmapInfo describe(const Picture& picture)
{
    BitmapInfo info = bitmapInfo(picture.width, picture.height, picture.bitsPerPixel);
    BITMAPINFOHEADER& header = info.header;
    if (picture.bitsPerPixel <= 8) {
        // Without a palette of its own, a grey ramp keeps the pixels meaningful.
        const std::vector<uint32_t> table = colourTableOf(picture);
        const std::size_t count = std::min(table.size(), std::size_t(1) << picture.bitsPerPixel);
        for (std::size_t i = 0; i < count; ++i)
            info.colours[i] = toRgbQuad(table[i]);
        header.biClrUsed = static_cast<DWORD>(count);
    } else if ((picture.bitsPerPixel == 16 || picture.bitsPerPixel == 32)
               && (picture.redMask | picture.greenMask | picture.blueMask) != 0) {
        header.biCompression = BI_BITFIELDS;
        const uint32_t masks[3] = {picture.redMask, picture.greenMask, picture.blueMask};
        std::memcpy(info.colours, masks, sizeof masks);
    }
    return info;
}

// A bitmap in the display's own format, so showing it later needs no
// conversion. On a 32-bit display that is a 32-bit DIB section, whose pixels
// the flights can also work on directly; otherwise a display bitmap.
HBITMAP displayFormatBitmap(int width, int height)
{
    ScopedGetDC screen(nullptr);
    if (GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) == 32) {
        BitmapInfo info = bitmapInfo(width, height, 32);
        void* bits = nullptr;
        if (HBITMAP section = CreateDIBSection(screen, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0))
            return section;
    }
    return CreateCompatibleBitmap(screen, width, height);
}

void checkResource(bool created)
{
    if (!created)
        throw Exception("Out of system resources");
}
}

SceneSurface::SceneSurface(int fixedWidth, int fixedHeight) : width_(fixedWidth), height_(fixedHeight) {}

bool SceneSurface::hasBitmap() const
{
    return hasBitmap_;
}

int SceneSurface::pictureWidth() const
{
    return bitmapWidth_;
}

int SceneSurface::pictureHeight() const
{
    return bitmapHeight_;
}

HDC SceneSurface::canvas()
{
    ensureBitmap(FirstFill::White);
    return dc_->get();
}

HDC SceneSurface::canvasToCover()
{
    ensureBitmap(FirstFill::None);
    return dc_->get();
}

void SceneSurface::fillWhite()
{
    if (HDC dc = canvas(); bitmap_)
        PatBlt(dc, 0, 0, bitmapWidth_, bitmapHeight_, WHITENESS);
    changed();
}

void SceneSurface::dropPicture()
{
    selected_.reset();
    bitmap_.reset();
    bitmapWidth_ = bitmapHeight_ = 0;
    hasBitmap_ = false;
    jpeg_.reset();
}

void SceneSurface::adoptBitmap(GdiObject<HBITMAP> bitmap, int width, int height)
{
    if (!dc_) {
        dc_.emplace();
        if (!dc_->get()) {
            dc_.reset();
            checkResource(false);
        }
    }
    dropPicture();
    const bool empty = !bitmap;
    bitmap_ = std::move(bitmap);
    if (!empty)
        selected_.emplace(dc_->get(), bitmap_.get());
    bitmapWidth_ = empty ? 0 : width;
    bitmapHeight_ = empty ? 0 : height;
    hasBitmap_ = true;
}

void SceneSurface::ensureBitmap(FirstFill fill)
{
    if (hasBitmap_)
        return;
    if (jpeg_)
        throw Exception("Can only modify an image if it contains a bitmap");
    GdiObject<HBITMAP> bitmap;
    if (width_ > 0 && height_ > 0) {
        bitmap.reset(displayFormatBitmap(width_, height_));
        checkResource(bool(bitmap));
    }
    adoptBitmap(std::move(bitmap), width_, height_);
    if (bitmap_ && fill == FirstFill::White)
        PatBlt(dc_->get(), 0, 0, width_, height_, WHITENESS);
}

GdiObject<HBITMAP> SceneSurface::createSection(const Picture& described, void*& bits)
{
    BitmapInfo info = describe(described);
    bits = nullptr;
    GdiObject<HBITMAP> bitmap(CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bits)
        bitmap.reset();
    checkResource(bool(bitmap));
    return bitmap;
}

void SceneSurface::assignBitmap(const Picture& picture)
{
    if (picture.empty()) {
        adoptBitmap({}, 0, 0);
        changed();
        return;
    }
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap = createSection(picture, bits);
    const std::size_t size = picture.stride() * static_cast<std::size_t>(picture.height);
    std::memcpy(bits, picture.bits.data(), std::min(size, picture.bits.size()));
    // The new bitmap is complete before the old picture goes: the picture
    // given may belong to this surface's own JPEG.
    adoptBitmap(std::move(bitmap), picture.width, picture.height);
    changed();
}

void SceneSurface::assignBitmapAtThirtyTwoBits(const Picture& picture)
{
    if (!widensToThirtyTwoBits(picture))
        return assignBitmap(picture);
    Picture wide;
    wide.width = picture.width;
    wide.height = picture.height;
    wide.bitsPerPixel = 32;
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap = createSection(wide, bits);
    widenToThirtyTwoBits(picture, static_cast<uint8_t*>(bits));
    adoptBitmap(std::move(bitmap), picture.width, picture.height);
    changed();
}

void SceneSurface::assignJpeg(std::unique_ptr<JpegImage> jpeg)
{
    dropPicture();
    jpeg_ = std::move(jpeg);
    changed();
}

void SceneSurface::saveToFile(const std::string& path)
{
    if (jpeg_)
        throw Exception("Cannot save a JPEG picture as " + path);
    if (!hasBitmap_)
        return;   // no picture, nothing to write
    const std::vector<uint8_t> bytes = writeBitmapFile(toPicture());
    writeFileSafely(path, bytes);
}

Picture SceneSurface::toPicture()
{
    Picture picture;
    if (!bitmap_)
        return picture;

    DIBSECTION section{};
    if (GetObjectA(bitmap_.get(), sizeof section, &section) == sizeof section && section.dsBm.bmBits) {
        GdiFlush();
        const BITMAPINFOHEADER& header = section.dsBmih;
        picture.width = header.biWidth;
        picture.height = std::abs(header.biHeight);
        picture.bitsPerPixel = header.biBitCount;
        if (picture.bitsPerPixel <= 8) {
            RGBQUAD table[256];
            const UINT count = GetDIBColorTable(dc_->get(), 0, 256, table);
            for (UINT i = 0; i < count; ++i)
                picture.palette.push_back(fromRgbQuad(table[i]));
        }
        if (header.biCompression == BI_BITFIELDS) {
            picture.redMask = section.dsBitfields[0];
            picture.greenMask = section.dsBitfields[1];
            picture.blueMask = section.dsBitfields[2];
        }
        const std::size_t stride = picture.stride();
        picture.bits.resize(stride * picture.height);
        const auto* source = static_cast<const uint8_t*>(section.dsBm.bmBits);
        for (int row = 0; row < picture.height; ++row) {
            // Picture keeps rows bottom-up; a top-down section is turned over.
            const int sourceRow = header.biHeight > 0 ? row : picture.height - 1 - row;
            std::memcpy(picture.bits.data() + row * stride, source + sourceRow * stride, stride);
        }
        return picture;
    }

    // A display-format bitmap: GDI gives its pixels only while no device
    // context has it selected.
    ScopedSelectObject deselect(dc_->get(), selected_->previous());
    return readDisplayBitmap(bitmap_.get(), SixteenBitLayout::OwnMasks);
}

Picture readDisplayBitmap(HBITMAP bitmap, SixteenBitLayout layout)
{
    BITMAP description{};
    if (!GetObjectA(bitmap, sizeof description, &description))
        throw Exception("Out of system resources");
    Picture picture;
    picture.width = description.bmWidth;
    picture.height = description.bmHeight;
    picture.bitsPerPixel = description.bmBitsPixel * description.bmPlanes;
    const bool ownMasks = picture.bitsPerPixel == 16 && layout == SixteenBitLayout::OwnMasks;
    BitmapInfo info = bitmapInfo(picture.width, picture.height, picture.bitsPerPixel,
                                 ownMasks ? BI_BITFIELDS : BI_RGB);
    picture.bits.resize(picture.stride() * picture.height);

    ScopedGetDC screen(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(picture.height), picture.bits.data(),
                               info.get(), DIB_RGB_COLORS);
    if (rows != picture.height)
        throw Exception("Out of system resources");

    if (picture.bitsPerPixel <= 8) {
        const std::size_t entries = std::size_t(1) << picture.bitsPerPixel;
        for (std::size_t i = 0; i < entries; ++i)
            picture.palette.push_back(fromRgbQuad(info.colours[i]));
    } else if (ownMasks) {
        uint32_t masks[3];
        std::memcpy(masks, info.colours, sizeof masks);
        picture.redMask = masks[0];
        picture.greenMask = masks[1];
        picture.blueMask = masks[2];
    }
    return picture;
}

void rasterCopy(SceneSurface& destination, const RECT& dstRect, SceneSurface& source, const RECT& srcRect)
{
    HDC target = destination.canvas();
    HDC origin = source.canvas();
    const auto copy = clipRasterCopy({dstRect.left, dstRect.top, dstRect.right, dstRect.bottom},
                                     {srcRect.left, srcRect.top, srcRect.right, srcRect.bottom},
                                     destination.pictureWidth(), destination.pictureHeight(),
                                     source.pictureWidth(), source.pictureHeight());
    if (!copy)
        return;
    const DWORD rop = static_cast<DWORD>(destination.rasterMode());
    if (!copy->scaled) {
        BitBlt(target, copy->x, copy->y, copy->width, copy->height, origin, copy->sourceX, copy->sourceY, rop);
    } else {
        SetStretchBltMode(target, COLORONCOLOR);
        StretchBlt(target, copy->x, copy->y, copy->width, copy->height, origin, copy->sourceX, copy->sourceY,
                   copy->sourceWidth, copy->sourceHeight, rop);
    }
    destination.changed();
}

const Picture& convertJpegToBitmap(JpegImage& jpeg)
{
    return jpeg.bitmap();
}
