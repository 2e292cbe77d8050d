// The moniker-bound filter wrapper.
#include "media/filter.h"

#include "media/filter_graph.h"

TFilter::TFilter(TComponent* AOwner) : TImplements(AOwner), FBaseFilter(std::make_unique<TBaseFilter>()) {}

TFilter::~TFilter() {
    FBaseFilter.reset();
    try {
        SetFilterGraph(nullptr);
    } catch (...) {
        // Leaving the graph reports nothing; a destructor must not throw.
    }
    FFilter.Reset();
}

void TFilter::SetFilterGraph(TFilterGraph* Graph) {
    if (Graph == FFilterGraph) return;
    if (FFilterGraph) {
        FFilterGraph->RemoveFilter(Member());
        // A graph of another owner tells us no more of its destruction.
        FFilterGraph->RemoveFreeNotification(this);
    }
    if (Graph) {
        Graph->InsertFilter(Member());
        // Learn of the graph's destruction even when another owner frees it.
        Graph->FreeNotification(this);
    }
    FFilterGraph = Graph;
}

ComPtr<IBaseFilter> TFilter::GetFilter() { return FFilter; }

std::wstring TFilter::GetName() { return Name(); }

void TFilter::NotifyFilter(TMemberNotification Operation, int32_t) {
    switch (Operation) {
    case mnBeforeAdd:
        FFilter = FBaseFilter ? FBaseFilter->CreateFilter() : ComPtr<IBaseFilter>();
        break;
    case mnBeforeRemove:
        if (FFilter) {
            FILTER_STATE state = State_Stopped;
            if (FFilter->GetState(0, &state) == S_OK && (state == State_Paused || state == State_Running))
                FFilter->Stop();
        }
        break;
    case mnAfterRemove:
        FFilter.Reset();
        break;
    case mnRejoin:
        if (FFilterGraph) {
            FFilterGraph->RemoveFilter(Member());
            FFilterGraph->InsertFilter(Member());
        }
        break;
    case mnAfterAdd:
    default:
        break;
    }
}

HRESULT TFilter::QueryInterface(REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    const HRESULT hr = TImplements::QueryInterface(iid, ppv);
    if (SUCCEEDED(hr) || !FFilter) return hr;
    return FFilter->QueryInterface(iid, ppv);
}

void TFilter::Notification(TComponent* AComponent, TOperation Operation) {
    TImplements::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent && AComponent == FFilterGraph &&
        (AComponent->ComponentState() & csDestroying))
        FFilterGraph = nullptr;
}
