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
    // Builds the filter with its pin: S_OK and the filter, with no references
    // yet, in *filter; or the failure and null. A filter is never handed out
    // without its pin.
    static HRESULT Create(const wchar_t* name, IUnknown* outer, TBCPushSourceDesktop** filter);
    ~TBCPushSourceDesktop() override;

    // The class factory's virtual constructor.
    static HRESULT CreateFromFactory(TBCClassFactory* factory, IUnknown* outer, TBCUnknown** object);

    TBC_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;
    // A live source: paused, it answers VFW_S_CANT_CUE, as the platform's
    // contract for capture filters asks, so that nothing waits for it to cue
    // data before running.
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* state) override;

    // IVideoCaptureFilterConfig: forwarded to the pin.
    HRESULT STDMETHODCALLTYPE GetCaptureRect(LONG* x, LONG* y, LONG* width, LONG* height) override;
    HRESULT STDMETHODCALLTYPE SetCaptureRect(LONG x, LONG y, LONG width, LONG height) override;
    HRESULT STDMETHODCALLTYPE GetFrameRate(LONGLONG* rate) override;
    HRESULT STDMETHODCALLTYPE SetFrameRate(LONGLONG rate) override;
    HRESULT STDMETHODCALLTYPE GetDrawCursor(BYTE* draw) override;
    HRESULT STDMETHODCALLTYPE SetDrawCursor(BOOL draw) override;

private:
    TBCPushSourceDesktop(const wchar_t* name, IUnknown* outer);

    std::unique_ptr<TBCPushPinDesktop> FPin;
};
