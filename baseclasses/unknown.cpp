#include "baseclasses/unknown.h"

namespace {
std::atomic<LONG> LiveObjects{0};
}

TBCUnknown::TBCUnknown(const wchar_t* objectName, IUnknown* outer)
    : FObjectName(objectName ? objectName : L""),
      FOwner(outer ? outer : reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this))) {
    ++LiveObjects;
}

TBCUnknown::~TBCUnknown() { --LiveObjects; }

HRESULT STDMETHODCALLTYPE TBCUnknown::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown) {
        // The inner unknown, also for an aggregated object.
        auto* inner = static_cast<INonDelegatingUnknown*>(this);
        inner->NonDelegatingAddRef();
        *object = inner;
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TBCUnknown::NonDelegatingAddRef() { return ++FRefCount; }

ULONG STDMETHODCALLTYPE TBCUnknown::NonDelegatingRelease() {
    const LONG count = --FRefCount;
    if (count == 0) {
        // Guards against re-entry from the destructor handing out references.
        FRefCount = 1;
        OnFinalRelease();
        delete this;
        return 0;
    }
    return static_cast<ULONG>(count);
}

LONG TBCUnknown::ActiveObjects() { return LiveObjects.load(); }

HRESULT TBCUnknown::GetInterface(IUnknown* itf, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = itf;
    itf->AddRef();
    return S_OK;
}
