#include "saver/flight_passes.h"

#include <cstring>
#include <utility>
#include <emmintrin.h>

#include "framework/raster_clip.h"
#include "framework/scoped.h"
#include "saver/sprite_area.h"

namespace {

// Bits per pixel of the surface's bitmap; 0 without one.
int bitsPerPixel(SceneSurface& surface)
{
    if (!surface.hasBitmap() || surface.pictureWidth() <= 0 || surface.pictureHeight() <= 0)
        return 0;
    BITMAP bitmap{};
    if (!GetObjectA(GetCurrentObject(surface.canvas(), OBJ_BITMAP), sizeof bitmap, &bitmap))
        return 0;
    return bitmap.bmBitsPixel * bitmap.bmPlanes;
}

int displayBitsPerPixel()
{
    ScopedGetDC screen(nullptr);
    return GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
}

// A sprite in the display's format by way of a display bitmap (GDI converts).
void convertToDisplayFormat(SceneSurface& sprite)
{
    const int width = sprite.pictureWidth(), height = sprite.pictureHeight();
    SceneSurface display(width, height);   // gets a display-format bitmap at its first use
    const RECT all{0, 0, width, height};
    display.setRasterMode(RasterMode::Copy);
    rasterCopy(display, all, sprite, all);
    sprite.assignBitmap(display.toPicture());
}

// The pixels of a 32-bit DIB section, reached directly.
struct DirectPixels {
    uint8_t* bits = nullptr;
    int32_t width = 0, height = 0;
    bool bottomUp = true;
    uint32_t* row(int32_t y) const
    {
        const int32_t stored = bottomUp ? height - 1 - y : y;
        return reinterpret_cast<uint32_t*>(bits + std::size_t(stored) * std::size_t(width) * 4);
    }
};

bool directPixels(SceneSurface& surface, DirectPixels& pixels)
{
    if (!surface.hasBitmap() || surface.pictureWidth() <= 0 || surface.pictureHeight() <= 0)
        return false;
    DIBSECTION section{};
    if (GetObjectA(GetCurrentObject(surface.canvas(), OBJ_BITMAP), sizeof section, &section) != sizeof section)
        return false;
    if (!section.dsBm.bmBits || section.dsBmih.biBitCount != 32 || section.dsBmih.biCompression != BI_RGB)
        return false;
    pixels = {static_cast<uint8_t*>(section.dsBm.bmBits), section.dsBm.bmWidth, section.dsBm.bmHeight,
              section.dsBmih.biHeight > 0};
    return true;
}

// SSE2, where the processor has it and the system keeps its registers across
// task switches (IsProcessorFeaturePresent says both; Windows 95 lacks the
// function, and there the passes stay with GDI).
bool sse2Available()
{
    static const bool available = [] {
        using FeatureQuery = BOOL(WINAPI*)(DWORD);
        const auto query = reinterpret_cast<FeatureQuery>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsProcessorFeaturePresent")));
        constexpr DWORD sse2Feature = 10;   // PF_XMMI64_INSTRUCTIONS_AVAILABLE
        return query && query(sse2Feature);
    }();
    return available;
}

// One row of the AND or the OR pass, four pixels at a time. Without SSE2 a
// plain loop is no faster than GDI's own, so only this form is used.
__attribute__((target("sse2"))) void combineRow(uint32_t* to, const uint32_t* from, int32_t count, RasterMode rule)
{
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i scene = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + x));
        const __m128i sprite = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x));
        const __m128i result = rule == RasterMode::And ? _mm_and_si128(scene, sprite) : _mm_or_si128(scene, sprite);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x), result);
    }
    for (; x < count; ++x)
        to[x] = rule == RasterMode::And ? to[x] & from[x] : to[x] | from[x];
}

// The rectangle copy of the scene surfaces (rasterCopy) as a plain loop over
// memory: the same clipping, the same bitwise rule on whole 32-bit pixels.
void copyPixels(const DirectPixels& target, const FlightRect& targetRect, const DirectPixels& source,
                const FlightRect& sourceRect, RasterMode rule)
{
    const auto copy = clipRasterCopy({targetRect.left, targetRect.top, targetRect.right, targetRect.bottom},
                                     {sourceRect.left, sourceRect.top, sourceRect.right, sourceRect.bottom},
                                     target.width, target.height, source.width, source.height);
    if (!copy || copy->scaled)   // the flights copy rectangles of one size only
        return;
    const int32_t width = copy->width;
    for (int32_t y = 0; y < copy->height; ++y) {
        uint32_t* to = target.row(copy->y + y) + copy->x;
        const uint32_t* from = source.row(copy->sourceY + y) + copy->sourceX;
        if (rule == RasterMode::Copy)
            std::memmove(to, from, std::size_t(width) * 4);
        else
            combineRow(to, from, width, rule);
    }
}

// One of the flight's surfaces, with its pixels where the passes reach them
// directly.
struct PassSurface {
    SceneSurface& surface;
    DirectPixels pixels;
};

// The four surfaces for a run of passes. The passes are loops over memory when
// all four are 32-bit DIB sections and SSE2 is there, and go through GDI for
// any other format; which of the two is settled once, when the run begins.
class PassSurfaces {
public:
    explicit PassSurfaces(FlightSurfaces& surfaces)
        : scene_{surfaces.scene, {}}, saveBuffer_{surfaces.saveBuffer, {}}, mask_{surfaces.mask, {}},
          colours_{surfaces.colours, {}}, direct_(reachDirectly())
    {
    }

    // Each pass covers only the painted part of the sprite inside the field:
    // the scene outside it is never changed by the plane, so there is nothing
    // to save or restore there.
    void erase(const PassArea& area) { copy(scene_, area.scene, saveBuffer_, area.sprite, RasterMode::Copy); }

    void save(const PassArea& area) { copy(saveBuffer_, area.sprite, scene_, area.scene, RasterMode::Copy); }

    void draw(const PassArea& area)
    {
        copy(scene_, area.scene, mask_, area.sprite, RasterMode::And);
        copy(scene_, area.scene, colours_, area.sprite, RasterMode::Or);
    }

private:
    bool reachDirectly()
    {
        if (!sse2Available())
            return false;
        bool all = true;
        for (PassSurface* each : {&scene_, &saveBuffer_, &mask_, &colours_})
            all = directPixels(each->surface, each->pixels) && all;
        if (all)
            GdiFlush();   // GDI's own drawing on them is done before the loops touch them
        return all;
    }

    // The rectangle copy of the scene surfaces (rasterCopy) under the mode.
    void copy(PassSurface& target, const FlightRect& to, PassSurface& source, const FlightRect& from, RasterMode mode)
    {
        target.surface.setRasterMode(mode);
        if (!direct_)
            return rasterCopy(target.surface, toRect(to), source.surface, toRect(from));
        copyPixels(target.pixels, to, source.pixels, from, mode);
        target.surface.changed();
    }

    PassSurface scene_, saveBuffer_, mask_, colours_;
    bool direct_;
};

} // namespace

RECT toRect(const FlightRect& rect)
{
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

void erasePlane(FlightSurfaces& surfaces, const FlightState& flight)
{
    PassSurfaces(surfaces).erase(passArea(flight));
}

void saveUnderPlane(FlightSurfaces& surfaces, const FlightState& flight)
{
    PassSurfaces(surfaces).save(passArea(flight));
}

void drawPlane(FlightSurfaces& surfaces, const FlightState& flight)
{
    PassSurfaces(surfaces).draw(passArea(flight));
}

FlightRect findPaintedArea(FlightSurfaces& surfaces, const FlightRect& sprite)
{
    // In a scene of 8 bits or fewer the passes combine palette indices, and
    // white or black need not keep a pixel: the whole rectangle is drawn.
    const int scene = bitsPerPixel(surfaces.scene);
    if (scene != 0 && scene <= 8)
        return sprite;
    return paintedArea(surfaces.mask.toPicture(), surfaces.colours.toPicture(), sprite.width(), sprite.height());
}

namespace {
// The sprites are converted only for a scene in the display's own format:
// the bits per pixel they are converted to, or 0 for none.
int spriteTargetBits(SceneSurface& scene)
{
    const int bits = bitsPerPixel(scene);
    return bits != 0 && bits == displayBitsPerPixel() ? bits : 0;
}
}

FlightRect assignSprites(FlightSurfaces& surfaces, const Picture& colours, const Picture& mask, const FlightRect& sprite)
{
    const int target = spriteTargetBits(surfaces.scene);   // the display is asked once
    const bool widened = target == 32 && widensToThirtyTwoBits(colours) && widensToThirtyTwoBits(mask);
    for (const auto& [sprite, decoded] : {std::pair{&surfaces.colours, &colours}, {&surfaces.mask, &mask}}) {
        // The decoder's 24 bits for a 32-bit display: widened on the way into
        // the bitmap. Any other difference is left to GDI.
        if (target == 32)
            sprite->assignBitmapAtThirtyTwoBits(*decoded);
        else
            sprite->assignBitmap(*decoded);
        const int own = bitsPerPixel(*sprite);
        if (target != 0 && own != 0 && own != target)
            convertToDisplayFormat(*sprite);
    }
    // Widened pixels keep their values: no need to read the sprites back.
    return widened ? paintedArea(mask, colours, sprite.width(), sprite.height()) : findPaintedArea(surfaces, sprite);
}

FlightRect moveAndRedrawPlane(FlightSurfaces& surfaces, FlightState& flight)
{
    PassSurfaces passes(surfaces);   // memory or GDI: settled once for the whole tick
    const PassArea left = passArea(flight);
    passes.erase(left);
    advancePlane(flight);
    const PassArea reached = passArea(flight);   // one area for all three passes at the new place
    passes.save(reached);
    passes.draw(reached);
    return unionRect(left.scene, reached.scene);
}
