// The machine connection and the snapshots: the current and the previous
// result of the performance-data query, taken into a reused, growing buffer.
#pragma once

#include "core/Handles.h"
#include "perf/DataSource.h"
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

// A key of the connection: the local machine's predefined keys are never
// closed, a remote machine's keys are closed when they are replaced.
struct ConnectionKeyTraits {
    static bool IsValid(HKEY key) { return key && key != HKEY_LOCAL_MACHINE && key != HKEY_PERFORMANCE_DATA; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
using ConnectionKey = core::UniqueResource<HKEY, ConnectionKeyTraits>;

using RegistryConnector = LSTATUS(WINAPI*)(LPCWSTR machineName, HKEY key, PHKEY result);
// Called after a remote machine was connected (the window side closes what
// measures the local machine only).
using RemoteConnectedHook = void (*)();
// Called with a snapshot buffer's bytes just before that buffer is refilled or
// freed, so that nothing goes on pointing into it; null stands for every
// buffer at once (the machine's data is being released). The model installs
// it for itself, so no caller can forget it.
using SnapshotRetiredHook = void (*)(const uint8_t* bytes);

struct PerfDataState {
    ConnectionKey machineKey{HKEY_LOCAL_MACHINE};
    ConnectionKey perfDataKey{HKEY_PERFORMANCE_DATA};
    SnapshotBuffer currentSnapshot;
    SnapshotBuffer previousSnapshot;
    unsigned statusMessageId = 1034; // IDS_STATUS_LOADING
    // The size of the last buffer a query filled: a new or smaller buffer
    // starts there, so only the first snapshot of a machine searches for it.
    uint32_t sufficientSize = 0;
    // Decided once per connection (see CurrentSource).
    std::unique_ptr<DataSource> connectionSource;
    RemoteConnectedHook remoteConnectedHook = nullptr;
    SnapshotRetiredHook snapshotRetiredHook = nullptr;
};

extern PerfDataState perfData;

// Where the data comes from, for tests to replace: a source that wins over
// the connection's own (SetSourceForTesting), and the remote connection call.
struct DataSeams {
    DataSource* source = nullptr;
    RegistryConnector connectRegistry = RegConnectRegistryW;
};

extern DataSeams seams;

// The buffer of every query keeps its last 4096 bytes out of the query's reach.
constexpr uint32_t SNAPSHOT_INITIAL_SIZE = 8192;
constexpr uint32_t SNAPSHOT_RESERVE = 4096;

// Failures to read the counter names are reported in boxes owned by `owner`.
void TakeSnapshot(HWND owner);

// Releases everything read from the current machine: both snapshots and the
// name tables, and (through the retirement hook) whatever was built on them.
void ReleaseSampleData();

void SetSnapshotRetiredHook(SnapshotRetiredHook hook);
void SetRemoteConnectedHook(RemoteConnectedHook hook);

bool IsLocalMachine();
// `machineName` with or without two leading backslashes; null for the local
// machine. A failure is reported in a box owned by `owner` and changes nothing.
bool ConnectToMachine(HWND owner, const wchar_t* machineName);

// Two backslashes and at most this many characters name a computer.
constexpr size_t COMPUTER_NAME_MAX = 15;
constexpr size_t MACHINE_NAME_CHARS = COMPUTER_NAME_MAX + 3;

// A name without its backslashes: 1 to COMPUTER_NAME_MAX characters.
bool IsValidComputerName(const wchar_t* name);

} // namespace perf
