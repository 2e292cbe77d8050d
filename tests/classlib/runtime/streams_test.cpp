// Memory and file streams, and the IStream adapter used by the platform's
// moniker persistence.
#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/files.h"
#include "classlib/runtime/streams.h"
#include "shared/owner.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <ole2.h>

#include <cstring>

namespace {

TEST(RuntimeMemoryStreamTest, ReadWriteSeekAndSize) {
    TMemoryStream s;
    s.WriteBuffer("abcdef", 6);
    EXPECT_EQ(s.Size(), 6);
    EXPECT_EQ(s.Position(), 6);
    s.SetPosition(2);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 4);  // a short read returns what there is
    EXPECT_STREQ(buf, "cdef");
    EXPECT_EQ(s.Read(buf, 8), 0);
    s.SetPosition(10);  // past the end is allowed; writing there fills with zeros
    s.WriteBuffer("z", 1);
    EXPECT_EQ(s.Size(), 11);
    EXPECT_EQ(s.Memory()[7], 0);
    EXPECT_THROW(s.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
    EXPECT_EQ(s.Seek(-1, TSeekOrigin::soEnd), 10);
    s.SetSize(3);
    EXPECT_EQ(s.Position(), 3);
    s.SetPosition(0);
    EXPECT_THROW(s.ReadBuffer(buf, 4), EReadError);
    EXPECT_THROW(s.SetSize(-5), EStreamError);
}

TEST(RuntimeMemoryStreamTest, CopyFromAndFiles) {
    TMemoryStream a;
    a.WriteBuffer("0123456789", 10);
    TMemoryStream b;
    EXPECT_EQ(b.CopyFrom(a, 0), 10);  // 0 copies the whole source
    EXPECT_EQ(b.Bytes(), a.Bytes());
    a.SetPosition(8);
    EXPECT_THROW(b.CopyFrom(a, 5), EReadError);

    const std::wstring dir = TempFolder() + L"rt_streams_テスト";
    ASSERT_TRUE(ForceDirectories(dir));
    const std::wstring file = IncludeTrailingPathDelimiter(dir) + L"data.bin";
    a.SaveToFile(file);
    TMemoryStream c;
    c.LoadFromFile(file);
    EXPECT_EQ(c.Bytes(), a.Bytes());
    EXPECT_EQ(c.Position(), 0);
    {
        TFileStream f(file, TFileMode::fmOpenReadWrite);
        EXPECT_EQ(f.Size(), 10);
        f.SetSize(4);
        EXPECT_EQ(f.Size(), 4);
    }
    EXPECT_TRUE(RemoveFile(file));
    EXPECT_THROW(TFileStream(file, TFileMode::fmOpenRead), EFOpenError);
    RemoveDirectoryW(dir.c_str());
}

TEST(RuntimeStreamAdapterTest, ReadWriteSeekStatWithoutOwningTheStream) {
    TMemoryStream mem;
    {
        ComPtr<IStream> stream = TStreamAdapter::Create(mem);
        ULONG n = 0;
        ASSERT_EQ(stream->Write("hello", 5, &n), S_OK);
        EXPECT_EQ(n, 5u);
        LARGE_INTEGER zero{};
        ULARGE_INTEGER pos{};
        ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, &pos), S_OK);
        EXPECT_EQ(pos.QuadPart, 0u);
        char buf[16] = {};
        ASSERT_EQ(stream->Read(buf, sizeof buf, &n), S_OK);
        EXPECT_EQ(n, 5u);
        EXPECT_STREQ(buf, "hello");
        STATSTG stat{};
        ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
        EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));
        EXPECT_EQ(stat.cbSize.QuadPart, 5u);
        LARGE_INTEGER back;
        back.QuadPart = -10;
        EXPECT_TRUE(FAILED(stream->Seek(back, STREAM_SEEK_CUR, &pos)));
        EXPECT_EQ(stream->Seek(zero, 7, &pos), STG_E_INVALIDFUNCTION);
        ULARGE_INTEGER size;
        size.QuadPart = 2;
        ASSERT_EQ(stream->SetSize(size), S_OK);
        EXPECT_EQ(mem.Size(), 2);

        TMemoryStream other;
        ComPtr<IStream> dest = TStreamAdapter::Create(other);
        ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
        ULARGE_INTEGER all, read, written;
        all.QuadPart = 100;
        ASSERT_EQ(stream->CopyTo(dest.Get(), all, &read, &written), S_OK);
        EXPECT_EQ(read.QuadPart, 2u);
        EXPECT_EQ(written.QuadPart, 2u);
        EXPECT_EQ(other.Bytes(), (std::vector<uint8_t>{'h', 'e'}));
        EXPECT_EQ(stream->Read(nullptr, 1, &n), STG_E_INVALIDPOINTER);
        ComPtr<IStream> clone;
        EXPECT_EQ(stream->Clone(clone.Put()), E_NOTIMPL);
        // Direct mode: committing and reverting change nothing and succeed.
        EXPECT_EQ(stream->Commit(STGC_DEFAULT), S_OK);
        EXPECT_EQ(stream->Revert(), S_OK);
        EXPECT_EQ(mem.Size(), 2);
    }
    // The adapter is gone; the stream is intact.
    EXPECT_EQ(mem.Size(), 2);
}

TEST(RuntimeStreamAdapterTest, SavesAndLoadsAMonikerThroughThePlatform) {
    const TComApartment com(COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(com.Result()));
    {
        ComPtr<IMoniker> moniker;
        ASSERT_EQ(CreateFileMoniker(L"C:\\recordings\\録画.avi", moniker.Put()), S_OK);
        ComPtr<IPersistStream> persist;
        ASSERT_EQ(moniker.As(persist), S_OK);

        TMemoryStream mem;
        {
            ComPtr<IStream> stream = TStreamAdapter::Create(mem);
            ASSERT_EQ(OleSaveToStream(persist.Get(), stream.Get()), S_OK);
        }
        ASSERT_GT(mem.Size(), 16);

        // Load from a copy positioned at 0, as a stored block is loaded.
        TMemoryStream copy;
        copy.CopyFrom(mem, 0);
        copy.SetPosition(0);
        ComPtr<IMoniker> loaded;
        {
            ComPtr<IStream> stream = TStreamAdapter::Create(copy);
            ASSERT_EQ(OleLoadFromStream(stream.Get(), IID_IMoniker, loaded.PutVoid()), S_OK);
        }
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->IsEqual(moniker.Get()), S_OK);
        ComPtr<IBindCtx> bc;
        ASSERT_EQ(CreateBindCtx(0, bc.Put()), S_OK);
        TTaskMem<wchar_t> name;
        ASSERT_EQ(loaded->GetDisplayName(bc.Get(), nullptr, name.Put()), S_OK);
        EXPECT_STREQ(name.Get(), L"C:\\recordings\\録画.avi");
    }
}

}  // namespace
