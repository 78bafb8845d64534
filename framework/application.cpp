#include "framework/application.h"

#include "framework/error_text.h"

Application& Application::instance()
{
    static Application application;
    return application;
}

void Application::initialize(HINSTANCE instance)
{
    instance_ = instance;
}

HWND topLevelWindowOf(HWND window)
{
    while (window && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0)
        window = GetParent(window);
    return window;
}

namespace {
bool isDialogMessage(MSG& message)
{
    HWND root = topLevelWindowOf(message.hwnd);
    return root && GetPropA(root, Application::dialogNavigationProperty)
        && IsDialogMessageA(root, &message);
}
}

void Application::run()
{
    MSG message;
    // GetMessage returns 0 for WM_QUIT, which the main form posts when it is
    // destroyed, and -1 only for an invalid window handle, which we never pass.
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (hook_) {
            // An exception escaping the hook must not end the loop: the saver
            // would stay on the screen with nobody left to take it down.
            guarded([&] { hook_(message); }, mainWindow_);
        }
        if (isDialogMessage(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void Application::showException(const std::exception& error, HWND owner) const
{
    if (!owner)
        owner = mainWindow_;
    // The owner keeps the box above a top-most owner window; without one the
    // box would open behind the full-screen saver, out of the user's reach.
    const std::string text = errorBoxText(error.what());
    ++errorBoxesOpen_;
    MessageBoxA(owner, text.c_str(), title_.c_str(), MB_ICONERROR | MB_OK);
    --errorBoxesOpen_;
}

void Application::showException(const std::exception_ptr& failure, HWND owner) const
{
    guarded([&] { std::rethrow_exception(failure); }, owner);
}
