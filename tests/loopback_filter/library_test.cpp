// The real Audelo.dll: registered with regsvr32, created by its class
// identifier through COM, on Wine's own Core Audio (PulseAudio null sink).
#include "shared/com_ptr.h"
#include "shared/owner.h"
#include "shared/unit_const_list.h"
#include "tests/fixtures/loopback/loopback_graph.h"
#include "tests/fixtures/program_support.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <string>

using loopback_fakes::LoopbackGraph;

namespace {

const wchar_t* const ClassKey = L"CLSID\\{2B507057-ED7E-441D-A992-12031F31D522}";
const wchar_t* const CategoryInstanceKey =
    L"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\"
    L"{2B507057-ED7E-441D-A992-12031F31D522}";

std::wstring LibraryPath() { return testsupport::ProgramFolder() + L"Audelo.dll"; }

// Runs regsvr32 silently; its exit code, or -1 when it did not run.
long RegSvr32(const std::wstring& arguments) { return testsupport::RunRegsvr32(L"/s " + arguments); }

// A string value under HKEY_CLASSES_ROOT; empty when absent.
std::wstring ClassesValue(const std::wstring& key, const wchar_t* name) {
    wchar_t data[1024];
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::wstring();
    return data;
}

bool ClassesKeyExists(const std::wstring& key) {
    TRegKey opened;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.Put()) == ERROR_SUCCESS;
}

// One test, in order: registration is the process-wide state of the prefix.
TEST(AudeloLibrary, RegistersCreatesRefusesToConnectWithoutLoopbackAndUnregisters) {
    TComApartment com;
    const std::wstring path = LibraryPath();
    ASSERT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_EQ(RegSvr32(L"\"" + path + L"\""), 0);
    EXPECT_EQ(ClassesValue(ClassKey, nullptr), L"Audelo");
    const std::wstring server = ClassesValue(std::wstring(ClassKey) + L"\\InprocServer32", nullptr);
    EXPECT_EQ(CompareStringOrdinal(server.c_str(), -1, path.c_str(), -1, TRUE), CSTR_EQUAL)
        << "server path is " << std::string(server.begin(), server.end());
    EXPECT_EQ(ClassesValue(std::wstring(ClassKey) + L"\\InprocServer32", L"ThreadingModel"), L"Both");
    EXPECT_EQ(ClassesValue(CategoryInstanceKey, L"FriendlyName"), L"Audelo");

    {
        ComPtr<IBaseFilter> filter;
        ASSERT_EQ(CoCreateInstance(CLSID_LoopbackAudioSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   filter.PutVoid()),
                  S_OK);
        CLSID id{};
        ASSERT_EQ(filter->GetClassID(&id), S_OK);
        EXPECT_TRUE(id == CLSID_LoopbackAudioSource);

        // One output pin "Out".
        ComPtr<IEnumPins> pins;
        ASSERT_EQ(filter->EnumPins(pins.Put()), S_OK);
        ComPtr<IPin> pin;
        ASSERT_EQ(pins->Next(1, pin.Put(), nullptr), S_OK);
        ComPtr<IPin> another;
        EXPECT_EQ(pins->Next(1, another.Put(), nullptr), S_FALSE);
        PIN_INFO info{};
        ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
        EXPECT_STREQ(info.achName, L"Out");
        EXPECT_EQ(info.dir, PINDIR_OUTPUT);
        if (info.pFilter) info.pFilter->Release();

        // Wine's playback endpoint has no loopback capture client, so the
        // set-up ended incomplete: the pin offers no type and no graph can
        // connect it.
        ComPtr<IEnumMediaTypes> types;
        ASSERT_EQ(pin->EnumMediaTypes(types.Put()), S_OK);
        AM_MEDIA_TYPE* type = nullptr;
        EXPECT_NE(types->Next(1, &type, nullptr), S_OK);

        // A live source: paused, it cannot cue data.
        FILTER_STATE state = State_Running;
        ASSERT_EQ(filter->Pause(), S_OK);
        EXPECT_EQ(filter->GetState(0, &state), VFW_S_CANT_CUE);
        EXPECT_EQ(state, State_Paused);
        ASSERT_EQ(filter->Run(0), S_OK);
        EXPECT_EQ(filter->GetState(0, &state), S_OK);
        EXPECT_EQ(state, State_Running);
        ASSERT_EQ(filter->Stop(), S_OK);
        EXPECT_EQ(filter->GetState(0, &state), S_OK);
        EXPECT_EQ(state, State_Stopped);
        EXPECT_EQ(filter->GetState(0, nullptr), E_POINTER);

        LoopbackGraph graph(filter.Get());
        ASSERT_EQ(graph.Built(), S_OK);
        EXPECT_TRUE(FAILED(graph.Connect()));
        EXPECT_TRUE(FAILED(graph.Graph()->Render(graph.SourcePin())));
        ComPtr<IPin> peer;
        EXPECT_EQ(pin->ConnectedTo(peer.Put()), VFW_E_NOT_CONNECTED);
        EXPECT_TRUE(SUCCEEDED(graph.Run()));
        EXPECT_TRUE(SUCCEEDED(graph.Stop()));
    }
    CoFreeUnusedLibraries();

    // Unknown classes are refused by the library itself.
    TModuleHandle library(LoadLibraryW(path.c_str()));
    ASSERT_TRUE(library);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(library.Get(), "DllGetClassObject")));
    ASSERT_NE(get, nullptr);
    void* factory = nullptr;
    EXPECT_EQ(get(CLSID_ScreenCaptureSource, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    library.Reset();

    ASSERT_EQ(RegSvr32(L"/u \"" + path + L"\""), 0);
    EXPECT_FALSE(ClassesKeyExists(ClassKey));
    EXPECT_FALSE(ClassesKeyExists(CategoryInstanceKey));
    ComPtr<IBaseFilter> gone;
    EXPECT_EQ(
        CoCreateInstance(CLSID_LoopbackAudioSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, gone.PutVoid()),
        REGDB_E_CLASSNOTREG);
}

}  // namespace
