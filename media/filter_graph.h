// TFilterGraph: the program's DirectShow graph as a non-visual component.
//
// Active, it owns the platform's graph objects for its Mode (a filter graph
// manager; in gmCapture also a capture graph builder working on it; in gmDVD
// a DVD graph builder and the manager it made) and hands out their
// interfaces through its own QueryInterface. It runs, stops, queries and
// clears the graph, adds and removes its member filters (IFilterGraphMember)
// at every activation and deactivation, and delivers the graph's events on
// the GUI thread through a hidden notify window (see filter_graph_events.cpp).
//
// Its interfaces are not reference-counted: the component lives as long as
// its owner. GUI thread only.
#pragma once

#include "classlib/runtime/component.h"
#include "classlib/runtime/utility_window.h"
#include "media/filter_graph_callback.h"
#include "media/graph_event_types.h"
#include "media/graph_interfaces.h"
#include "shared/com_ptr.h"
#include "shared/owner.h"

#include <windows.h>
#include <dshow.h>
#include <servprov.h>

#include <memory>
#include <string>
#include <vector>

enum TGraphMode : int32_t { gmNormal = 0, gmCapture = 1, gmDVD = 2 };

enum TGraphRunState : int32_t { gsInactive = 0, gsStopped = 1, gsPaused = 2, gsRunning = 3 };

// The private message that the graph posts to the notify window per event.
inline constexpr UINT WM_GRAPHNOTIFY = WM_APP + 1;

class TFilterGraph : public TImplements<TComponent, IServiceProvider, IAMGraphBuilderCallback> {
public:
    explicit TFilterGraph(TComponent* AOwner);
    ~TFilterGraph() override;

    bool Active() const noexcept { return FActive; }
    void SetActive(bool Value);
    bool AutoCreate() const noexcept { return FAutoCreate; }
    void SetAutoCreate(bool Value) noexcept { FAutoCreate = Value; }
    TGraphMode Mode() const noexcept { return FMode; }
    void SetMode(TGraphMode Value);
    bool GraphEdit() const noexcept { return FGraphEdit; }
    void SetGraphEdit(bool Value);
    const std::wstring& LogFile() const noexcept { return FLogFile; }
    void SetLogFile(const std::wstring& Name);
    bool LinearVolume() const noexcept { return FLinearVolume; }
    void SetLinearVolume(bool Value);
    int32_t Volume() const noexcept { return FVolume; }
    void SetVolume(int32_t Value);
    int32_t Balance() const noexcept { return FBalance; }
    void SetBalance(int32_t Value);

    // False without IMediaControl; EDirectShowException when Run fails.
    bool Play();
    // True only when IMediaControl.Stop answers S_OK; EDirectShowException
    // when it fails.
    bool Stop();
    TGraphRunState State();
    // Stops, disconnects every pin and removes every filter that is not a
    // member's.
    void ClearGraph();
    void DisconnectFilters();

    // Members (filter wrappers). While active the member's filter is bound,
    // added or removed at once; while inactive the member is only listed.
    void InsertFilter(IFilterGraphMember* Member);
    void RemoveFilter(IFilterGraphMember* Member);
    int MemberCount() const noexcept { return static_cast<int>(FMembers.size()); }

    // The running-object-table registration number (0: none).
    DWORD RotRegistration() const noexcept { return FRotRegistration; }
    // The notify window that receives WM_GRAPHNOTIFY.
    HWND NotifyWindow() const noexcept { return FNotifyWindow ? FNotifyWindow->Handle() : nullptr; }

    // Drains the graph's event queue (the notify window does on WM_GRAPHNOTIFY).
    void HandleEvents();

    // IUnknown: the component's own interfaces, then the graph objects'.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override;
    // IServiceProvider: the component itself under SID_FilterGraphComponent.
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID Service, REFIID iid, void** ppv) override;
    // IAMFilterGraphCallback.UnableToRender, as its interface object (see
    // filter_graph_callback.h) hands it on: the component is the one the
    // pin's graph hands out as its site, not necessarily this one.
    static HRESULT UnableToRender(IPin* Pin) noexcept;
    // IAMGraphBuilderCallback.
    HRESULT STDMETHODCALLTYPE SelectedFilter(IMoniker* Moniker) override;
    HRESULT STDMETHODCALLTYPE CreatedFilter(IBaseFilter* Filter) override;

    bool GetInterface(REFIID iid, void** ppv) override;
    void Loaded() override;

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

    // Events.
    TNotifyEvent OnActivate;
    TOnDSEvent OnDSEvent;
    TNotifyEvent OnGraphClockChanged, OnGraphChanged, OnGraphPaletteChanged, OnGraphQualityChange, OnGraphStepComplete,
        OnGraphUserAbort, OnGraphClockUnset;
    TOnGraphBufferingData OnGraphBufferingData;
    TOnGraphComplete OnGraphComplete;
    TOnGraphDeviceLost OnGraphDeviceLost;
    TOnGraphEndOfSegment OnGraphEndOfSegment;
    TOnDSResult OnGraphErrorStillPlaying, OnGraphErrorAbort, OnGraphPaused;
    TOnGraphFullscreenLost OnGraphFullscreenLost;
    TOnGraphOleEvent OnGraphOleEvent;
    TOnGraphOpeningFile OnGraphOpeningFile;
    TOnGraphSNDDevError OnGraphSNDDevInError, OnGraphSNDDevOutError;
    TOnGraphStreamControl OnGraphStreamControlStarted, OnGraphStreamControlStopped;
    TOnGraphStreamError OnGraphStreamErrorStillPlaying, OnGraphStreamErrorStopped;
    TOnGraphVideoSizeChanged OnGraphVideoSizeChanged;
    TOnGraphTimeCodeAvailable OnGraphTimeCodeAvailable;
    TOnGraphEXTDeviceModeChange OnGraphEXTDeviceModeChange;
    TOnGraphVMRRenderDevice OnGraphVMRRenderDevice;
    TOnDVDAudioStreamChange OnDVDAudioStreamChange;
    TOnDVDChange OnDVDAngleChange, OnDVDButtonChange;
    TOnDVDChapterStart OnDVDChapterStart;
    TOnDVDCurrentTime OnDVDCurrentTime;
    TNotifyEvent OnDVDDomainFirstPlay, OnDVDDomainVideoManagerMenu, OnDVDDomainVideoTitleSetMenu, OnDVDDomainTitle,
        OnDVDDomainStop;
    TNotifyEvent OnDVDErrorUnexpected, OnDVDErrorCopyProtectFail, OnDVDErrorInvalidDVD1_0Disc,
        OnDVDErrorInvalidDiscRegion, OnDVDErrorLowParentalLevel, OnDVDErrorMacrovisionFail,
        OnDVDErrorIncompatibleSystemAndDecoderRegions, OnDVDErrorIncompatibleDiscAndDecoderRegions;
    TNotifyEvent OnDVDChapterAutoStop, OnDVDStillOff, OnDVDNoFP_PGC, OnDVDPlaybackStopped, OnDVDPlayPeriodAutoStop,
        OnDVDDiscEjected, OnDVDDiscInserted;
    TOnDVDStillOn OnDVDStillOn;
    TOnDVDSubpictureStreamChange OnDVDSubpictureStreamChange;
    TOnDVDTitleChange OnDVDTitleChange;
    TOnDVDValidUOPSChange OnDVDValidUOPSChange;
    TNotifyEvent OnDVDWarningInvalidDVD1_0Disc, OnDVDWarningFormatNotSupported, OnDVDWarningIllegalNavCommand,
        OnDVDWarningOpen, OnDVDWarningSeek, OnDVDWarningRead;
    TOnDVDPlaybackRateChange OnDVDPlaybackRateChange;
    TOnDVDParentalLevelChange OnDVDParentalLevelChange;
    TOnDVDAnglesAvailable OnDVDAnglesAvailable;
    TOnDVDButtonAutoActivated OnDVDButtonAutoActivated;
    TOnDVDCMD OnDVDCMDStart, OnDVDCMDEnd;
    TOnDVDCurrentHMSFTime OnDVDCurrentHMSFTime;
    TOnDVDKaraokeMode OnDVDKaraokeMode;
    TOnSelectedFilter OnSelectedFilter;
    TOnCreatedFilter OnCreatedFilter;
    TOnUnableToRender OnUnableToRender;

protected:
    // Dispatches one event: listeners, OnDSEvent, then the typed event.
    virtual void DoEvent(long Event, LONG_PTR Param1, LONG_PTR Param2);
    void NotifyGraphEvent(long Event, LONG_PTR Param1, LONG_PTR Param2);
    void NotifyControlEvent(long Event, long Param);

private:
    void Activate();
    void Deactivate();
    // Creates the graph objects of the mode; false (with nothing kept) when
    // one of them cannot be made.
    bool CreateGraphObjects();
    void ReleaseGraphObjects();
    void AddMemberFilter(IFilterGraphMember* Member);
    void RemoveMemberFilter(IFilterGraphMember* Member);
    void AddAllFilters();
    void RemoveAllFilters();
    void ApplyVolume();
    void ApplyBalance();
    void CloseLogFile();
    void WndProc(TMessage& Message);
    void DoDvdLanguageEvent(long Event, LONG_PTR Param1);

    bool FActive = false;
    bool FAutoCreate = false;
    TGraphMode FMode = gmNormal;
    bool FGraphEdit = false;
    bool FLinearVolume = true;
    int32_t FVolume = 10000;
    int32_t FBalance = 0;
    std::wstring FLogFile;

    // IAMFilterGraphCallback, with an entry of its own for the platform's
    // calling convention.
    TFilterGraphCallback FFilterGraphCallback{static_cast<IServiceProvider*>(this)};
    std::unique_ptr<TUtilityWindow> FNotifyWindow;
    ComPtr<IGraphBuilder> FFilterGraph;  // the filter graph manager
    ComPtr<ICaptureGraphBuilder2> FCaptureGraph;
    ComPtr<IDvdGraphBuilder> FDvdGraph;
    ComPtr<IMediaEventEx> FMediaEvent;
    DWORD FRotRegistration = 0;
    TKernelHandle FLogHandle;
    std::vector<ComPtr<IFilterGraphMember>> FMembers;
    // No operation of the program adds a listener; the list stays empty.
    std::vector<ComPtr<IGraphEventListener>> FListeners;
};

// Registers TFilterGraph and TFilter with the description loader (done once
// at start-up; calling it again does nothing harmful).
void RegisterMediaGraphClasses();
