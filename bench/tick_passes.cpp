// One flight tick's four raster passes (erase, save, mask, colour) on the
// saver's real surfaces at 1920 x 1080, against memcpy of the same bytes.
// Prints microseconds per tick (median of several rounds).
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

// A sprite picture as the JPEG decoder gives it: 24 bits, the plane on a plain background.
Picture spritePicture(uint8_t background, uint8_t plane)
{
    Picture picture;
    picture.width = spriteWidth;
    picture.height = spriteHeight;
    picture.bitsPerPixel = 24;
    picture.bits.assign(picture.stride() * picture.height, background);
    for (int y = 100; y < 260; ++y)
        std::memset(picture.row(y) + 3 * 80, plane, 3 * 400);
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

Picture displayFormatPicture(SceneSurface& sprite)
{
    SceneSurface display(sprite.pictureWidth(), sprite.pictureHeight());
    const RECT all{0, 0, sprite.pictureWidth(), sprite.pictureHeight()};
    rasterCopy(display, all, sprite, all);
    return display.toPicture();
}

} // namespace

int main()
{
    const int width = 1920, height = 1080;
    SceneSurface scene(width, height), saveBuffer(saveBufferWidth, saveBufferHeight);
    SceneSurface mask(spriteWidth, spriteHeight), colours(547, 286);
    mask.assignBitmap(spritePicture(0xFF, 0x40));
    colours.assignBitmap(spritePicture(0x00, 0x90));
    scene.canvas();
    saveBuffer.canvas();
    FlightSurfaces surfaces{scene, saveBuffer, mask, colours};

    FlightState flight;
    placePlane(flight, 600, 300, 0, 0);
    auto tick = [&](int) {
        erasePlane(surfaces, flight);
        saveUnderPlane(surfaces, flight);
        drawPlane(surfaces, flight);
        GdiFlush();
    };
    const double passes = medianMicroseconds(9, 200, tick);

    // The same with 32-bit DIB sprites.
    SceneSurface dibMask(spriteWidth, spriteHeight), dibColours(spriteWidth, spriteHeight);
    dibMask.assignBitmap(displayFormatPicture(mask));
    dibColours.assignBitmap(displayFormatPicture(colours));
    FlightSurfaces dibSurfaces{scene, saveBuffer, dibMask, dibColours};
    const double dibPasses = medianMicroseconds(9, 200, [&](int) {
        erasePlane(dibSurfaces, flight);
        saveUnderPlane(dibSurfaces, flight);
        drawPlane(dibSurfaces, flight);
        GdiFlush();
    });
    std::printf("tick_passes_dib32_us=%.1f\n", dibPasses);

    // The same with the sprites already in the display's format.
    SceneSurface displayMask(spriteWidth, spriteHeight), displayColours(spriteWidth, spriteHeight);
    const RECT sprite{0, 0, spriteWidth, spriteHeight};
    rasterCopy(displayMask, sprite, mask, sprite);
    rasterCopy(displayColours, sprite, colours, sprite);
    FlightSurfaces displaySurfaces{scene, saveBuffer, displayMask, displayColours};
    const double displayPasses = medianMicroseconds(9, 200, [&](int) {
        erasePlane(displaySurfaces, flight);
        saveUnderPlane(displaySurfaces, flight);
        drawPlane(displaySurfaces, flight);
        GdiFlush();
    });

    // The same bytes: four sprite rectangles of 32-bit pixels.
    const std::size_t bytes = std::size_t(spriteWidth) * spriteHeight * 4;
    std::vector<uint8_t> from(bytes * 4, 0x5A), to(bytes * 4, 0);
    const double copies = medianMicroseconds(9, 200, [&](int i) {
        for (int pass = 0; pass < 4; ++pass)
            std::memcpy(to.data() + pass * bytes, from.data() + pass * bytes, bytes);
        from[i % bytes] ^= to[(i * 7) % bytes];   // keeps the copies from being optimised away
    });

    std::printf("tick_passes_us=%.1f\ntick_passes_display_format_sprites_us=%.1f\nmemcpy_us=%.1f\n"
                "bytes_per_tick=%zu\n", passes, displayPasses, copies, bytes * 4);
    return 0;
}
