// paintBackground: the scene's first picture, either a copy of the live
// desktop or the stored fake desktop picture "screen.bmp" from the data path,
// made once from the stock picture "screen.jpg" when it is missing.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "framework/files.h"
#include "framework/scoped.h"
#include "framework/surface.h"
#include "imaging/bitmap_file.h"
#include "saver/saver_window.h"
#include "settings/settings.h"

namespace {

// Decodes the stock picture into the scene and stores it as the fake desktop
// picture: at its own size, 24 bits per pixel (8 for a greyscale JPEG). The
// scene keeps the stock picture even when the file cannot be written.
void makeFakeDesktopFromStock(SceneSurface& scene, SceneSurface& jpegHolder, const std::string& stockPath,
                              const std::string& picturePath)
{
    // "Cannot open file <stockPath>" when it is missing.
    jpegHolder.assignJpeg(std::make_unique<JpegImage>(readWholeFile(stockPath)));
    scene.assignBitmap(convertJpegToBitmap(*jpegHolder.jpeg()));
    scene.saveToFile(picturePath);
}

}  // namespace

void TForm1::paintBackground()
{
    if (!saverSettings.Fake) {
        paintLiveDesktop();
        return;
    }
    const std::string picturePath = dataPath_ + "screen.bmp";
    if (!fileExists(picturePath))
        makeFakeDesktopFromStock(imdest, Image_Background_Jpeg, dataPath_ + "screen.jpg", picturePath);
    // Drawn at its own size from the primary monitor's top-left corner, never
    // scaled: a larger picture is cut at the window's edges, a smaller one
    // leaves the window's background colour around it.
    imdest.assignBitmap(readBitmapFile(readWholeFile(picturePath)));
}

void TForm1::paintLiveDesktop()
{
    // The scene has no picture yet: it gets a bitmap of the window's size in
    // the display's format, which the copy fills; the white of a first use
    // would only be painted over.
    // The desktop's device context spans every monitor in screen coordinates.
    ScopedGetDC screen(GetDesktopWindow());
    const bool firstPicture = !imdest.hasBitmap();
    HDC scene = imdest.canvasToCover();
    const ScreenPoint& source = placement_.desktopSource;
    const int width = imdest.width(), height = imdest.height();
    const int band = desktopCopyBandRows(width);
    bool copied = true;
    for (int top = 0; top < height && copied; top += band)
        copied = BitBlt(scene, 0, top, width, std::min(band, height - top), screen, source.x, source.y + top, SRCCOPY);
    if (!copied && firstPicture)
        imdest.fillWhite();   // no copy: the white of a first use
    imdest.changed();
}
