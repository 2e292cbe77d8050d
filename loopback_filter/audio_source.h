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
    // *hr receives the pin's set-up result; the filter is usable whatever it
    // says. seam: null for the platform's own Core Audio objects.
    TBCAudioSource(const wchar_t* name, HRESULT* hr, IUnknown* outer,
                   const TCoreAudioSeam* seam = nullptr);
    ~TBCAudioSource() override;

    // The class factory's virtual constructor.
    static TBCUnknown* CreateFromFactory(TBCClassFactory* factory, IUnknown* outer);

    TBCAudioPin* Pin() const { return FPin.get(); }

private:
    std::unique_ptr<TBCAudioPin> FPin;
};
