#include "screen_filter/push_source_desktop.h"

#include <new>

TBCPushSourceDesktop::TBCPushSourceDesktop(const wchar_t* name, IUnknown* outer)
    : TBCSource(name, outer, CLSID_ScreenCaptureSource) {}

TBCPushSourceDesktop::~TBCPushSourceDesktop() = default;

HRESULT TBCPushSourceDesktop::Create(const wchar_t* name, IUnknown* outer, TBCPushSourceDesktop** filter) {
    return TBCBuildSource(filter, [&] {
        std::unique_ptr<TBCPushSourceDesktop> created(new TBCPushSourceDesktop(name, outer));
        created->FPin = std::make_unique<TBCPushPinDesktop>(created.get());
        return created;
    });
}

HRESULT TBCPushSourceDesktop::CreateFromFactory(TBCClassFactory* factory, IUnknown* outer, TBCUnknown** object) {
    if (object == nullptr) return E_POINTER;
    TBCPushSourceDesktop* filter = nullptr;
    const HRESULT hr = Create(factory ? factory->Name() : PixentaFilterName, outer, &filter);
    *object = filter;
    return hr;
}

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IVideoCaptureFilterConfig)
        return GetInterface(static_cast<IVideoCaptureFilterConfig*>(this), object);
    return TBCSource::NonDelegatingQueryInterface(iid, object);
}

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::GetCaptureRect(LONG* x, LONG* y, LONG* width, LONG* height) {
    return FPin->GetCaptureRect(x, y, width, height);
}

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::SetCaptureRect(LONG x, LONG y, LONG width, LONG height) {
    return FPin->SetCaptureRect(x, y, width, height);
}

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::GetFrameRate(LONGLONG* rate) { return FPin->GetFrameRate(rate); }

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::SetFrameRate(LONGLONG rate) { return FPin->SetFrameRate(rate); }

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::GetDrawCursor(BYTE* draw) { return FPin->GetDrawCursor(draw); }

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::SetDrawCursor(BOOL draw) { return FPin->SetDrawCursor(draw); }

HRESULT STDMETHODCALLTYPE TBCPushSourceDesktop::GetState(DWORD timeout, FILTER_STATE* state) {
    const HRESULT hr = TBCSource::GetState(timeout, state);
    return hr == S_OK && *state == State_Paused ? VFW_S_CANT_CUE : hr;
}
