#include "dialog/about_box.h"

#include <string>

#include "dialog/dpi_scaling.h"
#include "framework/dpi_awareness.h"
#include "framework/shell.h"
#include "resources/resource.h"

using namespace Uabout;

TFrmabout::TFrmabout(HWND owner) : owner_(owner), dpi_(systemDpi())
{
    Design design;
    design.className = "TFrmabout";
    // No border and no title bar, so it cannot be moved; centred on the screen.
    design.style = WS_POPUP | WS_CLIPCHILDREN;
    design.exStyle = WS_EX_CONTROLPARENT;
    const WindowPlace place = centredOnScreen(scaledLength(clientWidth, dpi_), scaledLength(clientHeight, dpi_),
                                              GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    design.width = place.width;
    design.height = place.height;
    design.left = place.left;
    design.top = place.top;
    design.owner = owner;
    design.dialogNavigation = true;
    create(design);
}

void TFrmabout::createControls()
{
    controls_.create(handle(), controls, formFont, defaultButton, dpi_);
}

void TFrmabout::showModal()
{
    EnableWindow(owner_, FALSE);
    show(SW_SHOW);
    MSG message;
    while (!closed_) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got <= 0) {
            // The application is ending: leave the quit for the main loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (IsDialogMessageA(handle(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // The owner is enabled before the box goes, so it gets the activation back.
    EnableWindow(owner_, TRUE);
    ShowWindow(handle(), SW_HIDE);
    SetActiveWindow(owner_);
}

bool TFrmabout::FormCloseQuery()
{
    // A modal box closes by ending its loop; showAboutBox destroys it.
    closed_ = true;
    return false;
}

void TFrmabout::Button1Click()
{
    close();
}

void TFrmabout::Label5Click()
{
    // The address comes from the string table; the label's text is only shown.
    char address[256] = {};
    LoadStringA(GetModuleHandleA(nullptr), IDS_VENDOR_WEB_ADDRESS, address, sizeof address);
    openWithShell(handle(), address, SW_SHOWMAXIMIZED);
}

LRESULT TFrmabout::dialogMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == Button1 && HIWORD(wParam) == BN_CLICKED)
            Button1Click();
        else if (LOWORD(wParam) == Label5 && HIWORD(wParam) == STN_CLICKED)
            Label5Click();
        return 0;   // IDCANCEL from Escape among the rest: Escape does nothing
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == controls_.window(Label5)) {
            SetCursor(LoadCursor(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == controls_.window(Label5)) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(0, 0, 255));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

void showAboutBox(HWND owner)
{
    TFrmabout box(owner);
    box.showModal();
}
