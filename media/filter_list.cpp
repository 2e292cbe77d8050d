#include "media/filter_list.h"

TFilterList::TFilterList(IFilterGraph* Graph) : OwnerGraph(Graph) { Update(); }

void TFilterList::Update() {
    if (!OwnerGraph) return;
    ComPtr<IEnumFilters> filters;
    if (FAILED(OwnerGraph->EnumFilters(filters.Put())) || !filters) return;
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.Put(), nullptr) == S_OK && filter) Add(filter.Get());
}

ComPtr<IBaseFilter> TFilterList::GetFilter(int Index) const { return InterfaceCast<IBaseFilter>(Items(Index)); }
