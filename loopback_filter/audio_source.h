// The loopback audio source filter: one output pin delivering what the
// default playback device plays.
#pragma once

#include "baseclasses/class_factory.h"
#include "baseclasses/source.h"
#include "loopback_filter/audio_pin.h"
#include "loopback_filter/core_audio_seam.h"

#include <memory>

class TBCAudioSource : public TBCSource {
public:
    // Builds the filter with its pin: S_OK and the filter, with no references
    // yet, in *filter; or the failure and null. The pin's Core Audio set-up
    // may end incomplete without failing the creation: its outcome is the
    // pin's SetupResult, and an incomplete pin refuses to connect.
    // seam: null for the platform's own Core Audio objects.
    static HRESULT Create(const wchar_t* name, IUnknown* outer, const TCoreAudioSeam* seam, TBCAudioSource** filter);
    ~TBCAudioSource() override;

    // The class factory's virtual constructor.
    static HRESULT CreateFromFactory(TBCClassFactory* factory, IUnknown* outer, TBCUnknown** object);

    // A live source: paused, it answers VFW_S_CANT_CUE, as the platform's
    // contract for capture filters asks, so that nothing waits for it to cue
    // data before running.
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* state) override;

    TBCAudioPin* Pin() const { return FPin.get(); }

private:
    TBCAudioSource(const wchar_t* name, IUnknown* outer);

    std::unique_ptr<TBCAudioPin> FPin;
};
