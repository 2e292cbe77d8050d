#include "app/form_main.h"

#include "app/form_capture_size.h"
#include "app/form_progress.h"
#include "classlib/runtime/files.h"
#include "classlib/runtime/text.h"
#include "classlib/ui/shell.h"

#include <algorithm>

TFormMain* FormMain = nullptr;

namespace {

// The non-visual classes the main window's description declares. Naming
// them here also links their code into the program.
void RegisterProgramClasses() {
    static const bool done = [] {
        RegisterMediaGraphClasses();
        RegisterComponentClass<TDosCommand>(L"TDosCommand");
        return true;
    }();
    (void)done;
}

}  // namespace

TFormMain::TFormMain(TComponent* AOwner) : TForm(AOwner) {
    RegisterProgramClasses();
    // The first form made is the application's main form; the frames look
    // it up while their own descriptions load.
    if (!Application->MainForm()) Application->SetMainForm(this);
    FormMain = this;
    LoadFromResource(L"TFORMMAIN");
    SetMessageHandler(WM_RECORDING_FAILED, [this](TMessage&) { RecordingFailed(); });
}

TFormMain::~TFormMain() {
    if (FormMain == this) FormMain = nullptr;
}

void TFormMain::FormCreate(TObject*) {
    FLoopbackAvailable = IsVistaOrLater();
    try {
        PlayDummySound();
    } catch (...) {
        ShowMessage(L"MCIの初期化に失敗しました");
    }
    InitConfigDir();
    FSettings = std::make_unique<MvCaptureAndConvertInfo>();
    FSettings->LoadFromIni(FConfigDir + L"config.ini");
    FAudioDevices = std::make_unique<TSysDevEnum>(CLSID_AudioInputDeviceCategory);
    FCompressors = std::make_unique<TMvCompressorManager>();
    CBCompressorListVideo->Items().Clear();
    CBCompressorListVideo->Items().Add(L"無圧縮");
    // Combo item i (from 1) is catalogue entry i - 1.
    for (int i = 0; i < FCompressors->Count(); ++i) {
        std::wstring name;
        FCompressors->GetName(i, name);
        CBCompressorListVideo->Items().Add(name);
    }
    FSavedInputs = std::make_unique<TStringList>();
    SaveAudioInputStates();
    FillAudioDevices();
    FRecStart = Now();
    SetUiState(usInitial);
}

void TFormMain::FormShow(TObject*) {
    // The frame and the dialog are made after this window, so they are
    // followed from its first showing on.
    if (FormProgress) FormProgress->OnClosed = [this](TObject*) { ProgressClosed(); };
    if (!FormCaptureSize) return;
    if (!FormCaptureSize->OnCaptureRectChanged) {
        // Starting with where the frame stands now.
        FormCaptureSize->OnCaptureRectChanged = [this](TObject*, const RECT& r) { ShowCaptureRect(r); };
        ShowCaptureRect(FormCaptureSize->CaptureRect());
    }
    FormCaptureSize->Show();
}

void TFormMain::ProgressClosed() {
    SetEnabled(true);
    SetUiState(usIdle);
    SetForegroundWindow(Handle());
}

void TFormMain::FormCloseQuery(TObject*, bool& CanClose) {
    if ((CaptureGraph && CaptureGraph->State() == gsRunning) || !Enabled()) {
        ShowMessage(L"キャプチャ中は終了できません");
        CanClose = false;
        return;
    }
    if (TimerStartTime->Enabled()) {
        ShowMessage(L"録画待機中は終了できません");
        CanClose = false;
        return;
    }
    CanClose = Application->ShowMessageBox(L"終了してよろしいですか？", Application->Title(), MB_YESNO) == IDYES;
}

void TFormMain::FormDestroy(TObject*) {
    RestoreAudioInputStates();
    FSavedInputs.reset();
    // A creation cut short by an error has no settings to keep.
    if (!FSettings) return;
    UiToSettings();
    FSettings->SaveToIni(FConfigDir + L"config.ini");
    FSettings.reset();
}

bool TFormMain::IsVistaOrLater() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;  // 148
    if (!GetVersionExA(&info)) return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion > 5;
}

void TFormMain::InitConfigDir() {
    std::wstring documents = DocumentsFolder(Application->Handle());
    // Without a documents folder the settings live beside the program.
    if (documents.empty()) documents = ExtractFilePath(ProgramFileName());
    const std::wstring dir = IncludeTrailingPathDelimiter(documents) + L"Tavrel3";
    if (!DirectoryExists(dir)) CreateDir(dir);
    FConfigDir = dir + L"\\";
}

void TFormMain::PlayDummySound() { PlayDummySoundFile(ExtractFilePath(ProgramFileName()) + L"dummy.mp3"); }

void TFormMain::PlayDummySoundFile(const std::wstring& FileName) {
    if (!FileExists(FileName)) {
        ShowMessage(L"dummy file not exists");
        return;
    }
    FDummySound.Open(FileName);
    FDummySound.Play();
    FDummySound.Pause();
}

// The heights scale with the resolution. The title bar and frame need not
// (under Wine they hardly grow), so expanded the whole client area of the
// description stays inside, and collapsed the settings from CBRecRange down
// stay outside. At 96 dpi both are the heights above.
int TFormMain::ExpandedOuterHeight() const {
    const int frame = Height() - ClientHeight();
    return std::max(ScaledPixels(ExpandedHeight), frame + ScaledPixels(DesignedClientHeight));
}

int TFormMain::CollapsedOuterHeight() const {
    const int frame = Height() - ClientHeight();
    return std::min(ScaledPixels(CollapsedHeight), frame + CBRecRange->Top());
}

void TFormMain::SetExpanded(bool Expanded) {
    SetHeight(Expanded ? ExpandedOuterHeight() : CollapsedOuterHeight());
    GBSaveDir->SetVisible(Expanded);
}

bool TFormMain::IsExpanded() const { return Height() == ExpandedOuterHeight(); }

void TFormMain::FormAfterMonitorDpiChanged(TObject*, int, int) {
    // The suggested rectangle scaled the height; the save-folder group
    // tells which of the two it was.
    SetExpanded(GBSaveDir->Visible());
}

void TFormMain::pngBtnConfigDisplayChangeClick(TObject*) { SetExpanded(!IsExpanded()); }

void TFormMain::pngBtnCaptureAreaClick(TObject* Sender) {
    auto* c = dynamic_cast<TComponent*>(Sender);
    if (!c || !FormCaptureSize) return;
    int w, h;
    switch (c->Tag()) {
    case 1:
        w = 320;
        h = 240;
        break;
    case 2:
        w = 320;
        h = 180;
        break;
    case 3:
        w = 480;
        h = 320;
        break;
    case 4:
        w = 480;
        h = 270;
        break;
    case 5:
    case 7:
        w = 1024;
        h = 768;
        break;
    case 6:
    case 8:
        w = 1024;
        h = 576;
        break;
    default:
        return;
    }
    FormCaptureSize->SetSize(w, h);
    FormCaptureSize->Show();
}

const TPropertyTable& TFormMain::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TFormMain>(L"TFormMain", &TForm::ClassProperties())
            .Method(L"FormCreate", &TFormMain::FormCreate)
            .Method(L"FormShow", &TFormMain::FormShow)
            .Method(L"FormAfterMonitorDpiChanged", &TFormMain::FormAfterMonitorDpiChanged)
            .Method(L"FormCloseQuery", &TFormMain::FormCloseQuery)
            .Method(L"FormDestroy", &TFormMain::FormDestroy)
            .Method(L"pngBtnConfigDisplayChangeClick", &TFormMain::pngBtnConfigDisplayChangeClick)
            .Method(L"CBMovieSizeChange", &TFormMain::CBMovieSizeChange)
            .Method(L"CBMovieTypeChange", &TFormMain::CBMovieTypeChange)
            .Method(L"RBRecNowClick", &TFormMain::RBRecNowClick)
            .Method(L"RBUseAudioDeviceClick", &TFormMain::RBUseAudioDeviceClick)
            .Method(L"CBCompressorListVideoChange", &TFormMain::CBCompressorListVideoChange)
            .Method(L"pngBtnChangeSaveDirClick", &TFormMain::pngBtnChangeSaveDirClick)
            .Method(L"EditCapturePosSizeChange", &TFormMain::EditCapturePosSizeChange)
            .Method(L"CBRecRangeClick", &TFormMain::CBRecRangeClick)
            .Method(L"pngBtnCaptureAreaClick", &TFormMain::pngBtnCaptureAreaClick)
            .Method(L"CBAudioDeviceNameChange", &TFormMain::CBAudioDeviceNameChange)
            .Method(L"CBAudioSourseNameChange", &TFormMain::CBAudioSourseNameChange)
            .Method(L"pngCaptureStartClick", &TFormMain::pngCaptureStartClick)
            .Method(L"pngCaptureFinishClick", &TFormMain::pngCaptureFinishClick)
            .Method(L"pngBtnCompressorListVideoConfigClick", &TFormMain::pngBtnCompressorListVideoConfigClick)
            .Method(L"TimerCaptureTimeTimer", &TFormMain::TimerCaptureTimeTimer)
            .Method(L"TimerStartTimeTimer", &TFormMain::TimerStartTimeTimer)
            .Method(L"TimerEndTimeTimer", &TFormMain::TimerEndTimeTimer)
            .Method(L"TimerRegistiTunesTimer", &TFormMain::TimerRegistiTunesTimer)
            .Method(L"DosCommandConvertNewLine", &TFormMain::DosCommandConvertNewLine)
            .Method(L"DosCommandConvertTerminated", &TFormMain::DosCommandConvertTerminated)
            .Method(L"CaptureGraphErrorAbort", &TFormMain::CaptureGraphErrorAbort)
            .Method(L"CaptureGraphStreamErrorStopped", &TFormMain::CaptureGraphStreamErrorStopped)
            .Field(L"pngCaptureStart", &TFormMain::pngCaptureStart)
            .Field(L"pngCaptureAndiTunesStart", &TFormMain::pngCaptureAndiTunesStart)
            .Field(L"pngCaptureFinish", &TFormMain::pngCaptureFinish)
            .Field(L"pngBtnConfigDisplayChange", &TFormMain::pngBtnConfigDisplayChange)
            .Field(L"CBRecRange", &TFormMain::CBRecRange)
            .Field(L"lblTimeWait", &TFormMain::lblTimeWait)
            .Field(L"GBCaptureTime", &TFormMain::GBCaptureTime)
            .Field(L"lblCaptureTime", &TFormMain::lblCaptureTime)
            .Field(L"RBRecNow", &TFormMain::RBRecNow)
            .Field(L"SERecTimeNN", &TFormMain::SERecTimeNN)
            .Field(L"SERecTimeSS", &TFormMain::SERecTimeSS)
            .Field(L"RBRecStart", &TFormMain::RBRecStart)
            .Field(L"RBRecTime", &TFormMain::RBRecTime)
            .Field(L"DateTimePickerStart", &TFormMain::DateTimePickerStart)
            .Field(L"DateTimePickerEnd", &TFormMain::DateTimePickerEnd)
            .Field(L"GBSaveDir", &TFormMain::GBSaveDir)
            .Field(L"EditSaveDir", &TFormMain::EditSaveDir)
            .Field(L"pngBtnChangeSaveDir", &TFormMain::pngBtnChangeSaveDir)
            .Field(L"GBCapturePosSize", &TFormMain::GBCapturePosSize)
            .Field(L"EditCapturePosLeft", &TFormMain::EditCapturePosLeft)
            .Field(L"EditCapturePosTop", &TFormMain::EditCapturePosTop)
            .Field(L"EditCapturePosRigth", &TFormMain::EditCapturePosRigth)
            .Field(L"EditCapturePosBottom", &TFormMain::EditCapturePosBottom)
            .Field(L"lblCapturePosSize", &TFormMain::lblCapturePosSize)
            .Field(L"GBPictureConfig", &TFormMain::GBPictureConfig)
            .Field(L"CBCompressorListVideo", &TFormMain::CBCompressorListVideo)
            .Field(L"pngBtnCompressorListVideoConfig", &TFormMain::pngBtnCompressorListVideoConfig)
            .Field(L"CBFPS", &TFormMain::CBFPS)
            .Field(L"CBContainCursor", &TFormMain::CBContainCursor)
            .Field(L"GBAudioConfig", &TFormMain::GBAudioConfig)
            .Field(L"RBUseAudioDevice", &TFormMain::RBUseAudioDevice)
            .Field(L"CBAudioDeviceName", &TFormMain::CBAudioDeviceName)
            .Field(L"CBAudioSourseName", &TFormMain::CBAudioSourseName)
            .Field(L"RBUseLoopBack", &TFormMain::RBUseLoopBack)
            .Field(L"GB", &TFormMain::GB)
            .Field(L"CBMovieSize", &TFormMain::CBMovieSize)
            .Field(L"CBMovieType", &TFormMain::CBMovieType)
            .Field(L"CBMovieQuality", &TFormMain::CBMovieQuality)
            .Field(L"GBNotUseItem", &TFormMain::GBNotUseItem)
            .Field(L"pngBtnCaptureSizeIPod", &TFormMain::pngBtnCaptureSizeIPod)
            .Field(L"pngBtnCaptureSizeIPodWide", &TFormMain::pngBtnCaptureSizeIPodWide)
            .Field(L"pngBtnCaptureSizeIPhone", &TFormMain::pngBtnCaptureSizeIPhone)
            .Field(L"pngBtnCaptureSizeIPhoneWide", &TFormMain::pngBtnCaptureSizeIPhoneWide)
            .Field(L"pngBtnCaptureSizeIPad", &TFormMain::pngBtnCaptureSizeIPad)
            .Field(L"pngBtnCaptureSizeIPadWide", &TFormMain::pngBtnCaptureSizeIPadWide)
            .Field(L"CaptureGraph", &TFormMain::CaptureGraph)
            .Field(L"DosCommandConvert", &TFormMain::DosCommandConvert)
            .Field(L"TimerCaptureTime", &TFormMain::TimerCaptureTime)
            .Field(L"TimerStartTime", &TFormMain::TimerStartTime)
            .Field(L"TimerEndTime", &TFormMain::TimerEndTime)
            .Field(L"TimerRegistiTunes", &TFormMain::TimerRegistiTunes)
            .Build();
    return table;
}
