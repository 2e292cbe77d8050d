// The main window's audio capture devices and their input lines: listing
// them, enabling the line the user picks, and around the program's life
// remembering and restoring which line each device had enabled.
#include "app/form_main.h"
#include "classlib/runtime/text.h"
#include "media/pin_list.h"
#include "shared/info_records.h"

#include <vector>

namespace {

// The input pins of a device, in its order: its input lines. None when the
// device cannot be bound.
std::vector<ComPtr<IPin>> DeviceLines(const TSysDevEnum& devices, int deviceIndex) {
    std::vector<ComPtr<IPin>> lines;
    ComPtr<IBaseFilter> filter = devices.GetBaseFilter(deviceIndex);
    if (!filter) return lines;
    TPinList pins(filter.Get());
    for (int i = pins.Count() - 1; i >= 0; --i) {
        PIN_DIRECTION direction = PINDIR_INPUT;
        if (SUCCEEDED(pins.GetPin(i)->QueryDirection(&direction)) && direction == PINDIR_OUTPUT) pins.Delete(i);
    }
    for (int i = 0; i < pins.Count(); ++i) lines.push_back(pins.GetPin(i));
    return lines;
}

// The line's name as the program's code page holds it (how it is stored).
std::wstring LineName(IPin* pin) {
    TPinInfo info;
    if (FAILED(pin->QueryPinInfo(info.Put()))) return {};
    const std::wstring name(info->achName, wcsnlen(info->achName, MAX_PIN_NAME - 1));
    return AnsiToWide(WideToAnsi(name));
}

ComPtr<IAMAudioInputMixer> Mixer(IPin* pin) {
    ComPtr<IAMAudioInputMixer> mixer;
    if (FAILED(pin->QueryInterface(IID_IAMAudioInputMixer, mixer.PutVoid()))) mixer = nullptr;
    return mixer;
}

bool LineEnabled(IPin* pin) {
    ComPtr<IAMAudioInputMixer> mixer = Mixer(pin);
    BOOL enabled = FALSE;
    return mixer && SUCCEEDED(mixer->get_Enable(&enabled)) && enabled;
}

}  // namespace

void TFormMain::FillAudioDevices() {
    CBAudioDeviceName->Items().Clear();
    const int count = FAudioDevices ? FAudioDevices->CountFilters() : 0;
    for (int i = 0; i < count; ++i) {
        std::wstring name;
        try {
            TSysDevEntry entry{};
            FAudioDevices->GetFilterEntry(i, entry);
            name = entry.FriendlyNameText();
        } catch (const Exception&) {
            name.clear();
        }
        CBAudioDeviceName->Items().Add(name);
    }
    if (CBAudioDeviceName->Items().Count() > 0) {
        CBAudioDeviceName->SetItemIndex(0);
        FillAudioInputs(0);
    }
}

void TFormMain::FillAudioInputs(std::int32_t DeviceIndex) {
    const std::vector<ComPtr<IPin>> lines =
        FAudioDevices ? DeviceLines(*FAudioDevices, DeviceIndex) : std::vector<ComPtr<IPin>>{};
    CBAudioSourseName->Items().Clear();
    CBAudioSourseName->SetItemIndex(-1);
    // Every line keeps its index as its position; one without a mixer is
    // listed but never shown as chosen.
    for (size_t i = 0; i < lines.size(); ++i) {
        CBAudioSourseName->Items().Add(LineName(lines[i].Get()));
        if (LineEnabled(lines[i].Get())) CBAudioSourseName->SetItemIndex(static_cast<int>(i));
    }
}

void TFormMain::SelectAudioInput(std::int32_t DeviceIndex, std::int32_t LineIndex) {
    if (!FAudioDevices) return;
    const std::vector<ComPtr<IPin>> lines = DeviceLines(*FAudioDevices, DeviceIndex);
    for (size_t i = 0; i < lines.size(); ++i) {
        // A line without a mixer has no state to set; the others still do.
        if (ComPtr<IAMAudioInputMixer> mixer = Mixer(lines[i].Get()))
            mixer->put_Enable(static_cast<std::int32_t>(i) == LineIndex ? -1 : 0);
    }
}

void TFormMain::SaveAudioInputStates() {
    const int count = FAudioDevices ? FAudioDevices->CountFilters() : 0;
    for (int d = 0; d < count; ++d) {
        const std::vector<ComPtr<IPin>> lines = DeviceLines(*FAudioDevices, d);
        int enabled = -1;
        for (size_t i = 0; i < lines.size() && enabled < 0; ++i)
            if (LineEnabled(lines[i].Get())) enabled = static_cast<int>(i);
        FSavedInputs->Add(IntToStr(enabled));
    }
}

void TFormMain::RestoreAudioInputStates() {
    if (!FSavedInputs) return;
    for (int d = 0; d < FSavedInputs->Count(); ++d) {
        int line = -1;
        if (!TryStrToInt(FSavedInputs->Strings(d), line)) line = -1;
        if (line != -1) SelectAudioInput(d, line);
    }
}

void TFormMain::CBAudioDeviceNameChange(TObject*) {
    if (CBAudioDeviceName->ItemIndex() >= 0) FillAudioInputs(CBAudioDeviceName->ItemIndex());
}

void TFormMain::CBAudioSourseNameChange(TObject*) {
    if (CBAudioDeviceName->ItemIndex() >= 0 && CBAudioSourseName->ItemIndex() >= 0)
        SelectAudioInput(CBAudioDeviceName->ItemIndex(), CBAudioSourseName->ItemIndex());
}
