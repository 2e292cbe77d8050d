// Owners of platform resources: one template over the handle type and its
// close call, the aliases the code uses, a scope guard and a COM apartment.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <utility>

// What a kind of handle needs: its type, its "nothing held" value, which
// values count as held, and how to close one.
template <class H, class Close>
struct TOwnerTraits {
    using THandle = H;
    static constexpr H Empty() noexcept { return H{}; }
    static bool Valid(H h) noexcept { return h != H{}; }
    static void Free(H h) noexcept { Close{}(h); }
};

// Owns one handle and closes it once, like std::unique_ptr with a deleter.
template <class Traits>
class TOwner {
public:
    using THandle = typename Traits::THandle;

    TOwner() noexcept = default;
    explicit TOwner(THandle h) noexcept : FHandle(h) {}
    TOwner(const TOwner&) = delete;
    TOwner& operator=(const TOwner&) = delete;
    TOwner(TOwner&& o) noexcept : FHandle(o.Take()) {}
    TOwner& operator=(TOwner&& o) noexcept {
        if (this != &o) Reset(o.Take());
        return *this;
    }
    ~TOwner() { Reset(); }

    // Closes what is held and takes h.
    void Reset(THandle h = Traits::Empty()) noexcept {
        THandle old = std::exchange(FHandle, h);
        if (Traits::Valid(old)) Traits::Free(old);
    }
    // Gives up the handle without closing it. (Not named Release: that is
    // COM's reference decrement everywhere else.)
    THandle Take() noexcept { return std::exchange(FHandle, Traits::Empty()); }

    THandle Get() const noexcept { return FHandle; }
    // For owners of pointers to records (task memory).
    THandle operator->() const noexcept { return FHandle; }
    bool Valid() const noexcept { return Traits::Valid(FHandle); }
    explicit operator bool() const noexcept { return Valid(); }
    // For out parameters: closes what is held, then lends the slot.
    THandle* Put() noexcept {
        Reset();
        return &FHandle;
    }

private:
    THandle FHandle = Traits::Empty();
};

namespace owner_detail {
struct CloseKernel {
    void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};
struct CloseKey {
    void operator()(HKEY h) const noexcept { RegCloseKey(h); }
};
struct DeleteGdi {
    void operator()(HGDIOBJ h) const noexcept { DeleteObject(h); }
};
struct DeleteCreatedDC {
    void operator()(HDC h) const noexcept { DeleteDC(h); }
};
struct DestroyIconCall {
    void operator()(HICON h) const noexcept { DestroyIcon(h); }
};
struct FreeTaskMem {
    void operator()(void* p) const noexcept { CoTaskMemFree(p); }
};
struct FreeModule {
    void operator()(HMODULE h) const noexcept { FreeLibrary(h); }
};
struct FreeLocal {
    void operator()(HLOCAL h) const noexcept { LocalFree(h); }
};
}  // namespace owner_detail

// Kernel handles are invalid both as null and as INVALID_HANDLE_VALUE.
struct TKernelTraits : TOwnerTraits<HANDLE, owner_detail::CloseKernel> {
    static bool Valid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
};

using TKernelHandle = TOwner<TKernelTraits>;
using TRegKey = TOwner<TOwnerTraits<HKEY, owner_detail::CloseKey>>;
template <class H = HGDIOBJ>
using TGdiObject = TOwner<TOwnerTraits<H, owner_detail::DeleteGdi>>;
// A DC of CreateCompatibleDC (or of CreateDC, which goes the same way).
using TMemoryDC = TOwner<TOwnerTraits<HDC, owner_detail::DeleteCreatedDC>>;
using TIconHandle = TOwner<TOwnerTraits<HICON, owner_detail::DestroyIconCall>>;
using TModuleHandle = TOwner<TOwnerTraits<HMODULE, owner_detail::FreeModule>>;
// Local memory (LocalAlloc, or a buffer FormatMessage allocated).
using TLocalMem = TOwner<TOwnerTraits<HLOCAL, owner_detail::FreeLocal>>;

// The DC of a window's client area, or of the screen for a null window
// (GetDC); it goes back with ReleaseDC to the window it came from.
class TWindowDC {
public:
    explicit TWindowDC(HWND wnd) noexcept : FWindow(wnd), FDC(GetDC(wnd)) {}
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    ~TWindowDC() {
        if (FDC) ReleaseDC(FWindow, FDC);
    }
    HDC Get() const noexcept { return FDC; }
    explicit operator bool() const noexcept { return FDC != nullptr; }

private:
    HWND FWindow;
    HDC FDC;
};

// Selects an object into a DC for the guard's lifetime, then selects back
// what was there before.
class TSelectGuard {
public:
    TSelectGuard(HDC dc, HGDIOBJ obj) noexcept : FDC(dc), FOld(SelectObject(dc, obj)) {}
    TSelectGuard(const TSelectGuard&) = delete;
    TSelectGuard& operator=(const TSelectGuard&) = delete;
    ~TSelectGuard() {
        if (FOld && FOld != HGDI_ERROR) SelectObject(FDC, FOld);
    }

private:
    HDC FDC;
    HGDIOBJ FOld;
};

// Task memory (CoTaskMemAlloc) of any pointer type.
template <class T>
struct TTaskMemTraits {
    using THandle = T*;
    static constexpr T* Empty() noexcept { return nullptr; }
    static bool Valid(T* p) noexcept { return p != nullptr; }
    static void Free(T* p) noexcept { CoTaskMemFree(p); }
};
template <class T = void>
using TTaskMem = TOwner<TTaskMemTraits<T>>;

// Runs a call when the scope ends, unless dismissed.
template <class F>
class TScopeGuard {
public:
    explicit TScopeGuard(F f) noexcept : FCall(std::move(f)) {}
    TScopeGuard(const TScopeGuard&) = delete;
    TScopeGuard& operator=(const TScopeGuard&) = delete;
    ~TScopeGuard() {
        if (FActive) FCall();
    }
    void Dismiss() noexcept { FActive = false; }

private:
    F FCall;
    bool FActive = true;
};

// Joins the calling thread to a COM apartment for the owner's lifetime.
class TComApartment {
public:
    explicit TComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : FResult(CoInitializeEx(nullptr, model)), FCounted(SUCCEEDED(FResult)) {}
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;
    // Only a successful call (S_OK or S_FALSE) counted: RPC_E_CHANGED_MODE
    // joined nothing, and uninitialising for it would take away the count of
    // whoever initialised the thread first.
    ~TComApartment() {
        if (FCounted) CoUninitialize();
    }
    // Leaves the thread joined when the owner goes, for objects made in the
    // apartment that outlive the owner.
    void Take() noexcept { FCounted = false; }
    HRESULT Result() const noexcept { return FResult; }
    // The thread can use COM: it joined here or was in an apartment already.
    bool Usable() const noexcept { return SUCCEEDED(FResult) || FResult == RPC_E_CHANGED_MODE; }

private:
    HRESULT FResult;
    bool FCounted;
};
