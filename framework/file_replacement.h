// Replacing a file by a finished temporary file without MoveFileExA, which
// Windows 95, 98 and ME export only as a stub that fails: the old file is moved
// aside, the new one moved in, and the old one moved back should that fail, so
// a good file is never lost. Also the names of the temporary files the
// program writes before they take a file's place, so that the next start can
// remove those that a killed run left. Pure: the moves are behind an interface.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

class FileMoves {
public:
    virtual ~FileMoves() = default;
    virtual bool exists(const std::string& path) = 0;
    // Renames a file; fails when the destination exists (MoveFileA).
    virtual bool move(const std::string& from, const std::string& to) = 0;
    virtual bool remove(const std::string& path) = 0;
    // A name in the target's directory that no file has yet, for the old file
    // while the new one is moved in; empty when none can be found.
    virtual std::string spareName(const std::string& target) = 0;
};

// Whether a file is replaced by these renames on the platform of that id
// (GetVersionExA's dwPlatformId): on Windows 95, 98 and ME (id 1), whose
// MoveFileExA is a stub that fails, whatever error code that stub reports.
inline constexpr unsigned long windows9xPlatformId = 1;
bool replacesByRenames(unsigned long platformId);

// Puts the file at replacement in place of target. True when target now holds
// the replacement's contents. On false, target holds what it held before (or
// is still missing) and the replacement is left for the caller to delete.
bool replaceFileByMoves(FileMoves& files, const std::string& replacement, const std::string& target);

// The temporary files of a replacement are made by GetTempFileNameA with this
// prefix in the target's directory: "sky", up to four hexadecimal digits of
// its own choice and ".tmp". The search pattern that finds them.
inline constexpr const char* temporaryFilePrefix = "sky";
inline constexpr const char* temporaryFilePattern = "sky*.tmp";

// Whether a file, found by that search, is one a killed run of the program
// left: a name of exactly that form (in any case; another program's
// "skyline.tmp" is not), last written before this start. The times are file
// times (100-nanosecond steps since 1601).
bool isLeftTemporaryFile(std::string_view fileName, std::uint64_t lastWritten, std::uint64_t start);
