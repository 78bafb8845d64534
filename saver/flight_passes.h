// The raster passes of a flight tick on the scene surfaces: erase the plane by
// restoring the background saved under it, save the background under its new
// place, and draw it with the mask (AND) and colour (OR) passes. TForm1's
// flight timers run them; they know nothing of timers or windows.
#pragma once
#include <windows.h>

#include "framework/surface.h"
#include "saver/flight.h"

struct FlightSurfaces {
    SceneSurface& scene;       // imdest
    SceneSurface& saveBuffer;  // imsave
    SceneSurface& mask;        // View_Image_White: the plane on white
    SceneSurface& colours;     // View_Image_Black: the plane on black
};

RECT toRect(const FlightRect& rect);

// Copies the saved background back onto the scene at the drawn rectangle.
void erasePlane(FlightSurfaces& surfaces, const FlightState& flight);
// Copies the scene at the drawn rectangle into the save buffer.
void saveUnderPlane(FlightSurfaces& surfaces, const FlightState& flight);
// The mask pass (AND: white keeps the scene) and the colour pass (OR: black
// keeps it) at the drawn rectangle.
void drawPlane(FlightSurfaces& surfaces, const FlightState& flight);

// Gives the sprite surfaces their decoded pictures, in the scene's pixel
// format where the scene is in the display's (decoded JPEGs are 24-bit, the
// display is mostly 32-bit): a 24-bit picture for a 32-bit display is widened
// on its way into the bitmap, any other goes through a display bitmap. The
// passes then need no conversion per pixel, which makes them several times
// faster; the pixels they produce are the same. Returns the sprites' painted
// area (findPaintedArea's answer), read from the decoded pictures where the
// widening kept every pixel's value, else from the sprites themselves.
// The painted area is that within sprite, the design's or the flight's scaled
// sprite rectangle.
FlightRect assignSprites(FlightSurfaces& surfaces, const Picture& colours, const Picture& mask,
                         const FlightRect& sprite = spriteRect());

// The part of the sprite rectangle (the design's, or the flight's scaled one)
// where the sprites can change the scene (FlightState::painted). A scene of 8
// bits or fewer per pixel gets the whole rectangle, since its passes combine
// palette indices.
FlightRect findPaintedArea(FlightSurfaces& surfaces, const FlightRect& sprite = spriteRect());

// One tick's work on the surfaces: erase, move, save, draw. Returns the part
// of the scene it changed (the old and the new painted area together).
FlightRect moveAndRedrawPlane(FlightSurfaces& surfaces, FlightState& flight);
