// The screen capture source filter: one output pin, configured through
// IVideoCaptureFilterConfig on the filter or the pin.
#pragma once

#include "baseclasses/class_factory.h"
#include "baseclasses/source.h"
#include "screen_filter/push_pin_desktop.h"
#include "shared/unit_const_list.h"

#include <memory>

class TBCPushSourceDesktop : public TBCSource, public IVideoCaptureFilterConfig {
public:
    // hr reports E_OUTOFMEMORY when the pin could not be made.
    TBCPushSourceDesktop(const wchar_t* name, IUnknown* outer, HRESULT* hr);
    ~TBCPushSourceDesktop() override;

    // The class factory's virtual constructor.
    static TBCUnknown* CreateFromFactory(TBCClassFactory* factory, IUnknown* outer);

    TBC_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // IVideoCaptureFilterConfig: forwarded to the pin.
    HRESULT STDMETHODCALLTYPE GetCaptureRect(LONG* x, LONG* y, LONG* width,
                                             LONG* height) override;
    HRESULT STDMETHODCALLTYPE SetCaptureRect(LONG x, LONG y, LONG width, LONG height) override;
    HRESULT STDMETHODCALLTYPE GetFrameRate(LONGLONG* rate) override;
    HRESULT STDMETHODCALLTYPE SetFrameRate(LONGLONG rate) override;
    HRESULT STDMETHODCALLTYPE GetDrawCursor(BYTE* draw) override;
    HRESULT STDMETHODCALLTYPE SetDrawCursor(BOOL draw) override;

private:
    std::unique_ptr<TBCPushPinDesktop> FPin;
};
