#include "saver/flight_passes.h"

#include "framework/scoped.h"

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

void convertToDisplayFormat(SceneSurface& sprite)
{
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

void erasePlane(FlightSurfaces& surfaces, const FlightState& flight)
{
    surfaces.scene.setRasterMode(RasterMode::Copy);
    rasterCopy(surfaces.scene, toRect(flight.drawn), surfaces.saveBuffer, toRect(flight.sprite));
}

void saveUnderPlane(FlightSurfaces& surfaces, const FlightState& flight)
{
    surfaces.saveBuffer.setRasterMode(RasterMode::Copy);
    rasterCopy(surfaces.saveBuffer, toRect(flight.save), surfaces.scene, toRect(flight.drawn));
}

void drawPlane(FlightSurfaces& surfaces, const FlightState& flight)
{
    surfaces.scene.setRasterMode(RasterMode::And);
    rasterCopy(surfaces.scene, toRect(flight.drawn), surfaces.mask, toRect(flight.sprite));
    surfaces.scene.setRasterMode(RasterMode::Or);
    rasterCopy(surfaces.scene, toRect(flight.drawn), surfaces.colours, toRect(flight.sprite));
}

void matchSpritesToScene(FlightSurfaces& surfaces)
{
    const int scene = bitsPerPixel(surfaces.scene);
    if (scene == 0 || scene != displayBitsPerPixel())
        return;
    for (SceneSurface* sprite : {&surfaces.mask, &surfaces.colours}) {
        const int own = bitsPerPixel(*sprite);
        if (own != 0 && own != scene)
            convertToDisplayFormat(*sprite);
    }
}

FlightRect moveAndRedrawPlane(FlightSurfaces& surfaces, FlightState& flight)
{
    const FlightRect erased = flight.drawn;
    erasePlane(surfaces, flight);
    movePlane(flight);
    saveUnderPlane(surfaces, flight);
    drawPlane(surfaces, flight);
    return unionRect(erased, flight.drawn);
}
