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

// The display's scale. Every size and step above is in pixels at 96 DPI; on a
// display of more pixels per inch (the primary monitor's, 120 at 125 %, 192 at
// 200 %) the planes are drawn and moved at dpi / 96 times them, so that they
// look as big and fly as fast as on a 96-DPI screen of the same physical size.
// The tick intervals stay. At 96 DPI every result is the design itself.
inline constexpr int32_t flightDesignDpi = 96;
// Windows offers at most 500 %; a larger (or a damaged) setting is held there.
inline constexpr int32_t largestFlightDpi = 480;

struct FlightScale {
    int32_t dpi = flightDesignDpi;
    bool enlarged() const { return dpi > flightDesignDpi; }
    // A design length at this scale, to the nearest pixel (halves away from zero).
    int32_t length(int32_t design) const;
    friend bool operator==(const FlightScale&, const FlightScale&) = default;
};

// The scale for the primary monitor's DPI: never below the design (a display
// of fewer than 96 pixels per inch keeps the design's pixels), never above
// largestFlightDpi.
FlightScale flightScaleFor(int32_t dpi);

// The flights' sizes at a scale.
struct FlightGeometry {
    int32_t spriteWidth = ::spriteWidth, spriteHeight = ::spriteHeight;
    int32_t colourWidth = colourSurfaceWidth, colourHeight = colourSurfaceHeight;
    int32_t saveWidth = saveBufferWidth, saveHeight = saveBufferHeight;
    int32_t startOffset = ::startOffset;
    friend bool operator==(const FlightGeometry&, const FlightGeometry&) = default;
};
FlightGeometry flightGeometry(FlightScale scale);

// A length of a picture made for pictureScale times the design (1 for
// today's pictures, 2 for those made for twice the density) at the scale, to
// the nearest pixel: the size the picture is drawn at.
int32_t scaledPictureLength(int32_t length, FlightScale scale, int32_t pictureScale);

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
    // The display's scale, set once at start: the sprite's size, the steps and
    // the start places follow it.
    FlightScale scale;
    // What the steps at this scale moved beyond whole pixels, in 1/96 of a
    // pixel, carried into the next tick: a step of 22.5 pixels moves 22, 23,
    // 22, 23, ..., never more than a pixel off its exact place.
    int32_t horizontalCarry = 0, verticalCarry = 0;
};

inline FlightRect spriteRect() { return {0, 0, spriteWidth, spriteHeight}; }
inline FlightRect spriteRectAt(int32_t x, int32_t y) { return {x, y, x + spriteWidth, y + spriteHeight}; }
// The sprite rectangle of the flight's scale, at (0, 0) and at (x, y).
FlightRect spriteRect(const FlightState& flight);
FlightRect spriteRectAt(const FlightState& flight, int32_t x, int32_t y);

// The interval of the flight timer of a direction while the plane flies.
uint32_t flyingInterval(int direction);

// n / 2 rounded to the nearest whole number, halves to the even neighbour.
int32_t halfRoundedToEven(int32_t n);

// The first plane of a run: a right-to-left plane starts at the right screen
// edge, a left-to-right one a start offset left of the screen; the height is
// the middle of the screen shifted against the climb (30 ticks' worth).
// The start offset and the shift are scaled.
int32_t firstPlaneStartX(int direction, int32_t screenWidth, FlightScale scale = {});
int32_t firstPlaneStartY(int16_t verticalStep, int32_t screenHeight, FlightScale scale = {});

// Every later plane starts a start offset (scaled) outside the edge it enters from.
int32_t laterPlaneStartX(int direction, int32_t screenWidth, FlightScale scale = {});

// The start height of a later plane: a random row, except that a descending
// plane whose row lies below the middle starts at the top (y = 0), and a
// climbing plane whose row lies above the middle starts just below the bottom
// edge (y = screen height). The middle is the exact half, as a real number.
int32_t randomStartY(int16_t verticalStep, int32_t screenHeight, UniformSource& source);

// Places the plane at (x, y) with the slot's steps: drawn rectangle there.
void placePlane(FlightState& flight, int32_t x, int32_t y, int16_t horizontalStep, int16_t verticalStep);

// One tick's move: adds the steps at the flight's scale and puts the drawn
// rectangle at the new place. After n ticks the plane stands n times the
// scaled step from its start, rounded to the nearest pixel.
void advancePlane(FlightState& flight);

// The whole pixels of one tick's scaled step; carry holds the part of a pixel
// (in 1/96) left over from the ticks before and is updated.
int32_t scaledStep(int16_t designStep, FlightScale scale, int32_t& carry);

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

