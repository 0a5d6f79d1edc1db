#include "app/AppTestSupport.h"
#include "core/Handles.h"
#include "support/MessageBoxCatcher.h"

using ui::settings;
using ui::SettingsRecord;
using namespace testing_support;

// Written and read back whole by the program's own start (StartupTest).
using Settings = StoredSettingsFixture;

TEST_F(Settings, AStoredValueOfAnotherSizeIsReadAsFarAsItFits)
{
    EXPECT_NE(ERROR_SUCCESS, ui::LoadSettings()) << "first run";
    EXPECT_EQ(Bytes(SettingsRecord()), Bytes(settings));
    // A shorter value replaces only its leading bytes (pendingChanges is 0
    // after every load), a longer one nothing.
    SettingsRecord expected;
    expected.processColor = 0x00112233;
    StoreSettings({7, 0, 0, 0, 0x33, 0x22, 0x11, 0});
    EXPECT_EQ(ERROR_SUCCESS, ui::LoadSettings());
    EXPECT_EQ(Bytes(expected), Bytes(settings));
    StoreSettings(std::vector<uint8_t>(300, 0xAB));
    EXPECT_EQ(ERROR_MORE_DATA, ui::LoadSettings());
    EXPECT_EQ(Bytes(expected), Bytes(settings));
}

TEST_F(Settings, StoredValuesThatWouldHarmTheRunAreMended)
{
    SettingsRecord zeroPeriod;
    zeroPeriod.updateIntervalMs = 0;
    for (const std::vector<uint8_t>& stored : {std::vector<uint8_t>(216, 0xFF), Bytes(zeroPeriod)}) {
        StoreSettings(stored);
        ASSERT_EQ(ERROR_SUCCESS, ui::LoadSettings());
        EXPECT_LT(wcsnlen(settings.font.lfFaceName, LF_FACESIZE), size_t{LF_FACESIZE}) << "a terminated face name";
        EXPECT_FALSE(settings.autoUpdate && settings.updateIntervalMs == 0) << "no timer of 0 ms";
    }
}

TEST_F(Settings, SuppressedSavingWritesNothingAndAFailedSaveIsReported)
{
    settings.suppressSave = 1;
    ui::SaveSettings();
    EXPECT_TRUE(ReadStoredSettings().empty());

    // A volatile parent cannot hold the record's non-volatile key.
    settings.suppressSave = 0;
    core::RegistryKey parent;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"software\\Fendrake", 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, parent.Put(), nullptr));
    MessageBoxCatcher catcher;
    ui::SaveSettings();
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(0u, catcher.boxes[0].text.find(L"Saving settings: Open registry key failed, Win32 Error=0x3fd (1021)\n"));
    EXPECT_TRUE(ReadStoredSettings().empty());
}
