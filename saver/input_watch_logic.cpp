#include "saver/input_watch_logic.h"

namespace {
constexpr unsigned keyDown = 0x0100;
constexpr unsigned keyUp = 0x0101;
constexpr unsigned systemKeyDown = 0x0104;
constexpr unsigned systemKeyUp = 0x0105;
constexpr unsigned leftButtonDown = 0x0201;
constexpr unsigned rightButtonDown = 0x0204;
constexpr unsigned middleButtonDown = 0x0207;

constexpr uint32_t attributeHidden = 0x02;
constexpr uint32_t attributeSystem = 0x04;
constexpr uint32_t attributeDirectory = 0x10;

// Clears the busy mark however the handling ends: a mark left set would make
// the watch ignore every later key and trap the user.
class BusyMark {
public:
    explicit BusyMark(bool& busy) : busy_(busy) {}
    ~BusyMark() { busy_ = false; }
    BusyMark(const BusyMark&) = delete;
    BusyMark& operator=(const BusyMark&) = delete;
private:
    bool& busy_;
};

class OpenDesktopKey {
public:
    explicit OpenDesktopKey(InputWatchSystem& system) : system_(system) {}
    ~OpenDesktopKey() { system_.closeDesktopKey(); }
    OpenDesktopKey(const OpenDesktopKey&) = delete;
    OpenDesktopKey& operator=(const OpenDesktopKey&) = delete;
private:
    InputWatchSystem& system_;
};

bool passwordProtected(InputWatchSystem& system)
{
    try {
        return system.readUsePassword() != 0;
    } catch (...) {
        return false;
    }
}
}

bool isEndingMessage(unsigned message)
{
    switch (message) {
    case keyDown:
    case keyUp:
    case systemKeyDown:
    case systemKeyUp:
    case leftButtonDown:
    case rightButtonDown:
    case middleButtonDown:
        return true;
    default:
        return false;
    }
}

bool isDeletableImageEntry(uint32_t attributes)
{
    return (attributes & (attributeDirectory | attributeHidden | attributeSystem)) == 0;
}

void checkPasswordAndEnd(InputWatchSystem& system)
{
    if (!system.openDesktopKey()) {
        system.endSaver();
        return;
    }
    OpenDesktopKey key(system);
    if (!passwordProtected(system)) {
        system.endSaver();
        return;
    }
    // The user needs the cursor to work the password dialog.
    system.showCursor(true);
    if (!system.loadPasswordProvider()) {
        system.endSaver();
    } else {
        if (!system.hasVerifyEntry() || system.verifyPassword())
            system.endSaver();
        system.unloadPasswordProvider();
    }
    system.showCursor(false);
}

void watchInput(unsigned message, bool& busy, InputWatchSystem& system)
{
    if (busy)
        return;
    if (!isEndingMessage(message))
        return;
    busy = true;
    BusyMark mark(busy);
    if (system.isWindowsNT())
        system.endSaver();
    else
        checkPasswordAndEnd(system);
}
