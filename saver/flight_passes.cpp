#include "saver/flight_passes.h"

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

void convertToDisplayFormat(SceneSurface& sprite, int displayBits)
{
    // The decoder's 24 bits for a 32-bit display: widened in memory, with no
    // display bitmap in between (it is on the way to the first frame).
    if (displayBits == 32) {
        Picture picture = sprite.toPicture();
        if (picture.bitsPerPixel == 24) {
            sprite.assignBitmap(toThirtyTwoBits(picture));
            return;
        }
    }
    const int width = sprite.pictureWidth(), height = sprite.pictureHeight();
    SceneSurface display(width, height);   // gets a display-format bitmap at its first use
    const RECT all{0, 0, width, height};
    display.setRasterMode(RasterMode::Copy);
    rasterCopy(display, all, sprite, all);
    sprite.assignBitmap(display.toPicture());
}

} // namespace

RECT toRect(const FlightRect& rect)
{
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

// Each pass covers only the painted part of the sprite: the scene outside it
// is never changed by the plane, so there is nothing to save or restore.
void erasePlane(FlightSurfaces& surfaces, const FlightState& flight)
{
    surfaces.scene.setRasterMode(RasterMode::Copy);
    rasterCopy(surfaces.scene, toRect(paintedInScene(flight)), surfaces.saveBuffer, toRect(flight.painted));
}

void saveUnderPlane(FlightSurfaces& surfaces, const FlightState& flight)
{
    surfaces.saveBuffer.setRasterMode(RasterMode::Copy);
    rasterCopy(surfaces.saveBuffer, toRect(flight.painted), surfaces.scene, toRect(paintedInScene(flight)));
}

void drawPlane(FlightSurfaces& surfaces, const FlightState& flight)
{
    const RECT target = toRect(paintedInScene(flight));
    surfaces.scene.setRasterMode(RasterMode::And);
    rasterCopy(surfaces.scene, target, surfaces.mask, toRect(flight.painted));
    surfaces.scene.setRasterMode(RasterMode::Or);
    rasterCopy(surfaces.scene, target, surfaces.colours, toRect(flight.painted));
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

void matchSpritesToScene(FlightSurfaces& surfaces)
{
    const int scene = bitsPerPixel(surfaces.scene);
    if (scene == 0 || scene != displayBitsPerPixel())
        return;
    for (SceneSurface* sprite : {&surfaces.mask, &surfaces.colours}) {
        const int own = bitsPerPixel(*sprite);
        if (own != 0 && own != scene)
            convertToDisplayFormat(*sprite, scene);
    }
}

FlightRect moveAndRedrawPlane(FlightSurfaces& surfaces, FlightState& flight)
{
    const FlightRect erased = paintedInScene(flight);
    erasePlane(surfaces, flight);
    movePlane(flight);
    saveUnderPlane(surfaces, flight);
    drawPlane(surfaces, flight);
    return unionRect(erased, paintedInScene(flight));
}
