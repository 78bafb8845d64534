#include "framework/files.h"

#include <windows.h>

#include <algorithm>

#include "framework/exceptions.h"
#include "framework/file_replacement.h"
#include "framework/paths.h"
#include "framework/scoped.h"
#include "framework/system_version.h"

namespace {
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

// The file system's plain renames, for replacing a file where MoveFileExA
// cannot.
class Win32FileMoves : public FileMoves {
public:
    bool exists(const std::string& path) override
    {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    bool move(const std::string& from, const std::string& to) override
    {
        return MoveFileA(from.c_str(), to.c_str()) != 0;
    }
    bool remove(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }
    std::string spareName(const std::string& target) override
    {
        const std::string directory = directoryOf(target);
        char spare[MAX_PATH + 1] = {};
        // GetTempFileNameA makes the file to reserve its name; the move needs
        // the name free.
        if (!GetTempFileNameA(directory.empty() ? "." : directory.c_str(), "sko", 0, spare))
            return {};
        DeleteFileA(spare);
        return spare;
    }
};

bool replaceFile(const char* temporary, const std::string& path, FileReplacement how)
{
    if (how == FileReplacement::Automatic && !replacesByRenames(systemVersion().platformId)) {
        if (MoveFileExA(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        // A system that does not say what it is may still lack the function.
        if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
            return false;
    }
    Win32FileMoves moves;
    return replaceFileByMoves(moves, temporary, path);
}
}

std::vector<uint8_t> readWholeFile(const std::string& path)
{
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        throw EFOpenError(path);
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file.get(), &sizeHigh);
    if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || sizeHigh != 0 || size > 0x7FFFFFFF)
        throw EFOpenError(path);
    std::vector<uint8_t> bytes(size);
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

void writeFileSafely(const std::string& path, std::span<const uint8_t> bytes, FileReplacement how)
{
    // The temporary file must be in the target's own directory, so the final
    // rename stays on one volume and is a single step.
    // Windows refuses to replace a read-only file; so do we, on every system
    // (Wine's rename would replace it).
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES
        && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        throw EFCreateError(path, ERROR_ACCESS_DENIED);

    const std::string directory = directoryOf(path);
    char temporary[MAX_PATH + 1] = {};
    if (!GetTempFileNameA(directory.empty() ? "." : directory.c_str(), temporaryFilePrefix, 0, temporary))
        throw EFCreateError(path, static_cast<int>(GetLastError()));

    bool complete = false;
    {
        ScopedFile file(CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        complete = file.valid() && writeAll(file.get(), bytes) && FlushFileBuffers(file.get())
            && file.close();
    }
    if (complete)
        complete = replaceFile(temporary, path, how);
    if (!complete) {
        const int why = static_cast<int>(GetLastError());
        DeleteFileA(temporary);
        throw EFCreateError(path, why);
    }
}

std::uint64_t fileTimeNow()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return (std::uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

void removeLeftFiles(const std::string& directory, const char* pattern, LeftFileRule isLeft, std::uint64_t start)
{
    constexpr DWORD notOurs = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    WIN32_FIND_DATAA found{};
    for (FileSearch search(joinPath(directory, pattern), found); search.matched(); search.next(found)) {
        const std::uint64_t written =
            (std::uint64_t(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime;
        if ((found.dwFileAttributes & notOurs) == 0 && isLeft(found.cFileName, written, start))
            DeleteFileA(joinPath(directory, found.cFileName).c_str());
    }
}

void removeLeftTemporaryFiles(const std::string& directory, std::uint64_t start)
{
    removeLeftFiles(directory, temporaryFilePattern, isLeftTemporaryFile, start);
}

bool fileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string systemDirectory()
{
    char buffer[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::string(buffer, length);
}

namespace {
// The wide path's text in the ANSI code page, or empty when a letter of it
// has no ANSI form. The round trip tells, where WC_NO_BEST_FIT_CHARS, which
// NT 4.0 refuses, would not be needed: a best-fit letter ("L" for "\u0141")
// or the default character comes back as another wide letter.
std::string losslessAnsi(const wchar_t* wide)
{
    char ansi[2 * MAX_PATH + 2] = {};
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr) <= 0)
        return {};
    wchar_t back[MAX_PATH + 1] = {};
    if (MultiByteToWideChar(CP_ACP, 0, ansi, -1, back, MAX_PATH + 1) <= 0)
        return {};
    for (std::size_t i = 0;; ++i) {
        if (back[i] != wide[i])
            return {};
        if (wide[i] == 0)
            return ansi;
    }
}

template <class Function>
Function kernelFunction(const char* name)
{
    return lookUp<Function>(GetModuleHandleA("kernel32.dll"), name);
}

// The wide names of the temporary directory, looked up: Windows 95 has only
// stubs of them. wide gets the directory's own.
void readWideTemporaryNames(TemporaryDirectoryNames& names, wchar_t (&wide)[MAX_PATH + 1])
{
    using TempPathW = DWORD(WINAPI*)(DWORD, wchar_t*);
    using ShortPathNameW = DWORD(WINAPI*)(const wchar_t*, wchar_t*, DWORD);
    const auto tempPath = kernelFunction<TempPathW>("GetTempPathW");
    const DWORD length = tempPath ? tempPath(MAX_PATH + 1, wide) : 0;
    if (length == 0 || length > MAX_PATH)
        return;
    names.wideKnown = true;
    names.longInAnsi = losslessAnsi(wide);
    if (!names.longInAnsi.empty())
        return;
    const auto shortPathName = kernelFunction<ShortPathNameW>("GetShortPathNameW");
    wchar_t shortName[MAX_PATH + 1] = {};
    const DWORD shortLength = shortPathName ? shortPathName(wide, shortName, MAX_PATH + 1) : 0;
    if (shortLength > 0 && shortLength <= MAX_PATH)
        names.shortInAnsi = losslessAnsi(shortName);
}

// The user may write there: the directory first leaves the library search,
// where the system allows that (XP SP1 and later). The program's own loads
// name the system directory (systemLibraryPath).
bool becomeCurrentDirectory(const wchar_t* directory)
{
    using DllDirectoryW = BOOL(WINAPI*)(const wchar_t*);
    if (const auto setDllDirectory = kernelFunction<DllDirectoryW>("SetDllDirectoryW"))
        setDllDirectory(L"");
    using CurrentDirectoryW = BOOL(WINAPI*)(const wchar_t*);
    const auto setCurrentDirectory = kernelFunction<CurrentDirectoryW>("SetCurrentDirectoryW");
    return setCurrentDirectory && setCurrentDirectory(directory);
}
}

std::string userTemporaryDirectory()
{
    TemporaryDirectoryNames names;
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length > 0 && length < sizeof buffer)
        names.ansi.assign(buffer, length);
    wchar_t wide[MAX_PATH + 1] = {};
    if (systemVersion().ntFamily())
        readWideTemporaryNames(names, wide);
    const TemporaryDirectoryRoad road = temporaryDirectoryRoad(names);
    if (road.asCurrentDirectory && !becomeCurrentDirectory(wide))
        return {};
    return road.name;
}
