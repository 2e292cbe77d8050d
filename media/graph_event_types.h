// The event types of the filter-graph component: one per shape of event
// arguments. Every type but the builder callbacks' gets the component as its
// first argument.
#pragma once

#include "classlib/runtime/component.h"
#include "media/graph_utility.h"

#include <windows.h>
#include <dshow.h>
#include <audevcod.h>

#include <cstdint>
#include <functional>
#include <string>

// The device a video mixing renderer renders to (EC_VMR_RENDERDEVICE_SET).
enum TVMRRenderDevice : int32_t {
    vrdOverlay = 1,
    vrdVideoMemory = 2,
    vrdSystemMemory = 4,
};

using TOnDSEvent = std::function<void(TComponent* Sender, long Event, LONG_PTR Param1, LONG_PTR Param2)>;
using TOnDSResult = std::function<void(TObject* Sender, HRESULT Result)>;
using TOnGraphComplete = std::function<void(TObject* Sender, HRESULT Result, IBaseFilter* Renderer)>;
using TOnGraphBufferingData = std::function<void(TObject* Sender, bool Buffering)>;
using TOnGraphOpeningFile = std::function<void(TObject* Sender, bool Opening)>;
using TOnGraphDeviceLost = std::function<void(TObject* Sender, IUnknown* Device, bool Removed)>;
using TOnGraphEndOfSegment = std::function<void(TObject* Sender, int64_t StreamTime, uint32_t NumSegment)>;
using TOnGraphFullscreenLost = std::function<void(TObject* Sender, IBaseFilter* Renderer)>;
using TOnGraphOleEvent = std::function<void(TObject* Sender, const wchar_t* String1, const wchar_t* String2)>;
using TOnGraphSNDDevError = std::function<void(TObject* Sender, SNDDEV_ERR OccurWhen, uint32_t ErrorCode)>;
using TOnGraphStreamControl = std::function<void(TObject* Sender, IPin* PinSender, uint32_t Cookie)>;
using TOnGraphStreamError = std::function<void(TObject* Sender, HRESULT Operation, uint32_t Value)>;
using TOnGraphVideoSizeChanged = std::function<void(TObject* Sender, uint16_t Width, uint16_t Height)>;
using TOnGraphTimeCodeAvailable = std::function<void(TObject* Sender, IBaseFilter* From, uint32_t DeviceID)>;
using TOnGraphEXTDeviceModeChange = std::function<void(TObject* Sender, uint32_t NewMode, uint32_t DeviceID)>;
using TOnGraphVMRRenderDevice = std::function<void(TObject* Sender, TVMRRenderDevice RenderDevice)>;
using TOnDVDAudioStreamChange =
    std::function<void(TObject* Sender, int32_t Stream, int32_t Lcid, const std::wstring& Lang)>;
using TOnDVDSubpictureStreamChange =
    std::function<void(TObject* Sender, int32_t SubNum, int32_t Lcid, const std::wstring& Lang)>;
using TOnDVDCurrentTime = std::function<void(TObject* Sender, int32_t Hours, int32_t Minutes, int32_t Seconds,
                                             int32_t Frames, int32_t FrameRate)>;
using TOnDVDTitleChange = std::function<void(TObject* Sender, int32_t Title)>;
using TOnDVDChapterStart = std::function<void(TObject* Sender, int32_t Chapter)>;
using TOnDVDChange = std::function<void(TObject* Sender, int32_t Total, int32_t Current)>;
using TOnDVDValidUOPSChange = std::function<void(TObject* Sender, int32_t UOPS)>;
using TOnDVDStillOn = std::function<void(TObject* Sender, bool NoButtonAvailable, int32_t Seconds)>;
using TOnDVDPlaybackRateChange = std::function<void(TObject* Sender, float Rate)>;
using TOnDVDParentalLevelChange = std::function<void(TObject* Sender, int32_t Level)>;
using TOnDVDAnglesAvailable = std::function<void(TObject* Sender, bool Available)>;
using TOnDVDButtonAutoActivated = std::function<void(TObject* Sender, uint32_t Button)>;
using TOnDVDCMD = std::function<void(TObject* Sender, uint32_t CmdID)>;
using TOnDVDCurrentHMSFTime =
    std::function<void(TObject* Sender, DVD_HMSF_TIMECODE HMSFTimeCode, const TDVDTimeCode& TimeCode)>;
using TOnDVDKaraokeMode = std::function<void(TObject* Sender, bool Played)>;

// Builder callbacks: answer True to let the graph go on with the filter.
using TOnSelectedFilter = std::function<bool(IMoniker* Moniker, const std::wstring& FilterName, const GUID& ClassID)>;
using TOnCreatedFilter = std::function<bool(IBaseFilter* Filter, const GUID& ClassID)>;
using TOnUnableToRender = std::function<bool(IPin* Pin)>;
