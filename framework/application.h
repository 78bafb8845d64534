// The application object: title, the message loop with its application-wide
// hook, and the standard error box for exceptions that leave a handler.
#pragma once
#include <windows.h>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

// The top-level window a window belongs to, itself when it is one
// (GetAncestor with GA_ROOT, which Windows 95 does not have).
HWND topLevelWindowOf(HWND window);

class Application {
public:
    // Called for every message the loop takes, before it is translated and
    // dispatched. The hook only observes: every message is dispatched afterwards.
    using MessageHook = std::function<void(const MSG&)>;

    static Application& instance();

    void initialize(HINSTANCE instance);
    HINSTANCE handle() const { return instance_; }

    void setTitle(const std::string& title) { title_ = title; }
    const std::string& title() const { return title_; }

    void setMessageHook(MessageHook hook) { hook_ = std::move(hook); }

    // Set on a top-level window whose keyboard works like a dialog box's (Tab,
    // arrows, Enter, Esc): the loop passes its messages to IsDialogMessageA.
    static constexpr const char* dialogNavigationProperty = "SkyvaneDialogNavigation";

    // The main form's window (set by Form for its main form): the default
    // owner of the error box.
    void setMainWindow(HWND window) { mainWindow_ = window; }
    HWND mainWindow() const { return mainWindow_; }

    // Runs the loop until the main window is destroyed (it posts WM_QUIT).
    void run();

    // The standard error box: errorBoxText(message), the title as caption,
    // error icon, one OK button. Unknown exceptions get a generic text.
    void showException(const std::exception& error, HWND owner = nullptr) const;
    // The same for a failure kept to be shown after the work went on.
    void showException(const std::exception_ptr& failure, HWND owner = nullptr) const;
    // Whether an error box is open: its own message loop runs, which hands
    // the messages posted to a window straight to it, past the hook.
    bool showsErrorBox() const { return errorBoxesOpen_ > 0; }

    // Runs a handler; an exception leaving it is shown in the error box and the
    // program goes on with the next message. Returns false when one was shown.
    template <class Handler>
    bool guarded(Handler&& handler, HWND owner = nullptr) const
    {
        try {
            handler();
            return true;
        } catch (const std::exception& error) {
            showException(error, owner);
        } catch (...) {
            showException(std::runtime_error("Unexpected error"), owner);
        }
        return false;
    }

private:
    HINSTANCE instance_ = nullptr;
    HWND mainWindow_ = nullptr;
    std::string title_;
    MessageHook hook_;
    mutable int errorBoxesOpen_ = 0;
};
