// The byte-wise line splitting on its own, chunk by chunk.
#include <gtest/gtest.h>

#include "process/line_splitter.h"

#include <string>
#include <vector>

namespace {

struct Report {
    std::string line;
    TOutputType type;
    int code;  // the return code announced for a whole line, -1 for partial
    bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Report& r) {
    os << '{';
    for (char c : r.line) {
        if (static_cast<unsigned char>(c) < 32)
            os << "\\x" << std::hex << int(c) << std::dec;
        else
            os << c;
    }
    return os << ", " << (r.type == otWholeLine ? "whole" : "partial") << ", " << r.code << '}';
}

class Recorder : public ILineSink {
public:
    void LineEnded(TReturnCode code) override { FPending = code; }
    void Deliver(const std::string& line, TOutputType type) override {
        reports.push_back({line, type, type == otWholeLine ? FPending : -1});
        FPending = -1;
        if (stopAfter > 0 && reports.size() >= static_cast<std::size_t>(stopAfter)) stop = true;
    }
    bool StopRequested() override { return stop; }

    std::vector<Report> reports;
    int stopAfter = 0;
    bool stop = false;

private:
    int FPending = -1;
};

std::vector<Report> SplitChunks(const std::vector<std::string>& chunks) {
    TLineSplitter splitter;
    Recorder rec;
    for (const auto& c : chunks) splitter.Split(c.data(), c.size(), rec);
    return rec.reports;
}

const Report Whole(const std::string& s, TReturnCode code) { return {s, otWholeLine, code}; }
const Report Part(const std::string& s) { return {s, otPartialLine, -1}; }

}  // namespace

TEST(LineSplitter, LineEndsInOneChunk) {
    using namespace std::string_literals;
    EXPECT_EQ(SplitChunks({"abc\r\ndef\n"}), (std::vector<Report>{Whole("abc", rcCRLF), Whole("def", rcLF)}));
    EXPECT_EQ(SplitChunks({"\n\n"}), (std::vector<Report>{Whole("", rcLF), Whole("", rcLF)}));
    EXPECT_EQ(SplitChunks({"a\r\r\n"}), (std::vector<Report>{Whole("a", rcLF), Whole("", rcCRLF)}));
    EXPECT_EQ(SplitChunks({"a\rb\n\rc\r\n"}),
              (std::vector<Report>{Whole("a", rcLF), Whole("b", rcLF), Whole("", rcLF), Whole("c", rcCRLF)}));
    EXPECT_EQ(SplitChunks({"a\0b\n"s}), (std::vector<Report>{Whole("ab", rcLF)}));
    // Bytes above 127 (Shift_JIS text, for one) pass through unchanged.
    EXPECT_EQ(SplitChunks({"\x93\xfa\x96\x7b\n"}), (std::vector<Report>{Whole("\x93\xfa\x96\x7b", rcLF)}));
}

TEST(LineSplitter, CRAtChunkEndJoinsLFOfNextChunk) {
    EXPECT_EQ(SplitChunks({"abc\r", "\ndef\nghi\n"}),
              (std::vector<Report>{Whole("abc", rcLF), Whole("def", rcLF), Whole("ghi", rcLF)}));
    // Only the first byte of the next chunk is swallowed.
    EXPECT_EQ(SplitChunks({"abc\r", "\n\n"}), (std::vector<Report>{Whole("abc", rcLF), Whole("", rcLF)}));
    // A CR that is not the last byte does not swallow the next chunk's LF.
    EXPECT_EQ(SplitChunks({"abc\rx", "\n"}), (std::vector<Report>{Whole("abc", rcLF), Part("x"), Whole("x", rcLF)}));
    // A chunk of one CR, then one of one LF: one empty line, not two.
    EXPECT_EQ(SplitChunks({"\r", "\n"}), (std::vector<Report>{Whole("", rcLF)}));
    // A CR, then a chunk of NUL and LF: the NUL keeps the LF from being the first byte.
    using namespace std::string_literals;
    EXPECT_EQ(SplitChunks({"a\r", "\0\n"s}), (std::vector<Report>{Whole("a", rcLF), Whole("", rcLF)}));
}

TEST(LineSplitter, PartialLinesRepeatWithAllTextSoFar) {
    EXPECT_EQ(SplitChunks({"abc", "def\n"}), (std::vector<Report>{Part("abc"), Whole("abcdef", rcLF)}));
    EXPECT_EQ(SplitChunks({"ab", "cd", "ef\r\ngh"}),
              (std::vector<Report>{Part("ab"), Part("abcd"), Whole("abcdef", rcCRLF), Part("gh")}));
    // A chunk of NUL bytes adds no text, but the pending partial text is reported again.
    using namespace std::string_literals;
    EXPECT_EQ(SplitChunks({"ab", "\0\0"s, "c\n"}), (std::vector<Report>{Part("ab"), Part("ab"), Whole("abc", rcLF)}));
}

TEST(LineSplitter, PartialTextIsKeptAndCanBeReplaced) {
    TLineSplitter splitter;
    Recorder rec;
    splitter.Split("xy", 2, rec);
    EXPECT_EQ(splitter.Partial(), "xy");
    splitter.SetPartial("typed");
    splitter.Split("!\n", 2, rec);
    EXPECT_EQ(rec.reports.back(), Whole("typed!", rcLF));
    EXPECT_EQ(splitter.Partial(), "");
    splitter.Split("q\r", 2, rec);
    EXPECT_TRUE(splitter.EndedWithCR());
    splitter.Reset();
    EXPECT_FALSE(splitter.EndedWithCR());
    splitter.Split("\nz\n", 3, rec);  // after Reset the leading LF is a line end of its own
    EXPECT_EQ(rec.reports.size(), 5u);
    EXPECT_EQ(rec.reports[3], Whole("", rcLF));
    EXPECT_EQ(rec.reports[4], Whole("z", rcLF));
}

TEST(LineSplitter, StopBreaksOffTheChunkButKeepsThePartialText) {
    TLineSplitter splitter;
    Recorder rec;
    rec.stopAfter = 1;
    const std::string chunk = "one\ntwo\nthree";
    splitter.Split(chunk.data(), chunk.size(), rec);
    EXPECT_EQ(rec.reports, (std::vector<Report>{Whole("one", rcLF)}));
    EXPECT_EQ(splitter.Partial(), "");

    Recorder rec2;
    rec2.stopAfter = 1;
    splitter.Split("ab\ncd", 5, rec2);  // not yet stopped when the line starts
    EXPECT_EQ(rec2.reports, (std::vector<Report>{Whole("ab", rcLF)}));
    TLineSplitter s3;
    Recorder rec3;
    s3.Split("ab", 2, rec3);
    rec3.stop = true;
    s3.Split("cd\n", 3, rec3);  // stopped before the first byte: the old partial text is reported again
    EXPECT_EQ(rec3.reports, (std::vector<Report>{Part("ab"), Part("ab")}));
}

TEST(LineSplitter, LongLineGrowsOnlyThePartialText) {
    TLineSplitter splitter;
    Recorder rec;
    const std::string piece(4096, 'x');
    for (int i = 0; i < 256; ++i) splitter.Split(piece.data(), piece.size(), rec);
    EXPECT_EQ(splitter.Partial().size(), 1u << 20);
    splitter.Split("\n", 1, rec);
    ASSERT_EQ(rec.reports.size(), 257u);
    EXPECT_EQ(rec.reports.back().line.size(), 1u << 20);
    EXPECT_EQ(rec.reports.back().type, otWholeLine);
}

TEST(LineSplitter, InputLineBreaks) {
    EXPECT_TRUE(EndsWithLineBreak(""));
    EXPECT_TRUE(EndsWithLineBreak("dir\r\n"));
    EXPECT_TRUE(EndsWithLineBreak("dir\n"));
    EXPECT_TRUE(EndsWithLineBreak("a\nb\r\n"));  // the first CR LF is the last two characters
    EXPECT_FALSE(EndsWithLineBreak("dir"));
    EXPECT_FALSE(EndsWithLineBreak("dir\r"));
    EXPECT_FALSE(EndsWithLineBreak("a\r\nb\n"));  // an earlier CR LF and LF: not taken as ended
    EXPECT_FALSE(EndsWithLineBreak("a\nb"));
}
