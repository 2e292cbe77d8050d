// Small filters of the tests' own, for the recorder's graph building and
// audio format choice: a filter with chosen pins (and, when asked, the
// screen filter's configuration interface, recording its calls), pins that
// offer chosen media types (and, when asked, IAMStreamConfig, recording
// every SetFormat), and a class factory that a test registers in its own
// process over a class identifier, so that CoCreateInstance there makes the
// fake (or fails) while the prefix's registry stays as it is.
#pragma once

#include "shared/com_ptr.h"
#include "tests/fixtures/com_test_support.h"
#include "shared/unit_const_list.h"

#include <windows.h>
#include <dshow.h>
#include <mmreg.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace apptest {

// A media type with its format block, owned.
struct TOwnedType {
    AM_MEDIA_TYPE Type{};
    std::vector<BYTE> Format;

    // A copy in task memory, as an enumerator hands it out.
    AM_MEDIA_TYPE* NewTaskCopy() const {
        auto* out = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (!out) return nullptr;
        *out = Type;
        out->pUnk = nullptr;
        out->cbFormat = static_cast<ULONG>(Format.size());
        out->pbFormat = nullptr;
        if (!Format.empty()) {
            out->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(Format.size()));
            if (out->pbFormat) std::copy(Format.begin(), Format.end(), out->pbFormat);
        }
        return out;
    }
    static TOwnedType From(const AM_MEDIA_TYPE& type) {
        TOwnedType t;
        t.Type = type;
        t.Type.pUnk = nullptr;
        t.Type.pbFormat = nullptr;
        if (type.cbFormat && type.pbFormat) t.Format.assign(type.pbFormat, type.pbFormat + type.cbFormat);
        t.Type.cbFormat = static_cast<ULONG>(t.Format.size());
        return t;
    }
    const WAVEFORMATEX* Wave() const {
        return Format.size() >= sizeof(WAVEFORMATEX) ? reinterpret_cast<const WAVEFORMATEX*>(Format.data()) : nullptr;
    }
    // The byte after the WAVEFORMATEX (a marker of the tests), or -1.
    int Marker() const { return Format.size() > sizeof(WAVEFORMATEX) ? Format[sizeof(WAVEFORMATEX)] : -1; }
};

// A PCM type (audio, PCM, a WAVEFORMATEX block) of bits, rate and channels;
// a marker byte after the block tells identical formats apart.
inline TOwnedType PcmType(WORD bits, DWORD rate, WORD channels, int marker = -1) {
    TOwnedType t;
    t.Type.majortype = MEDIATYPE_Audio;
    t.Type.subtype = MEDIASUBTYPE_PCM;
    t.Type.bFixedSizeSamples = TRUE;
    t.Type.formattype = FORMAT_WaveFormatEx;
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = channels;
    wave.nSamplesPerSec = rate;
    wave.wBitsPerSample = bits;
    wave.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    wave.nAvgBytesPerSec = rate * wave.nBlockAlign;
    wave.cbSize = marker >= 0 ? 1 : 0;
    t.Type.lSampleSize = wave.nBlockAlign;
    const BYTE* p = reinterpret_cast<const BYTE*>(&wave);
    t.Format.assign(p, p + sizeof wave);
    if (marker >= 0) t.Format.push_back(static_cast<BYTE>(marker));
    t.Type.cbFormat = static_cast<ULONG>(t.Format.size());
    return t;
}

// A media-type enumerator over a fixed list.
class TFakeTypeEnum final : public testsupport::RefCountedObject<IEnumMediaTypes> {
public:
    TFakeTypeEnum(std::shared_ptr<const std::vector<TOwnedType>> types, size_t at = 0)
        : FTypes(std::move(types)), FAt(at) {}
    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        while (n < count && FAt < FTypes->size()) out[n++] = (*FTypes)[FAt++].NewTaskCopy();
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        FAt += count;
        if (FAt <= FTypes->size()) return S_OK;
        FAt = FTypes->size();
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        FAt = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** out) override {
        if (!out) return E_POINTER;
        *out = new TFakeTypeEnum(FTypes, FAt);
        return S_OK;
    }

private:
    std::shared_ptr<const std::vector<TOwnedType>> FTypes;
    size_t FAt;
};

// A pin that is never connected; it offers its types and, when made with
// a stream configuration, records every format set on it.
class TFakePin final : public testsupport::RefCounted<IPin, IAMStreamConfig> {
    using Counted = testsupport::RefCounted<IPin, IAMStreamConfig>;

public:
    TFakePin(IBaseFilter* owner, PIN_DIRECTION direction, std::wstring name, std::vector<TOwnedType> types,
             bool streamConfig)
        : FOwner(owner),
          FDirection(direction),
          FName(std::move(name)),
          FTypes(std::make_shared<const std::vector<TOwnedType>>(std::move(types))),
          FStreamConfig(streamConfig) {}

    // What SetFormat was given, in call order.
    std::vector<TOwnedType> FormatsSet;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IPin) {
            *object = static_cast<IPin*>(this);
        } else if (iid == IID_IAMStreamConfig && FStreamConfig) {
            *object = static_cast<IAMStreamConfig*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Counted::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Counted::Release(); }

    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return VFW_E_NO_ACCEPTABLE_TYPES; }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT STDMETHODCALLTYPE Disconnect() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override {
        if (!pin) return E_POINTER;
        *pin = nullptr;
        return VFW_E_NOT_CONNECTED;
    }
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override { return VFW_E_NOT_CONNECTED; }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override {
        if (!info) return E_POINTER;
        *info = PIN_INFO{};
        info->pFilter = FOwner;
        if (FOwner) FOwner->AddRef();
        info->dir = FDirection;
        FName.copy(info->achName, MAX_PIN_NAME - 1);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
        if (!direction) return E_POINTER;
        *direction = FDirection;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override {
        if (!id) return E_POINTER;
        const size_t bytes = (FName.size() + 1) * sizeof(wchar_t);
        *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        if (!*id) return E_OUTOFMEMORY;
        std::copy(FName.c_str(), FName.c_str() + FName.size() + 1, *id);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** out) override {
        if (!out) return E_POINTER;
        *out = new TFakeTypeEnum(FTypes);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    // IAMStreamConfig: only SetFormat.
    HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* type) override {
        if (!type) return E_POINTER;
        FormatsSet.push_back(TOwnedType::From(*type));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int*, int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStreamCaps(int, AM_MEDIA_TYPE**, BYTE*) override { return E_NOTIMPL; }

private:
    IBaseFilter* FOwner;  // not counted: the filter owns its pins
    PIN_DIRECTION FDirection;
    std::wstring FName;
    std::shared_ptr<const std::vector<TOwnedType>> FTypes;
    bool FStreamConfig;
};

// A pin enumerator over the filter's pins.
class TFakePinEnum final : public testsupport::RefCountedObject<IEnumPins> {
public:
    TFakePinEnum(std::vector<ComPtr<IPin>> pins, size_t at = 0) : FPins(std::move(pins)), FAt(at) {}
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        while (n < count && FAt < FPins.size()) FPins[FAt++].CopyTo(&out[n++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        FAt += count;
        if (FAt <= FPins.size()) return S_OK;
        FAt = FPins.size();
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        FAt = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins** out) override {
        if (!out) return E_POINTER;
        *out = new TFakePinEnum(FPins, FAt);
        return S_OK;
    }

private:
    std::vector<ComPtr<IPin>> FPins;
    size_t FAt;
};

// What the recorder set through the configuration interface.
struct TScreenConfigCalls {
    bool RectSet = false;
    LONG Left = 0, Top = 0, Width = 0, Height = 0;
    bool RateSet = false;
    LONGLONG Rate = 0;
    bool CursorSet = false;
    BOOL Cursor = FALSE;
};

// A filter with the pins given to it; with a configuration record, it also
// answers the screen filter's configuration interface and records the calls
// there. It joins graphs and changes state like any filter, and streams
// nothing.
class TFakeFilter final : public testsupport::RefCounted<IBaseFilter, IVideoCaptureFilterConfig> {
    using Counted = testsupport::RefCounted<IBaseFilter, IVideoCaptureFilterConfig>;

public:
    explicit TFakeFilter(std::shared_ptr<TScreenConfigCalls> config = nullptr) : FConfig(std::move(config)) {}
    ~TFakeFilter() override = default;

    // Adds a pin (the filter's enumeration order is the order of adding).
    TFakePin* AddPin(PIN_DIRECTION direction, std::wstring name, std::vector<TOwnedType> types, bool streamConfig) {
        auto* pin =
            new TFakePin(static_cast<IBaseFilter*>(this), direction, std::move(name), std::move(types), streamConfig);
        FPins.push_back(ComPtr<IPin>::Attach(pin));
        return pin;
    }
    IFilterGraph* Graph() const { return FGraph; }
    // What Stop answers; a failure leaves the filter in its state.
    HRESULT StopResult = S_OK;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter || iid == IID_IBaseFilter) {
            *object = static_cast<IBaseFilter*>(this);
        } else if (iid == IID_IVideoCaptureFilterConfig && FConfig) {
            *object = static_cast<IVideoCaptureFilterConfig*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Counted::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Counted::Release(); }

    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override {
        if (!id) return E_POINTER;
        *id = GUID_NULL;
        return S_OK;
    }
    // IMediaFilter
    HRESULT STDMETHODCALLTYPE Stop() override {
        if (FAILED(StopResult)) return StopResult;
        FState = State_Stopped;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Pause() override {
        FState = State_Paused;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override {
        FState = State_Running;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override {
        if (!state) return E_POINTER;
        *state = FState;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override {
        if (!clock) return E_POINTER;
        *clock = nullptr;
        return S_OK;
    }
    // IBaseFilter
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** out) override {
        if (!out) return E_POINTER;
        *out = new TFakePinEnum(FPins);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin** pin) override {
        if (!pin) return E_POINTER;
        *pin = nullptr;
        return VFW_E_NOT_FOUND;
    }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
        if (!info) return E_POINTER;
        *info = FILTER_INFO{};
        FName.copy(info->achName, MAX_FILTER_NAME - 1);
        info->pGraph = FGraph;
        if (FGraph) FGraph->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
        // A member does not hold its graph.
        FGraph = graph;
        FName = name ? name : L"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

    // IVideoCaptureFilterConfig
    HRESULT STDMETHODCALLTYPE GetCaptureRect(LONG*, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetCaptureRect(LONG x, LONG y, LONG width, LONG height) override {
        FConfig->RectSet = true;
        FConfig->Left = x;
        FConfig->Top = y;
        FConfig->Width = width;
        FConfig->Height = height;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFrameRate(LONGLONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetFrameRate(LONGLONG rate) override {
        FConfig->RateSet = true;
        FConfig->Rate = rate;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDrawCursor(BYTE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDrawCursor(BOOL draw) override {
        FConfig->CursorSet = true;
        FConfig->Cursor = draw;
        return S_OK;
    }

private:
    std::shared_ptr<TScreenConfigCalls> FConfig;
    std::vector<ComPtr<IPin>> FPins;
    IFilterGraph* FGraph = nullptr;
    std::wstring FName;
    FILTER_STATE FState = State_Stopped;
};

// A class factory whose CreateInstance is the test's: a function that
// makes the object (or fails).
class TFakeFactory final : public testsupport::RefCountedObject<IClassFactory> {
public:
    using TCreate = std::function<HRESULT(REFIID, void**)>;
    explicit TFakeFactory(TCreate create) : FCreate(std::move(create)) {}
    std::atomic<int> Calls{0};

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        ++Calls;
        if (outer) return CLASS_E_NOAGGREGATION;
        return FCreate(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    TCreate FCreate;
};

// While it lives, CoCreateInstance of the class in this process (this
// apartment) goes to the factory instead of the registered server.
class TClassOverride {
public:
    TClassOverride(const CLSID& id, TFakeFactory::TCreate create)
        : FFactory(ComPtr<TFakeFactory>::Attach(new TFakeFactory(std::move(create)))) {
        FResult = CoRegisterClassObject(id, static_cast<IClassFactory*>(FFactory.Get()), CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &FCookie);
    }
    ~TClassOverride() {
        if (SUCCEEDED(FResult)) CoRevokeClassObject(FCookie);
    }
    TClassOverride(const TClassOverride&) = delete;
    TClassOverride& operator=(const TClassOverride&) = delete;

    HRESULT Result() const { return FResult; }
    int Calls() const { return FFactory->Calls.load(); }

    // A factory that makes nothing.
    static TFakeFactory::TCreate Failing(HRESULT hr = E_FAIL) {
        return [hr](REFIID, void**) { return hr; };
    }
    // A factory that makes a new filter from make() each time.
    static TFakeFactory::TCreate Making(std::function<TFakeFilter*()> make) {
        return [make](REFIID iid, void** object) {
            TFakeFilter* filter = make();
            const HRESULT hr = filter->QueryInterface(iid, object);
            filter->Release();
            return hr;
        };
    }

private:
    ComPtr<TFakeFactory> FFactory;
    DWORD FCookie = 0;
    HRESULT FResult = E_FAIL;
};

}  // namespace apptest
