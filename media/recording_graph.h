// The recording's capture graph as a service: from a plain request it builds
// on the program's graph component the screen source (unless the recording
// is sound only) with its capture rectangle, frame rate and cursor, the
// chosen compressor, the sound source (the loopback filter or a capture
// device), and the AVI multiplexer with its file writer for the given file,
// each under its graph name, and answers the step that failed. Running the
// graph is the caller's.
#pragma once

#include "media/filter_graph.h"
#include "shared/com_ptr.h"

#include <windows.h>
#include <dshow.h>

#include <string>

// Where the recording's sound comes from.
enum TRecordingSound { rsNone = 0, rsLoopback = 1, rsCaptureDevice = 2 };

struct TRecordingGraphRequest {
    // False: a sound-only recording, no screen source and no compressor.
    bool Video = true;
    // The screen source's settings.
    LONG CaptureLeft = 0, CaptureTop = 0, CaptureWidth = 0, CaptureHeight = 0;
    LONGLONG FrameRate = 0;
    bool DrawCursor = false;
    // Whether a compressor was chosen, and its instance (none when it could
    // not be made: that fails like a compressor that does not join).
    bool Compress = false;
    ComPtr<IBaseFilter> Compressor;
    // The sound source; for rsCaptureDevice the bound device filter (none
    // when it could not be bound). With rsNone the sound step fails.
    TRecordingSound Sound = rsNone;
    ComPtr<IBaseFilter> CaptureDevice;
    // The AVI file the multiplexer's writer makes.
    std::wstring AviPath;
};

// The step of the build that failed, in the order they are taken.
enum TRecordingGraphStep {
    rgsBuilt = 0,      // nothing failed
    rgsGraph,          // no filter graph manager or capture graph builder
    rgsScreenSource,   // the screen source could not be made
    rgsScreenConfig,   // it has no IVideoCaptureFilterConfig
    rgsCompressor,     // the compressor could not be made or added
    rgsLoopback,       // the loopback source could not be made or added
    rgsCaptureDevice,  // the capture device could not be bound or added
    rgsMultiplexer,    // the AVI multiplexer or its file writer
    rgsRenderSound,    // the sound source could not be connected
    rgsRenderVideo,    // the screen source could not be connected
};

// Activates the graph, clears it and builds the request on it. The component
// is the caller's in gmCapture: in another mode it has no capture graph
// builder and the first step fails.
// What was added before a failed step stays in the graph; the next build
// clears it.
TRecordingGraphStep BuildRecordingGraph(TFilterGraph& Graph, const TRecordingGraphRequest& Request);
