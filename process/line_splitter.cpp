#include "process/line_splitter.h"

#include <utility>

namespace {
constexpr char kNul = 0;
constexpr char kLF = 10;
constexpr char kCR = 13;
}  // namespace

void TLineSplitter::Split(const char* bytes, std::size_t count, ILineSink& sink) {
    std::string current = std::move(partial_);
    partial_.clear();
    for (std::size_t i = 0; i < count && !sink.StopRequested(); ++i) {
        const char b = bytes[i];
        if (b == kNul) continue;
        if (b == kLF && i == 0 && endedWithCR_) continue;  // the rest of a CR LF split by a chunk end
        if (b == kCR || b == kLF) {
            TReturnCode code = rcLF;
            if (b == kCR && i + 1 < count && bytes[i + 1] == kLF) {
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
    endedWithCR_ = count > 0 && bytes[count - 1] == kCR;
    partial_ = std::move(current);
    if (!partial_.empty()) sink.Deliver(partial_, otPartialLine);
}

void TLineSplitter::Reset() noexcept {
    partial_.clear();
    endedWithCR_ = false;
}

bool EndsWithLineBreak(const std::string& s) noexcept {
    if (s.empty()) return true;
    const auto crlf = s.find("\r\n");
    if (crlf != std::string::npos && crlf + 2 == s.size()) return true;
    const auto lf = s.find(kLF);
    return lf != std::string::npos && lf + 1 == s.size();
}
