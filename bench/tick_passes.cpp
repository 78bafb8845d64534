// One flight tick's four raster passes (erase, save, mask, colour) on the
// saver's real surfaces, against memcpy of the bytes of four whole sprite
// rectangles: at 1920 x 1080 over the whole sprite rectangle (as the passes
// once worked), and over the painted area (as they work now) at 1920 x 1080,
// 1280 x 1024 and 3840 x 2160. Rounds of 200 ticks alternate with rounds of
// 200 copies, so both see the same load on a shared machine; for each it
// prints the median microseconds per tick, the fastest and slowest round, and
// the median of the per-round ratios to the copies. The same at twice the
// scale (a display at 200 %: sprites, save buffer and plane twice as wide and
// high) on a 3840 x 2160 scene, against copies of the bytes at that scale.
// The plane stands still, except in the "moving" lines, where it flies slot
// 1's step and back, tick by tick, at 1920 x 1080 and at 200 %.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "framework/surface.h"
#include "saver/flight_passes.h"

namespace {

constexpr int rounds = 9;
constexpr int iterations = 200;

double nowMicroseconds()
{
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1e6 / double(frequency.QuadPart);
}

// A sprite picture as the JPEG decoder gives it: 24 bits, the plane a block
// on a plain background, where the flight benchmark's planes are.
Picture spritePicture(uint8_t background, uint8_t plane, FlightScale scale)
{
    Picture picture;
    picture.width = scale.length(spriteWidth);
    picture.height = scale.length(spriteHeight);
    picture.bitsPerPixel = 24;
    picture.bits.assign(picture.stride() * picture.height, background);
    for (int y = scale.length(80); y < scale.length(290); ++y)
        std::memset(picture.row(y) + 3 * scale.length(30), plane, 3 * scale.length(520));
    return picture;
}

double roundMicroseconds(const std::function<void(int)>& work)
{
    const double start = nowMicroseconds();
    for (int i = 0; i < iterations; ++i)
        work(i);
    return (nowMicroseconds() - start) / iterations;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Four copies of the given bytes, as one tick's four passes move them.
class Copies {
public:
    explicit Copies(std::size_t bytes) : bytes_(bytes), from_(bytes * 4, 0x5A), to_(bytes * 4, 0) {}
    void operator()(int i)
    {
        for (int pass = 0; pass < 4; ++pass)
            std::memcpy(to_.data() + pass * bytes_, from_.data() + pass * bytes_, bytes_);
        from_[i % bytes_] ^= to_[(i * 7) % bytes_];   // keeps the copies from being optimised away
    }
private:
    std::size_t bytes_;
    std::vector<uint8_t> from_, to_;
};

// The saver's surfaces for one scene size, with the sprites as the saver
// prepares them when a plane starts.
struct Surfaces {
    Surfaces(int width, int height, FlightScale scale = {})
        : scene(width, height), geometry(flightGeometry(scale)), saveBuffer(geometry.saveWidth, geometry.saveHeight),
          mask(geometry.spriteWidth, geometry.spriteHeight), colours(geometry.colourWidth, geometry.colourHeight)
    {
        scene.canvas();
        saveBuffer.canvas();
        assignSprites(surfaces, spritePicture(0x00, 0x90, scale), spritePicture(0xFF, 0x40, scale));
    }
    SceneSurface scene;
    FlightGeometry geometry;
    SceneSurface saveBuffer, mask, colours;
    FlightSurfaces surfaces{scene, saveBuffer, mask, colours};
};

// How the plane moves from tick to tick.
enum class Motion {
    Still,          // stays in place
    BackAndForth,   // slot 1's step (22 px right, 1 up, scaled), then back
};

void report(const std::string& name, int width, int height, bool paintedOnly, Copies& copies, FlightScale scale = {},
            Motion motion = Motion::Still)
{
    Surfaces all(width, height, scale);
    FlightState flight;
    flight.scale = scale;
    if (motion == Motion::Still)
        placePlane(flight, scale.length(600), scale.length(300), 0, 0);
    else
        placePlane(flight, scale.length(600), scale.length(300), 22, -1);
    if (paintedOnly)
        flight.painted = findPaintedArea(all.surfaces, spriteRect(flight));
    std::vector<double> ticks, ratios;
    for (int round = 0; round < rounds; ++round) {
        const double copy = roundMicroseconds(std::ref(copies));
        // The whole tick, erase, save and both passes.
        const double tick = roundMicroseconds([&](int) {
            moveAndRedrawPlane(all.surfaces, flight);
            GdiFlush();
            // A moving plane turns back each tick, so it stays over the
            // scene: one tick right and up, the next left and down, its old
            // and new places overlapping.
            flight.horizontalStep = int16_t(-flight.horizontalStep);
            flight.verticalStep = int16_t(-flight.verticalStep);
        });
        ticks.push_back(tick);
        ratios.push_back(tick / copy);
    }
    std::printf("%s_us=%.1f\n%s_min_us=%.1f\n%s_max_us=%.1f\n%s_per_memcpy=%.2f\n%s_per_memcpy_min=%.2f\n"
                "%s_per_memcpy_max=%.2f\n",
                name.c_str(), median(ticks), name.c_str(), *std::min_element(ticks.begin(), ticks.end()),
                name.c_str(), *std::max_element(ticks.begin(), ticks.end()), name.c_str(), median(ratios),
                name.c_str(), *std::min_element(ratios.begin(), ratios.end()), name.c_str(),
                *std::max_element(ratios.begin(), ratios.end()));
}

} // namespace

int main()
{
    Surfaces probe(64, 64);
    const FlightRect painted = findPaintedArea(probe.surfaces);
    const std::size_t spriteBytes = std::size_t(spriteWidth) * spriteHeight * 4;
    const std::size_t paintedBytes = std::size_t(painted.width()) * painted.height() * 4;
    std::printf("sprite_bytes_per_tick=%zu\npainted_bytes_per_tick=%zu\n", spriteBytes * 4, paintedBytes * 4);

    Copies spriteCopies(spriteBytes), paintedCopies(paintedBytes);
    std::vector<double> sprite, paintedOnly;
    for (int round = 0; round < rounds; ++round) {
        sprite.push_back(roundMicroseconds(std::ref(spriteCopies)));
        paintedOnly.push_back(roundMicroseconds(std::ref(paintedCopies)));
    }
    std::printf("memcpy_sprite_us=%.1f\nmemcpy_painted_us=%.1f\n", median(sprite), median(paintedOnly));

    report("tick_whole_sprite_1920x1080", 1920, 1080, false, spriteCopies);
    for (const auto& [width, height] : {std::pair{1920, 1080}, {1280, 1024}, {3840, 2160}})
        report("tick_" + std::to_string(width) + "x" + std::to_string(height), width, height, true, spriteCopies);
    report("tick_painted_vs_painted_copies_1920x1080", 1920, 1080, true, paintedCopies);
    report("tick_moving_vs_painted_copies_1920x1080", 1920, 1080, true, paintedCopies, {}, Motion::BackAndForth);

    // At 200 %: the same plane twice as wide and high on a 3840 x 2160 scene.
    const FlightScale twice = flightScaleFor(192);
    Surfaces probeTwice(64, 64, twice);
    const FlightRect paintedTwice = findPaintedArea(probeTwice.surfaces, {0, 0, twice.length(spriteWidth),
                                                                          twice.length(spriteHeight)});
    const std::size_t spriteBytesTwice = std::size_t(twice.length(spriteWidth)) * twice.length(spriteHeight) * 4;
    const std::size_t paintedBytesTwice = std::size_t(paintedTwice.width()) * paintedTwice.height() * 4;
    std::printf("sprite_bytes_per_tick_200=%zu\npainted_bytes_per_tick_200=%zu\n", spriteBytesTwice * 4,
                paintedBytesTwice * 4);
    Copies spriteCopiesTwice(spriteBytesTwice), paintedCopiesTwice(paintedBytesTwice);
    std::vector<double> spriteTwice, paintedOnlyTwice;
    for (int round = 0; round < rounds; ++round) {
        spriteTwice.push_back(roundMicroseconds(std::ref(spriteCopiesTwice)));
        paintedOnlyTwice.push_back(roundMicroseconds(std::ref(paintedCopiesTwice)));
    }
    std::printf("memcpy_sprite_200_us=%.1f\nmemcpy_painted_200_us=%.1f\n", median(spriteTwice),
                median(paintedOnlyTwice));
    report("tick_200_3840x2160", 3840, 2160, true, spriteCopiesTwice, twice);
    report("tick_200_painted_vs_painted_copies_3840x2160", 3840, 2160, true, paintedCopiesTwice, twice);
    report("tick_200_moving_vs_painted_copies_3840x2160", 3840, 2160, true, paintedCopiesTwice, twice,
           Motion::BackAndForth);
    return 0;
}
