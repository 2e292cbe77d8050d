// TFilter: a non-visual component that stands for one DirectShow filter
// named by a persisted device moniker (BaseFilter). Assigned to a
// TFilterGraph, it becomes a member: the graph binds a fresh filter from the
// moniker, adds it under the wrapper's Name, and stops, removes and releases
// it again at each deactivation or when the wrapper leaves.
//
// A bound wrapper answers every interface of its filter. Its interfaces are
// not reference-counted. GUI thread only.
#pragma once

#include "classlib/runtime/component.h"
#include "media/base_filter.h"
#include "media/graph_interfaces.h"
#include "shared/com_ptr.h"

#include <memory>

class TFilterGraph;

class TFilter : public TImplements<TComponent, IFilterGraphMember> {
public:
    explicit TFilter(TComponent* AOwner);
    ~TFilter() override;

    TFilterGraph* FilterGraph() const noexcept { return FFilterGraph; }
    void SetFilterGraph(TFilterGraph* Graph);
    TBaseFilter* BaseFilter() const noexcept { return FBaseFilter.get(); }

    // IFilterGraphMember
    ComPtr<IBaseFilter> GetFilter() override;
    std::wstring GetName() override;
    void NotifyFilter(TMemberNotification Operation, int32_t Param) override;

    // Own interfaces first, then the bound filter's.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override;

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    IFilterGraphMember* Member() noexcept { return this; }

    TFilterGraph* FFilterGraph = nullptr;
    std::unique_ptr<TBaseFilter> FBaseFilter;
    ComPtr<IBaseFilter> FFilter;
};
