// TMvCompressorManager: the catalogue of compressors that the recorder
// offers. Built once: every device of the video-compressor category that
// reports a configuration dialog, and every device of the audio-compressor
// category that is not a DMO wrapper. Each entry keeps the device's position
// in its category; GetFilter binds whatever device stands there now, a new
// instance on every call.
#pragma once

#include "media/sys_dev_enum.h"
#include "shared/com_ptr.h"

#include <windows.h>
#include <dshow.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TMvCompressorNameObject {
    std::wstring Name;  // the device's friendly name
    int32_t Id = 0;     // the device's position in its category
};

class TMvCompressorManager {
public:
    TMvCompressorManager();
    TMvCompressorManager(const TMvCompressorManager&) = delete;
    TMvCompressorManager& operator=(const TMvCompressorManager&) = delete;

    // The number of video compressors listed.
    int Count() const noexcept { return static_cast<int>(VideoCompressors.size()); }
    // EListError for an index outside the video list.
    void GetName(int Index, std::wstring& Name) const;
    // A new instance of the compressor; null when its position no longer
    // exists in the category. EListError for an index outside the video list.
    void GetFilter(int Index, ComPtr<IBaseFilter>& Filter) const;

    // The tests used while building, for a position in each category.
    bool HasConfigDialog(int Index) const;
    bool IsDmoWrapper(int Index) const;

    std::vector<TMvCompressorNameObject> VideoCompressors;
    std::vector<TMvCompressorNameObject> AudioCompressors;
    std::unique_ptr<TSysDevEnum> VideoEnum;
    std::unique_ptr<TSysDevEnum> AudioEnum;

private:
    const TMvCompressorNameObject& VideoEntry(int Index) const;
};
