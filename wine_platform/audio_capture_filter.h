// The audio capture filter that the system's audio capture devices bind: one
// object per binding, loaded with the device's property bag, recording the
// device's Core Audio capture endpoint. Pins: the output "Capture" and one
// input line named as the endpoint.
#pragma once

#include "baseclasses/class_factory.h"
#include "baseclasses/source.h"
#include "wine_platform/audio_endpoint.h"

#include <memory>

class TAudioCapturePin;
class TAudioInputLinePin;

class TAudioCaptureFilter : public TBCSource, public IPersistPropertyBag {
public:
    static TBCUnknown* CreateFromFactory(TBCClassFactory* factory, IUnknown* outer);
    TAudioCaptureFilter(IUnknown* outer, HRESULT* hr);
    ~TAudioCaptureFilter() override;

    TBC_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override;

    // A live source: paused, it answers VFW_S_CANT_CUE.
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    HRESULT STDMETHODCALLTYPE Pause() override;

    // Output first, then the input line.
    int GetPinCount() override;
    TBCBasePin* GetPin(int index) override;

    // IPersistPropertyBag: Load binds the device the bag describes (its
    // "WaveInID", else its "FriendlyName"); without it the filter records
    // the default capture endpoint.
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // The endpoint recorded.
    TCaptureEndpoint Endpoint() const;

private:
    TCaptureEndpoint FEndpoint;
    TAudioCapturePin* FOutput = nullptr;  // owned by the source's pin list
    std::unique_ptr<TAudioInputLinePin> FLine;
};
