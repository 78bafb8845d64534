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
// gives an empty picture, and so does one of more than maxPicturePixels; the
// same size gives the same colours.
Picture smoothlyScaled(const Picture& source, int width, int height);

// Only the top-left keptWidth x keptHeight pixels of the picture scaled to
// width x height (the part a window shows): the same pixels as scaling the
// whole picture and cutting it, without making the whole, which for a large
// picture at 500 % would not fit 32-bit sizes. The kept part is at most the
// scaled size; one of more than maxPicturePixels gives an empty picture.
Picture smoothlyScaledPart(const Picture& source, int width, int height, int keptWidth, int keptHeight);

// A plane drawn as two pictures for the bitwise passes: on white (the AND
// mask) and on black (the OR colours), the plane's pixels the same in both.
struct MaskedPair {
    Picture onWhite, onBlack;
};

// The pair at width x height (24 bits per pixel), enlarged or reduced with a
// hard mask kept exact: a pixel of the new pair is either background (pure
// white in one picture, pure black in the other, so the passes leave the
// scene beneath untouched) or plane, with the same colour in both (so the
// passes show exactly that colour whatever lies beneath, no specks). A source
// pixel is plane where its two pictures are closer than half the range, as a
// JPEG pair's are; the new silhouette is where more than half of the filter's
// weight falls on plane, and its colours blend plane pixels only, so no
// background colour bleeds into the outline. The filter is a tent (bilinear
// when enlarging, as wide as one new pixel when reducing). Pictures of
// different sizes use their common part; an empty one gives an empty pair.
MaskedPair scaledMaskedPair(const Picture& onWhite, const Picture& onBlack, int width, int height);
