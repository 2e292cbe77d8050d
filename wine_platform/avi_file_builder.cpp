#include "wine_platform/avi_file_builder.h"

#include "wine_platform/riff_buffer.h"

#include <mmreg.h>
#include <uuids.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr DWORD AvifHasIndex = 0x10;
constexpr DWORD AvifIsInterleaved = 0x100;
constexpr DWORD AvifTrustCkType = 0x800;
constexpr DWORD AviifKeyFrame = 0x10;
constexpr BYTE AviIndexOfIndexes = 0x00;
constexpr BYTE AviIndexOfChunks = 0x01;
constexpr DWORD NotKeyFrameBit = 0x80000000u;
constexpr DWORD DmlhSize = 248;

DWORD StreamChunkId(int number, const char* suffix) {
    const char text[5] = {static_cast<char>('0' + number / 10), static_cast<char>('0' + number % 10), suffix[0],
                          suffix[1], 0};
    return MakeFourCC(text);
}

DWORD IndexChunkId(int number) {
    const char text[5] = {'i', 'x', static_cast<char>('0' + number / 10), static_cast<char>('0' + number % 10), 0};
    return MakeFourCC(text);
}

const VIDEOINFOHEADER* VideoFormat(const AM_MEDIA_TYPE* type) {
    if (type->majortype != MEDIATYPE_Video || type->formattype != FORMAT_VideoInfo || type->pbFormat == nullptr ||
        type->cbFormat < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
}

const WAVEFORMATEX* AudioFormat(const AM_MEDIA_TYPE* type) {
    if (type->majortype != MEDIATYPE_Audio || type->subtype != MEDIASUBTYPE_PCM ||
        type->formattype != FORMAT_WaveFormatEx || type->pbFormat == nullptr || type->cbFormat < sizeof(PCMWAVEFORMAT))
        return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
}

bool IsUncompressed(DWORD compression) { return compression == BI_RGB || compression == BI_BITFIELDS; }

}  // namespace

TAviFileBuilder::TAviFileBuilder(uint64_t riffLimit) : FRiffLimit(riffLimit) {}

HRESULT TAviFileBuilder::CheckStreamType(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    if (const VIDEOINFOHEADER* video = VideoFormat(type)) {
        const BITMAPINFOHEADER& bmi = video->bmiHeader;
        if (video->AvgTimePerFrame <= 0 || bmi.biWidth <= 0 || bmi.biHeight == 0 ||
            bmi.biSize < sizeof(BITMAPINFOHEADER) || bmi.biSize > type->cbFormat - offsetof(VIDEOINFOHEADER, bmiHeader))
            return VFW_E_TYPE_NOT_ACCEPTED;
        if (IsUncompressed(bmi.biCompression) && bmi.biBitCount == 0) return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    if (const WAVEFORMATEX* audio = AudioFormat(type)) {
        if (audio->wFormatTag != WAVE_FORMAT_PCM || audio->nChannels == 0 || audio->nSamplesPerSec == 0 ||
            audio->nBlockAlign == 0 || audio->wBitsPerSample == 0 ||
            audio->nBlockAlign != audio->nChannels * ((audio->wBitsPerSample + 7) / 8))
            return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    return VFW_E_TYPE_NOT_ACCEPTED;
}

int TAviFileBuilder::AddStream(const AM_MEDIA_TYPE& type) {
    if (Started() || CheckStreamType(&type) != S_OK || FStreams.size() >= 100) return -1;
    const int number = static_cast<int>(FStreams.size());
    TStream s;
    if (const VIDEOINFOHEADER* video = VideoFormat(&type)) {
        const BITMAPINFOHEADER& bmi = video->bmiHeader;
        s.Video = true;
        s.Compressed = !IsUncompressed(bmi.biCompression);
        s.ChunkId = StreamChunkId(number, s.Compressed ? "dc" : "db");
        s.Handler = s.Compressed ? bmi.biCompression : MakeFourCC("DIB ");
        const BYTE* begin = reinterpret_cast<const BYTE*>(&video->bmiHeader);
        s.Format.assign(begin, static_cast<const BYTE*>(type.pbFormat + type.cbFormat));
        s.FrameLength = video->AvgTimePerFrame;
        // A whole number of frames per second where the frame length is one
        // rounded from it (333333 for 30); the exact fraction otherwise.
        const long long perSecond = (10000000LL + s.FrameLength / 2) / s.FrameLength;
        if (perSecond > 0 && std::llabs(perSecond * s.FrameLength - 10000000LL) <= perSecond) {
            s.Rate = static_cast<DWORD>(perSecond);
            s.Scale = 1;
        } else {
            s.Rate = 10000000;
            s.Scale = static_cast<DWORD>(std::min<REFERENCE_TIME>(s.FrameLength, 0xFFFFFFFF));
        }
        s.Width = bmi.biWidth;
        s.Height = bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight;
    } else {
        const WAVEFORMATEX* audio = AudioFormat(&type);
        s.ChunkId = StreamChunkId(number, "wb");
        size_t size = type.cbFormat;
        if (size >= sizeof(WAVEFORMATEX)) size = std::min<size_t>(size, sizeof(WAVEFORMATEX) + audio->cbSize);
        s.Format.assign(type.pbFormat, type.pbFormat + size);
        s.SampleSize = audio->nBlockAlign;
        s.Scale = audio->nBlockAlign;
        s.Rate = audio->nSamplesPerSec * audio->nBlockAlign;
    }
    FStreams.push_back(std::move(s));
    return number;
}

void TAviFileBuilder::BuildHeaders(std::vector<BYTE>& out) const {
    TRiffBuffer b;
    const size_t riffAt = b.BeginList(MakeFourCC("RIFF"), MakeFourCC("AVI "));
    const size_t hdrlAt = b.BeginList(MakeFourCC("LIST"), MakeFourCC("hdrl"));

    const TStream* firstVideo = nullptr;
    DWORD maxBuffer = 0;
    uint64_t bytesPerSecond = 0;
    for (const TStream& s : FStreams) {
        if (s.Video && firstVideo == nullptr) firstVideo = &s;
        maxBuffer = std::max(maxBuffer, s.MaxChunk);
        bytesPerSecond += s.Video ? uint64_t{s.MaxChunk} * s.Rate / s.Scale : s.Rate;
    }

    const size_t avihAt = b.BeginChunk(MakeFourCC("avih"));
    b.Put32(firstVideo ? static_cast<DWORD>(firstVideo->FrameLength / 10) : 0);
    b.Put32(static_cast<DWORD>(std::min<uint64_t>(bytesPerSecond, 0xFFFFFFFF)));
    b.Put32(0);  // padding granularity
    b.Put32(AvifHasIndex | AvifIsInterleaved | AvifTrustCkType);
    b.Put32(firstVideo ? static_cast<DWORD>(firstVideo->LengthInFirstRiff) : 0);
    b.Put32(0);  // initial frames
    b.Put32(static_cast<DWORD>(FStreams.size()));
    b.Put32(maxBuffer);
    b.Put32(firstVideo ? static_cast<DWORD>(firstVideo->Width) : 0);
    b.Put32(firstVideo ? static_cast<DWORD>(firstVideo->Height) : 0);
    b.PutZeros(16);
    b.EndChunk(avihAt);

    for (const TStream& s : FStreams) {
        const size_t strlAt = b.BeginList(MakeFourCC("LIST"), MakeFourCC("strl"));
        const size_t strhAt = b.BeginChunk(MakeFourCC("strh"));
        b.Put32(MakeFourCC(s.Video ? "vids" : "auds"));
        b.Put32(s.Video ? s.Handler : 0);
        b.Put32(0);  // flags
        b.Put16(0);  // priority
        b.Put16(0);  // language
        b.Put32(0);  // initial frames
        b.Put32(s.Scale);
        b.Put32(s.Rate);
        b.Put32(0);  // start
        b.Put32(static_cast<DWORD>(std::min<uint64_t>(s.Length, 0xFFFFFFFF)));
        b.Put32(s.MaxChunk);
        b.Put32(0xFFFFFFFF);  // quality: default
        b.Put32(s.SampleSize);
        b.Put16(0);
        b.Put16(0);
        b.Put16(static_cast<WORD>(s.Width));
        b.Put16(static_cast<WORD>(s.Height));
        b.EndChunk(strhAt);

        const size_t strfAt = b.BeginChunk(MakeFourCC("strf"));
        b.PutBytes(s.Format.data(), s.Format.size());
        b.EndChunk(strfAt);

        const size_t indxAt = b.BeginChunk(MakeFourCC("indx"));
        b.Put16(4);  // longs per entry
        b.Put8(0);   // sub-type
        b.Put8(AviIndexOfIndexes);
        b.Put32(static_cast<DWORD>(s.Super.size()));
        b.Put32(s.ChunkId);
        b.PutZeros(12);
        for (DWORD i = 0; i < SuperIndexCapacity; ++i) {
            if (i < s.Super.size()) {
                b.Put64(s.Super[i].Offset);
                b.Put32(s.Super[i].Size);
                b.Put32(s.Super[i].Duration);
            } else {
                b.PutZeros(16);
            }
        }
        b.EndChunk(indxAt);
        b.EndChunk(strlAt);
    }

    const size_t odmlAt = b.BeginList(MakeFourCC("LIST"), MakeFourCC("odml"));
    const size_t dmlhAt = b.BeginChunk(MakeFourCC("dmlh"));
    b.Put32(firstVideo ? static_cast<DWORD>(std::min<uint64_t>(firstVideo->Length, 0xFFFFFFFF)) : 0);
    b.PutZeros(DmlhSize - 4);
    b.EndChunk(dmlhAt);
    b.EndChunk(odmlAt);
    b.EndChunk(hdrlAt);
    // The RIFF size is patched when the first list closes.
    b.Set32(riffAt, 0);
    out.assign(b.Data(), b.Data() + b.Size());
}

HRESULT TAviFileBuilder::WriteBytes(const void* data, DWORD size) {
    if (FAILED(FFailure)) return FFailure;
    if (size == 0) return S_OK;
    ULONG written = 0;
    HRESULT hr = FStream->Write(data, size, &written);
    if (SUCCEEDED(hr) && written != size) hr = STG_E_MEDIUMFULL;
    if (FAILED(hr)) {
        FFailure = hr;
        return hr;
    }
    FPos += size;
    return S_OK;
}

HRESULT TAviFileBuilder::WriteAt(uint64_t pos, const void* data, DWORD size) {
    if (FAILED(FFailure)) return FFailure;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(pos);
    HRESULT hr = FStream->Seek(to, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) return hr;
    ULONG written = 0;
    hr = FStream->Write(data, size, &written);
    if (SUCCEEDED(hr) && written != size) hr = STG_E_MEDIUMFULL;
    to.QuadPart = static_cast<LONGLONG>(FPos);
    const HRESULT back = FStream->Seek(to, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr) || FAILED(back)) FFailure = FAILED(hr) ? hr : back;
    return FFailure;
}

HRESULT TAviFileBuilder::Patch32(uint64_t pos, DWORD value) {
    BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                     static_cast<BYTE>(value >> 24)};
    return WriteAt(pos, bytes, 4);
}

HRESULT TAviFileBuilder::Start(IStream* stream) {
    if (stream == nullptr) return E_POINTER;
    if (Started()) return E_UNEXPECTED;
    FStream = ComPtr<IStream>(stream);
    LARGE_INTEGER zero{};
    HRESULT hr = FStream->Seek(zero, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) return FFailure = hr;
    FPos = 0;
    std::vector<BYTE> headers;
    BuildHeaders(headers);
    FHeaderSize = headers.size();
    hr = WriteBytes(headers.data(), static_cast<DWORD>(headers.size()));
    if (FAILED(hr)) return hr;
    FRiffStart = 0;
    FRiffCount = 1;
    FFirstRiff = true;
    TRiffBuffer movi;
    movi.BeginList(MakeFourCC("LIST"), MakeFourCC("movi"));
    FMoviStart = FPos;
    return WriteBytes(movi.Data(), static_cast<DWORD>(movi.Size()));
}

HRESULT TAviFileBuilder::OpenRiff(bool first) {
    TRiffBuffer b;
    if (!first) {
        FRiffStart = FPos;
        b.BeginList(MakeFourCC("RIFF"), MakeFourCC("AVIX"));
        ++FRiffCount;
    }
    FMoviStart = FPos + b.Size();
    b.BeginList(MakeFourCC("LIST"), MakeFourCC("movi"));
    FFirstRiff = first;
    return WriteBytes(b.Data(), static_cast<DWORD>(b.Size()));
}

uint64_t TAviFileBuilder::PendingIndexBytes(int stream, size_t extra) const {
    uint64_t bytes = 0;
    for (int i = 0; i < StreamCount(); ++i) {
        const size_t n = FStreams[i].Segment.size() + (i == stream ? extra : 0);
        if (n > 0) bytes += 32 + 8 * uint64_t{n};
    }
    if (FFirstRiff) bytes += 8 + 16 * uint64_t{FLegacy.size() + extra};
    return bytes;
}

HRESULT TAviFileBuilder::CloseRiff() {
    // A standard index per stream at the end of the movie list.
    for (int i = 0; i < StreamCount(); ++i) {
        TStream& s = FStreams[i];
        if (s.Segment.empty()) continue;
        if (s.Super.size() >= SuperIndexCapacity) return FFailure = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
        TRiffBuffer b;
        const size_t at = b.BeginChunk(IndexChunkId(i));
        b.Put16(2);  // longs per entry
        b.Put8(0);
        b.Put8(AviIndexOfChunks);
        b.Put32(static_cast<DWORD>(s.Segment.size()));
        b.Put32(s.ChunkId);
        b.Put64(FRiffStart);
        b.Put32(0);
        for (const TIndexEntry& e : s.Segment) {
            b.Put32(static_cast<DWORD>(e.DataPos - FRiffStart));
            b.Put32(e.Size | (e.Key ? 0 : NotKeyFrameBit));
        }
        b.EndChunk(at);
        s.Super.push_back(TSuperEntry{FPos, static_cast<DWORD>(b.Size()), static_cast<DWORD>(s.SegmentUnits)});
        const HRESULT hr = WriteBytes(b.Data(), static_cast<DWORD>(b.Size()));
        if (FAILED(hr)) return hr;
        s.Segment.clear();
        s.SegmentUnits = 0;
    }
    HRESULT hr = Patch32(FMoviStart + 4, static_cast<DWORD>(FPos - FMoviStart - 8));
    if (FAILED(hr)) return hr;
    if (FFirstRiff) {
        TRiffBuffer b;
        const size_t at = b.BeginChunk(MakeFourCC("idx1"));
        for (const TLegacyEntry& e : FLegacy) {
            b.Put32(e.ChunkId);
            b.Put32(e.Flags);
            b.Put32(e.Offset);
            b.Put32(e.Size);
        }
        b.EndChunk(at);
        FLegacy.clear();
        FLegacy.shrink_to_fit();
        hr = WriteBytes(b.Data(), static_cast<DWORD>(b.Size()));
        if (FAILED(hr)) return hr;
        for (TStream& s : FStreams) s.LengthInFirstRiff = s.Length;
    }
    return Patch32(FRiffStart + 4, static_cast<DWORD>(FPos - FRiffStart - 8));
}

HRESULT TAviFileBuilder::WriteChunk(int stream, const BYTE* data, DWORD size, bool key, uint64_t units) {
    TStream& s = FStreams[stream];
    const uint64_t padded = 8 + uint64_t{size} + (size & 1);
    const bool riffHasData = FPos > FMoviStart + 12;
    if (riffHasData && FPos + padded - FRiffStart + PendingIndexBytes(stream, 1) > FRiffLimit) {
        HRESULT hr = CloseRiff();
        if (SUCCEEDED(hr)) hr = OpenRiff(false);
        if (FAILED(hr)) return hr;
    }
    const uint64_t headerPos = FPos;
    const DWORD header[2] = {s.ChunkId, size};
    HRESULT hr = WriteBytes(header, sizeof header);
    if (SUCCEEDED(hr)) hr = WriteBytes(data, size);
    if (SUCCEEDED(hr) && (size & 1)) {
        const BYTE pad = 0;
        hr = WriteBytes(&pad, 1);
    }
    if (FAILED(hr)) return hr;
    s.Segment.push_back(TIndexEntry{headerPos + 8, size, key});
    s.SegmentUnits += units;
    if (FFirstRiff)
        FLegacy.push_back(
            TLegacyEntry{s.ChunkId, key ? AviifKeyFrame : 0, static_cast<DWORD>(headerPos - (FMoviStart + 8)), size});
    s.MaxChunk = std::max(s.MaxChunk, size);
    s.Length += units;
    s.Bytes += size;
    if (size > 0) ++s.DataChunks;
    return S_OK;
}

HRESULT TAviFileBuilder::WriteVideo(int stream, const REFERENCE_TIME* start, const BYTE* data, DWORD size,
                                    bool keyFrame) {
    if (!Started()) return E_UNEXPECTED;
    if (stream < 0 || stream >= StreamCount() || !FStreams[stream].Video) return E_INVALIDARG;
    TStream& s = FStreams[stream];
    uint64_t position = s.NextFrame;
    if (start != nullptr && *start > 0) {
        const uint64_t wanted = static_cast<uint64_t>((*start + s.FrameLength / 2) / s.FrameLength);
        position = std::max(position, wanted);
    }
    // Frame numbers the source skipped keep their place as empty chunks.
    while (s.NextFrame < position) {
        const HRESULT hr = WriteChunk(stream, nullptr, 0, false, 1);
        if (FAILED(hr)) return hr;
        ++s.NextFrame;
    }
    const HRESULT hr = WriteChunk(stream, data, size, keyFrame || !s.Compressed, 1);
    if (SUCCEEDED(hr)) ++s.NextFrame;
    return hr;
}

HRESULT TAviFileBuilder::PadVideo(int stream, REFERENCE_TIME end) {
    if (!Started()) return E_UNEXPECTED;
    if (stream < 0 || stream >= StreamCount() || !FStreams[stream].Video) return E_INVALIDARG;
    TStream& s = FStreams[stream];
    if (end <= 0) return S_OK;
    const uint64_t target = static_cast<uint64_t>((end + s.FrameLength / 2) / s.FrameLength);
    while (s.NextFrame < target) {
        const HRESULT hr = WriteChunk(stream, nullptr, 0, false, 1);
        if (FAILED(hr)) return hr;
        ++s.NextFrame;
    }
    return S_OK;
}

HRESULT TAviFileBuilder::WriteAudio(int stream, const BYTE* data, DWORD size) {
    if (!Started()) return E_UNEXPECTED;
    if (stream < 0 || stream >= StreamCount() || FStreams[stream].Video) return E_INVALIDARG;
    if (size == 0) return S_OK;
    return WriteChunk(stream, data, size, true, size / FStreams[stream].SampleSize);
}

HRESULT TAviFileBuilder::Finish() {
    if (!Started()) return E_UNEXPECTED;
    if (FAILED(FFailure)) return FFailure;
    HRESULT hr = CloseRiff();
    if (FAILED(hr)) return hr;
    std::vector<BYTE> headers;
    BuildHeaders(headers);
    if (headers.size() != FHeaderSize) return E_UNEXPECTED;
    // The first RIFF list's size, patched by CloseRiff, stays.
    return WriteAt(8, headers.data() + 8, static_cast<DWORD>(headers.size() - 8));
}
