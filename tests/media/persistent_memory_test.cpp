// The byte block that streams as "data": lengths, equality, assignment,
// its stored form, damaged streams, and the way through a form description.
#include "media/base_filter.h"
#include "media/persistent_memory.h"
#include "tests/media/filter_state_holder.h"

#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/streams.h"
#include "classlib/ui/form_description.h"
#include "classlib/ui/ui_errors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const TPersistentMemory& memory) {
    return std::vector<uint8_t>(memory.Data(), memory.Data() + memory.DataLength());
}

void Fill(TPersistentMemory& memory, std::vector<uint8_t> bytes) {
    memory.SetDataLength(static_cast<uint32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(memory.Data(), bytes.data(), bytes.size());
}

std::vector<uint8_t> Written(TPersistent& object, TPersistent* ancestor = nullptr) {
    const auto properties = WriteBinaryProperties(object, ancestor);
    if (properties.empty()) return {};
    EXPECT_EQ(properties.size(), 1u);
    EXPECT_EQ(properties[0].Name, L"data");
    return properties[0].Data;
}

TEST(PersistentMemory, SetDataLengthGivesFreshZeroBytes) {
    TPersistentMemory memory;
    memory.SetDataLength(0);
    EXPECT_EQ(memory.DataLength(), 0u);
    EXPECT_EQ(memory.Data(), nullptr);
    Fill(memory, {1, 2, 3, 4, 5, 6, 7, 8});
    memory.SetDataLength(8);  // same length: the old contents are gone all the same
    EXPECT_EQ(Bytes(memory), std::vector<uint8_t>(8, 0));
    memory.SetDataLength(0);
    EXPECT_EQ(memory.Data(), nullptr);
}

TEST(PersistentMemory, StoredFormIsLengthThenBytes) {
    TPersistentMemory memory;
    EXPECT_EQ(Written(memory), (std::vector<uint8_t>{0, 0, 0, 0}));  // an empty object is stored too
    Fill(memory, {0xAA, 0xBB, 0xCC});
    EXPECT_EQ(Written(memory), (std::vector<uint8_t>{3, 0, 0, 0, 0xAA, 0xBB, 0xCC}));
}

TEST(PersistentMemory, StoredAgainstAnAncestorOnlyWhenItDiffers) {
    TPersistentMemory memory, same, other;
    Fill(memory, {1, 2});
    Fill(same, {1, 2});
    Fill(other, {1, 3});
    EXPECT_TRUE(Written(memory, &same).empty());
    EXPECT_EQ(Written(memory, &other).size(), 6u);
    TPersistentMemory empty, emptyAncestor;
    EXPECT_EQ(Written(empty, &emptyAncestor).size(), 4u);  // two empty objects are not equal
}

TEST(PersistentMemory, Equality) {
    TPersistentMemory a, b;
    EXPECT_FALSE(a.Equal(b));
    Fill(a, {9, 8, 7});
    Fill(b, {9, 8, 7});
    EXPECT_TRUE(a.Equal(b));
    Fill(b, {9, 8});
    EXPECT_FALSE(a.Equal(b));
    Fill(b, {9, 8, 6});
    EXPECT_FALSE(a.Equal(b));
}

TEST(PersistentMemory, RoundTripThroughTheStoredValue) {
    TPersistentMemory source, target;
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    Fill(source, bytes);
    ASSERT_TRUE(ReadBinaryProperty(target, L"data", Written(source)));
    EXPECT_EQ(Bytes(target), bytes);
    ASSERT_TRUE(ReadBinaryProperty(target, L"DATA", {0, 0, 0, 0}));
    EXPECT_EQ(target.DataLength(), 0u);
}

TEST(PersistentMemory, DamagedValuesAreRefusedAndChangeNothing) {
    TPersistentMemory memory;
    Fill(memory, {5, 6});
    // Shorter than its announced length.
    EXPECT_THROW(ReadBinaryProperty(memory, L"data", {4, 0, 0, 0, 1, 2}), EReadError);
    EXPECT_EQ(Bytes(memory), (std::vector<uint8_t>{5, 6}));
    // An absurd length is refused before anything is allocated.
    EXPECT_THROW(ReadBinaryProperty(memory, L"data", {0xFF, 0xFF, 0xFF, 0xFF, 1}), EReadError);
    EXPECT_EQ(Bytes(memory), (std::vector<uint8_t>{5, 6}));
    // Not even the length is there.
    EXPECT_THROW(ReadBinaryProperty(memory, L"data", {1, 0}), EReadError);
    EXPECT_EQ(Bytes(memory), (std::vector<uint8_t>{5, 6}));
}

TEST(PersistentMemory, AssignCopiesBetweenMemoryAndBaseFilter) {
    TPersistentMemory memory;
    TBaseFilter filter;
    Fill(memory, {1, 2, 3});
    filter.Assign(&memory);
    EXPECT_EQ(Bytes(filter), (std::vector<uint8_t>{1, 2, 3}));
    Fill(filter, {4});
    memory.Assign(&filter);
    EXPECT_EQ(Bytes(memory), (std::vector<uint8_t>{4}));
    memory.Assign(&memory);
    EXPECT_EQ(Bytes(memory), (std::vector<uint8_t>{4}));
}

class TOtherPersistent : public TPersistent {};

TEST(PersistentMemory, AssignWithUnrelatedClassesRaises) {
    TPersistentMemory memory;
    TOtherPersistent other;
    EXPECT_THROW(memory.Assign(&other), EAssignError);
    EXPECT_THROW(other.Assign(&memory), EAssignError);
    EXPECT_THROW(memory.Assign(nullptr), EAssignError);
}

TEST(PersistentMemory, ReadFromAFormDescription) {
    TFilterStateHolder holder(nullptr);
    LoadFormDescription(holder,
                        "TFilterStateHolder Holder {\n"
                        "  BaseFilter.data = hex { 05000000 48656C6C 6F }\n"
                        "}\n",
                        L"test");
    EXPECT_EQ(Bytes(holder.BaseFilter), (std::vector<uint8_t>{'H', 'e', 'l', 'l', 'o'}));
}

TEST(PersistentMemory, DamagedDescriptionValueNamesTheError) {
    TFilterStateHolder holder(nullptr);
    EXPECT_THROW(LoadFormDescription(
                     holder, "TFilterStateHolder Holder {\n  BaseFilter.data = hex { 09000000 4142 }\n}\n", L"test"),
                 EFormDescriptionError);
    EXPECT_EQ(holder.BaseFilter.DataLength(), 0u);
}

}  // namespace
