// TForm1: building the catalogue and choosing the next plane, whose two
// images become the sprite bitmaps the flight draws.
#include "saver/saver_window.h"

#include <memory>

#include "framework/files.h"
#include "settings/settings.h"

namespace {

// Reads a plane image into its holder (its header only).
void loadPlaneImage(SceneSurface& holder, const std::string& path)
{
    holder.assignJpeg(std::make_unique<JpegImage>(readWholeFile(path)));
}

} // namespace

void TForm1::buildCatalogue()
{
    catalogue_.build(dataPath_);
}

void TForm1::selectNextPlane()
{
    SeededUniformSource random(clockSeed());   // a new seed for every choice
    const int number = selection_.chooseNext(enabledPlaneTypes(saverSettings), saverSettings.Random, random);
    const PlaneSlot& slot = catalogue_.slot(number);

    loadPlaneImage(Image_Read_Black, slot.blackImage);
    loadPlaneImage(Image_Read_White, slot.whiteImage);
    // Decoded black first, then white; given in the scene's format, so
    // starting the plane has nothing left to convert.
    const Picture& colours = convertJpegToBitmap(*Image_Read_Black.jpeg());
    const Picture& mask = convertJpegToBitmap(*Image_Read_White.jpeg());
    assignSprites(flightSurfaces_, colours, mask);
}
