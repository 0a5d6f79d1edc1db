// The machine connection and the snapshots: the current and the previous
// result of the performance-data query, taken into a reused, growing buffer.
#pragma once

#include "perf/Navigation.h"

#include <windows.h>

#include <cstdint>
#include <memory>

namespace perf {

// One query result: an owned buffer, its allocated size, and how many of its
// bytes the query filled.
struct SnapshotBuffer {
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t allocated = 0;
    uint32_t length = 0;

    SnapshotView View() const { return {bytes.get(), length}; }
    explicit operator bool() const { return bytes != nullptr; }
};

struct PerfDataState {
    HKEY machineKey = HKEY_LOCAL_MACHINE;
    HKEY perfDataKey = HKEY_PERFORMANCE_DATA;
    SnapshotBuffer currentSnapshot;
    SnapshotBuffer previousSnapshot;
    unsigned statusMessageId = 1034; // IDS_STATUS_LOADING
};

extern PerfDataState perfData;

// The buffer of every query keeps its last 4096 bytes out of the query's reach.
constexpr uint32_t SNAPSHOT_INITIAL_SIZE = 8192;
constexpr uint32_t SNAPSHOT_RESERVE = 4096;

void TakeSnapshot();

// Releases everything read from the current machine: both snapshots and the
// name tables, and (through the retirement hook) whatever was built on them.
void ReleaseSampleData();

// Called with a snapshot buffer's bytes just before that buffer is refilled or
// freed, so that nothing goes on pointing into it; null stands for every
// buffer at once (the machine's data is being released). The model installs
// it for itself, so no caller can forget it.
using SnapshotRetiredHook = void (*)(const uint8_t* bytes);
void SetSnapshotRetiredHook(SnapshotRetiredHook hook);

bool IsLocalMachine();
bool ConnectToMachine(HWND owner, const wchar_t* machineName);
bool BrowseAndConnect(HWND owner);
// Fills `name` (18 characters) with two backslashes and the chosen computer.
bool BrowseForComputer(HWND owner, wchar_t* name);

// The dialog that asks for a computer name where the system's browser is
// missing. `name` receives "\\" and at most 15 characters.
INT_PTR CALLBACK ComputerNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace perf
