#include "app/mci_player.h"

#include "classlib/runtime/text.h"

void TMciPlayer::Open(const std::wstring& FileName) {
    Close();
    const std::string element = WideToAnsi(FileName);
    MCI_OPEN_PARMSA open{};
    open.lpstrElementName = element.c_str();
    const MCIERROR error =
        mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&open));
    if (error) {
        char text[256] = {};
        if (!mciGetErrorStringA(error, text, sizeof text)) text[0] = 0;
        throw EMciError(AnsiToWide(text) + L" (MCI " + IntToStr(static_cast<int64_t>(error)) + L")");
    }
    FDevice = open.wDeviceID;
}

void TMciPlayer::Play() {
    if (!FDevice) return;
    MCI_PLAY_PARMS play{};
    mciSendCommandA(FDevice, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play));
}

void TMciPlayer::Pause() {
    if (!FDevice) return;
    MCI_GENERIC_PARMS pause{};
    mciSendCommandA(FDevice, MCI_PAUSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&pause));
}

void TMciPlayer::Close() {
    if (!FDevice) return;
    MCI_GENERIC_PARMS close{};
    mciSendCommandA(FDevice, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close));
    FDevice = 0;
}

std::wstring TMciPlayer::Mode() const {
    if (!FDevice) return {};
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_MODE;
    if (mciSendCommandA(FDevice, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&status)))
        return {};
    switch (status.dwReturn) {
    case MCI_MODE_NOT_READY:
        return L"not ready";
    case MCI_MODE_STOP:
        return L"stopped";
    case MCI_MODE_PLAY:
        return L"playing";
    case MCI_MODE_RECORD:
        return L"recording";
    case MCI_MODE_SEEK:
        return L"seeking";
    case MCI_MODE_PAUSE:
        return L"paused";
    case MCI_MODE_OPEN:
        return L"open";
    default:
        return L"unknown";
    }
}
