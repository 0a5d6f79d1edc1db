#include "app/AppTestSupport.h"
#include "core/Handles.h"
#include "support/MessageBoxCatcher.h"

#include <cstring>

using app::settings;
using app::SettingsRecord;
using namespace testing_support;

namespace testing_support {

std::optional<std::vector<uint8_t>> ReadStoredSettings()
{
    core::RegistryKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, app::SETTINGS_KEY, 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<uint8_t> bytes(4096);
    DWORD size = static_cast<DWORD>(bytes.size());
    if (RegQueryValueExW(key.Get(), app::SETTINGS_VALUE, nullptr, nullptr, bytes.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

void WriteStoredSettings(const std::vector<uint8_t>& bytes)
{
    core::RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, app::SETTINGS_KEY, 0, nullptr, 0, KEY_WRITE, nullptr,
                                             key.Put(), nullptr));
    RegSetValueExW(key.Get(), app::SETTINGS_VALUE, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

void DeleteStoredSettings()
{
    RegDeleteKeyW(HKEY_CURRENT_USER, app::SETTINGS_KEY);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"software\\Fendrake");
}

std::vector<uint8_t> Bytes(const SettingsRecord& record)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&record);
    return {p, p + sizeof(record)};
}

} // namespace testing_support

using Settings = StoredSettingsFixture;

TEST_F(Settings, TheWholeRecordGoesToTheRegistryAndBack)
{
    EXPECT_NE(ERROR_SUCCESS, app::LoadSettings()) << "first run";
    EXPECT_EQ(Bytes(SettingsRecord()), Bytes(settings));

    settings.pendingChanges = 1;
    settings.threadColor = RGB(1, 2, 3);
    settings.windowRect = {-5, 6, 700, 800};
    settings.hexIds = 1;
    SettingsRecord saved = settings;
    app::SaveSettings();
    EXPECT_EQ(Bytes(saved), ReadStoredSettings().value_or(std::vector<uint8_t>()));

    settings = SettingsRecord();
    EXPECT_EQ(ERROR_SUCCESS, app::LoadSettings());
    saved.pendingChanges = 0;
    EXPECT_EQ(Bytes(saved), Bytes(settings)) << "pendingChanges is 0 after every load";
}

TEST_F(Settings, AShorterStoredValueReplacesItsLeadingBytesALongerOneNothing)
{
    WriteStoredSettings({7, 0, 0, 0, 0x33, 0x22, 0x11, 0});
    app::LoadSettings();
    SettingsRecord expected;
    expected.processColor = 0x00112233;
    EXPECT_EQ(Bytes(expected), Bytes(settings));

    settings = SettingsRecord();
    WriteStoredSettings(std::vector<uint8_t>(300, 0xAB));
    EXPECT_EQ(ERROR_MORE_DATA, app::LoadSettings());
    EXPECT_EQ(Bytes(SettingsRecord()), Bytes(settings));
}

TEST_F(Settings, StoredValuesThatWouldHarmTheRunAreMended)
{
    SettingsRecord zeroPeriod;
    zeroPeriod.updateIntervalMs = 0;
    const std::vector<uint8_t> cases[] = {std::vector<uint8_t>(216, 0xFF), Bytes(zeroPeriod)};
    for (const std::vector<uint8_t>& stored : cases) {
        settings = SettingsRecord();
        WriteStoredSettings(stored);
        ASSERT_EQ(ERROR_SUCCESS, app::LoadSettings());
        EXPECT_LT(wcsnlen(settings.font.lfFaceName, LF_FACESIZE), size_t{LF_FACESIZE}) << "a terminated face name";
        EXPECT_FALSE(settings.autoUpdate && settings.updateIntervalMs == 0) << "no timer of 0 ms";
        // A stored suppressSave would keep the record from ever being written again.
        DeleteStoredSettings();
        app::SaveSettings();
        EXPECT_TRUE(ReadStoredSettings());
    }
}

TEST_F(Settings, SuppressedSavingWritesNothingAndAFailedSaveIsReported)
{
    settings.suppressSave = 1;
    app::SaveSettings();
    EXPECT_FALSE(ReadStoredSettings());

    // A volatile parent cannot hold the record's non-volatile key.
    settings.suppressSave = 0;
    core::RegistryKey parent;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"software\\Fendrake", 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, parent.Put(), nullptr));
    MessageBoxCatcher catcher;
    app::SaveSettings();
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(L"Error", catcher.boxes[0].caption);
    EXPECT_EQ(0u, catcher.boxes[0].text.find(L"Saving settings: Open registry key failed, Win32 Error=0x3fd (1021)\n"));
    EXPECT_FALSE(ReadStoredSettings());
}
