// TFilterList: a snapshot of the filters of a filter graph, one reference
// each, in the graph's enumeration order.
#pragma once

#include "classlib/runtime/lists.h"
#include "shared/com_ptr.h"

#include <windows.h>
#include <strmif.h>

class TFilterList : public TInterfaceList {
public:
    // Keeps a reference on Graph (may be null) and lists its filters.
    explicit TFilterList(IFilterGraph* Graph = nullptr);

    // Appends the graph's filters as they are now.
    void Update();
    // The item as IBaseFilter; EListError outside the list, EIntfCastError
    // when the item is no filter.
    ComPtr<IBaseFilter> GetFilter(int Index) const;
    int Add(IBaseFilter* Filter) { return TInterfaceList::Add(Filter); }
    // The index the filter had, or -1 when it was not in the list.
    int Remove(IBaseFilter* Filter) { return TInterfaceList::Remove(Filter); }

    ComPtr<IFilterGraph> OwnerGraph;
};
