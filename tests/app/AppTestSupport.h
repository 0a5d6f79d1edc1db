// The settings value of the test prefix's registry, put aside for a test and
// put back afterwards.
#pragma once

#include "ui/Settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

namespace testing_support {

// Empty when nothing is stored.
inline std::vector<uint8_t> ReadStoredSettings()
{
    std::vector<uint8_t> bytes(4096);
    DWORD size = static_cast<DWORD>(bytes.size());
    if (RegGetValueW(HKEY_CURRENT_USER, ui::SETTINGS_KEY, ui::SETTINGS_VALUE, RRF_RT_ANY, nullptr, bytes.data(),
                     &size) != ERROR_SUCCESS)
        size = 0;
    bytes.resize(size);
    return bytes;
}

// Nothing stored for an empty value.
inline void StoreSettings(const std::vector<uint8_t>& bytes)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, L"software\\Fendrake");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"software\\Fendrake");
    if (!bytes.empty()) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, ui::SETTINGS_KEY, ui::SETTINGS_VALUE,
                                                 REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size())));
    }
}

inline std::vector<uint8_t> Bytes(const ui::SettingsRecord& record)
{
    auto bytes = reinterpret_cast<const uint8_t*>(&record);
    return {bytes, bytes + sizeof(record)};
}

class StoredSettingsFixture : public ::testing::Test {
protected:
    void SetUp() override { StoreSettings({}); }
    void TearDown() override
    {
        StoreSettings(saved);
        ui::settings = ui::SettingsRecord();
    }

    std::vector<uint8_t> saved = ReadStoredSettings();
};

} // namespace testing_support
