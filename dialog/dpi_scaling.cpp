#include "dialog/dpi_scaling.h"

#include <algorithm>
#include <cstdint>

#include "dialog/button_glyphs.h"

namespace {

int effectiveDpi(int dpi)
{
    return dpi > 0 ? dpi : designDpi;
}

}

int scaledLength(int designPixels, int dpi)
{
    const int64_t product = static_cast<int64_t>(designPixels) * effectiveDpi(dpi);
    const int64_t half = designDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / designDpi : -((-product + half) / designDpi));
}

int scaledLengthOfPicture(int pictureLength, int dpi, int density)
{
    const int64_t per = int64_t{designDpi} * std::max(density, 1);
    return static_cast<int>((static_cast<int64_t>(std::max(pictureLength, 0)) * effectiveDpi(dpi) + per / 2) / per);
}

Bounds scaledBounds(const Bounds& design, int dpi)
{
    Bounds scaled;
    scaled.left = scaledLength(design.left, dpi);
    scaled.top = scaledLength(design.top, dpi);
    if (design.width != 0)
        scaled.width = scaledLength(design.left + design.width, dpi) - scaled.left;
    if (design.height != 0)
        scaled.height = scaledLength(design.top + design.height, dpi) - scaled.top;
    return scaled;
}

FontDesign scaledFont(const FontDesign& design, int dpi)
{
    FontDesign scaled = design;
    scaled.pixelHeight = scaledLength(design.pixelHeight, dpi);
    return scaled;
}

int captionedButtonWidth(int scaledWidth, int captionWidth, int digitWidth, int dpi)
{
    constexpr int markDesignWidth = 13;
    constexpr int focusFrame = 1;
    const int needed = scaledLength(markDesignWidth, dpi) + digitWidth / 2 + focusFrame + captionWidth + focusFrame;
    return std::max(scaledWidth, needed);
}

WindowPlace scaledFormPlace(const Unit2::FormDesign& form, int dpi, const ScreenRect& workArea)
{
    WindowPlace place{scaledLength(form.left, dpi), scaledLength(form.top, dpi), scaledLength(form.width, dpi),
                      scaledLength(form.height, dpi)};
    // The right and bottom edge first, so the top-left corner wins where the
    // dialog is larger than the work area.
    place.left = std::max(workArea.left, std::min(place.left, workArea.right - place.width));
    place.top = std::max(workArea.top, std::min(place.top, workArea.bottom - place.height));
    return place;
}

WindowPlace centredOnScreen(int width, int height, int screenWidth, int screenHeight)
{
    return {(screenWidth - width) / 2, (screenHeight - height) / 2, width, height};
}

int glyphDesignPixel(int index, int scaledSize)
{
    if (scaledSize <= 0)
        return 0;
    const int pixel = static_cast<int>(static_cast<int64_t>(index) * glyphSize / scaledSize);
    return std::clamp(pixel, 0, glyphSize - 1);
}
