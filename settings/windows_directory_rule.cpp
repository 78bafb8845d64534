#include "settings/windows_directory.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::size_t firstBufferSize = 256;
constexpr uint32_t firstCapacity = 200;
// A directory that grows between two calls is asked for again, but not forever.
constexpr int largerBufferAttempts = 3;

std::string textIn(const std::vector<char>& buffer)
{
    return std::string(buffer.begin(), std::find(buffer.begin(), buffer.end(), '\0'));
}

}

std::string resolveWindowsDirectory(const DirectoryQuery& query)
{
    std::vector<char> buffer(firstBufferSize, '\0');
    uint32_t capacity = firstCapacity;
    uint32_t answer = query(buffer.data(), capacity);
    for (int attempt = 0; answer >= capacity && attempt < largerBufferAttempts; ++attempt) {
        capacity = answer;
        buffer.assign(static_cast<std::size_t>(capacity) + 1, '\0');
        answer = query(buffer.data(), capacity);
    }
    if (answer == 0 || answer >= capacity)
        return fallbackWindowsDirectory;
    return textIn(buffer);
}
