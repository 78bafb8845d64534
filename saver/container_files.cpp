// The decode pass over the Windows directory and the decoding of one
// container, on the Win32 file API. The bytes are moved by transformContainer.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "framework/files.h"
#include "framework/paths.h"
#include "framework/scoped.h"
#include "saver/containers.h"

namespace {

[[noreturn]] void throwLastError()
{
    throw EInOutError(static_cast<int>(GetLastError()));
}

// The file work of the transform; each failure throws with the system's code,
// the container's own (it cannot be opened or read) as EContainerUnreadable.
ScopedFile openContainer(const std::string& path)
{
    HANDLE container = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (container == INVALID_HANDLE_VALUE)
        throw EContainerUnreadable(static_cast<int>(GetLastError()));
    return ScopedFile(container);
}

std::size_t readContainer(ScopedFile& container, std::span<char> buffer)
{
    DWORD got = 0;
    if (!ReadFile(container.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
        throw EContainerUnreadable(static_cast<int>(GetLastError()));
    return got;
}

std::size_t writeSome(ScopedFile& file, std::span<const char> bytes)
{
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        throwLastError();
    // Windows fails a write to a full disk; Wine writes what fits and reports
    // that. Either way the image would be cut short.
    if (written < bytes.size())
        throw EInOutError(ERROR_DISK_FULL);
    return written;
}

// On the normal path a failing close is an error; when an error is already on
// its way the destructor closes quietly.
void closeOrThrow(ScopedFile& file)
{
    if (!file.close())
        throwLastError();
}

// The decoded image's file, created or emptied. A directory in its place is
// a damaged installation and fails as any file error does; a read-only old
// image or a directory that may not be written refuses the image. Windows
// refuses write access to a read-only file, but Wine run by root does not:
// the attribute is checked first so the file is refused, and kept as it is,
// the same way everywhere.
ScopedFile createImage(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            throw EInOutError(ERROR_ACCESS_DENIED);
        if (attributes & FILE_ATTRIBUTE_READONLY)
            throw EImageRefused(ERROR_ACCESS_DENIED);
    }
    HANDLE image = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (image == INVALID_HANDLE_VALUE) {
        const int code = static_cast<int>(GetLastError());
        if (isRefusedWrite(code))
            throw EImageRefused(code);
        throw EInOutError(code);
    }
    return ScopedFile(image);
}

// Where the image of that container goes: beside it, or under the same name
// in imageDirectory.
std::string imagePathFor(const std::string& containerPath, const std::string& imageDirectory)
{
    const std::string beside = decodedImagePath(containerPath);
    if (imageDirectory.empty())
        return beside;
    const std::size_t separator = beside.find_last_of("\\/:");
    return joinPath(imageDirectory, separator == std::string::npos ? beside : beside.substr(separator + 1));
}

// Entries the decode pass leaves alone.
constexpr DWORD skippedAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

} // namespace

void decodeImageContainer(const std::string& containerPath, const std::string& imageDirectory)
{
    // Only read: a read-only container (as copied from a CD) or a Windows
    // directory the user may not write to still decodes.
    ScopedFile container = openContainer(containerPath);

    const std::string imagePath = imagePathFor(containerPath, imageDirectory);
    // A container that is itself named ".jpg" would be emptied by creating
    // its own decoded image over it.
    if (lstrcmpiA(imagePath.c_str(), containerPath.c_str()) == 0)
        throw EInOutError(ERROR_ACCESS_DENIED);

    ScopedFile image = createImage(imagePath);

    try {
        transformContainer([&](std::span<char> buffer) { return readContainer(container, buffer); },
                           [&](std::span<const char> bytes) { return writeSome(image, bytes); });
        closeOrThrow(container);
        closeOrThrow(image);
    } catch (...) {
        // A decoding cut short (a full disk, a read error) leaves no part of
        // an image that could be taken for a whole one.
        image.close();
        DeleteFileA(imagePath.c_str());
        throw;
    }
}

namespace {
// The containers the search lists, in its order: the whole search is done
// before the first image appears in the directory.
std::vector<std::string> containersIn(const std::string& directory)
{
    std::vector<std::string> paths;
    WIN32_FIND_DATAA found;
    for (FileSearch search(joinPath(directory, containerPattern), found); search.matched(); search.next(found))
        // Only what endSaver will delete again: no match by a short name.
        if ((found.dwFileAttributes & skippedAttributes) == 0 && isContainerName(found.cFileName))
            paths.push_back(joinPath(directory, found.cFileName));
    return paths;
}
}

void decodeImageContainers(const std::string& directory, ImagePlaces places, std::string& imageDirectory,
                           UnreadContainers& unread)
{
    const std::vector<std::string> containers = containersIn(directory);
    decodeWhereTaken(
        directory, [&] { return temporaryImageDirectory(directory, places); },
        [&](const std::string& into) {
            unread.clear();
            for (const std::string& container : containers) {
                try {
                    decodeImageContainer(container, into);
                } catch (const EContainerUnreadable&) {
                    unread.add(container, std::current_exception());
                }
            }
        },
        places, imageDirectory);
}

std::string decodeImageContainers(const std::string& directory, UnreadContainers& unread)
{
    std::string imageDirectory;
    decodeImageContainers(directory, ImagePlaces::WindowsDirectoryFirst, imageDirectory, unread);
    return imageDirectory;
}

namespace {
bool isDirectory(const std::string& path)
{
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
}

namespace {
// The images a killed run left in one folder, and the folder once empty (the
// removal fails, and the folder stays, while anything else is in it).
void removeLeftImageFolder(const std::string& folder, std::uint64_t start)
{
    removeLeftFiles(folder, decodedImagePattern, isLeftDecodedImage, start);
    RemoveDirectoryA(folder.c_str());
}

std::vector<std::string> runImageFoldersIn(const std::string& folder)
{
    std::vector<std::string> runs;
    WIN32_FIND_DATAA found;
    for (FileSearch search(joinPath(folder, "*"), found); search.matched(); search.next(found))
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && isRunImageFolderName(found.cFileName))
            runs.push_back(joinPath(folder, found.cFileName));
    return runs;
}

// The folder, made when missing; false when it can be neither made nor found.
bool madeOrThere(const std::string& folder)
{
    return CreateDirectoryA(folder.c_str(), nullptr) || isDirectory(folder);
}
}

void removeLeftDecodedImages(const std::string& windowsDirectory, std::uint64_t start)
{
    removeLeftFiles(windowsDirectory, decodedImagePattern, isLeftDecodedImage, start);
    const std::string temporary = userTemporaryDirectory();
    if (!isUsableTemporaryDirectory(temporary, windowsDirectory, isDirectory(temporary)))
        return;
    const std::string folder = joinPath(temporary, temporaryImageFolder);
    if (!isDirectory(folder))
        return;
    for (const std::string& run : runImageFoldersIn(folder))
        removeLeftImageFolder(run, start);
    removeLeftImageFolder(folder, start);
}

std::string temporaryImageDirectory(const std::string& windowsDirectory, ImagePlaces places)
{
    const std::string temporary = userTemporaryDirectory();
    if (!isUsableTemporaryDirectory(temporary, windowsDirectory, isDirectory(temporary)))
        return {};
    std::string folder = joinPath(temporary, temporaryImageFolder);
    if (!madeOrThere(folder))
        return {};
    if (places == ImagePlaces::OwnFolderOnly) {
        const std::string run = joinPath(folder, runImageFolderName(GetCurrentProcessId()));
        // A run ending meanwhile may have removed the program's folder, then empty.
        if (!madeOrThere(run) && !(madeOrThere(folder) && madeOrThere(run)))
            return {};
        folder = run;
    }
    return joinPath(folder, "");
}
