// The WinePlatform library: the platform filters that Wine lacks, each
// registered under the platform's own class identifier, so that whatever
// creates the platform's filter gets ours. One factory per class.
#include "baseclasses/class_factory.h"
#include "wine_platform/audio_capture_filter.h"

#include <uuids.h>

namespace {

// Audio capture devices bind this class through their monikers; it gets no
// filter-mapper entry of its own, so the device list stays the system's.
const TBCFilterRegistration AudioCaptureRegistration{
    L"Audio Capture Filter", &CLSID_AudioRecord, &TBCCreateOrOutOfMemory<&TAudioCaptureFilter::CreateFromFactory>,
    nullptr, MERIT_DO_NOT_USE, 0, nullptr};

TBCClassFactory AudioCaptureFactory(AudioCaptureRegistration);

}  // namespace
