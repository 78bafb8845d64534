#include "saver/row_passes.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <emmintrin.h>

#include "framework/raster_clip.h"

namespace {

// One pass's pixels after clipping at both surfaces' edges (rasterCopy's
// rule for rectangles of one size), or nothing when it changes no pixel.
std::optional<ClippedCopy> clipPass(const PixelRows& target, const FlightRect& to, const PixelRows& source,
                                    const FlightRect& from)
{
    const auto copy = clipRasterCopy({to.left, to.top, to.right, to.bottom}, {from.left, from.top, from.right, from.bottom},
                                     target.width, target.height, source.width, source.height);
    if (!copy || copy->scaled)   // the flights copy rectangles of one size only
        return std::nullopt;
    return copy;
}

// Whether the pass covers scene row y, which is its destination row for the
// erase, mask and colour passes and its source row for the save.
bool coversDestinationRow(const std::optional<ClippedCopy>& pass, int32_t y)
{
    return pass && y >= pass->y && y - pass->y < pass->height;
}

bool coversSourceRow(const std::optional<ClippedCopy>& pass, int32_t y)
{
    return pass && y >= pass->sourceY && y - pass->sourceY < pass->height;
}

// The mask pass on one row (AND: white keeps the scene), four pixels at a time.
__attribute__((target("sse2"))) void maskRow(uint32_t* scene, const uint32_t* mask, int32_t count)
{
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i under = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scene + x));
        const __m128i white = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(scene + x), _mm_and_si128(under, white));
    }
    for (; x < count; ++x)
        scene[x] &= mask[x];
}

// The colour pass on one row (OR: black keeps the scene).
__attribute__((target("sse2"))) void colourRow(uint32_t* scene, const uint32_t* colours, int32_t count)
{
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i under = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scene + x));
        const __m128i black = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colours + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(scene + x), _mm_or_si128(under, black));
    }
    for (; x < count; ++x)
        scene[x] |= colours[x];
}

// Both on the same pixels at once: the scene read and written once.
__attribute__((target("sse2"))) void maskAndColourRow(uint32_t* scene, const uint32_t* mask, const uint32_t* colours,
                                                      int32_t count)
{
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i under = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scene + x));
        const __m128i white = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + x));
        const __m128i black = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colours + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(scene + x), _mm_or_si128(_mm_and_si128(under, white), black));
    }
    for (; x < count; ++x)
        scene[x] = (scene[x] & mask[x]) | colours[x];
}

// Four pixels of saveAndDrawRow, from offset x: all read before any is written.
__attribute__((target("sse2"), always_inline)) inline void saveAndDrawFour(uint32_t* scene, uint32_t* saved,
                                                                           const uint32_t* under, const uint32_t* white,
                                                                           const uint32_t* black, int32_t x)
{
    const __m128i background = _mm_loadu_si128(reinterpret_cast<const __m128i*>(under + x));
    const __m128i mask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(white + x));
    const __m128i colours = _mm_loadu_si128(reinterpret_cast<const __m128i*>(black + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(saved + x), background);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(scene + x), _mm_or_si128(_mm_and_si128(background, mask), colours));
}

// A row's pixels under the plane's new place, saved and drawn at once: for
// each i, the background v = under[i] goes to saved[i] and the scene gets
// (v AND white[i]) OR black[i]. under is the scene itself where the plane did
// not stand before, else the old place's save buffer row, which may be the
// very row saved writes to: then every under pixel must be read before a
// saved pixel takes its place, which the direction ensures (descending when
// saved lies right of under). Eight pixels a step; the offset is the only
// counter, since the i686 has few registers to spare.
__attribute__((target("sse2"))) void saveAndDrawRow(uint32_t* scene, uint32_t* saved, const uint32_t* under,
                                                    const uint32_t* white, const uint32_t* black, int32_t count,
                                                    bool descending)
{
    if (!descending) {
        int32_t x = 0;
        for (; x <= count - 8; x += 8) {
            saveAndDrawFour(scene, saved, under, white, black, x);
            saveAndDrawFour(scene, saved, under, white, black, x + 4);
        }
        if (x <= count - 4) {
            saveAndDrawFour(scene, saved, under, white, black, x);
            x += 4;
        }
        for (; x < count; ++x) {
            const uint32_t background = under[x];
            saved[x] = background;
            scene[x] = (background & white[x]) | black[x];
        }
        return;
    }
    int32_t x = count;
    for (; x >= 8; x -= 8) {
        saveAndDrawFour(scene, saved, under, white, black, x - 4);
        saveAndDrawFour(scene, saved, under, white, black, x - 8);
    }
    if (x >= 4) {
        saveAndDrawFour(scene, saved, under, white, black, x - 4);
        x -= 4;
    }
    for (; x > 0; --x) {
        const uint32_t background = under[x - 1];
        saved[x - 1] = background;
        scene[x - 1] = (background & white[x - 1]) | black[x - 1];
    }
}

// The first and one past the last scene row of the passes.
struct RowSpan {
    int32_t first = 0, end = 0;
    void add(int32_t from, int32_t count)
    {
        if (count <= 0)
            return;
        if (end <= first) {
            first = from;
            end = from + count;
            return;
        }
        first = std::min(first, from);
        end = std::max(end, from + count);
    }
};

// A run of scene columns in a row where the save, the mask and the colour
// pass cover the same columns (the new place): restored only (the old place
// alone), or saved and drawn (the new place), its background from the old
// place's save buffer where it was restored too, else from the scene.
struct Piece {
    int32_t from = 0, to = 0;
    bool restored = false, drawn = false;
};

// The pieces of such a row in the order they are done, with the old place at
// columns oldStart..oldEnd (empty without the erase) and the new one at
// newStart..newEnd: left to right, or right to left when descending.
struct RowPieces {
    Piece pieces[3];
    int32_t count = 0;
};

RowPieces piecesOf(int32_t oldStart, int32_t oldEnd, int32_t newStart, int32_t newEnd, bool descending)
{
    int32_t ends[4] = {oldStart, oldEnd, newStart, newEnd};
    std::sort(ends, ends + 4);
    RowPieces row;
    for (int32_t step = 0; step < 3; ++step) {
        const int32_t at = descending ? 2 - step : step;
        const int32_t from = ends[at], to = ends[at + 1];
        const bool restored = from >= oldStart && to <= oldEnd, drawn = from >= newStart && to <= newEnd;
        if (to > from && (restored || drawn))
            row.pieces[row.count++] = {from, to, restored, drawn};
    }
    return row;
}

} // namespace

void passRowByRow(const PassPixels& pixels, const PassPlan& plan)
{
    const PixelRows &scene = pixels.scene, &saveBuffer = pixels.saveBuffer;
    const auto erase = clipPass(scene, plan.erase.scene, saveBuffer, plan.erase.sprite);
    const auto save = clipPass(saveBuffer, plan.save.sprite, scene, plan.save.scene);
    const auto mask = clipPass(scene, plan.draw.scene, pixels.mask, plan.draw.sprite);
    const auto colours = clipPass(scene, plan.draw.scene, pixels.colours, plan.draw.sprite);

    RowSpan rows;
    for (const auto& pass : {erase, mask, colours})
        if (pass)
            rows.add(pass->y, pass->height);
    if (save)
        rows.add(save->sourceY, save->height);

    // The save buffer row k is read by the erase at scene row k + erased and
    // written by the save at scene row k + saved. Top down, the erase comes
    // first when erased <= saved (a plane that moved down, or neither);
    // otherwise bottom up. Within a scene row the erase comes first.
    bool topDown = true, sameSaveRows = false;
    if (erase && save) {
        const int64_t erased = int64_t(erase->y) - erase->sourceY;
        const int64_t saved = int64_t(save->sourceY) - save->y;
        topDown = erased <= saved;
        sameSaveRows = erased == saved;
    }

    // Where the save, the mask and the colour pass cover the same columns, a
    // row is done in one go: scene column x is restored from the old place's
    // save buffer row at x + restoredShift, saved into the new place's at
    // x + savedShift, and drawn, the scene written once. Within one save
    // buffer row each saved pixel is read before it is overwritten: right to
    // left where the new place saves a column right of where the old one
    // restored it.
    const bool together = save && mask && colours && mask->x == colours->x && mask->width == colours->width &&
                          save->sourceX == mask->x && save->width == mask->width;
    const int32_t savedShift = save ? save->x - save->sourceX : 0;
    const int32_t restoredShift = erase ? erase->sourceX - erase->x : 0;
    const bool descending = sameSaveRows && savedShift > restoredShift;
    RowPieces erasedAndDrawn, drawnOnly;
    if (together) {
        const int32_t newStart = mask->x, newEnd = mask->x + mask->width;
        drawnOnly = piecesOf(newStart, newStart, newStart, newEnd, false);
        if (erase)
            erasedAndDrawn = piecesOf(erase->x, erase->x + erase->width, newStart, newEnd, descending);
    }

    const int32_t count = rows.end - rows.first;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t y = topDown ? rows.first + i : rows.end - 1 - i;
        uint32_t* sceneRow = scene.row(y);
        const bool erasing = coversDestinationRow(erase, y), saving = coversSourceRow(save, y);
        const bool masked = coversDestinationRow(mask, y), coloured = coversDestinationRow(colours, y);
        const uint32_t* restoredRow = erasing ? saveBuffer.row(y - erase->y + erase->sourceY) : nullptr;
        uint32_t* savedRow = saving ? saveBuffer.row(y - save->sourceY + save->y) : nullptr;
        const uint32_t* maskRowPixels = masked ? pixels.mask.row(y - mask->y + mask->sourceY) : nullptr;
        const uint32_t* colourRowPixels = coloured ? pixels.colours.row(y - colours->y + colours->sourceY) : nullptr;

        if (together && saving && masked && coloured) {
            const RowPieces& row = erasing ? erasedAndDrawn : drawnOnly;
            for (int32_t p = 0; p < row.count; ++p) {
                const Piece& piece = row.pieces[p];
                const int32_t from = piece.from, width = piece.to - piece.from;
                if (!piece.drawn) {
                    std::memcpy(sceneRow + from, restoredRow + from + restoredShift, std::size_t(width) * 4);
                    continue;
                }
                const uint32_t* under = piece.restored ? restoredRow + from + restoredShift : sceneRow + from;
                saveAndDrawRow(sceneRow + from, savedRow + from + savedShift, under,
                               maskRowPixels + (from - mask->x + mask->sourceX),
                               colourRowPixels + (from - colours->x + colours->sourceX), width, descending);
            }
            continue;
        }

        // Any other row: the passes one after another.
        if (erasing)
            std::memcpy(sceneRow + erase->x, restoredRow + erase->sourceX, std::size_t(erase->width) * 4);
        if (saving)
            std::memcpy(savedRow + save->x, sceneRow + save->sourceX, std::size_t(save->width) * 4);
        if (masked && coloured && mask->x == colours->x && mask->width == colours->width) {
            maskAndColourRow(sceneRow + mask->x, maskRowPixels + mask->sourceX, colourRowPixels + colours->sourceX,
                             mask->width);
            continue;
        }
        if (masked)
            maskRow(sceneRow + mask->x, maskRowPixels + mask->sourceX, mask->width);
        if (coloured)
            colourRow(sceneRow + colours->x, colourRowPixels + colours->sourceX, colours->width);
    }
}
