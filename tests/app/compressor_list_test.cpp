// The main window with the fixture compressors installed: the compressor
// combo lists the catalogue after its own first item, a saved compressor is
// chosen again, the configuration button opens the chosen compressor's
// dialog, and closing is refused while the capture graph runs.
#include "tests/app/app_test_support.h"
#include "tests/fixtures/media/media_fixture_registration.h"
#include "tests/fixtures/media/saveable_device_enum.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using apptest::ProgramWindows;

// The platform's Null Renderer.
constexpr CLSID CLSID_PlatformNullRenderer{
    0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

class CompressorList : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mediafixture::EnsureFixturesRegistered());
        // The platform's device monikers cannot be saved here, so its
        // catalogue would list nothing: the windows see an enumerator whose
        // monikers can be saved, in the apartment of the application.
        Application->Initialize();
        FSaveable.emplace();
        ASSERT_EQ(FSaveable->Result(), S_OK);
    }
    void TearDown() override { FSaveable.reset(); }
    std::optional<mediafixture::TSaveableDeviceEnumRegistration> FSaveable;
    // The window may choose a line on the fixture device; other test
    // programs use its lines too.
    mediafixture::TCaptureLinesLock FLines;
    // Reads the dialog record shared by every instance of the compressor.
    static LONG ConfigDialogCalls(HWND* parent) {
        ComPtr<IBaseFilter> probe;
        if (FAILED(CoCreateInstance(mediafixture::CLSID_ConfigCompressor, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IBaseFilter, probe.PutVoid())))
            return -1;
        ComPtr<mediafixture::IFixtureDialogLog> log;
        if (FAILED(probe->QueryInterface(mediafixture::IID_IFixtureDialogLog, log.PutVoid()))) return -1;
        LONG calls = 0;
        log->GetConfigDialogCalls(&calls, parent);
        return calls;
    }
    static void ResetDialogLog() {
        ComPtr<IBaseFilter> probe;
        ASSERT_EQ(CoCreateInstance(mediafixture::CLSID_ConfigCompressor, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   probe.PutVoid()),
                  S_OK);
        ComPtr<mediafixture::IFixtureDialogLog> log;
        ASSERT_EQ(probe->QueryInterface(mediafixture::IID_IFixtureDialogLog, log.PutVoid()), S_OK);
        log->Reset();
    }
};

TEST_F(CompressorList, ListsNoCompressionThenOnlyTheCompressorWithADialog) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    EXPECT_EQ(m.CBCompressorListVideo->ItemsVector(),
              (std::vector<std::wstring>{L"無圧縮", mediafixture::ConfigCompressorName}));
    ASSERT_TRUE(m.FCompressors);
    EXPECT_EQ(m.FCompressors->Count(), 1);
    EXPECT_EQ(m.CBCompressorListVideo->ItemIndex(), 0) << "no saved compressor";
    EXPECT_FALSE(m.pngBtnCompressorListVideoConfig->Enabled());
    EXPECT_TRUE(windows.Boxes.Texts.empty());
}

TEST_F(CompressorList, SavedCompressorIsChosenAgainAndSavedBack) {
    {
        ProgramWindows windows("COMPRESSOR=Tavrel Test Compressor\r\n");
        TFormMain& m = *FormMain;
        EXPECT_EQ(m.CBCompressorListVideo->ItemIndex(), 1);
        EXPECT_TRUE(m.pngBtnCompressorListVideoConfig->Enabled());
        m.UiToSettings();
        EXPECT_EQ(m.FSettings->Compressor, mediafixture::ConfigCompressorName);
    }
    const std::string ini = apptest::ReadFileBytes(apptest::ConfigDir() + L"config.ini");
    EXPECT_NE(ini.find("COMPRESSOR=Tavrel Test Compressor\r\n"), std::string::npos) << ini;

    // A compressor that is installed but has no dialog is not offered.
    ProgramWindows again("COMPRESSOR=Tavrel Test Compressor Without Setup\r\n");
    EXPECT_EQ(FormMain->CBCompressorListVideo->ItemIndex(), 0);
}

TEST_F(CompressorList, ConfigurationButtonOpensTheChosenCompressorsDialog) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    ResetDialogLog();
    HWND parent = nullptr;
    m.CBCompressorListVideo->SetItemIndex(0);
    m.pngBtnCompressorListVideoConfigClick(m.pngBtnCompressorListVideoConfig);
    EXPECT_EQ(ConfigDialogCalls(&parent), 0) << "nothing to configure for no compression";
    m.CBCompressorListVideo->SetItemIndex(1);
    m.CBCompressorListVideoChange(m.CBCompressorListVideo);
    ASSERT_TRUE(m.pngBtnCompressorListVideoConfig->Enabled());
    m.pngBtnCompressorListVideoConfig->OnClick(m.pngBtnCompressorListVideoConfig);
    EXPECT_EQ(ConfigDialogCalls(&parent), 1);
    EXPECT_EQ(parent, m.Handle()) << "owned by the main window";
}

TEST_F(CompressorList, CaptureGraphIsDeclaredAndARunningGraphRefusesToClose) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    ASSERT_TRUE(m.CaptureGraph);
    EXPECT_EQ(m.CaptureGraph->Name(), L"CaptureGraph");
    EXPECT_EQ(m.CaptureGraph->Mode(), gmCapture);
    EXPECT_FALSE(m.CaptureGraph->GraphEdit());
    EXPECT_TRUE(m.CaptureGraph->LinearVolume());
    EXPECT_EQ(m.CaptureGraph->State(), gsInactive);

    m.CaptureGraph->SetActive(true);
    ComPtr<IGraphBuilder> builder;
    ASSERT_EQ(m.CaptureGraph->QueryInterface(IID_IGraphBuilder, builder.PutVoid()), S_OK);
    ComPtr<ICaptureGraphBuilder2> capture;
    EXPECT_EQ(m.CaptureGraph->QueryInterface(IID_ICaptureGraphBuilder2, capture.PutVoid()), S_OK);
    ComPtr<IBaseFilter> renderer;
    ASSERT_EQ(CoCreateInstance(CLSID_PlatformNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               renderer.PutVoid()),
              S_OK);
    ASSERT_EQ(builder->AddFilter(renderer.Get(), L"Renderer"), S_OK);
    ASSERT_TRUE(m.CaptureGraph->Play());
    ASSERT_EQ(m.CaptureGraph->State(), gsRunning);

    bool canClose = true;
    m.FormCloseQuery(&m, canClose);
    EXPECT_FALSE(canClose);
    ASSERT_EQ(windows.Boxes.Texts.size(), 1u);
    EXPECT_EQ(windows.Boxes.Texts[0], L"キャプチャ中は終了できません");

    m.CaptureGraph->Stop();
    windows.Boxes.Answers = {IDNO};
    canClose = true;
    m.FormCloseQuery(&m, canClose);
    EXPECT_FALSE(canClose);
    ASSERT_EQ(windows.Boxes.Texts.size(), 2u);
    EXPECT_EQ(windows.Boxes.Texts[1], L"終了してよろしいですか？") << "a stopped graph may close";
    builder.Reset();
    capture.Reset();
    m.CaptureGraph->ClearGraph();
}

}  // namespace
