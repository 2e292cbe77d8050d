#include "baseclasses/source.h"

#include "shared/media_type.h"

#include <algorithm>
#include <cstring>
#include <utility>

// ---- TBCSource ----

TBCSource::TBCSource(const wchar_t* objectName, IUnknown* outer, REFCLSID classId, HRESULT*)
    : TBCBaseFilter(objectName, outer, &FStateLock, classId) {}

TBCSource::~TBCSource() {
    // Each pin removes itself from the list as it goes.
    while (!FPins.empty()) delete FPins.back();
}

void TBCSource::OnFinalRelease() {
    std::vector<TBCSourceStream*> pins;
    {
        TBCAutoLock lock(FStateLock);
        pins = FPins;
    }
    for (TBCSourceStream* pin : pins) pin->EndStreaming();
}

int TBCSource::GetPinCount() {
    TBCAutoLock lock(FStateLock);
    return static_cast<int>(FPins.size());
}

TBCBasePin* TBCSource::GetPin(int index) {
    TBCAutoLock lock(FStateLock);
    if (index < 0 || index >= static_cast<int>(FPins.size())) return nullptr;
    return FPins[static_cast<size_t>(index)];
}

HRESULT TBCSource::AddPin(TBCSourceStream* pin) {
    if (pin == nullptr) return E_POINTER;
    TBCAutoLock lock(FStateLock);
    FPins.push_back(pin);
    return S_OK;
}

HRESULT TBCSource::RemovePin(TBCSourceStream* pin) {
    TBCAutoLock lock(FStateLock);
    const auto found = std::find(FPins.begin(), FPins.end(), pin);
    if (found == FPins.end()) return S_FALSE;
    FPins.erase(found);
    return S_OK;
}

int TBCSource::FindPinNumber(IPin* pin) {
    TBCAutoLock lock(FStateLock);
    for (size_t i = 0; i < FPins.size(); ++i) {
        if (static_cast<IPin*>(FPins[i]) == pin) return static_cast<int>(i);
    }
    return -1;
}

// ---- TBCSourceStream ----

TBCSourceStream::TBCSourceStream(const wchar_t* objectName, HRESULT* hr, TBCSource* filter,
                                 const wchar_t* pinName)
    : TBCBaseOutputPin(objectName, filter, filter->StateLock(), hr, pinName), FSource(filter) {
    FRequestEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    FReplyEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if ((FRequestEvent == nullptr || FReplyEvent == nullptr) && hr != nullptr)
        *hr = HRESULT_FROM_WIN32(GetLastError());
    filter->AddPin(this);
}

TBCSourceStream::~TBCSourceStream() {
    // The filter ended the thread on its final release; a pin deleted some
    // other way must not leave it calling into freed memory.
    EndStreaming();
    FSource->RemovePin(this);
    if (FRequestEvent) CloseHandle(FRequestEvent);
    if (FReplyEvent) CloseHandle(FReplyEvent);
}

HRESULT TBCSourceStream::OnThreadCreate() { return S_OK; }
HRESULT TBCSourceStream::OnThreadDestroy() { return S_OK; }
HRESULT TBCSourceStream::OnThreadStartPlay() { return S_OK; }

HRESULT TBCSourceStream::GetMediaType(AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

HRESULT TBCSourceStream::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    return GetMediaType(type);
}

HRESULT TBCSourceStream::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    TBCAutoLock lock(FLock);
    AM_MEDIA_TYPE offered{};
    HRESULT hr = GetMediaType(&offered);
    if (SUCCEEDED(hr)) {
        const bool same =
            offered.majortype == type->majortype && offered.subtype == type->subtype &&
            offered.formattype == type->formattype && offered.cbFormat == type->cbFormat &&
            (offered.cbFormat == 0 ||
             (type->pbFormat != nullptr &&
              std::memcmp(offered.pbFormat, type->pbFormat, offered.cbFormat) == 0));
        hr = same ? S_OK : E_FAIL;
    }
    FreeMediaType(offered);
    return hr;
}

HRESULT TBCSourceStream::Active() {
    TBCAutoLock lock(FLock);
    if (!IsConnected()) return S_OK;
    HRESULT hr = TBCBaseOutputPin::Active();
    if (FAILED(hr)) return hr;
    if (ThreadExists()) return S_OK;
    if (!CreateWorker()) {
        TBCBaseOutputPin::Inactive();
        return E_FAIL;
    }
    hr = CallWorker(CMD_INIT);
    if (FAILED(hr)) {
        CloseWorker();
        TBCBaseOutputPin::Inactive();
        return hr;
    }
    return CallWorker(CMD_PAUSE);
}

HRESULT TBCSourceStream::Run(REFERENCE_TIME) {
    if (!ThreadExists()) return S_OK;
    return CallWorker(CMD_RUN);
}

HRESULT TBCSourceStream::Inactive() {
    TBCAutoLock lock(FLock);
    if (!IsConnected()) return S_OK;
    // Decommitting first releases a thread that waits for a free sample.
    HRESULT hr = TBCBaseOutputPin::Inactive();
    if (ThreadExists()) {
        const HRESULT stopped = CallWorker(CMD_STOP);
        if (FAILED(stopped)) hr = stopped;
        CallWorker(CMD_EXIT);
        CloseWorker();
    }
    return hr;
}

void TBCSourceStream::EndStreaming() {
    TBCAutoLock lock(FLock);
    if (!ThreadExists()) return;
    // Decommitting first releases a thread that waits for a free sample.
    if (IsConnected()) TBCBaseOutputPin::Inactive();
    CallWorker(CMD_STOP);
    CallWorker(CMD_EXIT);
    CloseWorker();
}

bool TBCSourceStream::CreateWorker() {
    if (FRequestEvent == nullptr || FReplyEvent == nullptr) return false;
    ResetEvent(FRequestEvent);
    ResetEvent(FReplyEvent);
    FPending.store(false, std::memory_order_release);
    FThread = CreateThread(nullptr, 0, &TBCSourceStream::ThreadEntry, this, 0, nullptr);
    return FThread != nullptr;
}

void TBCSourceStream::CloseWorker() {
    if (FThread == nullptr) return;
    WaitForSingleObject(FThread, INFINITE);
    CloseHandle(FThread);
    FThread = nullptr;
}

HRESULT TBCSourceStream::CallWorker(Command command) {
    TBCAutoLock lock(FCallLock);
    if (FThread == nullptr) return E_FAIL;
    FCommand = command;
    FPending.store(true, std::memory_order_release);
    SetEvent(FRequestEvent);
    // The thread may end on its own (EXIT); its handle then wakes us too.
    HANDLE waits[2] = {FReplyEvent, FThread};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    return woke == WAIT_OBJECT_0 ? FReturn : E_FAIL;
}

bool TBCSourceStream::CheckRequest(Command* command) {
    if (!FPending.load(std::memory_order_acquire)) return false;
    if (WaitForSingleObject(FRequestEvent, 0) != WAIT_OBJECT_0) return false;
    // Peeking took the signal: put it back for GetRequest.
    SetEvent(FRequestEvent);
    if (command != nullptr) *command = FCommand;
    return true;
}

TBCSourceStream::Command TBCSourceStream::GetRequest() {
    WaitForSingleObject(FRequestEvent, INFINITE);
    return FCommand;
}

void TBCSourceStream::Reply(HRESULT result) {
    // The answered command is no longer pending.
    ResetEvent(FRequestEvent);
    FPending.store(false, std::memory_order_release);
    FReturn = result;
    SetEvent(FReplyEvent);
}

DWORD WINAPI TBCSourceStream::ThreadEntry(void* self) {
    return static_cast<TBCSourceStream*>(self)->ThreadProc();
}

DWORD TBCSourceStream::ThreadProc() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    Command command;
    do {
        command = GetRequest();
        if (command != CMD_INIT) Reply(E_UNEXPECTED);
    } while (command != CMD_INIT);

    HRESULT hr = OnThreadCreate();
    if (FAILED(hr)) {
        OnThreadDestroy();
        Reply(hr);
        if (SUCCEEDED(com)) CoUninitialize();
        return 1;
    }
    Reply(S_OK);

    do {
        command = GetRequest();
        switch (command) {
        case CMD_EXIT:
        case CMD_STOP:
            Reply(S_OK);
            break;
        case CMD_RUN:
        case CMD_PAUSE:
            Reply(S_OK);
            DoBufferProcessingLoop();
            break;
        default:
            Reply(E_NOTIMPL);
            break;
        }
    } while (command != CMD_EXIT);

    OnThreadDestroy();
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

bool TBCSourceStream::DeliverFilled(HRESULT fill, ComPtr<IMediaSample> sample,
                                    HRESULT* result) {
    if (fill == S_OK) {
        const HRESULT delivered = Deliver(sample.Get());
        sample = nullptr;
        if (delivered == S_OK) return true;
        // Downstream stopped or failed: end quietly.
        *result = S_OK;
        return false;
    }
    sample = nullptr;
    DeliverEndOfStream();
    if (fill == S_FALSE) {
        *result = S_OK;
        return false;
    }
    FSource->NotifyEvent(EC_ERRORABORT, fill, 0);
    *result = fill;
    return false;
}

bool TBCSourceStream::DeliverNext(HRESULT* result) {
    ComPtr<IMediaSample> sample;
    if (FAILED(GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0)) || !sample) {
        Sleep(1);
        return true;
    }
    const HRESULT fill = FillBuffer(sample.Get());
    return DeliverFilled(fill, std::move(sample), result);
}

HRESULT TBCSourceStream::DoBufferProcessingLoop() {
    OnThreadStartPlay();
    Command command;
    do {
        while (!CheckRequest(&command)) {
            HRESULT result = S_OK;
            if (!DeliverNext(&result)) return result;
        }
        if (command == CMD_RUN || command == CMD_PAUSE) {
            Reply(S_OK);
        } else if (command != CMD_STOP) {
            Reply(E_UNEXPECTED);
        }
    } while (command != CMD_STOP);
    return S_FALSE;
}
