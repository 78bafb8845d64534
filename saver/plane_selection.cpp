// TForm1: building the catalogue and choosing the next plane, whose two
// images become the sprite bitmaps the flight draws.
#include "saver/saver_window.h"

#include <exception>
#include <memory>

#include "framework/application.h"
#include "framework/files.h"
#include "framework/paths.h"
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
    // The decoded images are wherever the decode pass could put them.
    catalogue_.build(joinPath(imageDirectory_, ""));
}

void TForm1::selectNextPlane()
{
    // A flight whose pictures cannot be read is set aside for the rest of the
    // run, and the next one is tried. The first failure of this choice is
    // reported once the next plane is ready; it ends the flights only when no
    // enabled flight is left.
    std::exception_ptr failure;
    for (;;) {
        SeededUniformSource random(clockSeed());   // a new seed for every choice
        const int number = selection_.chooseNext(enabledPlaneTypes(saverSettings), saverSettings.Random, random);
        if (number == PlaneSelection::noSlot) {
            // Only a failure of this choice can set aside the last one.
            if (failure)
                std::rethrow_exception(failure);
            return;
        }
        try {
            loadSprites(catalogue_.slot(number));
            break;
        } catch (const std::exception&) {
            selection_.setAside(number);
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        Application::instance().showException(failure, handle());
}

void TForm1::loadSprites(const PlaneSlot& slot)
{
    // A container that could not be read fails its flight as a damaged one does.
    unreadContainers_.raiseFailureFor(slot.blackImage);
    unreadContainers_.raiseFailureFor(slot.whiteImage);
    loadPlaneImage(Image_Read_Black, slot.blackImage);
    loadPlaneImage(Image_Read_White, slot.whiteImage);
    // Decoded black first, then white; given in the scene's format, so
    // starting the plane has nothing left to convert.
    const Picture& colours = convertJpegToBitmap(*Image_Read_Black.jpeg());
    const Picture& mask = convertJpegToBitmap(*Image_Read_White.jpeg());
    spritesPainted_ = assignSprites(flightSurfaces_, colours, mask);
}
