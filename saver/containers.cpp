#include "saver/containers.h"

#include <algorithm>
#include <array>

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
