// The saver window under Wine: a start-up that fails still leaves a saver the
// user can end; only key and mouse-button presses end it; every way out
// restores the cursor and the system's saver state once and deletes the
// decoded images only; a flight tick that keeps failing stops the flights; the
// flight timers stop while the display is off and run again when it is on.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "box_watcher.h"
#include "framework/application.h"
#include "framework/files.h"
#include "imaging/bitmap_file.h"
#include "saver/flight_observer.h"
#include "saver/saver_window.h"
#include "settings/windows_directory.h"
#include "tests/support/test_values.h"
#include "tests/win32/support/test_files.h"

namespace {

constexpr const char* settingsKey = "Software\\Brelmor\\Skyvane";
constexpr UINT getScreenSaverRunning = 0x0072;   // SPI_GETSCREENSAVERRUNNING

bool screenSaverRunning()
{
    BOOL running = FALSE;
    SystemParametersInfoA(getScreenSaverRunning, 0, &running, 0);
    return running != FALSE;
}

// The cursor's display count, left as it was.
int cursorCount()
{
    const int count = ShowCursor(TRUE) - 1;
    ShowCursor(FALSE);
    return count;
}

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void touch(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(file);
    SetFileAttributesA(path.c_str(), attributes);
}

void setSettings(const char* on)
{
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, settingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    for (const std::string& name : settingsWriteOrder) {
        const DWORD value = name == on || name == "Delay" ? 1 : 0;
        RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    RegCloseKey(key);
}

void removeFile(const std::string& path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

// Runs the saver's message loop until the saver closes; steps run as thread
// timer callbacks, which come after every message already posted. Returns
// false when the loop had to be stopped after a generous time.
class LoopScript {
public:
    using Step = void (*)(LoopScript&);
    explicit LoopScript(TForm1& saver) : saver_(saver) { current_ = this; }
    ~LoopScript() { current_ = nullptr; }

    bool run(Step first)
    {
        next_ = first;
        const UINT_PTR stepTimer = SetTimer(nullptr, 0, 50, &LoopScript::tick);
        const UINT_PTR deadline = SetTimer(nullptr, 0, 15000, &LoopScript::expire);
        Application::instance().run();
        KillTimer(nullptr, stepTimer);
        KillTimer(nullptr, deadline);
        return !expired_;
    }
    void then(Step step) { next_ = step; }
    HWND window() const { return saver_.handle(); }
    bool stillOpenAfterNonEnding = false;
    bool runningStateWhileShown = false;
    int cursorWhileShown = 0;

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (current_ && current_->next_) {
            Step step = current_->next_;
            current_->next_ = nullptr;
            step(*current_);
        }
    }
    static void CALLBACK expire(HWND, UINT, UINT_PTR, DWORD)
    {
        current_->expired_ = true;
        PostQuitMessage(0);
    }
    static inline LoopScript* current_ = nullptr;
    TForm1& saver_;
    Step next_ = nullptr;
    bool expired_ = false;
};

class SaverWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application& application = Application::instance();
        application.initialize(GetModuleHandleA(nullptr));
        application.setTitle("Skyvane!");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, settingsKey);
    }
    void TearDown() override
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, settingsKey);
        for (const char* name : {"screen.bmp", "In90.jpg", "In91.jpg", "In92.jpg", "In93.jpg", "In94.bmp", "In95.sdd",
                                 "In90.sdd", "In91.sdd", "In92.sdd", "In93.sdd", "In96.sdd", "In99.jpg", "Intro.jpg",
                                 "Index.jpgx", "In1.sdd", "In2.sdd", "In1.jpg", "In2.jpg", "In97.sdd", "In97.jpg",
                                 "In98.sdd", "In98.jpg"})
            removeFile(at(name));
        RemoveDirectoryA(at("In96.jpg").c_str());
    }
    static std::string at(const std::string& name) { return dataFilePath(name); }
    // With the F16 type alone and slot 1's two images as containers, the
    // saver shown without a box, its first plane flying on Timer_Left.
    static void showSlotOneFlying(TForm1& saver, const BoxWatcher& boxes)
    {
        setSettings("F16");
        const std::string jpeg = readTestFile(SKYVANE_TEST_DATA "/jpeg/colour.jpg");
        ASSERT_FALSE(jpeg.empty());
        for (const char* name : {"In1.sdd", "In2.sdd"})
            writeTestFile(at(name), jpeg.substr(0, 3) + "xyz" + jpeg.substr(3));
        saver.createAndShow();
        ASSERT_TRUE(boxes.boxes().empty()) << boxes.boxes()[0].text;
        ASSERT_TRUE(saver.Timer_Left.enabled());
    }
};

TEST_F(SaverWindow, AFailureBeforeTheInputWatchStillLetsAKeyEndTheSaver)
{
    // A decoded image that another program holds open cannot be written:
    // the start-up stops at decoding the containers. A settings value of the
    // wrong type, read before, is reported first.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, settingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "F16", 0, REG_SZ, reinterpret_cast<const BYTE*>("on"), 3);
    RegCloseKey(key);
    touch(at("In98.sdd"));
    HANDLE held = CreateFileA(at("In98.jpg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    BoxWatcher boxes;
    TForm1 saver;
    saver.createAndShow();
    CloseHandle(held);
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Skyvane!");
    EXPECT_EQ(boxes.boxes()[0].text, "Invalid data type for 'F16'");
    EXPECT_EQ(boxes.boxes()[1].caption, "Skyvane!");
    EXPECT_EQ(boxes.boxes()[1].text, "I/O error 32.");

    // Shown anyway: top-most, covering the screen, found by the single-instance probe.
    EXPECT_TRUE(IsWindowVisible(saver.handle()));
    EXPECT_EQ(FindWindowA(saverWindowClass, saverWindowTitle), saver.handle());
    EXPECT_NE(GetWindowLongA(saver.handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(cursorCount(), -1);

    LoopScript script(saver);
    const bool ended = script.run([](LoopScript& s) { PostMessageA(s.window(), WM_KEYDOWN, 'A', 0); });
    EXPECT_TRUE(ended) << "the key did not end the saver";
    EXPECT_FALSE(IsWindow(FindWindowA(saverWindowClass, saverWindowTitle)));
    EXPECT_EQ(cursorCount(), 0);
    EXPECT_FALSE(screenSaverRunning());
}

TEST_F(SaverWindow, OnlyPressesEndTheSaverAndTheEndDeletesDecodedImagesOnly)
{
    touch(at("In90.jpg"));
    touch(at("In91.jpg"), FILE_ATTRIBUTE_ARCHIVE);
    touch(at("In92.jpg"), FILE_ATTRIBUTE_READONLY);
    touch(at("In93.jpg"), FILE_ATTRIBUTE_HIDDEN);
    touch(at("In94.bmp"));
    CreateDirectoryA(at("In96.jpg").c_str(), nullptr);
    // The user's own pictures: no container of theirs is beside them.
    touch(at("In99.jpg"));
    touch(at("Intro.jpg"));
    touch(at("Index.jpgx"));   // INDEX~1.JPG to a search that matches short names

    BoxWatcher boxes;   // answers the box of a start-up without plane images
    TForm1 saver;
    saver.createAndShow();
    // Containers appear while the saver runs (none is decoded over its image).
    for (const char* name : {"In90.sdd", "In91.sdd", "In92.sdd", "In93.sdd", "In95.sdd", "In96.sdd"})
        touch(at(name));

    LoopScript script(saver);
    const bool ended = script.run([](LoopScript& s) {
        for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_CHAR, WM_LBUTTONDBLCLK, WM_MOUSEWHEEL})
            PostMessageA(s.window(), message, 0, 0);
        s.then([](LoopScript& s) {
            s.stillOpenAfterNonEnding = IsWindow(s.window());
            s.runningStateWhileShown = screenSaverRunning();
            s.cursorWhileShown = cursorCount();
            PostMessageA(s.window(), WM_MBUTTONDOWN, 0, 0);
        });
    });
    EXPECT_TRUE(script.stillOpenAfterNonEnding);
    EXPECT_TRUE(script.runningStateWhileShown);
    EXPECT_EQ(script.cursorWhileShown, -1);
    EXPECT_TRUE(ended) << "the middle button did not end the saver";
    EXPECT_EQ(cursorCount(), 0);
    EXPECT_FALSE(screenSaverRunning());

    EXPECT_FALSE(exists(at("In90.jpg")));
    EXPECT_FALSE(exists(at("In91.jpg")));
    EXPECT_TRUE(exists(at("In92.jpg")));   // read-only: the deletion fails and is ignored
    EXPECT_TRUE(exists(at("In93.jpg")));   // hidden entries are skipped
    EXPECT_TRUE(exists(at("In94.bmp")));
    EXPECT_TRUE(exists(at("In95.sdd")));
    EXPECT_TRUE(exists(at("In96.jpg")));   // a directory
    EXPECT_TRUE(exists(at("In99.jpg")));
    EXPECT_TRUE(exists(at("Intro.jpg")));
    EXPECT_TRUE(exists(at("Index.jpgx")));
}

// Ends the saver by one route; the saver object is gone when it returns.
using Route = void (*)(TForm1& saver);

class SaverRoutesOut : public SaverWindow, public ::testing::WithParamInterface<Route> {};

TEST_P(SaverRoutesOut, RestoreTheSystemStateOnceAndDeleteTheDecodedImages)
{
    writeTestFile(at("In97.sdd"), "container");
    BoxWatcher boxes;   // answers the box of a start-up without plane images
    {
        TForm1 saver;
        saver.createAndShow();
        ASSERT_TRUE(exists(at("In97.jpg")));
        ASSERT_TRUE(screenSaverRunning());
        GetParam()(saver);
    }
    MSG quit;   // left by a main window destroyed outside the loop
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    // The destructor and the window's destruction came after the route: the
    // cursor was shown once, not once more for each of them.
    EXPECT_EQ(cursorCount(), 0);
    EXPECT_FALSE(screenSaverRunning());
    EXPECT_FALSE(exists(at("In97.jpg")));
    EXPECT_TRUE(exists(at("In97.sdd")));
}

void closeFromOutside(TForm1& saver)   // another program or Task Manager
{
    LoopScript script(saver);
    EXPECT_TRUE(script.run([](LoopScript& s) { PostMessageA(s.window(), WM_CLOSE, 0, 0); }));
}

void endOfSession(TForm1& saver)   // log-off or shutdown
{
    LoopScript script(saver);
    EXPECT_TRUE(script.run([](LoopScript& s) {
        if (SendMessageA(s.window(), WM_QUERYENDSESSION, 0, 0))
            SendMessageA(s.window(), WM_ENDSESSION, TRUE, 0);
    }));
}

void destruction(TForm1&) {}   // the saver object goes with its window

void keyThenEndOfSession(TForm1& saver)   // the session ends before the loop does
{
    LoopScript script(saver);
    EXPECT_TRUE(script.run([](LoopScript& s) {
        PostMessageA(s.window(), WM_KEYDOWN, 'A', 0);
        PostMessageA(s.window(), WM_KEYUP, 'A', 0);
        PostMessageA(s.window(), WM_ENDSESSION, TRUE, 0);
    }));
}

std::string routeName(const ::testing::TestParamInfo<Route>& info)
{
    const char* names[] = {"CloseFromOutside", "EndOfSession", "Destruction", "KeyThenEndOfSession"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(Routes, SaverRoutesOut,
                         ::testing::Values(&closeFromOutside, &endOfSession, &destruction, &keyThenEndOfSession),
                         routeName);

// Records the parts of the start-up that ended.
class StartupSteps : public FlightObserver {
public:
    StartupSteps() { setFlightObserver(this); }
    ~StartupSteps() override { setFlightObserver(nullptr); }
    void startupStep(StartupStep step) override { ended.push_back(step); }
    std::vector<StartupStep> ended;
};

// A close from another program, or a key posted to the window (the
// uninstaller's, on Windows 9x), while the start-up's error box is open.
class SaverEndedDuringTheStartupBox : public SaverWindow, public ::testing::WithParamInterface<UINT> {};

TEST_P(SaverEndedDuringTheStartupBox, EndsTheSaverAndTheStartUpThere)
{
    // The fake desktop picture is damaged: its box comes before the first
    // plane is chosen, from images that the end deletes.
    setSettings("F16");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, settingsKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    const DWORD on = 1;
    RegSetValueExA(key, "Fake", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
    RegCloseKey(key);
    const std::string jpeg = readTestFile(SKYVANE_TEST_DATA "/jpeg/colour.jpg");
    for (const char* name : {"In1.sdd", "In2.sdd"})
        writeTestFile(at(name), jpeg.substr(0, 3) + "xyz" + jpeg.substr(3));
    writeTestFile(at("screen.jpg"), jpeg);
    writeTestFile(at("screen.bmp"), "BM damaged");

    BoxWatcher boxes(GetParam(), GetParam() == WM_KEYDOWN ? VK_SHIFT : 0);
    StartupSteps steps;
    {
        TForm1 saver;
        saver.createAndShow();
        EXPECT_EQ(saver.handle(), nullptr) << "the saver window outlived its end";
        EXPECT_FALSE(saver.Timer_Left.enabled());
    }
    MSG quit;   // left by the main window's destruction
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    removeFile(at("screen.jpg"));
    const std::vector<BoxWatcher::Box> shown = boxes.boxes();
    // Its error box shown, nothing more: the rest would choose a plane from
    // deleted images, and show another box.
    EXPECT_EQ(steps.ended, (std::vector<StartupStep>{StartupStep::Begun, StartupStep::Settings, StartupStep::Decode,
                                                      StartupStep::Catalogue}));
    ASSERT_EQ(shown.size(), 1u) << shown.back().text;
    EXPECT_EQ(shown[0].caption, "Skyvane!");
    EXPECT_FALSE(exists(at("In1.jpg"))) << "an image outlived the end";
    EXPECT_FALSE(exists(at("In2.jpg"))) << "an image outlived the end";
    EXPECT_EQ(cursorCount(), 0);
    EXPECT_FALSE(screenSaverRunning());
}

INSTANTIATE_TEST_SUITE_P(Routes, SaverEndedDuringTheStartupBox, ::testing::Values(WM_CLOSE, WM_KEYDOWN),
                         [](const ::testing::TestParamInfo<UINT>& info) {
                             return std::string(info.param == WM_CLOSE ? "Close" : "Key");
                         });

TEST_F(SaverWindow, AFlightTickThatFailsEveryTimeShowsOneBoxStopsTheFlightsAndAKeyStillEnds)
{
    BoxWatcher boxes;
    TForm1 saver;
    ASSERT_NO_FATAL_FAILURE(showSlotOneFlying(saver, boxes));
    // The save buffer gets its bitmap on the first tick: one too large for
    // the system makes every tick fail.
    saver.imsave.setWidth(100000);
    saver.imsave.setHeight(100000);

    struct Seen {
        DWORD start = 0;
        std::size_t boxesAfterASecond = 0;
        bool timersOff = false;
    };
    static Seen seen;
    static BoxWatcher* watcher = &boxes;
    static TForm1* window = &saver;
    seen.start = GetTickCount();
    static LoopScript::Step lookAfterASecond = [](LoopScript& s) {
        // Meanwhile a failing tick would have come every few milliseconds.
        if (GetTickCount() - seen.start < 1000) {
            s.then(lookAfterASecond);
            return;
        }
        seen.boxesAfterASecond = watcher->boxes().size();
        seen.timersOff = !window->Timer_Left.enabled() && !window->Timer_Right.enabled();
        PostMessageA(s.window(), WM_KEYDOWN, 'A', 0);
    };
    LoopScript script(saver);
    const bool ended = script.run(lookAfterASecond);
    EXPECT_EQ(seen.boxesAfterASecond, 1u);
    ASSERT_FALSE(boxes.boxes().empty());
    EXPECT_EQ(boxes.boxes()[0].text, "Out of system resources.");
    EXPECT_TRUE(seen.timersOff);
    EXPECT_TRUE(ended) << "the key did not end the saver";
}

// POWERBROADCAST_SETTING with a 32-bit value, as the system sends it.
struct PowerSetting {
    GUID setting;
    DWORD dataLength = sizeof(DWORD);
    DWORD value;
};
constexpr GUID consoleDisplayState{0x6FE69556, 0x704A, 0x47A0, {0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47}};
constexpr GUID monitorPowerOn{0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};
constexpr GUID powerSource{0x5D3E9A59, 0xE9D5, 0x4B00, {0xA6, 0xBD, 0xFF, 0x34, 0xFF, 0x51, 0x65, 0x48}};

void reportPowerSetting(HWND window, const GUID& setting, DWORD value)
{
    PowerSetting report{setting, sizeof(DWORD), value};
    SendMessageA(window, WM_POWERBROADCAST, 0x8013 /* PBT_POWERSETTINGCHANGE */, reinterpret_cast<LPARAM>(&report));
}

void monitorPower(HWND window, LPARAM value)
{
    SendMessageA(window, WM_SYSCOMMAND, SC_MONITORPOWER, value);
}

TEST_F(SaverWindow, TheFlightTimersStopWhileTheDisplayIsOffAndTheSameOneRunsWhenItIsOn)
{
    BoxWatcher boxes;
    TForm1 saver;
    ASSERT_NO_FATAL_FAILURE(showSlotOneFlying(saver, boxes));
    const HWND window = saver.handle();
    auto running = [&] { return std::make_pair(saver.Timer_Left.enabled(), saver.Timer_Right.enabled()); };
    using Running = std::pair<bool, bool>;

    reportPowerSetting(window, consoleDisplayState, 0);
    EXPECT_EQ(running(), Running(false, false)) << "the console display is off";
    reportPowerSetting(window, powerSource, 1);
    EXPECT_EQ(running(), Running(false, false)) << "another setting changed";
    reportPowerSetting(window, consoleDisplayState, 2);
    EXPECT_EQ(running(), Running(true, false)) << "the console display is dimmed";
    EXPECT_EQ(saver.Timer_Left.interval(), 5u);

    // A right-to-left plane waiting for its pause of 3001 ms.
    saver.Timer_Left.setEnabled(false);
    saver.Timer_Right.setInterval(3001);
    saver.Timer_Right.setEnabled(true);
    reportPowerSetting(window, monitorPowerOn, 0);
    EXPECT_EQ(running(), Running(false, false)) << "the monitor is off";
    monitorPower(window, 1);
    EXPECT_EQ(running(), Running(false, false)) << "the monitor went to low power";
    monitorPower(window, -1);
    EXPECT_EQ(running(), Running(false, true)) << "the monitor is on";
    EXPECT_EQ(saver.Timer_Right.interval(), 3001u);
    monitorPower(window, 2);
    EXPECT_EQ(running(), Running(false, false)) << "the monitor is off again";
    reportPowerSetting(window, monitorPowerOn, 1);
    EXPECT_EQ(running(), Running(false, true)) << "the monitor is on again";

    // Through the message loop and its input watch: neither message is input.
    struct Seen {
        bool openWhileOff = false;
        Running whileOff{true, true}, afterOn{false, false};
    };
    static Seen seen;
    static TForm1* watched = &saver;
    static auto timers = [] { return Running(watched->Timer_Left.enabled(), watched->Timer_Right.enabled()); };
    LoopScript script(saver);
    const bool ended = script.run([](LoopScript& s) {
        PostMessageA(s.window(), WM_SYSCOMMAND, SC_MONITORPOWER, 2);
        s.then([](LoopScript& s) {
            seen.openWhileOff = IsWindow(s.window());
            seen.whileOff = timers();
            PostMessageA(s.window(), WM_SYSCOMMAND, SC_MONITORPOWER, -1);
            s.then([](LoopScript& s) {
                seen.afterOn = timers();
                PostMessageA(s.window(), WM_KEYDOWN, 'A', 0);
            });
        });
    });
    EXPECT_TRUE(seen.openWhileOff);
    EXPECT_EQ(seen.whileOff, Running(false, false));
    EXPECT_EQ(seen.afterOn, Running(false, true));
    EXPECT_TRUE(ended) << "the key did not end the saver";
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(SaverWindow, ASmallerPictureShowsAtTheTopLeftWithButtonFaceAround)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, settingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD on = 1;
    RegSetValueExA(key, "Fake", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
    RegCloseKey(key);

    Picture red;
    red.width = 300;
    red.height = 200;
    red.bitsPerPixel = 24;
    red.bits.assign(red.stride() * red.height, 0);
    for (int y = 0; y < red.height; ++y)
        for (int x = 0; x < red.width; ++x)
            red.row(y)[3 * x + 2] = 0xFF;
    writeFileSafely(at("screen.bmp"), writeBitmapFile(red));

    BoxWatcher boxes;   // answers the box of a start-up without plane images
    TForm1 saver;
    saver.createAndShow();
    UpdateWindow(saver.handle());
    HDC dc = GetDC(saver.handle());
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 299, 199), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 300, 10), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetPixel(dc, 10, 200), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetPixel(dc, 1000, 700), GetSysColor(COLOR_BTNFACE));
    ReleaseDC(saver.handle(), dc);

    LoopScript script(saver);
    EXPECT_TRUE(script.run([](LoopScript& s) { PostMessageA(s.window(), WM_SYSKEYDOWN, VK_MENU, 0); }));
}

} // namespace
