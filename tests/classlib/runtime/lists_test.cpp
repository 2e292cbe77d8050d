// String lists, owned object lists, interface lists and their index errors.
#include "classlib/runtime/lists.h"
#include "classlib/runtime/streams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(RuntimeStringListTest, AddDeleteIndexingAndText) {
    TStringList list;
    EXPECT_EQ(list.Add(L"one"), 0);
    EXPECT_EQ(list.Add(L"two"), 1);
    list.Insert(0, L"zero");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0], L"zero");
    EXPECT_EQ(list.Strings(2), L"two");
    list.SetStrings(2, L"TWO");
    list.Delete(1);
    EXPECT_EQ(list.Text(), L"zero\r\nTWO\r\n");
    list.SetText(L"a\r\nb\nc\rd\r\n\r\ne");
    EXPECT_EQ(list.ToVector(), (std::vector<std::wstring>{L"a", L"b", L"c", L"d", L"", L"e"}));
    list.SetText(L"");
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Text(), L"");
}

TEST(RuntimeStringListTest, IndexOutsideTheListRaisesTheListIndexError) {
    TStringList list{L"a", L"b"};
    EXPECT_THROW(list[2], EListError);
    EXPECT_THROW(list[-1], EListError);
    EXPECT_THROW(list.Delete(2), EListError);
    EXPECT_THROW(list.Insert(3, L"x"), EListError);
    EXPECT_THROW(list.SetStrings(5, L"x"), EListError);
    EXPECT_THROW(list.Objects(2), EListError);
    EXPECT_THROW(list.Move(0, 2), EListError);
    try {
        list.Delete(7);
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), L"List index out of bounds (7).  List has 2 items");
    }
    EXPECT_EQ(list.Count(), 2);
    list.Insert(2, L"c");  // the end is a valid insertion point
    EXPECT_EQ(list[2], L"c");
}

TEST(RuntimeStringListTest, FindIsCaseInsensitive) {
    TStringList list{L"Line In", L"Microphone", L"ステレオ ミキサー"};
    EXPECT_EQ(list.IndexOf(L"line in"), 0);
    EXPECT_EQ(list.IndexOf(L"MICROPHONE"), 1);
    EXPECT_EQ(list.IndexOf(L"ステレオ ミキサー"), 2);
    EXPECT_EQ(list.IndexOf(L"CD"), -1);
    list.SetSorted(true);
    EXPECT_EQ(list[0], L"Line In");
    int index = -1;
    EXPECT_TRUE(list.Find(L"microphone", index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(list.Find(L"Aux", index));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(list.Add(L"LINE IN"), 0);  // duplicates ignored by default
    EXPECT_EQ(list.Count(), 3);
    list.SetDuplicates(TDuplicates::dupError);
    EXPECT_THROW(list.Add(L"line in"), EListError);
    EXPECT_THROW(list.Insert(0, L"x"), EListError);
}

TEST(RuntimeStringListTest, UpdatesAreBatched) {
    TStringList list;
    int changes = 0;
    list.OnChange = [&](TObject*) { ++changes; };
    list.Add(L"a");
    EXPECT_EQ(changes, 1);
    list.BeginUpdate();
    list.BeginUpdate();
    list.Add(L"b");
    list.Add(L"c");
    list.EndUpdate();
    EXPECT_EQ(changes, 1);
    list.EndUpdate();
    EXPECT_EQ(changes, 2);
    list.EndUpdate();  // unbalanced: ignored
    EXPECT_EQ(list.UpdateCount(), 0);
    list.SetText(L"x\ny");
    EXPECT_EQ(changes, 3);
}

TEST(RuntimeStringListTest, ObjectsNamesValuesAndAssign) {
    TStringList list;
    TStringList marker;
    list.AddObject(L"KEY=value", &marker);
    list.Add(L"plain");
    EXPECT_EQ(list.Objects(0), &marker);
    EXPECT_EQ(list.Objects(1), nullptr);
    EXPECT_EQ(list.IndexOfObject(&marker), 0);
    EXPECT_EQ(list.Names(0), L"KEY");
    EXPECT_EQ(list.Values(L"key"), L"value");
    EXPECT_EQ(list.Values(L"none"), L"");
    TStringList copy;
    copy.Assign(&list);
    EXPECT_EQ(copy.Text(), list.Text());
    EXPECT_EQ(copy.Objects(0), &marker);
    TMemoryStream notStrings;
    (void)notStrings;
    copy.Exchange(0, 1);
    EXPECT_EQ(copy[0], L"plain");
}

struct TCounted {
    explicit TCounted(std::vector<int>& log, int id) : Log(log), Id(id) {}
    ~TCounted() { Log.push_back(Id); }
    std::vector<int>& Log;
    int Id;
};

TEST(RuntimeObjectListTest, OwnsItsObjects) {
    std::vector<int> freed;
    {
        TObjectList<TCounted> list;
        list.Add(new TCounted(freed, 1));
        list.Add(std::make_unique<TCounted>(freed, 2));
        list.Add(new TCounted(freed, 3));
        EXPECT_EQ(list[1]->Id, 2);
        EXPECT_THROW(list[3], EListError);
        EXPECT_THROW(list.Delete(-1), EListError);
        list.Delete(0);
        EXPECT_EQ(freed, (std::vector<int>{1}));
        auto kept = list.Extract(0);
        EXPECT_EQ(kept->Id, 2);
        EXPECT_EQ(list.Count(), 1);
    }
    // The extracted item went with its unique_ptr (declared last, freed
    // first); the list freed the rest.
    EXPECT_EQ(freed, (std::vector<int>{1, 2, 3}));
}

// A COM object that counts its references.
class TProbe : public IStream {
public:
    std::atomic<LONG> Refs{1};
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IStream) ||
            IsEqualGUID(iid, IID_ISequentialStream)) {
            *ppv = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
};

TEST(RuntimeInterfaceListTest, HoldsOneReferencePerItem) {
    TProbe a, b;
    {
        TInterfaceList list;
        list.Add(&a);
        list.Add(&b);
        list.Add(&a);
        EXPECT_EQ(a.Refs.load(), 3);
        EXPECT_EQ(b.Refs.load(), 2);
        EXPECT_EQ(list.IndexOf(&b), 1);
        EXPECT_EQ(list.Remove(&a), 0);
        EXPECT_EQ(a.Refs.load(), 2);
        EXPECT_EQ(list.Count(), 2);
        {
            ComPtr<IUnknown> item = list.Items(0);
            EXPECT_EQ(b.Refs.load(), 3);
            ComPtr<IStream> typed = InterfaceCast<IStream>(item);
            EXPECT_EQ(typed.Get(), static_cast<IStream*>(&b));
            EXPECT_THROW(InterfaceCast<IPersistStream>(item), EIntfCastError);
        }
        EXPECT_EQ(b.Refs.load(), 2);
        EXPECT_THROW(list.Items(2), EListError);
        EXPECT_THROW(list.Delete(-1), EListError);
        EXPECT_THROW(list.Insert(3, &a), EListError);
        list.Insert(2, &b);
        EXPECT_EQ(b.Refs.load(), 3);
        EXPECT_EQ(list.Last().Get(), static_cast<IUnknown*>(&b));
    }
    EXPECT_EQ(a.Refs.load(), 1);
    EXPECT_EQ(b.Refs.load(), 1);
    EXPECT_THROW(InterfaceCast<IStream>(static_cast<IUnknown*>(nullptr)), EIntfCastError);
}

TEST(RuntimeInterfaceListTest, ConcurrentAddsAndRemovesKeepTheCounts) {
    TProbe probe;
    TInterfaceList list;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                list.Add(&probe);
                list.Remove(&probe);
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(probe.Refs.load(), 1);
}

}  // namespace
