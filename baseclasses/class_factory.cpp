#include "baseclasses/class_factory.h"

#include "shared/com_guard.h"
#include "shared/com_ptr.h"
#include "shared/owner.h"

#include <olectl.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <string>
#include <vector>

namespace {

std::vector<TBCClassFactory*>& FactoryList() {
    static std::vector<TBCClassFactory*> list;
    return list;
}

// References handed out on the factories, and LockServer locks: counted
// apart, neither below zero, so an unbalanced LockServer(FALSE) can neither
// let the library unload under a held factory nor keep it loaded for good.
std::atomic<LONG> FactoryReferences{0};
std::atomic<LONG> ServerLockCount{0};

// Decrements without going below zero; returns the new count.
LONG DecrementToZero(std::atomic<LONG>& counter) {
    LONG value = counter.load();
    while (value > 0 && !counter.compare_exchange_weak(value, value - 1)) {}
    return value > 0 ? value - 1 : 0;
}

std::wstring ClassKeyPath(REFCLSID classId) {
    wchar_t text[40] = {};
    StringFromGUID2(classId, text, 40);
    return std::wstring(L"CLSID\\") + text;
}

LSTATUS SetStringValue(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

HRESULT WriteClassKeys(const TBCFilterRegistration& registration, const wchar_t* modulePath) {
    const std::wstring path = ClassKeyPath(*registration.ClassId);
    TRegKey classKey;
    TRegKey serverKey;
    const bool written = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                         classKey.Put(), nullptr) == ERROR_SUCCESS &&
                         SetStringValue(classKey.Get(), nullptr, registration.Name) == ERROR_SUCCESS &&
                         RegCreateKeyExW(classKey.Get(), L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr,
                                         serverKey.Put(), nullptr) == ERROR_SUCCESS &&
                         SetStringValue(serverKey.Get(), nullptr, modulePath) == ERROR_SUCCESS &&
                         SetStringValue(serverKey.Get(), L"ThreadingModel", L"Both") == ERROR_SUCCESS;
    return written ? S_OK : SELFREG_E_CLASS;
}

void RemoveClassKeys(const TBCFilterRegistration& registration) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKeyPath(*registration.ClassId).c_str());
}

// Registers the filter with the filter mapper (IFilterMapper2, else the older
// IFilterMapper), after removing any earlier registration; or only removes.
HRESULT MapFilter(const TBCFilterRegistration& registration, bool doRegister) {
    const CLSID& classId = *registration.ClassId;
    ComPtr<IFilterMapper2> mapper2;
    HRESULT hr =
        CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, mapper2.PutVoid());
    if (SUCCEEDED(hr)) {
        mapper2->UnregisterFilter(registration.Category, nullptr, classId);
        if (!doRegister) return S_OK;
        REGFILTER2 filter{};
        filter.dwVersion = 1;
        filter.dwMerit = registration.Merit;
        filter.cPins = registration.PinCount;
        filter.rgPins = registration.Pins;
        return mapper2->RegisterFilter(classId, registration.Name, nullptr, registration.Category, nullptr, &filter);
    }

    ComPtr<IFilterMapper> mapper;
    hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper, mapper.PutVoid());
    if (FAILED(hr)) return hr;
    mapper->UnregisterFilter(classId);
    if (!doRegister) return S_OK;
    hr = mapper->RegisterFilter(classId, registration.Name, registration.Merit);
    for (UINT i = 0; SUCCEEDED(hr) && i < registration.PinCount; ++i) {
        const REGFILTERPINS& pin = registration.Pins[i];
        hr = mapper->RegisterPin(classId, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                                 pin.clsConnectsToFilter ? *pin.clsConnectsToFilter : GUID_NULL,
                                 const_cast<LPWSTR>(pin.strConnectsToPin));
        for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; ++t) {
            hr = mapper->RegisterPinType(classId, pin.strName, *pin.lpMediaType[t].clsMajorType,
                                         *pin.lpMediaType[t].clsMinorType);
        }
    }
    if (FAILED(hr)) mapper->UnregisterFilter(classId);
    return hr;
}

std::wstring OwnModulePath() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&OwnModulePath), &module))
        return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

TBCClassFactory::TBCClassFactory(const TBCFilterRegistration& registration) : FRegistration(registration) {
    FactoryList().push_back(this);
}

TBCClassFactory::~TBCClassFactory() {
    auto& list = FactoryList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

HRESULT STDMETHODCALLTYPE TBCClassFactory::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TBCClassFactory::AddRef() { return static_cast<ULONG>(++FactoryReferences); }

ULONG STDMETHODCALLTYPE TBCClassFactory::Release() { return static_cast<ULONG>(DecrementToZero(FactoryReferences)); }

HRESULT STDMETHODCALLTYPE TBCClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr && iid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    // A constructor's strings and containers can throw.
    TBCUnknown* created = nullptr;
    HRESULT hr = ComGuard(E_UNEXPECTED, [&] { return FRegistration.Create(this, outer, &created); });
    if (FAILED(hr)) return hr;
    if (created == nullptr) return E_OUTOFMEMORY;
    created->NonDelegatingAddRef();
    hr = created->NonDelegatingQueryInterface(iid, object);
    created->NonDelegatingRelease();
    return hr;
}

HRESULT STDMETHODCALLTYPE TBCClassFactory::LockServer(BOOL lock) {
    if (lock)
        ++ServerLockCount;
    else
        DecrementToZero(ServerLockCount);
    return S_OK;
}

HRESULT TBCClassFactory::Register(const wchar_t* modulePath) const {
    HRESULT hr = WriteClassKeys(FRegistration, modulePath);
    if (FAILED(hr) || FRegistration.Category == nullptr) return hr;
    hr = MapFilter(FRegistration, true);
    if (FAILED(hr)) RemoveClassKeys(FRegistration);
    return hr;
}

HRESULT TBCClassFactory::Unregister() const {
    const HRESULT hr = FRegistration.Category ? MapFilter(FRegistration, false) : S_OK;
    RemoveClassKeys(FRegistration);
    return hr;
}

TBCClassFactory* TBCClassFactory::Find(REFCLSID classId) {
    for (TBCClassFactory* factory : FactoryList()) {
        if (factory->ClassId() == classId) return factory;
    }
    return nullptr;
}

LONG TBCClassFactory::ServerLocks() { return FactoryReferences.load() + ServerLockCount.load(); }

// DllRegisterServer and DllUnregisterServer answer S_OK, SELFREG_E_CLASS,
// SELFREG_E_TYPELIB, E_OUTOFMEMORY or E_UNEXPECTED: any other failure of a
// step is reported as the class's.
HRESULT TBCRegisterAllServers(bool doRegister, const wchar_t* modulePath) {
    return ComGuard(E_UNEXPECTED, [&]() -> HRESULT {
        const auto documented = [](HRESULT hr) {
            return SUCCEEDED(hr) || hr == E_OUTOFMEMORY || hr == E_UNEXPECTED ? hr : SELFREG_E_CLASS;
        };
        std::wstring path = modulePath != nullptr ? std::wstring(modulePath) : OwnModulePath();
        if (doRegister && path.empty()) return SELFREG_E_CLASS;
        TComApartment com;
        HRESULT result = S_OK;
        for (TBCClassFactory* factory : FactoryList()) {
            const HRESULT hr = doRegister ? factory->Register(path.c_str()) : factory->Unregister();
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
        return documented(result);
    });
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // A class the library does not serve is CLASS_E_CLASSNOTAVAILABLE,
    // whatever the interface asked for.
    TBCClassFactory* factory = TBCClassFactory::Find(classId);
    if (factory == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    factory->AddRef();
    *object = static_cast<IClassFactory*>(factory);
    return S_OK;
}

STDAPI DllCanUnloadNow() {
    return TBCClassFactory::ServerLocks() == 0 && TBCUnknown::ActiveObjects() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() { return TBCRegisterAllServers(true); }

STDAPI DllUnregisterServer() { return TBCRegisterAllServers(false); }
