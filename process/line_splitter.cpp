#include "process/line_splitter.h"

#include <utility>

namespace {
constexpr char Nul = 0;
constexpr char LineFeed = 10;
constexpr char CarriageReturn = 13;
}  // namespace

void TLineSplitter::Split(const char* bytes, std::size_t count, ILineSink& sink) {
    std::string current = std::move(FPartial);
    FPartial.clear();
    for (std::size_t i = 0; i < count && !sink.StopRequested(); ++i) {
        const char b = bytes[i];
        if (b == Nul) continue;
        if (b == LineFeed && i == 0 && FEndedWithCR) continue;  // the rest of a CR LF split by a chunk end
        if (b == CarriageReturn || b == LineFeed) {
            TReturnCode code = rcLF;
            if (b == CarriageReturn && i + 1 < count && bytes[i + 1] == LineFeed) {
                code = rcCRLF;
                ++i;
            }
            sink.LineEnded(code);
            std::string line = std::move(current);
            current.clear();
            sink.Deliver(line, otWholeLine);
            continue;
        }
        current.push_back(b);
    }
    FEndedWithCR = count > 0 && bytes[count - 1] == CarriageReturn;
    FPartial = std::move(current);
    if (!FPartial.empty()) sink.Deliver(FPartial, otPartialLine);
}

void TLineSplitter::Reset() noexcept {
    FPartial.clear();
    FEndedWithCR = false;
}

bool EndsWithLineBreak(const std::string& s) noexcept {
    if (s.empty()) return true;
    const auto crlf = s.find("\r\n");
    if (crlf != std::string::npos && crlf + 2 == s.size()) return true;
    const auto lf = s.find(LineFeed);
    return lf != std::string::npos && lf + 1 == s.size();
}
