// Any bytes as a container: the decoded image is the container without its
// bytes 3 to 5, whether it is read whole or in pieces of any size, and a write
// that gives up ends the copy. Any bytes as a path: the decoded image's path
// keeps the directory and ends in ".jpg", and only a container's own file
// name has a decoded image's name.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "saver/containers.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::string withoutFiller(std::string_view container)
{
    std::string expected(container.substr(0, containerHeadLength));
    if (container.size() > containerHeadLength + containerFillerLength)
        expected.append(container.substr(containerHeadLength + containerFillerLength));
    return expected;
}

// Reads the blocks in pieces whose sizes follow the seed, writes until writeLimit.
std::string decodeInPieces(std::string_view container, uint8_t seed, std::size_t writeLimit)
{
    std::string image;
    std::size_t position = 0;
    transformContainer(
        [&](std::span<char> buffer) {
            // A file gives short reads only at its end, so only the block
            // copy (which must cope with any count) gets pieces.
            std::size_t piece = buffer.size();
            if (buffer.size() == containerBlockLength) {
                piece = 1 + (seed * 37u) % containerBlockLength;
                seed = static_cast<uint8_t>(seed * 31 + 7);
            }
            const std::size_t count = std::min(piece, container.size() - position);
            container.copy(buffer.data(), count, position);
            position += count;
            return count;
        },
        [&](std::span<const char> bytes) {
            const std::size_t room = writeLimit - std::min(writeLimit, image.size());
            const std::size_t count = std::min(room, bytes.size());
            image.append(bytes.data(), count);
            return count;
        });
    return image;
}

void checkNames(std::string_view path)
{
    const std::string decoded = decodedImagePath(path);
    const std::size_t separator = path.find_last_of("\\/:");
    const std::size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
    require(decoded.size() >= 4 && decoded.compare(decoded.size() - 4, 4, ".jpg") == 0);
    require(decoded.compare(0, nameStart, path.substr(0, nameStart)) == 0);
    const std::size_t dot = path.find('.', nameStart);
    const std::size_t removed = dot == std::string_view::npos ? 0 : std::min<std::size_t>(4, path.size() - dot);
    require(decoded.size() == path.size() - removed + 4);

    const auto name = decodedImageName(path);
    require(name.has_value() == (isContainerName(path) && nameStart == 0));
    if (name)
        require(*name == decoded && name->find_first_of("\\/:") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string expected = withoutFiller(bytes);
    require(decodeContainerBytes(bytes) == expected);
    if (size > 0) {
        const uint8_t seed = data[0];
        require(decodeInPieces(bytes, seed, SIZE_MAX) == expected);
        // A write that gives up part-way ends the copy without an error.
        const std::size_t limit = seed % (expected.size() + 1);
        require(decodeInPieces(bytes, seed, limit) == expected.substr(0, limit));
    }
    // Paths and names are short; longer inputs only repeat the same checks.
    if (size <= 256)
        checkNames(bytes);
    return 0;
}
