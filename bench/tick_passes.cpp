// One flight tick's four raster passes (erase, save, mask, colour) on the
// saver's real surfaces, against memcpy of the bytes of four whole sprite
// rectangles and of four painted areas: at 1920 x 1080 over the whole sprite
// rectangle (as the passes once worked) and over the painted area (as they
// work now) at 1920 x 1080, 1280 x 1024 and 3840 x 2160. Prints microseconds
// per tick (median of 9 rounds of 200 ticks).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "framework/surface.h"
#include "saver/flight_passes.h"

namespace {

double nowMicroseconds()
{
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1e6 / double(frequency.QuadPart);
}

// A sprite picture as the JPEG decoder gives it: 24 bits, the plane a block
// on a plain background, where the flight benchmark's planes are.
Picture spritePicture(uint8_t background, uint8_t plane)
{
    Picture picture;
    picture.width = spriteWidth;
    picture.height = spriteHeight;
    picture.bitsPerPixel = 24;
    picture.bits.assign(picture.stride() * picture.height, background);
    for (int y = 80; y < 290; ++y)
        std::memset(picture.row(y) + 3 * 30, plane, 3 * 520);
    return picture;
}

template <class Work>
double medianMicroseconds(int rounds, int iterations, Work work)
{
    std::vector<double> perIteration;
    for (int round = 0; round < rounds; ++round) {
        const double start = nowMicroseconds();
        for (int i = 0; i < iterations; ++i)
            work(i);
        perIteration.push_back((nowMicroseconds() - start) / iterations);
    }
    std::sort(perIteration.begin(), perIteration.end());
    return perIteration[perIteration.size() / 2];
}

// One tick's passes on a scene of the given size, with the sprites as the
// saver prepares them when a plane starts; the area to work on is the whole
// sprite rectangle or the painted part of it.
double tickMicroseconds(int width, int height, bool paintedOnly)
{
    SceneSurface scene(width, height), saveBuffer(saveBufferWidth, saveBufferHeight);
    SceneSurface mask(spriteWidth, spriteHeight), colours(547, 286);
    mask.assignBitmap(spritePicture(0xFF, 0x40));
    colours.assignBitmap(spritePicture(0x00, 0x90));
    scene.canvas();
    saveBuffer.canvas();
    FlightSurfaces surfaces{scene, saveBuffer, mask, colours};
    matchSpritesToScene(surfaces);

    FlightState flight;
    placePlane(flight, 600, 300, 0, 0);
    if (paintedOnly)
        flight.painted = findPaintedArea(surfaces);
    return medianMicroseconds(9, 200, [&](int) {
        erasePlane(surfaces, flight);
        saveUnderPlane(surfaces, flight);
        drawPlane(surfaces, flight);
        GdiFlush();
    });
}

// Four copies of the given bytes, as one tick's four passes move them.
double memcpyMicroseconds(std::size_t bytes)
{
    std::vector<uint8_t> from(bytes * 4, 0x5A), to(bytes * 4, 0);
    return medianMicroseconds(9, 200, [&](int i) {
        for (int pass = 0; pass < 4; ++pass)
            std::memcpy(to.data() + pass * bytes, from.data() + pass * bytes, bytes);
        from[i % bytes] ^= to[(i * 7) % bytes];   // keeps the copies from being optimised away
    });
}

} // namespace

int main()
{
    SceneSurface mask(spriteWidth, spriteHeight), colours(547, 286), scene(64, 64), saveBuffer(64, 64);
    mask.assignBitmap(spritePicture(0xFF, 0x40));
    colours.assignBitmap(spritePicture(0x00, 0x90));
    FlightSurfaces surfaces{scene, saveBuffer, mask, colours};
    const FlightRect painted = findPaintedArea(surfaces);
    const std::size_t spriteBytes = std::size_t(spriteWidth) * spriteHeight * 4;
    const std::size_t paintedBytes = std::size_t(painted.width()) * painted.height() * 4;

    std::printf("sprite_bytes_per_tick=%zu\npainted_bytes_per_tick=%zu\n", spriteBytes * 4, paintedBytes * 4);
    std::printf("memcpy_sprite_us=%.1f\n", memcpyMicroseconds(spriteBytes));
    std::printf("memcpy_painted_us=%.1f\n", memcpyMicroseconds(paintedBytes));
    std::printf("tick_whole_sprite_1920x1080_us=%.1f\n", tickMicroseconds(1920, 1080, false));
    for (const auto& [width, height] : {std::pair{1920, 1080}, {1280, 1024}, {3840, 2160}})
        std::printf("tick_%dx%d_us=%.1f\n", width, height, tickMicroseconds(width, height, true));
    return 0;
}
