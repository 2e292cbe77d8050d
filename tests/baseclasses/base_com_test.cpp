// The class factory, the exports, aggregation and the COM identity rules of
// filters and pins.
#include "tests/baseclasses/test_source.h"
#include "tests/fixtures/com_test_support.h"
#include "tests/fixtures/graph_test_support.h"
#include "shared/owner.h"

#include <gtest/gtest.h>

#include <olectl.h>

namespace {

const REGPINTYPES TestPinType{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32};
const REGFILTERPINS TestPin{
    const_cast<LPWSTR>(L"Output"), FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &TestPinType};
const TBCFilterRegistration TestRegistration{L"Test Source",
                                             &CLSID_TestSource,
                                             &TTestSource::CreateFromFactory,
                                             &CLSID_LegacyAmFilterCategory,
                                             MERIT_DO_NOT_USE,
                                             1,
                                             &TestPin};
TBCClassFactory TestFactory(TestRegistration);

// An outer object that counts the references its inner object passes on.
using Outer = testsupport::CountingUnknown;

// A class object whose instances cannot be created, registered in this
// process in place of a platform class.
class RefusingFactory final : public testsupport::ScopedComObject<IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** object) override {
        *object = nullptr;
        return E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

struct ClassOverride {
    RefusingFactory Factory;
    DWORD Cookie = 0;
    explicit ClassOverride(REFCLSID classId) {
        CoRegisterClassObject(classId, &Factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &Cookie);
    }
    ~ClassOverride() {
        if (Cookie) CoRevokeClassObject(Cookie);
    }
};

std::wstring TestClassKey() {
    wchar_t text[40] = {};
    StringFromGUID2(CLSID_TestSource, text, 40);
    return std::wstring(L"CLSID\\") + text;
}

bool ClassKeyExists(const std::wstring& key) {
    TRegKey handle;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.Put()) == ERROR_SUCCESS;
}

// {6E1F5E11-4C43-4C4B-9E0A-2D1B5A7C0002}: a class whose objects cannot be built.
constexpr CLSID CLSID_UnbuildableSource{0x6E1F5E11, 0x4C43, 0x4C4B, {0x9E, 0x0A, 0x2D, 0x1B, 0x5A, 0x7C, 0x00, 0x02}};

HRESULT UnbuildableConstructor(TBCClassFactory*, IUnknown*, TBCUnknown** object) {
    *object = nullptr;
    return E_ACCESSDENIED;
}

ComPtr<IClassFactory> Factory() {
    ComPtr<IClassFactory> factory;
    DllGetClassObject(CLSID_TestSource, IID_IClassFactory, factory.PutVoid());
    return factory;
}

ComPtr<IUnknown> Identity(IUnknown* object) {
    ComPtr<IUnknown> unknown;
    object->QueryInterface(IID_IUnknown, unknown.PutVoid());
    return unknown;
}

}  // namespace

TEST(BaseClassesFactory, ConstructorFailureReachesTheCreator) {
    graphtest::ComScope com;
    const TBCFilterRegistration registration{L"Unbuildable",
                                             &CLSID_UnbuildableSource,
                                             &UnbuildableConstructor,
                                             &CLSID_LegacyAmFilterCategory,
                                             MERIT_DO_NOT_USE,
                                             1,
                                             &TestPin};
    TBCClassFactory factory(registration);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IBaseFilter, &object), E_ACCESSDENIED);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(TBCUnknown::ActiveObjects(), 0);
}

TEST(BaseClassesFactory, SourceBuildHandsOutOnlyACompleteFilter) {
    graphtest::ComScope com;
    TTestSource* filter = reinterpret_cast<TTestSource*>(1);
    EXPECT_EQ(TBCBuildSource(&filter, []() -> std::unique_ptr<TTestSource> { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(filter, nullptr);
    EXPECT_EQ(TBCBuildSource(&filter, [] { return std::unique_ptr<TTestSource>(); }), E_OUTOFMEMORY);
    EXPECT_EQ(filter, nullptr);
    EXPECT_EQ(TBCUnknown::ActiveObjects(), 0);

    ASSERT_EQ(TBCBuildSource(&filter, [] { return std::make_unique<TTestSource>(L"Built", nullptr); }), S_OK);
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->PinsResult(), S_OK);
    EXPECT_EQ(filter->GetPinCount(), 1);
    const ComPtr<IBaseFilter> held(static_cast<IBaseFilter*>(filter));
    EXPECT_EQ(TBCBuildSource<TTestSource>(nullptr, [] { return std::unique_ptr<TTestSource>(); }), E_POINTER);
}

TEST(BaseClassesFactory, ExportsFindTheFactoryByClass) {
    graphtest::ComScope com;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(CLSID_ScreenCaptureSource, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(DllGetClassObject(CLSID_TestSource, IID_IClassFactory, nullptr), E_POINTER);
    // A class the library does not serve, whatever the interface.
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(CLSID_ScreenCaptureSource, IID_IPersist, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    // A class it serves, through an interface its class object lacks.
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(CLSID_TestSource, IID_IPersist, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    // A factory reference keeps the library loaded.
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);

    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, filter.PutVoid()), S_OK);
    CLSID classId{};
    EXPECT_EQ(filter->GetClassID(&classId), S_OK);
    EXPECT_EQ(classId, CLSID_TestSource);
    void* none = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    factory = nullptr;
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the filter lives
    filter = nullptr;
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(BaseClassesFactory, ServerLocksAndFactoryReferencesCountApart) {
    graphtest::ComScope com;
    ASSERT_EQ(DllCanUnloadNow(), S_OK);
    // An unbalanced unlock neither frees a held factory...
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    factory->AddRef();
    factory->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    // ...nor keeps the library loaded for good once everything is let go.
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    factory = nullptr;
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the lock holds
    ASSERT_EQ(Factory()->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(BaseClassesFactory, ConstructorThatThrowsFailsCreationWithoutException) {
    graphtest::ComScope com;
    static const CLSID throwingClass{0x6E1F5E11, 0x4C43, 0x4C4B, {0x9E, 0x0A, 0x2D, 0x1B, 0x5A, 0x7C, 0x00, 0x02}};
    static const TBCFilterRegistration registration{
        L"Throwing Source",
        &throwingClass,
        [](TBCClassFactory*, IUnknown*, TBCUnknown**) -> HRESULT { throw std::bad_alloc(); },
        &CLSID_LegacyAmFilterCategory,
        MERIT_DO_NOT_USE,
        0,
        nullptr};
    TBCClassFactory factory(registration);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IBaseFilter, &object), E_OUTOFMEMORY);
    EXPECT_EQ(object, nullptr);
}

TEST(BaseClassesFactory, AggregationOnlyThroughIUnknown) {
    graphtest::ComScope com;
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    Outer outer;
    void* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IBaseFilter, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);

    IUnknown* inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(outer.Refs, 1u);  // the inner reference is the object's own

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
    // Interfaces of an aggregated object count on the outer object...
    EXPECT_EQ(outer.Refs, 2u);
    filter->AddRef();
    EXPECT_EQ(outer.Refs, 3u);
    filter->Release();
    filter->Release();
    EXPECT_EQ(outer.Refs, 1u);
    // ...and answer QueryInterface through it.
    void* viaOuter = reinterpret_cast<void*>(1);
    EXPECT_EQ(filter->QueryInterface(IID_IBaseFilter, &viaOuter), E_NOINTERFACE);
    EXPECT_EQ(inner->Release(), 0u);
    factory = nullptr;
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(BaseClassesIdentity, FilterAndPinInterfacesFollowComRules) {
    graphtest::ComScope com;
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(Factory()->CreateInstance(nullptr, IID_IBaseFilter, filter.PutVoid()), S_OK);

    ComPtr<IMediaFilter> media;
    ComPtr<IPersist> persist;
    ASSERT_EQ(filter.As(media), S_OK);
    ASSERT_EQ(filter.As(persist), S_OK);
    EXPECT_EQ(Identity(filter.Get()), Identity(media.Get()));
    EXPECT_EQ(Identity(filter.Get()), Identity(persist.Get()));
    ComPtr<IPin> notOffered;
    EXPECT_EQ(filter->QueryInterface(IID_IPin, notOffered.PutVoid()), E_NOINTERFACE);

    ComPtr<IPin> pin;
    ASSERT_EQ(filter->FindPin(L"Out", pin.Put()), S_OK);
    EXPECT_EQ(filter->FindPin(L"In", notOffered.Put()), VFW_E_NOT_FOUND);
    EXPECT_EQ(filter->FindPin(L"Out", nullptr), E_POINTER);
    // The pin is its own identity but lives as long as the filter.
    EXPECT_NE(Identity(pin.Get()), Identity(filter.Get()));
    ComPtr<IQualityControl> quality;
    ASSERT_EQ(pin.As(quality), S_OK);
    EXPECT_EQ(Identity(quality.Get()), Identity(pin.Get()));
    const ULONG filterRefs = filter->AddRef();
    EXPECT_EQ(pin->AddRef(), filterRefs + 1);
    pin->Release();
    filter->Release();

    PIN_INFO info{};
    ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"Out");
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    EXPECT_EQ(Identity(info.pFilter), Identity(filter.Get()));
    info.pFilter->Release();
    TTaskMem<wchar_t> id;
    ASSERT_EQ(pin->QueryId(id.Put()), S_OK);
    EXPECT_STREQ(id.Get(), L"Out");

    ComPtr<IEnumPins> pins;
    ASSERT_EQ(filter->EnumPins(pins.Put()), S_OK);
    IPin* got[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(pins->Next(2, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(got[0], pin.Get());
    got[0]->Release();
    EXPECT_EQ(pins->Next(2, got, nullptr), E_INVALIDARG);
}

TEST(BaseClassesIdentity, MediaTypeEnumerationAndQueryAccept) {
    graphtest::ComScope com;
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(Factory()->CreateInstance(nullptr, IID_IBaseFilter, filter.PutVoid()), S_OK);
    ComPtr<IPin> pin;
    ASSERT_EQ(filter->FindPin(L"Out", pin.Put()), S_OK);

    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(pin->EnumMediaTypes(types.Put()), S_OK);
    AM_MEDIA_TYPE* fetchedType = nullptr;
    ULONG fetched = 0;
    const HRESULT first = types->Next(1, &fetchedType, &fetched);
    const TMediaTypePtr type(fetchedType);
    ASSERT_EQ(first, S_OK);
    EXPECT_EQ(type->subtype, MEDIASUBTYPE_RGB32);
    EXPECT_EQ(pin->QueryAccept(type.get()), S_OK);
    AM_MEDIA_TYPE* next = nullptr;
    EXPECT_EQ(types->Next(1, &next, &fetched), S_FALSE);
    const TMediaTypePtr nextType(next);
    EXPECT_EQ(fetched, 0u);

    // A type that differs in its format bytes or subtype is refused.
    reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat)->bmiHeader.biWidth = 9;
    EXPECT_EQ(pin->QueryAccept(type.get()), S_FALSE);
    reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat)->bmiHeader.biWidth = TTestPin::Width;
    type->subtype = MEDIASUBTYPE_RGB24;
    EXPECT_EQ(pin->QueryAccept(type.get()), S_FALSE);

    EXPECT_EQ(types->Reset(), S_OK);
    EXPECT_EQ(types->Skip(1), S_OK);
    EXPECT_EQ(types->Skip(1), S_FALSE);

    // Not connected.
    AM_MEDIA_TYPE connection{};
    EXPECT_EQ(pin->ConnectionMediaType(&connection), VFW_E_NOT_CONNECTED);
    ComPtr<IPin> other;
    EXPECT_EQ(pin->ConnectedTo(other.Put()), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(pin->Disconnect(), S_FALSE);
    // An output pin takes no stream notifications.
    EXPECT_EQ(pin->EndOfStream(), E_UNEXPECTED);
}

TEST(BaseClassesIdentity, StateChangesWithoutConnectionAndGraph) {
    graphtest::ComScope com;
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(Factory()->CreateInstance(nullptr, IID_IBaseFilter, filter.PutVoid()), S_OK);
    FILTER_STATE state;
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    EXPECT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    EXPECT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Paused);
    EXPECT_EQ(filter->Stop(), S_OK);
    EXPECT_EQ(filter->GetState(0, nullptr), E_POINTER);

    FILTER_INFO info{};
    ASSERT_EQ(filter->QueryFilterInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"");
    EXPECT_EQ(info.pGraph, nullptr);
}

// One test, as its steps share the registry keys of the test class.
TEST(BaseClassesRegistration, FilterMapperMissingOlderOneOrBoth) {
    graphtest::ComScope com;
    {
        // No mapper at all: the failure is reported and no keys are left.
        ClassOverride mapper2(CLSID_FilterMapper2);
        ClassOverride mapper(CLSID_FilterMapper);
        ASSERT_NE(mapper2.Cookie, 0u);
        ASSERT_NE(mapper.Cookie, 0u);
        // Reported with a code the export may answer, not the mapper's own.
        EXPECT_EQ(DllRegisterServer(), SELFREG_E_CLASS);
        EXPECT_FALSE(ClassKeyExists(TestClassKey()));
        EXPECT_EQ(DllUnregisterServer(), SELFREG_E_CLASS);
    }
    {
        ClassOverride mapper2(CLSID_FilterMapper2);
        ASSERT_EQ(DllRegisterServer(), S_OK);
        EXPECT_TRUE(ClassKeyExists(TestClassKey() + L"\\InprocServer32"));
        // The older mapper keeps the pins under the class key.
        EXPECT_TRUE(ClassKeyExists(TestClassKey() + L"\\Pins\\Output"));
        ASSERT_EQ(DllUnregisterServer(), S_OK);
        EXPECT_FALSE(ClassKeyExists(TestClassKey()));
    }
    // And again with the new mapper.
    ASSERT_EQ(DllRegisterServer(), S_OK);
    EXPECT_TRUE(ClassKeyExists(TestClassKey()));
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_FALSE(ClassKeyExists(TestClassKey()));
    // Unregistering again does no harm.
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    // No path to register.
    EXPECT_EQ(TBCRegisterAllServers(true, L""), SELFREG_E_CLASS);
    EXPECT_FALSE(ClassKeyExists(TestClassKey()));
}
