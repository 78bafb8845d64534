#include "imaging/picture_scaling.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

namespace {

// The source pixels a new pixel blends and their weights (a tent around the
// new pixel's centre, one new pixel wide when reducing), summing to 1.
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Taps> tentTaps(int newSize, int oldSize)
{
    std::vector<Taps> all(static_cast<std::size_t>(newSize));
    const double ratio = static_cast<double>(oldSize) / newSize;
    const double support = std::max(1.0, ratio);
    for (int index = 0; index < newSize; ++index) {
        const double centre = (index + 0.5) * ratio;
        const int first = std::max(0, static_cast<int>(std::floor(centre - support)));
        const int last = std::min(oldSize - 1, static_cast<int>(std::ceil(centre + support)));
        Taps& taps = all[static_cast<std::size_t>(index)];
        double total = 0;
        for (int source = first; source <= last; ++source) {
            const double weight = std::max(0.0, 1.0 - std::abs(source + 0.5 - centre) / support);
            taps.weights.push_back(static_cast<float>(weight));
            total += weight;
        }
        taps.first = first;
        if (total <= 0) {   // cannot happen for a sane size; keep the nearest pixel
            taps.first = std::clamp(static_cast<int>(centre), 0, oldSize - 1);
            taps.weights.assign(1, 1.0f);
            continue;
        }
        for (float& weight : taps.weights)
            weight = static_cast<float>(weight / total);
    }
    return all;
}

// Per pixel: how much of it is plane (0 or 1 in the source) and its colour
// channels multiplied by that, so that blending never mixes in background.
struct Coverage {
    float plane, red, green, blue;
};

int channelSum(uint32_t colour)
{
    return static_cast<int>(((colour >> 16) & 0xFF) + ((colour >> 8) & 0xFF) + (colour & 0xFF));
}

}

MaskedPair scaledMaskedPair(const Picture& onWhite, const Picture& onBlack, int width, int height)
{
    MaskedPair scaled;
    const int oldWidth = std::min(onWhite.width, onBlack.width);
    const int oldHeight = std::min(onWhite.height, onBlack.height);
    if (oldWidth <= 0 || oldHeight <= 0 || width <= 0 || height <= 0
        || static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > maxPicturePixels)
        return scaled;
    for (const Picture* picture : {&onWhite, &onBlack})
        if (picture->bits.size() < picture->stride() * static_cast<std::size_t>(picture->height))
            return scaled;

    // Across first: each source row becomes a row of the new width.
    const std::vector<Taps> across = tentTaps(width, oldWidth);
    std::vector<Coverage> rows(static_cast<std::size_t>(oldHeight) * static_cast<std::size_t>(width));
    std::vector<Coverage> source(static_cast<std::size_t>(oldWidth));
    for (int y = 0; y < oldHeight; ++y) {
        for (int x = 0; x < oldWidth; ++x) {
            const uint32_t white = pictureColour(onWhite, x, y), black = pictureColour(onBlack, x, y);
            // Background is white in one picture and black in the other (a
            // difference of 3 x 255); plane is the same colour in both.
            const bool plane = channelSum(white) - channelSum(black) < 3 * 128;
            Coverage& pixel = source[static_cast<std::size_t>(x)];
            if (!plane) {
                pixel = {};
                continue;
            }
            // The two pictures' mean: half the encoder's error of either.
            const auto mean = [&](int shift) {
                return static_cast<float>(((white >> shift) & 0xFF) + ((black >> shift) & 0xFF)) / 2;
            };
            pixel = {1, mean(16), mean(8), mean(0)};
        }
        Coverage* out = &rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(width)];
        for (int x = 0; x < width; ++x) {
            const Taps& taps = across[static_cast<std::size_t>(x)];
            Coverage sum{};
            for (std::size_t tap = 0; tap < taps.weights.size(); ++tap) {
                const Coverage& from = source[static_cast<std::size_t>(taps.first) + tap];
                const float weight = taps.weights[tap];
                sum.plane += weight * from.plane;
                sum.red += weight * from.red;
                sum.green += weight * from.green;
                sum.blue += weight * from.blue;
            }
            out[x] = sum;
        }
    }

    // Then down, deciding each new pixel.
    scaled.onWhite.width = scaled.onBlack.width = width;
    scaled.onWhite.height = scaled.onBlack.height = height;
    scaled.onWhite.bits.assign(scaled.onWhite.stride() * static_cast<std::size_t>(height), 0xFF);
    scaled.onBlack.bits.assign(scaled.onBlack.stride() * static_cast<std::size_t>(height), 0);
    const std::vector<Taps> down = tentTaps(height, oldHeight);
    const auto toByte = [](float value) { return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L)); };
    for (int y = 0; y < height; ++y) {
        const Taps& taps = down[static_cast<std::size_t>(y)];
        uint8_t* white = scaled.onWhite.row(y);
        uint8_t* black = scaled.onBlack.row(y);
        for (int x = 0; x < width; ++x) {
            Coverage sum{};
            for (std::size_t tap = 0; tap < taps.weights.size(); ++tap) {
                const Coverage& from = rows[(static_cast<std::size_t>(taps.first) + tap) * static_cast<std::size_t>(width)
                                            + static_cast<std::size_t>(x)];
                const float weight = taps.weights[tap];
                sum.plane += weight * from.plane;
                sum.red += weight * from.red;
                sum.green += weight * from.green;
                sum.blue += weight * from.blue;
            }
            if (sum.plane < 0.5f)
                continue;   // background: white and black as filled
            const uint8_t colour[3] = {toByte(sum.blue / sum.plane), toByte(sum.green / sum.plane),
                                       toByte(sum.red / sum.plane)};
            std::copy(colour, colour + 3, white + 3 * x);
            std::copy(colour, colour + 3, black + 3 * x);
        }
    }
    return scaled;
}
