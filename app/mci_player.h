// The invisible media player of the main window: opens a sound file through
// MCI with the device type the file calls for, starts it and pauses it. The
// device stays open until the next opening or the end of the player.
#pragma once

#include "classlib/runtime/exceptions.h"

#include <windows.h>
#include <mmsystem.h>

#include <string>

// An MCI device that could not be opened; the message is the platform's.
class EMciError : public Exception {
public:
    using Exception::Exception;
};

class TMciPlayer {
public:
    TMciPlayer() = default;
    TMciPlayer(const TMciPlayer&) = delete;
    TMciPlayer& operator=(const TMciPlayer&) = delete;
    ~TMciPlayer() { Close(); }

    // Closes a device that is open, then opens FileName and waits for it.
    // EMciError when it cannot be opened.
    void Open(const std::wstring& FileName);
    // Starts playing without waiting; failures are not reported.
    void Play();
    // Pauses and waits; failures are not reported.
    void Pause();
    void Close();

    bool IsOpen() const noexcept { return FDevice != 0; }
    // The device's mode as MCI reports it ("paused", "playing" ...), empty
    // when closed.
    std::wstring Mode() const;

private:
    MCIDEVICEID FDevice = 0;
};
