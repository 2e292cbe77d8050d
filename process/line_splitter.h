// Turns the bytes a console program prints into lines.
//
// Bytes arrive in chunks of any size. CR LF, a single CR and a single LF end
// a line; a CR at the end of one chunk followed by an LF at the start of the
// next is one line end. NUL bytes are dropped. The text of a line whose end
// has not arrived yet is kept and reported as a partial line after every
// chunk, each time with all of its text so far. Bytes are kept unchanged (no
// character-set conversion).
#pragma once

#include <cstddef>
#include <string>

// The kind of a reported line.
enum TOutputType {
    otWholeLine = 0,    // a complete line, without its line break
    otPartialLine = 1,  // the text so far of a line whose end has not arrived
};

// How a complete line ended.
enum TReturnCode {
    rcCRLF = 0,  // CR LF
    rcLF = 1,    // a single CR or a single LF
};

// Receives what the splitter finds in a chunk.
class ILineSink {
public:
    // The line about to be reported as whole ended with `code`; called just
    // before that line's Deliver.
    virtual void LineEnded(TReturnCode code) = 0;
    virtual void Deliver(const std::string& line, TOutputType type) = 0;
    // Polled before every byte: true breaks off the rest of the chunk.
    virtual bool StopRequested() = 0;

protected:
    ~ILineSink() = default;
};

class TLineSplitter {
public:
    // Splits one chunk. A stop request breaks off the splitting; the text
    // gathered until then is still kept and reported as partial.
    void Split(const char* bytes, std::size_t count, ILineSink& sink);

    // The start of a line whose end has not arrived.
    const std::string& Partial() const noexcept { return FPartial; }
    void SetPartial(std::string text) { FPartial = std::move(text); }
    bool EndedWithCR() const noexcept { return FEndedWithCR; }
    // Forgets the partial text and the pending CR (a new run).
    void Reset() noexcept;

private:
    std::string FPartial;
    bool FEndedWithCR = false;
};

// Whether a line written to the child's input carries its own line break:
// the first CR LF forms its last two characters, or the first LF is its last
// character. An empty line counts as ended.
bool EndsWithLineBreak(const std::string& s) noexcept;
