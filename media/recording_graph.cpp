#include "media/recording_graph.h"

#include "media/pin_list.h"
#include "shared/unit_const_list.h"

#include <uuids.h>

#include <utility>

namespace {

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

// The multiplexer for the AVI file, its file writer connected after it.
HRESULT AddMultiplexer(ICaptureGraphBuilder2* Builder, IGraphBuilder* Graph, const std::wstring& AviPath,
                       ComPtr<IBaseFilter>& Mux) {
    ComPtr<IFileSinkFilter> fileSink;
    const HRESULT hr = Builder->SetOutputFileName(&MEDIASUBTYPE_Avi, AviPath.c_str(), Mux.Put(), fileSink.Put());
    // The builder's contract is to add both filters and name the file; Wine's
    // SetOutputFileName does neither and returns E_NOTIMPL, leaving it to the
    // caller, so the same filters are added here.
    if (hr == E_NOTIMPL) return AddAviWriter(Graph, AviPath, Mux);
    return hr;
}

}  // namespace

TRecordingGraphStep BuildRecordingGraph(TFilterGraph& Graph, const TRecordingGraphRequest& Request) {
    // COM is the caller's on this thread.
    if (!Graph.Active()) Graph.SetActive(true);
    Graph.ClearGraph();
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    Graph.QueryInterface(IID_IGraphBuilder, graph.PutVoid());
    Graph.QueryInterface(IID_ICaptureGraphBuilder2, builder.PutVoid());
    if (!graph || !builder) return rgsGraph;

    ComPtr<IBaseFilter> screen;
    if (Request.Video) {
        // Made by its class identifier: the filter is found as registered.
        if (CoCreateInstance(CLSID_ScreenCaptureSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             screen.PutVoid()) != S_OK)
            return rgsScreenSource;
        graph->AddFilter(screen.Get(), ScreenFilterGraphName);
        ComPtr<IVideoCaptureFilterConfig> config;
        if (screen->QueryInterface(IID_IVideoCaptureFilterConfig, config.PutVoid()) != S_OK) return rgsScreenConfig;
        config->SetCaptureRect(Request.CaptureLeft, Request.CaptureTop, Request.CaptureWidth, Request.CaptureHeight);
        config->SetFrameRate(Request.FrameRate);
        config->SetDrawCursor(Request.DrawCursor ? TRUE : FALSE);
        if (Request.Compress &&
            (!Request.Compressor || graph->AddFilter(Request.Compressor.Get(), CompressorGraphName) != S_OK))
            return rgsCompressor;
    }

    ComPtr<IBaseFilter> sound;
    if (Request.Sound == rsLoopback) {
        CoCreateInstance(CLSID_LoopbackAudioSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, sound.PutVoid());
        if (!sound || graph->AddFilter(sound.Get(), LoopbackFilterGraphName) != S_OK) return rgsLoopback;
    } else if (Request.Sound == rsCaptureDevice) {
        sound = Request.CaptureDevice;
        if (!sound || graph->AddFilter(sound.Get(), AudioCaptureGraphName) != S_OK) return rgsCaptureDevice;
    }

    ComPtr<IBaseFilter> mux;
    if (AddMultiplexer(builder.Get(), graph.Get(), Request.AviPath, mux) != S_OK || !mux) return rgsMultiplexer;
    // Without a sound source there is nothing to render: the sound step fails.
    if (!sound || builder->RenderStream(nullptr, nullptr, sound.Get(), nullptr, mux.Get()) != S_OK)
        return rgsRenderSound;
    if (Request.Video &&
        builder->RenderStream(nullptr, nullptr, screen.Get(), Request.Compress ? Request.Compressor.Get() : nullptr,
                              mux.Get()) != S_OK)
        return rgsRenderVideo;
    return rgsBuilt;
}
