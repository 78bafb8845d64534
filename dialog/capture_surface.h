// The fake desktop capture surface (the dialog's ImFake): a bitmap of the
// screen's size in the display's own pixel format, kept from the first
// capture until the dialog is destroyed.
#pragma once
#include <windows.h>

#include "framework/scoped.h"
#include "imaging/picture.h"

class CaptureSurface {
public:
    CaptureSurface() = default;
    // Deselects the bitmap first: a bitmap still selected into a device
    // context cannot be deleted.
    ~CaptureSurface();
    CaptureSurface(const CaptureSurface&) = delete;
    CaptureSurface& operator=(const CaptureSurface&) = delete;

    // Makes the surface width x height: a new screen-compatible bitmap, white,
    // when there is none yet or its size differs.
    void resize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }

    // A memory DC with the surface's bitmap selected.
    HDC canvas() const { return dc_.get(); }

    // The pixels as a device-independent picture at the bitmap's own depth,
    // with the display's colour table at 8 bits per pixel or fewer.
    Picture toPicture() const;

private:
    MemoryDC dc_{nullptr};
    GdiObject<HBITMAP> bitmap_;
    HGDIOBJ originalBitmap_ = nullptr;
    int width_ = 0, height_ = 0;
};
