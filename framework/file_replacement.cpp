#include "framework/file_replacement.h"

#include <algorithm>
#include <cctype>

bool replacesByRenames(unsigned long platformId)
{
    return platformId == windows9xPlatformId;
}

bool replaceFileByMoves(FileMoves& files, const std::string& replacement, const std::string& target)
{
    if (!files.exists(target))
        return files.move(replacement, target);

    const std::string aside = files.spareName(target);
    if (aside.empty() || !files.move(target, aside))
        return false;
    if (!files.move(replacement, target)) {
        // Put the old file back. Should even that fail, it stays under the
        // spare name rather than be deleted.
        files.move(aside, target);
        return false;
    }
    // The old contents are no longer needed; a copy left behind only costs space.
    files.remove(aside);
    return true;
}

namespace {
bool isOwnTemporaryFileName(std::string_view name)
{
    constexpr std::string_view head = temporaryFilePrefix;
    constexpr std::string_view tail = ".tmp";
    constexpr std::size_t mostDigits = 4;
    const auto sameLetters = [](std::string_view text, std::string_view lower) {
        return std::equal(text.begin(), text.end(), lower.begin(), lower.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == b;
        });
    };
    if (name.size() <= head.size() + tail.size() || name.size() > head.size() + mostDigits + tail.size())
        return false;
    const std::string_view digits = name.substr(head.size(), name.size() - head.size() - tail.size());
    return sameLetters(name.substr(0, head.size()), head) &&
           sameLetters(name.substr(name.size() - tail.size()), tail) &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}
}

bool isLeftTemporaryFile(std::string_view fileName, std::uint64_t lastWritten, std::uint64_t start)
{
    return isOwnTemporaryFileName(fileName) && lastWritten < start;
}
