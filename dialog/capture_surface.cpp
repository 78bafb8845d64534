#include "dialog/capture_surface.h"

#include <vector>

#include "framework/exceptions.h"

void CaptureSurface::resize(int width, int height)
{
    if (bitmap_ && width == width_ && height == height_)
        return;
    ScopedGetDC screen(nullptr);
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen, width, height));
    if (!bitmap)
        throw Exception("Out of system resources");
    HGDIOBJ previous = SelectObject(dc_, bitmap.get());
    if (!originalBitmap_)
        originalBitmap_ = previous;
    bitmap_ = std::move(bitmap);   // the old bitmap is no longer selected: safe to delete
    width_ = width;
    height_ = height;
    RECT all{0, 0, width, height};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

Picture CaptureSurface::toPicture() const
{
    Picture picture;
    if (!bitmap_)
        return picture;
    BITMAP info{};
    GetObjectA(bitmap_.get(), sizeof info, &info);
    const int depth = info.bmBitsPixel * info.bmPlanes;

    // Room for the header and a full 256-entry colour table.
    std::vector<uint8_t> header(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* bitmapInfo = reinterpret_cast<BITMAPINFO*>(header.data());
    bitmapInfo->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bitmapInfo->bmiHeader.biWidth = width_;
    bitmapInfo->bmiHeader.biHeight = height_;   // bottom-up rows
    bitmapInfo->bmiHeader.biPlanes = 1;
    bitmapInfo->bmiHeader.biBitCount = static_cast<WORD>(depth);
    bitmapInfo->bmiHeader.biCompression = BI_RGB;

    picture.width = width_;
    picture.height = height_;
    picture.bitsPerPixel = depth;
    picture.bits.resize(picture.stride() * static_cast<size_t>(height_));
    // GetDIBits wants the bitmap not to be selected into a DC.
    SelectObject(dc_, originalBitmap_);
    ScopedGetDC screen(nullptr);
    const int rows = GetDIBits(screen, bitmap_.get(), 0, static_cast<UINT>(height_), picture.bits.data(),
                               bitmapInfo, DIB_RGB_COLORS);
    SelectObject(dc_, bitmap_.get());
    if (rows != height_)
        throw Exception("Out of system resources");
    if (depth <= 8) {
        const RGBQUAD* table = bitmapInfo->bmiColors;
        for (int i = 0; i < (1 << depth); ++i)
            picture.palette.push_back((uint32_t(table[i].rgbRed) << 16) | (uint32_t(table[i].rgbGreen) << 8)
                                      | table[i].rgbBlue);
    }
    return picture;
}
