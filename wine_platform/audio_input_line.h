// An audio capture device's input line: an input pin that connects to
// nothing and is switched on and off through IAMAudioInputMixer. The switch
// is the endpoint's, kept outside the filter (see audio_endpoint.h).
#pragma once

#include "baseclasses/pin.h"

#include <string>

class TAudioInputLinePin : public TBCBasePin, public IAMAudioInputMixer {
public:
    TAudioInputLinePin(HRESULT* hr, TBCBaseFilter* filter, TBCCritSec* lock);

    // The line stands for this endpoint and takes its name.
    void Bind(const std::wstring& endpointId, const std::wstring& name);
    std::wstring EndpointId() const;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // A line carries no stream: every type is refused, and the pin starts
    // no connection itself.
    HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;

    // IAMAudioInputMixer: Enable is kept per endpoint; the rest is not
    // supported.
    HRESULT STDMETHODCALLTYPE put_Enable(WINBOOL enable) override;
    HRESULT STDMETHODCALLTYPE get_Enable(WINBOOL* enable) override;
    HRESULT STDMETHODCALLTYPE put_Mono(WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Mono(WINBOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_MixLevel(double) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MixLevel(double*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Pan(double) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Pan(double*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Loudness(WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Loudness(WINBOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Treble(double) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Treble(double*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TrebleRange(double*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Bass(double) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Bass(double*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_BassRange(double*) override { return E_NOTIMPL; }

private:
    std::wstring FEndpointId;
};
