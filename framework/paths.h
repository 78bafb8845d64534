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
