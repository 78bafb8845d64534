#include "framework/exceptions.h"

namespace {
std::string ioErrorText(int code)
{
    switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    default: return "I/O error " + std::to_string(code);
    }
}
}

EInOutError::EInOutError(int code) : Exception(ioErrorText(code)), code_(code) {}
EFOpenError::EFOpenError(const std::string& path) : Exception("Cannot open file " + path) {}
EFCreateError::EFCreateError(const std::string& path, int systemErrorCode)
    : Exception("Cannot create file " + path), code_(systemErrorCode)
{
}
EReadError::EReadError() : Exception("Stream read error") {}

bool isRefusedWrite(int systemErrorCode)
{
    constexpr int accessDenied = 5;     // ERROR_ACCESS_DENIED
    constexpr int writeProtected = 19;  // ERROR_WRITE_PROTECT
    return systemErrorCode == accessDenied || systemErrorCode == writeProtected;
}
