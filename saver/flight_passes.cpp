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

enum class PixelRule { Copy, And, Or };

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
__attribute__((target("sse2"))) void combineRow(uint32_t* to, const uint32_t* from, int32_t count, PixelRule rule)
{
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i scene = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + x));
        const __m128i sprite = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x));
        const __m128i result = rule == PixelRule::And ? _mm_and_si128(scene, sprite) : _mm_or_si128(scene, sprite);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x), result);
    }
    for (; x < count; ++x)
        to[x] = rule == PixelRule::And ? to[x] & from[x] : to[x] | from[x];
}

// The rectangle copy of the scene surfaces (rasterCopy) as a plain loop over
// memory: the same clipping, the same bitwise rule on whole 32-bit pixels.
void copyPixels(const DirectPixels& target, const FlightRect& targetRect, const DirectPixels& source,
                const FlightRect& sourceRect, PixelRule rule)
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
        if (rule == PixelRule::Copy)
            std::memmove(to, from, std::size_t(width) * 4);
        else
            combineRow(to, from, width, rule);
    }
}

// The four surfaces' pixels when all are 32-bit DIB sections of one layout
// and SSE2 is there: then the passes are loops over memory. Any other format
// goes through GDI.
struct DirectSurfaces {
    DirectPixels scene, saveBuffer, mask, colours;
};

bool directSurfaces(FlightSurfaces& surfaces, DirectSurfaces& direct)
{
    if (!sse2Available())
        return false;
    if (!directPixels(surfaces.scene, direct.scene) || !directPixels(surfaces.saveBuffer, direct.saveBuffer))
        return false;
    const bool mask = directPixels(surfaces.mask, direct.mask);
    const bool colours = directPixels(surfaces.colours, direct.colours);
    if (!mask || !colours)
        return false;
    GdiFlush();   // GDI's own drawing on them is done before the loops touch them
    return true;
}

} // namespace

RECT toRect(const FlightRect& rect)
{
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

// Each pass covers only the painted part of the sprite inside the field: the
// scene outside it is never changed by the plane, so there is nothing to save
// or restore there.
namespace {

void eraseDirectly(FlightSurfaces& surfaces, const DirectSurfaces& direct, const FlightState& flight)
{
    const PassArea area = passArea(flight);
    copyPixels(direct.scene, area.scene, direct.saveBuffer, area.sprite, PixelRule::Copy);
    surfaces.scene.changed();
}

void saveDirectly(FlightSurfaces& surfaces, const DirectSurfaces& direct, const FlightState& flight)
{
    const PassArea area = passArea(flight);
    copyPixels(direct.saveBuffer, area.sprite, direct.scene, area.scene, PixelRule::Copy);
    surfaces.saveBuffer.changed();
}

void drawDirectly(FlightSurfaces& surfaces, const DirectSurfaces& direct, const FlightState& flight)
{
    const PassArea area = passArea(flight);
    surfaces.scene.setRasterMode(RasterMode::And);
    copyPixels(direct.scene, area.scene, direct.mask, area.sprite, PixelRule::And);
    surfaces.scene.setRasterMode(RasterMode::Or);
    copyPixels(direct.scene, area.scene, direct.colours, area.sprite, PixelRule::Or);
    surfaces.scene.changed();
}

} // namespace

// Each pass covers only the painted part of the sprite: the scene outside it
// is never changed by the plane, so there is nothing to save or restore.
void erasePlane(FlightSurfaces& surfaces, const FlightState& flight)
{
    surfaces.scene.setRasterMode(RasterMode::Copy);
    if (DirectSurfaces direct; directSurfaces(surfaces, direct))
        return eraseDirectly(surfaces, direct, flight);
    const PassArea area = passArea(flight);
    rasterCopy(surfaces.scene, toRect(area.scene), surfaces.saveBuffer, toRect(area.sprite));
}

void saveUnderPlane(FlightSurfaces& surfaces, const FlightState& flight)
{
    surfaces.saveBuffer.setRasterMode(RasterMode::Copy);
    if (DirectSurfaces direct; directSurfaces(surfaces, direct))
        return saveDirectly(surfaces, direct, flight);
    const PassArea area = passArea(flight);
    rasterCopy(surfaces.saveBuffer, toRect(area.sprite), surfaces.scene, toRect(area.scene));
}

void drawPlane(FlightSurfaces& surfaces, const FlightState& flight)
{
    if (DirectSurfaces direct; directSurfaces(surfaces, direct))
        return drawDirectly(surfaces, direct, flight);
    const PassArea area = passArea(flight);
    const RECT target = toRect(area.scene), sprite = toRect(area.sprite);
    surfaces.scene.setRasterMode(RasterMode::And);
    rasterCopy(surfaces.scene, target, surfaces.mask, sprite);
    surfaces.scene.setRasterMode(RasterMode::Or);
    rasterCopy(surfaces.scene, target, surfaces.colours, sprite);
}

FlightRect findPaintedArea(FlightSurfaces& surfaces)
{
    // In a scene of 8 bits or fewer the passes combine palette indices, and
    // white or black need not keep a pixel: the whole rectangle is drawn.
    const int scene = bitsPerPixel(surfaces.scene);
    if (scene != 0 && scene <= 8)
        return spriteRect();
    return paintedArea(surfaces.mask.toPicture(), surfaces.colours.toPicture());
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

void assignSprites(FlightSurfaces& surfaces, const Picture& colours, const Picture& mask)
{
    const int target = spriteTargetBits(surfaces.scene);   // the display is asked once
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
}

FlightRect moveAndRedrawPlane(FlightSurfaces& surfaces, FlightState& flight)
{
    const FlightRect erased = passArea(flight).scene;
    // The surfaces' format is asked once for the whole tick.
    if (DirectSurfaces direct; directSurfaces(surfaces, direct)) {
        surfaces.scene.setRasterMode(RasterMode::Copy);
        eraseDirectly(surfaces, direct, flight);
        advancePlane(flight);
        surfaces.saveBuffer.setRasterMode(RasterMode::Copy);
        saveDirectly(surfaces, direct, flight);
        drawDirectly(surfaces, direct, flight);
    } else {
        erasePlane(surfaces, flight);
        advancePlane(flight);
        saveUnderPlane(surfaces, flight);
        drawPlane(surfaces, flight);
    }
    return unionRect(erased, passArea(flight).scene);
}
