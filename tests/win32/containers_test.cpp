// The decode pass and decodeImageContainer on real files, in a scratch
// directory under the temporary directory that each test makes and removes.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "saver/containers.h"
#include "tests/support/test_values.h"
#include "tests/win32/support/test_files.h"

namespace {

// A JPEG-like container: FF D8 FF, three filler bytes, then `rest`.
std::string container(const std::string& rest)
{
    return bytes({0xFF, 0xD8, 0xFF, 0x5A, 0x5B, 0x5C}) + rest;
}

std::string decoded(const std::string& rest)
{
    return bytes({0xFF, 0xD8, 0xFF}) + rest;
}

bool fileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void setAttributes(const std::string& path, DWORD attributes)
{
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path << ": error " << GetLastError();
    ASSERT_EQ(GetFileAttributesA(path.c_str()) & attributes, attributes) << path << " did not take the attributes";
}

void removeTree(const std::string& directory)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = directory + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(directory.c_str());
}

// The names in the directory that match pattern, in the order the file
// system lists them.
std::vector<std::string> searchOrder(const std::string& directory, const char* pattern = "In*.sdd")
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// The names in the directory, sorted.
std::vector<std::string> listing(const std::string& directory)
{
    std::vector<std::string> names = searchOrder(directory, "*");
    std::sort(names.begin(), names.end());
    return names;
}

class ContainerFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        static int serial = 0;
        root_ = std::string(temp) + "skyvane-containers-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++serial);
        ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr)) << root_;
        dir_ = root_ + "\\WINDOWS";
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << dir_;
    }
    void TearDown() override { removeTree(root_); }

    std::string at(const std::string& name) const { return dir_ + "\\" + name; }

    // Expects the call to fail with the runtime's I/O error of that code and text.
    template <class Call>
    void expectIoError(Call call, int code, const std::string& text)
    {
        try {
            call();
            ADD_FAILURE() << "no error; expected \"" << text << "\"";
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.errorCode(), code);
            EXPECT_STREQ(error.what(), text.c_str());
        }
    }

    std::string root_;
    std::string dir_;
    UnreadContainers unread_;
};

} // namespace

TEST_F(ContainerFiles, EveryContainerGetsItsImageBesideItAndStaysUnchanged)
{
    const std::string example = bytes({0x01, 0x02, 0x03, 0xAA, 0xBB, 0xCC, 0x04, 0x05, 0x06, 0x07});
    std::string large;
    for (int i = 0; i < 5000; ++i)
        large.push_back(static_cast<char>(i * 13));
    writeTestFile(at("In1.sdd"), example);
    writeTestFile(at("In2.sdd"), container(large));
    writeTestFile(at("In45.sdd"), bytes({0xFF, 0xD8}));
    writeTestFile(at("In46.sdd"), "");
    writeTestFile(at("screen.jpg"), "not a container");

    ASSERT_NO_THROW(decodeImageContainers(dir_, unread_));

    EXPECT_EQ(readTestFile(at("In1.jpg")), bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}));
    EXPECT_EQ(readTestFile(at("In2.jpg")), decoded(large));
    EXPECT_EQ(readTestFile(at("In45.jpg")), bytes({0xFF, 0xD8}));
    EXPECT_EQ(readTestFile(at("In46.jpg")), "");
    EXPECT_EQ(readTestFile(at("In1.sdd")), example);
    EXPECT_EQ(readTestFile(at("In2.sdd")), container(large));
    EXPECT_EQ(listing(dir_), (std::vector<std::string>{"In1.jpg", "In1.sdd", "In2.jpg", "In2.sdd", "In45.jpg",
                                                       "In45.sdd", "In46.jpg", "In46.sdd", "screen.jpg"}));
}

TEST_F(ContainerFiles, AnExistingImageIsReplaced)
{
    writeTestFile(at("In5.sdd"), container("new"));
    writeTestFile(at("In5.jpg"), std::string(10000, 'o'));
    ASSERT_NO_THROW(decodeImageContainers(dir_, unread_));
    EXPECT_EQ(readTestFile(at("In5.jpg")), decoded("new"));
}

TEST_F(ContainerFiles, HiddenSystemAndDirectoryEntriesAreSkipped)
{
    writeTestFile(at("In1.sdd"), container("plain"));
    writeTestFile(at("In3.sdd"), container("hidden"));
    setAttributes(at("In3.sdd"), FILE_ATTRIBUTE_HIDDEN);
    writeTestFile(at("In7.sdd"), container("system"));
    setAttributes(at("In7.sdd"), FILE_ATTRIBUTE_SYSTEM);
    writeTestFile(at("In9.sdd"), container("archive"));
    setAttributes(at("In9.sdd"), FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_TRUE(CreateDirectoryA(at("In11.sdd").c_str(), nullptr));

    ASSERT_NO_THROW(decodeImageContainers(dir_, unread_));

    EXPECT_EQ(readTestFile(at("In1.jpg")), decoded("plain"));
    EXPECT_EQ(readTestFile(at("In9.jpg")), decoded("archive"));
    EXPECT_FALSE(fileExists(at("In3.jpg"))) << "a hidden container was decoded";
    EXPECT_FALSE(fileExists(at("In7.jpg"))) << "a system container was decoded";
    EXPECT_FALSE(fileExists(at("In11.jpg"))) << "a directory was decoded";
}

TEST_F(ContainerFiles, NoContainersIsNoError)
{
    writeTestFile(at("In1.jpg"), "left from an earlier run");
    ASSERT_NO_THROW(decodeImageContainers(dir_, unread_));
    EXPECT_EQ(listing(dir_), (std::vector<std::string>{"In1.jpg"}));
    ASSERT_NO_THROW(decodeImageContainers(root_ + "\\missing", unread_)) << "a directory that is not there";
}

TEST_F(ContainerFiles, ADotInTheDirectoryNameKeepsTheImagesBesideTheirContainers)
{
    const std::string win98 = root_ + "\\WIN.98";
    ASSERT_TRUE(CreateDirectoryA(win98.c_str(), nullptr));
    writeTestFile(win98 + "\\In1.sdd", container("one"));
    writeTestFile(win98 + "\\In20.sdd", container("twenty"));

    ASSERT_NO_THROW(decodeImageContainers(win98, unread_));

    EXPECT_EQ(readTestFile(win98 + "\\In1.jpg"), decoded("one"));
    EXPECT_EQ(readTestFile(win98 + "\\In20.jpg"), decoded("twenty"));
    EXPECT_EQ(listing(win98), (std::vector<std::string>{"In1.jpg", "In1.sdd", "In20.jpg", "In20.sdd"}));
    EXPECT_EQ(listing(root_), (std::vector<std::string>{"WIN.98", "WINDOWS"}));
}

TEST_F(ContainerFiles, AReadOnlyContainerDecodesAndIsLeftAsItWas)
{
    writeTestFile(at("In1.sdd"), container("locked"));
    setAttributes(at("In1.sdd"), FILE_ATTRIBUTE_READONLY);

    decodeImageContainers(dir_, unread_);

    EXPECT_EQ(readTestFile(at("In1.jpg")), decoded("locked"));
    EXPECT_EQ(readTestFile(at("In1.sdd")), container("locked"));
    EXPECT_TRUE(GetFileAttributesA(at("In1.sdd").c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(ContainerFiles, AReadOnlyImageCannotBeReplaced)
{
    writeTestFile(at("In5.sdd"), container("new"));
    writeTestFile(at("In5.jpg"), "old image");
    setAttributes(at("In5.jpg"), FILE_ATTRIBUTE_READONLY);

    expectIoError([&] { decodeImageContainer(at("In5.sdd")); }, 5, "File access denied");

    EXPECT_EQ(readTestFile(at("In5.jpg")), "old image");
    EXPECT_EQ(readTestFile(at("In5.sdd")), container("new"));
}

TEST_F(ContainerFiles, AMissingContainerIsFileNotFound)
{
    expectIoError([&] { decodeImageContainer(at("In99.sdd")); }, 2, "File not found");
    EXPECT_FALSE(fileExists(at("In99.jpg")));
}

TEST_F(ContainerFiles, AContainerNamedLikeItsOwnImageIsNotEmptied)
{
    writeTestFile(at("In1.jpg"), container("keep"));
    expectIoError([&] { decodeImageContainer(at("In1.jpg")); }, 5, "File access denied");
    EXPECT_EQ(readTestFile(at("In1.jpg")), container("keep"));
}

namespace {

// Points GetTempPathA of this process at a directory while it lives.
class TemporaryDirectoryAt {
public:
    explicit TemporaryDirectoryAt(const std::string& directory)
    {
        saved_ = GetEnvironmentVariableA("TMP", buffer_, sizeof buffer_) > 0;
        SetEnvironmentVariableA("TMP", (directory + "\\").c_str());
    }
    ~TemporaryDirectoryAt() { SetEnvironmentVariableA("TMP", saved_ ? buffer_ : nullptr); }
private:
    char buffer_[MAX_PATH] = {};
    bool saved_ = false;
};

}  // namespace

TEST_F(ContainerFiles, AReadOnlyImageLeftBehindSendsEveryImageToTheUsersTemporaryDirectory)
{
    const std::string temporary = root_ + "\\TEMP";
    ASSERT_TRUE(CreateDirectoryA(temporary.c_str(), nullptr));
    writeTestFile(temporary + "\\In1.jpg", "another program's");
    for (const char* name : {"In1", "In5", "In9"})
        writeTestFile(at(std::string(name) + ".sdd"), container(name));
    writeTestFile(at("In5.jpg"), "left by a saver that was killed");
    setAttributes(at("In5.jpg"), FILE_ATTRIBUTE_READONLY);

    // Only into an existing directory other than the Windows directory;
    // otherwise the Windows directory's refusal is what the user hears of.
    std::string windowsInOtherCase = dir_;
    std::transform(windowsInOtherCase.begin(), windowsInOtherCase.end(), windowsInOtherCase.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    for (const std::string& unusable : {root_ + "\\MISSING", dir_, windowsInOtherCase}) {
        TemporaryDirectoryAt temporaryDirectory(unusable);
        std::string imageDirectory;
        expectIoError([&] { decodeImageContainers(dir_, ImagePlaces::WindowsDirectoryFirst, imageDirectory, unread_); }, 5, "File access denied");
        EXPECT_FALSE(fileExists(root_ + "\\MISSING")) << unusable;
    }

    // Into the program's own folder there, so that nothing of other programs
    // is touched.
    TemporaryDirectoryAt temporaryDirectory(temporary);
    std::string imageDirectory;
    ASSERT_NO_THROW(decodeImageContainers(dir_, ImagePlaces::WindowsDirectoryFirst, imageDirectory, unread_));

    const std::string folder = temporary + "\\Skyvane";
    EXPECT_EQ(imageDirectory, folder + "\\");
    EXPECT_EQ(listing(temporary), (std::vector<std::string>{"In1.jpg", "Skyvane"}));
    EXPECT_EQ(readTestFile(temporary + "\\In1.jpg"), "another program's");
    EXPECT_EQ(listing(folder), (std::vector<std::string>{"In1.jpg", "In5.jpg", "In9.jpg"}));
    EXPECT_EQ(readTestFile(folder + "\\In5.jpg"), decoded("In5"));
    EXPECT_EQ(readTestFile(at("In5.jpg")), "left by a saver that was killed");
    EXPECT_TRUE(GetFileAttributesA(at("In5.jpg").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(readTestFile(at("In9.sdd")), container("In9"));
}

TEST_F(ContainerFiles, OneAfterAnotherInTheSearchOrderUntilAnImageFails)
{
    // The first container the search lists is large: no later image may be
    // written before it is finished.
    for (int number = 1; number <= 8; ++number)
        writeTestFile(at("In" + std::to_string(number) + ".sdd"), container(std::string(4096, 'x')));
    const std::vector<std::string> order = searchOrder(dir_);
    ASSERT_EQ(order.size(), 8u);
    writeTestFile(at(order[0]), container(std::string(2 << 20, 'y')));

    ASSERT_NO_THROW(decodeImageContainers(dir_, unread_));
    ULONGLONG previous = 0;
    for (const std::string& name : order) {
        WIN32_FILE_ATTRIBUTE_DATA image{};
        ASSERT_TRUE(GetFileAttributesExA(at(decodedImagePath(name)).c_str(), GetFileExInfoStandard, &image));
        const ULONGLONG written = (ULONGLONG(image.ftLastWriteTime.dwHighDateTime) << 32)
            | image.ftLastWriteTime.dwLowDateTime;
        EXPECT_GE(written, previous) << name << " was written before the container listed ahead of it was done";
        previous = written;
    }

    // The third container is held by another program that lets nobody read
    // it: the pass goes on without its image, and its flight will fail with
    // the reason.
    for (const std::string& name : order)
        DeleteFileA(at(decodedImagePath(name)).c_str());
    HANDLE containerHolder = CreateFileA(at(order[2]).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(containerHolder, INVALID_HANDLE_VALUE);
    ASSERT_NO_THROW(decodeImageContainers(dir_, unread_));
    CloseHandle(containerHolder);
    for (std::size_t index = 0; index < order.size(); ++index)
        EXPECT_EQ(fileExists(at(decodedImagePath(order[index]))), index != 2) << order[index];
    expectIoError([&] { unread_.raiseFailureFor(at(decodedImagePath(order[2]))); }, ERROR_SHARING_VIOLATION,
                  "I/O error 32");
    EXPECT_NO_THROW(unread_.raiseFailureFor(at(decodedImagePath(order[3]))));

    // The fourth image is held by another program: the error ends the pass
    // there, and it is no refused write that would send the images elsewhere.
    for (const std::string& name : order)
        DeleteFileA(at(decodedImagePath(name)).c_str());
    HANDLE holder = CreateFileA(at(decodedImagePath(order[3])).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::string imageDirectory;
    expectIoError([&] { decodeImageContainers(dir_, ImagePlaces::WindowsDirectoryFirst, imageDirectory, unread_); }, ERROR_SHARING_VIOLATION, "I/O error 32");
    CloseHandle(holder);
    EXPECT_EQ(imageDirectory, dir_);
    for (std::size_t index = 0; index < order.size(); ++index)
        EXPECT_EQ(fileExists(at(decodedImagePath(order[index]))), index <= 3) << order[index];
}
