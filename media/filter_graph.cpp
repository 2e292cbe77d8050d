// The filter-graph component: activation, interface forwarding, running,
// clearing, members, the running-object table, the log file, volume and
// balance. Events and builder callbacks are in filter_graph_events.cpp.
#include "media/filter_graph.h"

#include "media/direct_show_error.h"
#include "media/filter_list.h"
#include "media/graph_utility.h"
#include "media/pin_list.h"

#include <algorithm>

namespace {

// The interface I of the component (forwarded to the graph objects), or null.
template <class I>
ComPtr<I> Ask(TFilterGraph* self, REFIID iid) {
    ComPtr<I> result;
    if (FAILED(self->QueryInterface(iid, result.PutVoid()))) result.Reset();
    return result;
}

// A site that answers nothing but IUnknown and lives as long as the
// program: what the manager holds once the component is done with it.
class TNoSite final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualGUID(iid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

TNoSite NoSite;

}  // namespace

TFilterGraph::TFilterGraph(TComponent* AOwner) : TImplements(AOwner) {
    FNotifyWindow = std::make_unique<TUtilityWindow>([this](TMessage& m) { WndProc(m); });
}

TFilterGraph::~TFilterGraph() {
    try {
        SetActive(false);
    } catch (...) {
        // Deactivation reports nothing; a destructor must not throw.
    }
    FNotifyWindow.reset();
}

void TFilterGraph::Loaded() {
    TComponent::Loaded();
    if (FAutoCreate && !(ComponentState() & csDesigning)) SetActive(true);
}

void TFilterGraph::SetMode(TGraphMode Value) {
    if (Value == FMode) return;
    const bool wasActive = FActive;
    SetActive(false);
    FMode = Value;
    SetActive(wasActive);
}

void TFilterGraph::SetActive(bool Value) {
    if (Value == FActive) return;
    if (Value)
        Activate();
    else
        Deactivate();
}

bool TFilterGraph::CreateGraphObjects() {
    HRESULT hr = S_OK;
    switch (FMode) {
    case gmNormal:
        hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph2,
                              FFilterGraph.PutVoid());
        break;
    case gmCapture:
        hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                              FCaptureGraph.PutVoid());
        if (SUCCEEDED(hr))
            hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph2,
                                  FFilterGraph.PutVoid());
        if (SUCCEEDED(hr) && FCaptureGraph && FFilterGraph) hr = FCaptureGraph->SetFiltergraph(FFilterGraph.Get());
        break;
    case gmDVD:
        hr = CoCreateInstance(CLSID_DvdGraphBuilder, nullptr, CLSCTX_INPROC_SERVER, IID_IDvdGraphBuilder,
                              FDvdGraph.PutVoid());
        if (SUCCEEDED(hr) && FDvdGraph) hr = FDvdGraph->GetFiltergraph(FFilterGraph.Put());
        break;
    }
    const bool complete = FFilterGraph && (FMode != gmCapture || FCaptureGraph) && (FMode != gmDVD || FDvdGraph);
    if (SUCCEEDED(hr) && complete) return true;
    ReleaseGraphObjects();
    // A mode that cannot be built leaves the component inactive, with a
    // clear error for the caller.
    CheckDirectShowResult(FAILED(hr) ? hr : E_NOINTERFACE);
    return false;
}

void TFilterGraph::ReleaseGraphObjects() {
    FFilterGraph.Reset();
    FCaptureGraph.Reset();
    FDvdGraph.Reset();
}

void TFilterGraph::Activate() {
    if (!CreateGraphObjects()) return;
    FActive = true;

    if (ComPtr<IMediaEventEx> events = Ask<IMediaEventEx>(this, IID_IMediaEventEx)) {
        FMediaEvent = events;
        FMediaEvent->SetNotifyFlags(0);
        FMediaEvent->SetNotifyWindow(reinterpret_cast<OAHWND>(NotifyWindow()), WM_GRAPHNOTIFY,
                                     reinterpret_cast<LONG_PTR>(FMediaEvent.Get()));
    }
    if (ComPtr<IObjectWithSite> site = Ask<IObjectWithSite>(this, IID_IObjectWithSite)) {
        // The second call replaces the first: either way the site is this
        // component.
        if (auto cb = Ask<IAMGraphBuilderCallback>(this, IID_IAMGraphBuilderCallback)) site->SetSite(cb.Get());
        site->SetSite(FFilterGraphCallback.Interface());
    }
    SetGraphEdit(FGraphEdit);
    SetLogFile(FLogFile);
    AddAllFilters();
    if (OnActivate) OnActivate(this);
    NotifyControlEvent(7, 1);
}

void TFilterGraph::Deactivate() {
    NotifyControlEvent(7, 0);
    RemoveAllFilters();
    if (FMediaEvent) {
        FMediaEvent->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY);
        FMediaEvent.Reset();
    }
    if (FRotRegistration != 0) {
        RemoveGraphFromRot(FRotRegistration);
        FRotRegistration = 0;
    }
    // The manager holds its site until told otherwise and may outlive the
    // component (anyone may hold it): it must keep no pointer to the
    // component. The documented way to let go is SetSite(NULL); Wine's
    // manager dereferences the null site, so a site that outlives every
    // manager takes the component's place instead, on both.
    if (ComPtr<IObjectWithSite> site = Ask<IObjectWithSite>(this, IID_IObjectWithSite)) site->SetSite(&NoSite);
    CloseLogFile();
    ReleaseGraphObjects();
    FActive = false;
}

bool TFilterGraph::GetInterface(REFIID iid, void** ppv) {
    if (ppv && IsEqualGUID(iid, IID_IAMFilterGraphCallback)) {
        *ppv = FFilterGraphCallback.Interface();
        return true;
    }
    return TImplements::GetInterface(iid, ppv);
}

HRESULT TFilterGraph::QueryInterface(REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    HRESULT hr = TImplements::QueryInterface(iid, ppv);
    if (SUCCEEDED(hr) || !FActive) return hr;
    switch (FMode) {
    case gmNormal:
        break;
    case gmCapture:
        if (FCaptureGraph && SUCCEEDED(hr = FCaptureGraph->QueryInterface(iid, ppv))) return hr;
        break;
    case gmDVD:
        if (FDvdGraph) {
            if (SUCCEEDED(hr = FDvdGraph->QueryInterface(iid, ppv))) return hr;
            if (SUCCEEDED(hr = FDvdGraph->GetDvdInterface(iid, ppv))) return hr;
        }
        break;
    }
    *ppv = nullptr;
    if (!FFilterGraph) return E_NOINTERFACE;
    return FFilterGraph->QueryInterface(iid, ppv);
}

bool TFilterGraph::Play() {
    ComPtr<IMediaControl> control = Ask<IMediaControl>(this, IID_IMediaControl);
    if (!control) return false;
    NotifyControlEvent(0, 0);
    CheckDirectShowResult(control->Run());
    return true;
}

bool TFilterGraph::Stop() {
    ComPtr<IMediaControl> control = Ask<IMediaControl>(this, IID_IMediaControl);
    if (!control) return false;
    NotifyControlEvent(2, 0);
    return CheckDirectShowResult(control->Stop()) == S_OK;
}

TGraphRunState TFilterGraph::State() {
    ComPtr<IMediaControl> control = Ask<IMediaControl>(this, IID_IMediaControl);
    if (!control) return gsInactive;
    // A failed query reports no state: it counts as inactive.
    OAFilterState state = -1;
    if (FAILED(control->GetState(0, &state))) return gsInactive;
    switch (state) {
    case State_Stopped:
        return gsStopped;
    case State_Paused:
        return gsPaused;
    case State_Running:
        return gsRunning;
    default:
        return gsInactive;
    }
}

void TFilterGraph::DisconnectFilters() {
    if (!FFilterGraph) return;
    TFilterList filters(FFilterGraph.Get());
    for (int i = 0; i < filters.Count(); ++i) {
        TPinList pins(filters.GetFilter(i).Get());
        for (int j = 0; j < pins.Count(); ++j) CheckDirectShowResult(pins.GetPin(j)->Disconnect());
    }
}

void TFilterGraph::ClearGraph() {
    if (!FFilterGraph) return;
    Stop();
    DisconnectFilters();
    TFilterList filters(FFilterGraph.Get());
    for (const auto& member : FMembers) {
        if (ComPtr<IBaseFilter> kept = member->GetFilter()) filters.Remove(kept.Get());
    }
    for (int i = 0; i < filters.Count(); ++i)
        CheckDirectShowResult(FFilterGraph->RemoveFilter(filters.GetFilter(i).Get()));
}

void TFilterGraph::AddMemberFilter(IFilterGraphMember* Member) {
    Member->NotifyFilter(mnBeforeAdd, 0);
    const std::wstring name = Member->GetName();
    ComPtr<IBaseFilter> filter = Member->GetFilter();
    // A member without a filter has nothing to add.
    if (filter && FFilterGraph) FFilterGraph->AddFilter(filter.Get(), name.c_str());
    Member->NotifyFilter(mnAfterAdd, 0);
}

void TFilterGraph::RemoveMemberFilter(IFilterGraphMember* Member) {
    Member->NotifyFilter(mnBeforeRemove, 0);
    ComPtr<IBaseFilter> filter = Member->GetFilter();
    if (filter && FFilterGraph) FFilterGraph->RemoveFilter(filter.Get());
    Member->NotifyFilter(mnAfterRemove, 0);
}

void TFilterGraph::InsertFilter(IFilterGraphMember* Member) {
    if (!Member) return;
    FMembers.push_back(ComPtr<IFilterGraphMember>(Member));
    if (FActive) AddMemberFilter(Member);
}

void TFilterGraph::RemoveFilter(IFilterGraphMember* Member) {
    const auto it = std::find_if(FMembers.begin(), FMembers.end(),
                                 [Member](const ComPtr<IFilterGraphMember>& m) { return m.Get() == Member; });
    if (it == FMembers.end()) return;
    // Keep a reference while the member is told of its removal.
    const ComPtr<IFilterGraphMember> member = *it;
    FMembers.erase(it);
    if (FActive) RemoveMemberFilter(member.Get());
}

void TFilterGraph::AddAllFilters() {
    if (!FActive) return;
    // A copy: a member may leave or rejoin while it is told.
    const auto members = FMembers;
    for (const auto& m : members) AddMemberFilter(m.Get());
}

void TFilterGraph::RemoveAllFilters() {
    if (!FActive) return;
    const auto members = FMembers;
    for (const auto& m : members) RemoveMemberFilter(m.Get());
}

void TFilterGraph::SetGraphEdit(bool Value) {
    if (!Value) {
        if (FRotRegistration != 0) {
            RemoveGraphFromRot(FRotRegistration);
            FRotRegistration = 0;
        }
    } else if (FRotRegistration == 0 && FActive && FFilterGraph) {
        DWORD registration = 0;
        if (SUCCEEDED(AddGraphToRot(FFilterGraph.Get(), registration))) FRotRegistration = registration;
    }
    FGraphEdit = Value;
}

void TFilterGraph::CloseLogFile() {
    if (FFilterGraph) FFilterGraph->SetLogFile(0);
    FLogHandle.Reset();
}

void TFilterGraph::SetLogFile(const std::wstring& Name) {
    if (!FActive) {
        FLogFile = Name;
        return;
    }
    CloseLogFile();
    if (!Name.empty()) {
        FLogHandle.Reset(CreateFileW(Name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!FLogHandle) {
            // The graph goes on without a log, and the name stays as it was.
            CloseLogFile();
            return;
        }
        if (FFilterGraph) FFilterGraph->SetLogFile(reinterpret_cast<DWORD_PTR>(FLogHandle.Get()));
    }
    FLogFile = Name;
}

void TFilterGraph::SetVolume(int32_t Value) {
    FVolume = std::clamp<int32_t>(Value, 0, 10000);
    ApplyVolume();
}

void TFilterGraph::SetBalance(int32_t Value) {
    FBalance = std::clamp<int32_t>(Value, -10000, 10000);
    ApplyBalance();
}

void TFilterGraph::SetLinearVolume(bool Value) {
    if (Value == FLinearVolume) return;
    FLinearVolume = Value;
    SetVolume(FVolume);
    SetBalance(FBalance);
}

void TFilterGraph::ApplyVolume() {
    if (ComPtr<IBasicAudio> audio = Ask<IBasicAudio>(this, IID_IBasicAudio))
        audio->put_Volume(FLinearVolume ? LinearVolumeToDb(FVolume) : FVolume - 10000);
}

void TFilterGraph::ApplyBalance() {
    if (ComPtr<IBasicAudio> audio = Ask<IBasicAudio>(this, IID_IBasicAudio))
        audio->put_Balance(FLinearVolume ? LinearBalanceToDb(FBalance) : FBalance);
}

void TFilterGraph::NotifyGraphEvent(long Event, LONG_PTR Param1, LONG_PTR Param2) {
    const auto listeners = FListeners;
    for (const auto& l : listeners) l->ReceiveGraphEvent(Event, Param1, Param2);
}

void TFilterGraph::NotifyControlEvent(long Event, long Param) {
    const auto listeners = FListeners;
    for (const auto& l : listeners) l->ReceiveControlEvent(Event, Param);
}
