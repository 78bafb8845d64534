// The input watch's decisions: which messages end the saver, how the Windows
// 9x password check runs, and which decoded images endSaver deletes. The
// system calls sit behind InputWatchSystem so the order of the steps can be
// checked without Windows. Pure: no <windows.h>.
#pragma once
#include <cstdint>

// Key presses and releases (also system keys) and the three mouse-button
// presses; mouse movement, button releases and character messages are not.
bool isEndingMessage(unsigned message);

// File attributes of a decoded image found for endSaver: directories and hidden or system
// entries are skipped; plain, archive and read-only files are deleted.
bool isDeletableImageEntry(uint32_t attributes);

class InputWatchSystem {
public:
    virtual ~InputWatchSystem() = default;
    virtual bool isWindowsNT() = 0;
    // HKEY_CURRENT_USER "Control Panel\desktop", opened only if it exists.
    virtual bool openDesktopKey() = 0;
    // "ScreenSaveUsePassword" as a 32-bit integer; throws when it is missing
    // or cannot be read.
    virtual int32_t readUsePassword() = 0;
    virtual void closeDesktopKey() = 0;
    virtual void showCursor(bool show) = 0;
    // "PASSWORD.CPL" from the system directory.
    virtual bool loadPasswordProvider() = 0;
    virtual bool hasVerifyEntry() = 0;
    // VerifyScreenSavePwd with the saver window: true when the saver may end.
    virtual bool verifyPassword() = 0;
    virtual void unloadPasswordProvider() = 0;
    virtual void endSaver() = 0;
};

// The application-wide hook's work for one message. busy is inputWatchBusy:
// while it is set (a password dialog's nested loop) every message is ignored;
// it is set while an ending message is handled and cleared afterwards, also
// when the handling fails.
void watchInput(unsigned message, bool& busy, InputWatchSystem& system);

// The password check of a Windows 9x system, after an ending message.
// A setting that cannot be read counts as no protection: the saver ends
// rather than lock the user out. A provider without VerifyScreenSavePwd is
// treated like a provider that cannot be loaded.
void checkPasswordAndEnd(InputWatchSystem& system);
