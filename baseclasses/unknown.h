// The COM object root: reference counting, the non-delegating IUnknown that
// aggregation needs, and the count of live objects for DllCanUnloadNow.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <string>

// The inner IUnknown of an aggregatable object. Its slots are laid out like
// IUnknown's, so an object that is not aggregated is its own owner.
struct INonDelegatingUnknown {
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

class TBCUnknown : public INonDelegatingUnknown {
public:
    // outer: the aggregating object, or null for a standalone object.
    TBCUnknown(const wchar_t* objectName, IUnknown* outer);
    virtual ~TBCUnknown();
    TBCUnknown(const TBCUnknown&) = delete;
    TBCUnknown& operator=(const TBCUnknown&) = delete;

    // Answers IUnknown with the inner unknown.
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    // Deletes the object when the count reaches 0.
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

    // The outer object, or this object's own inner unknown.
    IUnknown* GetOwner() const { return FOwner; }
    const std::wstring& ObjectName() const { return FObjectName; }

    // Objects of the library alive now.
    static LONG ActiveObjects();

protected:
    // Called once when the last reference goes, before the object is
    // deleted: the whole object, derived parts included, is still intact.
    virtual void OnFinalRelease() {}

    // Hands out itf with a new reference (through its owner).
    static HRESULT GetInterface(IUnknown* itf, void** object);

private:
    std::wstring FObjectName;
    IUnknown* FOwner;
    std::atomic<LONG> FRefCount{0};
};

// The three IUnknown methods of a class that implements interfaces on a
// TBCUnknown: all go to the owner.
#define TBC_DECLARE_IUNKNOWN                                                       \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { \
        return GetOwner()->QueryInterface(iid, object);                            \
    }                                                                              \
    ULONG STDMETHODCALLTYPE AddRef() override { return GetOwner()->AddRef(); }     \
    ULONG STDMETHODCALLTYPE Release() override { return GetOwner()->Release(); }
