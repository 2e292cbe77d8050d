#include "loopback_filter/audio_source.h"

#include "loopback_filter/unit_const_list.h"

#include <new>

TBCAudioSource::TBCAudioSource(const wchar_t* name, HRESULT* hr, IUnknown* outer,
                               const TCoreAudioSeam* seam)
    : TBCSource(name, outer, CLSID_LoopbackAudioSource, hr),
      FPin(std::make_unique<TBCAudioPin>(hr, this, seam)) {}

// The pin leaves the filter's pin list before the base filter goes.
TBCAudioSource::~TBCAudioSource() { FPin.reset(); }

TBCUnknown* TBCAudioSource::CreateFromFactory(TBCClassFactory* factory, IUnknown* outer) {
    // The set-up result is not passed back: the filter exists either way and
    // an incomplete pin refuses to connect.
    HRESULT hr = S_OK;
    try {
        return new TBCAudioSource(factory ? factory->Name() : AudeloFilterName, &hr, outer);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
