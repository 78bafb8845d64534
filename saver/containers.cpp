#include "saver/containers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>

#include "saver/catalogue.h"

void transformContainer(const ContainerReader& read, const ImageWriter& write)
{
    std::array<char, containerBlockLength> block;

    const std::size_t headLength = read(std::span(block.data(), containerHeadLength));
    write(std::span<const char>(block.data(), headLength));

    read(std::span(block.data(), containerFillerLength));

    for (;;) {
        const std::size_t got = read(std::span(block.data(), block.size()));
        if (got == 0)
            return;
        if (write(std::span<const char>(block.data(), got)) < got)
            return;
    }
}

std::string decodeContainerBytes(std::string_view container)
{
    std::string image;
    std::size_t position = 0;
    transformContainer(
        [&](std::span<char> buffer) {
            const std::size_t count = std::min(buffer.size(), container.size() - position);
            container.copy(buffer.data(), count, position);
            position += count;
            return count;
        },
        [&](std::span<const char> bytes) {
            image.append(bytes.data(), bytes.size());
            return bytes.size();
        });
    return image;
}

std::string decodedImagePath(std::string_view containerPath)
{
    const std::size_t lastSeparator = containerPath.find_last_of("\\/:");
    const std::size_t nameStart = lastSeparator == std::string_view::npos ? 0 : lastSeparator + 1;
    const std::size_t dot = containerPath.find('.', nameStart);

    std::string path(containerPath);
    if (dot != std::string_view::npos)
        path.erase(dot, 4);
    return path + ".jpg";
}

std::string doubleDensityContainerName(std::string_view imageName)
{
    const std::size_t dot = imageName.rfind('.');
    return std::string(imageName.substr(0, dot)) + "x2.sd2";
}

std::string DoubleDensityImages::decoded(const std::string& image, const std::function<void()>& decode)
{
    if (std::find(succeeded_.begin(), succeeded_.end(), image) != succeeded_.end())
        return image;
    // Listed before it is written, so that a decoding cut short is deleted too.
    if (std::find(written_.begin(), written_.end(), image) == written_.end())
        written_.push_back(image);
    decode();
    succeeded_.push_back(image);
    return image;
}

void DoubleDensityImages::clear()
{
    written_.clear();
    succeeded_.clear();
}

namespace {
bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::string_view fileNameOf(std::string_view path)
{
    const std::size_t separator = path.find_last_of("\\/:");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

std::string_view withoutTrailingSeparators(std::string_view path)
{
    while (!path.empty() && isSeparator(path.back()))
        path.remove_suffix(1);
    return path;
}

// The same path as the file system reads it: letters without regard to case,
// either separator for the other.
bool samePath(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return (isSeparator(x) && isSeparator(y)) ||
               std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}
}

bool isContainerName(std::string_view fileName)
{
    constexpr std::string_view head = "In";
    constexpr std::string_view tail = ".sdd";
    return fileName.size() >= head.size() + tail.size() &&
           equalIgnoringCase(fileName.substr(0, head.size()), head) &&
           equalIgnoringCase(fileName.substr(fileName.size() - tail.size()), tail);
}

std::optional<std::string> decodedImageName(std::string_view fileName)
{
    // A name with a path in it is no name the search gives.
    if (!isContainerName(fileName) || fileName.find_first_of("\\/:") != std::string_view::npos)
        return std::nullopt;
    return decodedImagePath(fileName);
}

bool isOwnDecodedImageName(std::string_view fileName)
{
    for (const PlaneSlotEntry& slot : catalogueTable)
        for (const std::string_view image : {slot.whiteImage, slot.blackImage})
            if (equalIgnoringCase(fileName, image) ||
                equalIgnoringCase(fileName, decodedImagePath(doubleDensityContainerName(image))))
                return true;
    return false;
}

bool isLeftDecodedImage(std::string_view fileName, std::uint64_t lastWritten, std::uint64_t start)
{
    return isOwnDecodedImageName(fileName) && lastWritten < start;
}

namespace {
constexpr int errorSharingViolation = 32;   // ERROR_SHARING_VIOLATION
}

std::string runImageFolderName(std::uint32_t processId)
{
    return std::to_string(processId);
}

bool isRunImageFolderName(std::string_view name)
{
    return !name.empty() && name.size() <= 10 &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void decodeWhereTaken(const std::string& windowsDirectory, const std::function<std::string()>& temporaryDirectory,
                      const std::function<void(const std::string& directory)>& decodeAllInto, ImagePlaces places,
                      std::string& imageDirectory)
{
    std::exception_ptr refusal;
    if (places == ImagePlaces::WindowsDirectoryFirst) {
        try {
            imageDirectory = windowsDirectory;
            decodeAllInto(windowsDirectory);
            return;
        } catch (const EImageRefused&) {
            // Every image goes there, not only the refused one: the catalogue
            // reads them all from one directory.
            refusal = std::current_exception();
        }
    }
    const std::string temporary = temporaryDirectory();
    if (temporary.empty() && refusal)
        std::rethrow_exception(refusal);
    if (temporary.empty())
        throw EInOutError(errorSharingViolation);
    imageDirectory = temporary;
    decodeAllInto(temporary);
}

void UnreadContainers::add(std::string_view containerPath, std::exception_ptr failure)
{
    failures_.emplace_back(decodedImagePath(fileNameOf(containerPath)), std::move(failure));
}

void UnreadContainers::raiseFailureFor(std::string_view imagePath) const
{
    const std::string_view imageName = fileNameOf(imagePath);
    for (const auto& [name, failure] : failures_)
        if (equalIgnoringCase(name, imageName))
            std::rethrow_exception(failure);
}

bool isUsableTemporaryDirectory(std::string_view temporary, std::string_view windowsDirectory, bool isDirectory)
{
    return isDirectory && !temporary.empty() &&
           !samePath(withoutTrailingSeparators(temporary), withoutTrailingSeparators(windowsDirectory));
}
