// The arithmetic of a plane's flight across the scene: where a plane starts,
// how it moves per tick, when it has left the screen, and how long the pause
// before the next plane is. The saver window's flight timers call these and do
// the drawing themselves. Pure: no <windows.h>.
#pragma once
#include <cstdint>

#include "saver/catalogue.h"

// A rectangle in pixels: left <= x < right, top <= y < bottom.
struct FlightRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const FlightRect&, const FlightRect&) = default;
};

// The design sizes of the saver window's surfaces, which the flights'
// arithmetic uses whatever pictures the surfaces hold.
// The sprite mask (View_Image_White): its size is the sprite's, which erase,
// save and both sprite passes use; the loaded images never change it.
inline constexpr int32_t spriteWidth = 577;
inline constexpr int32_t spriteHeight = 365;
// The sprite colours (View_Image_Black).
inline constexpr int32_t colourSurfaceWidth = 547;
inline constexpr int32_t colourSurfaceHeight = 286;
// The save buffer (imsave) that holds the background under the plane.
inline constexpr int32_t saveBufferWidth = 637;
inline constexpr int32_t saveBufferHeight = 462;
// The scene and the JPEG holders until they get their pictures.
inline constexpr int32_t placeholderSurfaceSize = 105;
// A new plane starts this far outside the screen: twice the colour surface's width.
inline constexpr int32_t startOffset = 2 * colourSurfaceWidth;

// Tick intervals while flying, by direction.
inline constexpr uint32_t leftTimerInterval = 5;    // direction 1
inline constexpr uint32_t rightTimerInterval = 25;  // direction 2

// A field that holds any scene: the passes are then limited by the scene's
// edges alone.
inline constexpr FlightRect wholeScene{-(1 << 30), -(1 << 30), 1 << 30, 1 << 30};

// The plane in flight.
struct FlightState {
    int32_t x = 0, y = 0;            // top-left corner in scene pixels
    int16_t horizontalStep = 0;      // pixels per tick, from the current slot
    int16_t verticalStep = 0;
    FlightRect drawn;                // where the sprite was last drawn
    // The part of the sprite rectangle where the current plane's pictures can
    // change the scene; erase, save and both passes work only there, which
    // gives the same pixels as the whole rectangle. Set when a plane starts.
    FlightRect painted{0, 0, spriteWidth, spriteHeight};
    // The part of the scene the planes fly across (the primary monitor): no
    // pass changes a scene pixel outside it, so every other monitor keeps its
    // own desktop. By default only the scene's own edges limit the passes.
    FlightRect field = wholeScene;
};

inline FlightRect spriteRect() { return {0, 0, spriteWidth, spriteHeight}; }
inline FlightRect spriteRectAt(int32_t x, int32_t y) { return {x, y, x + spriteWidth, y + spriteHeight}; }

// The interval of the flight timer of a direction while the plane flies.
uint32_t flyingInterval(int direction);

// n / 2 rounded to the nearest whole number, halves to the even neighbour.
int32_t halfRoundedToEven(int32_t n);

// The first plane of a run: a right-to-left plane starts at the right screen
// edge, a left-to-right one a start offset left of the screen; the height is
// the middle of the screen shifted against the climb (30 ticks' worth).
int32_t firstPlaneStartX(int direction, int32_t screenWidth);
int32_t firstPlaneStartY(int16_t verticalStep, int32_t screenHeight);

// Every later plane starts a start offset outside the edge it enters from.
int32_t laterPlaneStartX(int direction, int32_t screenWidth);

// The start height of a later plane: a random row, except that a descending
// plane whose row lies below the middle starts at the top (y = 0), and a
// climbing plane whose row lies above the middle starts just below the bottom
// edge (y = screen height). The middle is the exact half, as a real number.
int32_t randomStartY(int16_t verticalStep, int32_t screenHeight, UniformSource& source);

// Places the plane at (x, y) with the slot's steps: drawn rectangle there.
void placePlane(FlightState& flight, int32_t x, int32_t y, int16_t horizontalStep, int16_t verticalStep);

// One tick's move: adds the steps and puts the drawn rectangle at the new place.
void advancePlane(FlightState& flight);

// A left-to-right plane is done once x > screen width; a right-to-left one
// flies on unseen until x < -(screen width).
bool planeFinished(int direction, int32_t x, int32_t screenWidth);

// The pause before the next plane's first tick: Delay seconds less 999 ms,
// worked out in 64 bits so nothing wraps. A Delay below 1 (a registry that
// holds 0 or a negative number) gives the shortest pause, 1 ms, as Delay 1
// does, so the planes keep coming; a huge Delay is held at the longest
// interval a window timer takes.
uint32_t pauseInterval(int32_t delaySeconds);
inline constexpr uint32_t longestTimerInterval = 0x7FFFFFFF;

// The smallest rectangle that covers both (an empty one adds nothing).
FlightRect unionRect(const FlightRect& a, const FlightRect& b);

// The common part of two rectangles (empty when they do not meet).
FlightRect intersectRect(const FlightRect& a, const FlightRect& b);

// The painted part of the sprite in scene pixels, where the sprite is drawn.
FlightRect paintedInScene(const FlightState& flight);

// Where the passes of the plane at its drawn place work: the painted part,
// cut to the field. scene is in scene pixels; sprite is the same pixels in the
// sprite pictures and in the save buffer. Both are empty when nothing of the
// painted part lies inside the field.
struct PassArea {
    FlightRect scene, sprite;
};
PassArea passArea(const FlightState& flight);

