#include "dialog/capture_surface.h"

#include "framework/surface.h"

#include "framework/exceptions.h"

void CaptureSurface::resize(int width, int height)
{
    if (bitmap_ && width == width_ && height == height_)
        return;
    ScopedGetDC screen(nullptr);
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen, width, height));
    if (!bitmap)
        throw Exception("Out of system resources");
    selected_.reset();   // the old bitmap is no longer selected: safe to delete
    bitmap_ = std::move(bitmap);
    selected_.emplace(dc_.get(), bitmap_.get());
    width_ = width;
    height_ = height;
    RECT all{0, 0, width, height};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

Picture CaptureSurface::toPicture() const
{
    if (!bitmap_)
        return {};
    // Bitmap files keep 16-bit pixels as 5-5-5.
    ScopedSelectObject deselect(dc_.get(), selected_->previous());
    return readDisplayBitmap(bitmap_.get(), SixteenBitLayout::Rgb555);
}
