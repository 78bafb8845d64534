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

// A length of a picture made for density times the design (2: a picture drawn
// at twice the size for scaled displays) at dpi, to the nearest pixel.
int scaledLengthOfPicture(int pictureLength, int dpi, int density);

// Control bounds at dpi. The edges are scaled, not the sizes, so controls
// that touch or line up in the design still do. A width or height of 0
// (a label sized to its text) stays 0.
Bounds scaledBounds(const Bounds& design, int dpi);

// The character height of a font at dpi.
FontDesign scaledFont(const FontDesign& design, int dpi);

// The width a check box or radio button needs to show its whole caption: the
// mark (13 design pixels), half a digit's width between mark and caption, the
// caption itself and a pixel either side of it for the focus frame. Where the
// scaled design width is enough it is kept.
int captionedButtonWidth(int scaledWidth, int captionWidth, int digitWidth, int dpi);

struct WindowPlace {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const WindowPlace&, const WindowPlace&) = default;
};

// A rectangle on the screen, right and bottom exclusive: the work area of the
// main monitor (the screen less the taskbar and other docked bars).
struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The settings dialog's outer bounds at dpi: the designed place and size,
// scaled (at 96 DPI the design itself). Where that place does not lie inside
// the work area, the dialog is moved just far enough to; a dialog larger than
// the work area has its top-left corner at the work area's.
WindowPlace scaledFormPlace(const Unit2::FormDesign& form, int dpi, const ScreenRect& workArea);

// A window of this size centred on the screen (the about box).
WindowPlace centredOnScreen(int width, int height, int screenWidth, int screenHeight);

// A 16 x 16 glyph drawn scaledSize pixels square: which design pixel
// (column or row) the scaled pixel at index shows. Pixels stay hard-edged.
int glyphDesignPixel(int index, int scaledSize);
