// Owners for the platform's handles, so that every way out of a function
// releases what it acquired: kernel handles, registry keys, modules, menus,
// GDI objects and device contexts (with their selections), LocalAlloc memory.
#pragma once

#include <windows.h>

#include <utility>

namespace core {

template <class T, class Traits>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : value(value) {}
    ~UniqueResource() { Reset(); }
    UniqueResource(UniqueResource&& other) noexcept : value(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    T Get() const { return value; }
    // For an output parameter: releases what is held first.
    T* Put()
    {
        Reset();
        return &value;
    }
    T Release() { return std::exchange(value, T()); }
    void Reset(T newValue = T())
    {
        if (Traits::IsValid(value))
            Traits::Close(value);
        value = newValue;
    }
    explicit operator bool() const { return Traits::IsValid(value); }

private:
    T value = T();
};

struct KernelHandleTraits {
    // Some calls fail with null, others with INVALID_HANDLE_VALUE: neither is closed.
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

struct RegistryKeyTraits {
    static bool IsValid(HKEY key) { return key != nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};

struct ModuleTraits {
    static bool IsValid(HMODULE module) { return module != nullptr; }
    static void Close(HMODULE module) { FreeLibrary(module); }
};

struct MenuTraits {
    static bool IsValid(HMENU menu) { return menu != nullptr; }
    static void Close(HMENU menu) { DestroyMenu(menu); }
};

struct AcceleratorTraits {
    static bool IsValid(HACCEL table) { return table != nullptr; }
    static void Close(HACCEL table) { DestroyAcceleratorTable(table); }
};

struct IconTraits {
    static bool IsValid(HICON icon) { return icon != nullptr; }
    static void Close(HICON icon) { DestroyIcon(icon); }
};

template <class T>
struct GdiObjectTraits {
    static bool IsValid(T object) { return object != nullptr; }
    static void Close(T object) { DeleteObject(object); }
};

struct MemoryDcTraits {
    static bool IsValid(HDC dc) { return dc != nullptr; }
    static void Close(HDC dc) { DeleteDC(dc); }
};

template <class T>
struct LocalMemoryTraits {
    static bool IsValid(T memory) { return memory != nullptr; }
    static void Close(T memory) { LocalFree(reinterpret_cast<HLOCAL>(memory)); }
};

struct GlobalMemoryTraits {
    static bool IsValid(HGLOBAL memory) { return memory != nullptr; }
    static void Close(HGLOBAL memory) { GlobalFree(memory); }
};

using KernelHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using RegistryKey = UniqueResource<HKEY, RegistryKeyTraits>;
using Module = UniqueResource<HMODULE, ModuleTraits>;
using Menu = UniqueResource<HMENU, MenuTraits>;
using Accelerators = UniqueResource<HACCEL, AcceleratorTraits>;
using Icon = UniqueResource<HICON, IconTraits>;
template <class T>
using GdiObject = UniqueResource<T, GdiObjectTraits<T>>;
using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Bitmap = GdiObject<HBITMAP>;
// A device context made with CreateCompatibleDC or CreateDCW.
using MemoryDc = UniqueResource<HDC, MemoryDcTraits>;
template <class T>
using LocalMemory = UniqueResource<T, LocalMemoryTraits<T>>;
// Memory for the clipboard: freed unless the clipboard took it (Release).
using GlobalMemory = UniqueResource<HGLOBAL, GlobalMemoryTraits>;

// A window's device context from GetDC, given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window(window), dc(GetDC(window)) {}
    ~WindowDc()
    {
        if (dc)
            ReleaseDC(window, dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Get() const { return dc; }
    explicit operator bool() const { return dc != nullptr; }

private:
    HWND window;
    HDC dc;
};

// BeginPaint and EndPaint around one WM_PAINT.
class PaintDc {
public:
    explicit PaintDc(HWND window) : window(window), dc(BeginPaint(window, &paint)) {}
    ~PaintDc() { EndPaint(window, &paint); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;

    HDC Get() const { return dc; }
    const PAINTSTRUCT& Paint() const { return paint; }

private:
    HWND window;
    PAINTSTRUCT paint = {};
    HDC dc;
};

// Selects an object into a device context and puts the previous one back, so
// that the object can be deleted afterwards.
class SelectionGuard {
public:
    SelectionGuard(HDC dc, HGDIOBJ object) : dc(dc), previous(object ? SelectObject(dc, object) : nullptr) {}
    ~SelectionGuard()
    {
        if (previous && previous != HGDI_ERROR)
            SelectObject(dc, previous);
    }
    SelectionGuard(const SelectionGuard&) = delete;
    SelectionGuard& operator=(const SelectionGuard&) = delete;

private:
    HDC dc;
    HGDIOBJ previous;
};

// Loads a library of the system from the system folder only, never from the
// program's folder or the current directory, where a planted copy could lie.
// `fileName` is a bare file name such as L"aclui.dll".
HMODULE LoadSystemLibrary(const wchar_t* fileName);

} // namespace core
