#include "saver/flight_passes.h"

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

FlightRect moveAndRedrawPlane(FlightSurfaces& surfaces, FlightState& flight)
{
    const FlightRect erased = flight.drawn;
    erasePlane(surfaces, flight);
    movePlane(flight);
    saveUnderPlane(surfaces, flight);
    drawPlane(surfaces, flight);
    return unionRect(erased, flight.drawn);
}
