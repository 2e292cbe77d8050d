// The Audelo library: one class factory for the loopback audio source filter,
// which the library's exports find and register.
#include "baseclasses/class_factory.h"
#include "loopback_filter/audio_source.h"
#include "loopback_filter/unit_const_list.h"

#include <uuids.h>

const REGPINTYPES AudeloPinTypes{&MEDIATYPE_Audio, &MEDIASUBTYPE_WAVE};

const REGFILTERPINS AudeloPin{const_cast<LPWSTR>(RegisteredPinName),  // strName
                              FALSE,                                  // bRendered
                              TRUE,                                   // bOutput
                              FALSE,                                  // bZero
                              FALSE,                                  // bMany
                              nullptr,                                // clsConnectsToFilter
                              nullptr,                                // strConnectsToPin
                              1,                                      // nMediaTypes
                              &AudeloPinTypes};

namespace {

const TBCFilterRegistration AudeloRegistration{AudeloFilterName,
                                               &CLSID_LoopbackAudioSource,
                                               &TBCAudioSource::CreateFromFactory,
                                               &CLSID_LegacyAmFilterCategory,
                                               AudeloMerit,
                                               1,
                                               &AudeloPin};

TBCClassFactory AudeloFactory(AudeloRegistration);

}  // namespace
