// Where a rectangle copy between two bitmaps reads and writes: the clipping
// arithmetic of rasterCopy, apart from GDI. Pure: no <windows.h>.
#pragma once
#include <cstdint>
#include <optional>

struct ClipRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// One GDI copy: the destination part (x, y, width, height) and the source
// part it takes. scaled is false when both have the same size (BitBlt),
// true when the source part is stretched onto the destination part.
struct ClippedCopy {
    int32_t x, y, width, height;
    int32_t sourceX, sourceY, sourceWidth, sourceHeight;
    bool scaled;
};

// The copy of source rectangle src onto destination rectangle dst between a
// destination bitmap of targetWidth x targetHeight and a source bitmap of
// originWidth x originHeight, or nothing when no pixel changes:
// - rectangles of one size: exactly the destination pixels that lie inside
//   the destination bitmap and whose source pixel lies inside the source
//   bitmap;
// - rectangles of different sizes: the part of src inside the source bitmap,
//   mapped onto dst (GDI clips the destination at its bitmap's edges).
// Empty rectangles copy nothing. The arithmetic is 64-bit: rectangles far off
// the bitmaps do not overflow.
std::optional<ClippedCopy> clipRasterCopy(const ClipRect& dst, const ClipRect& src, int32_t targetWidth,
                                          int32_t targetHeight, int32_t originWidth, int32_t originHeight);
