// Entry point: keeps a single saver on the screen and dispatches on the
// command line's first argument.
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/jpeg_simd.h"
#include "app/password_change.h"
#include "app/running_mark.h"
#include "app/switches.h"
#include "dialog/settings_dialog.h"
#include "framework/application.h"
#include "framework/dpi_awareness.h"
#include "framework/files.h"
#include "saver/containers.h"
#include "saver/saver_window.h"
#include "settings/windows_directory.h"

namespace {
constexpr const char* applicationTitle = "Skyvane!";

void startApplication(HINSTANCE instance)
{
    Application& application = Application::instance();
    application.initialize(instance);
    application.setTitle(applicationTitle);
}

// A run killed while it replaced a file leaves its temporary file beside it,
// in the Windows directory, and a killed saver its decoded images there or in
// its folder in the user's temporary directory; the next start removes them.
// A saver running where this start cannot see its window (another session,
// the secure desktop of a password-protected saver) still needs its images:
// they are no killed run's.
void removeWhatAKilledRunLeft(std::uint64_t started, bool aSaverRuns)
{
    const std::string directory = windowsDirectory();
    removeLeftTemporaryFiles(directory, started);
    if (!aSaverRuns)
        removeLeftDecodedImages(directory, started);
}

void runSaver(HINSTANCE instance, std::uint64_t started)
{
    // Marked before the clean-up, so that a saver starting elsewhere meanwhile
    // finds this one running, and this one finds it.
    const bool anotherSaverRuns = holdRunningSaverMark();
    removeWhatAKilledRunLeft(started, anotherSaverRuns);
    // Before any window: the saver copies and covers every monitor pixel for pixel.
    declareDpiAwareness(DpiAwareness::PerMonitor);
    startApplication(instance);
    // Another saver reads the images in the Windows directory: this one
    // neither rewrites nor deletes them.
    TForm1 saver(anotherSaverRuns ? ImagePlaces::OwnFolderOnly : ImagePlaces::WindowsDirectoryFirst);
    saver.createAndShow();
    Application::instance().run();
}

void runSettingsDialog(HINSTANCE instance)
{
    // Before any window: the dialog scales itself by the system's DPI and
    // captures the screen in physical pixels.
    declareDpiAwareness(DpiAwareness::SystemDpi);
    startApplication(instance);
    TForm2 dialog;
    dialog.createAndShow();
    Application::instance().run();
}
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const std::uint64_t started = fileTimeNow();
    // While a saver window is on the screen every new start ends at once.
    HWND runningSaver = FindWindowA(saverWindowClass, saverWindowTitle);
    if (runningSaver)
        return 0;

    const auto argument = firstArgument(GetCommandLineA());
    if (!argument)
        return 0;

    limitJpegSimdToTheSystem();

    Application::instance().guarded([&] {
        switch (modeForSwitch(*argument)) {
        case SaverMode::Saver:
            runSaver(instance, started);
            break;
        case SaverMode::Configure:
            removeWhatAKilledRunLeft(started, aSaverRunsAnywhere());
            runSettingsDialog(instance);
            break;
        case SaverMode::ChangePassword:
            // The owner is the probe's result, which is always null here.
            changeScreenSaverPassword(runningSaver);
            break;
        case SaverMode::None:
            break;
        }
    });
    return 0;
}
