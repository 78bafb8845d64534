// The fake desktop capture of the settings dialog: after an explanation the
// dialog hides for 7 seconds, copies the whole screen into ImFake and stores
// it as "screen.bmp" in the Windows directory.
#include "dialog/settings_dialog.h"

#include "dialog/dialog_texts.h"
#include "framework/files.h"
#include "framework/paths.h"
#include "imaging/bitmap_file.h"
#include "settings/windows_directory.h"

namespace {

constexpr UINT waitBeforeHidingMs = 200;
constexpr UINT hiddenMs = 7000;

std::string fakeDesktopFile()
{
    return dataFilePath("screen.bmp");
}

}

void TForm2::RadfakeClick()
{
    fakeDesktopPath = fakeDesktopFile();
    if (!fileExists(fakeDesktopPath))
        promptFakeDesktopCapture();
}

void TForm2::Button1Click()
{
    fakeDesktopPath = fakeDesktopFile();
    promptFakeDesktopCapture();
}

void TForm2::promptFakeDesktopCapture()
{
    captureRun_.begin([this] {
        // However the box is dismissed, the capture follows: there is no cancel.
        MessageBoxA(handle(), dialog_text::capturePrompt, dialog_text::informationCaption,
                    MB_ICONINFORMATION | MB_OK);
        hideOnNextTick = true;
        Timer1.setInterval(waitBeforeHidingMs);
        Timer1.setEnabled(true);
    });
}

void TForm2::Timer1Timer()
{
    if (hideOnNextTick) {
        captureRun_.proceed([this] {
            hideOnNextTick = false;
            Timer1.setInterval(hiddenMs);
            ShowWindow(handle(), SW_HIDE);
        });
        return;
    }
    Timer1.setEnabled(false);
    captureRun_.finish([this] {
        try {
            captureFakeDesktop();
        } catch (...) {
            // The dialog must come back even when the picture cannot be
            // stored; the error box then reports why, over it.
            show(SW_SHOW);
            SetForegroundWindow(handle());
            throw;
        }
        show(SW_SHOW);
        SetForegroundWindow(handle());
        MessageBoxA(handle(), dialog_text::captureDone, dialog_text::informationCaption,
                    MB_ICONINFORMATION | MB_OK);
    });
}

void TForm2::captureFakeDesktop()
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    ImFake.resize(width, height);
    {
        ScopedGetDC screen(GetDesktopWindow());
        BitBlt(ImFake.canvas(), 0, 0, width, height, screen, 0, 0, SRCCOPY);
    }
    // The old file is not deleted first: the new picture replaces it only
    // once it is complete, so a failed write keeps the last good capture.
    writeFileSafely(fakeDesktopPath, writeBitmapFile(ImFake.toPicture()));
}
