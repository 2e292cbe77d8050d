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

TEST_F(FilterDialogTest, CaptureDialogsAndPropertyPagesOfFiltersWithoutThem) {
    ComPtr<IBaseFilter> capture = Create(mediafixture::CLSID_FourLineCapture);
    ASSERT_TRUE(capture);
    for (TFilterDialogKind kind : {fdkCaptureDisplay, fdkCaptureFormat, fdkCaptureSource})
        EXPECT_EQ(ShowFilterDialog(nullptr, capture.Get(), kind), E_NOINTERFACE) << int(kind);
    EXPECT_EQ(ShowFilterDialog(nullptr, capture.Get(), fdkPropertyPages), E_NOINTERFACE);
    EXPECT_EQ(ShowFilterDialog(nullptr, FConfig.Get(), fdkCaptureFormat), E_NOINTERFACE);
}

TEST_F(FilterDialogTest, NoFilterOrUnknownKindOpensNothing) {
    EXPECT_EQ(ShowFilterDialog(nullptr, nullptr, fdkCompressConfig), S_FALSE);
    EXPECT_EQ(ShowFilterDialog(nullptr, FConfig.Get(), static_cast<TFilterDialogKind>(6)), S_FALSE);
    EXPECT_EQ(ShowFilterDialog(nullptr, FConfig.Get(), static_cast<TFilterDialogKind>(255)), S_FALSE);
    EXPECT_EQ(ConfigCalls(), 0);
}

}  // namespace
