#pragma once
// One small owner per kind of Win32 handle, so that every handle is released
// on every path without clean-up code at each return.
#include <windows.h>
#include <objbase.h>
#include <lzexpand.h>
#include <utility>

#include "platform/SystemLibraries.h"

template <typename Traits>
class UniqueHandle {
public:
    using handle_type = typename Traits::type;
    UniqueHandle() noexcept : h_(Traits::invalid()) {}
    explicit UniqueHandle(handle_type h) noexcept : h_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    handle_type get() const noexcept { return h_; }
    handle_type* put() noexcept { reset(); return &h_; }
    handle_type release() noexcept { return std::exchange(h_, Traits::invalid()); }
    void reset(handle_type h = Traits::invalid()) noexcept {
        if (h_ != Traits::invalid()) Traits::close(h_);
        h_ = h;
    }
    explicit operator bool() const noexcept { return h_ != Traits::invalid(); }

private:
    handle_type h_;
};

struct KernelHandleTraits {  // CreateFile returns INVALID_HANDLE_VALUE on failure
    using type = HANDLE;
    static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(type h) noexcept { ::CloseHandle(h); }
};
struct KernelObjectTraits {  // processes, threads, mutexes, events: NULL on failure
    using type = HANDLE;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using type = HANDLE;
    static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(type h) noexcept { ::FindClose(h); }
};
struct RegKeyTraits {
    using type = HKEY;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::RegCloseKey(h); }
};
struct LibraryTraits {
    using type = HMODULE;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::FreeLibrary(h); }
};
struct GdiObjectTraits {
    using type = HGDIOBJ;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::DeleteObject(h); }
};

struct LzFileTraits {  // LZOpenFile: a negative result is an error code, never a handle
    using type = INT;
    static type invalid() noexcept { return -1; }
    static void close(type h) noexcept { syslib::LZClose(h); }
};

struct MemoryDCTraits {  // CreateCompatibleDC
    using type = HDC;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::DeleteDC(h); }
};
struct CoTaskMemTraits {  // memory the shell hands over (item lists)
    using type = void*;
    static type invalid() noexcept { return nullptr; }
    static void close(type p) noexcept { syslib::CoTaskMemFree(p); }
};

using FileHandle = UniqueHandle<KernelHandleTraits>;
using KernelObject = UniqueHandle<KernelObjectTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using Library = UniqueHandle<LibraryTraits>;
using GdiObject = UniqueHandle<GdiObjectTraits>;
using MemoryDC = UniqueHandle<MemoryDCTraits>;
using CoTaskMem = UniqueHandle<CoTaskMemTraits>;

// A window's device context (GetDC), given back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    ~WindowDC() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};
using LzFile = UniqueHandle<LzFileTraits>;

// Owning pointer to a COM interface.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) { reset(); p_ = std::exchange(o.p_, nullptr); }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T** put() noexcept { reset(); return &p_; }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    void reset() noexcept { if (p_) { p_->Release(); p_ = nullptr; } }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// CoInitialize / CoUninitialize for one thread's lifetime.
class ComApartment {
public:
    ComApartment() noexcept : ok_(SUCCEEDED(syslib::CoInitialize(nullptr))) {}
    ~ComApartment() { if (ok_) syslib::CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool ok() const noexcept { return ok_; }

private:
    bool ok_;
};

// COM on this thread from the first call on, released when the program
// ends: for the unattended run, which needs it only to make a shortcut,
// to start a program through the shell or to (un)register a library. Under
// Wine COM brings up the display, which an uninstall otherwise never needs.
inline void NeedComApartment() { static ComApartment apartment; }
