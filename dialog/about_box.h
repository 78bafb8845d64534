// TFrmabout (unit Uabout), the about box: a borderless box centred on the
// screen with the version, the disclaimer and a link to the vendor's web
// page, shown modally over the settings dialog and closed with "Return".
#pragma once
#include <windows.h>

#include "dialog/control_windows.h"

class TFrmabout : public DialogForm {
public:
    explicit TFrmabout(HWND owner);

    // Shows the box with its owner disabled and returns once it is closed.
    void showModal();

protected:
    void createControls() override;
    bool FormCloseQuery() override;
    LRESULT dialogMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Button1Click();
    void Label5Click();

    HWND owner_;
    int dpi_;   // the system's, by which the design is scaled
    bool closed_ = false;
};

// Creates the about box with owner as its owner, shows it modally and
// destroys it when it returns.
void showAboutBox(HWND owner);
