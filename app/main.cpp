// Entry point: keeps a single saver on the screen and dispatches on the
// command line's first argument.
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/jpeg_simd.h"
#include "app/password_change.h"
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

// The mark a running saver holds for its whole run, seen from every session
// where the system has sessions (Windows 2000 and later: the global name;
// earlier systems know no prefix and refuse the backslash).
const char* runningSaverMarkName()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    const bool sessions = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT
        && version.dwMajorVersion >= 5;
    return sessions ? "Global\\Skyvane saver running" : "Skyvane saver running";
}

// Holds the mark for the rest of the process, which releases it however the
// run ends; true when another saver held it already. On the NT family anyone may open it (no access list): a saver of
// another account, started while this one runs, holds it too, so the mark
// stays while either runs. Windows 9x has no access lists and refuses the
// calls that make one; they are looked up, as Windows 95 may lack them.
bool holdRunningSaverMark()
{
    using InitializeDescriptor = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD);
    using SetDescriptorDacl = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
    HMODULE advapi32 = GetModuleHandleA("advapi32.dll");
    const auto initialize = advapi32 ? reinterpret_cast<InitializeDescriptor>(reinterpret_cast<void*>(
                                           GetProcAddress(advapi32, "InitializeSecurityDescriptor")))
                                     : nullptr;
    const auto setDacl = advapi32 ? reinterpret_cast<SetDescriptorDacl>(reinterpret_cast<void*>(
                                        GetProcAddress(advapi32, "SetSecurityDescriptorDacl")))
                                  : nullptr;
    SECURITY_DESCRIPTOR descriptor{};
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (initialize && setDacl && initialize(&descriptor, SECURITY_DESCRIPTOR_REVISION)
        && setDacl(&descriptor, TRUE, nullptr, FALSE))
        attributes.lpSecurityDescriptor = &descriptor;
    const char* name = runningSaverMarkName();
    // Refused the full access that making it asks for, the saver still keeps
    // the mark there while it runs by holding it open for waiting.
    if (CreateMutexA(&attributes, FALSE, name))
        return GetLastError() == ERROR_ALREADY_EXISTS;
    OpenMutexA(SYNCHRONIZE, FALSE, name);
    return true;
}

bool aSaverRunsAnywhere()
{
    HANDLE mark = OpenMutexA(SYNCHRONIZE, FALSE, runningSaverMarkName());
    if (!mark)
        return GetLastError() == ERROR_ACCESS_DENIED;   // another account's saver
    CloseHandle(mark);
    return true;
}

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
    removeWhatAKilledRunLeft(started, holdRunningSaverMark());
    // Before any window: the saver copies and covers every monitor pixel for pixel.
    declareDpiAwareness(DpiAwareness::PerMonitor);
    startApplication(instance);
    TForm1 saver;
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
