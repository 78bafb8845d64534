#include "saver/sprite_area.h"

#include <algorithm>

namespace {

enum class Keeps { White, Black };

// The channel bits of a 16- or 32-bit pixel, by the picture's masks.
uint32_t channelBits(const Picture& picture)
{
    const uint32_t masks = picture.redMask | picture.greenMask | picture.blueMask;
    if (masks != 0)
        return masks;
    return picture.bitsPerPixel == 16 ? 0x7FFFu : 0xFFFFFFu;
}

uint32_t paletteColour(const Picture& picture, std::size_t index)
{
    // An index beyond a short colour table reads as black, as GDI shows it.
    return index < picture.palette.size() ? picture.palette[index] & 0xFFFFFFu : 0;
}

bool keepsScene(const Picture& picture, const uint8_t* row, int x, Keeps keeps)
{
    const uint32_t white = keeps == Keeps::White ? ~0u : 0u;
    switch (picture.bitsPerPixel) {
    case 32: {
        const uint32_t pixel = row[4 * x] | (uint32_t(row[4 * x + 1]) << 8) | (uint32_t(row[4 * x + 2]) << 16)
                               | (uint32_t(row[4 * x + 3]) << 24);
        return (pixel & channelBits(picture)) == (white & channelBits(picture));
    }
    case 24:
        return row[3 * x] == uint8_t(white) && row[3 * x + 1] == uint8_t(white) && row[3 * x + 2] == uint8_t(white);
    case 16: {
        const uint32_t pixel = row[2 * x] | (uint32_t(row[2 * x + 1]) << 8);
        return (pixel & channelBits(picture)) == (white & channelBits(picture));
    }
    case 8:   // a greyscale JPEG as decoded
        return paletteColour(picture, row[x]) == (white & 0xFFFFFFu);
    default:
        // Fewer bits reach the sprites only on a display of 8 bits or fewer,
        // whose scene is drawn over the whole rectangle; assume it paints.
        return false;
    }
}

// The smallest rectangle of the picture's part inside the sprite rectangle
// whose pixels do not all keep the scene.
FlightRect changingArea(const Picture& picture, Keeps keeps, int32_t rectWidth, int32_t rectHeight)
{
    FlightRect area;
    if (picture.empty() || picture.bits.size() < picture.stride() * std::size_t(picture.height))
        return area;
    const int width = std::min(picture.width, rectWidth);
    const int height = std::min(picture.height, rectHeight);
    bool found = false;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = picture.row(y);
        int first = 0;
        while (first < width && keepsScene(picture, row, first, keeps))
            ++first;
        if (first == width)
            continue;
        int last = width - 1;
        while (last > first && keepsScene(picture, row, last, keeps))
            --last;
        if (!found) {
            area = {first, y, last + 1, y + 1};
            found = true;
        } else {
            area = unionRect(area, {first, y, last + 1, y + 1});
        }
    }
    return area;
}

} // namespace

FlightRect paintedArea(const Picture& mask, const Picture& colours, int32_t width, int32_t height)
{
    return unionRect(changingArea(mask, Keeps::White, width, height),
                     changingArea(colours, Keeps::Black, width, height));
}
