// The decode pass over the Windows directory and the decoding of one
// container, on the Win32 file API. The bytes are moved by transformContainer.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "framework/scoped.h"
#include "framework/two_threads.h"
#include "saver/containers.h"

namespace {

[[noreturn]] void throwLastError()
{
    throw EInOutError(static_cast<int>(GetLastError()));
}

// The file work of the transform; each failure throws with the system's code.
ScopedFile openOrThrow(HANDLE handle)
{
    if (handle == INVALID_HANDLE_VALUE)
        throwLastError();
    return ScopedFile(handle);
}

std::size_t readSome(ScopedFile& file, std::span<char> buffer)
{
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
        throwLastError();
    return got;
}

std::size_t writeSome(ScopedFile& file, std::span<const char> bytes)
{
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        throwLastError();
    return written;
}

// On the normal path a failing close is an error; when an error is already on
// its way the destructor closes quietly.
void closeOrThrow(ScopedFile& file)
{
    if (!file.close())
        throwLastError();
}

// Windows refuses write access to a read-only file, but Wine run by root
// does not: check the attribute first so the file is refused, and kept as it
// is, the same way everywhere.
void refuseReadOnly(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        throw EInOutError(ERROR_ACCESS_DENIED);
}

constexpr DWORD shareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Entries the decode pass leaves alone.
constexpr DWORD skippedAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

} // namespace

void decodeImageContainer(const std::string& containerPath)
{
    // Only read: a read-only container (as copied from a CD) or a Windows
    // directory the user may not write to still decodes.
    ScopedFile container = openOrThrow(CreateFileA(containerPath.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));

    const std::string imagePath = decodedImagePath(containerPath);
    // A container that is itself named ".jpg" would be emptied by creating
    // its own decoded image over it.
    if (lstrcmpiA(imagePath.c_str(), containerPath.c_str()) == 0)
        throw EInOutError(ERROR_ACCESS_DENIED);

    refuseReadOnly(imagePath);
    ScopedFile image = openOrThrow(CreateFileA(imagePath.c_str(), GENERIC_READ | GENERIC_WRITE, shareReadWrite, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));

    transformContainer([&](std::span<char> buffer) { return readSome(container, buffer); },
                       [&](std::span<const char> bytes) { return writeSome(image, bytes); });

    closeOrThrow(container);
    closeOrThrow(image);
}

namespace {
// The containers the search lists, in its order: the whole search is done
// before the first image appears in the directory.
std::vector<std::string> containersIn(const std::string& directory)
{
    std::vector<std::string> paths;
    WIN32_FIND_DATAA found;
    for (FileSearch search(directory + "\\" + containerPattern, found); search.matched(); search.next(found))
        // Only what endSaver will delete again: no match by a short name.
        if ((found.dwFileAttributes & skippedAttributes) == 0 && isContainerName(found.cFileName))
            paths.push_back(directory + "\\" + found.cFileName);
    return paths;
}
}

void decodeImageContainers(const std::string& directory)
{
    // Most of a container's decoding is the system opening, creating and
    // closing files; two threads overlap that. The first failure in the
    // search's order is the one raised.
    const std::vector<std::string> containers = containersIn(directory);
    forEachOnTwoThreads(containers.size(), [&](std::size_t index) { decodeImageContainer(containers[index]); });
}
