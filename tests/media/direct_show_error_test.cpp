// The result check and the platform's error texts.
#include "media/direct_show_error.h"

#include <gtest/gtest.h>

#include <dshow.h>

#include <cwctype>

namespace {

TEST(CheckDirectShowResult, SuccessCodesComeBackUnchanged) {
    for (HRESULT code : {S_OK, S_FALSE, HRESULT{0x7FFFFFFF}, HRESULT{VFW_S_NO_MORE_ITEMS}, HRESULT{0x00040237}})
        EXPECT_EQ(CheckDirectShowResult(code), code);
}

TEST(CheckDirectShowResult, FailureRaisesWithTheCodeAndItsText) {
    try {
        CheckDirectShowResult(E_FAIL);
        FAIL() << "no exception";
    } catch (const EDirectShowException& e) {
        EXPECT_EQ(e.ResultCode, E_FAIL);
        const std::wstring& message = e.Message();
        const std::wstring tail = L" ($80004005).";
        ASSERT_GE(message.size(), tail.size());
        EXPECT_EQ(message.substr(message.size() - tail.size()), tail);
        EXPECT_EQ(message, GetErrorText(E_FAIL) + tail);
    }
}

TEST(CheckDirectShowResult, HexadecimalIsUpperCaseWithoutLeadingZeros) {
    // Every failure has bit 31 set, so all eight digits are there.
    try {
        CheckDirectShowResult(VFW_E_NOT_CONNECTED);  // 0x80040209
        FAIL() << "no exception";
    } catch (const EDirectShowException& e) {
        EXPECT_NE(e.Message().find(L"($80040209)."), std::wstring::npos) << e.what();
        EXPECT_EQ(e.ResultCode, VFW_E_NOT_CONNECTED);
    }
    try {
        CheckDirectShowResult(static_cast<HRESULT>(0x8ABCDEF0));
        FAIL() << "no exception";
    } catch (const EDirectShowException& e) {
        EXPECT_NE(e.Message().find(L"($8ABCDEF0)."), std::wstring::npos) << e.what();
    }
}

TEST(CheckDirectShowResult, IsAClassLibraryException) {
    EXPECT_THROW(CheckDirectShowResult(E_OUTOFMEMORY), Exception);
    EXPECT_THROW(CheckDirectShowResult(static_cast<HRESULT>(0x80000000)), EDirectShowException);
}

TEST(GetErrorText, GivesThePlatformTextForKnownAndUnknownCodes) {
    // The platform's wording differs between systems; its text names the
    // failure in some form, never runs past 255 characters.
    const std::wstring text = GetErrorText(E_FAIL);
    EXPECT_FALSE(text.empty());
    EXPECT_LE(text.size(), 255u);
    EXPECT_EQ(text.find(L'\0'), std::wstring::npos);
    const std::wstring unknown = GetErrorText(static_cast<HRESULT>(0x8ABCDEF0));
    EXPECT_LE(unknown.size(), 255u);
}

TEST(DirectShowErrorMessage, PercentSignsInTheTextStandAsTheyAre) {
    // The message is built by joining, so whatever the platform says is
    // kept; the suffix is the only thing added.
    const std::wstring message = DirectShowErrorMessage(E_FAIL);
    EXPECT_EQ(message, GetErrorText(E_FAIL) + L" ($80004005).");
}

}  // namespace
