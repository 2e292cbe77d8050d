// Lays out a RIFF AVI file through IStream: the header lists, the movie data
// in arrival order, the legacy index, and the AVI 2.0 extensions (AVIX
// continuation lists, a super index per stream and a standard index per
// stream and RIFF list) so that files past 1 GiB stay readable.
//
// Use: AddStream for each stream, Start, then WriteVideo / WriteAudio in any
// order, then Finish, which completes the counts and sizes in the headers.
// Not thread-safe: the caller serialises the calls.
#pragma once

#include "shared/com_ptr.h"

#include <windows.h>
#include <dshow.h>

#include <cstdint>
#include <vector>

class TAviFileBuilder {
public:
    // A RIFF list holds at most this many bytes before the next begins.
    static constexpr uint64_t DefaultRiffLimit = uint64_t{1} << 30;
    // Super index entries per stream: one per RIFF list.
    static constexpr DWORD SuperIndexCapacity = 256;

    explicit TAviFileBuilder(uint64_t riffLimit = DefaultRiffLimit);

    // S_OK when a stream of this type can be written: video with a
    // VIDEOINFOHEADER and a frame length, or PCM audio with a WAVEFORMATEX.
    static HRESULT CheckStreamType(const AM_MEDIA_TYPE* type);

    // Adds a stream before Start; its number, or -1 for a type that
    // CheckStreamType refuses.
    int AddStream(const AM_MEDIA_TYPE& type);
    int StreamCount() const { return static_cast<int>(FStreams.size()); }

    // Writes the headers (with zero counts) and opens the movie list at the
    // start of the stream.
    HRESULT Start(IStream* stream);
    // A video frame at the position its start time gives (start divided by
    // the frame length, rounded); frame numbers skipped since the last frame
    // become empty chunks. Without a start time, or for a position already
    // written, the frame takes the next position.
    HRESULT WriteVideo(int stream, const REFERENCE_TIME* start, const BYTE* data, DWORD size, bool keyFrame);
    HRESULT WriteAudio(int stream, const BYTE* data, DWORD size);
    // Empty chunks after the last frame up to the frame position that the
    // end time gives (rounded), so the video lasts as long as the recording
    // when the source skipped its last frame numbers.
    HRESULT PadVideo(int stream, REFERENCE_TIME end);
    // Closes the last RIFF list with its indexes and rewrites the headers
    // with the final counts, rates and buffer sizes.
    HRESULT Finish();
    // After a failed write every call answers that failure, and Finish
    // leaves the headers as they were: the file does not claim to be whole.
    HRESULT Failure() const { return FFailure; }

    bool Started() const { return static_cast<bool>(FStream); }
    // Chunks with data written to a stream, and its length in frames (video,
    // empty chunks included) or sample blocks (audio).
    uint64_t DataChunks(int stream) const { return FStreams[stream].DataChunks; }
    uint64_t Length(int stream) const { return FStreams[stream].Length; }
    // RIFF lists begun so far.
    size_t RiffCount() const { return FRiffCount; }

private:
    struct TIndexEntry {
        uint64_t DataPos;  // first byte after the chunk header
        DWORD Size;
        bool Key;
    };
    struct TSuperEntry {
        uint64_t Offset;
        DWORD Size;
        DWORD Duration;
    };
    struct TStream {
        bool Video = false;
        bool Compressed = false;
        DWORD ChunkId = 0;
        DWORD Handler = 0;
        std::vector<BYTE> Format;  // the strf contents
        REFERENCE_TIME FrameLength = 0;
        DWORD Rate = 0;
        DWORD Scale = 0;
        DWORD SampleSize = 0;  // audio block size; 0 for video
        LONG Width = 0;
        LONG Height = 0;
        DWORD MaxChunk = 0;
        uint64_t Length = 0;  // frames or blocks
        uint64_t LengthInFirstRiff = 0;
        uint64_t Bytes = 0;
        uint64_t DataChunks = 0;
        uint64_t NextFrame = 0;
        std::vector<TIndexEntry> Segment;  // this RIFF list's chunks
        uint64_t SegmentUnits = 0;         // frames or blocks in it
        std::vector<TSuperEntry> Super;
    };
    struct TLegacyEntry {
        DWORD ChunkId;
        DWORD Flags;
        DWORD Offset;
        DWORD Size;
    };

    void BuildHeaders(std::vector<BYTE>& out) const;
    HRESULT WriteChunk(int stream, const BYTE* data, DWORD size, bool key, uint64_t units);
    HRESULT WriteBytes(const void* data, DWORD size);
    HRESULT WriteAt(uint64_t pos, const void* data, DWORD size);
    HRESULT Patch32(uint64_t pos, DWORD value);
    HRESULT OpenRiff(bool first);
    HRESULT CloseRiff();
    // Bytes the indexes of the open RIFF list will take, with extra more
    // chunks of the stream.
    uint64_t PendingIndexBytes(int stream, size_t extra) const;

    uint64_t FRiffLimit;
    std::vector<TStream> FStreams;
    ComPtr<IStream> FStream;
    uint64_t FPos = 0;
    uint64_t FHeaderSize = 0;
    uint64_t FRiffStart = 0;
    uint64_t FMoviStart = 0;  // position of the movi list's 'LIST'
    size_t FRiffCount = 0;
    bool FFirstRiff = true;
    std::vector<TLegacyEntry> FLegacy;
    HRESULT FFailure = S_OK;
};
