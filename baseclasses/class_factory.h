// The class factory, the library's list of factories, registration, and the
// four library exports.
//
// A filter library declares one factory per class at namespace scope:
//
//     const TBCFilterRegistration Registration{L"Name", &CLSID_..., &TMyFilter::CreateFromFactory,
//                                              &CLSID_..., MERIT_DO_NOT_USE, 1, &Pin};
//     TBCClassFactory Factory(Registration);
//
// and lists the exports in its .def file:
//
//     EXPORTS
//         DllGetClassObject PRIVATE
//         DllCanUnloadNow PRIVATE
//         DllRegisterServer PRIVATE
//         DllUnregisterServer PRIVATE
//
// The exports are defined by this library (class_factory.cpp) and walk the
// factory list.
#pragma once

#include "baseclasses/unknown.h"

#include <dshow.h>

class TBCClassFactory;

// The class's virtual constructor: S_OK and a new object with no references
// yet in *object, or the failure and null.
using TBCFactoryConstructor = HRESULT (*)(TBCClassFactory* factory, IUnknown* outer, TBCUnknown** object);

// The virtual constructor of a class whose construction fails only for want
// of memory: `make` returns the new object or null.
template <TBCUnknown* (*make)(TBCClassFactory*, IUnknown*)>
HRESULT TBCCreateOrOutOfMemory(TBCClassFactory* factory, IUnknown* outer, TBCUnknown** object) {
    if (object == nullptr) return E_POINTER;
    *object = make(factory, outer);
    return *object != nullptr ? S_OK : E_OUTOFMEMORY;
}

// What a factory creates and what registration writes.
struct TBCFilterRegistration {
    const wchar_t* Name;  // friendly name, factory and filter name
    const CLSID* ClassId;
    TBCFactoryConstructor Create;
    const CLSID* Category;  // filter-mapper category; null: COM class keys only
    DWORD Merit;
    UINT PinCount;
    const REGFILTERPINS* Pins;
};

class TBCClassFactory : public IClassFactory {
public:
    // Joins the library's factory list; the registration record must outlive
    // the factory.
    explicit TBCClassFactory(const TBCFilterRegistration& registration);
    ~TBCClassFactory();
    TBCClassFactory(const TBCClassFactory&) = delete;
    TBCClassFactory& operator=(const TBCClassFactory&) = delete;

    // A factory lives as long as the library; references only keep the
    // library loaded.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // Aggregation only through IUnknown (CLASS_E_NOAGGREGATION otherwise).
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    const wchar_t* Name() const { return FRegistration.Name; }
    REFCLSID ClassId() const { return *FRegistration.ClassId; }
    const TBCFilterRegistration& Registration() const { return FRegistration; }

    // The registry keys and the filter-mapper entry of this class.
    // modulePath: the library's full path.
    HRESULT Register(const wchar_t* modulePath) const;
    HRESULT Unregister() const;

    // The factory for a class identifier, or null.
    static TBCClassFactory* Find(REFCLSID classId);
    // References and server locks outstanding on the factories.
    static LONG ServerLocks();

private:
    const TBCFilterRegistration& FRegistration;
};

// Registers or removes every class of the library (what DllRegisterServer and
// DllUnregisterServer do); modulePath null means this library's own path.
HRESULT TBCRegisterAllServers(bool doRegister, const wchar_t* modulePath = nullptr);
