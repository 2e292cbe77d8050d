// The filter dialogs on the fixture compressors and filters: which dialog
// each kind asks for, with which parent, and the answers of filters that
// have no such dialog.
#include "media/filter_dialog.h"
#include "tests/media/device_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace devicetest;

class FilterDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ComScope com;
        ASSERT_TRUE(mediafixture::EnsureFixturesRegistered());
    }
    void SetUp() override {
        FConfig = Create(mediafixture::CLSID_ConfigCompressor);
        ASSERT_TRUE(FConfig);
        ASSERT_EQ(FConfig.As(FLog), S_OK);
        FLog->Reset();
    }
    static ComPtr<IBaseFilter> Create(const CLSID& id) {
        ComPtr<IBaseFilter> filter;
        CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.PutVoid());
        return filter;
    }
    LONG ConfigCalls(HWND* parent = nullptr) {
        LONG calls = 0;
        HWND last = nullptr;
        FLog->GetConfigDialogCalls(&calls, &last);
        if (parent) *parent = last;
        return calls;
    }
    ComScope FCom;
    ComPtr<IBaseFilter> FConfig;
    ComPtr<mediafixture::IFixtureDialogLog> FLog;
};

TEST_F(FilterDialogTest, CompressorConfigurationOpensWithTheParent) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(ShowFilterDialog(parent, FConfig.Get(), fdkCompressConfig), S_OK);
    HWND seen = nullptr;
    EXPECT_EQ(ConfigCalls(&seen), 1);
    EXPECT_EQ(seen, parent);
    LONG queries = 0;
    FLog->GetQueryCalls(&queries);
    EXPECT_EQ(queries, 1);  // asked first whether there is such a dialog
    DestroyWindow(parent);
}

TEST_F(FilterDialogTest, AboutBoxTheCompressorHasNotIsNotShown) {
    EXPECT_EQ(ShowFilterDialog(nullptr, FConfig.Get(), fdkCompressAbout), S_FALSE);
    LONG queries = 0;
    FLog->GetQueryCalls(&queries);
    EXPECT_EQ(queries, 1);
    EXPECT_EQ(ConfigCalls(), 0);
}

TEST_F(FilterDialogTest, CompressorWithoutConfigurationAnswersTheQuery) {
    ComPtr<IBaseFilter> noConfig = Create(mediafixture::CLSID_NoConfigCompressor);
    ASSERT_TRUE(noConfig);
    EXPECT_EQ(ShowFilterDialog(nullptr, noConfig.Get(), fdkCompressConfig), S_FALSE);
    EXPECT_EQ(ConfigCalls(), 0);
    ComPtr<IBaseFilter> plain = Create(mediafixture::CLSID_PlainCompressor);
    ASSERT_TRUE(plain);
    EXPECT_EQ(ShowFilterDialog(nullptr, plain.Get(), fdkCompressConfig), E_NOINTERFACE);
    EXPECT_EQ(ShowFilterDialog(nullptr, plain.Get(), fdkCompressAbout), E_NOINTERFACE);
}

TEST_F(FilterDialogTest, CaptureDialogsOpenWhenTheDriverHasThem) {
    ComPtr<IBaseFilter> capture = Create(mediafixture::CLSID_FourLineCapture);
    ASSERT_TRUE(capture);
    HWND parent = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));  // passed on, never used
    EXPECT_EQ(ShowFilterDialog(parent, capture.Get(), fdkCaptureFormat), S_OK);
    EXPECT_EQ(ShowFilterDialog(parent, capture.Get(), fdkCaptureSource), S_OK);
    EXPECT_EQ(ShowFilterDialog(parent, capture.Get(), fdkCaptureSource), S_OK);
    // No display dialog: the driver's S_FALSE, nothing shown.
    EXPECT_EQ(ShowFilterDialog(parent, capture.Get(), fdkCaptureDisplay), S_FALSE);
    LONG calls = 0;
    HWND seen = nullptr;
    FLog->GetCaptureDialogCalls(VfwCaptureDialog_Format, &calls, &seen);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, parent);
    FLog->GetCaptureDialogCalls(VfwCaptureDialog_Source, &calls, &seen);
    EXPECT_EQ(calls, 2);
    FLog->GetCaptureDialogCalls(VfwCaptureDialog_Display, &calls, &seen);
    EXPECT_EQ(calls, 0);
}

TEST_F(FilterDialogTest, FiltersWithoutTheAskedInterface) {
    ComPtr<IBaseFilter> capture = Create(mediafixture::CLSID_FourLineCapture);
    EXPECT_EQ(ShowFilterDialog(nullptr, capture.Get(), fdkPropertyPages), E_NOINTERFACE);
    EXPECT_EQ(ShowFilterDialog(nullptr, capture.Get(), fdkCompressConfig), E_NOINTERFACE);
    EXPECT_EQ(ShowFilterDialog(nullptr, FConfig.Get(), fdkCaptureFormat), E_NOINTERFACE);
    ComPtr<IBaseFilter> plain = Create(mediafixture::CLSID_PlainCompressor);
    EXPECT_EQ(ShowFilterDialog(nullptr, plain.Get(), fdkPropertyPages), E_NOINTERFACE);
}

// Closes the property frame once it is there. The frame answers neither
// IDCANCEL nor WM_CLOSE here; destroying it from the GUI thread ends its
// modal loop.
std::wstring ClosedFrameTitle;
BOOL CALLBACK CloseFrame(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) return TRUE;
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    ClosedFrameTitle = title;
    DestroyWindow(window);
    return FALSE;
}
void CALLBACK CloseFrameTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    ClosedFrameTitle.clear();
    EnumThreadWindows(GetCurrentThreadId(), CloseFrame, 0);
    if (!ClosedFrameTitle.empty()) KillTimer(nullptr, timer);
}

TEST_F(FilterDialogTest, PropertyPagesOpenInAFrameNamedAfterTheFilter) {
    ComPtr<IFilterGraph> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph, graph.PutVoid()),
              S_OK);
    ASSERT_EQ(graph->AddFilter(FConfig.Get(), L"CompressFilter"), S_OK);
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseFrameTimer);
    ASSERT_NE(timer, 0u);
    EXPECT_EQ(ShowFilterDialog(nullptr, FConfig.Get(), fdkPropertyPages), S_OK);
    KillTimer(nullptr, timer);
    LONG activations = 0, objects = 0;
    FLog->GetPropertyPageCalls(&activations, &objects);
    EXPECT_GE(activations, 1);
    EXPECT_EQ(objects, 1);
    EXPECT_NE(ClosedFrameTitle.find(L"CompressFilter"), std::wstring::npos) << ClosedFrameTitle.size();
    graph->RemoveFilter(FConfig.Get());
}

TEST_F(FilterDialogTest, NoFilterOrUnknownKindOpensNothing) {
    EXPECT_EQ(ShowFilterDialog(nullptr, nullptr, fdkCompressConfig), S_FALSE);
    EXPECT_EQ(ShowFilterDialog(nullptr, FConfig.Get(), static_cast<TFilterDialogKind>(6)), S_FALSE);
    EXPECT_EQ(ShowFilterDialog(nullptr, FConfig.Get(), static_cast<TFilterDialogKind>(255)), S_FALSE);
    EXPECT_EQ(ConfigCalls(), 0);
}

}  // namespace
