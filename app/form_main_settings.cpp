// The main window's settings view: the record shown in the controls and
// read back, the couplings between controls, the capture edits and the
// three UI states.
#include "app/form_capture_size.h"
#include "app/form_main.h"
#include "classlib/runtime/files.h"
#include "classlib/runtime/text.h"
#include "classlib/ui/shell.h"

namespace {

// Whole minutes of a day as a time-of-day value.
TDateTime MinuteOfDay(int minutes) {
    minutes %= 24 * 60;
    return EncodeTime(minutes / 60, minutes % 60, 0, 0);
}

}  // namespace

void TFormMain::SettingsToUi() {
    MvCaptureAndConvertInfo& S = *FSettings;
    EditSaveDir->SetText(S.SaveDir);
    const int fps = CBFPS->FindItem(IntToStr(S.Fps));
    CBFPS->SetItemIndex(fps >= 0 ? fps : 0);
    CBContainCursor->SetChecked(S.ContainCursor);
    if (!S.Compressor.empty()) {
        const int i = CBCompressorListVideo->FindItem(S.Compressor);
        if (i >= 0) CBCompressorListVideo->SetItemIndex(i);
    }
    if (CBCompressorListVideo->ItemIndex() < 0) CBCompressorListVideo->SetItemIndex(0);
    CBCompressorListVideoChange(CBCompressorListVideo);
    SERecTimeNN->SetValue(S.RecLimitNN);
    SERecTimeSS->SetValue(S.RecLimitSS);
    if (FLoopbackAvailable) {
        RBUseAudioDevice->SetChecked(!S.UseLoopback);
        RBUseLoopBack->SetChecked(S.UseLoopback);
        RBUseLoopBack->SetEnabled(true);
    } else {
        RBUseAudioDevice->SetChecked(true);
        RBUseLoopBack->SetEnabled(false);
    }
    if (!S.DeviceName.empty()) {
        const int device = CBAudioDeviceName->FindItem(S.DeviceName);
        if (device >= 0) {
            CBAudioDeviceName->SetItemIndex(device);
            CBAudioDeviceNameChange(CBAudioDeviceName);
            const int line = CBAudioSourseName->FindItem(S.SourceName);
            if (line >= 0) {
                CBAudioSourseName->SetItemIndex(line);
                CBAudioSourseNameChange(CBAudioSourseName);
            }
        }
    }
    RBUseAudioDeviceClick(RBUseAudioDevice);
    CBRecRange->SetChecked(S.RecRange);
    if (S.Quality <= mqLow) CBMovieQuality->SetItemIndex(S.Quality == 0 ? 0 : S.Quality - 1);
    if (S.Category <= oscAudioOnly) CBMovieSize->SetItemIndex(S.Category);
    if (S.MovieType <= mtMp3) CBMovieType->SetItemIndex(S.MovieType);
    CBMovieSizeChange(CBMovieSize);
}

void TFormMain::UiToSettings() {
    MvCaptureAndConvertInfo& S = *FSettings;
    S.SaveDir = EditSaveDir->Text();
    int fps = 30;
    if (CBFPS->ItemIndex() < 0 || !TryStrToInt(CBFPS->Text(), fps)) fps = 30;
    S.Fps = fps;
    S.Compressor = CBCompressorListVideo->ItemIndex() > 0 ? CBCompressorListVideo->Text() : L"";
    S.ContainCursor = CBContainCursor->Checked();
    S.RecLimitNN = SERecTimeNN->Value();
    S.RecLimitSS = SERecTimeSS->Value();
    S.UseLoopback = FLoopbackAvailable && RBUseLoopBack->Checked();
    if (CBAudioDeviceName->ItemIndex() < 0) {
        S.DeviceName.clear();
    } else {
        S.DeviceName = CBAudioDeviceName->Text();
        S.SourceName = CBAudioSourseName->ItemIndex() >= 0 ? CBAudioSourseName->Text() : L"";
    }
    S.RecRange = CBRecRange->Checked();
    if (CBMovieQuality->ItemIndex() >= 0) S.Quality = static_cast<TMovieQuality>(CBMovieQuality->ItemIndex() + 1);
    const int size = CBMovieSize->ItemIndex();
    if (size >= 0 && size <= oscAudioOnly) S.Category = static_cast<TOutputSizeCategory>(size);
    const int type = CBMovieType->ItemIndex();
    if (type >= 0 && type <= mtMp3) S.MovieType = static_cast<TMovieType>(type);
}

void TFormMain::ReadCaptureEdits() {
    MvCaptureAndConvertInfo& S = *FSettings;
    TEdit* const edits[] = {EditCapturePosLeft, EditCapturePosRigth, EditCapturePosTop, EditCapturePosBottom};
    std::int32_t* const fields[] = {&S.CapturePosLeft, &S.CapturePosRight, &S.CapturePosTop, &S.CapturePosBottom};
    for (int i = 0; i < 4; ++i) {
        int v = 0;
        if (!TryStrToInt(edits[i]->Text(), v)) {
            lblCapturePosSize->SetCaption(L"（幅：0　高さ：0）");
            return;
        }
        *fields[i] = v;
    }
    const POINT size = S.CaptureSize();
    lblCapturePosSize->SetCaption(L"（幅：" + IntToStr(size.x) + L"　高さ：" + IntToStr(size.y) + L"）");
}

void TFormMain::ShowCaptureRect(const RECT& Rect) {
    EditCapturePosLeft->SetText(IntToStr(Rect.left));
    EditCapturePosTop->SetText(IntToStr(Rect.top));
    EditCapturePosRigth->SetText(IntToStr(Rect.right));
    EditCapturePosBottom->SetText(IntToStr(Rect.bottom));
}

void TFormMain::EditCapturePosSizeChange(TObject*) {
    // The edits are written while the window is still being built.
    if (FSettings) ReadCaptureEdits();
}

void TFormMain::CBRecRangeClick(TObject*) {
    if (FSettings) FSettings->RecRange = CBRecRange->Checked();
}

void TFormMain::CBMovieSizeChange(TObject*) {
    if (CBMovieSize->ItemIndex() == oscAudioOnly) {
        CBMovieType->SetEnabled(false);
        CBMovieType->SetItemIndex(mtMp3);
        CBMovieQuality->SetEnabled(false);
        CBMovieQuality->SetItemIndex(0);
    } else {
        CBMovieType->SetEnabled(true);
        CBMovieQuality->SetEnabled(true);
        if (CBMovieType->ItemIndex() == mtMp3) CBMovieType->SetItemIndex(mtMpeg4);
    }
}

void TFormMain::CBMovieTypeChange(TObject*) {
    if (CBMovieType->ItemIndex() == mtMp3) {
        CBMovieSize->SetItemIndex(oscAudioOnly);
        CBMovieType->SetEnabled(false);
        CBMovieQuality->SetEnabled(false);
        CBMovieQuality->SetItemIndex(0);
    } else {
        CBMovieType->SetEnabled(true);
        CBMovieQuality->SetEnabled(true);
    }
}

void TFormMain::RBRecNowClick(TObject*) {
    bool spins, pickers;
    if (RBRecNow->Checked()) {
        spins = true;
        pickers = false;
    } else if (RBRecStart->Checked()) {
        spins = false;
        pickers = false;
    } else {
        spins = false;
        pickers = true;
    }
    for (TSpinEdit* e : {SERecTimeNN, SERecTimeSS}) {
        e->SetEnabled(spins);
        e->SetColor(spins ? clWindow : clBtnFace);
    }
    for (TDateTimePicker* p : {DateTimePickerStart, DateTimePickerEnd}) {
        p->SetEnabled(pickers);
        p->SetColor(pickers ? clWindow : clBtnFace);
    }
}

void TFormMain::RBUseAudioDeviceClick(TObject*) {
    const bool device = RBUseAudioDevice->Checked();
    CBAudioDeviceName->SetEnabled(device);
    CBAudioSourseName->SetEnabled(device);
}

void TFormMain::CBCompressorListVideoChange(TObject*) {
    pngBtnCompressorListVideoConfig->SetEnabled(CBCompressorListVideo->ItemIndex() != 0);
}

void TFormMain::pngBtnChangeSaveDirClick(TObject*) {
    const auto chosen = BrowseForFolder(Handle(), L"ファイルを保存するフォルダーを選択してください");
    if (chosen) EditSaveDir->SetText(IncludeTrailingPathDelimiter(*chosen));
}

void TFormMain::SetUiState(TUiState State) {
    TPNGButton* const presets[] = {pngBtnCaptureSizeIPod,       pngBtnCaptureSizeIPodWide, pngBtnCaptureSizeIPhone,
                                   pngBtnCaptureSizeIPhoneWide, pngBtnCaptureSizeIPad,     pngBtnCaptureSizeIPadWide};
    switch (State) {
    case usInitial: {
        SettingsToUi();
        for (TEdit* e : {EditCapturePosLeft, EditCapturePosTop, EditCapturePosRigth, EditCapturePosBottom})
            e->SetText(L"0");
        SetBounds(0, 0, Width(), Height());
        pngCaptureFinish->SetEnabled(false);
        const TTimeParts now = DecodeTime(Now());
        const int start = now.Hour * 60 + now.Minute + 1;
        DateTimePickerStart->SetDateTime(MinuteOfDay(start));
        DateTimePickerEnd->SetDateTime(MinuteOfDay(start + 60));
        RBRecNowClick(RBRecNow);
        SetExpanded(true);
        break;
    }
    case usRecording: {
        pngBtnChangeSaveDir->SetEnabled(false);
        for (TPNGButton* b : presets) b->SetEnabled(false);
        for (TControl* c : std::initializer_list<TControl*>{
                 SERecTimeNN, SERecTimeSS, CBCompressorListVideo, pngBtnCompressorListVideoConfig, CBFPS,
                 CBContainCursor, RBUseAudioDevice, CBAudioDeviceName, CBAudioSourseName, RBUseLoopBack, CBMovieSize,
                 CBMovieQuality, CBMovieType, pngCaptureStart, pngCaptureAndiTunesStart})
            c->SetEnabled(false);
        pngCaptureFinish->SetEnabled(true);
        for (TControl* c : std::initializer_list<TControl*>{RBRecNow, RBRecTime, RBRecStart, DateTimePickerStart,
                                                            DateTimePickerEnd, CBRecRange})
            c->SetEnabled(false);
        if (!RBRecTime->Checked()) {
            if (FormCaptureSize) FormCaptureSize->Hide();
            SetWindowPos(Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        }
        break;
    }
    case usIdle: {
        pngBtnChangeSaveDir->SetEnabled(true);
        if (FormCaptureSize) FormCaptureSize->Show();
        for (TPNGButton* b : presets) b->SetEnabled(true);
        for (TControl* c : std::initializer_list<TControl*>{SERecTimeNN, SERecTimeSS, CBCompressorListVideo,
                                                            pngBtnCompressorListVideoConfig, CBFPS, CBContainCursor,
                                                            RBUseAudioDevice})
            c->SetEnabled(true);
        if (FLoopbackAvailable) RBUseLoopBack->SetEnabled(true);
        CBAudioDeviceName->SetEnabled(RBUseAudioDevice->Checked());
        CBAudioSourseName->SetEnabled(RBUseAudioDevice->Checked());
        CBMovieSize->SetEnabled(true);
        if (CBMovieSize->ItemIndex() != oscAudioOnly) {
            CBMovieQuality->SetEnabled(true);
            CBMovieType->SetEnabled(true);
        }
        pngCaptureStart->SetEnabled(true);
        pngCaptureAndiTunesStart->SetEnabled(true);
        pngCaptureFinish->SetEnabled(false);
        for (TControl* c : std::initializer_list<TControl*>{RBRecNow, RBRecTime, RBRecStart, DateTimePickerStart,
                                                            DateTimePickerEnd, CBRecRange})
            c->SetEnabled(true);
        SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        lblCaptureTime->SetCaption(L"（経過時間 00：00：00）");
        break;
    }
    }
}
