// The decode pass over the Windows directory and the decoding of one
// container, on the Win32 file API. The bytes are moved by transformContainer.
#include <windows.h>

#include "framework/exceptions.h"
#include "saver/containers.h"

namespace {

[[noreturn]] void throwLastError()
{
    throw EInOutError(static_cast<int>(GetLastError()));
}

// An open file that is closed once: explicitly on the normal path, where a
// failing close is an error, or quietly when an error is already on its way.
class ContainerFile {
public:
    explicit ContainerFile(HANDLE handle) : handle_(handle)
    {
        if (handle_ == INVALID_HANDLE_VALUE)
            throwLastError();
    }
    ~ContainerFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    ContainerFile(const ContainerFile&) = delete;
    ContainerFile& operator=(const ContainerFile&) = delete;

    std::size_t read(std::span<char> buffer)
    {
        DWORD got = 0;
        if (!ReadFile(handle_, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            throwLastError();
        return got;
    }
    std::size_t write(std::span<const char> bytes)
    {
        DWORD written = 0;
        if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            throwLastError();
        return written;
    }
    void close()
    {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        if (!CloseHandle(handle))
            throwLastError();
    }

private:
    HANDLE handle_;
};

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

class FileSearch {
public:
    FileSearch(const std::string& pattern, WIN32_FIND_DATAA& found)
        : handle_(FindFirstFileA(pattern.c_str(), &found)) {}
    ~FileSearch()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            FindClose(handle_);
    }
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;
    bool matched() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool next(WIN32_FIND_DATAA& found) { return FindNextFileA(handle_, &found) != FALSE; }

private:
    HANDLE handle_;
};

} // namespace

void decodeImageContainer(const std::string& containerPath)
{
    // Opened with write access as well, so a read-only container is refused;
    // it is only ever read.
    refuseReadOnly(containerPath);
    ContainerFile container(CreateFileA(containerPath.c_str(), GENERIC_READ | GENERIC_WRITE, shareReadWrite,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));

    const std::string imagePath = decodedImagePath(containerPath);
    // A container that is itself named ".jpg" would be emptied by creating
    // its own decoded image over it.
    if (lstrcmpiA(imagePath.c_str(), containerPath.c_str()) == 0)
        throw EInOutError(ERROR_ACCESS_DENIED);

    refuseReadOnly(imagePath);
    ContainerFile image(CreateFileA(imagePath.c_str(), GENERIC_READ | GENERIC_WRITE, shareReadWrite, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));

    transformContainer([&](std::span<char> buffer) { return container.read(buffer); },
                       [&](std::span<const char> bytes) { return image.write(bytes); });

    container.close();
    image.close();
}

void decodeImageContainers(const std::string& directory)
{
    WIN32_FIND_DATAA found;
    FileSearch search(directory + "\\" + containerPattern, found);
    if (!search.matched())
        return;
    do {
        // Only what endSaver will delete again: no match by a short name.
        if ((found.dwFileAttributes & skippedAttributes) == 0 && isContainerName(found.cFileName))
            decodeImageContainer(directory + "\\" + found.cFileName);
    } while (search.next(found));
}
