// The owners of COM-side resources: a VARIANT and the information records
// give back what they hold exactly once, also when an exception passes; the
// select guard puts back the DC's object; the COM guard turns every
// exception into the method's failure code.
#include "shared/com_guard.h"
#include "shared/info_records.h"
#include "shared/variant.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A filter that only counts its references; the rest of it is never called.
class TCountedFilter : public IBaseFilter {
public:
    LONG References = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++References); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--References); }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
};

// What IPin::QueryPinInfo does to its record: a name, and a new reference.
void FillPinInfo(PIN_INFO* info, TCountedFilter& filter) {
    filter.AddRef();
    info->pFilter = &filter;
    info->dir = PINDIR_OUTPUT;
    wcscpy_s(info->achName, L"Capture");
}

}  // namespace

TEST(VariantOwner, ClearsWhatItHoldsOnRefillScopeEndAndException) {
    TCountedFilter object;
    {
        TVariant value;
        EXPECT_EQ(value->vt, VT_EMPTY);
        VARIANT* slot = value.Put();
        slot->vt = VT_UNKNOWN;
        slot->punkVal = &object;
        object.AddRef();
        EXPECT_EQ(object.References, 2);
        EXPECT_EQ(value.String(), nullptr);
        value.Put();  // filled again: the old value goes first
        EXPECT_EQ(object.References, 1);
        EXPECT_EQ(value->vt, VT_EMPTY);
        value->vt = VT_UNKNOWN;
        value->punkVal = &object;
        object.AddRef();
    }
    EXPECT_EQ(object.References, 1);

    // A throw between the read and the end of the scope (a string copy that
    // runs out of memory) leaves nothing behind.
    try {
        TVariant value;
        value->vt = VT_UNKNOWN;
        value->punkVal = &object;
        object.AddRef();
        throw std::bad_alloc();
    } catch (const std::bad_alloc&) {}
    EXPECT_EQ(object.References, 1);
}

TEST(VariantOwner, HoldsAString) {
    TVariant value;
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocString(L"FriendlyName");
    ASSERT_NE(value.String(), nullptr);
    EXPECT_STREQ(value.String(), L"FriendlyName");
    EXPECT_EQ(SysStringLen(value.String()), 12u);
    TBstr text(SysAllocString(L"moved"));
    const BSTR raw = text.Get();
    TBstr other(std::move(text));
    EXPECT_FALSE(text);
    EXPECT_EQ(other.Get(), raw);
}

TEST(InfoRecordOwners, PinInfoReleasesItsFilterOnceWhenRefilledOrGone) {
    TCountedFilter filter;
    {
        TPinInfo info;
        FillPinInfo(info.Put(), filter);
        EXPECT_EQ(filter.References, 2);
        EXPECT_STREQ(info->achName, L"Capture");
        EXPECT_EQ(info.Object().Get(), &filter);  // a reference of its own, gone again
        EXPECT_EQ(filter.References, 2);
        FillPinInfo(info.Put(), filter);
        EXPECT_EQ(filter.References, 2);
    }
    EXPECT_EQ(filter.References, 1);

    // A record filled elsewhere is adopted with its reference; one handed
    // over keeps it for its taker.
    PIN_INFO raw{};
    FillPinInfo(&raw, filter);
    { TPinInfo adopted(raw); }
    EXPECT_EQ(filter.References, 1);
    TPinInfo given;
    FillPinInfo(given.Put(), filter);
    PIN_INFO taken = given.Take();
    EXPECT_EQ(given->pFilter, nullptr);
    EXPECT_EQ(taken.pFilter, &filter);
    given.Reset();
    EXPECT_EQ(filter.References, 2);
    { TPinInfo back(taken); }
    EXPECT_EQ(filter.References, 1);
}

TEST(SelectGuardOwner, PutsBackTheObjectItReplaced) {
    TMemoryDC dc(CreateCompatibleDC(nullptr));
    TGdiObject<HBITMAP> bitmap(CreateBitmap(4, 4, 1, 1, nullptr));
    ASSERT_TRUE(dc);
    ASSERT_TRUE(bitmap);
    const HGDIOBJ before = GetCurrentObject(dc.Get(), OBJ_BITMAP);
    {
        TSelectGuard selected(dc.Get(), bitmap.Get());
        EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), bitmap.Get());
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), before);
    // Deselected, the bitmap can go (a selected one would not be deleted).
    EXPECT_TRUE(DeleteObject(bitmap.Take()));
}

TEST(ComGuardCall, AnswersTheBodyOrTheFailureForAnException) {
    EXPECT_EQ(ComGuard(E_UNEXPECTED, [] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(ComGuard(E_UNEXPECTED, []() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(ComGuard(STG_E_CANTSAVE, []() -> HRESULT { throw std::runtime_error("disk"); }), STG_E_CANTSAVE);
    EXPECT_EQ(ComGuard(E_FAIL, []() -> HRESULT { throw 7; }), E_FAIL);

    // An event handler's exception is reported, whatever it is, and the
    // method answers its failure.
    std::exception_ptr reported;
    const auto report = [&](std::exception_ptr e) { reported = e; };
    EXPECT_EQ(ComGuard(
                  S_FALSE, [] { return S_OK; }, report),
              S_OK);
    EXPECT_FALSE(reported);
    EXPECT_EQ(ComGuard(
                  S_FALSE, []() -> HRESULT { throw std::bad_alloc(); }, report),
              S_FALSE);
    ASSERT_TRUE(reported);
    EXPECT_THROW(std::rethrow_exception(reported), std::bad_alloc);
}
