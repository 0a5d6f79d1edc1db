// The settings value of the test prefix's registry, put aside for a test and
// put back afterwards.
#pragma once

#include "app/Settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace testing_support {

std::optional<std::vector<uint8_t>> ReadStoredSettings();
void WriteStoredSettings(const std::vector<uint8_t>& bytes);
void DeleteStoredSettings();

std::vector<uint8_t> Bytes(const app::SettingsRecord& record);

class StoredSettingsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = ReadStoredSettings();
        DeleteStoredSettings();
        app::settings = app::SettingsRecord();
    }
    void TearDown() override
    {
        DeleteStoredSettings();
        if (saved)
            WriteStoredSettings(*saved);
        app::settings = app::SettingsRecord();
    }

    std::optional<std::vector<uint8_t>> saved;
};

} // namespace testing_support
