// The recording's capture graph: the request for the media layer's
// recording graph from the settings and the window, its failed steps as the
// window's messages, the run and what a failed run leaves; the capture
// device's preferred PCM format; the compressor's configuration dialog.
#include "app/form_main.h"
#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/lists.h"
#include "media/direct_show_error.h"
#include "media/enum_media_type.h"
#include "media/filter_dialog.h"
#include "media/pin_list.h"
#include "media/recording_graph.h"
#include "shared/owner.h"

#include <windows.h>
#include <dshow.h>
#include <uuids.h>

const TAudioFormatPreferences AudioFormatPreferences = {
    {16, 16, 16, 16, 16, 16, 16, 16, 8, 8, 8, 8, 8, 8, 8, 8},
    {48000, 44100, 24000, 16000, 44100, 48000, 24000, 16000, 44100, 48000, 24000, 16000, 44100, 48000, 24000, 16000},
    {2, 2, 2, 2, 1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1},
};

namespace {

// Whether the temporary AVI can be made where it is named: 0, or the
// system's error code. A file made here is removed again.
DWORD TempAviError(const std::wstring& Path) {
    {
        const TKernelHandle file(
            CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return GetLastError();
    }
    DeleteFileW(Path.c_str());
    return 0;
}

// A run that failed for want of room on the disk failed at the only filter
// of the graph that writes to one: the multiplexer's file writer. A full
// volume can still take a new, empty file, so making one there proves
// nothing.
bool IsDiskFull(HRESULT Result) {
    return Result == HRESULT_FROM_WIN32(ERROR_DISK_FULL) || Result == HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL);
}

// Every filter of the graph back to the stopped state. A graph manager that
// failed to run may count itself stopped while filters it had already
// paused still stream, so each filter that is not stopped is stopped too.
void StopEveryFilter(IGraphBuilder* Graph) {
    if (!Graph) return;
    ComPtr<IMediaControl> control;
    if (SUCCEEDED(Graph->QueryInterface(IID_IMediaControl, control.PutVoid())) && control) control->Stop();
    ComPtr<IEnumFilters> filters;
    if (FAILED(Graph->EnumFilters(filters.Put())) || !filters) return;
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.Put(), nullptr) == S_OK) {
        FILTER_STATE state = State_Stopped;
        // A filter still changing state answers VFW_S_STATE_INTERMEDIATE
        // with the state it is going to; stopping it is right either way.
        const HRESULT hr = filter->GetState(0, &state);
        if (FAILED(hr) || state != State_Stopped) filter->Stop();
    }
}

// The window's message for a step of the recording graph that failed.
const wchar_t* RecordingGraphMessage(TRecordingGraphStep Step) {
    switch (Step) {
    case rgsScreenSource:
        return L"videoCaptureFilterの初期化に失敗しました";
    case rgsScreenConfig:
        return L"videoCaptureFilterConfigの初期化に失敗しました";
    case rgsCompressor:
        return L"圧縮フィルタの追加に失敗しました";
    case rgsLoopback:
        return L"オーディオフィルタ(LoopBack)の追加に失敗しました";
    case rgsCaptureDevice:
        return L"オーディオフィルタ(Device)の追加に失敗しました";
    case rgsRenderSound:
        return L"オーディオフィルタのレンダリングに失敗しました";
    case rgsRenderVideo:
        return L"ビデオフィルタのレンダリングに失敗しました";
    case rgsBuilt:
    case rgsGraph:
    case rgsMultiplexer:
        break;
    }
    return L"multiplexerの初期化に失敗しました";
}

}  // namespace

void TFormMain::BuildAndRunGraph() {
    TRecordingGraphRequest request;
    request.Video = FSettings->Category != oscAudioOnly;
    const POINT size = FSettings->CaptureSize();
    request.CaptureLeft = FSettings->CapturePosLeft;
    request.CaptureTop = FSettings->CapturePosTop;
    request.CaptureWidth = size.x;
    request.CaptureHeight = size.y;
    request.FrameRate = static_cast<LONGLONG>(FSettings->Fps);
    request.DrawCursor = FSettings->ContainCursor;
    request.Compress = request.Video && CBCompressorListVideo->Text() != L"無圧縮";
    if (request.Compress) FCompressors->GetFilter(CBCompressorListVideo->ItemIndex() - 1, request.Compressor);
    if (FSettings->UseLoopback) {
        request.Sound = rsLoopback;
    } else if (CBAudioDeviceName->ItemIndex() >= 0) {
        request.Sound = rsCaptureDevice;
        request.CaptureDevice = FAudioDevices->GetBaseFilter(CBAudioDeviceName->ItemIndex());
        if (request.CaptureDevice) ChooseAudioFormat(request.CaptureDevice.Get());
    }
    request.AviPath = FSettings->TempAviPath;
    const TRecordingGraphStep failed = BuildRecordingGraph(*CaptureGraph, request);
    if (failed != rgsBuilt) {
        ShowMessage(RecordingGraphMessage(failed));
        return;
    }

    if (FSettings->RecRange) ShowRecordFrame(true);
    try {
        CaptureGraph->Play();
    } catch (const EDirectShowException& e) {
        ComPtr<IGraphBuilder> graph;
        CaptureGraph->QueryInterface(IID_IGraphBuilder, graph.PutVoid());
        AbandonFailedRun(graph.Get(), e.Message(), e.ResultCode);
        return;
    }
    FRecStart = FClock();
    TimerCaptureTime->SetEnabled(true);
}

void TFormMain::AbandonFailedRun(IGraphBuilder* Graph, const std::wstring& RunError, HRESULT RunResult) {
    // Nothing of it may stay running or in the graph: the next start builds
    // afresh, and releasing the graph at exit must find every filter stopped.
    StopEveryFilter(Graph);
    try {
        CaptureGraph->ClearGraph();
    } catch (const EDirectShowException&) {
        // What could not be removed goes with the next build's clearing.
    }
    if (FSettings->RecRange) ShowRecordFrame(false);
    SetUiState(usIdle);
    // Name what failed: the temporary AVI that the multiplexer's file writer
    // could not make (a missing, read-only or full folder), or else the
    // graph's own error.
    const DWORD fileError = IsDiskFull(RunResult) ? HRESULT_CODE(RunResult) : TempAviError(FSettings->TempAviPath);
    if (fileError != 0)
        ShowMessage(L"multiplexerの初期化に失敗しました\r\n" + FSettings->TempAviPath + L"\r\n" +
                    SysErrorMessage(fileError));
    else
        ShowMessage(RunError);
}

void TFormMain::ChooseAudioFormat(IBaseFilter* Filter) {
    ComPtr<IPin> pin = FirstPin(Filter, PINDIR_OUTPUT);
    if (!pin) return;
    TEnumMediaType types;
    types.SetPin(pin.Get());
    TMediaType* best = nullptr;
    int bestRow = 9999;
    for (int i = 0; i < types.Count(); ++i) {
        const AM_MEDIA_TYPE* mt = types.GetItem(i)->MediaTypeRecord;
        if (mt->formattype != FORMAT_WaveFormatEx || mt->subtype != MEDIASUBTYPE_PCM) continue;
        // A format block too short for a WAVEFORMATEX cannot be compared.
        if (!mt->pbFormat || mt->cbFormat < sizeof(WAVEFORMAT) + sizeof(WORD)) continue;
        const auto* wf = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
        for (int row = 0; row < 16; ++row) {
            if (wf->wBitsPerSample == AudioFormatPreferences.Bits[row] &&
                static_cast<std::int32_t>(wf->nSamplesPerSec) == AudioFormatPreferences.Rates[row] &&
                wf->nChannels == AudioFormatPreferences.Channels[row] && row < bestRow) {
                best = types.GetItem(i);
                bestRow = row;
                break;
            }
        }
    }
    if (!best) return;
    ComPtr<IAMStreamConfig> config = InterfaceCast<IAMStreamConfig>(pin.Get());
    config->SetFormat(best->MediaTypeRecord);
}

// The chosen compressor's own configuration dialog, on a new instance that
// is released again here; the recording binds an instance of its own.
void TFormMain::pngBtnCompressorListVideoConfigClick(TObject*) {
    const int index = CBCompressorListVideo->ItemIndex();
    if (index <= 0 || !FCompressors) return;
    ComPtr<IBaseFilter> filter;
    FCompressors->GetFilter(index - 1, filter);
    ShowFilterDialog(Handle(), filter.Get(), fdkCompressConfig);
}
