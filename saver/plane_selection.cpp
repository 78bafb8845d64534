// TForm1: building the catalogue and choosing the next plane, whose two
// images become the sprite bitmaps the flight draws.
#include "saver/saver_window.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "framework/application.h"
#include "framework/files.h"
#include "framework/paths.h"
#include "imaging/picture_scaling.h"
#include "saver/containers.h"
#include "settings/settings.h"

namespace {

std::string fileNameOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

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
    if (flight_.scale.enlarged())
        return loadScaledSprites(slot);
    loadPlaneImage(Image_Read_Black, slot.blackImage);
    loadPlaneImage(Image_Read_White, slot.whiteImage);
    // Decoded black first, then white; given in the scene's format, so
    // starting the plane has nothing left to convert.
    const Picture& colours = convertJpegToBitmap(*Image_Read_Black.jpeg());
    const Picture& mask = convertJpegToBitmap(*Image_Read_White.jpeg());
    spritesPainted_ = assignSprites(flightSurfaces_, colours, mask);
}

// The image decoded from the double-density container of a catalogue image,
// once a run, into the directory of the other decoded images; its path.
std::string TForm1::decodedDoubleDensityImage(const std::string& imagePath)
{
    const std::string container = joinPath(dataDirectory_, doubleDensityContainerName(fileNameOf(imagePath)));
    const std::string image = joinPath(imageDirectory_, fileNameOf(decodedImagePath(container)));
    return doubleDensityImages_.decoded(image, [&] { decodeImageContainer(container, imageDirectory_); });
}

// The slot's pictures made for twice the density into the JPEG holders;
// returns their scale (2), or 1 where they are not installed or cannot be
// read and today's pictures took their place.
int TForm1::loadDoubleDensityImages(const PlaneSlot& slot)
{
    try {
        loadPlaneImage(Image_Read_Black, decodedDoubleDensityImage(slot.blackImage));
        loadPlaneImage(Image_Read_White, decodedDoubleDensityImage(slot.whiteImage));
        convertJpegToBitmap(*Image_Read_Black.jpeg());
        convertJpegToBitmap(*Image_Read_White.jpeg());
        return doubleDensity;
    } catch (const std::exception&) {
        loadPlaneImage(Image_Read_Black, slot.blackImage);
        loadPlaneImage(Image_Read_White, slot.whiteImage);
        return 1;
    }
}

// On a scaled display: the pictures at the display's scale, made once when
// the plane is chosen. At 200 % the double-density pictures are used as they
// are; at any other scale they (or, without them, today's pictures) are
// scaled with their hard mask kept exact.
void TForm1::loadScaledSprites(const PlaneSlot& slot)
{
    const int pictureScale = loadDoubleDensityImages(slot);
    const Picture& colours = convertJpegToBitmap(*Image_Read_Black.jpeg());
    const Picture& mask = convertJpegToBitmap(*Image_Read_White.jpeg());
    const int32_t width = scaledPictureLength(mask.width, flight_.scale, pictureScale);
    const int32_t height = scaledPictureLength(mask.height, flight_.scale, pictureScale);
    if (width == mask.width && height == mask.height && colours.width == width && colours.height == height) {
        spritesPainted_ = assignSprites(flightSurfaces_, colours, mask, spriteRect(flight_));
        return;
    }
    const MaskedPair scaled = scaledMaskedPair(mask, colours, width, height);
    spritesPainted_ = assignSprites(flightSurfaces_, scaled.onBlack, scaled.onWhite, spriteRect(flight_));
}
