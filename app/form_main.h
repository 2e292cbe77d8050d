// The main window: the settings shown in its controls, the capture-area
// presets, the audio device and input-line choice, and the handlers of the
// recording, its timers and the conversion. Its controls, texts, images,
// timers and the console runner come from its form description; events bind
// to the handlers below by name.
#pragma once

#include "app/mci_player.h"
#include "app/mv_convert_info.h"
#include "app/read_back.h"
#include "classlib/runtime/datetime.h"
#include "classlib/runtime/lists.h"
#include "classlib/runtime/timer.h"
#include "classlib/ui/comctrls.h"
#include "classlib/ui/forms.h"
#include "classlib/ui/png_button.h"
#include "classlib/ui/stdctrls.h"
#include "media/compressor_manager.h"
#include "media/filter_graph.h"
#include "media/sys_dev_enum.h"
#include "process/console_command.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

enum TUiState { usInitial = 0, usRecording = 1, usIdle = 2 };

// The PCM formats a capture device is asked for, best first: row r is
// Bits[r] bits, Rates[r] samples per second, Channels[r] channels.
struct TAudioFormatPreferences {
    std::int32_t Bits[16];
    std::int32_t Rates[16];
    std::int32_t Channels[16];
};
extern const TAudioFormatPreferences AudioFormatPreferences;

// Outer heights of the main window at 96 dpi, and the client height its
// description gives.
constexpr int ExpandedHeight = 675;
constexpr int CollapsedHeight = 135;
constexpr int DesignedClientHeight = 637;

class TFormMain : public TForm {
public:
    explicit TFormMain(TComponent* AOwner);
    ~TFormMain() override;

    // Controls of the description, top to bottom.
    TPNGButton* pngCaptureStart = nullptr;
    TPNGButton* pngCaptureAndiTunesStart = nullptr;
    TPNGButton* pngCaptureFinish = nullptr;
    TPNGButton* pngBtnConfigDisplayChange = nullptr;
    TCheckBox* CBRecRange = nullptr;
    TLabel* lblTimeWait = nullptr;
    TGroupBox* GBCaptureTime = nullptr;
    TLabel* lblCaptureTime = nullptr;
    TRadioButton* RBRecNow = nullptr;
    TSpinEdit* SERecTimeNN = nullptr;
    TSpinEdit* SERecTimeSS = nullptr;
    TRadioButton* RBRecStart = nullptr;
    TRadioButton* RBRecTime = nullptr;
    TDateTimePicker* DateTimePickerStart = nullptr;
    TDateTimePicker* DateTimePickerEnd = nullptr;
    TGroupBox* GBSaveDir = nullptr;
    TEdit* EditSaveDir = nullptr;
    TPNGButton* pngBtnChangeSaveDir = nullptr;
    TGroupBox* GBCapturePosSize = nullptr;
    TEdit* EditCapturePosLeft = nullptr;
    TEdit* EditCapturePosTop = nullptr;
    TEdit* EditCapturePosRigth = nullptr;
    TEdit* EditCapturePosBottom = nullptr;
    TLabel* lblCapturePosSize = nullptr;
    TGroupBox* GBPictureConfig = nullptr;
    TComboBox* CBCompressorListVideo = nullptr;
    TPNGButton* pngBtnCompressorListVideoConfig = nullptr;
    TComboBox* CBFPS = nullptr;
    TCheckBox* CBContainCursor = nullptr;
    TGroupBox* GBAudioConfig = nullptr;
    TRadioButton* RBUseAudioDevice = nullptr;
    TComboBox* CBAudioDeviceName = nullptr;
    TComboBox* CBAudioSourseName = nullptr;
    TRadioButton* RBUseLoopBack = nullptr;
    TGroupBox* GB = nullptr;
    TComboBox* CBMovieSize = nullptr;
    TComboBox* CBMovieType = nullptr;
    TComboBox* CBMovieQuality = nullptr;
    TGroupBox* GBNotUseItem = nullptr;
    TPNGButton* pngBtnCaptureSizeIPod = nullptr;
    TPNGButton* pngBtnCaptureSizeIPodWide = nullptr;
    TPNGButton* pngBtnCaptureSizeIPhone = nullptr;
    TPNGButton* pngBtnCaptureSizeIPhoneWide = nullptr;
    TPNGButton* pngBtnCaptureSizeIPad = nullptr;
    TPNGButton* pngBtnCaptureSizeIPadWide = nullptr;
    // Non-visual components.
    TFilterGraph* CaptureGraph = nullptr;
    TDosCommand* DosCommandConvert = nullptr;
    TTimer* TimerCaptureTime = nullptr;
    TTimer* TimerStartTime = nullptr;
    TTimer* TimerEndTime = nullptr;
    TTimer* TimerRegistiTunes = nullptr;

    // State shared by the window's handlers.
    bool FLoopbackAvailable = false;
    std::wstring FConfigDir;
    std::unique_ptr<MvCaptureAndConvertInfo> FSettings;
    std::unique_ptr<TSysDevEnum> FAudioDevices;
    std::unique_ptr<TMvCompressorManager> FCompressors;
    std::unique_ptr<TStringList> FSavedInputs;
    TDateTime FRecStart = 0;
    std::int32_t FStartTag = 0;
    TDateTime FStartAt = 0;
    TDateTime FEndAt = 0;
    std::int64_t FElapsedSec = 0;
    std::int64_t FLimitSec = 0;
    TDateTime FConvertStart = 0;
    std::uint8_t FITunesDone = 0;
    // The converter said that it could not write its output.
    bool FOutputWriteFailed = false;
    // The converter's run has ended (written by the runner's worker thread).
    std::atomic<bool> FConverterEnded{false};
    // The recording was ended by a failure of the graph, not by the user;
    // FStopReason is the platform's text of that failure.
    bool FStoppedEarly = false;
    std::wstring FStopReason;

    // Lifecycle.
    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    // The progress dialog was closed: the window is given back to the user.
    void ProgressClosed();
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void FormDestroy(TObject* Sender);
    static bool IsVistaOrLater();
    void InitConfigDir();
    void PlayDummySound();
    // Opens, plays and pauses FileName; "dummy file not exists" when missing.
    void PlayDummySoundFile(const std::wstring& FileName);
    void SetExpanded(bool Expanded);
    bool IsExpanded() const;
    // The outer heights at the window's present resolution.
    int ExpandedOuterHeight() const;
    int CollapsedOuterHeight() const;
    void FormAfterMonitorDpiChanged(TObject* Sender, int OldDPI, int NewDPI);
    void pngBtnConfigDisplayChangeClick(TObject* Sender);
    TMciPlayer& DummySound() { return FDummySound; }

    // Settings view.
    void SetUiState(TUiState State);
    void SettingsToUi();
    void UiToSettings();
    void ReadCaptureEdits();
    // Shows the capture frame's rectangle in the four capture edits.
    void ShowCaptureRect(const RECT& Rect);
    void CBMovieSizeChange(TObject* Sender);
    void CBMovieTypeChange(TObject* Sender);
    void RBRecNowClick(TObject* Sender);
    void RBUseAudioDeviceClick(TObject* Sender);
    void CBCompressorListVideoChange(TObject* Sender);
    void pngBtnChangeSaveDirClick(TObject* Sender);
    void EditCapturePosSizeChange(TObject* Sender);
    void CBRecRangeClick(TObject* Sender);
    void pngBtnCaptureAreaClick(TObject* Sender);

    // Audio devices and input lines.
    void FillAudioDevices();
    void FillAudioInputs(std::int32_t DeviceIndex);
    void SelectAudioInput(std::int32_t DeviceIndex, std::int32_t LineIndex);
    void SaveAudioInputStates();
    void RestoreAudioInputStates();
    void CBAudioDeviceNameChange(TObject* Sender);
    void CBAudioSourseNameChange(TObject* Sender);

    // Recording: the start and its checks, the finish, the timers.
    void pngCaptureStartClick(TObject* Sender);
    void pngCaptureFinishClick(TObject* Sender);
    void pngBtnCompressorListVideoConfigClick(TObject* Sender);
    void TimerCaptureTimeTimer(TObject* Sender);
    void TimerStartTimeTimer(TObject* Sender);
    void TimerEndTimeTimer(TObject* Sender);
    void TimerRegistiTunesTimer(TObject* Sender);
    void DosCommandConvertNewLine(TObject* Sender, const std::wstring& NewLine, TOutputType OutputType);
    void DosCommandConvertTerminated(TObject* Sender, DWORD ExitCode);
    // The graph ended its stream with an error while recording (a file that
    // can no longer be written): the recording is finished as by the finish
    // button, and what was written is converted.
    void CaptureGraphErrorAbort(TObject* Sender, HRESULT Result);
    void CaptureGraphStreamErrorStopped(TObject* Sender, HRESULT Operation, std::uint32_t Value);
    // Posted by the two above; finishes the recording.
    static constexpr UINT WM_RECORDING_FAILED = WM_APP + 20;
    void RecordingFailed();
    // Stops the graph, then the elapsed-time and end-time timers.
    void StopCapture();
    // Shows the time recorded so far and keeps it in FElapsedSec.
    void UpdateElapsed();
    // Shows the recording frame just outside the capture rectangle, or hides it.
    void ShowRecordFrame(bool Visible);
    // True when both sides are at least 120 pixels; otherwise false with the
    // message to show.
    static bool CheckMinCaptureSize(POINT Size, std::wstring& Message);
    // The system's temporary folder, with its trailing delimiter.
    static std::wstring GetTempDir();

    // The capture graph from the settings, run; or one failure message.
    void BuildAndRunGraph();
    // After the graph failed to run: every filter stopped, the graph cleared,
    // the window idle again, and a message naming what failed.
    void AbandonFailedRun(IGraphBuilder* Graph, const std::wstring& RunError, HRESULT RunResult);
    // Sets the most preferred PCM format the filter's first output pin offers.
    void ChooseAudioFormat(IBaseFilter* Filter);

    // The conversion after a recording has stopped: runs the converter with
    // the progress dialog, hands the result to iTunes when asked for, and
    // reports the outcome. Returns with the dialog shown and its close
    // button enabled; the temporary AVI is deleted only after a successful
    // conversion.
    void ConvertRecording();
    // Runs the converter to its end; once it runs, ReadBack (when given) is
    // prepared beside it.
    void RunConverter(TReadBack* ReadBack = nullptr);
    // Runs Command to its end while the window's messages are processed;
    // a cancel answered Yes stops it at once. Returns its exit code, or
    // STILL_ACTIVE when it was stopped. ReadBack, when given, is prepared
    // as soon as Command's child runs.
    DWORD RunUntilEndOrCancel(TDosCommand& Command, TReadBack* ReadBack = nullptr);
    // Whether the converter's output, the file of ReadBack, is whole: it
    // exists, is not empty, and the converter reads it back as Expected
    // seconds long (within the tolerance explained with the code).
    bool OutputIsWhole(TReadBack& ReadBack, double Expected);
    // The seconds of media that the converter reads from File (a copy of
    // every stream into nowhere); false when it cannot read it through.
    bool ProbeDuration(const std::wstring& File, double& Seconds);
    // The same with a read-back that may have been prepared; a cancel
    // answered Yes ends it at once.
    bool ReadBackDuration(TReadBack& ReadBack, double& Seconds);
    // The "time=" value of a progress line (up to "bitrate"), in seconds.
    static bool ProgressLineTime(const std::wstring& Line, double& Seconds);
    // Whether a line of the converter says that it failed to write its output.
    static bool ReportsWriteFailure(const std::wstring& Line);
    // Removes a file left under the output name by a conversion that did
    // not finish (a folder or device of that name is left alone).
    void RemoveUnfinishedOutput(const std::wstring& Path);
    static std::wstring FormatRemaining(std::int32_t Seconds);
    // The seconds a progress line's "time=" value stands for: plain seconds
    // ("12.34") or hours:minutes:seconds ("00:01:02.50"), blanks around
    // allowed; false for anything else.
    static bool ParseProgressTime(const std::wstring& Text, double& Seconds);
    // The iTunes step: starts the one-shot timer and waits for its outcome.
    void WaitForITunes();
    void RegisterInITunes();
    // The current local time; tests put a clock of their own here.
    TDateTime (*FClock)() = &Now;

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

private:
    TMciPlayer FDummySound;
};

extern TFormMain* FormMain;
