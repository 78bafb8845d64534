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

// Gives the sprite bitmaps the scene's pixel format when the scene is in the
// display's format and they are not (decoded JPEGs are 24-bit, the display
// is mostly 32-bit). The passes then need no conversion per pixel, which
// makes them several times faster; the pixels they produce are the same.
void matchSpritesToScene(FlightSurfaces& surfaces);

// Gives the sprite surfaces their decoded pictures, in the format
// matchSpritesToScene would convert them to where that is a plain widening
// (24 to 32 bits): written straight into the sprites' bitmaps, with no bitmap
// of the decoder's format in between. Any other picture is given as it is,
// for matchSpritesToScene.
void assignSprites(FlightSurfaces& surfaces, const Picture& colours, const Picture& mask);

// The part of the sprite rectangle where the sprites can change the scene
// (FlightState::painted). A scene of 8 bits or fewer per pixel gets the whole
// rectangle, since its passes combine palette indices.
FlightRect findPaintedArea(FlightSurfaces& surfaces);

// One tick's work on the surfaces: erase, move, save, draw. Returns the part
// of the scene it changed (the old and the new painted area together).
FlightRect moveAndRedrawPlane(FlightSurfaces& surfaces, FlightState& flight);
