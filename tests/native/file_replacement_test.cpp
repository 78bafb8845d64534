// Replacing a file by moves, as on Windows 9x: whatever move fails, the old
// file's contents are never lost. And which temporary files a killed run left.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "framework/file_replacement.h"

namespace {

// Files as name -> contents; any move or removal can be made to fail.
class MemoryFiles : public FileMoves {
public:
    std::map<std::string, std::string> files;
    std::set<std::pair<std::string, std::string>> failingMoves;
    bool noSpareName = false;

    bool exists(const std::string& path) override { return files.count(path) != 0; }
    bool move(const std::string& from, const std::string& to) override
    {
        if (failingMoves.count({from, to}) || !files.count(from) || files.count(to))
            return false;
        files[to] = files[from];
        files.erase(from);
        return true;
    }
    bool remove(const std::string& path) override { return files.erase(path) != 0; }
    std::string spareName(const std::string& target) override
    {
        return noSpareName ? std::string() : target + ".old";
    }
};

constexpr const char* target = "c:\\windows\\screen.bmp";
constexpr const char* replacement = "c:\\windows\\sky1.tmp";
constexpr const char* aside = "c:\\windows\\screen.bmp.old";

TEST(ReplaceFileByMoves, ReplacesAnExistingFileAndLeavesNothingBehind)
{
    MemoryFiles fs;
    fs.files = {{target, "old"}, {replacement, "new"}};
    EXPECT_TRUE(replaceFileByMoves(fs, replacement, target));
    EXPECT_EQ(fs.files, (std::map<std::string, std::string>{{target, "new"}}));
}

TEST(ReplaceFileByMoves, MovesInAFileThatDidNotExist)
{
    MemoryFiles fs;
    fs.files = {{replacement, "new"}};
    EXPECT_TRUE(replaceFileByMoves(fs, replacement, target));
    EXPECT_EQ(fs.files, (std::map<std::string, std::string>{{target, "new"}}));
}

TEST(ReplaceFileByMoves, TheOldFileSurvivesEveryFailingStep)
{
    struct Case {
        const char* what;
        std::pair<std::string, std::string> failing;
        bool noSpare;
    };
    const Case cases[] = {
        {"no spare name", {}, true},
        {"moving the old file aside", {target, aside}, false},
        {"moving the new file in", {replacement, target}, false},
    };
    for (const Case& c : cases) {
        MemoryFiles fs;
        fs.files = {{target, "old"}, {replacement, "new"}};
        fs.noSpareName = c.noSpare;
        if (!c.failing.first.empty())
            fs.failingMoves.insert(c.failing);
        EXPECT_FALSE(replaceFileByMoves(fs, replacement, target)) << c.what;
        EXPECT_EQ(fs.files[target], "old") << c.what;
        EXPECT_EQ(fs.files.count(aside), 0u) << c.what;
    }
}

TEST(ReplaceFileByMoves, AnOldFileThatCannotBeMovedBackStaysUnderItsSpareName)
{
    MemoryFiles fs;
    fs.files = {{target, "old"}, {replacement, "new"}};
    fs.failingMoves = {{replacement, target}, {aside, target}};
    EXPECT_FALSE(replaceFileByMoves(fs, replacement, target));
    EXPECT_EQ(fs.files[aside], "old");
}


TEST(ReplaceFileByMoves, AreChosenByThePlatformAloneOnWindows9x)
{
    // GetVersionExA's platform ids: 1 is Windows 95, 98 and ME, whose stub of
    // MoveFileExA may fail with any code; 2 is the NT family; 0 when unknown.
    EXPECT_TRUE(replacesByRenames(windows9xPlatformId));
    EXPECT_TRUE(replacesByRenames(1));
    EXPECT_FALSE(replacesByRenames(2));
    EXPECT_FALSE(replacesByRenames(0));
}

}

TEST(LeftTemporaryFile, OnlyTheProgramsOwnNamesWrittenBeforeTheStart)
{
    constexpr std::uint64_t start = 133'000'000'000'000'000;
    struct Case {
        const char* name;
        bool left;
    };
    const Case cases[] = {
        {"sky1A2B.tmp", true}, {"sky1a2b.tmp", true}, {"SKYFFFF.TMP", true}, {"sky0.tmp", true},
        {"sky12.Tmp", true},
        // Another program's files, and names GetTempFileNameA never gives the prefix "sky".
        {"skyline.tmp", false}, {"sky.tmp", false}, {"sky12345.tmp", false}, {"sky12G4.tmp", false},
        {"sky 12.tmp", false}, {"sky1A2B.tmp.bak", false}, {"sky1A2B.tm", false}, {"xsky1A2B.tmp", false},
        {"sko1A2B.tmp", false}, {"sky1A2B", false}, {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isLeftTemporaryFile(c.name, start - 1, start), c.left) << c.name;
        EXPECT_FALSE(isLeftTemporaryFile(c.name, start, start)) << c.name << " written at the start";
        EXPECT_FALSE(isLeftTemporaryFile(c.name, start + 10'000'000, start)) << c.name << " written since";
    }
}
