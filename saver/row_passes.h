// A flight tick's four raster passes over 32-bit pixels in memory, done row
// by row: erase (save buffer -> scene), save (scene -> save buffer), mask
// (scene AND mask) and colour (scene OR colours). Done one pass after another
// each walks its whole rectangle, and a plane drawn large (a 4K display at
// 200 %) no longer fits the processor's caches between passes; row by row,
// each scene row is read once and every pass works on it while it is in
// cache. The pixels are those of the four passes one after another, each
// clipped as rasterCopy clips a copy of one size. Pure: no <windows.h>.
#pragma once
#include <cstddef>
#include <cstdint>

#include "saver/flight.h"

// A picture of 32-bit pixels in memory: row y starts stride pixels after
// row y - 1 (a negative stride for a bitmap stored bottom row first).
struct PixelRows {
    uint32_t* top = nullptr;   // row 0
    int32_t width = 0, height = 0;
    std::ptrdiff_t stride = 0;
    uint32_t* row(int32_t y) const { return top + std::ptrdiff_t(y) * stride; }
};

// The flight's four surfaces (see FlightSurfaces); none shares pixels with
// another.
struct PassPixels {
    PixelRows scene, saveBuffer, mask, colours;
};

// Where each pass works, as passArea gives it: scene is the scene's part,
// sprite the same pixels in the save buffer and the sprites. A pass with an
// empty area is not done.
struct PassPlan {
    PassArea erase, save, draw;
};

// The passes of the plan, leaving every pixel as the erase, then the save,
// then the mask and then the colour pass over their whole rectangles would.
// Where the save buffer rows that the erase reads are rows the save writes
// (the old and the new place of a plane that moved up or down by less than
// its height), the rows are taken in the order that lets the erase read
// each of them before the save writes it; within a scene row the erase
// comes first, so the save reads the restored background.
// Uses SSE2: only for a processor and system that have it.
void passRowByRow(const PassPixels& pixels, const PassPlan& plan);
