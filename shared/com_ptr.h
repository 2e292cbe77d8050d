// A reference-owning pointer to a COM interface. The project has its own
// because MinGW's Attach adds a reference where an adopted one is meant.
#pragma once

#include <unknwn.h>

#include <utility>

template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to p.
    explicit ComPtr(T* p) noexcept : FPointer(p) {
        if (FPointer) FPointer->AddRef();
    }
    ComPtr(const ComPtr& o) noexcept : FPointer(o.FPointer) {
        if (FPointer) FPointer->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : FPointer(std::exchange(o.FPointer, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& o) noexcept {
        if (this != &o) {
            ComPtr tmp(o);
            Swap(tmp);
        }
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            Reset();
            FPointer = std::exchange(o.FPointer, nullptr);
        }
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }

    // Adopts a reference the caller already owns.
    static ComPtr Attach(T* p) noexcept {
        ComPtr r;
        r.FPointer = p;
        return r;
    }
    // Gives up the reference without releasing it.
    T* Detach() noexcept { return std::exchange(FPointer, nullptr); }

    void Reset() noexcept {
        if (T* p = std::exchange(FPointer, nullptr)) p->Release();
    }
    void Swap(ComPtr& o) noexcept { std::swap(FPointer, o.FPointer); }

    T* Get() const noexcept { return FPointer; }
    T* operator->() const noexcept { return FPointer; }
    T& operator*() const noexcept { return *FPointer; }
    explicit operator bool() const noexcept { return FPointer != nullptr; }

    // For out parameters: releases what is held, then lends the slot.
    T** Put() noexcept {
        Reset();
        return &FPointer;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    // QueryInterface into another smart pointer.
    template <class U>
    HRESULT As(ComPtr<U>& out) const noexcept {
        if (!FPointer) return E_POINTER;
        return FPointer->QueryInterface(__uuidof(U), out.PutVoid());
    }
    HRESULT As(REFIID iid, void** out) const noexcept {
        if (!FPointer) return E_POINTER;
        return FPointer->QueryInterface(iid, out);
    }

    // Hands out a new reference.
    HRESULT CopyTo(T** out) const noexcept {
        if (!out) return E_POINTER;
        *out = FPointer;
        if (FPointer) FPointer->AddRef();
        return S_OK;
    }

private:
    T* FPointer = nullptr;
};

template <class T, class U>
bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) noexcept {
    return a.Get() == b.Get();
}
template <class T>
bool operator==(const ComPtr<T>& a, std::nullptr_t) noexcept {
    return a.Get() == nullptr;
}
