// The Pixenta library: one class factory for the screen capture source
// filter, which the library's exports find and register.
#include "baseclasses/class_factory.h"
#include "screen_filter/push_source_desktop.h"
#include "screen_filter/unit_const_list.h"

#include <uuids.h>

const REGPINTYPES PixentaPinTypes{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};

const REGFILTERPINS PixentaPin{const_cast<LPWSTR>(RegisteredPinName),  // strName
                               FALSE,                                  // bRendered
                               TRUE,                                   // bOutput
                               FALSE,                                  // bZero
                               FALSE,                                  // bMany
                               nullptr,                                // clsConnectsToFilter
                               nullptr,                                // strConnectsToPin
                               1,                                      // nMediaTypes
                               &PixentaPinTypes};

namespace {

const TBCFilterRegistration PixentaRegistration{PixentaFilterName,
                                                &CLSID_ScreenCaptureSource,
                                                &TBCPushSourceDesktop::CreateFromFactory,
                                                &CLSID_VideoInputDeviceCategory,
                                                PixentaMerit,
                                                1,
                                                &PixentaPin};

TBCClassFactory PixentaFactory(PixentaRegistration);

}  // namespace
