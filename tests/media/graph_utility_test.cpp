// The volume and balance mappings, the DVD time code, FreeAndClear and the
// running-object table entry of a real filter graph.
#include "media/graph_utility.h"
#include "shared/com_ptr.h"
#include "shared/owner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

TEST(LinearVolumeToDb, TabledValues) {
    EXPECT_EQ(LinearVolumeToDb(0), -10000);
    EXPECT_EQ(LinearVolumeToDb(1), -9247);
    EXPECT_EQ(LinearVolumeToDb(100), -4989);
    EXPECT_EQ(LinearVolumeToDb(1000), -2499);
    EXPECT_EQ(LinearVolumeToDb(5000), -752);
    EXPECT_EQ(LinearVolumeToDb(9999), 0);
    EXPECT_EQ(LinearVolumeToDb(10000), 0);
}

TEST(LinearVolumeToDb, RisesWithTheVolume) {
    int32_t previous = LinearVolumeToDb(0);
    for (int32_t v = 1; v <= 10000; v += 37) {
        const int32_t db = LinearVolumeToDb(v);
        EXPECT_GE(db, previous) << v;
        previous = db;
    }
}

TEST(LinearBalanceToDb, TabledValues) {
    EXPECT_EQ(LinearBalanceToDb(0), 0);
    EXPECT_EQ(LinearBalanceToDb(1), -753);
    EXPECT_EQ(LinearBalanceToDb(-1), 753);
    EXPECT_EQ(LinearBalanceToDb(5000), -9248);
    EXPECT_EQ(LinearBalanceToDb(-5000), 9248);
    EXPECT_EQ(LinearBalanceToDb(10000), -10000);
    EXPECT_EQ(LinearBalanceToDb(-10000), 10000);
}

TEST(UnpackDVDTimeCode, FieldsFromTheMostSignificantEnd) {
    TDVDTimeCode code{};
    UnpackDVDTimeCode(0x12345678, code);
    EXPECT_EQ(code.Hours1, 1);
    EXPECT_EQ(code.Hours10, 2);
    EXPECT_EQ(code.Minutes1, 3);
    EXPECT_EQ(code.Minutes10, 4);
    EXPECT_EQ(code.Seconds1, 5);
    EXPECT_EQ(code.Seconds10, 6);
    EXPECT_EQ(code.Frames1, 7);
    EXPECT_EQ(code.Frames10, 2);
    EXPECT_EQ(code.FrameRateCode, 0);

    UnpackDVDTimeCode(0xFFFFFFFF, code);
    EXPECT_EQ(code.Hours1, 15);
    EXPECT_EQ(code.Frames10, 3);
    EXPECT_EQ(code.FrameRateCode, 3);
}

struct Counted {
    explicit Counted(int& deaths) : Deaths(deaths) {}
    ~Counted() { ++Deaths; }
    int& Deaths;
};

TEST(FreeAndClear, FreesOnceAndClears) {
    int deaths = 0;
    Counted* object = new Counted(deaths);
    FreeAndClear(object);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(deaths, 1);
    FreeAndClear(object);  // nil: nothing
    EXPECT_EQ(deaths, 1);
}

// Whether the table holds an item moniker of that name.
bool RotHolds(const std::wstring& itemName) {
    ComPtr<IRunningObjectTable> table;
    if (FAILED(GetRunningObjectTable(0, table.Put()))) return false;
    ComPtr<IEnumMoniker> monikers;
    if (FAILED(table->EnumRunning(monikers.Put())) || !monikers) return false;
    ComPtr<IBindCtx> context;
    CreateBindCtx(0, context.Put());
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.Put(), nullptr) == S_OK) {
        TTaskMem<wchar_t> name;
        if (SUCCEEDED(moniker->GetDisplayName(context.Get(), nullptr, name.Put())) && name &&
            name.Get() == L"!" + itemName)
            return true;
    }
    return false;
}

TEST(AddGraphToRot, PublishesAndRevokesARealGraph) {
    TComApartment com;
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid()),
              S_OK);
    const std::wstring name = RotItemName(graph.Get());
    EXPECT_EQ(name.rfind(L"FilterGraph ", 0), 0u);
    EXPECT_NE(name.find(L" pid "), std::wstring::npos);

    DWORD registration = 0;
    ASSERT_EQ(AddGraphToRot(graph.Get(), registration), S_OK);
    EXPECT_TRUE(RotHolds(name));
    EXPECT_EQ(RemoveGraphFromRot(registration), S_OK);
    EXPECT_FALSE(RotHolds(name));
    // A registration that is gone cannot be revoked twice.
    EXPECT_NE(RemoveGraphFromRot(registration), S_OK);
}

TEST(RotItemName, PointerAndProcessInUpperCaseHexadecimal) {
    const void* pointer = reinterpret_cast<const void*>(static_cast<uintptr_t>(0xABCDEF12u));
    const std::wstring name = RotItemName(pointer);
    const std::wstring digits(sizeof(void*) * 2 - 8, L'0');
    std::wostringstream pid;
    pid << std::hex << std::uppercase << GetCurrentProcessId();
    EXPECT_EQ(name, L"FilterGraph " + digits + L"ABCDEF12 pid " + pid.str());
}

}  // namespace
