// Pictures for tests: 24-bit colours set pixel by pixel, shared by the native
// and the Win32 tests. Pure.
#pragma once
#include <cstdint>

#include "imaging/picture.h"

// Sets pixel (x, y) of a 24-bit picture to colour (0x00RRGGBB).
inline void setPixel24(Picture& picture, int x, int y, uint32_t colour)
{
    uint8_t* pixel = picture.row(y) + 3 * x;
    pixel[0] = uint8_t(colour);
    pixel[1] = uint8_t(colour >> 8);
    pixel[2] = uint8_t(colour >> 16);
}

// A 24-bit picture of one colour.
inline Picture filledPicture24(int width, int height, uint32_t colour)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.bitsPerPixel = 24;
    picture.bits.assign(picture.stride() * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            setPixel24(picture, x, y, colour);
    return picture;
}
