// SceneSurface: an image surface with a fixed size (what all rectangle
// arithmetic uses), a picture (none, a bitmap or a JPEG picture) and a current
// raster mode; and rasterCopy, the rectangle copy under that mode.
#pragma once
#include <windows.h>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "framework/scoped.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"

enum class RasterMode : DWORD {
    Copy = SRCCOPY,   // dst = src
    And = SRCAND,     // dst = dst AND src
    Or = SRCPAINT,    // dst = dst OR src
};

class SceneSurface {
public:
    SceneSurface(int fixedWidth, int fixedHeight);
    SceneSurface(const SceneSurface&) = delete;
    SceneSurface& operator=(const SceneSurface&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    void setWidth(int width) { width_ = width; }
    void setHeight(int height) { height_ = height; }

    void setRasterMode(RasterMode mode) { mode_ = mode; }
    RasterMode rasterMode() const { return mode_; }

    bool hasBitmap() const;
    bool hasJpeg() const { return jpeg_ != nullptr; }
    // The bitmap's own size (0 x 0 without a bitmap or for an empty one).
    int pictureWidth() const;
    int pictureHeight() const;

    // A memory DC with the bitmap selected. A surface without a picture first
    // gets a white bitmap of its fixed size in the display's pixel format.
    HDC canvas();
    // The canvas for a copy that paints every pixel of the fixed size (the
    // live desktop copy): a new bitmap is left unfilled, since the white
    // would only be painted over. A caller whose copy fails calls fillWhite.
    HDC canvasToCover();
    // Paints the whole bitmap white, as a first use leaves it.
    void fillWhite();

    // Stores a copy of the picture as the surface's bitmap, at its own size
    // and pixel format. An empty picture gives an empty bitmap.
    void assignBitmap(const Picture& picture);
    // The same, with a 24-bit picture widened to 32 bits per pixel on its way
    // into the bitmap (no copy in between); any other picture is stored as is.
    void assignBitmapAtThirtyTwoBits(const Picture& picture);
    // Makes a JPEG picture (its header read, decoded by convertJpegToBitmap)
    // the surface's picture, in place of any bitmap.
    void assignJpeg(std::unique_ptr<JpegImage> jpeg);
    // Writes the bitmap as a BMP file at its own depth. An existing file is
    // replaced only once the new one is complete.
    void saveToFile(const std::string& path);
    // The JPEG picture held by the surface, or null.
    JpegImage* jpeg() { return jpeg_.get(); }
    // The bitmap's pixels in its own format (empty Picture without a bitmap).
    Picture toPicture();

    // Called after every change to the bitmap (rasterCopy onto it, a new
    // picture); the shown scene uses it to invalidate its window.
    void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }
    void changed() { if (onChange_) onChange_(); }

private:
    enum class FirstFill { White, None };
    void ensureBitmap(FirstFill fill);
    // A DIB section described like the picture; its pixels are for the caller.
    GdiObject<HBITMAP> createSection(const Picture& described, void*& bits);
    void dropPicture();
    // Makes the bitmap (null for an empty one) the surface's picture.
    void adoptBitmap(GdiObject<HBITMAP> bitmap, int width, int height);
    int width_, height_;
    RasterMode mode_ = RasterMode::Copy;
    // Released in reverse order: the DC's own bitmap goes back in, then the
    // bitmap is deleted (a selected one cannot be), then the DC.
    std::optional<MemoryDC> dc_;   // made with the first picture
    GdiObject<HBITMAP> bitmap_;
    std::optional<ScopedSelectObject> selected_;   // bitmap_ in dc_
    int bitmapWidth_ = 0, bitmapHeight_ = 0;
    bool hasBitmap_ = false;   // also true for an empty (0 x 0) bitmap
    std::unique_ptr<JpegImage> jpeg_;
    std::function<void()> onChange_;
};

// Copies srcRect of source onto dstRect of destination with the destination's
// raster mode. Pixels outside the destination's bitmap are not written; parts
// of the source rectangle beyond the source's bitmap leave their destination
// pixels unchanged.
void rasterCopy(SceneSurface& destination, const RECT& dstRect, SceneSurface& source, const RECT& srcRect);

// How a 16-bit display bitmap is read back: with the display's own channel
// masks (exact pixels), or in the 5-5-5 layout of uncompressed bitmap files.
enum class SixteenBitLayout { OwnMasks, Rgb555 };

// The pixels of a display-format bitmap that no device context has selected,
// at the bitmap's own depth, with the display's colours at 8 bits or fewer.
Picture readDisplayBitmap(HBITMAP bitmap, SixteenBitLayout layout);

// Decodes the JPEG picture (once; later calls return the kept result).
const Picture& convertJpegToBitmap(JpegImage& jpeg);
