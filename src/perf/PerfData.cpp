#include "perf/PerfData.h"

#include "app/AppState.h"
#include "core/Module.h"
#include "core/Report.h"
#include "core/WideString.h"
#include "perf/BuiltinProvider.h"
#include "perf/CounterNames.h"
#include "perf/DataSource.h"
#include "resources/resource.h"

#include <cwchar>
#include <new>

namespace perf {

PerfDataState perfData;

namespace {

constexpr uint32_t SNAPSHOT_DOUBLING_LIMIT = 0x80000;
constexpr uint32_t SNAPSHOT_STEP = 0x20000;
constexpr size_t MACHINE_NAME_CHARS = 18; // two backslashes, 15 characters, terminator
constexpr size_t COMPUTER_NAME_MAX = 15;

DataSource* testSource = nullptr;
std::unique_ptr<DataSource> connectionSource;
SnapshotRetiredHook snapshotRetiredHook = nullptr;

void RetireSnapshot(const uint8_t* bytes)
{
    if (snapshotRetiredHook)
        snapshotRetiredHook(bytes);
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
    if (size < SNAPSHOT_DOUBLING_LIMIT)
        return size * 2;
    return size <= UINT32_MAX - SNAPSHOT_STEP ? size + SNAPSHOT_STEP : 0;
}

} // namespace

// Whether the registry's own performance data names and serves the Process
// object; where it does not (Wine, damaged counters), the built-in provider
// serves the local machine.
bool RegistryServesProcesses(DataSource& registry)
{
    HKEY key = nullptr;
    if (registry.OpenNameKey(L"software\\microsoft\\windows nt\\currentversion\\perflib\\009", &key) !=
        ERROR_SUCCESS)
        return false;
    IndexedMultiString names;
    ReadIndexedMultiString(registry, key, L"Counter", names);
    registry.CloseNameKey(key);
    // The highest index of the name wins, as when the tables are loaded.
    uint32_t processIndex = 0;
    for (uint32_t i = 0; names.table && i < names.count; ++i) {
        if (names.table[i] && wcscmp(names.table[i], L"Process") == 0)
            processIndex = i;
    }
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

namespace {

void ForgetConnectionSource()
{
    connectionSource.reset();
}

void CloseRemoteKeys(HKEY machineKey, HKEY perfDataKey)
{
    if (machineKey && machineKey != HKEY_LOCAL_MACHINE)
        RegCloseKey(machineKey);
    if (perfDataKey && perfDataKey != HKEY_PERFORMANCE_DATA)
        RegCloseKey(perfDataKey);
}

bool IsValidComputerName(const wchar_t* name)
{
    size_t length = wcslen(name);
    return length > 0 && length <= COMPUTER_NAME_MAX;
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
    if (testSource)
        return *testSource;
    if (!connectionSource) {
        connectionSource = std::make_unique<RegistrySource>(perfData.machineKey, perfData.perfDataKey);
        if (IsLocalMachine() && !RegistryServesProcesses(*connectionSource))
            connectionSource = std::make_unique<BuiltinProvider>();
    }
    return *connectionSource;
}

void SetSourceForTesting(DataSource* source)
{
    testSource = source;
}

void TakeSnapshot()
{
    if (!EnsureCounterTables()) {
        perfData.statusMessageId = IDS_STATUS_NOT_AVAILABLE;
        return;
    }
    wchar_t valueName[32];
    swprintf(valueName, 32, L"%u %u", counterTable.processObjectIndex, counterTable.threadObjectIndex);

    // The previous snapshot's buffer is reused, so a steady state allocates nothing.
    SnapshotBuffer buffer = std::move(perfData.previousSnapshot);
    perfData.previousSnapshot = SnapshotBuffer();
    if (buffer)
        RetireSnapshot(buffer.bytes.get());
    else
        buffer = AllocateSnapshot(SNAPSHOT_INITIAL_SIZE);
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
    snapshotRetiredHook = hook;
}

void ReleaseSampleData()
{
    RetireSnapshot(nullptr);
    perfData.currentSnapshot = SnapshotBuffer();
    perfData.previousSnapshot = SnapshotBuffer();
    ReleaseCounterTables();
}

bool IsLocalMachine()
{
    return perfData.perfDataKey == HKEY_PERFORMANCE_DATA;
}

bool ConnectToMachine(HWND owner, const wchar_t* machineName)
{
    wchar_t name[MACHINE_NAME_CHARS] = L"\\\\";
    DWORD localLength = COMPUTER_NAME_MAX + 1;
    if (!GetComputerNameW(name + 2, &localLength))
        name[2] = 0;

    HKEY machineKey = HKEY_LOCAL_MACHINE;
    HKEY perfDataKey = HKEY_PERFORMANCE_DATA;
    if (machineName) {
        if (machineName[0] == L'\\' && machineName[1] == L'\\')
            machineName += 2;
        if (_wcsicmp(machineName, name + 2) != 0) {
            // A name the buffer cannot hold is refused rather than cut, which
            // could name another machine.
            LSTATUS status = ERROR_INVALID_COMPUTERNAME;
            if (IsValidComputerName(machineName)) {
                wcscpy(name + 2, machineName);
                status = RegConnectRegistryW(name, HKEY_LOCAL_MACHINE, &machineKey);
                if (status == ERROR_SUCCESS) {
                    status = RegConnectRegistryW(name, HKEY_PERFORMANCE_DATA, &perfDataKey);
                    if (status != ERROR_SUCCESS)
                        perfDataKey = HKEY_PERFORMANCE_DATA;
                } else {
                    machineKey = HKEY_LOCAL_MACHINE;
                }
            }
            if (status != ERROR_SUCCESS) {
                core::WideString operation;
                operation.FormatResource(IDS_OP_CONNECT_REGISTRY, static_cast<int>(COMPUTER_NAME_MAX),
                                         machineName);
                core::ReportWin32Failure(owner, operation.Chars(), status, MB_ICONEXCLAMATION);
                CloseRemoteKeys(machineKey, HKEY_PERFORMANCE_DATA);
                return false;
            }
            // The load generator measures the local machine only.
            if (app::state.loadGeneratorDialog)
                DestroyWindow(app::state.loadGeneratorDialog);
        }
    }

    if (machineKey == perfData.machineKey && perfDataKey == perfData.perfDataKey)
        return true;
    CloseRemoteKeys(perfData.machineKey, perfData.perfDataKey);
    ReleaseSampleData();
    ForgetConnectionSource();
    perfData.machineKey = machineKey;
    perfData.perfDataKey = perfDataKey;
    return true;
}

bool BrowseForComputer(HWND owner, wchar_t* name)
{
    using FocusDialog = UINT(WINAPI*)(HWND, UINT, LPWSTR, UINT, BOOL*, LPWSTR, DWORD);
    wchar_t chosen[MACHINE_NAME_CHARS] = {};
    BOOL confirmed = FALSE;
    HMODULE library = LoadLibraryW(L"ntlanman.dll");
    auto browse = core::FindExport<FocusDialog>(library, "I_SystemFocusDialog");
    if (browse) {
        browse(owner, 0x001F0002, chosen, MACHINE_NAME_CHARS, &confirmed, nullptr, 0);
    } else {
        // No system browser (as under Wine): ask for the name instead.
        confirmed = DialogBoxParamW(app::state.instance, MAKEINTRESOURCEW(IDD_COMPUTER_NAME), owner,
                                    ComputerNameDialogProc, reinterpret_cast<LPARAM>(chosen)) == IDOK;
    }
    if (library)
        FreeLibrary(library);
    if (confirmed)
        wcsncpy(name, chosen, MACHINE_NAME_CHARS);
    return confirmed != FALSE;
}

bool BrowseAndConnect(HWND owner)
{
    wchar_t name[MACHINE_NAME_CHARS] = {};
    if (!BrowseForComputer(owner, name))
        return false;
    name[MACHINE_NAME_CHARS - 1] = 0;
    return ConnectToMachine(owner, name + 2);
}

INT_PTR CALLBACK ComputerNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SendDlgItemMessageW(dialog, IDC_COMPUTER_NAME, EM_LIMITTEXT, COMPUTER_NAME_MAX, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto* name = reinterpret_cast<wchar_t*>(GetWindowLongPtrW(dialog, DWLP_USER));
            wchar_t typed[64] = {};
            GetDlgItemTextW(dialog, IDC_COMPUTER_NAME, typed, 64);
            const wchar_t* start = typed[0] == L'\\' && typed[1] == L'\\' ? typed + 2 : typed;
            if (!name || !IsValidComputerName(start)) {
                MessageBeep(MB_ICONEXCLAMATION);
                SetFocus(GetDlgItem(dialog, IDC_COMPUTER_NAME));
                return TRUE;
            }
            swprintf(name, MACHINE_NAME_CHARS, L"\\\\%ls", start);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace perf
