// Asking for the Windows directory, with the system call replaced.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/windows_directory.h"

namespace {

// Behaves like GetWindowsDirectoryA for a given path, recording each call.
struct FakeSystem {
    explicit FakeSystem(std::vector<std::string> paths = {}) : answers(std::move(paths)) {}
    std::vector<std::string> answers;   // the path at each successive call
    std::vector<uint32_t> capacities;
    bool fails = false;

    uint32_t operator()(char* buffer, uint32_t capacity)
    {
        capacities.push_back(capacity);
        // The buffer handed over must be writable up to capacity and start zeroed.
        EXPECT_EQ(buffer[0], '\0');
        EXPECT_EQ(buffer[capacity - 1], '\0');
        if (fails)
            return 0;
        const std::string& path = answers[std::min(capacities.size(), answers.size()) - 1];
        if (path.size() + 1 > capacity)
            return static_cast<uint32_t>(path.size() + 1);
        std::memcpy(buffer, path.c_str(), path.size() + 1);
        return static_cast<uint32_t>(path.size());
    }
};

std::string resolveWith(FakeSystem& system)
{
    return resolveWindowsDirectory([&](char* b, uint32_t c) { return system(b, c); });
}

}

TEST(WindowsDirectory, ANormalDirectoryIsReturnedAsReported)
{
    FakeSystem system({"C:\\windows"});
    EXPECT_EQ(resolveWith(system), "C:\\windows");
    EXPECT_EQ(system.capacities, (std::vector<uint32_t>{200}));
}

TEST(WindowsDirectory, AFailingCallGivesLowerCaseCWindows)
{
    FakeSystem system;
    system.fails = true;
    EXPECT_EQ(resolveWith(system), "c:\\windows");
}

TEST(WindowsDirectory, APathOf199CharactersStillFitsTheFirstCall)
{
    const std::string path = "D:\\" + std::string(196, 'w');
    FakeSystem system({path});
    EXPECT_EQ(resolveWith(system), path);
    EXPECT_EQ(system.capacities.size(), 1u);
}

TEST(WindowsDirectory, ALongerPathIsAskedForAgainWithTheSizeItNeeds)
{
    for (std::size_t length : {200u, 201u, 259u, 1000u}) {
        const std::string path = "E:\\" + std::string(length - 3, 'x');
        FakeSystem system({path});
        EXPECT_EQ(resolveWith(system), path) << length;
        EXPECT_EQ(system.capacities, (std::vector<uint32_t>{200, static_cast<uint32_t>(length + 1)}));
    }
}

TEST(WindowsDirectory, ASecondCallThatFailsFallsBack)
{
    struct FailingSecond {
        int calls = 0;
        uint32_t operator()(char*, uint32_t) { return ++calls == 1 ? 300 : 0; }
    } system;
    EXPECT_EQ(resolveWindowsDirectory([&](char* b, uint32_t c) { return system(b, c); }), "c:\\windows");
}

TEST(WindowsDirectory, APathThatKeepsGrowingEndsInTheFallbackAfterAFewCalls)
{
    uint32_t calls = 0;
    const std::string result = resolveWindowsDirectory([&](char*, uint32_t capacity) {
        ++calls;
        return capacity + 50;   // never fits
    });
    EXPECT_EQ(result, "c:\\windows");
    EXPECT_LE(calls, 5u);
}
