// The container byte transform, the decoded image's name, the containers
// that could not be read and where the images go.
#include <gtest/gtest.h>

#include <cstring>
#include <exception>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/paths.h"
#include "saver/catalogue.h"
#include "saver/containers.h"
#include "tests/support/test_values.h"

namespace {

// A container of the given length whose byte i is (i * 7 + 1) mod 256, and
// what it must decode to: every byte but those at offsets 3, 4 and 5.
std::string numberedContainer(std::size_t length)
{
    std::string container(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        container[i] = static_cast<char>((i * 7 + 1) % 256);
    return container;
}

std::string withoutFiller(const std::string& container)
{
    std::string expected;
    for (std::size_t i = 0; i < container.size(); ++i)
        if (i < 3 || i >= 6)
            expected.push_back(container[i]);
    return expected;
}

// A file-like container that records every read's requested size and every
// write's size.
struct RecordingStreams {
    std::string container;
    std::size_t position = 0;
    std::vector<std::size_t> readsAsked;
    std::vector<std::size_t> writesGiven;
    std::string written;
    std::size_t writeLimit = SIZE_MAX;  // a write gives up after this many bytes in all

    std::size_t read(std::span<char> buffer)
    {
        readsAsked.push_back(buffer.size());
        const std::size_t count = std::min(buffer.size(), container.size() - position);
        container.copy(buffer.data(), count, position);
        position += count;
        return count;
    }
    std::size_t write(std::span<const char> data)
    {
        writesGiven.push_back(data.size());
        const std::size_t room = writeLimit - std::min(writeLimit, written.size());
        const std::size_t count = std::min(room, data.size());
        written.append(data.data(), count);
        return count;
    }
    void run()
    {
        transformContainer([this](std::span<char> b) { return read(b); },
                           [this](std::span<const char> d) { return write(d); });
    }
};

} // namespace

TEST(ContainerTransform, DropsTheThreeFillerBytesAfterTheThirdByte)
{
    const std::string container = bytes({0x01, 0x02, 0x03, 0xAA, 0xBB, 0xCC, 0x04, 0x05, 0x06, 0x07});
    EXPECT_EQ(decodeContainerBytes(container), bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}));
}

TEST(ContainerTransform, ShortContainersDecodeWithoutComplaint)
{
    EXPECT_EQ(decodeContainerBytes(bytes({0xFF, 0xD8, 0xFF, 0x11, 0x22, 0x33})), bytes({0xFF, 0xD8, 0xFF}))
        << "6 bytes give their first 3";
    EXPECT_EQ(decodeContainerBytes(bytes({0xFF, 0xD8, 0xFF, 0x11})), bytes({0xFF, 0xD8, 0xFF}))
        << "4 bytes give their first 3";
    EXPECT_EQ(decodeContainerBytes(bytes({0xFF, 0xD8})), bytes({0xFF, 0xD8})) << "2 bytes are copied whole";
    EXPECT_EQ(decodeContainerBytes(""), "") << "an empty container gives an empty image";
    EXPECT_EQ(decodeContainerBytes("not a JPEG at all"), "notJPEG at all") << "nothing is validated";
}

TEST(ContainerTransform, CopiesTheRestInBlocksOf2048Bytes)
{
    struct Case {
        std::size_t length;
        std::vector<std::size_t> writes;  // head, then every block
    };
    const Case cases[] = {
        {2054, {3, 2048}},
        {2055, {3, 2048, 1}},
        {6 + 3 * 2048 + 17, {3, 2048, 2048, 2048, 17}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("container of " + std::to_string(c.length) + " bytes");
        RecordingStreams streams;
        streams.container = numberedContainer(c.length);
        streams.run();
        EXPECT_EQ(streams.written, withoutFiller(streams.container));
        EXPECT_EQ(streams.written.size(), c.length - 3);
        EXPECT_EQ(streams.writesGiven, c.writes);
        // Head, filler, the blocks and the read that finds the end; never
        // more than one block at a time.
        std::vector<std::size_t> reads{3, 3};
        reads.insert(reads.end(), c.writes.size(), 2048);
        EXPECT_EQ(streams.readsAsked, reads);
    }
}

TEST(ContainerTransform, StopsAtAWriteThatWritesLessWithoutError)
{
    RecordingStreams streams;
    streams.container = numberedContainer(6 + 2048 * 3);
    streams.writeLimit = 3 + 100;  // the disk fills up in the first block
    ASSERT_NO_THROW(streams.run());
    EXPECT_EQ(streams.written, withoutFiller(streams.container).substr(0, 103));
    EXPECT_EQ(streams.writesGiven, (std::vector<std::size_t>{3, 2048})) << "no block after the short write";
}

TEST(ContainerTransform, AFailingReadOrWriteEndsTheDecoding)
{
    int writes = 0;
    EXPECT_THROW(transformContainer([](std::span<char>) -> std::size_t { throw std::runtime_error("read"); },
                                    [&](std::span<const char> d) { ++writes; return d.size(); }),
                 std::runtime_error);
    EXPECT_EQ(writes, 0);

    int reads = 0;
    EXPECT_THROW(transformContainer(
                     [&](std::span<char> b) { ++reads; std::fill(b.begin(), b.end(), 'x'); return b.size(); },
                     [](std::span<const char>) -> std::size_t { throw std::runtime_error("write"); }),
                 std::runtime_error);
    EXPECT_EQ(reads, 1) << "the first write failed; nothing more is read";
}

TEST(DecodedImagePath, ReplacesTheExtensionInTheSameDirectory)
{
    EXPECT_EQ(decodedImagePath("C:\\WINDOWS\\In1.sdd"), "C:\\WINDOWS\\In1.jpg");
    EXPECT_EQ(decodedImagePath("c:\\windows\\IN45.SDD"), "c:\\windows\\IN45.jpg");
    EXPECT_EQ(decodedImagePath("In5.sdd"), "In5.jpg");
}

TEST(DecodedImagePath, ADotInTheDirectoryDoesNotCount)
{
    EXPECT_EQ(decodedImagePath("C:\\WIN.98\\In1.sdd"), "C:\\WIN.98\\In1.jpg");
    EXPECT_EQ(decodedImagePath("D:\\a.b\\c.d/In20.sdd"), "D:\\a.b\\c.d/In20.jpg");
    EXPECT_EQ(decodedImagePath("C:In3.sdd"), "C:In3.jpg");
}

TEST(DecodedImagePath, RemovesFourCharactersFromTheFirstDotOfTheName)
{
    EXPECT_EQ(decodedImagePath("C:\\W\\In1.sddx"), "C:\\W\\In1x.jpg");
    EXPECT_EQ(decodedImagePath("C:\\W\\In.a.sdd"), "C:\\W\\Indd.jpg");
    EXPECT_EQ(decodedImagePath("C:\\W\\In1.sd"), "C:\\W\\In1.jpg") << "fewer than 4 characters left";
    EXPECT_EQ(decodedImagePath("C:\\W.X\\In1"), "C:\\W.X\\In1.jpg") << "a name without a dot";
}

TEST(DecodedImageName, OnlyTheLongNameOfAContainerHasADecodedImage)
{
    EXPECT_EQ(decodedImageName("In1.sdd"), "In1.jpg");
    EXPECT_EQ(decodedImageName("IN45.SDD"), "IN45.jpg");
    EXPECT_EQ(decodedImageName("in.Sdd"), "in.jpg") << "the * of In*.sdd may match nothing";
    EXPECT_EQ(decodedImageName("In.a.sdd"), "Indd.jpg") << "the decoded-name rule, dots and all";

    for (const char* notAContainer : {"Intro.jpg", "In1.jpg", "Index.sddx", "In1.sdd.bak", "An1.sdd", "In1sdd",
                                      "In.sd", "In", "", "C:\\W\\In1.sdd", "a/In1.sdd"})
        EXPECT_EQ(decodedImageName(notAContainer), std::nullopt) << notAContainer;
}

TEST(DecodedImageName, TheDoubleDensitySetIsNoContainerOfTheDecodePass)
{
    // Every catalogue image has one, 8.3 names all, whose decoded image is
    // no catalogue image's and no other container's.
    std::set<std::string> decoded;
    for (const PlaneSlotEntry& slot : catalogueTable)
        for (const char* image : {slot.whiteImage, slot.blackImage}) {
            const std::string container = doubleDensityContainerName(image);
            EXPECT_FALSE(isContainerName(container)) << container;
            EXPECT_LE(container.find('.'), 8u) << container;
            EXPECT_EQ(container.size() - container.find('.'), 4u) << container;
            const std::string name = decodedImagePath(container);
            EXPECT_EQ(name, std::string(image, std::strlen(image) - 4) + "x2.jpg");
            decoded.insert(name);
        }
    EXPECT_EQ(decoded.size(), 40u);
    EXPECT_EQ(doubleDensityContainerName("In45.jpg"), "In45x2.sd2");
}

namespace {

// The decode pass's choice of directory over directories that take the images
// or refuse them with a code; records each directory written to.
struct Directories {
    std::map<std::string, int> refusing;   // directory -> the system's error code
    std::vector<std::string> written;
    int temporaryAsked = 0;
    std::string temporary = "C:\\TEMP\\";
    ImagePlaces places = ImagePlaces::WindowsDirectoryFirst;

    std::string decode(std::string& imageDirectory)
    {
        decodeWhereTaken(
            "C:\\WINDOWS", [&] { ++temporaryAsked; return temporary; },
            [&](const std::string& directory) {
                written.push_back(directory);
                if (const auto refused = refusing.find(directory); refused != refusing.end()) {
                    if (isRefusedWrite(refused->second))
                        throw EImageRefused(refused->second);
                    throw EInOutError(refused->second);
                }
            },
            places, imageDirectory);
        return imageDirectory;
    }
};

}  // namespace

TEST(DecodeWhereTaken, TheWindowsDirectoryWhereverItTakesTheImages)
{
    Directories directories;
    std::string imageDirectory;
    EXPECT_EQ(directories.decode(imageDirectory), "C:\\WINDOWS");
    EXPECT_EQ(directories.temporaryAsked, 0);
}

TEST(DecodeWhereTaken, TheUsersTemporaryDirectoryWhenTheWindowsDirectoryRefuses)
{
    for (const int refusal : {5, 19}) {   // access denied, write-protected
        Directories directories;
        directories.refusing = {{"C:\\WINDOWS", refusal}};
        std::string imageDirectory;
        EXPECT_EQ(directories.decode(imageDirectory), "C:\\TEMP\\") << refusal;
        EXPECT_EQ(directories.written, (std::vector<std::string>{"C:\\WINDOWS", "C:\\TEMP\\"}));
    }
}

TEST(DecodeWhereTaken, BesideAnotherSaverOnlyTheOwnFolderIsWritten)
{
    // The Windows directory's images are the other saver's: never rewritten,
    // so never deleted either, even when the own folder fails.
    for (const int ownFolderFails : {0, 5, 112}) {
        Directories directories;
        directories.places = ImagePlaces::OwnFolderOnly;
        if (ownFolderFails)
            directories.refusing = {{"C:\\TEMP\\", ownFolderFails}};
        std::string imageDirectory;
        try {
            EXPECT_EQ(directories.decode(imageDirectory), "C:\\TEMP\\");
            EXPECT_EQ(ownFolderFails, 0);
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.errorCode(), ownFolderFails);
        }
        EXPECT_EQ(directories.written, std::vector<std::string>{"C:\\TEMP\\"}) << ownFolderFails;
        EXPECT_EQ(imageDirectory, "C:\\TEMP\\");
    }

    Directories noFolder;
    noFolder.places = ImagePlaces::OwnFolderOnly;
    noFolder.temporary.clear();
    std::string imageDirectory;
    try {
        noFolder.decode(imageDirectory);
        ADD_FAILURE() << "no error without a folder of its own";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.errorCode(), 32) << "the images are in another saver's use";
    }
    EXPECT_TRUE(noFolder.written.empty());
    EXPECT_TRUE(imageDirectory.empty()) << "nothing to delete anywhere";

    // Its folder in the program's folder is its run's, and only such folders
    // are taken for a killed run's.
    EXPECT_TRUE(isRunImageFolderName(runImageFolderName(4294967295u)));
    for (const char* name : {"", "Skyvane", "12a", "12345678901"})
        EXPECT_FALSE(isRunImageFolderName(name)) << name;
}

TEST(DecodeWhereTaken, OtherErrorsAndASecondRefusalAreRaisedAsTheyCame)
{
    // A full disk (112) or a file held by another program (32) is no refusal.
    for (const int code : {112, 32, 2}) {
        Directories directories;
        directories.refusing = {{"C:\\WINDOWS", code}};
        std::string imageDirectory;
        try {
            directories.decode(imageDirectory);
            ADD_FAILURE() << "no error for code " << code;
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.errorCode(), code);
        }
        EXPECT_EQ(directories.temporaryAsked, 0) << code;
        EXPECT_EQ(imageDirectory, "C:\\WINDOWS") << "where the pass wrote before it failed";
    }

    Directories bothRefuse;
    bothRefuse.refusing = {{"C:\\WINDOWS", 5}, {"C:\\TEMP\\", 5}};
    std::string imageDirectory;
    EXPECT_THROW(bothRefuse.decode(imageDirectory), EImageRefused);
    EXPECT_EQ(imageDirectory, "C:\\TEMP\\") << "where to delete what the pass wrote there";

    Directories noTemporary;
    noTemporary.refusing = {{"C:\\WINDOWS", 5}};
    noTemporary.temporary.clear();
    EXPECT_THROW(noTemporary.decode(imageDirectory), EImageRefused);
    EXPECT_EQ(noTemporary.written, std::vector<std::string>{"C:\\WINDOWS"});
}

TEST(DoubleDensityImages, OnlyAWholeDecodingIsKeptAndEveryImageWrittenIsListedOnce)
{
    // Asked for one image after another, each decoding succeeding or failing:
    // whether the decoding ran, whether the image came back (or the failure),
    // and the images listed for deletion since.
    struct Step {
        const char* image;
        bool decodingFails;   // should it run
        bool decodes;
        std::vector<std::string> written;
    };
    const Step steps[] = {
        {"In40x2.jpg", false, true, {"In40x2.jpg"}},
        {"In40x2.jpg", false, false, {"In40x2.jpg"}},                   // decoded once a run
        {"In39x2.jpg", true, true, {"In40x2.jpg", "In39x2.jpg"}},        // cut short: listed, not kept
        {"In39x2.jpg", true, true, {"In40x2.jpg", "In39x2.jpg"}},        // tried again at the next turn
        {"In39x2.jpg", false, true, {"In40x2.jpg", "In39x2.jpg"}},
        {"In39x2.jpg", false, false, {"In40x2.jpg", "In39x2.jpg"}},
        {"In2x2.jpg", true, true, {"In40x2.jpg", "In39x2.jpg", "In2x2.jpg"}},
        {"In40x2.jpg", true, false, {"In40x2.jpg", "In39x2.jpg", "In2x2.jpg"}},
    };
    DoubleDensityImages images;
    int index = 0;
    for (const Step& step : steps) {
        bool decoded = false;
        const auto decode = [&] {
            decoded = true;
            if (step.decodingFails)
                throw EInOutError(112);
        };
        const bool fails = step.decodingFails && step.decodes;
        if (fails)
            EXPECT_THROW(images.decoded(step.image, decode), EInOutError) << "step " << index;
        else
            EXPECT_EQ(images.decoded(step.image, decode), step.image) << "step " << index;
        EXPECT_EQ(decoded, step.decodes) << "step " << index;
        EXPECT_EQ(images.written(), step.written) << "step " << index;
        ++index;
    }
    images.clear();
    EXPECT_TRUE(images.written().empty());
    bool decoded = false;
    images.decoded("In40x2.jpg", [&] { decoded = true; });
    EXPECT_TRUE(decoded) << "a decoding of the run before was kept";
}

TEST(UnreadContainers, TheFailureComesWithTheImageOfTheContainerThatCouldNotBeRead)
{
    UnreadContainers unread;
    unread.add("C:\\WINDOWS\\in3.SDD", std::make_exception_ptr(EContainerUnreadable(32)));
    unread.add("C:\\WINDOWS\\In41.sdd", std::make_exception_ptr(EContainerUnreadable(5)));

    // Wherever the images went, and whatever the case of the names.
    for (const char* image : {"C:\\WINDOWS\\In3.jpg", "C:\\TEMP\\Skyvane\\IN3.JPG", "in3.jpg"}) {
        try {
            unread.raiseFailureFor(image);
            ADD_FAILURE() << "no failure for " << image;
        } catch (const EContainerUnreadable& error) {
            EXPECT_EQ(error.errorCode(), 32) << image;
            EXPECT_STREQ(error.what(), "I/O error 32");
        }
    }
    EXPECT_THROW(unread.raiseFailureFor("C:\\WINDOWS\\In41.jpg"), EContainerUnreadable);
    for (const char* image : {"C:\\WINDOWS\\In4.jpg", "C:\\WINDOWS\\In33.jpg", "C:\\In3\\In1.jpg", "In3.sdd"})
        EXPECT_NO_THROW(unread.raiseFailureFor(image)) << image;

    unread.clear();
    EXPECT_NO_THROW(unread.raiseFailureFor("C:\\WINDOWS\\In3.jpg")) << "a new pass starts without failures";
}

TEST(UsableTemporaryDirectory, AnExistingDirectoryOtherThanTheWindowsDirectory)
{
    struct Case {
        const char* temporary;
        bool isDirectory;
        bool usable;
    };
    const Case cases[] = {
        {"C:\\TEMP\\", true, true},
        {"C:\\WINDOWS\\TEMP\\", true, true},
        {"C:\\WINDOWS2\\", true, true},
        {"C:\\TEMP\\", false, false},   // a TMP that names a missing directory, or a file
        {"", true, false},
        // GetTempPathA's last fallback is the Windows directory itself.
        {"C:\\WINDOWS\\", true, false},
        {"c:\\windows", true, false},
        {"C:\\Windows\\\\", true, false},
        {"C:/WINDOWS/", true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isUsableTemporaryDirectory(c.temporary, "C:\\WINDOWS", c.isDirectory), c.usable)
            << c.temporary << (c.isDirectory ? "" : " (no directory)");
}

TEST(UsableTemporaryDirectory, NamedSoThatTheAnsiCallsReachTheUsersOwnFolder)
{
    // (GetTempPathA's answer, the wide answer had, the wide name and its short
    // form in ANSI ("" where a letter is lost)) -> the name the ANSI calls use,
    // and whether the directory is made the current one for them.
    const struct {
        const char* user;
        TemporaryDirectoryNames names;
        const char* used;
        bool asCurrentDirectory;
    } rows[] = {
        {"Windows 9x: the ANSI answer as it is", {"C:\\WINDOWS\\TEMP\\", false, "", ""}, "C:\\WINDOWS\\TEMP\\", false},
        {"an ASCII name", {"C:\\Users\\anna\\Temp\\", true, "C:\\Users\\anna\\Temp\\", "C:\\Users\\anna\\TEMP\\"},
         "C:\\Users\\anna\\Temp\\", false},
        {"a letter the code page holds", {"C:\\Users\\Ren\xe9\\Temp\\", true, "C:\\Users\\Ren\xe9\\Temp\\", ""},
         "C:\\Users\\Ren\xe9\\Temp\\", false},
        // "\u0141ukasz" on a Western code page: GetTempPathA names "Lukasz".
        {"a letter outside the code page", {"C:\\Users\\Lukasz\\Temp\\", true, "", "C:\\Users\\UKASZ~1\\Temp\\"},
         "C:\\Users\\UKASZ~1\\Temp\\", false},
        {"and short names switched off", {"C:\\Users\\Lukasz\\Temp\\", true, "", ""}, ".\\", true},
        {"the system named none", {"", false, "", ""}, "", false},
    };
    for (const auto& row : rows) {
        const TemporaryDirectoryRoad road = temporaryDirectoryRoad(row.names);
        EXPECT_EQ(road.name, row.used) << row.user;
        EXPECT_EQ(road.asCurrentDirectory, row.asCurrentDirectory) << row.user;
    }
}
