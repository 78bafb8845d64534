// Base of the program's windows (TForm1, TForm2, TFrmabout). The window
// procedure only dispatches: it finds the form and calls handleMessage, under
// the framework's guard, so an exception from any handler shows the standard
// error box and the program goes on with the next message.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

class Timer;

class Form {
public:
    struct Design {
        std::string className;
        std::string caption;
        DWORD style = WS_OVERLAPPEDWINDOW;
        DWORD exStyle = 0;
        int left = CW_USEDEFAULT, top = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
        HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        HICON icon = nullptr;
        HWND owner = nullptr;
        bool isMainForm = false;   // its destruction ends the message loop
        bool dialogNavigation = false;   // Tab, arrows, Enter and Esc as in a dialog box
    };

    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    HWND handle() const { return window_; }

    // Creates the window hidden, runs createControls and then FormCreate under
    // the guard. A form whose FormCreate failed is still created.
    void create(const Design& design);
    void show(int showCommand = SW_SHOW);
    // Asks the form to close, as the close box does (FormCloseQuery may refuse).
    void close();

protected:
    Form() = default;

    virtual void createControls() {}
    virtual void FormCreate() {}
    // Runs on every request to close; false keeps the form open.
    virtual bool FormCloseQuery() { return true; }
    // Default handling: WM_TIMER to registered timers, WM_CLOSE through
    // FormCloseQuery, WM_DESTROY ends the loop for the main form.
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT defaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

    void registerTimer(Timer& timer);

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    bool isMainForm_ = false;
    std::vector<Timer*> timers_;
};
