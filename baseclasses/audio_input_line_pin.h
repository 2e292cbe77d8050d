// An audio capture device's input line as a pin: an input pin that carries
// no stream and is only switched on and off through IAMAudioInputMixer's
// Enable. The mixer's other settings are not supported (E_NOTIMPL). The
// switch belongs to the device, not to the pin object: the derived pin
// reads and writes it wherever its device keeps it. Used by the Wine
// stand-ins and the test fixtures only (target baseclasses_receiving).
#pragma once

#include "baseclasses/pin.h"

class TBCAudioInputLinePin : public TBCBasePin, public IAMAudioInputMixer {
public:
    TBCAudioInputLinePin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock, const wchar_t* pinName);

    TBC_DECLARE_PIN_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // A line carries no stream: every type is refused, and the pin starts
    // no connection itself.
    HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;

    // IAMAudioInputMixer: Enable goes to the line's switch.
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

protected:
    // The line's switch. WriteEnabled gets the value as the caller passed
    // it (any non-zero value switches the line on); ReadEnabled sets
    // enabled only when it succeeds.
    virtual HRESULT WriteEnabled(WINBOOL enable) = 0;
    virtual HRESULT ReadEnabled(bool& enabled) = 0;
};
