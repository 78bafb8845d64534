// paintBackground: the scene's first picture, either a copy of the live
// desktop or the stored fake desktop picture "screen.bmp" from the data path,
// made once from the stock picture "screen.jpg" when it is missing.
#include <windows.h>

#include <string>

#include "framework/exceptions.h"
#include "framework/scoped.h"
#include "framework/surface.h"
#include "saver/saver_window.h"
#include "settings/settings.h"

namespace {

bool fileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Decodes the stock picture into the scene and stores it as the fake desktop
// picture: at its own size, 24 bits per pixel (8 for a greyscale JPEG). The
// scene keeps the stock picture even when the file cannot be written.
void makeFakeDesktopFromStock(SceneSurface& scene, SceneSurface& jpegHolder, const std::string& stockPath,
                              const std::string& picturePath)
{
    jpegHolder.loadFromFile(stockPath);   // "Cannot open file <stockPath>" when it is missing
    JpegImage* stock = jpegHolder.jpeg();
    if (!stock)
        throw EInvalidGraphic();
    scene.assignBitmap(convertJpegToBitmap(*stock));
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
    imdest.loadFromFile(picturePath);
}

void TForm1::paintLiveDesktop()
{
    // The scene has no picture yet: its first use gives it a white bitmap of
    // the window's size in the display's format, which the copy then fills.
    // The desktop's device context spans every monitor in screen coordinates.
    ScopedGetDC screen(GetDesktopWindow());
    HDC scene = imdest.canvas();
    const ScreenPoint& source = placement_.desktopSource;
    BitBlt(scene, 0, 0, imdest.width(), imdest.height(), screen, source.x, source.y, SRCCOPY);
    imdest.changed();
}
