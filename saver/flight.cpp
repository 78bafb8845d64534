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

int32_t firstPlaneStartX(int direction, int32_t screenWidth)
{
    return direction == enterLeft ? -startOffset : screenWidth;
}

int32_t firstPlaneStartY(int16_t verticalStep, int32_t screenHeight)
{
    return halfRoundedToEven(screenHeight) - 30 * static_cast<int32_t>(verticalStep);
}

int32_t laterPlaneStartX(int direction, int32_t screenWidth)
{
    return direction == enterLeft ? -startOffset : screenWidth + startOffset;
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
    flight.drawn = spriteRectAt(x, y);
}

void advancePlane(FlightState& flight)
{
    flight.x += flight.horizontalStep;
    flight.y += flight.verticalStep;
    flight.drawn = spriteRectAt(flight.x, flight.y);
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
