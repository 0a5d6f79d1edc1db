#include "app/AppTestSupport.h"
#include "support/MessageBoxCatcher.h"

#include <cstring>

using app::settings;
using app::SettingsRecord;
using namespace testing_support;

namespace testing_support {

std::optional<std::vector<uint8_t>> ReadStoredSettings()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, app::SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<uint8_t> bytes(4096);
    DWORD size = static_cast<DWORD>(bytes.size());
    LSTATUS status = RegQueryValueExW(key, app::SETTINGS_VALUE, nullptr, nullptr, bytes.data(), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

void WriteStoredSettings(const std::vector<uint8_t>& bytes)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, app::SETTINGS_KEY, 0, nullptr, 0, KEY_WRITE, nullptr,
                                             &key, nullptr));
    RegSetValueExW(key, app::SETTINGS_VALUE, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
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

namespace {

void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The default record laid out by hand, field by field, from the table.
std::vector<uint8_t> DefaultImage(uint32_t pendingChanges)
{
    std::vector<uint8_t> image(216, 0);
    Put32(image, 0, pendingChanges);
    Put32(image, 4, 0xFFFFFFFF);
    Put32(image, 8, 0x00008080);
    Put32(image, 12, 0x00000080);
    Put32(image, 16, 0x00008000);
    Put32(image, 84, static_cast<uint32_t>(-11)); // lfHeight
    Put32(image, 84 + 16, 400);                  // lfWeight
    const wchar_t* face = L"Tahoma";
    for (size_t i = 0; face[i]; ++i)
        image[84 + 28 + 2 * i] = static_cast<uint8_t>(face[i]);
    Put32(image, 176, 1);
    Put32(image, 180, 2500);
    Put32(image, 200, 1);
    Put32(image, 204, 1);
    return image;
}

using Settings = StoredSettingsFixture;

} // namespace

TEST_F(Settings, FirstRunKeepsTheDefaults)
{
    EXPECT_NE(ERROR_SUCCESS, app::LoadSettings());
    EXPECT_EQ(DefaultImage(0), Bytes(settings));
    EXPECT_STREQ(L"Tahoma", settings.font.lfFaceName);
    EXPECT_EQ(2500u, settings.updateIntervalMs);
}

TEST_F(Settings, SavesTheRecordExactlyAsLaidOut)
{
    settings.pendingChanges = 1;
    app::SaveSettings();
    std::optional<std::vector<uint8_t>> stored = ReadStoredSettings();
    ASSERT_TRUE(stored);
    EXPECT_EQ(DefaultImage(1), *stored) << "pendingChanges is stored as it is";

    settings = SettingsRecord();
    settings.pendingChanges = 5;
    EXPECT_EQ(ERROR_SUCCESS, app::LoadSettings());
    EXPECT_EQ(DefaultImage(0), Bytes(settings)) << "and is 0 after every load";
}

TEST_F(Settings, StoredValuesOfOtherSizesAndContents)
{
    // Shorter: only the leading bytes are replaced.
    std::vector<uint8_t> shorter(8, 0);
    Put32(shorter, 0, 7);
    Put32(shorter, 4, 0x00112233);
    WriteStoredSettings(shorter);
    app::LoadSettings();
    std::vector<uint8_t> expected = DefaultImage(0);
    Put32(expected, 4, 0x00112233);
    EXPECT_EQ(expected, Bytes(settings));

    // Longer: the defaults stay.
    settings = SettingsRecord();
    WriteStoredSettings(std::vector<uint8_t>(300, 0xAB));
    EXPECT_EQ(ERROR_MORE_DATA, app::LoadSettings());
    EXPECT_EQ(DefaultImage(0), Bytes(settings));

    // Any 216 bytes are taken as they are, unchecked.
    std::vector<uint8_t> garbage(216);
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<uint8_t>(i * 7 + 1);
    WriteStoredSettings(garbage);
    app::LoadSettings();
    std::vector<uint8_t> loaded = Bytes(settings);
    Put32(garbage, 0, 0);
    EXPECT_EQ(garbage, loaded);
}

TEST_F(Settings, SuppressedSavingWritesNothing)
{
    settings.suppressSave = 1;
    app::SaveSettings();
    EXPECT_FALSE(ReadStoredSettings());
}

TEST_F(Settings, AKeyThatCannotBeCreatedIsReported)
{
    // A volatile parent cannot hold the record's non-volatile key.
    HKEY parent;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"software\\Fendrake", 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &parent, nullptr));
    RegCloseKey(parent);
    MessageBoxCatcher catcher;
    app::SaveSettings();
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(L"Error", catcher.boxes[0].caption);
    EXPECT_EQ(0u, catcher.boxes[0].text.find(L"Saving settings: Open registry key failed, Win32 Error=0x3fd (1021)\n"));
    EXPECT_FALSE(ReadStoredSettings());
}
