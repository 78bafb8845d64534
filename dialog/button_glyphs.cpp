#include "dialog/button_glyphs.h"

std::optional<uint32_t> glyphColour(char pixel)
{
    switch (pixel) {
    case 'k': return 0x800000;   // dark red outline
    case 'r': return 0xFF0000;   // red
    case 'g': return 0x008000;   // green
    case 'd': return 0x808080;   // disabled grey
    case 'w': return 0xFFFFFF;   // disabled highlight
    default: return std::nullopt;
    }
}

Glyph disabledGlyph(const Glyph& glyph, std::array<std::array<char, glyphSize + 1>, glyphSize>& storage)
{
    for (auto& row : storage) {
        row.fill('.');
        row[glyphSize] = '\0';
    }
    for (int y = 0; y < glyphSize; ++y)
        for (int x = 0; x < glyphSize; ++x)
            if (glyph.rows[y][x] != '.' && x + 1 < glyphSize && y + 1 < glyphSize)
                storage[y + 1][x + 1] = 'w';
    for (int y = 0; y < glyphSize; ++y)
        for (int x = 0; x < glyphSize; ++x)
            if (glyph.rows[y][x] != '.')
                storage[y][x] = 'd';
    Glyph disabled{};
    for (int y = 0; y < glyphSize; ++y)
        disabled.rows[y] = storage[y].data();
    return disabled;
}

const Glyph* glyphFor(GlyphKind kind)
{
    switch (kind) {
    case GlyphKind::ArrowRight: return &arrowRightGlyph;
    case GlyphKind::CheckMark: return &checkMarkGlyph;
    case GlyphKind::None: return nullptr;
    }
    return nullptr;
}
