// TForm1: building the catalogue and choosing the next plane, whose two
// images become the sprite bitmaps the flight draws.
#include "saver/saver_window.h"

#include "framework/exceptions.h"
#include "settings/settings.h"

namespace {

// A new seed from the clock for every choice.
std::uint32_t clockSeed()
{
    LARGE_INTEGER now;
    if (QueryPerformanceCounter(&now))
        return static_cast<std::uint32_t>(now.QuadPart ^ (now.QuadPart >> 32));
    return GetTickCount();
}

// The picture a ".jpg" load put into the holder.
JpegImage& loadedJpeg(SceneSurface& holder, const std::string& path)
{
    JpegImage* jpeg = holder.jpeg();
    if (jpeg == nullptr)
        throw EFOpenError(path);
    return *jpeg;
}

} // namespace

void TForm1::buildCatalogue()
{
    catalogue_.build(dataPath_);
}

void TForm1::selectNextPlane()
{
    SeededUniformSource random(clockSeed());
    const int number = selection_.chooseNext(enabledPlaneTypes(saverSettings), saverSettings.Random, random);
    const PlaneSlot& slot = catalogue_.slot(number);

    Image_Read_Black.loadFromFile(slot.blackImage);
    Image_Read_White.loadFromFile(slot.whiteImage);
    View_Image_Black.assignBitmap(convertJpegToBitmap(loadedJpeg(Image_Read_Black, slot.blackImage)));
    View_Image_White.assignBitmap(convertJpegToBitmap(loadedJpeg(Image_Read_White, slot.whiteImage)));
}
