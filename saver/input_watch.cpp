// TForm1's input watch: the application-wide hook that ends the saver on a
// key or mouse button (after the Windows 9x password check), and endSaver.
#include "saver/saver_window.h"

#include <memory>

#include "framework/files.h"
#include "framework/paths.h"
#include "framework/scoped.h"
#include "framework/system_version.h"
#include "saver/containers.h"
#include "saver/input_watch_logic.h"
#include "settings/registry.h"

namespace {
using VerifyScreenSavePwdEntry = BOOL(WINAPI*)(HWND owner);

// The system calls of the input watch, for one ending message.
class SaverInputSystem : public InputWatchSystem {
public:
    SaverInputSystem(HWND saverWindow, std::function<void()> endSaver)
        : saverWindow_(saverWindow), endSaver_(std::move(endSaver))
    {
    }

    bool isWindowsNT() override { return systemVersion().ntFamily(); }

    bool openDesktopKey() override
    {
        desktopKey_ = std::make_unique<RegistryKey>(HKEY_CURRENT_USER);
        return desktopKey_->openKeyForReading("Control Panel\\desktop") == KeyReading::Opened;
    }
    int32_t readUsePassword() override { return desktopKey_->readInteger("ScreenSaveUsePassword"); }
    void closeDesktopKey() override { desktopKey_.reset(); }

    void showCursor(bool show) override { ShowCursor(show ? TRUE : FALSE); }

    bool loadPasswordProvider() override
    {
        // Without a system directory there is none: a bare name would be
        // looked for in the current directory too.
        provider_ = std::make_unique<ScopedLibrary>(systemLibraryPath(systemDirectory(), "PASSWORD.CPL"));
        return static_cast<bool>(*provider_);
    }
    bool hasVerifyEntry() override { return provider_ && provider_->entry("VerifyScreenSavePwd"); }
    bool verifyPassword() override
    {
        auto verify = provider_->entry<VerifyScreenSavePwdEntry>("VerifyScreenSavePwd");
        return verify(saverWindow_) != FALSE;
    }
    void unloadPasswordProvider() override { provider_.reset(); }

    void endSaver() override { endSaver_(); }

private:
    HWND saverWindow_;
    std::function<void()> endSaver_;
    std::unique_ptr<RegistryKey> desktopKey_;
    std::unique_ptr<ScopedLibrary> provider_;
};

// Deletes the images the decode pass made: the decoded image of each
// "In*.sdd" of the container directory, in the image directory. A file that
// cannot be deleted stays and the search goes on; any other "In*.jpg" is the
// user's and is left alone.
void deleteDecodedImages(const std::string& containerDirectory, const std::string& imageDirectory)
{
    WIN32_FIND_DATAA found{};
    for (FileSearch search(joinPath(containerDirectory, containerPattern), found); search.matched();
         search.next(found)) {
        const auto image = decodedImageName(found.cFileName);
        if (!image)
            continue;
        const std::string path = joinPath(imageDirectory, *image);
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && isDeletableImageEntry(attributes))
            DeleteFileA(path.c_str());
    }
}
}

void TForm1::deleteDoubleDensityImages()
{
    // Any that cannot be deleted stays, as the others do.
    for (const std::string& path : doubleDensityImages_.written()) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && isDeletableImageEntry(attributes))
            DeleteFileA(path.c_str());
    }
    doubleDensityImages_.clear();
}

void TForm1::deactivate(const MSG& message)
{
    if (inputWatchBusy || !isEndingMessage(message.message))
        return;
    SaverInputSystem system(handle(), [this] { endSaver(); });
    watchInput(message.message, inputWatchBusy, system);
}

void TForm1::endSaver()
{
    restoreSystemState();
    // Never refused; the main window's close ends the message loop.
    close();
}

// Every way out of the saver passes here: endSaver, the window's destruction
// (a close from another program) and the end of the session. Each part is
// given back once, however often the saver is ended.
void TForm1::restoreSystemState()
{
    ended_ = true;
    stopAllFlights();
    // A display that comes back on after the end starts no flight again.
    stopWatchingDisplayPower();
    displaySleep_ = DisplaySleep{};
    if (saverRunningSet_) {
        saverRunningSet_ = false;
        BOOL previousState = FALSE;
        SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &previousState, 0);
    }
    if (cursorHidden_) {
        cursorHidden_ = false;
        ShowCursor(TRUE);
    }
    deleteDoubleDensityImages();
    if (imagesDecoded_) {
        imagesDecoded_ = false;
        // Beside the containers too when the images went to the temporary
        // directory: the pass may have written some there before it was
        // refused. Never where it wrote none: another saver's are there.
        if (imagePlaces_ == ImagePlaces::WindowsDirectoryFirst)
            deleteDecodedImages(dataDirectory_, dataDirectory_);
        if (!imageDirectory_.empty() && joinPath(imageDirectory_, "") != joinPath(dataDirectory_, "")) {
            deleteDecodedImages(dataDirectory_, imageDirectory_);
            // The program's own folder goes too, once empty, and this run's
            // folder in it first.
            RemoveDirectoryA(imageDirectory_.c_str());
            if (imagePlaces_ == ImagePlaces::OwnFolderOnly)
                RemoveDirectoryA(directoryOf(imageDirectory_.substr(0, imageDirectory_.size() - 1)).c_str());
        }
    }
}
