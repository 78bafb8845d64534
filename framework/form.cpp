#include "framework/form.h"

#include "framework/application.h"
#include "framework/exceptions.h"
#include "framework/timer.h"

namespace {
constexpr const char* dialogNavigationProperty = Application::dialogNavigationProperty;
}

Form::~Form()
{
    // The derived form's timers are gone by now: forget them before the
    // window's last messages arrive.
    timers_.clear();
    if (window_)
        DestroyWindow(window_);
}

void Form::create(const Design& design)
{
    HINSTANCE instance = Application::instance().handle();
    WNDCLASSA existing{};
    if (!GetClassInfoA(instance, design.className.c_str(), &existing)) {
        WNDCLASSA windowClass{};
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &Form::windowProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = design.icon;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = design.background;
        windowClass.lpszClassName = design.className.c_str();
        if (!RegisterClassA(&windowClass))
            throw Exception("Error creating window class");
    }

    isMainForm_ = design.isMainForm;
    // Created hidden: the form is shown by its owner once FormCreate has run.
    HWND window = CreateWindowExA(design.exStyle, design.className.c_str(), design.caption.c_str(),
                                  design.style & ~WS_VISIBLE, design.left, design.top,
                                  design.width, design.height, design.owner, nullptr, instance, this);
    if (!window)
        throw Exception("Error creating window");
    window_ = window;
    if (design.dialogNavigation)
        SetPropA(window_, dialogNavigationProperty, reinterpret_cast<HANDLE>(1));
    if (isMainForm_)
        Application::instance().setMainWindow(window_);

    createControls();
    // A failed FormCreate is reported in the error box; the form still exists
    // and is shown by its owner as usual.
    Application::instance().guarded([this] { FormCreate(); }, window_);
}

void Form::show(int showCommand)
{
    if (!window_)
        return;
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
}

void Form::close()
{
    // Posted, as a close box does it: the close takes effect once control is
    // back in the message loop, so the caller's remaining steps still run.
    if (window_)
        PostMessageA(window_, WM_CLOSE, 0, 0);
}

void Form::registerTimer(Timer& timer)
{
    timers_.push_back(&timer);
    timer.setOwner(window_);
}

LRESULT Form::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return defaultHandling(message, wParam, lParam);
}

LRESULT Form::defaultHandling(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        for (Timer* timer : timers_) {
            if (timer->dispatch(wParam))
                return 0;
        }
        break;
    case WM_CLOSE:
        if (FormCloseQuery())
            DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        if (isMainForm_)
            PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

LRESULT CALLBACK Form::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* form = static_cast<Form*>(create->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!form)
        return DefWindowProcA(window, message, wParam, lParam);

    if (message == WM_NCDESTROY) {
        const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        RemovePropA(window, dialogNavigationProperty);
        for (Timer* timer : form->timers_)
            timer->setOwner(nullptr);
        if (form->isMainForm_ && Application::instance().mainWindow() == window)
            Application::instance().setMainWindow(nullptr);
        form->window_ = nullptr;
        return result;
    }

    LRESULT result = 0;
    const bool handled = Application::instance().guarded(
        [&] { result = form->handleMessage(message, wParam, lParam); }, window);
    if (!handled) {
        // A paint handler that failed before validating would be asked again
        // at once, and the error box would come back for ever.
        if (message == WM_PAINT)
            ValidateRect(window, nullptr);
        return 0;
    }
    return result;
}
