#include "framework/paths.h"

std::string joinPath(std::string_view directory, std::string_view fileName)
{
    std::string path(directory);
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    path += fileName;
    return path;
}

std::string directoryOf(std::string_view path)
{
    const std::size_t separator = path.find_last_of("\\/");
    if (separator == std::string_view::npos)
        return {};
    // "c:\name": keep the root's separator, "c:" alone means another directory.
    if (separator == 2 && path[1] == ':')
        return std::string(path.substr(0, 3));
    if (separator == 0)
        return std::string(path.substr(0, 1));
    return std::string(path.substr(0, separator));
}

std::string lowerCaseExtension(std::string_view path)
{
    const std::size_t dot = path.find_last_of(".\\/:");
    if (dot == std::string_view::npos || path[dot] != '.')
        return {};
    std::string extension(path.substr(dot));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

std::string systemLibraryPath(std::string_view systemDirectory, std::string_view name)
{
    return systemDirectory.empty() ? std::string() : joinPath(systemDirectory, name);
}

TemporaryDirectoryRoad temporaryDirectoryRoad(const TemporaryDirectoryNames& names)
{
    if (!names.wideKnown)
        return {names.ansi};
    if (!names.longInAnsi.empty())
        return {names.longInAnsi};
    if (!names.shortInAnsi.empty())
        return {names.shortInAnsi};
    return {".\\", true};
}
