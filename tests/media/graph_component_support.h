// Helpers for the tests of the graph component: a message pump, the
// application's message boxes captured, a member that holds a real filter,
// and a look into the running-object table.
#pragma once

#include "classlib/runtime/application.h"
#include "media/filter_graph.h"
#include "shared/com_ptr.h"
#include "shared/owner.h"

#include <windows.h>
#include <dshow.h>

#include <cwctype>
#include <functional>
#include <string>
#include <vector>

namespace graphcomponenttest {

inline constexpr CLSID CLSID_WineNullRenderer{
    0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

// Handles messages until done() holds; false when it never does.
inline bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 20000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > limitMs) return false;
        Application->ProcessMessages();
        Sleep(1);
    }
    return true;
}

// Handles every message that is waiting now.
inline void PumpPending() { Application->ProcessMessages(); }

// Records the texts of the application's message boxes instead of showing them.
class MessageBoxCapture {
public:
    MessageBoxCapture() {
        FPrevious =
            Application->SetMessageBoxHandler([this](HWND, const std::wstring& text, const std::wstring&, UINT) {
                Texts.push_back(text);
                return IDOK;
            });
    }
    ~MessageBoxCapture() { Application->SetMessageBoxHandler(FPrevious); }
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    std::vector<std::wstring> Texts;

private:
    TMessageBoxHandler FPrevious;
};

// A member whose filter is made by class; records what the graph tells it.
class ClassMember final : public IFilterGraphMember {
public:
    ClassMember(const CLSID& cls, std::wstring name) : FClass(cls), FName(std::move(name)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == __uuidof(IFilterGraphMember)) {
            *object = static_cast<IFilterGraphMember*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    ComPtr<IBaseFilter> GetFilter() override { return Filter; }
    std::wstring GetName() override { return FName; }
    void NotifyFilter(TMemberNotification operation, int32_t) override {
        Notifications.push_back(operation);
        if (operation == mnBeforeAdd) {
            Filter.Reset();
            CoCreateInstance(FClass, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, Filter.PutVoid());
        } else if (operation == mnAfterRemove) {
            Filter.Reset();
        }
    }

    ComPtr<IBaseFilter> Filter;
    std::vector<TMemberNotification> Notifications;

private:
    CLSID FClass;
    std::wstring FName;
};

// A new filter of the class, or null.
inline ComPtr<IBaseFilter> NewFilter(const CLSID& cls) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(CoCreateInstance(cls, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.PutVoid()))) return {};
    return filter;
}

// The graph's manager, or null while the component is inactive.
inline ComPtr<IGraphBuilder> Manager(TFilterGraph& graph) {
    ComPtr<IGraphBuilder> manager;
    if (FAILED(graph.QueryInterface(IID_IGraphBuilder, manager.PutVoid()))) return {};
    return manager;
}

// A new filter of the class added to the component's graph under name.
inline ComPtr<IBaseFilter> AddNewFilter(TFilterGraph& graph, const CLSID& cls, const wchar_t* name) {
    ComPtr<IBaseFilter> filter = NewFilter(cls);
    ComPtr<IGraphBuilder> manager = Manager(graph);
    if (!filter || !manager || FAILED(manager->AddFilter(filter.Get(), name))) return {};
    return filter;
}

// The class identifier an object reports, or GUID_NULL.
inline CLSID ClassOf(IUnknown* object) {
    CLSID id{};
    ComPtr<IPersist> persist;
    if (object && SUCCEEDED(object->QueryInterface(IID_IPersist, persist.PutVoid()))) persist->GetClassID(&id);
    return id;
}

// The graph's filter of that name, or null.
inline ComPtr<IBaseFilter> FindFilter(TFilterGraph& graph, const wchar_t* name) {
    ComPtr<IFilterGraph> manager;
    ComPtr<IBaseFilter> filter;
    if (FAILED(graph.QueryInterface(IID_IFilterGraph, manager.PutVoid()))) return {};
    if (FAILED(manager->FindFilterByName(name, filter.Put()))) return {};
    return filter;
}

// The names of the graph's filters, in its enumeration order.
inline std::vector<std::wstring> FilterNames(TFilterGraph& graph) {
    std::vector<std::wstring> names;
    ComPtr<IFilterGraph> manager;
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph.QueryInterface(IID_IFilterGraph, manager.PutVoid())) ||
        FAILED(manager->EnumFilters(filters.Put())))
        return names;
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.Put(), nullptr) == S_OK) {
        FILTER_INFO info{};
        if (SUCCEEDED(filter->QueryFilterInfo(&info))) {
            names.push_back(info.achName);
            if (info.pGraph) info.pGraph->Release();
        }
    }
    return names;
}

// Display names of the running-object table's entries that name a filter
// graph of this process.
inline std::vector<std::wstring> RotGraphsOfThisProcess() {
    std::vector<std::wstring> found;
    ComPtr<IRunningObjectTable> table;
    ComPtr<IEnumMoniker> entries;
    ComPtr<IBindCtx> context;
    if (FAILED(GetRunningObjectTable(0, table.Put())) || FAILED(table->EnumRunning(entries.Put())) ||
        FAILED(CreateBindCtx(0, context.Put())))
        return found;
    wchar_t digits[16] = {};
    _ultow(GetCurrentProcessId(), digits, 16);
    for (wchar_t& c : digits) c = towupper(c);
    const std::wstring pid = std::wstring(L" pid ") + digits;
    ComPtr<IMoniker> moniker;
    while (entries->Next(1, moniker.Put(), nullptr) == S_OK) {
        TTaskMem<wchar_t> name;
        if (FAILED(moniker->GetDisplayName(context.Get(), nullptr, name.Put())) || !name) continue;
        const std::wstring text(name.Get());
        if (text.find(L"FilterGraph ") != std::wstring::npos && text.size() >= pid.size() &&
            text.compare(text.size() - pid.size(), pid.size(), pid) == 0)
            found.push_back(text);
    }
    return found;
}

// A filter graph as the platform's manager is documented to be towards its
// filters: its IServiceProvider passes service requests to its site. Every
// IFilterGraph method goes to Real; without one, filters are taken and
// forgotten and the rest answers E_NOTIMPL.
class TServiceGraph final : public IFilterGraph, public IServiceProvider {
public:
    TServiceGraph(IServiceProvider* site, IFilterGraph* real) : FSite(site), FReal(real) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IFilterGraph) {
            *object = static_cast<IFilterGraph*>(this);
        } else if (iid == IID_IServiceProvider) {
            *object = static_cast<IServiceProvider*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** object) override {
        ++ServiceRequests;
        return FSite->QueryService(service, iid, object);
    }
    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* f, LPCWSTR n) override {
        return FReal ? FReal->AddFilter(f, n) : S_OK;
    }
    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* f) override { return FReal ? FReal->RemoveFilter(f) : S_OK; }
    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters** e) override {
        return FReal ? FReal->EnumFilters(e) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR n, IBaseFilter** f) override {
        return FReal ? FReal->FindFilterByName(n, f) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* o, IPin* i, const AM_MEDIA_TYPE* t) override {
        return FReal ? FReal->ConnectDirect(o, i, t) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Reconnect(IPin* p) override { return FReal ? FReal->Reconnect(p) : E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Disconnect(IPin* p) override { return FReal ? FReal->Disconnect(p) : E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() override {
        return FReal ? FReal->SetDefaultSyncSource() : E_NOTIMPL;
    }

    int ServiceRequests = 0;

private:
    IServiceProvider* FSite;
    IFilterGraph* FReal;
};

}  // namespace graphcomponenttest
