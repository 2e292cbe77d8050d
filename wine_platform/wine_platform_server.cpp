// The library's classes: the platform filters that Wine lacks, registered
// under the platform's own class identifiers so that whoever creates those
// classes gets these.
#include "baseclasses/baseclasses.h"
#include "wine_platform/audio_capture_filter.h"
#include "wine_platform/avi_mux.h"
#include "wine_platform/file_writer.h"

#include <uuids.h>

#include <memory>
#include <vector>

namespace {

const REGPINTYPES MuxInputTypes[] = {{&MEDIATYPE_Video, &GUID_NULL}, {&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
const REGPINTYPES MuxOutputTypes[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_Avi}};
const REGFILTERPINS MuxPins[] = {
    {const_cast<LPWSTR>(L"Input 01"), FALSE, FALSE, FALSE, TRUE, &GUID_NULL, nullptr, 2, MuxInputTypes},
    {const_cast<LPWSTR>(L"AVI Out"), FALSE, TRUE, FALSE, FALSE, &GUID_NULL, nullptr, 1, MuxOutputTypes}};

const REGPINTYPES WriterInputTypes[] = {{&MEDIATYPE_Stream, &GUID_NULL}};
const REGFILTERPINS WriterPins[] = {
    {const_cast<LPWSTR>(L"in"), TRUE, FALSE, FALSE, FALSE, &GUID_NULL, nullptr, 1, WriterInputTypes}};

// One line per class. Audio capture devices bind the capture class through
// their monikers; it gets no filter-mapper entry of its own, so the device
// list stays the system's.
const TBCFilterRegistration Registrations[] = {
    {L"AVI Mux", &CLSID_AviDest, &TBCCreateOrOutOfMemory<&TAviMux::CreateFromFactory>, &CLSID_LegacyAmFilterCategory,
     MERIT_DO_NOT_USE, 2, MuxPins},
    {L"File writer", &CLSID_FileWriter, &TBCCreateOrOutOfMemory<&TFileWriter::CreateFromFactory>,
     &CLSID_LegacyAmFilterCategory, MERIT_DO_NOT_USE, 1, WriterPins},
    {L"Audio Capture Filter", &CLSID_AudioRecord, &TBCCreateOrOutOfMemory<&TAudioCaptureFilter::CreateFromFactory>,
     nullptr, MERIT_DO_NOT_USE, 0, nullptr},
};

// A class factory for each line above, alive as long as the library.
struct TFactories {
    TFactories() {
        for (const TBCFilterRegistration& registration : Registrations)
            List.push_back(std::make_unique<TBCClassFactory>(registration));
    }
    std::vector<std::unique_ptr<TBCClassFactory>> List;
};
TFactories Factories;

}  // namespace
