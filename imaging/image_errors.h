// The errors of reading pictures. Each carries the text the user sees: the
// program's error box shows what() of any of them. Pure: no <windows.h>.
#pragma once
#include <stdexcept>
#include <string>

class ImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "JPEG error #%d" with libjpeg's message code.
class EJpegError : public ImageError {
public:
    explicit EJpegError(int code) : ImageError("JPEG error #" + std::to_string(code)), code_(code) {}
    int messageCode() const { return code_; }
private:
    int code_;
};

// "Bitmap image is not valid".
class EInvalidGraphic : public ImageError {
public:
    EInvalidGraphic() : ImageError("Bitmap image is not valid") {}
};

// "Stream read error": a bitmap file shorter than its 14-byte file header.
class EBitmapReadError : public ImageError {
public:
    EBitmapReadError() : ImageError("Stream read error") {}
};
