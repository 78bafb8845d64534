// The 16 x 16 glyphs of the dialog's buttons, drawn as text: one character a
// pixel, '.' transparent. Pure.
#pragma once
#include <array>
#include <cstdint>
#include <optional>

#include "dialog/dialog_layout.h"

inline constexpr int glyphSize = 16;

struct Glyph {
    std::array<const char*, glyphSize> rows;
};

// A red arrow pointing right ("More Software").
inline constexpr Glyph arrowRightGlyph{{
    "................",
    "................",
    "........k.......",
    "........kk......",
    "........krk.....",
    "........krrk....",
    ".kkkkkkkkrrrk...",
    ".krrrrrrrrrrrk..",
    ".krrrrrrrrrrrrk.",
    ".krrrrrrrrrrrk..",
    ".kkkkkkkkrrrk...",
    "........krrk....",
    "........krk.....",
    "........kk......",
    "........k.......",
    "................",
}};

// A green check mark ("OK").
inline constexpr Glyph checkMarkGlyph{{
    "................",
    "................",
    "................",
    "............g...",
    "...........gg...",
    "..........ggg...",
    ".........ggg....",
    "..g.....ggg.....",
    "..gg...ggg......",
    "..ggg.ggg.......",
    "...ggggg........",
    "....ggg.........",
    ".....g..........",
    "................",
    "................",
    "................",
}};

// 0x00RRGGBB of a glyph character; nullopt for '.' (transparent).
std::optional<uint32_t> glyphColour(char pixel);

// The disabled look of a glyph: its shape in dark grey ('d') over a white
// ('w') copy moved one pixel right and down, as buttons grey out their pictures.
Glyph disabledGlyph(const Glyph& glyph, std::array<std::array<char, glyphSize + 1>, glyphSize>& storage);

const Glyph* glyphFor(GlyphKind kind);
