// TComponent: the non-visual building block. A component has an owner that
// frees it: when the owner is destroyed it frees the components it owns in
// reverse order of insertion. When an owned component is inserted or
// destroyed, the owner tells every component it owns (Notification with
// opInsert / opRemove), so siblings can drop references to it; a component
// can also ask to be told of the destruction of a component with another
// owner (FreeNotification). Loaded() is the after-loading hook a description
// loader calls once all properties are set.
//
// A component answers COM QueryInterface for IUnknown and for the interfaces
// its class declares with TImplements<Base, I...>; AddRef and Release do not
// count (they return -1): the component's lifetime is its owner's.
//
// Destruction note: C++ runs the base destructor after the derived parts are
// gone. A derived class whose overridden Notification must see the removal
// of its owned components calls DestroyComponents() in its own destructor.
//
// Classes that a description may create by name are registered with
// RegisterComponentClass<T>(L"TName"); T needs a constructor T(TComponent*).
#pragma once

#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/persistent.h"
#include "classlib/runtime/properties.h"

#include <unknwn.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TComponent;

enum class TOperation { opInsert, opRemove };

// Flags of TComponent::ComponentState.
enum TComponentStateFlag : unsigned {
    csLoading = 1u << 0,     // between Loading() and Loaded()
    csReading = 1u << 1,     // its properties are being read
    csDestroying = 1u << 2,  // its destruction has begun
    csDesigning = 1u << 3,   // never set by this library
};

class TComponent : public TPersistent, public IUnknown {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const noexcept { return FOwner; }
    int ComponentCount() const noexcept { return static_cast<int>(FComponents.size()); }
    // EListError for an index outside 0..ComponentCount()-1.
    TComponent* Components(int Index) const;
    // Position of this component in its owner's list, -1 without owner.
    int ComponentIndex() const;
    // The owned component of that name (case-insensitive), or nullptr.
    TComponent* FindComponent(std::wstring_view AName) const;

    const std::wstring& Name() const noexcept { return FName; }
    // EComponentError when the name is not an identifier or another
    // component of the same owner has it. An empty name is allowed.
    void SetName(const std::wstring& NewName);
    intptr_t Tag() const noexcept { return FTag; }
    void SetTag(intptr_t Value) noexcept { FTag = Value; }
    unsigned ComponentState() const noexcept { return FComponentState; }

    // Ownership changes: InsertComponent takes AComponent from any previous
    // owner; RemoveComponent gives it up without freeing it.
    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    // Frees every owned component, last inserted first.
    void DestroyComponents();

    // Ask to be told (Notification opRemove) when AComponent is destroyed.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // Marks the component as being loaded; Loaded() clears the mark and is
    // the after-loading hook that derived classes override.
    virtual void Loading();
    virtual void Loaded();

    // IUnknown, not reference-counted.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(-1); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(-1); }
    // Answers the interfaces the class declares (here IUnknown); TImplements
    // adds its interfaces.
    virtual bool GetInterface(REFIID iid, void** ppv);

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    // Called on every owned component when one is inserted or removed, and
    // on components that asked for FreeNotification. Overrides call the base.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    void SetComponentState(unsigned flags, bool on) noexcept {
        FComponentState = on ? (FComponentState | flags) : (FComponentState & ~flags);
    }

private:
    void Insert(TComponent* AComponent);
    void Remove(TComponent* AComponent);
    void NotifyOwned(TComponent* AComponent, TOperation Operation);

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    std::wstring FName;
    intptr_t FTag = 0;
    unsigned FComponentState = 0;
};

// A component class that declares COM interfaces I...: QueryInterface
// answers them (and the base's), without reference counting.
//   class TFilterGraph : public TImplements<TComponent, IServiceProvider> { ... };
// A derived class may override QueryInterface; GetInterface stays the
// lookup of the declared interfaces.
template <class Base, class... I>
class TImplements : public Base, public I... {
public:
    using Base::Base;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
        return TComponent::QueryInterface(iid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(-1); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(-1); }

    bool GetInterface(REFIID iid, void** ppv) override {
        if (!ppv) return false;
        if ((TryOne<I>(iid, ppv) || ...)) return true;
        return Base::GetInterface(iid, ppv);
    }

private:
    template <class One>
    bool TryOne(REFIID iid, void** ppv) {
        if (!IsEqualGUID(iid, __uuidof(One))) return false;
        *ppv = static_cast<One*>(this);
        return true;
    }
};

// Class registry for descriptions that name component classes.
struct TComponentClass {
    std::wstring Name;
    std::function<TComponent*(TComponent* Owner)> Create;
};
void RegisterComponentClassInfo(TComponentClass info);
// Registers unless the name is taken already; false when it was.
bool RegisterComponentClassIfAbsent(TComponentClass info);
// The registered class of that name (case-insensitive), or nullptr. The
// library's own component classes (TTimer) are always registered.
const TComponentClass* FindComponentClass(std::wstring_view name);
// Registers the library's own component classes; FindComponentClass calls it.
void RegisterRuntimeComponentClasses();
template <class T>
void RegisterComponentClass(std::wstring name) {
    RegisterComponentClassInfo(
        TComponentClass{std::move(name), [](TComponent* owner) -> TComponent* { return new T(owner); }});
}
