// The recording's own clock work: the elapsed-time label, the seconds
// recorded and the recording limit.
#include "app/form_main.h"
#include "classlib/runtime/text.h"

#include <cmath>

void TFormMain::TimerCaptureTimeTimer(TObject*) {
    // Whole seconds since the start, counted on past a day.
    const long long ms = std::llround((FClock() - FRecStart) * MSecsPerDay);
    const std::int64_t seconds = ms > 0 ? ms / 1000 : 0;
    const std::int64_t hh = seconds / 3600, nn = (seconds % 3600) / 60, ss = seconds % 60;
    lblCaptureTime->SetCaption(L"(経過時間 " + Format(L"%.2d", hh) + L"：" + Format(L"%.2d", nn) + L"：" +
                               Format(L"%.2d", ss) + L")");
    FElapsedSec = seconds;
    if (FSettings->RecLimitNN > 0 || FSettings->RecLimitSS > 0) {
        FLimitSec = static_cast<std::int64_t>(FSettings->RecLimitNN) * 60 + FSettings->RecLimitSS;
        if (FElapsedSec >= FLimitSec) pngCaptureFinishClick(nullptr);
    }
}
