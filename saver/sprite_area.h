// Where a plane's two sprite pictures can change the scene: the smallest
// rectangle holding every mask pixel that is not white and every colour pixel
// that is not black. Outside it the AND pass (white keeps the scene) and the
// OR pass (black keeps it) change nothing, so the flight's passes can skip it
// and still draw the very same pixels. Pure: no <windows.h>.
#pragma once
#include "imaging/picture.h"
#include "saver/flight.h"

// The area within the sprite rectangle (0, 0, width, height), the design's
// or a scaled one, where the mask or the colours can change a scene; parts of
// the rectangle beyond a picture change nothing. Empty when neither changes
// anything.
FlightRect paintedArea(const Picture& mask, const Picture& colours, int32_t width = spriteWidth,
                       int32_t height = spriteHeight);
