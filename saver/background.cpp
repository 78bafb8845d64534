// paintBackground: the scene's first picture, either a copy of the live
// desktop or the stored fake desktop picture "screen.bmp" from the Windows
// directory, made once from the stock picture "screen.jpg" when it is missing.
#include <windows.h>

#include <exception>
#include <memory>
#include <string>

#include "framework/application.h"
#include "framework/exceptions.h"
#include "framework/files.h"
#include "framework/paths.h"
#include "framework/scoped.h"
#include "framework/surface.h"
#include "imaging/bitmap_file.h"
#include "saver/saver_window.h"
#include "settings/settings.h"

namespace {

// Stores the scene's picture as the fake desktop picture: at its own size, 24
// bits per pixel (8 for a greyscale JPEG). False when the Windows directory
// refuses it (a standard user's, on a system that does not redirect the
// write): the scene keeps the picture for this run. Any other failure, a full
// disk among them, is raised.
bool storeFakeDesktop(SceneSurface& scene, const std::string& picturePath)
{
    try {
        scene.saveToFile(picturePath);
        return true;
    } catch (const EFCreateError& error) {
        if (!isRefusedWrite(error.errorCode()))
            throw;
        return false;
    }
}

}  // namespace

void TForm1::paintBackground()
{
    if (!saverSettings.Fake) {
        paintLiveDesktop();
        return;
    }
    const std::string picturePath = joinPath(dataDirectory_, "screen.bmp");
    if (!fileExists(picturePath)) {
        paintStockPicture();   // "Cannot open file <screen.jpg>" when it is missing
        if (!storeFakeDesktop(imdest, picturePath))
            return;
    }
    // Drawn at its own size from the primary monitor's top-left corner, never
    // scaled: a larger picture is cut at the window's edges, a smaller one
    // leaves the window's background colour around it.
    try {
        imdest.assignBitmap(readBitmapFile(readWholeFile(picturePath)));
    } catch (const std::exception&) {
        paintStockInsteadOfDamaged(std::current_exception());
    }
}

// The stock picture, at its own size, as the scene's picture.
void TForm1::paintStockPicture()
{
    Image_Background_Jpeg.assignJpeg(std::make_unique<JpegImage>(readWholeFile(joinPath(dataDirectory_, "screen.jpg"))));
    imdest.assignBitmap(convertJpegToBitmap(*Image_Background_Jpeg.jpeg()));
}

// A "screen.bmp" that cannot be read is reported, and the stock picture shown
// for this run; the user's file stays as it is. Without a readable stock
// picture either, the failure ends the start-up.
void TForm1::paintStockInsteadOfDamaged(const std::exception_ptr& damaged)
{
    try {
        paintStockPicture();
    } catch (...) {
        std::rethrow_exception(damaged);
    }
    Application::instance().showException(damaged, handle());
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
    const RowSpan uncopied = copyInBands(height, desktopCopyBandRows(width), [&](int32_t top, int32_t rows) {
        return BitBlt(scene, 0, top, width, rows, screen, source.x, source.y + top, SRCCOPY) != FALSE;
    });
    // What no copy reached gets the white of a first use; the bands copied
    // keep the desktop.
    if (!uncopied.empty() && firstPicture)
        PatBlt(scene, 0, uncopied.top, width, uncopied.bottom - uncopied.top, WHITENESS);
    imdest.changed();
}
