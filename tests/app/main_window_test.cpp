// The main window built from its description: its controls with their
// texts and items, the settings shown and read back, the couplings, the
// three UI states, the close question, the heights and what is saved.
#include "tests/app/app_test_support.h"

#include <gtest/gtest.h>

namespace {

using apptest::ConfigDir;
using apptest::Narrow;
using apptest::ProgramWindows;
using apptest::ReadFileBytes;

std::vector<std::wstring> Items(TComboBox* c) { return c->ItemsVector(); }

TEST(MainWindow, DescriptionDeclaresEveryControlWithItsTexts) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    EXPECT_EQ(m.Caption(), L"Tavrel3");
    EXPECT_EQ(m.ClientWidth(), 427);
    EXPECT_EQ(m.Font().Charset(), SHIFTJIS_CHARSET);
    EXPECT_EQ(m.pngCaptureStart->Tag(), 1);
    EXPECT_EQ(m.pngCaptureAndiTunesStart->Tag(), 2);
    for (TPNGButton* b : {m.pngCaptureStart, m.pngCaptureAndiTunesStart, m.pngCaptureFinish,
                          m.pngBtnConfigDisplayChange, m.pngBtnChangeSaveDir, m.pngBtnCompressorListVideoConfig}) {
        EXPECT_FALSE(b->ImageNormal().Empty()) << Narrow(b->Name());
        EXPECT_FALSE(b->ImageOver().Empty()) << Narrow(b->Name());
        EXPECT_FALSE(b->ImageDown().Empty()) << Narrow(b->Name());
        EXPECT_TRUE(b->OnClick) << Narrow(b->Name());
    }
    EXPECT_EQ(m.CBRecRange->Caption(), L"録画中に録画範囲を表示する");
    EXPECT_EQ(m.lblTimeWait->Caption(), L"【録画開始時間まで待機しています】");
    EXPECT_FALSE(m.lblTimeWait->Visible());
    EXPECT_EQ(m.lblTimeWait->Font().Color(), clBlue);
    EXPECT_EQ(m.GBCaptureTime->Caption(), L"録画時間");
    EXPECT_EQ(m.lblCaptureTime->Caption(), L"（経過時間 00：00：00）");
    EXPECT_EQ(m.RBRecNow->Caption(), L"録画開始から録画時間まで録画する");
    EXPECT_EQ(m.RBRecStart->Caption(), L"録画開始から録画終了ボタンを押すまで録画する");
    EXPECT_EQ(m.RBRecTime->Caption(), L"録画開始時間から終了時間まで録画する");
    EXPECT_EQ(m.SERecTimeNN->MaxValue(), 999);
    EXPECT_EQ(m.SERecTimeNN->MaxLength(), 3);
    EXPECT_EQ(m.SERecTimeSS->MaxValue(), 59);
    EXPECT_EQ(m.SERecTimeSS->MaxLength(), 2);
    EXPECT_EQ(m.DateTimePickerStart->Kind(), dtkTime);
    EXPECT_EQ(m.GBSaveDir->Caption(), L"ファイル保存フォルダー");
    EXPECT_TRUE(m.EditSaveDir->ReadOnly());
    EXPECT_FALSE(m.EditSaveDir->TabStop());
    EXPECT_EQ(m.EditSaveDir->Color(), RGB(242, 242, 242));
    EXPECT_EQ(m.GBCapturePosSize->Caption(), L"キャプチャ位置/サイズ");
    for (TEdit* e : {m.EditCapturePosLeft, m.EditCapturePosTop, m.EditCapturePosRigth, m.EditCapturePosBottom}) {
        EXPECT_TRUE(e->ReadOnly());
        EXPECT_TRUE(e->OnChange);
    }
    EXPECT_EQ(m.GBPictureConfig->Caption(), L"映像設定");
    EXPECT_EQ(Items(m.CBCompressorListVideo).at(0), L"無圧縮");
    EXPECT_EQ(Items(m.CBFPS), (std::vector<std::wstring>{L"30", L"25", L"20", L"15", L"10"}));
    EXPECT_EQ(m.CBContainCursor->Caption(), L"マウスカーソルを含める");
    EXPECT_EQ(m.GBAudioConfig->Caption(), L"オーディオ設定");
    EXPECT_EQ(m.RBUseAudioDevice->Caption(), L"デバイスを選択して録音する");
    EXPECT_EQ(m.RBUseLoopBack->Caption(), L"ループバックを使用して録音する（Vista以降使用可能）");
    EXPECT_EQ(m.GB->Caption(), L"保存設定");
    EXPECT_EQ(
        Items(m.CBMovieSize),
        (std::vector<std::wstring>{L"指定範囲サイズ", L"iPod", L"iPod ワイド", L"iPhone/touch", L"iPhone/touch ワイド",
                                   L"iPad", L"iPad ワイド", L"iPad mini", L"iPad mini ワイド", L"音声のみ"}));
    EXPECT_EQ(Items(m.CBMovieType), (std::vector<std::wstring>{L"MPEG4", L"MPEG1", L"MP3"}));
    EXPECT_EQ(Items(m.CBMovieQuality), (std::vector<std::wstring>{L"最高画質", L"高画質", L"標準画質", L"低画質"}));
    EXPECT_FALSE(m.GBNotUseItem->Visible());
    EXPECT_EQ(m.GBNotUseItem->Caption(), L"使わないボタンたち～");
    int tag = 1;
    for (TPNGButton* b : {m.pngBtnCaptureSizeIPod, m.pngBtnCaptureSizeIPodWide, m.pngBtnCaptureSizeIPhone,
                          m.pngBtnCaptureSizeIPhoneWide, m.pngBtnCaptureSizeIPad, m.pngBtnCaptureSizeIPadWide}) {
        EXPECT_EQ(b->Tag(), tag++);
        EXPECT_FALSE(b->Visible());
    }
    for (TTimer* t : {m.TimerCaptureTime, m.TimerStartTime, m.TimerEndTime}) {
        EXPECT_FALSE(t->Enabled());
        EXPECT_EQ(t->Interval(), 500u);
        EXPECT_TRUE(t->OnTimer);
    }
    EXPECT_EQ(m.TimerRegistiTunes->Interval(), 1000u);
    EXPECT_FALSE(m.TimerRegistiTunes->Enabled());
    EXPECT_EQ(m.DosCommandConvert->ShowWindow(), swHIDE);
    EXPECT_EQ(m.DosCommandConvert->CreationFlag(), fCREATE_NEW_CONSOLE);
    EXPECT_TRUE(m.DosCommandConvert->OnNewLine);
    EXPECT_TRUE(m.DosCommandConvert->OnTerminated);
}

TEST(MainWindow, FirstStartShowsTheDefaultsExpandedAtTheCorner) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    EXPECT_TRUE(windows.Boxes.Texts.empty()) << Narrow(windows.Boxes.Texts.front());
    EXPECT_TRUE(DirectoryExists(ConfigDir()));
    EXPECT_EQ(m.FConfigDir, ConfigDir());
    EXPECT_FALSE(FileExists(ConfigDir() + L"config.ini")) << "written only at exit";
    EXPECT_EQ(m.Left(), 0);
    EXPECT_EQ(m.Top(), 0);
    EXPECT_EQ(m.Height(), ExpandedHeight);
    EXPECT_TRUE(m.IsExpanded());
    EXPECT_EQ(m.EditSaveDir->Text(), ConfigDir());
    EXPECT_EQ(m.CBFPS->Text(), L"30");
    EXPECT_EQ(m.CBCompressorListVideo->ItemIndex(), 0);
    EXPECT_FALSE(m.pngBtnCompressorListVideoConfig->Enabled());
    EXPECT_TRUE(m.RBUseAudioDevice->Checked());
    EXPECT_TRUE(m.RBRecNow->Checked());
    EXPECT_EQ(m.CBMovieSize->ItemIndex(), 0);
    EXPECT_EQ(m.CBMovieType->ItemIndex(), 0);
    EXPECT_EQ(m.CBMovieQuality->ItemIndex(), 0);
    EXPECT_FALSE(m.pngCaptureFinish->Enabled());
    EXPECT_TRUE(m.SERecTimeNN->Enabled());
    EXPECT_FALSE(m.DateTimePickerStart->Enabled());
    EXPECT_EQ(m.DateTimePickerStart->Color(), clBtnFace);
    EXPECT_TRUE(TFormMain::IsVistaOrLater()) << "Wine reports 6.1";
    EXPECT_TRUE(m.FLoopbackAvailable);
    EXPECT_TRUE(m.RBUseLoopBack->Enabled());
    // The pickers start at the next whole minute and one hour later.
    const TDateTime start = m.DateTimePickerStart->Time();
    const TDateTime end = m.DateTimePickerEnd->Time();
    const int startMin = static_cast<int>(Round(start * 1440));
    EXPECT_EQ((startMin + 60) % 1440, static_cast<int>(Round(end * 1440)));
    const TTimeParts now = DecodeTime(Now());
    const int nowMin = now.Hour * 60 + now.Minute;
    EXPECT_TRUE(startMin == (nowMin + 1) % 1440 || startMin == nowMin) << startMin << " " << nowMin;
}

TEST(MainWindow, SavedSettingsAreShownAndComeBack) {
    ProgramWindows windows(
        "FPS=15\r\nCONTAIN_CURSOR=1\r\nREC_LIMIT_NN=12\r\nREC_LIMIT_SS=34\r\nUSE_LOOPBACK=1\r\nREC_RANGE=1\r\n"
        "QUALITY=3\r\nCATEGORY=4\r\nMOVIE_TYPE=1\r\n");
    TFormMain& m = *FormMain;
    EXPECT_EQ(m.CBFPS->Text(), L"15");
    EXPECT_TRUE(m.CBContainCursor->Checked());
    EXPECT_EQ(m.SERecTimeNN->Value(), 12);
    EXPECT_EQ(m.SERecTimeSS->Value(), 34);
    EXPECT_TRUE(m.RBUseLoopBack->Checked());
    EXPECT_FALSE(m.CBAudioDeviceName->Enabled());
    EXPECT_TRUE(m.CBRecRange->Checked());
    EXPECT_EQ(m.CBMovieQuality->ItemIndex(), 2);
    EXPECT_EQ(m.CBMovieSize->ItemIndex(), 4);
    EXPECT_EQ(m.CBMovieType->ItemIndex(), 1);

    MvCaptureAndConvertInfo before = *m.FSettings;
    *m.FSettings = MvCaptureAndConvertInfo();
    m.UiToSettings();
    const MvCaptureAndConvertInfo& after = *m.FSettings;
    EXPECT_EQ(after.Fps, before.Fps);
    EXPECT_EQ(after.ContainCursor, before.ContainCursor);
    EXPECT_EQ(after.RecLimitNN, 12);
    EXPECT_EQ(after.RecLimitSS, 34);
    EXPECT_TRUE(after.UseLoopback);
    EXPECT_TRUE(after.RecRange);
    EXPECT_EQ(after.Quality, 3);
    EXPECT_EQ(after.Category, 4);
    EXPECT_EQ(after.MovieType, 1);
    EXPECT_EQ(after.SaveDir, ConfigDir());
    EXPECT_EQ(after.Compressor, L"");
}

TEST(MainWindow, StoredValuesThatMatchNothingFallBack) {
    ProgramWindows windows(
        "FPS=24\r\nCOMPRESSOR=Gone Codec\r\nREC_LIMIT_NN=5000\r\nREC_LIMIT_SS=75\r\n"
        "MOVIE_TYPE=2\r\nCATEGORY=3\r\nQUALITY=9\r\nSOURCE_NAME=Line\r\nDEVICE_NAME=Mic\r\n");
    TFormMain& m = *FormMain;
    EXPECT_EQ(m.CBFPS->Text(), L"30");
    EXPECT_EQ(m.CBCompressorListVideo->Text(), L"無圧縮");
    EXPECT_EQ(m.SERecTimeNN->Value(), 999);
    EXPECT_EQ(m.SERecTimeSS->Value(), 59);
    EXPECT_EQ(m.CBMovieSize->Text(), L"iPhone/touch");
    EXPECT_EQ(m.CBMovieType->Text(), L"MPEG4");
    EXPECT_EQ(m.CBMovieQuality->ItemIndex(), 0) << "quality 9 leaves the combo as it was";
    // No audio capture device at all: a category nothing is registered in.
    const GUID nothing{0x5E1D7C20, 0x0A4B, 0x4C7E, {0x9D, 0x33, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F}};
    m.FAudioDevices->SelectCategory(nothing);
    m.FillAudioDevices();
    EXPECT_EQ(m.CBAudioDeviceName->Items().Count(), 0);
    m.UiToSettings();
    EXPECT_EQ(m.FSettings->Fps, 30);
    EXPECT_EQ(m.FSettings->Compressor, L"");
    EXPECT_EQ(m.FSettings->MovieType, mtMpeg4);
    EXPECT_EQ(m.FSettings->DeviceName, L"") << "no audio capture device";
    EXPECT_EQ(m.FSettings->SourceName, L"Line") << "kept without a device";
}

TEST(MainWindow, SoundOnlyLocksFormatAndQuality) {
    ProgramWindows windows("CATEGORY=9\r\nMOVIE_TYPE=0\r\nQUALITY=4\r\n");
    TFormMain& m = *FormMain;
    EXPECT_EQ(m.CBMovieSize->Text(), L"音声のみ");
    EXPECT_EQ(m.CBMovieType->Text(), L"MP3");
    EXPECT_EQ(m.CBMovieQuality->Text(), L"最高画質");
    EXPECT_FALSE(m.CBMovieType->Enabled());
    EXPECT_FALSE(m.CBMovieQuality->Enabled());

    m.CBMovieSize->SetItemIndex(2);
    m.CBMovieSizeChange(m.CBMovieSize);
    EXPECT_EQ(m.CBMovieType->Text(), L"MPEG4");
    EXPECT_TRUE(m.CBMovieType->Enabled());
    EXPECT_TRUE(m.CBMovieQuality->Enabled());

    m.CBMovieQuality->SetItemIndex(3);
    m.CBMovieType->SetItemIndex(2);
    m.CBMovieTypeChange(m.CBMovieType);
    EXPECT_EQ(m.CBMovieSize->ItemIndex(), 9);
    EXPECT_EQ(m.CBMovieQuality->ItemIndex(), 0);
    EXPECT_FALSE(m.CBMovieType->Enabled());
    EXPECT_FALSE(m.CBMovieQuality->Enabled());

    m.CBMovieSize->SetItemIndex(0);
    m.CBMovieSizeChange(m.CBMovieSize);
    m.CBMovieType->SetItemIndex(1);
    m.CBMovieTypeChange(m.CBMovieType);
    EXPECT_EQ(m.CBMovieSize->ItemIndex(), 0);
    EXPECT_TRUE(m.CBMovieType->Enabled());
}

TEST(MainWindow, ModeRadiosSwitchTheLimitAndThePickers) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    struct Case {
        TRadioButton* radio;
        bool spins, pickers;
    } cases[] = {{m.RBRecStart, false, false}, {m.RBRecTime, false, true}, {m.RBRecNow, true, false}};
    for (const Case& c : cases) {
        c.radio->SetChecked(true);
        m.RBRecNowClick(c.radio);
        for (TSpinEdit* e : {m.SERecTimeNN, m.SERecTimeSS}) {
            EXPECT_EQ(e->Enabled(), c.spins) << Narrow(c.radio->Name());
            EXPECT_EQ(e->Color(), c.spins ? clWindow : clBtnFace);
        }
        for (TDateTimePicker* p : {m.DateTimePickerStart, m.DateTimePickerEnd}) {
            EXPECT_EQ(p->Enabled(), c.pickers) << Narrow(c.radio->Name());
            EXPECT_EQ(p->Color(), c.pickers ? clWindow : clBtnFace);
        }
    }
    m.RBUseLoopBack->SetChecked(true);
    m.RBUseAudioDeviceClick(m.RBUseLoopBack);
    EXPECT_FALSE(m.CBAudioDeviceName->Enabled());
    EXPECT_FALSE(m.CBAudioSourseName->Enabled());
    m.RBUseAudioDevice->SetChecked(true);
    m.RBUseAudioDeviceClick(m.RBUseAudioDevice);
    EXPECT_TRUE(m.CBAudioSourseName->Enabled());

    m.CBCompressorListVideo->Items().Add(L"Codec");
    m.CBCompressorListVideo->SetItemIndex(1);
    m.CBCompressorListVideoChange(m.CBCompressorListVideo);
    EXPECT_TRUE(m.pngBtnCompressorListVideoConfig->Enabled());
    m.CBCompressorListVideo->SetItemIndex(0);
    m.CBFPS->OnChange(m.CBFPS);
    EXPECT_FALSE(m.pngBtnCompressorListVideoConfig->Enabled());
}

TEST(MainWindow, WithoutLoopbackTheDeviceRadioHoldsAndSavesZero) {
    ProgramWindows windows("USE_LOOPBACK=1\r\n");
    TFormMain& m = *FormMain;
    m.FLoopbackAvailable = false;
    m.SettingsToUi();
    EXPECT_TRUE(m.RBUseAudioDevice->Checked());
    EXPECT_FALSE(m.RBUseLoopBack->Enabled());
    m.UiToSettings();
    EXPECT_FALSE(m.FSettings->UseLoopback);
    m.SetUiState(usRecording);
    m.SetUiState(usIdle);
    EXPECT_FALSE(m.RBUseLoopBack->Enabled());
}

TEST(MainWindow, CaptureEditsFillTheRectangleAndTheLabel) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    m.EditCapturePosLeft->SetText(L"10");
    m.EditCapturePosTop->SetText(L"20");
    m.EditCapturePosRigth->SetText(L"650");
    m.EditCapturePosBottom->SetText(L"500");
    EXPECT_EQ(m.lblCapturePosSize->Caption(), L"（幅：640　高さ：480）");
    EXPECT_EQ(m.FSettings->CapturePosRight, 650);
    m.EditCapturePosTop->SetText(L"x");
    EXPECT_EQ(m.lblCapturePosSize->Caption(), L"（幅：0　高さ：0）");
    EXPECT_EQ(m.FSettings->CapturePosTop, 20) << "kept from before";
    m.CBRecRange->SetChecked(true);
    m.CBRecRangeClick(m.CBRecRange);
    EXPECT_TRUE(m.FSettings->RecRange) << "at once";
}

std::vector<TControl*> StateControls(TFormMain& m) {
    return {m.pngBtnChangeSaveDir,
            m.pngBtnCaptureSizeIPod,
            m.pngBtnCaptureSizeIPodWide,
            m.pngBtnCaptureSizeIPhone,
            m.pngBtnCaptureSizeIPhoneWide,
            m.pngBtnCaptureSizeIPad,
            m.pngBtnCaptureSizeIPadWide,
            m.SERecTimeNN,
            m.SERecTimeSS,
            m.CBCompressorListVideo,
            m.pngBtnCompressorListVideoConfig,
            m.CBFPS,
            m.CBContainCursor,
            m.RBUseAudioDevice,
            m.CBAudioDeviceName,
            m.CBAudioSourseName,
            m.RBUseLoopBack,
            m.CBMovieSize,
            m.CBMovieQuality,
            m.CBMovieType,
            m.pngCaptureStart,
            m.pngCaptureAndiTunesStart,
            m.RBRecNow,
            m.RBRecTime,
            m.RBRecStart,
            m.DateTimePickerStart,
            m.DateTimePickerEnd,
            m.CBRecRange};
}

TEST(MainWindow, RecordingAndIdleStatesSwitchEveryControl) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    m.SetUiState(usRecording);
    for (TControl* c : StateControls(m)) EXPECT_FALSE(c->Enabled()) << Narrow(c->Name());
    EXPECT_TRUE(m.pngCaptureFinish->Enabled());
    EXPECT_FALSE(FormCaptureSize->Visible()) << "hidden while recording";

    m.SetUiState(usIdle);
    for (TControl* c : StateControls(m)) EXPECT_TRUE(c->Enabled()) << Narrow(c->Name());
    EXPECT_FALSE(m.pngCaptureFinish->Enabled());
    EXPECT_TRUE(FormCaptureSize->Visible());
    EXPECT_EQ(m.lblCaptureTime->Caption(), L"（経過時間 00：00：00）");

    // Sound only and the loopback radio leave their dependants disabled.
    m.CBMovieSize->SetItemIndex(9);
    m.CBMovieSizeChange(m.CBMovieSize);
    m.RBUseLoopBack->SetChecked(true);
    m.SetUiState(usRecording);
    m.SetUiState(usIdle);
    EXPECT_FALSE(m.CBMovieType->Enabled());
    EXPECT_FALSE(m.CBMovieQuality->Enabled());
    EXPECT_FALSE(m.CBAudioDeviceName->Enabled());
    EXPECT_FALSE(m.CBAudioSourseName->Enabled());
}

TEST(MainWindow, TimeOfDayRecordingLeavesTheFrameShown) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    m.RBRecTime->SetChecked(true);
    m.SetUiState(usRecording);
    EXPECT_TRUE(FormCaptureSize->Visible());
    EXPECT_FALSE(m.RBRecTime->Enabled());
}

TEST(MainWindow, CloseQueryRefusesWhileBusyAndAsksOtherwise) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    bool canClose = true;
    m.SetEnabled(false);
    m.FormCloseQuery(&m, canClose);
    EXPECT_FALSE(canClose);
    m.SetEnabled(true);
    m.TimerStartTime->SetEnabled(true);
    canClose = true;
    m.FormCloseQuery(&m, canClose);
    EXPECT_FALSE(canClose);
    m.TimerStartTime->SetEnabled(false);
    windows.Boxes.Answers = {IDNO, IDYES};
    canClose = true;
    m.FormCloseQuery(&m, canClose);
    EXPECT_FALSE(canClose);
    m.FormCloseQuery(&m, canClose);
    EXPECT_TRUE(canClose);
    ASSERT_EQ(windows.Boxes.Texts.size(), 4u);
    EXPECT_EQ(windows.Boxes.Texts[0], L"キャプチャ中は終了できません");
    EXPECT_EQ(windows.Boxes.Texts[1], L"録画待機中は終了できません");
    EXPECT_EQ(windows.Boxes.Texts[2], L"終了してよろしいですか？");
    EXPECT_EQ(windows.Boxes.Captions[2], L"Tavrel3");
    EXPECT_EQ(windows.Boxes.Flags[2] & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));

    // No keeps the window open and saves nothing.
    windows.Boxes.Answers = {IDNO};
    m.Close();
    ProgramWindows::Pump();
    EXPECT_FALSE(Application->Terminated());
    EXPECT_FALSE(FileExists(ConfigDir() + L"config.ini"));
}

TEST(MainWindow, ToggleButtonAlternatesTheHeights) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    m.pngBtnConfigDisplayChange->OnClick(m.pngBtnConfigDisplayChange);
    EXPECT_EQ(m.Height(), CollapsedHeight);
    EXPECT_FALSE(m.GBSaveDir->Visible());
    EXPECT_FALSE(m.IsExpanded());
    EXPECT_GE(m.CBRecRange->Top(), m.ClientHeight()) << "everything from the red-frame option down is outside";
    m.pngBtnConfigDisplayChange->OnClick(m.pngBtnConfigDisplayChange);
    EXPECT_EQ(m.Height(), ExpandedHeight);
    EXPECT_TRUE(m.GBSaveDir->Visible());
}

TEST(MainWindow, DestroySavesTheControlsInWriteOrder) {
    {
        ProgramWindows windows;
        FormMain->CBFPS->SetItemIndex(3);
        FormMain->CBMovieQuality->SetItemIndex(1);
    }
    const std::string ini = ReadFileBytes(ConfigDir() + L"config.ini");
    const char* keys[] = {"COMPRESSOR=",      "USE_LOOPBACK=",  "DEVICE_NAME=",   "SOURCE_NAME=", "FPS=15",
                          "QUALITY=2",        "CATEGORY=0",     "MOVIE_TYPE=0",   "SAVEDIR=",     "OPENDIR=1",
                          "CONTAIN_CURSOR=0", "REC_LIMIT_NN=0", "REC_LIMIT_SS=0", "REC_RANGE=0"};
    size_t at = 0;
    for (const char* key : keys) {
        const size_t found = ini.find(std::string("\n") + key, at);
        ASSERT_NE(found, std::string::npos) << key << "\n" << ini;
        at = found + 1;
    }
}

TEST(MainWindow, DummySoundIsOpenedPlayedAndPaused) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    ASSERT_TRUE(FileExists(testsupport::ProgramFolder() + L"dummy.mp3"));
    m.PlayDummySound();
    EXPECT_TRUE(m.DummySound().IsOpen());
    EXPECT_EQ(m.DummySound().Mode(), L"paused");

    const size_t shown = windows.Boxes.Texts.size();
    m.PlayDummySoundFile(testsupport::ProgramFolder() + L"no such dummy.mp3");
    ASSERT_EQ(windows.Boxes.Texts.size(), shown + 1);
    EXPECT_EQ(windows.Boxes.Texts.back(), L"dummy file not exists");

    const std::wstring odd = apptest::ScratchFolder(L"mci") + L"dummy.unknownkind";
    apptest::WriteFileBytes(odd, "not a sound");
    EXPECT_THROW(m.PlayDummySoundFile(odd), EMciError);
    EXPECT_FALSE(m.DummySound().IsOpen());
}

TEST(ProgressDialog, OperationsDriveItsControls) {
    ProgramWindows windows;
    TFormProgress& p = *FormProgress;
    EXPECT_EQ(p.Caption(), L"進捗状況");
    EXPECT_EQ(p.ClientWidth(), 409);
    EXPECT_EQ(p.ClientHeight(), 114);
    EXPECT_EQ(p.LabelStatus->Caption(), L"") << "replaced at creation";
    EXPECT_EQ(p.BtnCancel->Caption(), L"キャンセル");
    EXPECT_EQ(p.BtnOpenDir->Caption(), L"保存先を開く");
    EXPECT_EQ(p.BtnClose->Caption(), L"閉じる");
    p.SetRange(0, 10);
    p.SetPosition(25);
    EXPECT_EQ(p.ProgressBarStatus->Position(), 10);
    p.EnableClose(false);
    EXPECT_FALSE(p.BtnClose->Enabled());
    EXPECT_TRUE(p.BtnCancel->Enabled());
    windows.Boxes.Answers = {IDNO, IDYES};
    p.BtnCancelClick(p.BtnCancel);
    EXPECT_FALSE(p.Cancelled());
    p.BtnCancelClick(p.BtnCancel);
    EXPECT_TRUE(p.Cancelled());

    // Centred over the main window each time it is shown.
    for (int left : {0, 300}) {
        FormMain->SetLeft(left);
        p.Show();
        EXPECT_FALSE(p.Cancelled());
        EXPECT_EQ(p.Left(), left + (FormMain->Width() - p.Width()) / 2);
        p.Hide();
    }
    FormMain->SetEnabled(false);
    p.Show();
    p.BtnCloseClick(p.BtnClose);
    EXPECT_FALSE(p.Visible());
    EXPECT_TRUE(FormMain->Enabled());
}

}  // namespace

namespace {

// Answers the shell's folder browser from another thread once it is shown,
// noting whether the main window was disabled meanwhile.
struct BrowserAnswer {
    int Button = IDCANCEL;
    bool Seen = false;
    bool MainDisabled = false;
    HWND Main = nullptr;
};

DWORD WINAPI AnswerBrowser(void* data) {
    auto* answer = static_cast<BrowserAnswer*>(data);
    for (int i = 0; i < 600; ++i) {
        HWND dialog = FindWindowW(L"#32770", L"フォルダーの参照");
        if (dialog && IsWindowVisible(dialog)) {
            answer->Seen = true;
            answer->MainDisabled = !IsWindowEnabled(answer->Main);
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(answer->Button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, answer->Button)));
            return 0;
        }
        Sleep(50);
    }
    return 0;
}

TEST(MainWindow, FolderBrowserChangesTheSaveFolderOnlyOnOk) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    const std::wstring before = m.EditSaveDir->Text();
    for (int button : {IDCANCEL, IDOK}) {
        BrowserAnswer answer;
        answer.Button = button;
        answer.Main = m.Handle();
        TKernelHandle thread(CreateThread(nullptr, 0, AnswerBrowser, &answer, 0, nullptr));
        ASSERT_TRUE(thread.Valid());
        m.pngBtnChangeSaveDirClick(m.pngBtnChangeSaveDir);
        WaitForSingleObject(thread.Get(), 60000);
        ASSERT_TRUE(answer.Seen);
        EXPECT_TRUE(answer.MainDisabled) << "the other windows are disabled while it is open";
        EXPECT_TRUE(IsWindowEnabled(m.Handle()));
        if (button == IDCANCEL) {
            EXPECT_EQ(m.EditSaveDir->Text(), before);
        } else {
            const std::wstring chosen = m.EditSaveDir->Text();
            ASSERT_FALSE(chosen.empty());
            EXPECT_EQ(chosen.back(), L'\\');
            EXPECT_TRUE(DirectoryExists(chosen));
        }
    }
}

}  // namespace
