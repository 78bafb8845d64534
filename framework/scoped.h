// Small owners of GDI, window-system and file handles, so no handler pairs
// GetDC/ReleaseDC, BeginPaint/EndPaint, SelectObject, CreateFile/CloseHandle
// or FindFirstFile/FindClose by hand.
#pragma once
#include <windows.h>
#include <string>
#include <utility>

class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedGetDC() { if (dc_) ReleaseDC(window_, dc_); }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;
    HDC get() const { return dc_; }
    operator HDC() const { return dc_; }
private:
    HWND window_;
    HDC dc_;
};

// The painting of one WM_PAINT.
class ScopedPaint {
public:
    explicit ScopedPaint(HWND window) : window_(window) { BeginPaint(window_, &paint_); }
    ~ScopedPaint() { EndPaint(window_, &paint_); }
    ScopedPaint(const ScopedPaint&) = delete;
    ScopedPaint& operator=(const ScopedPaint&) = delete;
    HDC dc() const { return paint_.hdc; }
private:
    HWND window_;
    PAINTSTRUCT paint_{};
};

class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelectObject() { if (previous_) SelectObject(dc_, previous_); }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
    // The object the selection replaced (the DC's own, for a first selection).
    HGDIOBJ previous() const { return previous_; }
private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Owns a GDI object (bitmap, brush, font...) and deletes it.
template <class Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { reset(); }
    GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other) { reset(); handle_ = std::exchange(other.handle_, nullptr); }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    void reset(Handle handle = nullptr) { if (handle_) DeleteObject(handle_); handle_ = handle; }
    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
private:
    Handle handle_ = nullptr;
};

class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith = nullptr) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC() { if (dc_) DeleteDC(dc_); }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const { return dc_; }
    operator HDC() const { return dc_; }
private:
    HDC dc_;
};

// A function of a system library looked up at run time (older Windows lack
// it); null when the module or the function is missing. Through void*: the
// entry's real type is known only to the caller, not to FARPROC.
template <typename Function>
Function lookUp(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// A library loaded for one call and unloaded again; an empty path loads none.
class ScopedLibrary {
public:
    explicit ScopedLibrary(const std::string& path) : module_(path.empty() ? nullptr : LoadLibraryA(path.c_str())) {}
    ~ScopedLibrary() { if (module_) FreeLibrary(module_); }
    ScopedLibrary(const ScopedLibrary&) = delete;
    ScopedLibrary& operator=(const ScopedLibrary&) = delete;
    explicit operator bool() const { return module_ != nullptr; }
    // One of its functions (lookUp), by the type the caller knows it has.
    template <typename Function = FARPROC>
    Function entry(const char* name) const { return lookUp<Function>(module_, name); }
private:
    HMODULE module_;
};

// An open file, closed once: by close(), which reports whether the close
// succeeded (a failing close can lose written data), or by the destructor.
class ScopedFile {
public:
    explicit ScopedFile(HANDLE handle) : handle_(handle) {}
    ~ScopedFile() { close(); }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    bool close()
    {
        if (!valid())
            return true;
        const bool closed = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }
private:
    HANDLE handle_;
};

// A search of a directory with a wildcard pattern:
//   WIN32_FIND_DATAA found;
//   for (FileSearch search(pattern, found); search.matched(); search.next(found)) ...
class FileSearch {
public:
    FileSearch(const std::string& pattern, WIN32_FIND_DATAA& found)
        : handle_(FindFirstFileA(pattern.c_str(), &found)) {}
    ~FileSearch() { if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_); }
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;
    // True while the last call found an entry.
    bool matched() const { return handle_ != INVALID_HANDLE_VALUE && matched_; }
    void next(WIN32_FIND_DATAA& found) { matched_ = FindNextFileA(handle_, &found) != FALSE; }
private:
    HANDLE handle_;
    bool matched_ = true;
};
