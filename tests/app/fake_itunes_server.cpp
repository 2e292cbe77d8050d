// A stand-in for iTunes's automation server: an in-process COM server of the
// iTunes application class that answers the application interface through
// IDispatch only. Its "LibraryPlaylist" property yields a playlist object
// whose "AddFile" method appends the path it is given (UTF-8, one a line) to
// "itunes_added.txt" beside this library and returns a status object.
// A path that ends in "refuse.mp4" is refused with E_FAIL.
#include "shared/owner.h"

#include <windows.h>
#include <olectl.h>
#include <oleauto.h>

#include <atomic>
#include <string>

namespace {

constexpr GUID CLSID_App = {0xDC0C2640, 0x1415, 0x4644, {0x87, 0x5C, 0x6F, 0x4D, 0x76, 0x98, 0x39, 0xBA}};
constexpr GUID IID_App = {0x9DD6680B, 0x3EDC, 0x40DB, {0xA7, 0x71, 0xE6, 0xFE, 0x48, 0x32, 0xE3, 0x4A}};
constexpr GUID IID_LibraryPlaylist = {0x53AE1704, 0x491C, 0x4289, {0x94, 0xA0, 0x95, 0x88, 0x15, 0x67, 0x5A, 0x3D}};
const wchar_t* const kClassKey = L"Software\\Classes\\CLSID\\{DC0C2640-1415-4644-875C-6F4D769839BA}";

HMODULE gModule = nullptr;

std::wstring ModuleFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(gModule, path, MAX_PATH);
    std::wstring s = path;
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

void RecordPath(const wchar_t* path, UINT length) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string line(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(length), line.data(), n, nullptr, nullptr);
    line += "\n";
    const TKernelHandle h(CreateFileW((ModuleFolder() + L"itunes_added.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return;
    DWORD written = 0;
    WriteFile(h.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// An automation object with one member, answered by name.
class TDispatchObject : public IDispatch {
public:
    TDispatchObject(const wchar_t* member, const GUID& iid) : FMember(member), FIid(iid) {}
    virtual ~TDispatchObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == FIid) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = --FRefs;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids || count != 1) return E_INVALIDARG;
        if (FMember.empty() || lstrcmpiW(names[0], FMember.c_str()) != 0) {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (id != 1 || FMember.empty()) return DISP_E_MEMBERNOTFOUND;
        return Call(flags, params, result);
    }

protected:
    virtual HRESULT Call(WORD flags, DISPPARAMS* params, VARIANT* result) = 0;

private:
    std::atomic<ULONG> FRefs{1};
    std::wstring FMember;
    GUID FIid;
};

class TStatus : public TDispatchObject {
public:
    TStatus() : TDispatchObject(L"", IID_IDispatch) {}

protected:
    HRESULT Call(WORD, DISPPARAMS*, VARIANT*) override { return DISP_E_MEMBERNOTFOUND; }
};

class TPlaylist : public TDispatchObject {
public:
    TPlaylist() : TDispatchObject(L"AddFile", IID_LibraryPlaylist) {}

protected:
    HRESULT Call(WORD flags, DISPPARAMS* params, VARIANT* result) override {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 1 || !params->rgvarg) return DISP_E_BADPARAMCOUNT;
        const VARIANT& arg = params->rgvarg[0];
        if (arg.vt != VT_BSTR || !arg.bstrVal) return DISP_E_TYPEMISMATCH;
        const std::wstring path(arg.bstrVal, SysStringLen(arg.bstrVal));
        if (path.size() >= 10 && path.compare(path.size() - 10, 10, L"refuse.mp4") == 0) return E_FAIL;
        RecordPath(arg.bstrVal, SysStringLen(arg.bstrVal));
        if (result) {
            VariantInit(result);
            result->vt = VT_DISPATCH;
            result->pdispVal = new TStatus();
        }
        return S_OK;
    }
};

class TApp : public TDispatchObject {
public:
    TApp() : TDispatchObject(L"LibraryPlaylist", IID_App) {}

protected:
    HRESULT Call(WORD flags, DISPPARAMS*, VARIANT* result) override {
        if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
        if (!result) return E_POINTER;
        VariantInit(result);
        result->vt = VT_DISPATCH;
        result->pdispVal = new TPlaylist();
        return S_OK;
    }
};

class TFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        TApp* app = new TApp();
        const HRESULT hr = app->QueryInterface(riid, out);
        app->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

TFactory gFactory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) gModule = instance;
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_App) return CLASS_E_CLASSNOTAVAILABLE;
    return gFactory.QueryInterface(riid, out);
}

// Stays loaded for the life of the process.
extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(gModule, path, MAX_PATH);
    HKEY key = nullptr;
    const std::wstring inproc = std::wstring(kClassKey) + L"\\InprocServer32";
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, inproc.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    const wchar_t model[] = L"Apartment";
    LONG r = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                            static_cast<DWORD>((lstrlenW(path) + 1) * sizeof(wchar_t)));
    if (r == ERROR_SUCCESS)
        r = RegSetValueExW(key, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(model), sizeof model);
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kClassKey) + L"\\InprocServer32").c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kClassKey);
    return S_OK;
}
