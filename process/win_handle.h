// Owner of one kernel handle (pipe end, process, thread): closes it once.
#pragma once

#include <windows.h>

#include <utility>

class TWinHandle {
public:
    TWinHandle() noexcept = default;
    explicit TWinHandle(HANDLE h) noexcept : h_(h) {}
    TWinHandle(const TWinHandle&) = delete;
    TWinHandle& operator=(const TWinHandle&) = delete;
    TWinHandle(TWinHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    TWinHandle& operator=(TWinHandle&& o) noexcept {
        if (this != &o) Reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    ~TWinHandle() { Reset(); }

    // Closes what is held and takes h.
    void Reset(HANDLE h = nullptr) noexcept {
        if (Valid(h_)) CloseHandle(h_);
        h_ = h;
    }
    HANDLE Get() const noexcept { return h_; }
    // For out parameters: closes what is held, then lends the slot.
    HANDLE* Put() noexcept { Reset(); return &h_; }
    explicit operator bool() const noexcept { return Valid(h_); }

private:
    static bool Valid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    HANDLE h_ = nullptr;
};
