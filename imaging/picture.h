// An image in memory, laid out exactly like an uncompressed Windows DIB so the
// Win32 side can hand it to CreateDIBSection without conversion. Pure.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The largest picture the readers accept, in pixels (8192 x 8192): a hostile
// file can never make them allocate more than this picture needs (at most
// 256 MB at 32 bits per pixel), and every size computed from it fits 32 bits.
inline constexpr uint64_t maxPicturePixels = uint64_t{1} << 26;

struct Picture {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;          // 1, 4, 8, 16, 24 or 32
    // 0x00RRGGBB, only at 8 bits per pixel or fewer; it may have fewer than
    // 2^bitsPerPixel entries (a file's colour table with fewer colours).
    std::vector<uint32_t> palette;
    // Channel masks of a 16- or 32-bit BI_BITFIELDS picture; all 0 means the
    // BI_RGB default (5-5-5 at 16 bits, 8-8-8 at 32 bits).
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    std::vector<uint8_t> bits;      // rows bottom-up, each stride() bytes

    bool empty() const { return width <= 0 || height <= 0; }
    std::size_t stride() const
    {
        return ((static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32) * 4;
    }
    // Row y counted from the top of the picture.
    uint8_t* row(int y) { return bits.data() + static_cast<std::size_t>(height - 1 - y) * stride(); }
    const uint8_t* row(int y) const
    {
        return bits.data() + static_cast<std::size_t>(height - 1 - y) * stride();
    }
};

// The colours a picture of 8 bits per pixel or fewer is shown and written
// with: its palette, or for one without a palette a grey ramp over its
// 2^bitsPerPixel levels. Empty above 8 bits per pixel.
inline std::vector<uint32_t> colourTableOf(const Picture& picture)
{
    if (picture.bitsPerPixel > 8)
        return {};
    if (!picture.palette.empty())
        return picture.palette;
    const uint32_t entries = 1u << picture.bitsPerPixel;
    std::vector<uint32_t> ramp;
    for (uint32_t i = 0; i < entries; ++i)
        ramp.push_back(i * 255 / (entries - 1) * 0x010101u);
    return ramp;
}

// Whether widenToThirtyTwoBits takes the picture: a 24-bit picture with all
// its rows.
inline bool widensToThirtyTwoBits(const Picture& picture)
{
    return picture.bitsPerPixel == 24 && !picture.empty()
        && picture.bits.size() >= picture.stride() * static_cast<std::size_t>(picture.height);
}

// Writes a 24-bit picture as 32-bit pixels (B, G, R and an unused 0), the
// pixels GDI's own conversion to a 32-bit display gives, to `to`: height rows
// of 4 * width bytes, bottom-up like the picture's own. This is the one place
// a picture is widened, straight into the bitmap that will hold it.
inline void widenToThirtyTwoBits(const Picture& picture, uint8_t* to)
{
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* from = picture.bits.data() + static_cast<std::size_t>(y) * picture.stride();
        for (int x = 0; x < picture.width; ++x, from += 3, to += 4) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
            to[3] = 0;
        }
    }
}
