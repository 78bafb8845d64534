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

void TForm1::selectNextPlane(MonitorFlight& monitor)
{
    // A flight whose pictures cannot be read is set aside for the rest of the
    // run, on every monitor, and the next one is tried. The first failure of
    // this choice is reported once the next plane is ready; it ends this
    // monitor's flights only when no enabled flight is left.
    std::exception_ptr failure;
    for (;;) {
        const int number = chooseNextSlot(monitor);
        if (number == PlaneSelection::noSlot) {
            // Only a failure of this choice can set aside the last one.
            if (failure)
                std::rethrow_exception(failure);
            return;
        }
        try {
            loadSprites(monitor, catalogue_.slot(number));
            break;
        } catch (const std::exception&) {
            setAsideEverywhere(number);
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        Application::instance().showException(failure, handle());
}

// The primary's choice is the catalogue's own; a further monitor's passes
// over the planes that fly on the other monitors while others are left.
int TForm1::chooseNextSlot(MonitorFlight& monitor)
{
    SeededUniformSource random(clockSeed());   // a new seed for every choice
    const PlaneTypeFlags enabled = enabledPlaneTypes(saverSettings);
    if (&monitor == &mainFlight_)
        return monitor.selection.chooseNext(enabled, saverSettings.Random, random);
    PlaneSelection::SlotFlags flyingElsewhere{};
    for (MonitorFlight* other : flights()) {
        if (other != &monitor && isSlotNumber(other->selection.currentSlot()))
            flyingElsewhere[other->selection.currentSlot() - 1] = true;
    }
    return monitor.selection.chooseNext(enabled, saverSettings.Random, random, flyingElsewhere);
}

void TForm1::setAsideEverywhere(int slot)
{
    for (MonitorFlight* monitor : flights())
        monitor->selection.setAside(slot);
}

void TForm1::loadSprites(MonitorFlight& monitor, const PlaneSlot& slot)
{
    // A container that could not be read fails its flight as a damaged one does.
    unreadContainers_.raiseFailureFor(slot.blackImage);
    unreadContainers_.raiseFailureFor(slot.whiteImage);
    if (monitor.flight.scale.enlarged())
        return loadScaledSprites(monitor, slot);
    loadPlaneImage(monitor.readBlack, slot.blackImage);
    loadPlaneImage(monitor.readWhite, slot.whiteImage);
    // Decoded black first, then white; given in the scene's format, so
    // starting the plane has nothing left to convert.
    const Picture& colours = convertJpegToBitmap(*monitor.readBlack.jpeg());
    const Picture& mask = convertJpegToBitmap(*monitor.readWhite.jpeg());
    monitor.spritesPainted = assignSprites(monitor.surfaces, colours, mask);
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
int TForm1::loadDoubleDensityImages(MonitorFlight& monitor, const PlaneSlot& slot)
{
    try {
        loadPlaneImage(monitor.readBlack, decodedDoubleDensityImage(slot.blackImage));
        loadPlaneImage(monitor.readWhite, decodedDoubleDensityImage(slot.whiteImage));
        convertJpegToBitmap(*monitor.readBlack.jpeg());
        convertJpegToBitmap(*monitor.readWhite.jpeg());
        return doubleDensity;
    } catch (const std::exception&) {
        loadPlaneImage(monitor.readBlack, slot.blackImage);
        loadPlaneImage(monitor.readWhite, slot.whiteImage);
        return 1;
    }
}

// On a scaled monitor: the pictures at its scale, made once when the plane
// is chosen. At 200 % the double-density pictures are used as they are; at
// any other scale they (or, without them, today's pictures) are scaled with
// their hard mask kept exact.
void TForm1::loadScaledSprites(MonitorFlight& monitor, const PlaneSlot& slot)
{
    const int pictureScale = loadDoubleDensityImages(monitor, slot);
    const Picture& colours = convertJpegToBitmap(*monitor.readBlack.jpeg());
    const Picture& mask = convertJpegToBitmap(*monitor.readWhite.jpeg());
    const FlightScale scale = monitor.flight.scale;
    const int32_t width = scaledPictureLength(mask.width, scale, pictureScale);
    const int32_t height = scaledPictureLength(mask.height, scale, pictureScale);
    const FlightRect sprite = spriteRect(monitor.flight);
    if (width == mask.width && height == mask.height && colours.width == width && colours.height == height) {
        monitor.spritesPainted = assignSprites(monitor.surfaces, colours, mask, sprite);
        return;
    }
    const MaskedPair scaled = scaledMaskedPair(mask, colours, width, height);
    monitor.spritesPainted = assignSprites(monitor.surfaces, scaled.onBlack, scaled.onWhite, sprite);
}
