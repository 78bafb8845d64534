// Whole-file reading and crash-safe writing for the program's data files.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reads the whole file. It is opened with others allowed to read it but not
// to write it meanwhile. A missing file, or one that cannot be opened for
// reading, throws EFOpenError ("Cannot open file <path>"); a read that fails
// part-way throws EReadError.
std::vector<uint8_t> readWholeFile(const std::string& path);

// How the finished temporary file takes the old file's place: MoveFileExA in
// one step, or, on Windows 95, 98 and ME (known by the platform, not by the
// stub's answer), plain renames that put the old file back when the new one
// cannot go in. Tests force the renames with Moves.
enum class FileReplacement { Automatic, Moves };

// Writes the bytes as the file's new contents. They go to a temporary file in
// the same directory first, which then replaces the file, so a failure never
// leaves a half-written file or destroys the existing one.
// Any failure throws EFCreateError ("Cannot create file <path>") with the
// system's error code, so a refused write can be told from a full disk.
void writeFileSafely(const std::string& path, std::span<const uint8_t> bytes,
                     FileReplacement how = FileReplacement::Automatic);

// The system's time now as a file time (100-nanosecond steps since 1601).
std::uint64_t fileTimeNow();

// Deletes what a killed run left in directory: every file (not a directory,
// hidden or system entry) that pattern finds and isLeft(name, last written,
// start) accepts. One search; a file that cannot be deleted stays.
using LeftFileRule = bool (*)(std::string_view name, std::uint64_t lastWritten, std::uint64_t start);
void removeLeftFiles(const std::string& directory, const char* pattern, LeftFileRule isLeft, std::uint64_t start);

// The temporary files that a run killed while it replaced a file left in
// directory: the program's own names only, last written before start
// (isLeftTemporaryFile).
void removeLeftTemporaryFiles(const std::string& directory, std::uint64_t start);

// True when a file (not a directory) is at path.
bool fileExists(const std::string& path);

// The system directory as the operating system reports it (a buffer of 260
// characters); empty when the call fails.
std::string systemDirectory();

// The user's own temporary directory, with its trailing "\", by a name the
// ANSI calls reach (temporaryDirectoryRoad): on the NT family its short name
// when its own has a letter outside the ANSI code page, and where it has no
// such short name ".\", having made it the current directory. Empty when the
// system names none.
std::string userTemporaryDirectory();
