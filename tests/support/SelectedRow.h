// A row selected in the program's model for the commands that act on it, with
// OpenThread in place; the program's state is put back after each test.
#pragma once

#include "ui/Platform.h"
#include "app/Commands.h"
#include "model/Records.h"
#include "perf/PerfData.h"

#include <gtest/gtest.h>

namespace testing_support {

class SelectedRowTest : public ::testing::Test {
protected:
    void SetUp() override { ui::platform.openThreadFn = OpenThread; }
    void TearDown() override
    {
        ui::platform = ui::PlatformState();
        model::modelState.selectedRecord = nullptr;
        perf::perfData.perfDataKey.Reset(HKEY_PERFORMANCE_DATA);
    }

    // Runs a command of the main window on a row of the kind and id, named as the test child.
    void Run(uint32_t kind, DWORD id, unsigned command)
    {
        row.flags = kind;
        row.id = id;
        model::CopyLabel(row.label, L"test_child.exe");
        model::modelState.selectedRecord = &row;
        app::DispatchCommand(nullptr, command);
    }

    model::InstanceRecord row;
};

} // namespace testing_support
