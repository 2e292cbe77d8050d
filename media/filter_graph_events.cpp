// The event side of the filter-graph component: the notify window, draining
// the graph's event queue, dispatching each event to OnDSEvent and its typed
// event, the builder callbacks and the component's private service.
#include "media/filter_graph.h"

#include "classlib/runtime/application.h"
#include "media/direct_show_error.h"
#include "media/graph_utility.h"
#include "shared/com_guard.h"
#include "shared/info_records.h"
#include "shared/owner.h"
#include "shared/variant.h"

#include <oleauto.h>

#include <audevcod.h>
#include <dvdevcod.h>
#include <evcode.h>

#include <utility>

namespace {

// A notify event for a code chosen further by param1 (1-based), or null.
template <size_t N>
const TNotifyEvent* Pick(LONG_PTR Param1, const TNotifyEvent* (&events)[N]) {
    if (Param1 < 1 || Param1 > static_cast<LONG_PTR>(N)) return nullptr;
    return events[Param1 - 1];
}

void Raise(const TNotifyEvent* event, TObject* sender) {
    if (event && *event) (*event)(sender);
}

int32_t Digits(uint8_t ones, uint8_t tens) { return ones + 10 * tens; }

// The text of a string value of a property bag, or nothing.
bool ReadBagString(IPropertyBag* bag, const wchar_t* name, std::wstring& value) {
    TVariant v;
    if (bag->Read(name, v.Put(), nullptr) != S_OK || !v.String()) return false;
    value.assign(v.String(), SysStringLen(v.String()));
    return true;
}

// Runs a callback's body; an error is shown by the application and the
// callback answers failure, so nothing crosses into the platform.
template <class Body>
HRESULT Guarded(TObject* sender, HRESULT failure, Body body) {
    return ComGuard(failure, std::move(body),
                    [sender](std::exception_ptr e) { Application->HandleException(sender, e); });
}

}  // namespace

void TFilterGraph::WndProc(TMessage& Message) {
    if (Message.Msg != WM_GRAPHNOTIFY) {
        DefaultHandler(Message);
        return;
    }
    try {
        HandleEvents();
    } catch (...) {
        Application->HandleException(this, std::current_exception());
    }
}

void TFilterGraph::HandleEvents() {
    while (FMediaEvent) {
        // A handler may deactivate the graph: the queue stays alive for
        // freeing this event's parameters.
        const ComPtr<IMediaEventEx> events = FMediaEvent;
        long code = 0;
        LONG_PTR param1 = 0, param2 = 0;
        if (events->GetEvent(&code, &param1, &param2, 0) != S_OK) return;
        TScopeGuard free([&] { events->FreeEventParams(code, param1, param2); });
        DoEvent(code, param1, param2);
    }
}

void TFilterGraph::DoEvent(long Event, LONG_PTR Param1, LONG_PTR Param2) {
    NotifyGraphEvent(Event, Param1, Param2);
    if (OnDSEvent) OnDSEvent(this, Event, Param1, Param2);

    const auto p1 = static_cast<uint32_t>(Param1);
    const auto p2 = static_cast<uint32_t>(Param2);
    switch (Event) {
    case EC_USERABORT:
        Raise(&OnGraphUserAbort, this);
        break;
    case EC_PALETTE_CHANGED:
        Raise(&OnGraphPaletteChanged, this);
        break;
    case EC_QUALITY_CHANGE:
        Raise(&OnGraphQualityChange, this);
        break;
    case EC_CLOCK_CHANGED:
        Raise(&OnGraphClockChanged, this);
        break;
    case EC_STEP_COMPLETE:
        Raise(&OnGraphStepComplete, this);
        break;
    case EC_GRAPH_CHANGED:
        Raise(&OnGraphChanged, this);
        break;
    case EC_CLOCK_UNSET:
        Raise(&OnGraphClockUnset, this);
        break;
    case EC_DVD_STILL_OFF:
        Raise(&OnDVDStillOff, this);
        break;
    case EC_DVD_CHAPTER_AUTOSTOP:
        Raise(&OnDVDChapterAutoStop, this);
        break;
    case EC_DVD_NO_FP_PGC:
        Raise(&OnDVDNoFP_PGC, this);
        break;
    case EC_DVD_PLAYBACK_STOPPED:
        Raise(&OnDVDPlaybackStopped, this);
        break;
    case EC_DVD_PLAYPERIOD_AUTOSTOP:
        Raise(&OnDVDPlayPeriodAutoStop, this);
        break;
    case EC_DVD_DISC_EJECTED:
        Raise(&OnDVDDiscEjected, this);
        break;
    case EC_DVD_DISC_INSERTED:
        Raise(&OnDVDDiscInserted, this);
        break;

    case EC_DVD_DOMAIN_CHANGE: {
        const TNotifyEvent* domains[] = {&OnDVDDomainFirstPlay, &OnDVDDomainVideoManagerMenu,
                                         &OnDVDDomainVideoTitleSetMenu, &OnDVDDomainTitle, &OnDVDDomainStop};
        Raise(Pick(Param1, domains), this);
        break;
    }
    case EC_DVD_ERROR: {
        const TNotifyEvent* errors[] = {&OnDVDErrorUnexpected,
                                        &OnDVDErrorCopyProtectFail,
                                        &OnDVDErrorInvalidDVD1_0Disc,
                                        &OnDVDErrorInvalidDiscRegion,
                                        &OnDVDErrorLowParentalLevel,
                                        &OnDVDErrorMacrovisionFail,
                                        &OnDVDErrorIncompatibleSystemAndDecoderRegions,
                                        &OnDVDErrorIncompatibleDiscAndDecoderRegions};
        Raise(Pick(Param1, errors), this);
        break;
    }
    case EC_DVD_WARNING: {
        const TNotifyEvent* warnings[] = {&OnDVDWarningInvalidDVD1_0Disc,
                                          &OnDVDWarningFormatNotSupported,
                                          &OnDVDWarningIllegalNavCommand,
                                          &OnDVDWarningOpen,
                                          &OnDVDWarningSeek,
                                          &OnDVDWarningRead};
        Raise(Pick(Param1, warnings), this);
        break;
    }

    case EC_COMPLETE:
        if (OnGraphComplete) OnGraphComplete(this, static_cast<HRESULT>(p1), reinterpret_cast<IBaseFilter*>(Param2));
        break;
    case EC_ERRORABORT:
        if (OnGraphErrorAbort) OnGraphErrorAbort(this, static_cast<HRESULT>(p1));
        break;
    case EC_STREAM_ERROR_STOPPED:
        if (OnGraphStreamErrorStopped) OnGraphStreamErrorStopped(this, static_cast<HRESULT>(p1), p2);
        break;
    case EC_STREAM_ERROR_STILLPLAYING:
        if (OnGraphStreamErrorStillPlaying) OnGraphStreamErrorStillPlaying(this, static_cast<HRESULT>(p1), p2);
        break;
    case EC_ERROR_STILLPLAYING:
        if (OnGraphErrorStillPlaying) OnGraphErrorStillPlaying(this, static_cast<HRESULT>(p1));
        break;
    case EC_VIDEO_SIZE_CHANGED:
        if (OnGraphVideoSizeChanged)
            OnGraphVideoSizeChanged(this, static_cast<uint16_t>(p1 & 0xFFFF), static_cast<uint16_t>(p1 >> 16));
        break;
    case EC_PAUSED:
        if (OnGraphPaused) OnGraphPaused(this, static_cast<HRESULT>(p1));
        break;
    case EC_OPENING_FILE:
        if (OnGraphOpeningFile) OnGraphOpeningFile(this, Param1 == 1);
        break;
    case EC_BUFFERING_DATA:
        if (OnGraphBufferingData) OnGraphBufferingData(this, Param1 == 1);
        break;
    case EC_FULLSCREEN_LOST:
        if (OnGraphFullscreenLost) OnGraphFullscreenLost(this, reinterpret_cast<IBaseFilter*>(Param2));
        break;
    case EC_OLE_EVENT:
        if (OnGraphOleEvent)
            OnGraphOleEvent(this, reinterpret_cast<const wchar_t*>(Param1), reinterpret_cast<const wchar_t*>(Param2));
        break;
    case EC_STREAM_CONTROL_STOPPED:
        if (OnGraphStreamControlStopped) OnGraphStreamControlStopped(this, reinterpret_cast<IPin*>(Param1), p2);
        break;
    case EC_STREAM_CONTROL_STARTED:
        if (OnGraphStreamControlStarted) OnGraphStreamControlStarted(this, reinterpret_cast<IPin*>(Param1), p2);
        break;
    case EC_END_OF_SEGMENT:
        if (OnGraphEndOfSegment) {
            const auto* time = reinterpret_cast<const REFERENCE_TIME*>(Param1);
            OnGraphEndOfSegment(this, time ? *time : 0, p2);
        }
        break;
    case EC_DEVICE_LOST:
        if (OnGraphDeviceLost) OnGraphDeviceLost(this, reinterpret_cast<IUnknown*>(Param1), Param2 == 1);
        break;
    case EC_TIMECODE_AVAILABLE:
        if (OnGraphTimeCodeAvailable) OnGraphTimeCodeAvailable(this, reinterpret_cast<IBaseFilter*>(Param1), p2);
        break;
    case EC_EXTDEVICE_MODE_CHANGE:
        if (OnGraphEXTDeviceModeChange) OnGraphEXTDeviceModeChange(this, p1, p2);
        break;
    case EC_VMR_RENDERDEVICE_SET:
        if (OnGraphVMRRenderDevice) OnGraphVMRRenderDevice(this, static_cast<TVMRRenderDevice>(p1));
        break;
    case EC_DVD_TITLE_CHANGE:
        if (OnDVDTitleChange) OnDVDTitleChange(this, static_cast<int32_t>(p1));
        break;
    case EC_DVD_CHAPTER_START:
        if (OnDVDChapterStart) OnDVDChapterStart(this, static_cast<int32_t>(p1));
        break;
    case EC_DVD_AUDIO_STREAM_CHANGE:
    case EC_DVD_SUBPICTURE_STREAM_CHANGE:
        DoDvdLanguageEvent(Event, Param1);
        break;
    case EC_DVD_ANGLE_CHANGE:
        if (OnDVDAngleChange) OnDVDAngleChange(this, static_cast<int32_t>(p1), static_cast<int32_t>(p2));
        break;
    case EC_DVD_BUTTON_CHANGE:
        if (OnDVDButtonChange) OnDVDButtonChange(this, static_cast<int32_t>(p1), static_cast<int32_t>(p2));
        break;
    case EC_DVD_VALID_UOPS_CHANGE:
        if (OnDVDValidUOPSChange) OnDVDValidUOPSChange(this, static_cast<int32_t>(p1));
        break;
    case EC_DVD_STILL_ON:
        if (OnDVDStillOn) OnDVDStillOn(this, Param1 == 1, static_cast<int32_t>(p2));
        break;
    case EC_DVD_CURRENT_TIME:
        if (OnDVDCurrentTime) {
            TDVDTimeCode t{};
            UnpackDVDTimeCode(p1, t);
            const int32_t rate = t.FrameRateCode == 1 ? 25 : t.FrameRateCode == 3 ? 30 : 0;
            OnDVDCurrentTime(this, Digits(t.Hours1, t.Hours10), Digits(t.Minutes1, t.Minutes10),
                             Digits(t.Seconds1, t.Seconds10), Digits(t.Frames1, t.Frames10), rate);
        }
        break;
    case EC_DVD_PLAYBACK_RATE_CHANGE:
        if (OnDVDPlaybackRateChange)
            OnDVDPlaybackRateChange(this, static_cast<float>(static_cast<int32_t>(p1)) / 10000);
        break;
    case EC_DVD_PARENTAL_LEVEL_CHANGE:
        if (OnDVDParentalLevelChange) OnDVDParentalLevelChange(this, static_cast<int32_t>(p1));
        break;
    case EC_DVD_ANGLES_AVAILABLE:
        if (OnDVDAnglesAvailable) OnDVDAnglesAvailable(this, Param1 == 1);
        break;
    case EC_DVD_BUTTON_AUTO_ACTIVATED:
        if (OnDVDButtonAutoActivated) OnDVDButtonAutoActivated(this, p1);
        break;
    case EC_DVD_CMD_START:
        if (OnDVDCMDStart) OnDVDCMDStart(this, p1);
        break;
    case EC_DVD_CMD_END:
        if (OnDVDCMDEnd) OnDVDCMDEnd(this, p1);
        break;
    case EC_DVD_CURRENT_HMSF_TIME:
        if (OnDVDCurrentHMSFTime) {
            // The four bytes of param1 as they lie in memory.
            DVD_HMSF_TIMECODE hmsf{};
            static_assert(sizeof hmsf == sizeof p1);
            memcpy(&hmsf, &p1, sizeof hmsf);
            TDVDTimeCode t{};
            UnpackDVDTimeCode(p2, t);
            OnDVDCurrentHMSFTime(this, hmsf, t);
        }
        break;
    case EC_DVD_KARAOKE_MODE:
        if (OnDVDKaraokeMode) OnDVDKaraokeMode(this, Param1 != 0);
        break;
    case EC_SNDDEV_IN_ERROR:
        if (OnGraphSNDDevInError) OnGraphSNDDevInError(this, static_cast<SNDDEV_ERR>(p1), p2);
        break;
    case EC_SNDDEV_OUT_ERROR:
        if (OnGraphSNDDevOutError) OnGraphSNDDevOutError(this, static_cast<SNDDEV_ERR>(p1), p2);
        break;
    default:
        break;
    }
}

void TFilterGraph::DoDvdLanguageEvent(long Event, LONG_PTR Param1) {
    const bool audio = Event == EC_DVD_AUDIO_STREAM_CHANGE;
    if (audio ? !OnDVDAudioStreamChange : !OnDVDSubpictureStreamChange) return;
    ComPtr<IDvdInfo2> info;
    if (FAILED(QueryInterface(IID_IDvdInfo2, info.PutVoid())) || !info) return;
    const auto stream = static_cast<ULONG>(Param1);
    LCID lcid = 0;
    if (audio) {
        CheckDirectShowResult(info->GetAudioLanguage(stream, &lcid));
    } else if (FAILED(info->GetSubpictureLanguage(stream, &lcid))) {
        lcid = 0;  // no language known for the stream
    }
    wchar_t buffer[261] = {};
    if (lcid == 0 || GetLocaleInfoW(lcid, LOCALE_SENGLANGUAGE, buffer, 260) == 0) buffer[0] = 0;
    const std::wstring lang(buffer);
    if (audio)
        OnDVDAudioStreamChange(this, static_cast<int32_t>(Param1), static_cast<int32_t>(lcid), lang);
    else
        OnDVDSubpictureStreamChange(this, static_cast<int32_t>(Param1), static_cast<int32_t>(lcid), lang);
}

HRESULT TFilterGraph::QueryService(REFGUID Service, REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (!IsEqualGUID(Service, SID_FilterGraphComponent) || !IsEqualGUID(iid, SID_FilterGraphComponent)) {
        // COM's rule for an out pointer: null on failure. The manager passes
        // its filters' service requests here, and a filter may release what
        // it got back.
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // The component object itself, as a plain object reference.
    *ppv = this;
    return S_OK;
}

HRESULT TFilterGraph::UnableToRender(IPin* Pin) noexcept {
    // Only COM calls until the component is found: nothing here throws.
    if (!Pin) return S_FALSE;
    TPinInfo pinInfo;
    if (Pin->QueryPinInfo(pinInfo.Put()) != S_OK || !pinInfo->pFilter) return S_FALSE;
    TFilterInfo filterInfo;
    if (pinInfo->pFilter->QueryFilterInfo(filterInfo.Put()) != S_OK || !filterInfo->pGraph) return S_FALSE;
    IFilterGraph* const graph = filterInfo->pGraph;
    ComPtr<IServiceProvider> provider;
    if (graph->QueryInterface(IID_IServiceProvider, provider.PutVoid()) != S_OK || !provider) return S_FALSE;
    void* object = nullptr;
    if (provider->QueryService(SID_FilterGraphComponent, SID_FilterGraphComponent, &object) != S_OK || !object)
        return S_FALSE;
    auto* component = static_cast<TFilterGraph*>(object);
    if (!component->OnUnableToRender) return S_FALSE;
    return Guarded(component, S_FALSE,
                   [component, Pin]() -> HRESULT { return component->OnUnableToRender(Pin) ? S_OK : S_FALSE; });
}

HRESULT TFilterGraph::SelectedFilter(IMoniker* Moniker) {
    if (!OnSelectedFilter) return S_OK;
    // A handler that fails has not accepted the filter.
    return Guarded(this, E_FAIL, [this, Moniker] {
        GUID classId = GUID_NULL;
        std::wstring name;
        ComPtr<IPropertyBag> bag;
        if (Moniker && SUCCEEDED(Moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) && bag) {
            std::wstring text;
            // A value that is not a class identifier counts as none.
            if (ReadBagString(bag.Get(), L"CLSID", text) && FAILED(CLSIDFromString(text.c_str(), &classId)))
                classId = GUID_NULL;
            ReadBagString(bag.Get(), L"FriendlyName", name);
        }
        return OnSelectedFilter(Moniker, name, classId) ? S_OK : E_FAIL;
    });
}

HRESULT TFilterGraph::CreatedFilter(IBaseFilter* Filter) {
    if (!OnCreatedFilter) return S_OK;
    return Guarded(this, E_FAIL, [this, Filter] {
        GUID classId = GUID_NULL;
        if (!Filter || FAILED(Filter->GetClassID(&classId))) classId = GUID_NULL;
        return OnCreatedFilter(Filter, classId) ? S_OK : E_FAIL;
    });
}
