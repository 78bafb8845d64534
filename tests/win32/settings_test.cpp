// The settings store on Wine's real registry key
// HKEY_LOCAL_MACHINE\Software\Brelmor\Skyvane. Each test starts without the
// key and puts back whatever values were there before.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "settings/registry.h"
#include "settings/settings.h"
#include "settings/settings_logic.h"
#include "settings/windows_directory.h"
#include "tests/support/test_values.h"

namespace {

struct RawValue {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<RawValue> valuesOfSettingsKey()
{
    std::vector<RawValue> values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, settingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name, type = 0;
        BYTE data[512];
        DWORD dataSize = sizeof data;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        values.push_back({name, type, std::vector<BYTE>(data, data + dataSize)});
    }
    RegCloseKey(key);
    return values;
}

bool settingsKeyExists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, settingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void setRaw(const std::string& name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, settingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}
void setDword(const std::string& name, int32_t value) { setRaw(name, REG_DWORD, &value, 4); }
void setString(const std::string& name, const std::string& text)
{
    setRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// A stored REG_DWORD, or a text saying what is there instead.
std::string stored(const std::string& name)
{
    for (const RawValue& value : valuesOfSettingsKey()) {
        if (value.name != name)
            continue;
        if (value.type != REG_DWORD || value.data.size() != 4)
            return "type " + std::to_string(value.type) + ", " + std::to_string(value.data.size()) + " bytes";
        int32_t number;
        memcpy(&number, value.data.data(), 4);
        return std::to_string(number);
    }
    return "missing";
}

// Passes every primitive on to the real registry key and notes the writes.
class NotingKey : public KeyAccess {
public:
    RegistryKey real{HKEY_LOCAL_MACHINE};
    std::vector<std::string> writes;
    bool keyExists(const std::string& path) override { return real.keyExists(path); }
    bool openKey(const std::string& path, bool canCreate) override { return real.openKey(path, canCreate); }
    KeyReading openKeyForReading(const std::string& path) override { return real.openKeyForReading(path); }
    bool valueExists(const std::string& name) override { return real.valueExists(name); }
    int32_t readInteger(const std::string& name) override { return real.readInteger(name); }
    void writeInteger(const std::string& name, int32_t value) override
    {
        real.writeInteger(name, value);
        writes.push_back(name);
    }
    void closeKey() override { real.closeKey(); }
};

struct RecordingDisplay : DelayDisplay {
    int position = -1;
    std::string label = "Label1";
    void setScrollPosition(int p) override { position = p; }
    void setLabelText(const std::string& text) override { label = text; }
};

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        hadKey_ = settingsKeyExists();
        saved_ = valuesOfSettingsKey();
        deleteKey();
        saverSettings = SaverSettings{};
    }
    void TearDown() override
    {
        deleteKey();
        if (hadKey_) {
            for (const RawValue& value : saved_)
                setRaw(value.name, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
        }
    }
    static void deleteKey() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, settingsKeyPath); }

private:
    bool hadKey_ = false;
    std::vector<RawValue> saved_;
};

TEST_F(SettingsStoreTest, TheSaversFirstRunWritesTheFourteenValuesInOrderAndLoadsThem)
{
    NotingKey noting;
    ensureDefaultSettings(noting);
    EXPECT_EQ(noting.writes, settingsWriteOrder);
    ASSERT_TRUE(settingsKeyExists());
    EXPECT_EQ(valuesOfSettingsKey().size(), 14u);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(stored(settingsWriteOrder[i]), "1") << settingsWriteOrder[i];
    EXPECT_EQ(stored("Delay"), "3");
    EXPECT_EQ(stored("Random"), "1");
    EXPECT_EQ(stored("Fake"), "0");

    // The program's own entry points, as the saver's start-up runs them.
    deleteKey();
    ensureDefaultSettings();
    EXPECT_FALSE(loadSettings(true).has_value());
    EXPECT_EQ(valuesOfSettingsKey().size(), 14u);
    EXPECT_EQ(typeFlags(saverSettings), std::vector<bool>(11, true));
    EXPECT_EQ(saverSettings.Delay, 3);
    EXPECT_TRUE(saverSettings.Random);
    EXPECT_FALSE(saverSettings.Fake);
}

TEST_F(SettingsStoreTest, AKeyWithoutValuesGetsNoFirstRunValuesAndLoadsTheAssumedOnes)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, settingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ensureDefaultSettings();
    EXPECT_TRUE(valuesOfSettingsKey().empty());
    EXPECT_FALSE(loadSettings(true).has_value());
    EXPECT_EQ(typeFlags(saverSettings), std::vector<bool>(11, true));
    EXPECT_EQ(saverSettings.Delay, 4);
    EXPECT_FALSE(saverSettings.Random);
    EXPECT_FALSE(saverSettings.Fake);
}

TEST_F(SettingsStoreTest, TheDialogFirstReadsTheMissingKeyAsEmptyAndItsCloseWritesAllValues)
{
    RecordingDisplay display;
    EXPECT_FALSE(loadSettings(false, &display).has_value());
    EXPECT_FALSE(settingsKeyExists()) << "loading only reads";
    EXPECT_EQ(display.position, 4);
    EXPECT_EQ(display.label, "4");

    DialogChoices choices;
    choices.types.set(PlaneType::F16, true);
    choices.types.set(PlaneType::Other, true);
    choices.label1Text = display.label;
    choices.radorderChecked = true;
    choices.raddesktopChecked = false;
    NotingKey noting;
    saveSettings(noting, choices);
    EXPECT_EQ(noting.writes, settingsWriteOrder);
    EXPECT_EQ(stored("F16"), "1");
    EXPECT_EQ(stored("F15"), "0");
    EXPECT_EQ(stored("Other"), "1");
    EXPECT_EQ(stored("Delay"), "4");
    EXPECT_EQ(stored("Random"), "0");
    EXPECT_EQ(stored("Fake"), "1");
}

TEST_F(SettingsStoreTest, F16StoredAsFiveIsOnAndSavedBackAsOne)
{
    setDword("F16", 5);
    EXPECT_FALSE(loadSettings(true).has_value());
    EXPECT_TRUE(saverSettings.F16);

    DialogChoices choices;
    choices.types.set(PlaneType::F16, saverSettings.F16);
    choices.label1Text = "4";
    saveSettings(choices);
    EXPECT_EQ(stored("F16"), "1");
}

TEST_F(SettingsStoreTest, AValueStoredAsAStringTakesItsAssumedValueAndTheOthersAreRead)
{
    for (const std::string& name : settingsWriteOrder)
        setDword(name, name == "B52" || name == "Fake" ? 0 : 1);
    setDword("Delay", 42);

    // One character and its terminating zero: the wrong type.
    setString("F16", "1");
    setDword("Random", 0);
    std::optional<ERegistryException> failure = loadSettings(true);
    ASSERT_TRUE(failure.has_value());
    EXPECT_STREQ(failure->what(), "Invalid data type for 'F16'");
    std::vector<bool> expected(11, true);
    expected[4] = false;   // B52
    EXPECT_EQ(typeFlags(saverSettings), expected);
    EXPECT_EQ(saverSettings.Delay, 42);
    EXPECT_FALSE(saverSettings.Random);
    EXPECT_FALSE(saverSettings.Fake);

    // Longer than 4 bytes: the data cannot be had.
    setDword("F16", 1);
    setString("Delay", "enabled");
    setDword("Random", 1);
    RecordingDisplay display;
    failure = loadSettings(false, &display);
    ASSERT_TRUE(failure.has_value());
    EXPECT_STREQ(failure->what(), "Failed to get data for 'Delay'");
    EXPECT_EQ(typeFlags(saverSettings), expected);
    EXPECT_EQ(saverSettings.Delay, 4);
    EXPECT_EQ(display.label, "4");
    EXPECT_TRUE(saverSettings.Random);

    // Saved back unchanged, the unreadable value becomes its assumed number.
    DialogChoices choices;
    choices.types = enabledPlaneTypes(saverSettings);
    choices.label1Text = display.label;
    choices.radorderChecked = false;
    choices.raddesktopChecked = true;
    saveSettings(choices);
    EXPECT_EQ(stored("Delay"), "4");
    EXPECT_EQ(stored("B52"), "0");
    EXPECT_EQ(stored("Random"), "1");
    EXPECT_FALSE(loadSettings(true).has_value());
}

TEST_F(SettingsStoreTest, DelaysOutsideTheScrollBarsRangeSurviveLoadAndSave)
{
    for (int32_t delay : {0, 500}) {
        setDword("Delay", delay);
        RecordingDisplay display;
        EXPECT_FALSE(loadSettings(false, &display).has_value());
        EXPECT_EQ(saverSettings.Delay, delay);
        EXPECT_EQ(display.label, std::to_string(delay));

        DialogChoices choices;
        choices.types.set(PlaneType::Wing, true);
        choices.label1Text = display.label;
        saveSettings(choices);
        EXPECT_EQ(stored("Delay"), std::to_string(delay));
    }
}

TEST_F(SettingsStoreTest, AMissingRandomReadsFalseEvenThoughTheFirstRunWritesTrue)
{
    ensureDefaultSettings();
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, settingsKeyPath, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, "Random");
    RegCloseKey(key);
    saverSettings.Random = true;
    EXPECT_FALSE(loadSettings(true).has_value());
    EXPECT_FALSE(saverSettings.Random);
    EXPECT_EQ(saverSettings.Delay, 3);
}

TEST_F(SettingsStoreTest, ALabelThatIsNoNumberFailsAfterTheElevenTypes)
{
    setDword("Delay", 9);
    DialogChoices choices;
    choices.types.set(PlaneType::B2, true);
    choices.label1Text = "Label1";
    EXPECT_EQ(messageOf<EConvertError>([&] { saveSettings(choices); }), "'Label1' is not a valid integer value");
    EXPECT_EQ(stored("B2"), "1");
    EXPECT_EQ(stored("F16"), "0");
    EXPECT_EQ(stored("Delay"), "9");
    EXPECT_EQ(stored("Random"), "missing");
}

TEST(WindowsDirectory, IsTheDirectoryTheSystemReports)
{
    char expected[MAX_PATH] = {};
    ASSERT_GT(GetWindowsDirectoryA(expected, MAX_PATH), 0u);
    EXPECT_EQ(windowsDirectory(), expected);
    EXPECT_NE(windowsDirectory().back(), '\\');
}

}  // namespace
