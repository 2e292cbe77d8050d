// The media-type owners: a task-allocated record deleted with its block and
// reference, and a record by value that frees what it owns.
#include "shared/media_type.h"
#include "shared/owner.h"
#include "tests/fixtures/com_test_support.h"
#include "tests/fixtures/loopback/task_memory_spy.h"

#include <gtest/gtest.h>

#include <cguid.h>
#include <uuids.h>

#include <cstring>
#include <utility>

namespace {

using loopback_fakes::TaskMemorySpy;
using testsupport::CountingUnknown;

// A record with a task-allocated format block of `size` bytes and a
// reference to unknown.
AM_MEDIA_TYPE WithBlock(ULONG size, IUnknown* unknown) {
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Video;
    type.cbFormat = size;
    type.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(size));
    std::memset(type.pbFormat, 7, size);
    type.pUnk = unknown;
    if (unknown) unknown->AddRef();
    return type;
}

class MediaTypeOwners : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(TaskMemorySpy::Install()); }
    TComApartment Com;
};

}  // namespace

TEST_F(MediaTypeOwners, PointerDeletesRecordBlockAndReference) {
    CountingUnknown unknown;
    AM_MEDIA_TYPE source = WithBlock(24, &unknown);
    BYTE* sourceBlock = source.pbFormat;
    AM_MEDIA_TYPE* record = nullptr;
    BYTE* block = nullptr;
    {
        TMediaTypePtr owned(CreateMediaType(&source));
        ASSERT_TRUE(owned);
        record = owned.get();
        block = owned->pbFormat;
        EXPECT_EQ(unknown.Refs, 3u);
    }
    EXPECT_TRUE(TaskMemorySpy::Freed(record));
    EXPECT_TRUE(TaskMemorySpy::Freed(block));
    EXPECT_EQ(unknown.Refs, 2u);
    FreeMediaType(source);
    EXPECT_TRUE(TaskMemorySpy::Freed(sourceBlock));
    EXPECT_EQ(unknown.Refs, 1u);
}

TEST_F(MediaTypeOwners, RecordFreesItsBlockAndReferenceWhenItGoes) {
    CountingUnknown unknown;
    BYTE* block = nullptr;
    {
        TMediaTypeRecord record;
        *record.Put() = WithBlock(16, &unknown);
        block = record->pbFormat;
        EXPECT_EQ(unknown.Refs, 2u);
    }
    EXPECT_TRUE(TaskMemorySpy::Freed(block));
    EXPECT_EQ(unknown.Refs, 1u);
}

TEST_F(MediaTypeOwners, PutFreesTheOldContentsAndLendsAnEmptyRecord) {
    TMediaTypeRecord record;
    *record.Put() = WithBlock(16, nullptr);
    BYTE* first = record->pbFormat;
    AM_MEDIA_TYPE* slot = record.Put();
    EXPECT_TRUE(TaskMemorySpy::Freed(first));
    EXPECT_EQ(slot->cbFormat, 0u);
    EXPECT_EQ(slot->pbFormat, nullptr);
    EXPECT_EQ(slot->majortype, GUID_NULL);
}

TEST_F(MediaTypeOwners, AssignCopiesDeeplyAndFreesThePrevious) {
    CountingUnknown unknown;
    AM_MEDIA_TYPE source = WithBlock(12, &unknown);
    source.pbFormat[5] = 99;
    TMediaTypeRecord record(source);
    BYTE* firstCopy = record->pbFormat;
    ASSERT_NE(firstCopy, source.pbFormat);
    EXPECT_EQ(record->pbFormat[5], 99);
    EXPECT_EQ(unknown.Refs, 3u);

    record.Assign(source);
    EXPECT_TRUE(TaskMemorySpy::Freed(firstCopy));
    EXPECT_EQ(unknown.Refs, 3u);
    // Assigning the record to itself keeps its contents.
    BYTE* secondCopy = record->pbFormat;
    record.Assign(*record);
    EXPECT_EQ(record->pbFormat, secondCopy);
    EXPECT_FALSE(TaskMemorySpy::Freed(secondCopy));
    EXPECT_EQ(record->pbFormat[5], 99);
    FreeMediaType(source);
}

TEST_F(MediaTypeOwners, MovedRecordIsFreedOnce) {
    CountingUnknown unknown;
    TMediaTypeRecord first;
    *first.Put() = WithBlock(8, &unknown);
    BYTE* block = first->pbFormat;
    {
        TMediaTypeRecord second(std::move(first));
        EXPECT_EQ(first->pbFormat, nullptr);
        EXPECT_EQ(second->pbFormat, block);
        TMediaTypeRecord third;
        third = std::move(second);
        EXPECT_EQ(unknown.Refs, 2u);
    }
    EXPECT_TRUE(TaskMemorySpy::Freed(block));
    EXPECT_EQ(unknown.Refs, 1u);
}
