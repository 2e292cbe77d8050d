// The AVI layout written to a real file through a file IStream and read back
// chunk by chunk: headers, interleaving, empty chunks for skipped frame
// numbers, the three indexes, AVIX continuation lists, refused types and a
// medium that runs out of room.
#include "tests/fixtures/wine_platform/avi_reader.h"
#include "tests/fixtures/wine_platform/test_sources.h"
#include "tests/fixtures/program_support.h"
#include "wine_platform/avi_file_builder.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <map>

using namespace avitest;

namespace {

AM_MEDIA_TYPE VideoType(VIDEOINFOHEADER& header, LONG width, LONG height, REFERENCE_TIME frameLength = FrameLength30,
                        DWORD compression = BI_RGB) {
    header = VIDEOINFOHEADER{};
    header.AvgTimePerFrame = frameLength;
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = height;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 24;
    header.bmiHeader.biCompression = compression;
    header.bmiHeader.biSizeImage = ((width * 3 + 3) & ~3) * height;
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Video;
    type.subtype = MEDIASUBTYPE_RGB24;
    type.formattype = FORMAT_VideoInfo;
    type.cbFormat = sizeof header;
    type.pbFormat = reinterpret_cast<BYTE*>(&header);
    return type;
}

AM_MEDIA_TYPE AudioType(WAVEFORMATEX& format, DWORD rate, WORD channels, WORD bits = 16) {
    format = WAVEFORMATEX{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = bits;
    format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = sizeof format;
    type.pbFormat = reinterpret_cast<BYTE*>(&format);
    return type;
}

struct AviBuilder : ::testing::Test {
    std::wstring Path;
    ComPtr<IStream> File;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("builder_") + info->name() + ".avi";
        Path = testsupport::ProgramFolder() + std::wstring(name.begin(), name.end());
        ASSERT_EQ(SHCreateStreamOnFileEx(Path.c_str(), STGM_CREATE | STGM_READWRITE, 0, TRUE, nullptr, File.Put()),
                  S_OK);
    }
    void TearDown() override {
        File = nullptr;
        DeleteFileW(Path.c_str());
    }
    AviFile Close() {
        File = nullptr;
        return ReadAvi(Path);
    }
    std::vector<BYTE> ChunkBytes(const Chunk& chunk) {
        Reader reader(Path);
        return reader.Bytes(chunk.DataPos, chunk.Size);
    }
};

HRESULT Check(const AM_MEDIA_TYPE& type) { return TAviFileBuilder::CheckStreamType(&type); }

// Every index entry names a movie chunk of that id, position and size.
void ExpectIndexMatchesMovie(const AviFile& avi, const std::vector<IndexEntry>& index) {
    std::map<uint64_t, const Chunk*> byPos;
    for (const Chunk& c : avi.Movie) byPos[c.DataPos] = &c;
    for (const IndexEntry& e : index) {
        auto found = byPos.find(e.DataPos);
        ASSERT_NE(found, byPos.end()) << e.Id << " at " << e.DataPos;
        EXPECT_EQ(found->second->Id, e.Id);
        EXPECT_EQ(found->second->Size, e.Size);
    }
}

TEST_F(AviBuilder, VideoAndSoundInArrivalOrderWithCompleteHeaders) {
    VIDEOINFOHEADER vih;
    WAVEFORMATEX wfx;
    TAviFileBuilder builder;
    ASSERT_EQ(builder.AddStream(VideoType(vih, 32, 16)), 0);
    ASSERT_EQ(builder.AddStream(AudioType(wfx, 44100, 2)), 1);
    ASSERT_EQ(builder.Start(File.Get()), S_OK);
    std::vector<BYTE> frame(vih.bmiHeader.biSizeImage), sound(1764);
    for (int i = 0; i < 10; ++i) {
        std::fill(frame.begin(), frame.end(), static_cast<BYTE>(i + 1));
        std::fill(sound.begin(), sound.end(), static_cast<BYTE>(0x40 + i));
        const REFERENCE_TIME start = i * FrameLength30;
        ASSERT_EQ(builder.WriteVideo(0, &start, frame.data(), static_cast<DWORD>(frame.size()), true), S_OK);
        ASSERT_EQ(builder.WriteAudio(1, sound.data(), static_cast<DWORD>(sound.size())), S_OK);
    }
    // An odd-sized sound chunk is padded to an even length.
    ASSERT_EQ(builder.WriteAudio(1, sound.data(), 1763), S_OK);
    ASSERT_EQ(builder.Finish(), S_OK);

    const AviFile avi = Close();
    ASSERT_EQ(avi.Error, "");
    ASSERT_EQ(avi.RiffTypes, std::vector<std::string>{"AVI "});
    EXPECT_EQ(uint64_t{avi.RiffSizes[0]} + 8, avi.FileSize);
    EXPECT_EQ(avi.Streams, 2u);
    EXPECT_EQ(avi.TotalFrames, 10u);
    EXPECT_EQ(avi.OdmlTotalFrames, 10u);
    EXPECT_EQ(avi.Width, 32u);
    EXPECT_EQ(avi.Height, 16u);
    EXPECT_EQ(avi.MicroSecPerFrame, 33333u);
    EXPECT_NE(avi.Flags & 0x10, 0u) << "has an index";
    EXPECT_EQ(avi.SuggestedBuffer, 1764u) << "the largest chunk";
    ASSERT_EQ(avi.Headers.size(), 2u);
    const StreamHeader& video = avi.Headers[0];
    EXPECT_EQ(video.Type, "vids");
    EXPECT_EQ(video.Rate, 30u);
    EXPECT_EQ(video.Scale, 1u);
    EXPECT_EQ(video.Length, 10u);
    EXPECT_EQ(video.SuggestedBuffer, frame.size());
    ASSERT_GE(video.Format.size(), sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(std::memcmp(video.Format.data(), &vih.bmiHeader, sizeof(BITMAPINFOHEADER)), 0);
    const StreamHeader& audio = avi.Headers[1];
    EXPECT_EQ(audio.Type, "auds");
    EXPECT_EQ(audio.Scale, 4u);
    EXPECT_EQ(audio.Rate, 176400u);
    EXPECT_EQ(audio.SampleSize, 4u);
    EXPECT_EQ(audio.Length, (10u * 1764 + 1763) / 4);
    ASSERT_GE(audio.Format.size(), 16u);
    EXPECT_EQ(std::memcmp(audio.Format.data(), &wfx, 16), 0);

    ASSERT_EQ(avi.Movie.size(), 21u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(avi.Movie[2 * i].Id, "00db");
        EXPECT_EQ(avi.Movie[2 * i + 1].Id, "01wb");
        EXPECT_EQ(ChunkBytes(avi.Movie[2 * i]), std::vector<BYTE>(frame.size(), static_cast<BYTE>(i + 1)));
        EXPECT_EQ(ChunkBytes(avi.Movie[2 * i + 1]), std::vector<BYTE>(1764, static_cast<BYTE>(0x40 + i)));
    }
    EXPECT_EQ(avi.Movie[20].Size, 1763u);

    ASSERT_EQ(avi.Legacy.size(), 21u);
    ExpectIndexMatchesMovie(avi, avi.Legacy);
    ASSERT_EQ(avi.Standard.size(), 2u);
    EXPECT_EQ(avi.Standard[0].size(), 10u);
    EXPECT_EQ(avi.Standard[1].size(), 11u);
    ExpectIndexMatchesMovie(avi, avi.Standard[0]);
    ExpectIndexMatchesMovie(avi, avi.Standard[1]);
    ASSERT_EQ(video.Super.size(), 1u);
    EXPECT_EQ(video.Super[0].Duration, 10u);
    EXPECT_EQ(video.IndexChunkId, "00db");
    ASSERT_EQ(audio.Super.size(), 1u);
    EXPECT_EQ(audio.Super[0].Duration, audio.Length);
}

TEST_F(AviBuilder, SkippedFrameNumbersBecomeEmptyChunks) {
    VIDEOINFOHEADER vih;
    TAviFileBuilder builder;
    ASSERT_EQ(builder.AddStream(VideoType(vih, 8, 8)), 0);
    ASSERT_EQ(builder.Start(File.Get()), S_OK);
    std::vector<BYTE> frame(vih.bmiHeader.biSizeImage, 7);
    for (LONGLONG n : {1, 2, 5, 6}) {
        const REFERENCE_TIME start = n * FrameLength30;
        ASSERT_EQ(builder.WriteVideo(0, &start, frame.data(), static_cast<DWORD>(frame.size()), true), S_OK);
    }
    // Stamped at a number already written, and unstamped: the next numbers.
    REFERENCE_TIME early = 3 * FrameLength30;
    ASSERT_EQ(builder.WriteVideo(0, &early, frame.data(), static_cast<DWORD>(frame.size()), true), S_OK);
    ASSERT_EQ(builder.WriteVideo(0, nullptr, frame.data(), static_cast<DWORD>(frame.size()), true), S_OK);
    // Padding to an end already reached adds nothing.
    ASSERT_EQ(builder.PadVideo(0, 9 * FrameLength30 - FrameLength30 / 3), S_OK);
    ASSERT_EQ(builder.Finish(), S_OK);
    EXPECT_EQ(builder.Length(0), 9u);
    EXPECT_EQ(builder.DataChunks(0), 6u);

    const AviFile avi = Close();
    ASSERT_EQ(avi.Error, "");
    std::vector<DWORD> sizes;
    for (const Chunk& c : avi.Movie) sizes.push_back(c.Size);
    const DWORD f = static_cast<DWORD>(frame.size());
    EXPECT_EQ(sizes, (std::vector<DWORD>{0, f, f, 0, 0, f, f, f, f}));
    EXPECT_EQ(avi.Headers[0].Length, 9u);
    EXPECT_EQ(avi.TotalFrames, 9u);
    // Empty chunks are indexed, not as key frames.
    ASSERT_EQ(avi.Standard[0].size(), 9u);
    EXPECT_FALSE(avi.Standard[0][0].Key);
    EXPECT_TRUE(avi.Standard[0][1].Key);
    ASSERT_EQ(avi.Legacy.size(), 9u);
    EXPECT_FALSE(avi.Legacy[3].Key);
}

TEST_F(AviBuilder, VideoIsPaddedToTheRecordingsEnd) {
    VIDEOINFOHEADER vih;
    TAviFileBuilder builder;
    ASSERT_EQ(builder.AddStream(VideoType(vih, 8, 8)), 0);
    ASSERT_EQ(builder.Start(File.Get()), S_OK);
    std::vector<BYTE> frame(vih.bmiHeader.biSizeImage, 7);
    const REFERENCE_TIME start = 0;
    ASSERT_EQ(builder.WriteVideo(0, &start, frame.data(), static_cast<DWORD>(frame.size()), true), S_OK);
    // 0.99 s: 30 frames (rounded), the last 29 empty.
    ASSERT_EQ(builder.PadVideo(0, 9900000), S_OK);
    ASSERT_EQ(builder.Finish(), S_OK);
    const AviFile avi = Close();
    ASSERT_EQ(avi.Error, "");
    EXPECT_EQ(avi.Headers[0].Length, 30u);
    ASSERT_EQ(avi.Movie.size(), 30u);
    EXPECT_EQ(avi.Movie[0].Size, frame.size());
    EXPECT_EQ(avi.Movie[29].Size, 0u);
}

TEST_F(AviBuilder, FilesPastTheListLimitContinueInAvixListsWithIndexes) {
    VIDEOINFOHEADER vih;
    WAVEFORMATEX wfx;
    constexpr uint64_t limit = 64 * 1024;
    TAviFileBuilder builder(limit);
    ASSERT_EQ(builder.AddStream(VideoType(vih, 64, 64)), 0);
    ASSERT_EQ(builder.AddStream(AudioType(wfx, 8000, 1)), 1);
    ASSERT_EQ(builder.Start(File.Get()), S_OK);
    std::vector<BYTE> frame(vih.bmiHeader.biSizeImage), sound(1600, 0x11);
    for (int i = 0; i < 40; ++i) {
        std::fill(frame.begin(), frame.end(), static_cast<BYTE>(i));
        const REFERENCE_TIME start = i * FrameLength30;
        ASSERT_EQ(builder.WriteVideo(0, &start, frame.data(), static_cast<DWORD>(frame.size()), true), S_OK);
        if (i % 3 == 0) {
            ASSERT_EQ(builder.WriteAudio(1, sound.data(), 1600), S_OK);
        }
    }
    ASSERT_EQ(builder.Finish(), S_OK);

    const AviFile avi = Close();
    ASSERT_EQ(avi.Error, "");
    ASSERT_GE(avi.RiffTypes.size(), 3u);
    EXPECT_EQ(avi.RiffTypes[0], "AVI ");
    for (size_t i = 1; i < avi.RiffTypes.size(); ++i) EXPECT_EQ(avi.RiffTypes[i], "AVIX");
    for (DWORD size : avi.RiffSizes) EXPECT_LE(size + 8u, limit);
    EXPECT_EQ(builder.RiffCount(), avi.RiffTypes.size());

    // Every frame in order, whichever list holds it.
    std::vector<const Chunk*> frames;
    for (const Chunk& c : avi.Movie)
        if (c.Id == "00db") frames.push_back(&c);
    ASSERT_EQ(frames.size(), 40u);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(ChunkBytes(*frames[i])[100], static_cast<BYTE>(i));

    const StreamHeader& video = avi.Headers[0];
    EXPECT_EQ(video.Length, 40u);
    EXPECT_EQ(avi.OdmlTotalFrames, 40u);
    size_t inFirst = 0;
    for (const Chunk* c : frames) inFirst += c->Riff == 0;
    EXPECT_EQ(avi.TotalFrames, inFirst);
    EXPECT_LT(inFirst, 40u);
    // One standard index per list and stream, all reachable from the super
    // index; the legacy index covers the first list only.
    EXPECT_EQ(video.Super.size(), avi.RiffTypes.size());
    DWORD duration = 0;
    for (const auto& e : video.Super) duration += e.Duration;
    EXPECT_EQ(duration, 40u);
    ASSERT_EQ(avi.Standard[0].size(), 40u);
    ExpectIndexMatchesMovie(avi, avi.Standard[0]);
    EXPECT_EQ(avi.Standard[1].size(), 14u);
    ExpectIndexMatchesMovie(avi, avi.Standard[1]);
    size_t firstListChunks = 0;
    for (const Chunk& c : avi.Movie) firstListChunks += c.Riff == 0;
    EXPECT_EQ(avi.Legacy.size(), firstListChunks);
    ExpectIndexMatchesMovie(avi, avi.Legacy);
    Reader reader(Path);
    for (const auto& e : video.Super) {
        const std::vector<BYTE> head = reader.Bytes(e.Offset, 8);
        ASSERT_EQ(head.size(), 8u);
        EXPECT_EQ(FourCC(head.data()), "ix00");
        EXPECT_EQ(Le32(head.data() + 4) + 8, e.Size);
    }
}

TEST(AviStreamTypes, VideoNeedsAFrameLengthAndSoundMustBePcm) {
    VIDEOINFOHEADER vih;
    WAVEFORMATEX wfx;
    EXPECT_EQ(Check(VideoType(vih, 64, 48)), S_OK);
    EXPECT_EQ(Check(VideoType(vih, 64, -48)), S_OK);
    AM_MEDIA_TYPE mjpg = VideoType(vih, 64, 48, FrameLength30, MAKEFOURCC('M', 'J', 'P', 'G'));
    EXPECT_EQ(Check(mjpg), S_OK);
    EXPECT_NE(Check(VideoType(vih, 64, 48, 0)), S_OK);
    EXPECT_NE(Check(VideoType(vih, 0, 48)), S_OK);
    AM_MEDIA_TYPE shortBlock = VideoType(vih, 64, 48);
    shortBlock.cbFormat = sizeof(VIDEOINFOHEADER) - 4;
    EXPECT_NE(Check(shortBlock), S_OK);
    AM_MEDIA_TYPE otherFormat = VideoType(vih, 64, 48);
    otherFormat.formattype = FORMAT_VideoInfo2;
    EXPECT_NE(Check(otherFormat), S_OK);

    EXPECT_EQ(Check(AudioType(wfx, 48000, 2)), S_OK);
    EXPECT_EQ(Check(AudioType(wfx, 22050, 1, 8)), S_OK);
    EXPECT_EQ(Check(AudioType(wfx, 44100, 2, 24)), S_OK);
    AM_MEDIA_TYPE floatSound = AudioType(wfx, 48000, 2, 32);
    floatSound.subtype = MEDIASUBTYPE_IEEE_FLOAT;
    wfx.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    EXPECT_NE(Check(floatSound), S_OK);
    AM_MEDIA_TYPE badAlign = AudioType(wfx, 48000, 2);
    wfx.nBlockAlign = 3;
    EXPECT_NE(Check(badAlign), S_OK);
    AM_MEDIA_TYPE noChannels = AudioType(wfx, 48000, 0);
    EXPECT_NE(Check(noChannels), S_OK);

    AM_MEDIA_TYPE stream{};
    stream.majortype = MEDIATYPE_Stream;
    EXPECT_NE(Check(stream), S_OK);

    TAviFileBuilder builder;
    EXPECT_EQ(builder.AddStream(noChannels), -1);
    EXPECT_EQ(builder.StreamCount(), 0);
}

TEST(AviStreamTypes, FrameRatesAreExactFractions) {
    struct Case {
        REFERENCE_TIME Length;
        DWORD Rate, Scale;
    };
    for (const Case c : {Case{333333, 30, 1}, Case{400000, 25, 1}, Case{1000000, 10, 1}, Case{666667, 15, 1},
                         Case{333667, 10000000, 333667}}) {
        VIDEOINFOHEADER vih;
        ComPtr<IStream> memory;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, memory.Put()), S_OK);
        TAviFileBuilder builder;
        ASSERT_EQ(builder.AddStream(VideoType(vih, 8, 8, c.Length)), 0);
        ASSERT_EQ(builder.Start(memory.Get()), S_OK);
        ASSERT_EQ(builder.Finish(), S_OK);
        // strh of the only stream: after RIFF, hdrl, avih and strl heads.
        HGLOBAL global = nullptr;
        GetHGlobalFromStream(memory.Get(), &global);
        const BYTE* bytes = static_cast<const BYTE*>(GlobalLock(global));
        const BYTE* strh = bytes + 12 + 12 + 64 + 12;
        ASSERT_EQ(FourCC(strh), "strh");
        EXPECT_EQ(Le32(strh + 8 + 20), c.Scale) << c.Length;
        EXPECT_EQ(Le32(strh + 8 + 24), c.Rate) << c.Length;
        GlobalUnlock(global);
    }
}

TEST(AviMedium, AFullMediumFailsTheWriteAndLeavesTheFileUnfinished) {
    auto* sink = new TStreamSink;
    ComPtr<IBaseFilter> hold(sink);
    sink->Pin->Room = 20000;
    VIDEOINFOHEADER vih;
    TAviFileBuilder builder;
    ASSERT_EQ(builder.AddStream(VideoType(vih, 32, 32)), 0);
    ASSERT_EQ(builder.Start(sink->Pin), S_OK);
    std::vector<BYTE> frame(vih.bmiHeader.biSizeImage);
    HRESULT hr = S_OK;
    for (int i = 0; i < 20 && SUCCEEDED(hr); ++i)
        hr = builder.WriteVideo(0, nullptr, frame.data(), static_cast<DWORD>(frame.size()), true);
    EXPECT_EQ(hr, STG_E_MEDIUMFULL);
    EXPECT_NE(builder.Finish(), S_OK);
    // The RIFF size is still the placeholder: no reader takes it as whole.
    ASSERT_GE(sink->Pin->Bytes.size(), 8u);
    EXPECT_EQ(Le32(sink->Pin->Bytes.data() + 4), 0u);
}

}  // namespace
