// An audio capture device's input line: the switch is the endpoint's, kept
// outside the filter (see audio_endpoint.h).
#pragma once

#include "baseclasses/audio_input_line_pin.h"

#include <string>

class TAudioInputLinePin : public TBCAudioInputLinePin {
public:
    TAudioInputLinePin(HRESULT* hr, TBCBaseFilter* filter, TBCCritSec* lock);

    // The line stands for this endpoint and takes its name.
    void Bind(const std::wstring& endpointId, const std::wstring& name);
    std::wstring EndpointId() const;

protected:
    // Kept per endpoint; VFW_E_NO_CAPTURE_HARDWARE before Bind.
    HRESULT WriteEnabled(WINBOOL enable) override;
    HRESULT ReadEnabled(bool& enabled) override;

private:
    std::wstring FEndpointId;
};
