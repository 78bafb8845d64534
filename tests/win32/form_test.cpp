// Forms and the application loop: a failing FormCreate still leaves a form,
// every handler is guarded by the error box, closing goes through
// FormCloseQuery, the main form's end ends the loop, and the loop's hook sees
// every message before its window does.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "box_watcher.h"
#include "framework/application.h"
#include "framework/exceptions.h"
#include "framework/form.h"

namespace {

constexpr UINT probeMessage = WM_APP + 1;
constexpr UINT failingMessage = WM_APP + 2;

class ProbeForm : public Form {
public:
    std::function<void()> onCreate;
    bool allowClose = true;
    int closeQueries = 0;
    std::vector<UINT> received;
    std::function<void()> onProbe;

    void open(bool mainForm)
    {
        Design design;
        design.className = "SkyvaneProbeForm";
        design.caption = "probe";
        design.isMainForm = mainForm;
        create(design);
    }

protected:
    void FormCreate() override
    {
        if (onCreate)
            onCreate();
    }
    bool FormCloseQuery() override
    {
        ++closeQueries;
        return allowClose;
    }
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == probeMessage) {
            received.push_back(message);
            if (onProbe)
                onProbe();
        }
        if (message == failingMessage)
            throw EFOpenError("C:\\windows\\In1w.jpg");
        return defaultHandling(message, wParam, lParam);
    }
};

// Ends a loop that would otherwise wait for ever when the behaviour under
// test is missing; the test then fails instead of hanging.
class LoopDeadline {
public:
    LoopDeadline() { id_ = SetTimer(nullptr, 0, 10000, &LoopDeadline::expire); }
    ~LoopDeadline() { KillTimer(nullptr, id_); }
    static bool expired() { return expired_; }
private:
    static void CALLBACK expire(HWND, UINT, UINT_PTR, DWORD)
    {
        expired_ = true;
        PostQuitMessage(0);
    }
    UINT_PTR id_ = 0;
    static inline bool expired_ = false;
};

class Forms : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application& application = Application::instance();
        application.initialize(GetModuleHandleA(nullptr));
        application.setTitle("Skyvane!");
        application.setMessageHook(nullptr);
    }
    void TearDown() override { Application::instance().setMessageHook(nullptr); }
};

TEST_F(Forms, AFailedFormCreateIsReportedAndTheFormStillExists)
{
    BoxWatcher boxes;
    ProbeForm form;
    bool ranAfterFailure = false;
    form.onCreate = [&] {
        throw ERegistryException("Invalid data type for 'F16'");
        ranAfterFailure = true;
    };
    form.open(false);
    EXPECT_TRUE(IsWindow(form.handle()));
    EXPECT_FALSE(IsWindowVisible(form.handle()));   // shown by its owner, not by create
    EXPECT_FALSE(ranAfterFailure);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Skyvane!");
    EXPECT_EQ(boxes.boxes()[0].text, "Invalid data type for 'F16'");   // no "." after "'"
}

TEST_F(Forms, AFailingHandlerIsReportedAndTheNextMessageIsHandled)
{
    BoxWatcher boxes;
    ProbeForm form;
    form.open(false);
    SendMessageA(form.handle(), failingMessage, 0, 0);
    SendMessageA(form.handle(), probeMessage, 0, 0);
    EXPECT_EQ(form.received.size(), 1u);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Cannot open file C:\\windows\\In1w.jpg.");
}

TEST_F(Forms, CloseIsAskedAndCanBeRefused)
{
    ProbeForm form;
    form.open(false);
    form.allowClose = false;
    SendMessageA(form.handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(form.closeQueries, 1);
    EXPECT_TRUE(IsWindow(form.handle()));
    form.allowClose = true;
    HWND window = form.handle();
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(form.handle(), nullptr);
}

TEST_F(Forms, TheMainFormsCloseEndsTheLoopAfterTheCallerFinishes)
{
    ProbeForm form;
    form.open(true);
    form.show();
    HWND window = form.handle();
    form.close();
    // Posted: the caller's remaining steps run before the window goes.
    EXPECT_TRUE(IsWindow(window));
    LoopDeadline deadline;
    Application::instance().run();
    EXPECT_FALSE(LoopDeadline::expired());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(form.closeQueries, 1);
}

TEST_F(Forms, TheHookSeesEveryMessageBeforeItsWindowAndDispatchStillHappens)
{
    ProbeForm form;
    form.open(true);
    std::vector<std::string> order;
    Application::instance().setMessageHook([&](const MSG& message) {
        if (message.message == probeMessage) {
            order.push_back("hook saw it, window had " + std::to_string(form.received.size()));
            form.close();
        }
    });
    PostMessageA(form.handle(), probeMessage, 0, 0);
    LoopDeadline deadline;
    Application::instance().run();
    EXPECT_FALSE(LoopDeadline::expired());
    EXPECT_EQ(order, std::vector<std::string>{"hook saw it, window had 0"});
    EXPECT_EQ(form.received.size(), 1u);
}

TEST_F(Forms, AFailingHookIsReportedAndTheLoopGoesOn)
{
    BoxWatcher boxes;
    ProbeForm form;
    form.open(true);
    int seen = 0;
    Application::instance().setMessageHook([&](const MSG& message) {
        if (message.message != probeMessage)
            return;
        if (++seen == 1)
            throw ERegistryException("Failed to get data for 'ScreenSaveUsePassword'");
        form.close();
    });
    // The second message is posted once the first has reached the window, so
    // it cannot be taken by the error box's own loop.
    form.onProbe = [&] {
        if (form.received.size() == 1)
            PostMessageA(form.handle(), probeMessage, 0, 0);
    };
    PostMessageA(form.handle(), probeMessage, 0, 0);
    LoopDeadline deadline;
    Application::instance().run();
    EXPECT_FALSE(LoopDeadline::expired());
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(form.received.size(), 2u);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Failed to get data for 'ScreenSaveUsePassword'");
}

} // namespace
