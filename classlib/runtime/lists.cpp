// String lists, interface lists and the list errors.
#include "classlib/runtime/lists.h"

#include "classlib/runtime/properties.h"
#include "classlib/runtime/text.h"

#include <algorithm>

void ListIndexError(int index, int count) {
    throw EListError(L"List index out of bounds (" + std::to_wstring(index) + L").  List has " +
                     std::to_wstring(count) + L" items");
}

void RaiseIntfCastError() { throw EIntfCastError(L"Interface not supported"); }

// --- TStrings ------------------------------------------------------------

int TStrings::Add(const std::wstring& s) {
    const int index = Count();
    Insert(index, s);
    return index;
}

int TStrings::AddObject(const std::wstring& s, TObject* o) {
    const int index = Add(s);
    PutObject(index, o);
    return index;
}

void TStrings::InsertObject(int index, const std::wstring& s, TObject* o) {
    Insert(index, s);
    PutObject(index, o);
}

void TStrings::AddStrings(const TStrings& other) {
    BeginUpdate();
    try {
        const int n = other.Count();
        for (int i = 0; i < n; ++i) AddObject(other.Get(i), other.GetObject(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex) return;
    CheckIndex(curIndex, Count());
    CheckIndex(newIndex, Count());
    BeginUpdate();
    try {
        const std::wstring s = Get(curIndex);
        TObject* o = GetObject(curIndex);
        Delete(curIndex);
        InsertObject(newIndex, s, o);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Exchange(int a, int b) {
    CheckIndex(a, Count());
    CheckIndex(b, Count());
    BeginUpdate();
    try {
        const std::wstring sa = Get(a);
        TObject* oa = GetObject(a);
        Put(a, Get(b));
        PutObject(a, GetObject(b));
        Put(b, sa);
        PutObject(b, oa);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int TStrings::IndexOf(std::wstring_view s) const {
    const int n = Count();
    for (int i = 0; i < n; ++i)
        if (SameText(Get(i), s)) return i;
    return -1;
}

int TStrings::IndexOfObject(const TObject* o) const {
    const int n = Count();
    for (int i = 0; i < n; ++i)
        if (GetObject(i) == o) return i;
    return -1;
}

std::wstring TStrings::Text() const {
    std::wstring out;
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        out += Get(i);
        out += L"\r\n";
    }
    return out;
}

void TStrings::SetText(std::wstring_view text) {
    BeginUpdate();
    try {
        Clear();
        size_t i = 0;
        while (i < text.size()) {
            size_t j = i;
            while (j < text.size() && text[j] != L'\r' && text[j] != L'\n') ++j;
            Add(std::wstring(text.substr(i, j - i)));
            if (j < text.size() && text[j] == L'\r') ++j;
            if (j < text.size() && text[j] == L'\n') ++j;
            i = j;
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

std::wstring TStrings::Names(int index) const {
    const std::wstring s = Get(index);
    const size_t eq = s.find(L'=');
    return eq == std::wstring::npos ? std::wstring() : s.substr(0, eq);
}

std::wstring TStrings::Values(std::wstring_view name) const {
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        const std::wstring s = Get(i);
        const size_t eq = s.find(L'=');
        if (eq != std::wstring::npos && SameText(std::wstring_view(s).substr(0, eq), name)) return s.substr(eq + 1);
    }
    return {};
}

void TStrings::BeginUpdate() {
    if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
    if (FUpdateCount <= 0) return;
    if (--FUpdateCount == 0) SetUpdateState(false);
}

std::vector<std::wstring> TStrings::ToVector() const {
    std::vector<std::wstring> v;
    const int n = Count();
    v.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) v.push_back(Get(i));
    return v;
}

void TStrings::SetVector(const std::vector<std::wstring>& items) {
    BeginUpdate();
    try {
        Clear();
        for (const auto& s : items) Add(s);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Assign(TPersistent* Source) {
    if (auto* other = dynamic_cast<TStrings*>(Source)) {
        if (other == this) return;
        BeginUpdate();
        try {
            Clear();
            AddStrings(*other);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
        return;
    }
    TPersistent::Assign(Source);
}

void TStrings::Put(int index, const std::wstring& s) {
    TObject* o = GetObject(index);
    Delete(index);
    InsertObject(index, s, o);
}

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}
void TStrings::SetUpdateState(bool) {}

const TPropertyTable& TStrings::ClassProperties() {
    static const TPropertyTable table = TPropertyTableBuilder<TStrings>(L"TStrings", &TPersistent::ClassProperties())
                                            .Strings(L"Strings", &TStrings::ToVector, &TStrings::SetVector)
                                            .Build();
    return table;
}

// --- TStringList ---------------------------------------------------------

TStringList::TStringList(std::initializer_list<std::wstring> items) {
    for (const auto& s : items) Add(s);
}

int TStringList::Compare(std::wstring_view a, std::wstring_view b) const {
    return FCaseSensitive ? a.compare(b) : CompareText(a, b);
}

bool TStringList::Find(std::wstring_view s, int& index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = Compare(FItems[static_cast<size_t>(mid)].Text, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (FDuplicates != TDuplicates::dupAccept) lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

int TStringList::IndexOf(std::wstring_view s) const {
    if (!FSorted) {
        for (size_t i = 0; i < FItems.size(); ++i)
            if (Compare(FItems[i].Text, s) == 0) return static_cast<int>(i);
        return -1;
    }
    int index;
    return Find(s, index) ? index : -1;
}

int TStringList::Add(const std::wstring& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const std::wstring& s, TObject* o) {
    int index = Count();
    if (FSorted) {
        if (Find(s, index)) {
            switch (FDuplicates) {
            case TDuplicates::dupIgnore:
                return index;
            case TDuplicates::dupError:
                throw EListError(L"String list does not allow duplicates");
            case TDuplicates::dupAccept:
                break;
            }
        }
    }
    InsertItem(index, s, o);
    return index;
}

void TStringList::Insert(int index, const std::wstring& s) {
    if (FSorted) throw EListError(L"Operation not allowed on sorted list");
    if (index < 0 || index > Count()) ListIndexError(index, Count());
    InsertItem(index, s, nullptr);
}

void TStringList::InsertItem(int index, const std::wstring& s, TObject* o) {
    Changing();
    FItems.insert(FItems.begin() + index, Item{s, o});
    Changed();
}

void TStringList::Delete(int index) {
    CheckIndex(index, Count());
    Changing();
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (FItems.empty()) return;
    Changing();
    FItems.clear();
    Changed();
}

std::wstring TStringList::Get(int index) const {
    CheckIndex(index, Count());
    return FItems[static_cast<size_t>(index)].Text;
}

void TStringList::Put(int index, const std::wstring& s) {
    if (FSorted) throw EListError(L"Operation not allowed on sorted list");
    CheckIndex(index, Count());
    Changing();
    FItems[static_cast<size_t>(index)].Text = s;
    Changed();
}

TObject* TStringList::GetObject(int index) const {
    CheckIndex(index, Count());
    return FItems[static_cast<size_t>(index)].Object;
}

void TStringList::PutObject(int index, TObject* o) {
    CheckIndex(index, Count());
    Changing();
    FItems[static_cast<size_t>(index)].Object = o;
    Changed();
}

void TStringList::Sort() {
    Changing();
    std::stable_sort(FItems.begin(), FItems.end(),
                     [this](const Item& a, const Item& b) { return Compare(a.Text, b.Text) < 0; });
    Changed();
}

void TStringList::SetSorted(bool value) {
    if (value == FSorted) return;
    if (value) Sort();
    FSorted = value;
}

void TStringList::SetCaseSensitive(bool value) {
    if (value == FCaseSensitive) return;
    FCaseSensitive = value;
    if (FSorted) Sort();
}

void TStringList::SetUpdateState(bool updating) {
    if (updating)
        Changing();
    else
        Changed();
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

// --- TInterfaceList ------------------------------------------------------

namespace {
// COM identity: the IUnknown the object answers.
ComPtr<IUnknown> Identity(IUnknown* p) {
    ComPtr<IUnknown> id;
    if (p) p->QueryInterface(IID_IUnknown, id.PutVoid());
    return id;
}
}  // namespace

TInterfaceList::~TInterfaceList() { Clear(); }

int TInterfaceList::Count() const {
    std::lock_guard lock(FLock);
    return static_cast<int>(FItems.size());
}

ComPtr<IUnknown> TInterfaceList::Items(int index) const {
    std::lock_guard lock(FLock);
    if (index < 0 || index >= static_cast<int>(FItems.size())) ListIndexError(index, static_cast<int>(FItems.size()));
    return FItems[static_cast<size_t>(index)];
}

void TInterfaceList::SetItems(int index, IUnknown* item) {
    ComPtr<IUnknown> old;
    {
        std::lock_guard lock(FLock);
        if (index < 0 || index >= static_cast<int>(FItems.size()))
            ListIndexError(index, static_cast<int>(FItems.size()));
        old = std::move(FItems[static_cast<size_t>(index)]);
        FItems[static_cast<size_t>(index)] = ComPtr<IUnknown>(item);
    }
}

int TInterfaceList::Add(IUnknown* item) {
    std::lock_guard lock(FLock);
    FItems.emplace_back(item);
    return static_cast<int>(FItems.size()) - 1;
}

void TInterfaceList::Insert(int index, IUnknown* item) {
    std::lock_guard lock(FLock);
    if (index < 0 || index > static_cast<int>(FItems.size())) ListIndexError(index, static_cast<int>(FItems.size()));
    FItems.insert(FItems.begin() + index, ComPtr<IUnknown>(item));
}

void TInterfaceList::Delete(int index) {
    ComPtr<IUnknown> old;  // released outside the lock
    {
        std::lock_guard lock(FLock);
        if (index < 0 || index >= static_cast<int>(FItems.size()))
            ListIndexError(index, static_cast<int>(FItems.size()));
        old = std::move(FItems[static_cast<size_t>(index)]);
        FItems.erase(FItems.begin() + index);
    }
}

int TInterfaceList::IndexOf(IUnknown* item) const {
    std::lock_guard lock(FLock);
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].Get() == item) return static_cast<int>(i);
    // Another interface of the same object.
    const ComPtr<IUnknown> id = Identity(item);
    if (!id) return -1;
    for (size_t i = 0; i < FItems.size(); ++i)
        if (Identity(FItems[i].Get()).Get() == id.Get()) return static_cast<int>(i);
    return -1;
}

int TInterfaceList::Remove(IUnknown* item) {
    std::lock_guard lock(FLock);
    const int index = IndexOf(item);
    if (index >= 0) Delete(index);
    return index;
}

ComPtr<IUnknown> TInterfaceList::First() const { return Items(0); }

ComPtr<IUnknown> TInterfaceList::Last() const {
    std::lock_guard lock(FLock);
    return Items(static_cast<int>(FItems.size()) - 1);
}

void TInterfaceList::Exchange(int a, int b) {
    std::lock_guard lock(FLock);
    const int n = static_cast<int>(FItems.size());
    if (a < 0 || a >= n) ListIndexError(a, n);
    if (b < 0 || b >= n) ListIndexError(b, n);
    std::swap(FItems[static_cast<size_t>(a)], FItems[static_cast<size_t>(b)]);
}

void TInterfaceList::Clear() {
    std::vector<ComPtr<IUnknown>> old;
    {
        std::lock_guard lock(FLock);
        old.swap(FItems);
    }
    // Released last first, outside the lock.
    while (!old.empty()) old.pop_back();
}
