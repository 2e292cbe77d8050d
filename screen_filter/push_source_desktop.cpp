#include "screen_filter/push_source_desktop.h"

#include <new>

namespace {

const REGPINTYPES PinType{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};

const REGFILTERPINS Pin{const_cast<LPWSTR>(RegisteredPinName),
                        FALSE,  // rendered
                        TRUE,   // output
                        FALSE,  // zero
                        FALSE,  // many
                        nullptr,
                        nullptr,
                        1,
                        &PinType};

const TBCFilterRegistration Registration{PixentaFilterName,
                                         &CLSID_ScreenCaptureSource,
                                         &TBCPushSourceDesktop::CreateFromFactory,
                                         &CLSID_VideoInputDeviceCategory,
                                         MERIT_DO_NOT_USE,
                                         1,
                                         &Pin};

TBCClassFactory Factory(Registration);

}  // namespace

TBCPushSourceDesktop::TBCPushSourceDesktop(const wchar_t* name, IUnknown* outer, HRESULT* hr)
    : TBCSource(name, outer, CLSID_ScreenCaptureSource, hr) {
    FPin.reset(new (std::nothrow) TBCPushPinDesktop(hr, this));
    if (!FPin && hr != nullptr) *hr = E_OUTOFMEMORY;
}

TBCPushSourceDesktop::~TBCPushSourceDesktop() = default;

TBCUnknown* TBCPushSourceDesktop::CreateFromFactory(TBCClassFactory* factory, IUnknown* outer) {
    HRESULT hr = S_OK;
    return new (std::nothrow) TBCPushSourceDesktop(factory->Name(), outer, &hr);
}

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::NonDelegatingQueryInterface(REFIID iid,
                                                                            void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IVideoCaptureFilterConfig)
        return GetInterface(static_cast<IVideoCaptureFilterConfig*>(this), object);
    return TBCSource::NonDelegatingQueryInterface(iid, object);
}

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::GetCaptureRect(LONG* x, LONG* y, LONG* width,
                                                               LONG* height) {
    if (!FPin) return E_UNEXPECTED;
    return FPin->GetCaptureRect(x, y, width, height);
}

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::SetCaptureRect(LONG x, LONG y, LONG width,
                                                               LONG height) {
    if (!FPin) return E_UNEXPECTED;
    return FPin->SetCaptureRect(x, y, width, height);
}

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::GetFrameRate(LONGLONG* rate) {
    if (!FPin) return E_UNEXPECTED;
    return FPin->GetFrameRate(rate);
}

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::SetFrameRate(LONGLONG rate) {
    if (!FPin) return E_UNEXPECTED;
    return FPin->SetFrameRate(rate);
}

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::GetDrawCursor(BYTE* draw) {
    if (!FPin) return E_UNEXPECTED;
    return FPin->GetDrawCursor(draw);
}

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::SetDrawCursor(BOOL draw) {
    if (!FPin) return E_UNEXPECTED;
    return FPin->SetDrawCursor(draw);
}
