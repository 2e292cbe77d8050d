// Components: ownership, names, notifications, the component QueryInterface
// and the class registry.
#include "classlib/runtime/component.h"

#include "classlib/runtime/lists.h"
#include "classlib/runtime/text.h"

#include <algorithm>
#include <deque>
#include <mutex>

namespace {

bool IsIdentStart(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_'; }
bool IsIdentChar(wchar_t c) { return IsIdentStart(c) || (c >= L'0' && c <= L'9'); }

bool IsValidIdent(std::wstring_view s) {
    if (s.empty() || !IsIdentStart(s[0])) return false;
    return std::all_of(s.begin() + 1, s.end(), IsIdentChar);
}

void EraseOne(std::vector<TComponent*>& v, TComponent* c) {
    const auto it = std::find(v.begin(), v.end(), c);
    if (it != v.end()) v.erase(it);
}

}  // namespace

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    FComponentState |= csDestroying;
    // Components that asked to hear of our destruction.
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        EraseOne(other->FFreeNotifies, this);
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= ComponentCount()) ListIndexError(Index, ComponentCount());
    return FComponents[static_cast<size_t>(Index)];
}

int TComponent::ComponentIndex() const {
    if (!FOwner) return -1;
    const auto& list = FOwner->FComponents;
    const auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(std::wstring_view AName) const {
    if (AName.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, AName)) return c;
    return nullptr;
}

void TComponent::SetName(const std::wstring& NewName) {
    if (NewName == FName) return;
    if (!NewName.empty() && !IsValidIdent(NewName))
        throw EComponentError(L"'" + NewName + L"' is not a valid component name");
    if (FOwner && !NewName.empty()) {
        TComponent* other = FOwner->FindComponent(NewName);
        if (other && other != this) throw EComponentError(L"A component named " + NewName + L" already exists");
    }
    FName = NewName;
}

void TComponent::InsertComponent(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (AComponent->FOwner == this) return;
    if (!AComponent->FName.empty()) {
        if (FindComponent(AComponent->FName))
            throw EComponentError(L"A component named " + AComponent->FName + L" already exists");
    }
    if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
    Insert(AComponent);
    Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    if (!AComponent || AComponent->FOwner != this) return;
    Notification(AComponent, TOperation::opRemove);
    Remove(AComponent);
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* last = FComponents.back();
        // The component removes itself (with the notifications) as it is destroyed.
        delete last;
        // A component that refused to leave the list must not be freed twice.
        if (!FComponents.empty() && FComponents.back() == last) FComponents.pop_back();
    }
}

void TComponent::Insert(TComponent* AComponent) {
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent) {
    EraseOne(FComponents, AComponent);
    AComponent->FOwner = nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (FOwner && AComponent->FOwner == FOwner) return;  // the common owner tells us already
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
    if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
        AComponent->FFreeNotifies.end())
        AComponent->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (!AComponent) return;
    EraseOne(FFreeNotifies, AComponent);
    EraseOne(AComponent->FFreeNotifies, this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == TOperation::opRemove && AComponent) RemoveFreeNotification(AComponent);
    NotifyOwned(AComponent, Operation);
}

void TComponent::NotifyOwned(TComponent* AComponent, TOperation Operation) {
    // Last first; a handler may free components, so re-check the bounds.
    int i = ComponentCount() - 1;
    while (i >= 0) {
        FComponents[static_cast<size_t>(i)]->Notification(AComponent, Operation);
        --i;
        if (i >= ComponentCount()) i = ComponentCount() - 1;
    }
}

void TComponent::Loading() { FComponentState |= csLoading; }

void TComponent::Loaded() { FComponentState &= ~static_cast<unsigned>(csLoading); }

HRESULT TComponent::QueryInterface(REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (GetInterface(iid, ppv)) {
        static_cast<IUnknown*>(*ppv)->AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

bool TComponent::GetInterface(REFIID iid, void** ppv) {
    if (!ppv) return false;
    if (IsEqualGUID(iid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown*>(this);
        return true;
    }
    return false;
}

const TPropertyTable& TComponent::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TComponent>(L"TComponent", &TPersistent::ClassProperties())
            .String(L"Name", &TComponent::Name, &TComponent::SetName)
            .Integer(L"Tag", &TComponent::Tag, &TComponent::SetTag, 0)
            .Build();
    return table;
}

namespace {
std::mutex& RegistryLock() {
    static std::mutex m;
    return m;
}
// A deque keeps the entries in place as more classes are registered.
std::deque<TComponentClass>& Registry() {
    static std::deque<TComponentClass> r;
    return r;
}
}  // namespace

void RegisterComponentClassInfo(TComponentClass info) {
    std::lock_guard lock(RegistryLock());
    for (auto& existing : Registry()) {
        if (SameText(existing.Name, info.Name)) {
            existing = std::move(info);
            return;
        }
    }
    Registry().push_back(std::move(info));
}

bool RegisterComponentClassIfAbsent(TComponentClass info) {
    std::lock_guard lock(RegistryLock());
    for (const auto& existing : Registry())
        if (SameText(existing.Name, info.Name)) return false;
    Registry().push_back(std::move(info));
    return true;
}

const TComponentClass* FindComponentClass(std::wstring_view name) {
    static std::once_flag builtIn;
    std::call_once(builtIn, RegisterRuntimeComponentClasses);
    std::lock_guard lock(RegistryLock());
    for (const auto& c : Registry())
        if (SameText(c.Name, name)) return &c;
    return nullptr;
}
