// The dialogs' designed pixels at the system's DPI: every length designed at
// 96 pixels per inch grows by DPI / 96, so the controls, their fonts, the
// button glyphs and the backdrop keep their proportions on a scaled display.
// At 96 DPI every result is the design itself. Pure.
#pragma once
#include "dialog/dialog_layout.h"

inline constexpr int designDpi = 96;

// A designed length at dpi, rounded to the nearest pixel (halves away from
// zero). A dpi the system could not tell (0 or less) counts as 96.
int scaledLength(int designPixels, int dpi);

// Control bounds at dpi. The edges are scaled, not the sizes, so controls
// that touch or line up in the design still do. A width or height of 0
// (a label sized to its text) stays 0.
Bounds scaledBounds(const Bounds& design, int dpi);

// The character height of a font at dpi.
FontDesign scaledFont(const FontDesign& design, int dpi);

struct WindowPlace {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const WindowPlace&, const WindowPlace&) = default;
};

// The settings dialog's outer bounds at dpi on a screen of the given size:
// place and size scaled; a scaled dialog that would reach past the screen's
// right or bottom edge is moved left or up until it fits (never past the
// top-left corner). At 96 DPI the designed place, whatever the screen.
WindowPlace scaledFormPlace(const Unit2::FormDesign& form, int dpi, int screenWidth, int screenHeight);

// A window of this size centred on the screen (the about box).
WindowPlace centredOnScreen(int width, int height, int screenWidth, int screenHeight);

// A 16 x 16 glyph drawn scaledSize pixels square: which design pixel
// (column or row) the scaled pixel at index shows. Pixels stay hard-edged.
int glyphDesignPixel(int index, int scaledSize);
