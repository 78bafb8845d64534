// Smooth scaling of a picture to another size (the dialog backdrop on a
// display above 96 DPI): each new pixel blends the four nearest pixels of the
// original by their distance (bilinear), so edges stay soft instead of
// turning into blocks. Pure.
#pragma once
#include <cstdint>

#include "imaging/picture.h"

// The colour of the pixel at (x, y), counted from the top-left, as 0x00RRGGBB.
// Reads 1, 4 and 8 bits per pixel through the palette (black past its end),
// 24 and 32 bits as blue, green, red; 16 bits as 5-5-5.
uint32_t pictureColour(const Picture& picture, int x, int y);

// The picture at width x height, 24 bits per pixel. An empty source or size
// gives an empty picture; the same size gives the same colours.
Picture smoothlyScaled(const Picture& source, int width, int height);
