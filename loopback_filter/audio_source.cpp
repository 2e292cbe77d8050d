#include "loopback_filter/audio_source.h"

#include "loopback_filter/unit_const_list.h"

#include <new>

TBCAudioSource::TBCAudioSource(const wchar_t* name, IUnknown* outer)
    : TBCSource(name, outer, CLSID_LoopbackAudioSource) {}

// The pin leaves the filter's pin list before the base filter goes.
TBCAudioSource::~TBCAudioSource() { FPin.reset(); }

HRESULT TBCAudioSource::Create(const wchar_t* name, IUnknown* outer, const TCoreAudioSeam* seam,
                               TBCAudioSource** filter) {
    return TBCBuildSource(filter, [&] {
        std::unique_ptr<TBCAudioSource> created(new TBCAudioSource(name, outer));
        created->FPin = std::make_unique<TBCAudioPin>(created.get(), seam);
        return created;
    });
}

HRESULT TBCAudioSource::CreateFromFactory(TBCClassFactory* factory, IUnknown* outer, TBCUnknown** object) {
    if (object == nullptr) return E_POINTER;
    TBCAudioSource* filter = nullptr;
    const HRESULT hr = Create(factory ? factory->Name() : AudeloFilterName, outer, nullptr, &filter);
    *object = filter;
    return hr;
}

HRESULT STDMETHODCALLTYPE TBCAudioSource::GetState(DWORD timeout, FILTER_STATE* state) {
    const HRESULT hr = TBCSource::GetState(timeout, state);
    return hr == S_OK && *state == State_Paused ? VFW_S_CANT_CUE : hr;
}
