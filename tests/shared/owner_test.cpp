// The resource owners: each closes what it holds exactly once, gives it up
// on Take, and the COM apartment owner gives back only its own count.
#include "shared/owner.h"
#include "tests/fixtures/loopback/task_memory_spy.h"

#include <gtest/gtest.h>

#include <thread>
#include <utility>

namespace {

bool KernelHandleOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

bool KeyOpen(HKEY key) {
    DWORD subkeys = 0;
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
}

// Whether the calling thread is in a COM apartment.
bool InApartment() {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    return SUCCEEDED(CoGetApartmentType(&type, &qualifier));
}

HICON NewIcon() {
    const BYTE andMask[32 * 32 / 8] = {};
    BYTE xorMask[32 * 32 / 8];
    for (BYTE& b : xorMask) b = 0xAA;
    return CreateIcon(GetModuleHandleW(nullptr), 32, 32, 1, 1, andMask, xorMask);
}

}  // namespace

TEST(KernelHandleOwner, ClosesOnceOnResetAndAtScopeEnd) {
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    {
        TKernelHandle owner(first);
        EXPECT_TRUE(owner);
        EXPECT_EQ(owner.Get(), first);
        owner.Reset(second);
        EXPECT_FALSE(KernelHandleOpen(first));
        EXPECT_TRUE(KernelHandleOpen(second));
    }
    EXPECT_FALSE(KernelHandleOpen(second));
}

TEST(KernelHandleOwner, InvalidHandleValueCountsAsEmpty) {
    TKernelHandle owner(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(owner);
    EXPECT_FALSE(TKernelHandle());
    // Closing INVALID_HANDLE_VALUE (the current process) is never attempted;
    // Reset just forgets it.
    owner.Reset();
    EXPECT_EQ(owner.Get(), nullptr);
}

TEST(KernelHandleOwner, TakeAndMoveHandOverWithoutClosing) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    TKernelHandle owner(event);
    TKernelHandle moved(std::move(owner));
    EXPECT_FALSE(owner);
    EXPECT_EQ(moved.Get(), event);
    TKernelHandle assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.Get(), event);
    const HANDLE taken = assigned.Take();
    EXPECT_FALSE(assigned);
    EXPECT_TRUE(KernelHandleOpen(taken));
    TKernelHandle again(taken);  // closes it at the end
}

TEST(KernelHandleOwner, PutClosesWhatIsHeldThenLendsTheSlot) {
    TKernelHandle owner(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE old = owner.Get();
    HANDLE* slot = owner.Put();
    EXPECT_FALSE(KernelHandleOpen(old));
    EXPECT_EQ(*slot, nullptr);
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), slot, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_TRUE(owner);
    EXPECT_TRUE(KernelHandleOpen(owner.Get()));
}

TEST(RegistryKeyOwner, ClosesTheKey) {
    HKEY raw = nullptr;
    {
        TRegKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\TavrelOwnerTest", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, key.Put(), nullptr),
                  ERROR_SUCCESS);
        raw = key.Get();
        EXPECT_TRUE(KeyOpen(raw));
    }
    EXPECT_FALSE(KeyOpen(raw));
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TavrelOwnerTest");
}

TEST(GdiOwners, ObjectDCAndIconAreDeleted) {
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HDC dc = CreateCompatibleDC(nullptr);
    HICON icon = NewIcon();
    ASSERT_NE(brush, nullptr);
    ASSERT_NE(dc, nullptr);
    ASSERT_NE(icon, nullptr);
    {
        TGdiObject<HBRUSH> ownedBrush(brush);
        TMemoryDC ownedDC(dc);
        TIconHandle ownedIcon(icon);
        EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
        EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
    }
    EXPECT_EQ(GetObjectType(brush), 0u);
    EXPECT_EQ(GetObjectType(dc), 0u);
    ICONINFO info{};
    EXPECT_FALSE(GetIconInfo(icon, &info));
}

TEST(TaskMemoryOwner, FreesTheBlockOnce) {
    TComApartment com;
    ASSERT_TRUE(loopback_fakes::TaskMemorySpy::Install());
    void* block = CoTaskMemAlloc(16);
    ASSERT_NE(block, nullptr);
    {
        TTaskMem<BYTE> owned(static_cast<BYTE*>(block));
        EXPECT_FALSE(loopback_fakes::TaskMemorySpy::Freed(block));
    }
    EXPECT_TRUE(loopback_fakes::TaskMemorySpy::Freed(block));
}

TEST(ScopeGuardOwner, RunsUnlessDismissed) {
    int runs = 0;
    {
        TScopeGuard guard([&] { ++runs; });
    }
    EXPECT_EQ(runs, 1);
    {
        TScopeGuard guard([&] { ++runs; });
        guard.Dismiss();
    }
    EXPECT_EQ(runs, 1);
}

// Each case runs on a thread of its own, which starts outside COM.
TEST(ComApartmentOwner, NestedOwnersGiveBackOnlyTheirOwnCount) {
    std::thread([] {
        {
            TComApartment outer;
            EXPECT_EQ(outer.Result(), S_OK);
            {
                TComApartment inner;
                EXPECT_EQ(inner.Result(), S_FALSE);
                EXPECT_TRUE(inner.Usable());
            }
            EXPECT_TRUE(InApartment());
        }
        EXPECT_FALSE(InApartment());
    }).join();
}

TEST(ComApartmentOwner, OtherModelJoinsNothingAndTakesNothing) {
    std::thread([] {
        {
            TComApartment single(COINIT_APARTMENTTHREADED);
            {
                TComApartment multi(COINIT_MULTITHREADED);
                EXPECT_EQ(multi.Result(), RPC_E_CHANGED_MODE);
                EXPECT_TRUE(multi.Usable());
            }
            // The first owner's count is still there.
            EXPECT_TRUE(InApartment());
        }
        EXPECT_FALSE(InApartment());
    }).join();
}

TEST(ComApartmentOwner, TakenOwnerLeavesTheThreadJoined) {
    std::thread([] {
        {
            TComApartment kept;
            kept.Take();
            EXPECT_TRUE(kept.Usable());
        }
        EXPECT_TRUE(InApartment());
        // The next owner finds the thread joined; its own count goes with it.
        {
            TComApartment next;
            EXPECT_EQ(next.Result(), S_FALSE);
        }
        EXPECT_TRUE(InApartment());
    }).join();
}
