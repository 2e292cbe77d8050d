// The recording's capture graph: the screen source (unless the output is
// sound only), the chosen compressor, the sound source, and the AVI
// multiplexer with its file writer for the temporary AVI; the capture
// device's preferred PCM format; the compressor's configuration dialog.
#include "app/form_main.h"
#include "classlib/runtime/lists.h"
#include "media/direct_show_error.h"
#include "media/enum_media_type.h"
#include "media/filter_dialog.h"
#include "media/pin_list.h"
#include "shared/owner.h"
#include "shared/unit_const_list.h"

#include <windows.h>
#include <dshow.h>
#include <uuids.h>

const TAudioFormatPreferences AudioFormatPreferences = {
    {16, 16, 16, 16, 16, 16, 16, 16, 8, 8, 8, 8, 8, 8, 8, 8},
    {48000, 44100, 24000, 16000, 44100, 48000, 24000, 16000, 44100, 48000, 24000, 16000, 44100, 48000, 24000,
     16000},
    {2, 2, 2, 2, 1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1},
};

namespace {

// The first pin of the filter in the given direction, or none.
ComPtr<IPin> FirstPin(IBaseFilter* Filter, PIN_DIRECTION Direction) {
    TPinList pins(Filter);
    for (int i = 0; i < pins.Count(); ++i) {
        ComPtr<IPin> pin = pins.GetPin(i);
        PIN_DIRECTION dir;
        if (pin && SUCCEEDED(pin->QueryDirection(&dir)) && dir == Direction) return pin;
    }
    return {};
}

// What the capture graph builder's SetOutputFileName does for an AVI: the
// platform's multiplexer and file writer, added to the graph, the writer
// given the file name, the multiplexer's output connected to the writer.
HRESULT AddAviWriter(IGraphBuilder* Graph, const std::wstring& FileName, ComPtr<IBaseFilter>& Mux) {
    ComPtr<IBaseFilter> mux, writer;
    HRESULT hr = CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, mux.PutVoid());
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, writer.PutVoid());
    if (FAILED(hr)) return hr;
    ComPtr<IFileSinkFilter> sink;
    hr = writer->QueryInterface(IID_IFileSinkFilter, sink.PutVoid());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = Graph->AddFilter(mux.Get(), L"AVI Mux"))) return hr;
    if (FAILED(hr = Graph->AddFilter(writer.Get(), L"File writer"))) return hr;
    if (FAILED(hr = sink->SetFileName(FileName.c_str(), nullptr))) return hr;
    ComPtr<IPin> out = FirstPin(mux.Get(), PINDIR_OUTPUT), in = FirstPin(writer.Get(), PINDIR_INPUT);
    if (!out || !in) return VFW_E_NOT_FOUND;
    if (FAILED(hr = Graph->ConnectDirect(out.Get(), in.Get(), nullptr))) return hr;
    Mux = std::move(mux);
    return S_OK;
}

std::wstring SystemErrorText(DWORD Code) {
    TLocalMem buffer;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, Code, 0, reinterpret_cast<wchar_t*>(buffer.Put()), 0, nullptr);
    std::wstring text;
    if (n && buffer) text.assign(static_cast<const wchar_t*>(buffer.Get()), n);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    return text;
}

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

// Every filter of the graph back to the stopped state. A graph manager that
// failed to run may count itself stopped while filters it had already
// paused still stream, so each filter that is not stopped is stopped too.
void StopEveryFilter(IGraphBuilder* Graph) {
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

}  // namespace

void TFormMain::BuildAndRunGraph() {
    // COM is the application's from its start on this thread.
    if (!CaptureGraph->Active()) CaptureGraph->SetActive(true);
    CaptureGraph->ClearGraph();
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    CaptureGraph->QueryInterface(IID_IGraphBuilder, graph.PutVoid());
    CaptureGraph->QueryInterface(IID_ICaptureGraphBuilder2, builder.PutVoid());
    if (!graph || !builder) {
        ShowMessage(L"multiplexerの初期化に失敗しました");
        return;
    }

    const bool video = FSettings->Category != oscAudioOnly;
    ComPtr<IBaseFilter> screen, compressor;
    if (video) {
        if (CoCreateInstance(CLSID_ScreenCaptureSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             screen.PutVoid()) != S_OK) {
            ShowMessage(L"videoCaptureFilterの初期化に失敗しました");
            return;
        }
        graph->AddFilter(screen.Get(), L"MorvoCapture2");
        ComPtr<IVideoCaptureFilterConfig> config;
        if (screen->QueryInterface(IID_IVideoCaptureFilterConfig, config.PutVoid()) != S_OK) {
            ShowMessage(L"videoCaptureFilterConfigの初期化に失敗しました");
            return;
        }
        const POINT size = FSettings->CaptureSize();
        config->SetCaptureRect(FSettings->CapturePosLeft, FSettings->CapturePosTop, size.x, size.y);
        config->SetFrameRate(static_cast<LONGLONG>(FSettings->Fps));
        config->SetDrawCursor(FSettings->ContainCursor ? TRUE : FALSE);
        if (CBCompressorListVideo->Text() != L"無圧縮") {
            FCompressors->GetFilter(CBCompressorListVideo->ItemIndex() - 1, compressor);
            // A compressor that cannot be made fails like one that does
            // not join the graph.
            if (!compressor || graph->AddFilter(compressor.Get(), L"CompressFilter") != S_OK) {
                ShowMessage(L"圧縮フィルタの追加に失敗しました");
                return;
            }
        }
    }

    ComPtr<IBaseFilter> sound;
    if (FSettings->UseLoopback) {
        CoCreateInstance(CLSID_LoopbackAudioSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                         sound.PutVoid());
        if (!sound || graph->AddFilter(sound.Get(), L"MorvoAudioFilter2") != S_OK) {
            ShowMessage(L"オーディオフィルタ(LoopBack)の追加に失敗しました");
            return;
        }
    } else if (CBAudioDeviceName->ItemIndex() >= 0) {
        sound = FAudioDevices->GetBaseFilter(CBAudioDeviceName->ItemIndex());
        if (sound) ChooseAudioFormat(sound.Get());
        if (!sound || graph->AddFilter(sound.Get(), L"AudioCapFilter2") != S_OK) {
            ShowMessage(L"オーディオフィルタ(Device)の追加に失敗しました");
            return;
        }
    }

    ComPtr<IBaseFilter> mux;
    ComPtr<IFileSinkFilter> fileSink;
    HRESULT hr = builder->SetOutputFileName(&MEDIASUBTYPE_Avi, FSettings->TempAviPath.c_str(), mux.Put(),
                                            fileSink.Put());
    // Where the builder leaves this to its caller, do what it would do.
    if (hr == E_NOTIMPL) hr = AddAviWriter(graph.Get(), FSettings->TempAviPath, mux);
    if (hr != S_OK || !mux) {
        ShowMessage(L"multiplexerの初期化に失敗しました");
        return;
    }
    if (builder->RenderStream(nullptr, nullptr, sound.Get(), nullptr, mux.Get()) != S_OK) {
        ShowMessage(L"オーディオフィルタのレンダリングに失敗しました");
        return;
    }
    if (video && builder->RenderStream(nullptr, nullptr, screen.Get(), compressor.Get(), mux.Get()) != S_OK) {
        ShowMessage(L"ビデオフィルタのレンダリングに失敗しました");
        return;
    }
    if (FSettings->RecRange) ShowRecordFrame(true);
    try {
        CaptureGraph->Play();
    } catch (const EDirectShowException& e) {
        AbandonFailedRun(graph.Get(), e.Message());
        return;
    }
    FRecStart = FClock();
    TimerCaptureTime->SetEnabled(true);
}

void TFormMain::AbandonFailedRun(IGraphBuilder* Graph, const std::wstring& RunError) {
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
    const DWORD fileError = TempAviError(FSettings->TempAviPath);
    if (fileError != 0)
        ShowMessage(L"multiplexerの初期化に失敗しました\r\n" + FSettings->TempAviPath + L"\r\n" +
                    SystemErrorText(fileError));
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
