#include "saver/flight.h"

#include <algorithm>

uint32_t flyingInterval(int direction)
{
    return direction == enterLeft ? leftTimerInterval : rightTimerInterval;
}

int32_t halfRoundedToEven(int32_t n)
{
    // n / 2 is either whole or lies exactly halfway between two whole numbers.
    const int32_t below = n >= 0 ? n / 2 : (n - 1) / 2;   // floor(n / 2)
    if (n % 2 == 0)
        return below;
    return below % 2 == 0 ? below : below + 1;
}

int32_t FlightScale::length(int32_t design) const
{
    const int64_t product = static_cast<int64_t>(design) * dpi;
    constexpr int64_t half = flightDesignDpi / 2;
    return static_cast<int32_t>(product >= 0 ? (product + half) / flightDesignDpi
                                             : -((-product + half) / flightDesignDpi));
}

FlightScale flightScaleFor(int32_t dpi)
{
    return {std::clamp(dpi, flightDesignDpi, largestFlightDpi)};
}

FlightGeometry flightGeometry(FlightScale scale)
{
    FlightGeometry geometry;
    geometry.spriteWidth = scale.length(spriteWidth);
    geometry.spriteHeight = scale.length(spriteHeight);
    geometry.colourWidth = scale.length(colourSurfaceWidth);
    geometry.colourHeight = scale.length(colourSurfaceHeight);
    geometry.saveWidth = scale.length(saveBufferWidth);
    geometry.saveHeight = scale.length(saveBufferHeight);
    geometry.startOffset = scale.length(startOffset);
    return geometry;
}

int32_t scaledPictureLength(int32_t length, FlightScale scale, int32_t pictureScale)
{
    const int64_t per = int64_t{flightDesignDpi} * std::max(pictureScale, int32_t{1});
    return static_cast<int32_t>((static_cast<int64_t>(std::max(length, int32_t{0})) * scale.dpi + per / 2) / per);
}

FlightRect spriteRect(const FlightState& flight)
{
    return {0, 0, flight.scale.length(spriteWidth), flight.scale.length(spriteHeight)};
}

FlightRect spriteRectAt(const FlightState& flight, int32_t x, int32_t y)
{
    return {x, y, x + flight.scale.length(spriteWidth), y + flight.scale.length(spriteHeight)};
}

int32_t firstPlaneStartX(int direction, int32_t screenWidth, FlightScale scale)
{
    return direction == enterLeft ? -scale.length(startOffset) : screenWidth;
}

int32_t firstPlaneStartY(int16_t verticalStep, int32_t screenHeight, FlightScale scale)
{
    return halfRoundedToEven(screenHeight) - scale.length(30 * static_cast<int32_t>(verticalStep));
}

int32_t laterPlaneStartX(int direction, int32_t screenWidth, FlightScale scale)
{
    const int32_t offset = scale.length(startOffset);
    return direction == enterLeft ? -offset : screenWidth + offset;
}

int32_t randomStartY(int16_t verticalStep, int32_t screenHeight, UniformSource& source)
{
    if (screenHeight <= 0)
        return 0;
    const int32_t row = source.between(0, screenHeight - 1);
    // row > height / 2 as real numbers is 2 * row > height in whole numbers.
    const int64_t twiceRow = 2 * static_cast<int64_t>(row);
    if (verticalStep > 0 && twiceRow > screenHeight)
        return 0;
    if (verticalStep < 0 && twiceRow < screenHeight)
        return screenHeight;
    return row;
}

void placePlane(FlightState& flight, int32_t x, int32_t y, int16_t horizontalStep, int16_t verticalStep)
{
    flight.horizontalStep = horizontalStep;
    flight.verticalStep = verticalStep;
    flight.x = x;
    flight.y = y;
    // Half a pixel to begin with: each place is then the exact one rounded.
    flight.horizontalCarry = flight.verticalCarry = flightDesignDpi / 2;
    flight.drawn = spriteRectAt(flight, x, y);
}

int32_t scaledStep(int16_t designStep, FlightScale scale, int32_t& carry)
{
    // In 1/96 of a pixel: the step at this scale and what was left over. The
    // whole pixels move now (rounded down, so the carry stays in 0 to 95).
    const int64_t exact = static_cast<int64_t>(designStep) * scale.dpi + carry;
    int64_t pixels = exact / flightDesignDpi;
    if (exact % flightDesignDpi < 0)
        --pixels;
    carry = static_cast<int32_t>(exact - pixels * flightDesignDpi);
    return static_cast<int32_t>(pixels);
}

void advancePlane(FlightState& flight)
{
    flight.x += scaledStep(flight.horizontalStep, flight.scale, flight.horizontalCarry);
    flight.y += scaledStep(flight.verticalStep, flight.scale, flight.verticalCarry);
    flight.drawn = spriteRectAt(flight, flight.x, flight.y);
}

bool planeFinished(int direction, int32_t x, int32_t screenWidth)
{
    if (direction == enterLeft)
        return x > screenWidth;
    return x < -screenWidth;
}

uint32_t pauseInterval(int32_t delaySeconds)
{
    const int64_t milliseconds = static_cast<int64_t>(std::max<int32_t>(delaySeconds, 1)) * 1000 - 999;
    return static_cast<uint32_t>(std::min<int64_t>(milliseconds, longestTimerInterval));
}

FlightRect unionRect(const FlightRect& a, const FlightRect& b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

FlightRect paintedInScene(const FlightState& flight)
{
    const FlightRect& painted = flight.painted;
    if (painted.empty())
        return {};
    return {flight.drawn.left + painted.left, flight.drawn.top + painted.top, flight.drawn.left + painted.right,
            flight.drawn.top + painted.bottom};
}

FlightRect intersectRect(const FlightRect& a, const FlightRect& b)
{
    const FlightRect common{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                            std::min(a.bottom, b.bottom)};
    return common.empty() ? FlightRect{} : common;
}

PassArea passArea(const FlightState& flight)
{
    const FlightRect scene = intersectRect(paintedInScene(flight), flight.field);
    if (scene.empty())
        return {};
    const int32_t left = flight.drawn.left, top = flight.drawn.top;
    return {scene, {scene.left - left, scene.top - top, scene.right - left, scene.bottom - top}};
}
