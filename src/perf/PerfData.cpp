#include "perf/PerfData.h"

#include "core/Report.h"
#include "core/WideString.h"
#include "perf/BuiltinProvider.h"
#include "perf/CounterNames.h"
#include "perf/DataSource.h"
#include "resources/resource.h"

#include <algorithm>
#include <cwchar>
#include <new>

namespace perf {

PerfDataState perfData;
DataSeams seams;

namespace {

// Every query makes the machine collect all of its data again, so a buffer
// grows in few large steps: fourfold while small, then twofold.
constexpr uint32_t SNAPSHOT_QUADRUPLING_LIMIT = 0x800000;

void RetireSnapshot(const uint8_t* bytes)
{
    if (perfData.snapshotRetiredHook)
        perfData.snapshotRetiredHook(bytes);
}

SnapshotBuffer AllocateSnapshot(uint32_t size)
{
    SnapshotBuffer buffer;
    buffer.bytes.reset(new (std::nothrow) uint8_t[size]);
    if (buffer.bytes)
        buffer.allocated = size;
    return buffer;
}

uint32_t NextSnapshotSize(uint32_t size)
{
    if (size < SNAPSHOT_QUADRUPLING_LIMIT)
        return size * 4;
    return size <= UINT32_MAX / 2 ? size * 2 : 0;
}

// A buffer for the next query: the previous snapshot's, or a new one, at
// least as large as the last buffer that sufficed.
SnapshotBuffer QueryBuffer()
{
    SnapshotBuffer buffer = std::move(perfData.previousSnapshot);
    perfData.previousSnapshot = SnapshotBuffer();
    if (buffer)
        RetireSnapshot(buffer.bytes.get());
    uint32_t wanted = std::max(SNAPSHOT_INITIAL_SIZE, perfData.sufficientSize);
    if (!buffer || buffer.allocated < wanted)
        buffer = AllocateSnapshot(wanted);
    return buffer;
}

} // namespace

// Whether the registry's own performance data names and serves the Process
// object; where it does not (Wine, damaged counters), the built-in provider
// serves the local machine.
bool RegistryServesProcesses(DataSource& registry)
{
    IndexedMultiString names;
    ReadEnglishCounterNames(registry, names);
    uint32_t processIndex = LowestIndexOf(names, L"Process"); // as when the tables are loaded
    ReleaseIndexedMultiString(names);
    if (processIndex == 0)
        return false;

    wchar_t valueName[16];
    swprintf(valueName, 16, L"%u", processIndex);
    for (uint32_t allocated = SNAPSHOT_INITIAL_SIZE; allocated != 0; allocated = NextSnapshotSize(allocated)) {
        SnapshotBuffer buffer = AllocateSnapshot(allocated);
        if (!buffer)
            return false;
        DWORD length = allocated;
        LSTATUS status = registry.QuerySnapshot(valueName, buffer.bytes.get(), &length);
        if (status == ERROR_SUCCESS) {
            buffer.length = length < allocated ? length : allocated;
            return FindObject(buffer.View(), processIndex) != nullptr;
        }
        if (status != ERROR_MORE_DATA)
            return false;
    }
    return false;
}

bool IsValidComputerName(const wchar_t* name)
{
    size_t length = wcslen(name);
    return length > 0 && length <= COMPUTER_NAME_MAX;
}

namespace {

// How much of a machine name the failure text shows: at most the characters
// a computer name has, without splitting a surrogate pair.
int ShownNameLength(const wchar_t* name)
{
    size_t length = wcsnlen(name, COMPUTER_NAME_MAX + 1);
    if (length > COMPUTER_NAME_MAX) {
        length = COMPUTER_NAME_MAX;
        if (IS_HIGH_SURROGATE(name[length - 1]))
            --length;
    }
    return static_cast<int>(length);
}

// A machine whose English names lack a required one is refused with the code
// that would end the program at start-up.
constexpr LSTATUS MISSING_NAMES = -1;
constexpr uint32_t NAME_NOT_FOUND_CODE = 2;

void ReportConnectionFailure(HWND owner, const wchar_t* machineName, LSTATUS status)
{
    core::WideString operation;
    operation.FormatResource(IDS_OP_CONNECT_REGISTRY, ShownNameLength(machineName), machineName);
    if (status == MISSING_NAMES)
        core::ReportFailure(owner, operation.Chars(), core::TextId(IDS_NAME_NOT_FOUND),
                            core::TextId(IDS_KIND_INTERNAL), NAME_NOT_FOUND_CODE, MB_ICONEXCLAMATION);
    else
        core::ReportWin32Failure(owner, operation.Chars(), status, MB_ICONEXCLAMATION);
}

// Both keys of a remote machine whose counter names can be used; a name
// table out of proportion to its value (a hostile or damaged machine) is
// refused before anything else changes, and so is one that lacks a name the
// program cannot do without.

LSTATUS ConnectRemote(const wchar_t* uncName, ConnectionKey& machineKey, ConnectionKey& perfDataKey)
{
    LSTATUS status = seams.connectRegistry(uncName, HKEY_LOCAL_MACHINE, machineKey.Put());
    if (status != ERROR_SUCCESS)
        return status;
    status = seams.connectRegistry(uncName, HKEY_PERFORMANCE_DATA, perfDataKey.Put());
    if (status != ERROR_SUCCESS)
        return status;
    RegistrySource remote(machineKey.Get(), perfDataKey.Get());
    IndexedMultiString names;
    status = ReadEnglishCounterNames(remote, names);
    bool complete = status != ERROR_SUCCESS || NamesTheRequiredCounters(names);
    ReleaseIndexedMultiString(names);
    if (status == ERROR_INVALID_DATA)
        return status;
    return complete ? ERROR_SUCCESS : MISSING_NAMES;
}

} // namespace

LSTATUS RegistrySource::QuerySnapshot(const wchar_t* valueName, uint8_t* buffer, DWORD* size)
{
    return RegQueryValueExW(perfDataKey, valueName, nullptr, nullptr, buffer, size);
}

LSTATUS RegistrySource::OpenNameKey(const wchar_t* path, HKEY* key)
{
    return RegOpenKeyW(machineKey, path, key);
}

LSTATUS RegistrySource::QueryNameValue(HKEY key, const wchar_t* valueName, uint8_t* buffer, DWORD* size)
{
    return RegQueryValueExW(key, valueName, nullptr, nullptr, buffer, size);
}

void RegistrySource::CloseNameKey(HKEY key)
{
    RegCloseKey(key);
}

DataSource& CurrentSource()
{
    if (seams.source)
        return *seams.source;
    if (!perfData.connectionSource) {
        perfData.connectionSource =
            std::make_unique<RegistrySource>(perfData.machineKey.Get(), perfData.perfDataKey.Get());
        if (IsLocalMachine() && !RegistryServesProcesses(*perfData.connectionSource))
            perfData.connectionSource = std::make_unique<BuiltinProvider>();
    }
    return *perfData.connectionSource;
}

void SetSourceForTesting(DataSource* source)
{
    seams.source = source;
}

void TakeSnapshot(HWND owner)
{
    // Without the English names there is nothing to ask for: the object
    // indexes come from them. Another machine whose names lack one the
    // program needs (it was reported) is left for the local one.
    bool loaded = EnsureCounterTables(owner);
    if (counterTable.requiredNameMissing && !IsLocalMachine() && ConnectToMachine(owner, nullptr))
        loaded = EnsureCounterTables(owner);
    if (!loaded || !counterTable.indexesFound) {
        perfData.statusMessageId = IDS_STATUS_NOT_AVAILABLE;
        return;
    }
    wchar_t valueName[32];
    swprintf(valueName, 32, L"%u %u", counterTable.processObjectIndex, counterTable.threadObjectIndex);

    // The previous snapshot's buffer is reused, so a steady state allocates nothing.
    SnapshotBuffer buffer = QueryBuffer();
    for (;;) {
        if (!buffer) {
            perfData.statusMessageId = IDS_STATUS_NO_MEMORY;
            return;
        }
        DWORD offered = buffer.allocated - SNAPSHOT_RESERVE;
        DWORD size = offered;
        LSTATUS status = CurrentSource().QuerySnapshot(valueName, buffer.bytes.get(), &size);
        if (status == ERROR_SUCCESS) {
            buffer.length = size < offered ? size : offered;
            perfData.sufficientSize = std::max(perfData.sufficientSize, buffer.allocated);
            perfData.previousSnapshot = std::move(perfData.currentSnapshot);
            perfData.currentSnapshot = std::move(buffer);
            perfData.statusMessageId = IDS_STATUS_PROCESSING;
            return;
        }
        if (status != ERROR_MORE_DATA) {
            perfData.statusMessageId = IDS_STATUS_NOT_AVAILABLE;
            return;
        }
        perfData.statusMessageId = IDS_STATUS_LOADING;
        uint32_t next = NextSnapshotSize(buffer.allocated);
        buffer = SnapshotBuffer();
        if (next)
            buffer = AllocateSnapshot(next);
    }
}

void SetSnapshotRetiredHook(SnapshotRetiredHook hook)
{
    perfData.snapshotRetiredHook = hook;
}

void SetRemoteConnectedHook(RemoteConnectedHook hook)
{
    perfData.remoteConnectedHook = hook;
}

void ReleaseSampleData()
{
    RetireSnapshot(nullptr);
    perfData.currentSnapshot = SnapshotBuffer();
    perfData.previousSnapshot = SnapshotBuffer();
    perfData.sufficientSize = 0;
    ReleaseCounterTables();
}

bool IsLocalMachine()
{
    return perfData.perfDataKey.Get() == HKEY_PERFORMANCE_DATA;
}

bool ConnectToMachine(HWND owner, const wchar_t* machineName)
{
    wchar_t name[MACHINE_NAME_CHARS] = L"\\\\";
    DWORD localLength = COMPUTER_NAME_MAX + 1;
    if (!GetComputerNameW(name + 2, &localLength))
        name[2] = 0;

    ConnectionKey machineKey{HKEY_LOCAL_MACHINE};
    ConnectionKey perfDataKey{HKEY_PERFORMANCE_DATA};
    if (machineName) {
        if (machineName[0] == L'\\' && machineName[1] == L'\\')
            machineName += 2;
        if (_wcsicmp(machineName, name + 2) != 0) {
            // A name the buffer cannot hold is refused rather than cut, which
            // could name another machine.
            LSTATUS status = ERROR_INVALID_COMPUTERNAME;
            if (IsValidComputerName(machineName)) {
                wcscpy(name + 2, machineName);
                status = ConnectRemote(name, machineKey, perfDataKey);
            }
            if (status != ERROR_SUCCESS) {
                ReportConnectionFailure(owner, machineName, status);
                return false; // the keys obtained so far close with their owners
            }
            if (perfData.remoteConnectedHook)
                perfData.remoteConnectedHook();
        }
    }

    if (machineKey.Get() == perfData.machineKey.Get() && perfDataKey.Get() == perfData.perfDataKey.Get())
        return true;
    ReleaseSampleData();
    perfData.connectionSource.reset();
    perfData.machineKey = std::move(machineKey);
    perfData.perfDataKey = std::move(perfDataKey);
    return true;
}

} // namespace perf
