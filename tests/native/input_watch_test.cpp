// The input watch: which messages end the saver, the order of the Windows 9x
// password check's calls with the cursor count each outcome leaves, and the
// entries endSaver deletes.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "saver/input_watch_logic.h"

namespace {

// Records every call and keeps the cursor's display count, which the saver's
// start-up leaves at -1.
class RecordingSystem : public InputWatchSystem {
public:
    bool windowsNT = false;
    bool keyOpens = true;
    bool readFails = false;
    int32_t usePassword = 0;
    bool providerLoads = true;
    bool entryPresent = true;
    bool passwordAccepted = false;

    std::vector<std::string> calls;
    int cursorCount = -1;
    bool keyOpen = false;
    bool providerLoaded = false;

    bool isWindowsNT() override { calls.push_back("version"); return windowsNT; }
    bool openDesktopKey() override
    {
        calls.push_back("open key");
        keyOpen = keyOpens;
        return keyOpens;
    }
    int32_t readUsePassword() override
    {
        calls.push_back("read");
        if (readFails)
            throw std::runtime_error("Failed to get data for 'ScreenSaveUsePassword'");
        return usePassword;
    }
    void closeDesktopKey() override { calls.push_back("close key"); keyOpen = false; }
    void showCursor(bool show) override
    {
        calls.push_back(show ? "show" : "hide");
        cursorCount += show ? 1 : -1;
    }
    bool loadPasswordProvider() override
    {
        calls.push_back("load");
        providerLoaded = providerLoads;
        return providerLoads;
    }
    bool hasVerifyEntry() override { return entryPresent; }
    bool verifyPassword() override { calls.push_back("verify"); return passwordAccepted; }
    void unloadPasswordProvider() override { calls.push_back("unload"); providerLoaded = false; }
    void endSaver() override
    {
        calls.push_back("end");
        cursorCount += 1;   // endSaver shows the cursor
    }
};

using Calls = std::vector<std::string>;
constexpr unsigned keyDown = 0x0100;

TEST(EndingMessages, KeysBothWaysAndButtonPressesOnly)
{
    for (unsigned message : {0x0100u, 0x0101u, 0x0104u, 0x0105u, 0x0201u, 0x0204u, 0x0207u})
        EXPECT_TRUE(isEndingMessage(message)) << std::hex << message;
    // Mouse movement, button releases, double clicks, characters, the wheel,
    // timers, paints, system commands (the monitor's power among them) and power
    // broadcasts pass.
    for (unsigned message : {0x0200u, 0x0202u, 0x0205u, 0x0208u, 0x0203u, 0x0102u, 0x0106u,
                             0x0103u, 0x020Au, 0x0113u, 0x000Fu, 0x0000u, 0x0010u,
                             0x0112u, 0x0218u})
        EXPECT_FALSE(isEndingMessage(message)) << std::hex << message;
}

TEST(WatchInput, OtherMessagesTouchNothing)
{
    RecordingSystem system;
    bool busy = false;
    watchInput(0x0200, busy, system);   // mouse movement
    EXPECT_TRUE(system.calls.empty());
    EXPECT_FALSE(busy);
}

TEST(WatchInput, BusyIgnoresEverythingAndStaysBusy)
{
    RecordingSystem system;
    bool busy = true;
    watchInput(keyDown, busy, system);
    EXPECT_TRUE(system.calls.empty());
    EXPECT_TRUE(busy);
}

TEST(WatchInput, WindowsNTEndsAtOnceWithoutRegistryOrProvider)
{
    RecordingSystem system;
    system.windowsNT = true;
    bool busy = false;
    watchInput(0x0204, busy, system);
    EXPECT_EQ(system.calls, (Calls{"version", "end"}));
    EXPECT_EQ(system.cursorCount, 0);
    EXPECT_FALSE(busy);
}

TEST(WatchInput, BusyWhileTheCheckRuns)
{
    struct BusyProbe : RecordingSystem {
        bool* busy = nullptr;
        bool busyDuringEnd = false;
        void endSaver() override { busyDuringEnd = *busy; RecordingSystem::endSaver(); }
    } system;
    bool busy = false;
    system.busy = &busy;
    watchInput(keyDown, busy, system);
    EXPECT_TRUE(system.busyDuringEnd);
    EXPECT_FALSE(busy);
}

TEST(PasswordCheck, NoDesktopKeyEndsTheSaver)
{
    RecordingSystem system;
    system.keyOpens = false;
    bool busy = false;
    watchInput(keyDown, busy, system);
    EXPECT_EQ(system.calls, (Calls{"version", "open key", "end"}));
    EXPECT_EQ(system.cursorCount, 0);
}

TEST(PasswordCheck, NoProtectionEndsTheSaverThenClosesTheKey)
{
    RecordingSystem system;
    system.usePassword = 0;
    bool busy = false;
    watchInput(keyDown, busy, system);
    EXPECT_EQ(system.calls, (Calls{"version", "open key", "read", "end", "close key"}));
    EXPECT_EQ(system.cursorCount, 0);
    EXPECT_FALSE(system.keyOpen);
}

TEST(PasswordCheck, UnreadableSettingCountsAsNoProtection)
{
    RecordingSystem system;
    system.readFails = true;
    bool busy = false;
    watchInput(keyDown, busy, system);
    EXPECT_EQ(system.calls, (Calls{"version", "open key", "read", "end", "close key"}));
    EXPECT_EQ(system.cursorCount, 0);
    EXPECT_FALSE(busy);   // a mark left set would ignore every later key
}

TEST(PasswordCheck, MissingProviderEndsWithoutCheck)
{
    RecordingSystem system;
    system.usePassword = 1;
    system.providerLoads = false;
    checkPasswordAndEnd(system);
    EXPECT_EQ(system.calls, (Calls{"open key", "read", "show", "load", "end", "hide", "close key"}));
    EXPECT_EQ(system.cursorCount, 0);
}

TEST(PasswordCheck, AcceptedPasswordEndsAndUnloads)
{
    RecordingSystem system;
    system.usePassword = -1;   // any non-zero value is protection
    system.passwordAccepted = true;
    checkPasswordAndEnd(system);
    EXPECT_EQ(system.calls,
              (Calls{"open key", "read", "show", "load", "verify", "end", "unload", "hide", "close key"}));
    EXPECT_EQ(system.cursorCount, 0);
    EXPECT_FALSE(system.providerLoaded);
}

TEST(PasswordCheck, RefusedPasswordHidesTheCursorAgainAndGoesOn)
{
    RecordingSystem system;
    system.usePassword = 1;
    system.passwordAccepted = false;
    bool busy = false;
    watchInput(keyDown, busy, system);
    EXPECT_EQ(system.calls,
              (Calls{"version", "open key", "read", "show", "load", "verify", "unload", "hide", "close key"}));
    EXPECT_EQ(system.cursorCount, -1);
    EXPECT_FALSE(busy);
    // The next key starts a new check.
    system.calls.clear();
    watchInput(keyDown, busy, system);
    EXPECT_EQ(system.calls.size(), 9u);
}

TEST(PasswordCheck, ProviderWithoutEntryIsNoCheck)
{
    RecordingSystem system;
    system.usePassword = 1;
    system.entryPresent = false;
    checkPasswordAndEnd(system);
    EXPECT_EQ(system.calls, (Calls{"open key", "read", "show", "load", "end", "unload", "hide", "close key"}));
    EXPECT_EQ(system.cursorCount, 0);
}

TEST(WatchInput, FailureInsideClearsTheBusyMark)
{
    struct Failing : RecordingSystem {
        void endSaver() override { throw std::runtime_error("close failed"); }
    } system;
    system.windowsNT = true;
    bool busy = false;
    EXPECT_THROW(watchInput(keyDown, busy, system), std::runtime_error);
    EXPECT_FALSE(busy);
}

TEST(DecodedImages, PlainArchiveAndReadOnlyAreDeleted)
{
    EXPECT_TRUE(isDeletableImageEntry(0x00));
    EXPECT_TRUE(isDeletableImageEntry(0x20));        // archive
    EXPECT_TRUE(isDeletableImageEntry(0x01 | 0x20)); // read-only: tried; the deletion fails
    EXPECT_TRUE(isDeletableImageEntry(0x80));        // normal
    EXPECT_FALSE(isDeletableImageEntry(0x10));       // directory
    EXPECT_FALSE(isDeletableImageEntry(0x02 | 0x20));// hidden
    EXPECT_FALSE(isDeletableImageEntry(0x04));       // system
}

} // namespace
