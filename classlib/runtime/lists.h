// Lists. TStrings is the abstract list of texts (each with an optional
// object pointer, not owned) that controls expose for their items;
// TStringList stores them, can keep them sorted, finds case-insensitively,
// and joins/splits them as Text (lines ended by CR LF). BeginUpdate and
// EndUpdate bracket batches; OnChange fires when the outermost batch ends.
// TObjectList<T> owns its objects. TInterfaceList holds one COM reference per
// item and guards its item array with its own lock. Every index outside the
// list raises EListError. InterfaceCast<I> raises EIntfCastError when the
// object does not answer I.
#pragma once

#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/persistent.h"
#include "shared/com_ptr.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

[[noreturn]] void ListIndexError(int index, int count);

class TStrings : public TPersistent {
public:
    virtual int Count() const = 0;
    std::wstring Strings(int index) const { return Get(index); }
    void SetStrings(int index, const std::wstring& s) { Put(index, s); }
    std::wstring operator[](int index) const { return Get(index); }
    TObject* Objects(int index) const { return GetObject(index); }
    void SetObjects(int index, TObject* o) { PutObject(index, o); }

    virtual int Add(const std::wstring& s);
    virtual int AddObject(const std::wstring& s, TObject* o);
    virtual void Insert(int index, const std::wstring& s) = 0;
    void InsertObject(int index, const std::wstring& s, TObject* o);
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    void AddStrings(const TStrings& other);
    void Move(int curIndex, int newIndex);
    void Exchange(int a, int b);

    // Case-insensitive; -1 when absent.
    virtual int IndexOf(std::wstring_view s) const;
    int IndexOfObject(const TObject* o) const;

    // The items joined, each followed by CR LF; setting splits at CR LF, CR or LF.
    std::wstring Text() const;
    void SetText(std::wstring_view text);
    // name=value helpers.
    std::wstring Names(int index) const;
    std::wstring Values(std::wstring_view name) const;

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const noexcept { return FUpdateCount; }

    std::vector<std::wstring> ToVector() const;
    void SetVector(const std::vector<std::wstring>& items);

    void Assign(TPersistent* Source) override;
    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();  // "Strings"

protected:
    virtual std::wstring Get(int index) const = 0;
    virtual void Put(int index, const std::wstring& s);
    virtual TObject* GetObject(int index) const;
    virtual void PutObject(int index, TObject* o);
    // Told when the outermost update begins (true) and ends (false).
    virtual void SetUpdateState(bool updating);
    void CheckIndex(int index, int count) const {
        if (index < 0 || index >= count) ListIndexError(index, count);
    }

private:
    int FUpdateCount = 0;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::wstring> items);

    int Count() const override { return static_cast<int>(FItems.size()); }
    int Add(const std::wstring& s) override;
    int AddObject(const std::wstring& s, TObject* o) override;
    void Insert(int index, const std::wstring& s) override;  // EListError when sorted
    void Delete(int index) override;
    void Clear() override;
    int IndexOf(std::wstring_view s) const override;

    // Sorted lists: binary search; index is where s is or would go.
    bool Find(std::wstring_view s, int& index) const;
    void Sort();
    bool Sorted() const noexcept { return FSorted; }
    void SetSorted(bool value);
    TDuplicates Duplicates() const noexcept { return FDuplicates; }
    void SetDuplicates(TDuplicates value) noexcept { FDuplicates = value; }
    bool CaseSensitive() const noexcept { return FCaseSensitive; }
    void SetCaseSensitive(bool value);

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    std::wstring Get(int index) const override;
    void Put(int index, const std::wstring& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* o) override;
    void SetUpdateState(bool updating) override;
    virtual void Changed();
    virtual void Changing();

private:
    struct Item {
        std::wstring Text;
        TObject* Object = nullptr;
    };
    int Compare(std::wstring_view a, std::wstring_view b) const;
    void InsertItem(int index, const std::wstring& s, TObject* o);

    std::vector<Item> FItems;
    bool FSorted = false;
    bool FCaseSensitive = false;
    TDuplicates FDuplicates = TDuplicates::dupIgnore;
};

// A list that owns its objects (frees them when deleted, cleared or destroyed).
template <class T>
class TObjectList {
public:
    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    T* Items(int index) const {
        Check(index);
        return FItems[static_cast<size_t>(index)].get();
    }
    T* operator[](int index) const { return Items(index); }
    int Add(std::unique_ptr<T> item) {
        FItems.push_back(std::move(item));
        return Count() - 1;
    }
    int Add(T* item) { return Add(std::unique_ptr<T>(item)); }
    void Insert(int index, std::unique_ptr<T> item) {
        if (index < 0 || index > Count()) ListIndexError(index, Count());
        FItems.insert(FItems.begin() + index, std::move(item));
    }
    void Delete(int index) {
        Check(index);
        FItems.erase(FItems.begin() + index);
    }
    // Gives up ownership of the item without freeing it.
    std::unique_ptr<T> Extract(int index) {
        Check(index);
        std::unique_ptr<T> r = std::move(FItems[static_cast<size_t>(index)]);
        FItems.erase(FItems.begin() + index);
        return r;
    }
    int IndexOf(const T* item) const {
        for (size_t i = 0; i < FItems.size(); ++i)
            if (FItems[i].get() == item) return static_cast<int>(i);
        return -1;
    }
    // Frees the items last first.
    void Clear() {
        while (!FItems.empty()) FItems.pop_back();
    }
    ~TObjectList() { Clear(); }
    TObjectList() = default;
    TObjectList(const TObjectList&) = delete;
    TObjectList& operator=(const TObjectList&) = delete;

    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    void Check(int index) const {
        if (index < 0 || index >= Count()) ListIndexError(index, Count());
    }
    std::vector<std::unique_ptr<T>> FItems;
};

// A list of COM references, one per item, with its own lock. Items are
// stored as IUnknown; InterfaceCast gets a typed interface from one.
class TInterfaceList {
public:
    TInterfaceList() = default;
    virtual ~TInterfaceList();
    TInterfaceList(const TInterfaceList&) = delete;
    TInterfaceList& operator=(const TInterfaceList&) = delete;

    int Count() const;
    ComPtr<IUnknown> Items(int index) const;  // EListError outside the list
    void SetItems(int index, IUnknown* item);
    int Add(IUnknown* item);  // takes a new reference
    void Insert(int index, IUnknown* item);
    void Delete(int index);
    // Removes the first item that is the same object (identity by IUnknown);
    // returns its former index or -1.
    int Remove(IUnknown* item);
    int IndexOf(IUnknown* item) const;
    ComPtr<IUnknown> First() const;
    ComPtr<IUnknown> Last() const;
    void Exchange(int a, int b);
    void Clear();

    // The lock, for a caller that needs several operations together.
    void Lock() const { FLock.lock(); }
    void Unlock() const { FLock.unlock(); }

private:
    mutable std::recursive_mutex FLock;
    std::vector<ComPtr<IUnknown>> FItems;
};

// The interface I of obj; EIntfCastError when obj is null or does not answer it.
void RaiseIntfCastError();
template <class I>
ComPtr<I> InterfaceCast(IUnknown* obj) {
    ComPtr<I> r;
    if (!obj || FAILED(obj->QueryInterface(__uuidof(I), r.PutVoid())) || !r) RaiseIntfCastError();
    return r;
}
template <class I, class U>
ComPtr<I> InterfaceCast(const ComPtr<U>& obj) {
    return InterfaceCast<I>(static_cast<IUnknown*>(obj.Get()));
}
// True when obj answers I (out receives it when given).
template <class I>
bool Supports(IUnknown* obj, ComPtr<I>* out = nullptr) {
    ComPtr<I> r;
    if (!obj || FAILED(obj->QueryInterface(__uuidof(I), r.PutVoid())) || !r) return false;
    if (out) *out = std::move(r);
    return true;
}
