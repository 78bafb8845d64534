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
EFCreateError::EFCreateError(const std::string& path) : Exception("Cannot create file " + path) {}
EReadError::EReadError() : Exception("Stream read error") {}
