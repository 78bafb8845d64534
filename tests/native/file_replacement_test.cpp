// Replacing a file by moves, as on Windows 9x: whatever move fails, the old
// file's contents are never lost. And which files a killed run left: temporary
// files and decoded images.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "framework/file_replacement.h"
#include "saver/containers.h"

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

// What a killed run leaves for the next start to remove: the temporary files
// of a replacement and the decoded images, each by the program's own names.
TEST(LeftFiles, OnlyTheProgramsOwnNamesWrittenBeforeTheStart)
{
    constexpr std::uint64_t start = 133'000'000'000'000'000;
    enum class Left { No, TemporaryFile, DecodedImage };
    struct Case {
        const char* name;
        Left left;
    };
    const Case cases[] = {
        {"sky1A2B.tmp", Left::TemporaryFile}, {"sky1a2b.tmp", Left::TemporaryFile},
        {"SKYFFFF.TMP", Left::TemporaryFile}, {"sky0.tmp", Left::TemporaryFile}, {"sky12.Tmp", Left::TemporaryFile},
        // Another program's files, and names GetTempFileNameA never gives the prefix "sky".
        {"skyline.tmp", Left::No}, {"sky.tmp", Left::No}, {"sky12345.tmp", Left::No}, {"sky12G4.tmp", Left::No},
        {"sky 12.tmp", Left::No}, {"sky1A2B.tmp.bak", Left::No}, {"sky1A2B.tm", Left::No}, {"xsky1A2B.tmp", Left::No},
        {"sko1A2B.tmp", Left::No}, {"sky1A2B", Left::No}, {"", Left::No},
        // The catalogue's images and their pictures at twice the size, decoded.
        {"In1.jpg", Left::DecodedImage}, {"in2.JPG", Left::DecodedImage}, {"IN46.JPG", Left::DecodedImage},
        {"In10.jpg", Left::DecodedImage}, {"In1x2.jpg", Left::DecodedImage}, {"IN46X2.JPG", Left::DecodedImage},
        {"in33x2.jpg", Left::DecodedImage},
        // A user's pictures and names the program never writes: numbers of no
        // slot (13, 14, 21, 22, 35, 36, 47 and up), the containers themselves.
        {"Intro.jpg", Left::No}, {"In99.jpg", Left::No}, {"In99x2.jpg", Left::No}, {"In13.jpg", Left::No},
        {"In21x2.jpg", Left::No}, {"In0.jpg", Left::No}, {"In01.jpg", Left::No}, {"In.jpg", Left::No},
        {"In1.jpeg", Left::No}, {"In1.jpg.bak", Left::No}, {"In1.jpgx", Left::No}, {"xIn1.jpg", Left::No},
        {"In1 .jpg", Left::No}, {"In1x3.jpg", Left::No}, {"In1x2x2.jpg", Left::No}, {"In1x.jpg", Left::No},
        {"In1.sdd", Left::No}, {"In1x2.sd2", Left::No}, {"In1", Left::No}, {"C:\\windows\\In1.jpg", Left::No},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isLeftTemporaryFile(c.name, start - 1, start), c.left == Left::TemporaryFile) << c.name;
        EXPECT_EQ(isLeftDecodedImage(c.name, start - 1, start), c.left == Left::DecodedImage) << c.name;
        EXPECT_FALSE(isLeftTemporaryFile(c.name, start, start)) << c.name << " written at the start";
        EXPECT_FALSE(isLeftDecodedImage(c.name, start, start)) << c.name << " written at the start";
        EXPECT_FALSE(isLeftTemporaryFile(c.name, start + 10'000'000, start)) << c.name << " written since";
        EXPECT_FALSE(isLeftDecodedImage(c.name, start + 10'000'000, start)) << c.name << " written since";
    }
}
