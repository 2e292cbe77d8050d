// The main window's audio devices and input lines on the fixture capture
// device (four lines whose enabled state the device keeps outside any
// filter object): listing, choosing, and the state saved at creation and
// restored at exit.
#include "tests/app/app_test_support.h"
#include "tests/fixtures/media/media_fixture_registration.h"

#include <gtest/gtest.h>

namespace {

using apptest::ProgramWindows;
using mediafixture::CaptureLineCount;
using mediafixture::CaptureLinesKey;

void SetLines(std::initializer_list<int> enabled) {
    mediafixture::ResetCaptureLines();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, CaptureLinesKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (int line = 0; line < CaptureLineCount; ++line) {
        DWORD value = 0;
        for (int e : enabled) value |= e == line ? 1 : 0;
        const std::wstring name = L"Line" + std::to_wstring(line);
        RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    RegCloseKey(key);
}

std::vector<int> EnabledLines() {
    std::vector<int> on;
    for (int line = 0; line < CaptureLineCount; ++line) {
        DWORD value = line == 0 ? 1 : 0;
        DWORD size = sizeof value;
        const std::wstring name = L"Line" + std::to_wstring(line);
        RegGetValueW(HKEY_CURRENT_USER, CaptureLinesKey, name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size);
        if (value) on.push_back(line);
    }
    return on;
}

class AudioLines : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(mediafixture::EnsureFixturesRegistered()); }
    void TearDown() override { mediafixture::ResetCaptureLines(); }
    // Other test programs use the fixture device's lines too.
    mediafixture::TCaptureLinesLock FLines;
    // The fixture device's index among the system's audio capture devices.
    static int FixtureDevice() { return FormMain->CBAudioDeviceName->FindItem(mediafixture::CaptureDeviceName); }
    static void ChooseFixtureDevice() {
        const int d = FixtureDevice();
        ASSERT_GE(d, 0);
        FormMain->CBAudioDeviceName->SetItemIndex(d);
        FormMain->CBAudioDeviceNameChange(FormMain->CBAudioDeviceName);
    }
};

TEST_F(AudioLines, DeviceLinesAreListedWithTheEnabledOneChosen) {
    SetLines({2});
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    ASSERT_GE(FixtureDevice(), 0);
    EXPECT_EQ(m.CBAudioDeviceName->ItemIndex(), 0) << "the first device is chosen";
    ChooseFixtureDevice();
    std::vector<std::wstring> names;
    for (int i = 0; i < CaptureLineCount; ++i) names.push_back(mediafixture::CaptureLineNames[i]);
    EXPECT_EQ(m.CBAudioSourseName->ItemsVector(), names) << "input pins only, in their order";
    EXPECT_EQ(m.CBAudioSourseName->ItemIndex(), 2);
    EXPECT_EQ(EnabledLines(), std::vector<int>{2}) << "listing changes nothing";
    EXPECT_EQ(m.FSavedInputs->Strings(FixtureDevice()), L"2");
}

TEST_F(AudioLines, SelectingLineTwoSetsEveryLineInLineOrder) {
    SetLines({0});
    ProgramWindows windows;
    ChooseFixtureDevice();
    mediafixture::ClearCaptureEnableCalls();
    FormMain->SelectAudioInput(FixtureDevice(), 2);
    // Every line from 0 up, the chosen one in its turn, TRUE as -1.
    const std::vector<std::pair<int, long>> expected{{0, 0}, {1, 0}, {2, -1}, {3, 0}};
    EXPECT_EQ(mediafixture::CaptureEnableCalls(), expected);
    EXPECT_EQ(EnabledLines(), std::vector<int>{2});
}

TEST_F(AudioLines, TwoEnabledLinesShowTheLastAndSaveTheFirst) {
    SetLines({1, 3});
    ProgramWindows windows;
    ChooseFixtureDevice();
    EXPECT_EQ(FormMain->CBAudioSourseName->ItemIndex(), 3);
    EXPECT_EQ(FormMain->FSavedInputs->Strings(FixtureDevice()), L"1");
}

TEST_F(AudioLines, NoEnabledLineChoosesNoneAndSavesMinusOne) {
    SetLines({});
    ProgramWindows windows;
    ChooseFixtureDevice();
    EXPECT_EQ(FormMain->CBAudioSourseName->ItemIndex(), -1);
    EXPECT_EQ(FormMain->FSavedInputs->Strings(FixtureDevice()), L"-1");
    FormMain->SelectAudioInput(FixtureDevice(), 1);
    FormMain->RestoreAudioInputStates();
    EXPECT_EQ(EnabledLines(), std::vector<int>{1}) << "nothing restored for it";
}

TEST_F(AudioLines, ChoosingALineEnablesItAloneAndExitRestoresTheStart) {
    SetLines({0});
    {
        ProgramWindows windows;
        ChooseFixtureDevice();
        FormMain->CBAudioSourseName->SetItemIndex(2);
        FormMain->CBAudioSourseNameChange(FormMain->CBAudioSourseName);
        EXPECT_EQ(EnabledLines(), std::vector<int>{2});
        FormMain->UiToSettings();
        EXPECT_EQ(FormMain->FSettings->DeviceName, mediafixture::CaptureDeviceName);
        EXPECT_EQ(FormMain->FSettings->SourceName, L"CD Audio");
    }
    EXPECT_EQ(EnabledLines(), std::vector<int>{0}) << "restored when the window is destroyed";
    const std::string ini = apptest::ReadFileBytes(apptest::ConfigDir() + L"config.ini");
    EXPECT_NE(ini.find("SOURCE_NAME=CD Audio"), std::string::npos) << ini;
}

TEST_F(AudioLines, SavedDeviceAndLineAreChosenAgainIgnoringCase) {
    SetLines({0});
    ProgramWindows windows("DEVICE_NAME=TAVREL TEST CAPTURE DEVICE\r\nSOURCE_NAME=line in\r\n");
    EXPECT_EQ(FormMain->CBAudioDeviceName->ItemIndex(), FixtureDevice());
    EXPECT_EQ(FormMain->CBAudioSourseName->ItemIndex(), 1);
    EXPECT_EQ(EnabledLines(), std::vector<int>{1}) << "choosing the saved line enables it at once";
}

TEST_F(AudioLines, AnotherDeviceIsListedAfreshWithoutChangingAnyLine) {
    SetLines({3});
    ProgramWindows windows;
    ChooseFixtureDevice();
    const int others = FormMain->CBAudioDeviceName->Items().Count();
    for (int d = 0; d < others; ++d) {
        if (d == FixtureDevice()) continue;
        FormMain->CBAudioDeviceName->SetItemIndex(d);
        FormMain->CBAudioDeviceNameChange(FormMain->CBAudioDeviceName);
    }
    EXPECT_EQ(EnabledLines(), std::vector<int>{3});
    FormMain->FillAudioInputs(others + 5);
    EXPECT_EQ(FormMain->CBAudioSourseName->Items().Count(), 0) << "a device that cannot be bound has no lines";
    FormMain->SelectAudioInput(others + 5, 0);
    EXPECT_EQ(EnabledLines(), std::vector<int>{3});
}

}  // namespace
