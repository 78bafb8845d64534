// The registry layer on Wine's real registry, in scratch keys under
// HKEY_CURRENT_USER\Software\SkyvaneTests that each test removes again.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "settings/registry.h"

namespace {

const char* const scratchParent = "Software\\SkyvaneTests";

void deleteTree(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char name[256];
        DWORD size = sizeof name;
        std::vector<std::string> children;
        for (DWORD i = 0; RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
             ++i, size = sizeof name)
            children.emplace_back(name);
        RegCloseKey(key);
        for (const std::string& child : children)
            deleteTree(root, path + "\\" + child);
    }
    RegDeleteKeyA(root, path.c_str());
}

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = std::string(scratchParent) + "\\" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        deleteTree(HKEY_CURRENT_USER, path);
    }
    void TearDown() override { deleteTree(HKEY_CURRENT_USER, scratchParent); }

    // Stores a value directly, bypassing the layer.
    void setRaw(const std::string& name, DWORD type, const void* data, DWORD size)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void setString(const std::string& name, const std::string& text)
    {
        setRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
    // Reads a value directly: its type and bytes.
    bool getRaw(const std::string& name, DWORD& type, std::vector<BYTE>& data)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        BYTE buffer[64];
        DWORD size = sizeof buffer;
        const LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &type, buffer, &size);
        RegCloseKey(key);
        data.assign(buffer, buffer + (result == ERROR_SUCCESS ? size : 0));
        return result == ERROR_SUCCESS;
    }

    template <class Action>
    static std::string registryError(Action action)
    {
        try {
            action();
        } catch (const ERegistryException& error) {
            return error.what();
        }
        return "(no ERegistryException)";
    }

    std::string path;
};

TEST_F(RegistryKeyTest, OpenWithCreateMakesTheKeyAndTheKeysAboveIt)
{
    const std::string deep = path + "\\Brelmor\\Skyvane";
    RegistryKey key(HKEY_CURRENT_USER);
    EXPECT_FALSE(key.keyExists(deep));
    EXPECT_FALSE(key.openKey(deep, false)) << "an open without create must not make the key";
    EXPECT_FALSE(key.keyExists(deep));
    EXPECT_EQ(key.currentKey(), nullptr);

    ASSERT_TRUE(key.openKey(deep, true));
    EXPECT_NE(key.currentKey(), nullptr);
    EXPECT_TRUE(key.keyExists(path));
    EXPECT_TRUE(key.keyExists(deep));
    key.closeKey();
    EXPECT_EQ(key.currentKey(), nullptr);

    ASSERT_TRUE(key.openKey(deep, false)) << "an existing key opens without create";
}

TEST_F(RegistryKeyTest, AnOpenForReadingCreatesNothingReadsAndCannotWrite)
{
    RegistryKey key(HKEY_CURRENT_USER);
    EXPECT_EQ(key.openKeyForReading(path + "\\Missing"), KeyReading::Missing);
    EXPECT_FALSE(key.keyExists(path + "\\Missing"));
    EXPECT_EQ(key.currentKey(), nullptr);

    ASSERT_TRUE(key.openKey(path, true));
    key.writeInteger("Delay", 9);
    key.closeKey();

    ASSERT_EQ(key.openKeyForReading(path), KeyReading::Opened);
    EXPECT_EQ(key.readInteger("Delay"), 9);
    EXPECT_THROW(key.writeInteger("Delay", 10), ERegistryException) << "opened with read access only";
    key.closeKey();
    ASSERT_TRUE(key.openKey(path, false));
    EXPECT_EQ(key.readInteger("Delay"), 9);
}

TEST_F(RegistryKeyTest, IntegersAreStoredAsLittleEndianDwords)
{
    RegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.openKey(path, true));
    key.writeInteger("Delay", 0x01020304);
    key.writeInteger("Negative", -2);
    EXPECT_EQ(key.readInteger("Delay"), 0x01020304);
    EXPECT_EQ(key.readInteger("Negative"), -2);
    key.closeKey();

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(getRaw("Delay", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, (std::vector<BYTE>{4, 3, 2, 1}));
}

TEST_F(RegistryKeyTest, BooleansAreWrittenAsOneOrZeroAndAnyNonZeroReadsTrue)
{
    const DWORD five = 5, zero = 0;
    setRaw("Five", REG_DWORD, &five, 4);
    setRaw("Zero", REG_DWORD, &zero, 4);
    RegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.openKey(path, false));
    EXPECT_TRUE(key.readBool("Five"));
    EXPECT_FALSE(key.readBool("Zero"));
    key.writeBool("On", true);
    key.writeBool("Off", false);
    EXPECT_EQ(key.readInteger("On"), 1);
    EXPECT_EQ(key.readInteger("Off"), 0);
}

TEST_F(RegistryKeyTest, ValueExistsWhateverTheValuesType)
{
    const DWORD one = 1;
    setRaw("Number", REG_DWORD, &one, 4);
    setString("Text", "a long text value");
    RegistryKey key(HKEY_CURRENT_USER);
    EXPECT_FALSE(key.valueExists("Number")) << "no key open yet";
    ASSERT_TRUE(key.openKey(path, false));
    EXPECT_TRUE(key.valueExists("Number"));
    EXPECT_TRUE(key.valueExists("Text"));
    EXPECT_FALSE(key.valueExists("Missing"));
}

TEST_F(RegistryKeyTest, ReadErrorsNameTheValue)
{
    setString("Short", "1");                  // 2 bytes, REG_SZ
    setString("Long", "not a number");        // more than 4 bytes
    const BYTE binary[4] = {1, 0, 0, 0};
    setRaw("Binary", REG_BINARY, binary, 4);
    const BYTE wide[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    setRaw("Wide", REG_QWORD, wide, 8);
    RegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.openKey(path, false));
    EXPECT_EQ(registryError([&] { key.readInteger("Short"); }), "Invalid data type for 'Short'");
    EXPECT_EQ(registryError([&] { key.readInteger("Binary"); }), "Invalid data type for 'Binary'");
    EXPECT_EQ(registryError([&] { key.readInteger("Long"); }), "Failed to get data for 'Long'");
    EXPECT_EQ(registryError([&] { key.readInteger("Wide"); }), "Failed to get data for 'Wide'");
    EXPECT_EQ(registryError([&] { key.readInteger("Missing"); }), "Failed to get data for 'Missing'");
    EXPECT_EQ(registryError([&] { key.readBool("Short"); }), "Invalid data type for 'Short'");
}

TEST_F(RegistryKeyTest, AWriteThatFailsNamesTheValue)
{
    RegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.openKey(path, true));
    // The open key is deleted behind the layer's back: writing to it fails.
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(registryError([&] { key.writeInteger("Delay", 3); }), "Failed to set data for 'Delay'");
    EXPECT_EQ(registryError([&] { key.writeBool("F16", true); }), "Failed to set data for 'F16'");
}

TEST_F(RegistryKeyTest, NothingCanBeReadOrWrittenAfterClose)
{
    RegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.openKey(path, true));
    key.writeInteger("Delay", 3);
    key.closeKey();
    key.closeKey();   // a second close is harmless
    EXPECT_FALSE(key.valueExists("Delay"));
    EXPECT_EQ(registryError([&] { key.readInteger("Delay"); }), "Failed to get data for 'Delay'");
    EXPECT_EQ(registryError([&] { key.writeInteger("Delay", 4); }), "Failed to set data for 'Delay'");
}

TEST_F(RegistryKeyTest, OpeningAnotherKeyLeavesTheFirstOne)
{
    RegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.openKey(path + "\\A", true));
    key.writeInteger("Where", 1);
    ASSERT_TRUE(key.openKey(path + "\\B", true));
    key.writeInteger("Where", 2);
    EXPECT_EQ(key.readInteger("Where"), 2);
    ASSERT_TRUE(key.openKey(path + "\\A", false));
    EXPECT_EQ(key.readInteger("Where"), 1);
}

TEST_F(RegistryKeyTest, ReadsThePasswordSettingOfControlPanelDesktop)
{
    // The input watch's use: HKEY_CURRENT_USER, an existing key, never created.
    RegistryKey key(HKEY_CURRENT_USER);
    const std::string desktop = "Control Panel\\desktop";
    if (!key.keyExists(desktop))
        GTEST_SKIP() << "this prefix has no Control Panel\\desktop key";
    ASSERT_TRUE(key.openKey(desktop, false));
    HKEY raw = key.currentKey();
    const DWORD on = 1;
    ASSERT_EQ(RegSetValueExA(raw, "SkyvaneTestsPassword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), 4),
              ERROR_SUCCESS);
    EXPECT_EQ(key.readInteger("SkyvaneTestsPassword"), 1);
    RegDeleteValueA(raw, "SkyvaneTestsPassword");
}

}  // namespace
