// The fake desktop capture surface (the dialog's ImFake): a bitmap of the
// screen's size in the display's own pixel format, kept from the first
// capture until the dialog is destroyed.
#pragma once
#include <windows.h>
#include <optional>

#include "framework/scoped.h"
#include "imaging/picture.h"

class CaptureSurface {
public:
    CaptureSurface() = default;
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
    // Released in reverse order: the DC's own bitmap goes back in, then the
    // bitmap is deleted (a selected one cannot be), then the DC.
    MemoryDC dc_{nullptr};
    GdiObject<HBITMAP> bitmap_;
    std::optional<ScopedSelectObject> selected_;   // bitmap_ in dc_
    int width_ = 0, height_ = 0;
};
