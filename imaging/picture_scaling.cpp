#include "imaging/picture_scaling.h"

#include <algorithm>
#include <cmath>

namespace {

uint32_t paletteColour(const Picture& picture, unsigned index)
{
    return index < picture.palette.size() ? picture.palette[index] & 0xFFFFFF : 0;
}

uint8_t channel(uint32_t colour, int shift)
{
    return static_cast<uint8_t>((colour >> shift) & 0xFF);
}

// A source coordinate of the new pixel's centre, and the two source pixels
// around it with the weight of the second.
struct Sample {
    int first, second;
    double weight;
};

Sample sampleAt(int index, int newSize, int oldSize)
{
    const double centre = (index + 0.5) * oldSize / newSize - 0.5;
    const double clamped = std::clamp(centre, 0.0, static_cast<double>(oldSize - 1));
    const int first = static_cast<int>(std::floor(clamped));
    const int second = std::min(first + 1, oldSize - 1);
    return {first, second, clamped - first};
}

}

uint32_t pictureColour(const Picture& picture, int x, int y)
{
    const uint8_t* row = picture.row(y);
    switch (picture.bitsPerPixel) {
    case 1: return paletteColour(picture, (row[x / 8] >> (7 - x % 8)) & 1);
    case 4: return paletteColour(picture, (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF);
    case 8: return paletteColour(picture, row[x]);
    case 16: {
        const unsigned value = row[2 * x] | (row[2 * x + 1] << 8);
        const auto expand = [](unsigned five) { return (five << 3) | (five >> 2); };
        return (expand((value >> 10) & 0x1F) << 16) | (expand((value >> 5) & 0x1F) << 8) | expand(value & 0x1F);
    }
    case 24: return (row[3 * x + 2] << 16) | (row[3 * x + 1] << 8) | row[3 * x];
    case 32: return (row[4 * x + 2] << 16) | (row[4 * x + 1] << 8) | row[4 * x];
    }
    return 0;
}

Picture smoothlyScaled(const Picture& source, int width, int height)
{
    return smoothlyScaledPart(source, width, height, width, height);
}

Picture smoothlyScaledPart(const Picture& source, int width, int height, int keptWidth, int keptHeight)
{
    Picture scaled;
    keptWidth = std::min(keptWidth, width);
    keptHeight = std::min(keptHeight, height);
    if (source.empty() || keptWidth <= 0 || keptHeight <= 0)
        return scaled;
    if (static_cast<uint64_t>(keptWidth) * static_cast<uint64_t>(keptHeight) > maxPicturePixels)
        return scaled;
    scaled.width = keptWidth;
    scaled.height = keptHeight;
    scaled.bitsPerPixel = 24;
    scaled.bits.assign(scaled.stride() * static_cast<std::size_t>(keptHeight), 0);
    for (int y = 0; y < keptHeight; ++y) {
        const Sample down = sampleAt(y, height, source.height);
        uint8_t* out = scaled.row(y);
        for (int x = 0; x < keptWidth; ++x) {
            const Sample across = sampleAt(x, width, source.width);
            const uint32_t corners[4] = {
                pictureColour(source, across.first, down.first), pictureColour(source, across.second, down.first),
                pictureColour(source, across.first, down.second), pictureColour(source, across.second, down.second)};
            for (int shift = 0; shift < 24; shift += 8) {
                const double top = channel(corners[0], shift) * (1 - across.weight)
                                 + channel(corners[1], shift) * across.weight;
                const double bottom = channel(corners[2], shift) * (1 - across.weight)
                                    + channel(corners[3], shift) * across.weight;
                const double value = top * (1 - down.weight) + bottom * down.weight;
                out[3 * x + shift / 8] = static_cast<uint8_t>(std::lround(value));
            }
        }
    }
    return scaled;
}
