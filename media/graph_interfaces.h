// The interfaces through which the filter-graph component talks to its
// members and listeners, the private service under which it hands itself
// out (the component's IAMFilterGraphCallback: filter_graph_callback.h).
#pragma once

#include <windows.h>
#include <dshow.h>

#include "shared/com_ptr.h"

#include <cstdint>
#include <string>

// What the graph component tells a member filter wrapper.
enum TMemberNotification : int32_t {
    mnBeforeAdd = 0,
    mnAfterAdd = 1,
    mnBeforeRemove = 2,
    mnAfterRemove = 3,
    mnRejoin = 4,
};

// A member of a filter-graph component: a filter that joins the graph under
// a name whenever the graph is active.
struct IFilterGraphMember : public IUnknown {
    // The member's filter, or null when it holds none.
    virtual ComPtr<IBaseFilter> GetFilter() = 0;
    // The name under which the filter joins the graph.
    virtual std::wstring GetName() = 0;
    // Param is 0 from the graph component. Never throws.
    virtual void NotifyFilter(TMemberNotification Operation, int32_t Param) = 0;
};
__CRT_UUID_DECL(IFilterGraphMember, 0x887F94DA, 0x29E9, 0x44C6, 0xB4, 0x8E, 0x1F, 0xBF, 0x0F, 0xB5, 0x98, 0x78)

// Hears every graph event and the component's control events: 0 before the
// graph runs, 2 before it stops, 7 with 1 after activation and 7 with 0
// before deactivation.
struct IGraphEventListener : public IUnknown {
    virtual void ReceiveGraphEvent(long Event, LONG_PTR Param1, LONG_PTR Param2) = 0;
    virtual void ReceiveControlEvent(long Event, long Param) = 0;
};
__CRT_UUID_DECL(IGraphEventListener, 0x5E3C2A61, 0x8B0F, 0x4D27, 0x9A, 0x41, 0x6C, 0x2E, 0x7B, 0x13, 0xD0, 0x95)

// The service (and interface) identifier under which a graph component
// answers QueryService with itself.
inline constexpr GUID SID_FilterGraphComponent{
    0xC7CAA944, 0xC191, 0x4AB1, {0xAB, 0xA7, 0xD8, 0xB4, 0x0E, 0xF4, 0xD5, 0xB2}};
