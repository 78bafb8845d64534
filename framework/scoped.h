// Small owners of GDI and window-system handles, so no handler pairs
// GetDC/ReleaseDC or SelectObject by hand.
#pragma once
#include <windows.h>
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

class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelectObject() { if (previous_) SelectObject(dc_, previous_); }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
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

// A library loaded for one call and unloaded again.
class ScopedLibrary {
public:
    explicit ScopedLibrary(const char* path) : module_(LoadLibraryA(path)) {}
    ~ScopedLibrary() { if (module_) FreeLibrary(module_); }
    ScopedLibrary(const ScopedLibrary&) = delete;
    ScopedLibrary& operator=(const ScopedLibrary&) = delete;
    explicit operator bool() const { return module_ != nullptr; }
    FARPROC entry(const char* name) const { return module_ ? GetProcAddress(module_, name) : nullptr; }
private:
    HMODULE module_;
};
