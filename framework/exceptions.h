// The program's failures are exceptions carrying the text the user sees.
// The framework's error box (Application::showException) shows what() with
// errorBoxText's full-stop rule. Pure: no <windows.h>.
#pragma once
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Registry layer: "Failed to get data for '%s'", "Invalid data type for '%s'",
// "Failed to set data for '%s'".
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// The settings key could not be opened to save the dialog's choices:
// "Cannot save the settings to HKEY_LOCAL_MACHINE\<key path>". Nothing was
// written, so the stored settings are as they were.
class ESettingsNotSaved : public ERegistryException {
public:
    using ERegistryException::ERegistryException;
};

// "'%s' is not a valid integer value".
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A runtime I/O error with the operating system's error code:
// 2 "File not found", 3 "Invalid filename", 4 "Too many open files",
// 5 "File access denied", else "I/O error %d".
class EInOutError : public Exception {
public:
    explicit EInOutError(int code);
    int errorCode() const { return code_; }
private:
    int code_;
};

// The system error codes with which a directory, or an old file in it,
// refuses to be written: access denied and a write-protected medium. A
// standard user meets them in a Windows directory that Windows does not
// redirect, and in a read-only file left by a program that was killed.
bool isRefusedWrite(int systemErrorCode);

// "Cannot open file %s" / "Cannot create file %s" with the full path.
class EFOpenError : public Exception {
public:
    explicit EFOpenError(const std::string& path);
};
class EFCreateError : public Exception {
public:
    // systemErrorCode: why the system refused, when it said (0 otherwise).
    explicit EFCreateError(const std::string& path, int systemErrorCode = 0);
    int errorCode() const { return code_; }
private:
    int code_;
};

// "Stream read error": a file that could not be read to its end.
class EReadError : public Exception {
public:
    EReadError();
};
