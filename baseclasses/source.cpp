#include "baseclasses/source.h"

#include "shared/media_type.h"

#include <algorithm>
#include <cstring>
#include <utility>

// ---- TBCSource ----

TBCSource::TBCSource(const wchar_t* objectName, IUnknown* outer, REFCLSID classId)
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

HRESULT TBCSource::PinsResult() {
    TBCAutoLock lock(FStateLock);
    for (const TBCSourceStream* pin : FPins) {
        if (FAILED(pin->ConstructionResult())) return pin->ConstructionResult();
    }
    return S_OK;
}

// ---- TBCSourceStream ----

TBCSourceStream::TBCSourceStream(const wchar_t* objectName, TBCSource* filter, const wchar_t* pinName)
    : TBCBaseOutputPin(objectName, filter, filter->StateLock(), pinName), FSource(filter) {
    FRequestEvent.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    FReplyEvent.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!FRequestEvent || !FReplyEvent) {
        const DWORD error = GetLastError();
        FConstructionResult = error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_OUTOFMEMORY;
    }
    filter->AddPin(this);
}

TBCSourceStream::~TBCSourceStream() {
    // The filter ended the thread on its final release; a pin deleted some
    // other way must not leave it calling into freed memory.
    EndStreaming();
    FSource->RemovePin(this);
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
    TMediaTypeRecord offered;
    const HRESULT hr = GetMediaType(offered.Put());
    if (FAILED(hr)) return hr;
    const bool same =
        offered->majortype == type->majortype && offered->subtype == type->subtype &&
        offered->formattype == type->formattype && offered->cbFormat == type->cbFormat &&
        (offered->cbFormat == 0 ||
         (type->pbFormat != nullptr && std::memcmp(offered->pbFormat, type->pbFormat, offered->cbFormat) == 0));
    return same ? S_OK : E_FAIL;
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
    if (!FRequestEvent || !FReplyEvent) return false;
    ResetEvent(FRequestEvent.Get());
    ResetEvent(FReplyEvent.Get());
    FPending.store(false, std::memory_order_release);
    FThread.Reset(CreateThread(nullptr, 0, &TBCSourceStream::ThreadEntry, this, 0, nullptr));
    return static_cast<bool>(FThread);
}

void TBCSourceStream::CloseWorker() {
    if (!FThread) return;
    WaitForSingleObject(FThread.Get(), INFINITE);
    FThread.Reset();
}

HRESULT TBCSourceStream::CallWorker(Command command) {
    TBCAutoLock lock(FCallLock);
    if (!FThread) return E_FAIL;
    FCommand = command;
    FPending.store(true, std::memory_order_release);
    SetEvent(FRequestEvent.Get());
    // The thread may end on its own (EXIT); its handle then wakes us too.
    HANDLE waits[2] = {FReplyEvent.Get(), FThread.Get()};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    return woke == WAIT_OBJECT_0 ? FReturn : E_FAIL;
}

bool TBCSourceStream::CheckRequest(Command* command) {
    if (!FPending.load(std::memory_order_acquire)) return false;
    if (WaitForSingleObject(FRequestEvent.Get(), 0) != WAIT_OBJECT_0) return false;
    // Peeking took the signal: put it back for GetRequest.
    SetEvent(FRequestEvent.Get());
    if (command != nullptr) *command = FCommand;
    return true;
}

TBCSourceStream::Command TBCSourceStream::GetRequest() {
    WaitForSingleObject(FRequestEvent.Get(), INFINITE);
    return FCommand;
}

void TBCSourceStream::Reply(HRESULT result) {
    // The answered command is no longer pending.
    ResetEvent(FRequestEvent.Get());
    FPending.store(false, std::memory_order_release);
    FReturn = result;
    SetEvent(FReplyEvent.Get());
}

DWORD WINAPI TBCSourceStream::ThreadEntry(void* self) { return static_cast<TBCSourceStream*>(self)->ThreadProc(); }

DWORD TBCSourceStream::ThreadProc() {
    const TComApartment com(COINIT_MULTITHREADED);

    Command command;
    do {
        command = GetRequest();
        if (command != CMD_INIT) Reply(E_UNEXPECTED);
    } while (command != CMD_INIT);

    HRESULT hr = OnThreadCreate();
    if (FAILED(hr)) {
        OnThreadDestroy();
        Reply(hr);
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
    return 0;
}

bool TBCSourceStream::DeliverFilled(HRESULT fill, ComPtr<IMediaSample> sample, HRESULT* result) {
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
