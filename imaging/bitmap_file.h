// Windows bitmap files, read and written. Pure.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/picture.h"

// Reads a BMP file at its own size and pixel format: core, V3, V4 and V5
// headers, bottom-up and top-down rows, 1/4/8-bit palettes, 16/32-bit
// bitfields, RLE4 and RLE8 (expanded). A zero-byte file gives an empty picture;
// fewer than 14 bytes throws EBitmapReadError; anything malformed EInvalidGraphic,
// as does a picture of more than maxPicturePixels.
Picture readBitmapFile(std::span<const uint8_t> bytes);

// 14-byte file header, 40-byte information header, a colour table only at 8
// bits per pixel or fewer, bottom-up rows padded to 4 bytes. BI_RGB, except
// for a 16- or 32-bit picture with masks: BI_BITFIELDS with the three masks
// after the header, as Windows writes 5-6-5. An indexed picture without a
// palette gets a grey ramp. An empty picture gives an empty file (which reads
// back as an empty picture); an inconsistent one throws EInvalidGraphic.
std::vector<uint8_t> writeBitmapFile(const Picture& picture);
