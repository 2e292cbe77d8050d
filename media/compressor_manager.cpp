// The compressor catalogue.
#include "media/compressor_manager.h"

#include "classlib/runtime/lists.h"
#include "media/filter.h"
#include "media/known_interfaces.h"

#include <cwchar>

namespace {

const GUID kVideoCompressorCategory{0x33D9A760, 0x90C8, 0x11D0, {0xBD, 0x43, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
const GUID kAudioCompressorCategory{0x33D9A761, 0x90C8, 0x11D0, {0xBD, 0x43, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};

// A probe instance of the device at Index, bound through a filter wrapper
// outside any graph; null when there is none.
ComPtr<IBaseFilter> BindProbe(const TSysDevEnum& devices, int Index) {
    TFilter wrapper(nullptr);
    wrapper.BaseFilter()->SetMoniker(devices.GetMoniker(Index).Get());
    wrapper.NotifyFilter(mnRejoin, 0);
    return wrapper.BaseFilter()->CreateFilter();
}

// Walks the known interfaces in order; true at the first row named Name that
// the filter answers.
bool AnswersKnown(IBaseFilter* filter, const wchar_t* name) {
    for (const TKnownInterface& row : KnownInterfaces) {
        ComPtr<IUnknown> answer;
        if (FAILED(filter->QueryInterface(*row.Iid, answer.PutVoid()))) continue;
        if (wcscmp(row.Name, name) == 0) return true;
    }
    return false;
}

// Appends an entry for every position that passes the test; a device whose
// examination fails in any way is left out.
template <class Test>
void Collect(const TSysDevEnum& devices, std::vector<TMvCompressorNameObject>& list, Test keep) {
    for (int i = 0; i < devices.CountFilters(); ++i) {
        try {
            if (!keep(i)) continue;
            TSysDevEntry entry{};
            devices.GetFilterEntry(i, entry);
            list.push_back(TMvCompressorNameObject{entry.FriendlyNameText(), i});
        } catch (...) {
            // The device is not listed.
        }
    }
}

}  // namespace

TMvCompressorManager::TMvCompressorManager() {
    VideoEnum = std::make_unique<TSysDevEnum>(kVideoCompressorCategory);
    Collect(*VideoEnum, VideoCompressors, [this](int i) { return HasConfigDialog(i); });
    AudioEnum = std::make_unique<TSysDevEnum>(kAudioCompressorCategory);
    Collect(*AudioEnum, AudioCompressors, [this](int i) { return !IsDmoWrapper(i); });
}

bool TMvCompressorManager::HasConfigDialog(int Index) const {
    const ComPtr<IBaseFilter> probe = BindProbe(*VideoEnum, Index);
    if (!probe || !AnswersKnown(probe.Get(), L"IAMVfwCompressDialogs")) return false;
    const ComPtr<IBaseFilter> second = VideoEnum->GetBaseFilter(Index);
    ComPtr<IAMVfwCompressDialogs> dialogs;
    if (!second || second->QueryInterface(IID_IAMVfwCompressDialogs, dialogs.PutVoid()) != S_OK || !dialogs)
        return false;
    return dialogs->ShowDialog(VfwCompressDialog_QueryConfig, nullptr) == S_OK;
}

bool TMvCompressorManager::IsDmoWrapper(int Index) const {
    const ComPtr<IBaseFilter> probe = BindProbe(*AudioEnum, Index);
    // No probe instance: the device cannot be examined, so it is not listed.
    if (!probe) throw Exception(L"The audio compressor cannot be bound");
    return AnswersKnown(probe.Get(), L"IDMOWrapperFilter");
}

const TMvCompressorNameObject& TMvCompressorManager::VideoEntry(int Index) const {
    if (Index < 0 || Index >= Count()) ListIndexError(Index, Count());
    return VideoCompressors[static_cast<size_t>(Index)];
}

void TMvCompressorManager::GetName(int Index, std::wstring& Name) const { Name = VideoEntry(Index).Name; }

void TMvCompressorManager::GetFilter(int Index, ComPtr<IBaseFilter>& Filter) const {
    Filter = VideoEnum->GetBaseFilter(VideoEntry(Index).Id);
}
