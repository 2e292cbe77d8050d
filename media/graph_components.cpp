// The published properties and events of the graph component and the filter
// wrapper, and their registration with the description loader.
#include "media/filter.h"
#include "media/filter_graph.h"

const TPropertyTable& TFilterGraph::ClassProperties() {
    using T = TFilterGraph;
    static const TPropertyTable table =
        TPropertyTableBuilder<T>(L"TFilterGraph", &TComponent::ClassProperties())
            .String(L"LogFile", &T::LogFile, &T::SetLogFile)
            .Boolean(L"Active", &T::Active, &T::SetActive, false)
            .Boolean(L"AutoCreate", &T::AutoCreate, &T::SetAutoCreate, false)
            .Enumeration(L"Mode", {L"gmNormal", L"gmCapture", L"gmDVD"}, &T::Mode, &T::SetMode, gmNormal)
            .Boolean(L"GraphEdit", &T::GraphEdit, &T::SetGraphEdit)
            .Boolean(L"LinearVolume", &T::LinearVolume, &T::SetLinearVolume)
            .Event(L"OnActivate", &T::OnActivate)
            .Event(L"OnDSEvent", &T::OnDSEvent)
            .Event(L"OnGraphBufferingData", &T::OnGraphBufferingData)
            .Event(L"OnGraphClockChanged", &T::OnGraphClockChanged)
            .Event(L"OnGraphComplete", &T::OnGraphComplete)
            .Event(L"OnGraphDeviceLost", &T::OnGraphDeviceLost)
            .Event(L"OnGraphEndOfSegment", &T::OnGraphEndOfSegment)
            .Event(L"OnGraphErrorStillPlaying", &T::OnGraphErrorStillPlaying)
            .Event(L"OnGraphErrorAbort", &T::OnGraphErrorAbort)
            .Event(L"OnGraphFullscreenLost", &T::OnGraphFullscreenLost)
            .Event(L"OnGraphChanged", &T::OnGraphChanged)
            .Event(L"OnGraphOleEvent", &T::OnGraphOleEvent)
            .Event(L"OnGraphOpeningFile", &T::OnGraphOpeningFile)
            .Event(L"OnGraphPaletteChanged", &T::OnGraphPaletteChanged)
            .Event(L"OnGraphPaused", &T::OnGraphPaused)
            .Event(L"OnGraphQualityChange", &T::OnGraphQualityChange)
            .Event(L"OnGraphSNDDevInError", &T::OnGraphSNDDevInError)
            .Event(L"OnGraphSNDDevOutError", &T::OnGraphSNDDevOutError)
            .Event(L"OnGraphStepComplete", &T::OnGraphStepComplete)
            .Event(L"OnGraphStreamControlStarted", &T::OnGraphStreamControlStarted)
            .Event(L"OnGraphStreamControlStopped", &T::OnGraphStreamControlStopped)
            .Event(L"OnGraphStreamErrorStillPlaying", &T::OnGraphStreamErrorStillPlaying)
            .Event(L"OnGraphStreamErrorStopped", &T::OnGraphStreamErrorStopped)
            .Event(L"OnGraphUserAbort", &T::OnGraphUserAbort)
            .Event(L"OnGraphVideoSizeChanged", &T::OnGraphVideoSizeChanged)
            .Event(L"OnGraphTimeCodeAvailable", &T::OnGraphTimeCodeAvailable)
            .Event(L"OnGraphEXTDeviceModeChange", &T::OnGraphEXTDeviceModeChange)
            .Event(L"OnGraphClockUnset", &T::OnGraphClockUnset)
            .Event(L"OnGraphVMRRenderDevice", &T::OnGraphVMRRenderDevice)
            .Event(L"OnDVDAudioStreamChange", &T::OnDVDAudioStreamChange)
            .Event(L"OnDVDAngleChange", &T::OnDVDAngleChange)
            .Event(L"OnDVDButtonChange", &T::OnDVDButtonChange)
            .Event(L"OnDVDChapterAutoStop", &T::OnDVDChapterAutoStop)
            .Event(L"OnDVDChapterStart", &T::OnDVDChapterStart)
            .Event(L"OnDVDCurrentTime", &T::OnDVDCurrentTime)
            .Event(L"OnDVDDomainFirstPlay", &T::OnDVDDomainFirstPlay)
            .Event(L"OnDVDDomainVideoManagerMenu", &T::OnDVDDomainVideoManagerMenu)
            .Event(L"OnDVDDomainVideoTitleSetMenu", &T::OnDVDDomainVideoTitleSetMenu)
            .Event(L"OnDVDDomainTitle", &T::OnDVDDomainTitle)
            .Event(L"OnDVDDomainStop", &T::OnDVDDomainStop)
            .Event(L"OnDVDErrorUnexpected", &T::OnDVDErrorUnexpected)
            .Event(L"OnDVDErrorCopyProtectFail", &T::OnDVDErrorCopyProtectFail)
            .Event(L"OnDVDErrorInvalidDVD1_0Disc", &T::OnDVDErrorInvalidDVD1_0Disc)
            .Event(L"OnDVDErrorInvalidDiscRegion", &T::OnDVDErrorInvalidDiscRegion)
            .Event(L"OnDVDErrorLowParentalLevel", &T::OnDVDErrorLowParentalLevel)
            .Event(L"OnDVDErrorMacrovisionFail", &T::OnDVDErrorMacrovisionFail)
            .Event(L"OnDVDErrorIncompatibleSystemAndDecoderRegions", &T::OnDVDErrorIncompatibleSystemAndDecoderRegions)
            .Event(L"OnDVDErrorIncompatibleDiscAndDecoderRegions", &T::OnDVDErrorIncompatibleDiscAndDecoderRegions)
            .Event(L"OnDVDNoFP_PGC", &T::OnDVDNoFP_PGC)
            .Event(L"OnDVDStillOff", &T::OnDVDStillOff)
            .Event(L"OnDVDStillOn", &T::OnDVDStillOn)
            .Event(L"OnDVDSubpictureStreamChange", &T::OnDVDSubpictureStreamChange)
            .Event(L"OnDVDTitleChange", &T::OnDVDTitleChange)
            .Event(L"OnDVDValidUOPSChange", &T::OnDVDValidUOPSChange)
            .Event(L"OnDVDWarningInvalidDVD1_0Disc", &T::OnDVDWarningInvalidDVD1_0Disc)
            .Event(L"OnDVDWarningFormatNotSupported", &T::OnDVDWarningFormatNotSupported)
            .Event(L"OnDVDWarningIllegalNavCommand", &T::OnDVDWarningIllegalNavCommand)
            .Event(L"OnDVDWarningOpen", &T::OnDVDWarningOpen)
            .Event(L"OnDVDWarningSeek", &T::OnDVDWarningSeek)
            .Event(L"OnDVDWarningRead", &T::OnDVDWarningRead)
            .Event(L"OnDVDPlaybackRateChange", &T::OnDVDPlaybackRateChange)
            .Event(L"OnDVDParentalLevelChange", &T::OnDVDParentalLevelChange)
            .Event(L"OnDVDPlaybackStopped", &T::OnDVDPlaybackStopped)
            .Event(L"OnDVDAnglesAvailable", &T::OnDVDAnglesAvailable)
            .Event(L"OnDVDPlayPeriodAutoStop", &T::OnDVDPlayPeriodAutoStop)
            .Event(L"OnDVDButtonAutoActivated", &T::OnDVDButtonAutoActivated)
            .Event(L"OnDVDCMDStart", &T::OnDVDCMDStart)
            .Event(L"OnDVDCMDEnd", &T::OnDVDCMDEnd)
            .Event(L"OnDVDDiscEjected", &T::OnDVDDiscEjected)
            .Event(L"OnDVDDiscInserted", &T::OnDVDDiscInserted)
            .Event(L"OnDVDCurrentHMSFTime", &T::OnDVDCurrentHMSFTime)
            .Event(L"OnDVDKaraokeMode", &T::OnDVDKaraokeMode)
            .Event(L"OnSelectedFilter", &T::OnSelectedFilter)
            .Event(L"OnCreatedFilter", &T::OnCreatedFilter)
            .Event(L"OnUnableToRender", &T::OnUnableToRender)
            .Build();
    return table;
}

const TPropertyTable& TFilter::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TFilter>(L"TFilter", &TComponent::ClassProperties())
            .Component<TFilterGraph>(L"FilterGraph", &TFilter::FilterGraph, &TFilter::SetFilterGraph)
            .Object(L"BaseFilter", &TFilter::BaseFilter)
            .Build();
    return table;
}

void RegisterMediaGraphClasses() {
    RegisterComponentClass<TFilterGraph>(L"TFilterGraph");
    RegisterComponentClass<TFilter>(L"TFilter");
}

namespace {
// Descriptions can name both classes as soon as the program runs.
const bool registered = (RegisterMediaGraphClasses(), true);
}  // namespace
