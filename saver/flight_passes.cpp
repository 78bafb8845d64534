#include "saver/flight_passes.h"

#include <utility>

#include "framework/scoped.h"
#include "saver/row_passes.h"
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
bool directPixels(SceneSurface& surface, PixelRows& pixels)
{
    if (!surface.hasBitmap() || surface.pictureWidth() <= 0 || surface.pictureHeight() <= 0)
        return false;
    DIBSECTION section{};
    if (GetObjectA(GetCurrentObject(surface.canvas(), OBJ_BITMAP), sizeof section, &section) != sizeof section)
        return false;
    if (!section.dsBm.bmBits || section.dsBmih.biBitCount != 32 || section.dsBmih.biCompression != BI_RGB)
        return false;
    const int32_t width = section.dsBm.bmWidth, height = section.dsBm.bmHeight;
    auto* const bits = static_cast<uint32_t*>(section.dsBm.bmBits);
    // A positive height in the header: the bottom row is stored first.
    const bool bottomUp = section.dsBmih.biHeight > 0;
    pixels = {bottomUp ? bits + std::ptrdiff_t(height - 1) * width : bits, width, height,
              bottomUp ? -std::ptrdiff_t(width) : std::ptrdiff_t(width)};
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

// The four surfaces for a run of passes. The passes are loops over memory when
// all four are 32-bit DIB sections and SSE2 is there, row by row
// (passRowByRow), and go through GDI for any other format, one whole
// rectangle after another; which of the two is settled once, when the run
// begins.
class PassSurfaces {
public:
    explicit PassSurfaces(FlightSurfaces& surfaces) : surfaces_(surfaces), direct_(reachDirectly()) {}

    // Each pass covers only the painted part of the sprite inside the field:
    // the scene outside it is never changed by the plane, so there is nothing
    // to save or restore there.
    void erase(const PassArea& area) { run({area, {}, {}}, true, false, false); }
    void save(const PassArea& area) { run({{}, area, {}}, false, true, false); }
    void draw(const PassArea& area) { run({{}, {}, area}, false, false, true); }

    // A tick: the erase at the place the plane left, then the save and both
    // passes at the place it reached.
    void tick(const PassArea& left, const PassArea& reached) { run({left, reached, reached}, true, true, true); }

private:
    bool reachDirectly()
    {
        if (!sse2Available())
            return false;
        bool all = true;
        for (const auto& [surface, pixels] : {std::pair{&surfaces_.scene, &pixels_.scene},
                                              {&surfaces_.saveBuffer, &pixels_.saveBuffer},
                                              {&surfaces_.mask, &pixels_.mask}, {&surfaces_.colours, &pixels_.colours}})
            all = directPixels(*surface, *pixels) && all;
        if (all)
            GdiFlush();   // GDI's own drawing on them is done before the loops touch them
        return all;
    }

    void run(const PassPlan& plan, bool erasing, bool saving, bool drawing)
    {
        if (direct_)
            passRowByRow(pixels_, plan);
        // In memory the passes are done; each surface still hears of its
        // changes, pass by pass, and keeps its last pass's raster mode.
        if (erasing)
            copy(surfaces_.scene, plan.erase.scene, surfaces_.saveBuffer, plan.erase.sprite, RasterMode::Copy);
        if (saving)
            copy(surfaces_.saveBuffer, plan.save.sprite, surfaces_.scene, plan.save.scene, RasterMode::Copy);
        if (drawing) {
            copy(surfaces_.scene, plan.draw.scene, surfaces_.mask, plan.draw.sprite, RasterMode::And);
            copy(surfaces_.scene, plan.draw.scene, surfaces_.colours, plan.draw.sprite, RasterMode::Or);
        }
    }

    // The rectangle copy of the scene surfaces (rasterCopy) under the mode,
    // or, where the pixels were reached directly, its notice alone.
    void copy(SceneSurface& target, const FlightRect& to, SceneSurface& source, const FlightRect& from, RasterMode mode)
    {
        target.setRasterMode(mode);
        if (!direct_)
            return rasterCopy(target, toRect(to), source, toRect(from));
        target.changed();
    }

    FlightSurfaces& surfaces_;
    PassPixels pixels_;
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
    advancePlane(flight);
    const PassArea reached = passArea(flight);   // one area for all three passes at the new place
    passes.tick(left, reached);
    return unionRect(left.scene, reached.scene);
}
