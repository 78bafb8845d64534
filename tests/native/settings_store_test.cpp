// The settings store's decisions, run on a registry key held in memory.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "settings/settings_logic.h"
#include "tests/support/test_values.h"

namespace {

// A registry in memory with the semantics of the Win32 layer: values have a
// type and bytes; a read fails for a missing value or more than 4 bytes and
// rejects a type other than REG_DWORD. Opens and writes can be made to fail.
class MemoryKey : public KeyAccess {
public:
    enum class Type { Dword, String };
    struct Value {
        Type type;
        std::vector<uint8_t> bytes;
    };
    using Values = std::map<std::string, Value>;

    std::map<std::string, Values> keys;
    bool refuseOpen = false;              // e.g. no right to read the key
    bool refuseWrite = false;             // a standard user: reading only
    std::optional<std::string> failWriteOf;
    std::vector<std::string> writes;      // names in the order written
    std::vector<std::string> opens;       // "read" or "write", in order
    bool isOpen = false;
    int closes = 0;

    bool keyExists(const std::string& path) override { return !refuseOpen && keys.count(path); }
    bool openKey(const std::string& path, bool canCreate) override
    {
        opens.push_back("write");
        if (refuseOpen || refuseWrite || (!canCreate && !keys.count(path)))
            return false;
        open_ = &keys[path];
        isOpen = true;
        return true;
    }
    KeyReading openKeyForReading(const std::string& path) override
    {
        opens.push_back("read");
        if (refuseOpen)
            return KeyReading::Refused;
        if (!keys.count(path))
            return KeyReading::Missing;
        open_ = &keys[path];
        isOpen = true;
        return KeyReading::Opened;
    }
    bool valueExists(const std::string& name) override { return open_->count(name) != 0; }
    int32_t readInteger(const std::string& name) override
    {
        auto found = open_->find(name);
        if (found == open_->end() || found->second.bytes.size() > 4)
            throw ERegistryException("Failed to get data for '" + name + "'");
        if (found->second.type != Type::Dword)
            throw ERegistryException("Invalid data type for '" + name + "'");
        uint32_t bits = 0;
        for (std::size_t i = 0; i < found->second.bytes.size(); ++i)
            bits |= uint32_t{found->second.bytes[i]} << (8 * i);
        return static_cast<int32_t>(bits);
    }
    void writeInteger(const std::string& name, int32_t value) override
    {
        if (failWriteOf == name)
            throw ERegistryException("Failed to set data for '" + name + "'");
        (*open_)[name] = dword(value);
        writes.push_back(name);
    }
    void closeKey() override
    {
        isOpen = false;
        ++closes;
    }

    static Value dword(int32_t value)
    {
        const auto bits = static_cast<uint32_t>(value);
        return {Type::Dword, {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)}};
    }
    static Value string(const std::string& text)
    {
        std::vector<uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        return {Type::String, bytes};
    }

    Values& settingsKey() { return keys[settingsKeyPath]; }
    std::optional<int32_t> stored(const std::string& name)
    {
        Values& values = settingsKey();
        if (!values.count(name))
            return std::nullopt;
        return readStored(values.at(name));
    }

private:
    static int32_t readStored(const Value& value)
    {
        uint32_t bits = 0;
        for (std::size_t i = 0; i < value.bytes.size(); ++i)
            bits |= uint32_t{value.bytes[i]} << (8 * i);
        return static_cast<int32_t>(bits);
    }
    Values* open_ = nullptr;
};

struct RecordingDisplay : DelayDisplay {
    std::vector<std::string> calls;
    void setScrollPosition(int position) override { calls.push_back("scroll " + std::to_string(position)); }
    void setLabelText(const std::string& text) override { calls.push_back("label " + text); }
};

const std::vector<bool> allTypes(11, true);
const std::vector<bool> noTypes(11, false);

// What the dialog shows after a load, unchanged on close.
DialogChoices choicesShowing(const SaverSettings& s, const std::string& label)
{
    DialogChoices c;
    c.types = enabledPlaneTypes(s);
    c.label1Text = label;
    c.radorderChecked = !s.Random;
    c.raddesktopChecked = !s.Fake;
    return c;
}

}  // namespace

TEST(FirstRun, SaverStartWithoutKeyWritesTheFourteenFirstRunValuesInOrder)
{
    MemoryKey key;
    ensureDefaultSettings(key);
    EXPECT_EQ(key.writes, settingsWriteOrder);
    for (const std::string& type : typeValueNames)
        EXPECT_EQ(key.stored(type), 1) << type;
    EXPECT_EQ(key.stored("Delay"), 3);
    EXPECT_EQ(key.stored("Random"), 1);
    EXPECT_EQ(key.stored("Fake"), 0);
    EXPECT_FALSE(key.isOpen);

    SaverSettings settings;
    EXPECT_FALSE(loadSettings(key, settings, true, nullptr).has_value());
    EXPECT_EQ(typeFlags(settings), allTypes);
    EXPECT_EQ(settings.Delay, 3);
    EXPECT_TRUE(settings.Random);
    EXPECT_FALSE(settings.Fake);
}

TEST(FirstRun, AnExistingKeyIsLeftAloneEvenWithoutValues)
{
    MemoryKey key;
    key.settingsKey();
    ensureDefaultSettings(key);
    EXPECT_TRUE(key.writes.empty());

    // Empty key: every type, a 4-second pause, catalogue order, live desktop.
    SaverSettings settings;
    EXPECT_FALSE(loadSettings(key, settings, true, nullptr).has_value());
    EXPECT_EQ(typeFlags(settings), allTypes);
    EXPECT_EQ(settings.Delay, 4);
    EXPECT_FALSE(settings.Random);
    EXPECT_FALSE(settings.Fake);
}

TEST(FirstRun, DialogFirstReadsTheMissingKeyAsEmptyAndItsCloseWritesAllFourteen)
{
    MemoryKey key;
    SaverSettings settings;
    RecordingDisplay display;
    EXPECT_FALSE(loadSettings(key, settings, false, &display).has_value());
    EXPECT_FALSE(key.keys.count(settingsKeyPath)) << "reading creates nothing";
    EXPECT_EQ(typeFlags(settings), allTypes);
    EXPECT_EQ(display.calls, (std::vector<std::string>{"scroll 4", "label 4"}));

    saveSettings(key, choicesShowing(settings, "4"));
    EXPECT_EQ(key.writes, settingsWriteOrder);
    EXPECT_EQ(key.stored("Delay"), 4);
    EXPECT_EQ(key.stored("Random"), 0);
    EXPECT_EQ(key.stored("Fake"), 0);
    for (const std::string& type : typeValueNames)
        EXPECT_EQ(key.stored(type), 1) << type;

    // A later saver start finds the key and writes nothing of its own.
    key.writes.clear();
    ensureDefaultSettings(key);
    EXPECT_TRUE(key.writes.empty());
}

TEST(KeyCannotBeOpened, NothingIsWrittenReadOrReported)
{
    MemoryKey key;
    key.refuseOpen = true;
    EXPECT_NO_THROW(ensureDefaultSettings(key));

    SaverSettings settings;
    settings.F16 = settings.Random = settings.Fake = true;
    settings.Delay = 0;
    RecordingDisplay display;
    EXPECT_FALSE(loadSettings(key, settings, false, &display).has_value());
    EXPECT_EQ(typeFlags(settings), noTypes);
    EXPECT_FALSE(settings.Random);
    EXPECT_FALSE(settings.Fake);
    EXPECT_EQ(settings.Delay, 0);
    EXPECT_TRUE(display.calls.empty());

    DialogChoices choices;
    choices.label1Text = "Label1";   // would not convert, but nothing is written at all
    EXPECT_EQ(messageOf<ESettingsNotSaved>([&] { saveSettings(key, choices); }),
              "Cannot save the settings to HKEY_LOCAL_MACHINE\\Software\\Brelmor\\Skyvane");
    EXPECT_TRUE(key.writes.empty());
    EXPECT_TRUE(key.keys.empty());
}

// A standard user on the NT family may read the machine-wide key but not
// change it: the saver and the dialog still read every value, the first-run
// values are simply not written, and a save says it failed.
TEST(StandardUser, LoadingAsksForReadAccessOnlyAndAFailedSaveIsReported)
{
    MemoryKey key;
    key.settingsKey()["F16"] = MemoryKey::dword(0);
    key.settingsKey()["Delay"] = MemoryKey::dword(12);
    key.settingsKey()["Random"] = MemoryKey::dword(1);
    key.refuseWrite = true;

    SaverSettings settings;
    EXPECT_FALSE(loadSettings(key, settings, true, nullptr).has_value());
    EXPECT_EQ(key.opens, std::vector<std::string>{"read"});
    EXPECT_FALSE(settings.F16);
    EXPECT_TRUE(settings.SR71);
    EXPECT_EQ(settings.Delay, 12);
    EXPECT_TRUE(settings.Random);
    EXPECT_FALSE(key.isOpen);

    key.opens.clear();
    ensureDefaultSettings(key);
    EXPECT_TRUE(key.opens.empty()) << "an existing key is only looked at";

    DialogChoices choices = choicesShowing(settings, "30");
    EXPECT_THROW(saveSettings(key, choices), ESettingsNotSaved);
    EXPECT_TRUE(key.writes.empty());
    EXPECT_EQ(key.stored("Delay"), 12) << "the earlier values stay";
}

TEST(StandardUser, WithoutTheKeyTheSaverRunsOnTheAssumedValues)
{
    MemoryKey key;
    key.refuseWrite = true;
    EXPECT_NO_THROW(ensureDefaultSettings(key));
    SaverSettings settings;
    EXPECT_FALSE(loadSettings(key, settings, true, nullptr).has_value());
    EXPECT_EQ(typeFlags(settings), allTypes);
    EXPECT_EQ(settings.Delay, 4);
    EXPECT_TRUE(key.keys.empty());
}

TEST(KeyCannotBeOpened, DelayKeepsTheNumberAnEarlierLoadGaveIt)
{
    MemoryKey key;
    key.refuseOpen = true;
    SaverSettings settings;
    settings.Delay = 17;
    EXPECT_FALSE(loadSettings(key, settings, true, nullptr).has_value());
    EXPECT_EQ(settings.Delay, 17);
}

TEST(Load, AnyNonZeroNumberIsTrueAndTheRecordHoldsOneOrZero)
{
    MemoryKey key;
    key.settingsKey()["F16"] = MemoryKey::dword(5);
    key.settingsKey()["SR71"] = MemoryKey::dword(-1);
    key.settingsKey()["F15"] = MemoryKey::dword(0);
    key.settingsKey()["Random"] = MemoryKey::dword(256);
    SaverSettings settings;
    EXPECT_FALSE(loadSettings(key, settings, true, nullptr).has_value());
    EXPECT_TRUE(settings.F16);
    EXPECT_TRUE(settings.SR71);
    EXPECT_FALSE(settings.F15);
    EXPECT_TRUE(settings.Random);
    EXPECT_EQ(*reinterpret_cast<const unsigned char*>(&settings.F16), 1);

    // The dialog shows F16 checked, and its close stores 1.
    saveSettings(key, choicesShowing(settings, "4"));
    EXPECT_EQ(key.stored("F16"), 1);
}

TEST(Load, MissingValuesTakeTheirAssumedValuesNotTheFirstRunOnes)
{
    MemoryKey key;
    key.settingsKey()["F16"] = MemoryKey::dword(0);
    key.settingsKey()["Fake"] = MemoryKey::dword(1);
    SaverSettings settings;
    settings.Random = true;
    EXPECT_FALSE(loadSettings(key, settings, true, nullptr).has_value());
    EXPECT_FALSE(settings.F16);
    EXPECT_TRUE(settings.Other);
    EXPECT_EQ(settings.Delay, 4);
    EXPECT_FALSE(settings.Random) << "a missing Random reads false although the first run writes true";
    EXPECT_TRUE(settings.Fake);

    // Closed without change, the dialog stores the assumed values.
    saveSettings(key, choicesShowing(settings, std::to_string(settings.Delay)));
    EXPECT_EQ(key.stored("F16"), 0);
    EXPECT_EQ(key.stored("Awac"), 1);
    EXPECT_EQ(key.stored("Delay"), 4);
    EXPECT_EQ(key.stored("Random"), 0);
    EXPECT_EQ(key.stored("Fake"), 1);
}

TEST(Load, DelayOutsideTheDialogsRangeSurvivesLoadAndSave)
{
    for (int32_t delay : {0, 500, -3}) {
        MemoryKey key;
        key.settingsKey()["Delay"] = MemoryKey::dword(delay);
        SaverSettings settings;
        RecordingDisplay display;
        EXPECT_FALSE(loadSettings(key, settings, false, &display).has_value());
        EXPECT_EQ(settings.Delay, delay);
        // Scroll bar first (it limits the position), then the label with the stored number.
        const std::string text = std::to_string(delay);
        EXPECT_EQ(display.calls, (std::vector<std::string>{"scroll " + text, "label " + text}));
        saveSettings(key, choicesShowing(settings, text));
        EXPECT_EQ(key.stored("Delay"), delay);
    }
}

TEST(Load, TheSaverVariantTouchesNoControl)
{
    MemoryKey key;
    key.settingsKey()["Delay"] = MemoryKey::dword(9);
    SaverSettings settings;
    RecordingDisplay display;
    EXPECT_FALSE(loadSettings(key, settings, true, &display).has_value());
    EXPECT_EQ(settings.Delay, 9);
    EXPECT_TRUE(display.calls.empty());
    EXPECT_FALSE(key.isOpen);
}

// A key as a user left it, every value away from its assumed one, with one
// value replaced by something that cannot be read as a 32-bit number.
MemoryKey userKeyWith(const std::string& badName, const MemoryKey::Value& bad)
{
    MemoryKey key;
    for (const std::string& type : typeValueNames)
        key.settingsKey()[type] = MemoryKey::dword(type == "B52" || type == "Other" ? 0 : 1);
    key.settingsKey()["Delay"] = MemoryKey::dword(30);
    key.settingsKey()["Random"] = MemoryKey::dword(1);
    key.settingsKey()["Fake"] = MemoryKey::dword(1);
    key.settingsKey()[badName] = bad;
    return key;
}

TEST(LoadFailure, AValueThatCannotBeReadTakesItsAssumedValueAndTheOthersAreReadAsStored)
{
    const std::map<std::string, int32_t> assumed{{"F16", 1}, {"B52", 1}, {"Other", 1},
                                                 {"Delay", 4}, {"Random", 0}, {"Fake", 0}};
    for (const auto& [badName, assumedValue] : assumed) {
        // A short string is of the wrong type; a long one does not fit 4 bytes.
        for (const auto& [text, message] : {std::pair{"1", "Invalid data type for '"},
                                            std::pair{"enabled", "Failed to get data for '"}}) {
            SCOPED_TRACE(badName + " stored as \"" + text + "\"");
            MemoryKey key = userKeyWith(badName, MemoryKey::string(text));
            SaverSettings settings;
            RecordingDisplay display;
            const std::optional<ERegistryException> failure = loadSettings(key, settings, false, &display);
            ASSERT_TRUE(failure.has_value());
            EXPECT_EQ(std::string(failure->what()), message + badName + "'");
            EXPECT_FALSE(key.isOpen);

            // The dialog shows what it read and, closed unchanged, writes
            // every value back: the unreadable one as its assumed number.
            const std::string label = std::to_string(settings.Delay);
            EXPECT_EQ(display.calls, (std::vector<std::string>{"scroll " + label, "label " + label}));
            saveSettings(key, choicesShowing(settings, label));
            for (const std::string& name : settingsWriteOrder) {
                std::optional<int32_t> expected = name == "B52" || name == "Other" ? 0 : 1;
                if (name == "Delay")
                    expected = 30;
                if (name == badName)
                    expected = assumedValue;
                EXPECT_EQ(key.stored(name), expected) << name;
            }
        }
    }
}

TEST(LoadFailure, TheSaverVariantReadsTheRestTooAndTheFirstFailureInReadOrderIsTheOneReported)
{
    // Read order: the types (F16, SR71, F15, Awac, ...), Delay, Random, Fake.
    MemoryKey key = userKeyWith("Fake", MemoryKey::string("no"));
    key.settingsKey()["Awac"] = MemoryKey::string("x");
    key.settingsKey()["Delay"] = MemoryKey::string("a long text");
    SaverSettings settings;
    settings.Delay = 12;
    RecordingDisplay display;
    const std::optional<ERegistryException> failure = loadSettings(key, settings, true, &display);
    ASSERT_TRUE(failure.has_value());
    EXPECT_STREQ(failure->what(), "Invalid data type for 'Awac'");
    EXPECT_TRUE(settings.Awac);
    EXPECT_FALSE(settings.B52);
    EXPECT_FALSE(settings.Other);
    EXPECT_TRUE(settings.F22);
    EXPECT_EQ(settings.Delay, 4);
    EXPECT_TRUE(settings.Random);
    EXPECT_FALSE(settings.Fake);
    EXPECT_TRUE(display.calls.empty());

    // Every value readable again: nothing to report.
    for (const char* name : {"Awac", "Delay", "Fake"})
        key.settingsKey()[name] = MemoryKey::dword(1);
    EXPECT_FALSE(loadSettings(key, settings, true, nullptr).has_value());
    EXPECT_EQ(settings.Delay, 1);
}

TEST(Save, WritesTheDialogsControlsInOrder)
{
    MemoryKey key;
    DialogChoices choices;
    for (PlaneType type : {PlaneType::F15, PlaneType::B52, PlaneType::Other})
        choices.types.set(type, true);
    choices.label1Text = "42";
    choices.radorderChecked = false;    // random order
    choices.raddesktopChecked = true;   // live desktop
    saveSettings(key, choices);
    EXPECT_EQ(key.writes, settingsWriteOrder);
    for (const std::string& type : typeValueNames) {
        const bool on = type == "F15" || type == "B52" || type == "Other";
        EXPECT_EQ(key.stored(type), on ? 1 : 0) << type;
    }
    EXPECT_EQ(key.stored("Delay"), 42);
    EXPECT_EQ(key.stored("Random"), 1);
    EXPECT_EQ(key.stored("Fake"), 0);
    EXPECT_FALSE(key.isOpen);
    EXPECT_EQ(key.closes, 1);

    choices.radorderChecked = true;
    choices.raddesktopChecked = false;
    saveSettings(key, choices);
    EXPECT_EQ(key.stored("Random"), 0);
    EXPECT_EQ(key.stored("Fake"), 1);
}

TEST(Save, ALabelThatIsNoNumberFailsAfterTheTypesAreWritten)
{
    MemoryKey key;
    DialogChoices choices;
    choices.types.set(PlaneType::SR71, true);
    choices.label1Text = "Label1";
    EXPECT_EQ(messageOf<EConvertError>([&] { saveSettings(key, choices); }),
              "'Label1' is not a valid integer value");
    EXPECT_EQ(key.writes, typeValueNames);
    EXPECT_EQ(key.stored("SR71"), 1);
    EXPECT_FALSE(key.stored("Delay"));
    EXPECT_FALSE(key.stored("Random"));
    EXPECT_FALSE(key.stored("Fake"));
}

TEST(Save, AWriteThatFailsStopsTheSaveAtThatValue)
{
    MemoryKey key;
    key.failWriteOf = "B52";
    DialogChoices choices;
    choices.label1Text = "5";
    EXPECT_EQ(messageOf<ERegistryException>([&] { saveSettings(key, choices); }),
              "Failed to set data for 'B52'");
    EXPECT_EQ(key.writes, (std::vector<std::string>{"F16", "F15", "Awac", "U2"}));
}

TEST(FirstRun, AWriteThatFailsStopsTheFirstRunValuesThere)
{
    MemoryKey key;
    key.failWriteOf = "Delay";
    EXPECT_EQ(messageOf<ERegistryException>([&] { ensureDefaultSettings(key); }),
              "Failed to set data for 'Delay'");
    EXPECT_EQ(key.writes, typeValueNames);
}

TEST(AllOthersRule, NoTypeCheckedChecksAllOthers)
{
    DialogChoices choices;
    EXPECT_TRUE(applyAllOthersRule(choices));
    EXPECT_TRUE(choices.types[PlaneType::Other]);
    EXPECT_FALSE(choices.types[PlaneType::F16]);

    MemoryKey key;
    choices.label1Text = "4";
    saveSettings(key, choices);
    for (const std::string& type : typeValueNames)
        EXPECT_EQ(key.stored(type), type == "Other" ? 1 : 0) << type;
}

TEST(AllOthersRule, AnyCheckedTypeLeavesTheBoxesAsTheyAre)
{
    for (const PlaneTypeRow& type : planeTypes) {
        // Build the choices with exactly this one type checked.
        SaverSettings only;
        only.*type.flag = true;
        DialogChoices choices = choicesShowing(only, "4");
        EXPECT_FALSE(applyAllOthersRule(choices)) << type.valueName;
        EXPECT_EQ(choices.types[PlaneType::Other], type.type == PlaneType::Other) << type.valueName;
    }
}

TEST(Schema, TheWriteOrderNamesEveryTypeOnce)
{
    PlaneTypeFlags seen;
    for (PlaneType type : typeWriteOrder) {
        EXPECT_FALSE(seen[type]) << planeTypeRow(type).valueName;
        seen.set(type, true);
    }
    for (const PlaneTypeRow& row : planeTypes)
        EXPECT_TRUE(seen[row.type]) << row.valueName;
}
