// Path text rules shared by the program's file and library look-ups. Pure.
#pragma once
#include <string>
#include <string_view>

// The directory followed by the file name: a "\" goes between them unless the
// directory is empty or already ends with one (so an empty system directory
// gives the bare name, which the library loader then searches for itself).
std::string joinPath(std::string_view directory, std::string_view fileName);

// Everything before the last "\" or "/" of the path; empty when it has none.
// A path right under a drive root keeps its "\" ("c:\screen.bmp" -> "c:\").
std::string directoryOf(std::string_view path);

// The file name's extension from its last ".", in lower case (letters A-Z
// only), with the dot: "SCREEN.BMP" -> ".bmp"; empty when there is none.
std::string lowerCaseExtension(std::string_view path);

// A system library's full path in the system directory (systemDirectory);
// empty when the system names no directory. A bare name would be looked for
// in the current directory too, which may be the user's temporary directory.
std::string systemLibraryPath(std::string_view systemDirectory, std::string_view name);

// What the system says of the user's temporary directory, for the program's
// ANSI file calls (the containers, the JPEG reading, the error texts).
struct TemporaryDirectoryNames {
    std::string ansi;        // GetTempPathA's answer as it came
    bool wideKnown = false;  // the wide answer was had (the NT family)
    // The wide answer, and its short (8.3) form, in the ANSI code page; empty
    // when a letter of it has no ANSI form and would come back as another.
    std::string longInAnsi;
    std::string shortInAnsi;
};

// How the ANSI calls reach the user's temporary directory.
struct TemporaryDirectoryRoad {
    std::string name;   // with its trailing "\"; empty: not reached
    // The directory is made the process's current directory first (by its
    // wide name), and name is ".\": the ANSI calls reach it by relative paths.
    bool asCurrentDirectory = false;
};

// Without the wide answer (Windows 9x) GetTempPathA's; else the directory's
// own name where the ANSI code page holds every letter of it, else its short
// name where that one does; else (short names switched off on that volume),
// as the current directory. GetTempPathA's answer then names another folder,
// which may not exist or may be another user's.
TemporaryDirectoryRoad temporaryDirectoryRoad(const TemporaryDirectoryNames& names);
