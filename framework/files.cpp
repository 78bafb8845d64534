#include "framework/files.h"

#include <windows.h>

#include <algorithm>

#include "framework/exceptions.h"
#include "framework/paths.h"

namespace {
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    bool close()
    {
        if (!valid())
            return true;
        const bool closed = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }
private:
    HANDLE handle_;
};

bool writeAll(HANDLE file, std::span<const uint8_t> bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes = bytes.subspan(written);
    }
    return true;
}
}

std::vector<uint8_t> readWholeFile(const std::string& path)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        throw EFOpenError(path);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF)
        throw EFOpenError(path);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(bytes.size() - done);
        if (!ReadFile(file.get(), bytes.data() + done, want, &got, nullptr) || got == 0)
            throw EReadError();
        done += got;
    }
    return bytes;
}

void writeFileSafely(const std::string& path, std::span<const uint8_t> bytes)
{
    // The temporary file must be in the target's own directory, so the final
    // rename stays on one volume and is a single step.
    // Windows refuses to replace a read-only file; so do we, on every system
    // (Wine's rename would replace it).
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES
        && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        throw EFCreateError(path);

    const std::string directory = directoryOf(path);
    char temporary[MAX_PATH + 1] = {};
    if (!GetTempFileNameA(directory.empty() ? "." : directory.c_str(), "sky", 0, temporary))
        throw EFCreateError(path);

    bool complete = false;
    {
        FileHandle file(CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        complete = file.valid() && writeAll(file.get(), bytes) && FlushFileBuffers(file.get())
            && file.close();
    }
    if (complete)
        complete = MoveFileExA(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!complete) {
        DeleteFileA(temporary);
        throw EFCreateError(path);
    }
}

std::string systemDirectory()
{
    char buffer[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::string(buffer, length);
}
