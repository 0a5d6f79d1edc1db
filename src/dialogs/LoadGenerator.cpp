#include "dialogs/LoadGenerator.h"

#include "core/Handles.h"
#include "core/Report.h"
#include "core/WideString.h"
#include "dialogs/Values.h"
#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "ui/MessageLoop.h"
#include "ui/Platform.h"

#include <memory>
#include <utility>

namespace dialogs {

LoadGeneratorState loadGenerator;

constexpr int WORK_SIZE = 2000;
constexpr uint32_t CALIBRATION_PASSES = 100;

struct LoadWorker {
    core::KernelHandle wake; // set with the stop request: it ends the sleep at once
    std::atomic<bool> stop{false};
    // The worker's own: a stopped worker may still finish a pass while the
    // next one starts, so they share nothing but the published figures.
    int32_t workArray[WORK_SIZE + 1] = {};
    uint32_t workSeed = 0x87146F4E;
    double passesPerSecond = 0;
    uint32_t passCount = 0;
    uint32_t sleepMs = 0;
};

namespace {

constexpr int TARGET_CHARS = 32;

class LockGuard {
public:
    explicit LockGuard(CRITICAL_SECTION& lock) : lock(lock) { EnterCriticalSection(&lock); }
    ~LockGuard() { LeaveCriticalSection(&lock); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    CRITICAL_SECTION& lock;
};

// False when the stop request cut the burst short.
bool BurnPasses(uint32_t passes, LoadWorker& worker)
{
    for (uint32_t n = 0; n < passes; ++n) {
        if (worker.stop.load(std::memory_order_relaxed))
            return false;
        for (int i = 0; i < WORK_SIZE; ++i) {
            int32_t* work = worker.workArray;
            if (work[i] != 0) {
                work[i + 1] = work[i + 1] / work[i];
            } else {
                work[i] = static_cast<int32_t>(worker.workSeed);
                worker.workSeed *= 37;
            }
        }
    }
    return true;
}

// The worker's figures become the dialog's, unless it was told to stop: the
// stop request is made under the same lock, so a stopped worker publishes
// nothing over its successor's.
void Publish(const LoadWorker& worker, bool cycleDone)
{
    LockGuard lock(core::LoadGeneratorLock());
    if (worker.stop.load())
        return;
    LoadGeneratorState& s = loadGenerator;
    s.passesPerSecond = worker.passesPerSecond;
    s.passCount = worker.passCount;
    s.sleepMs = worker.sleepMs;
    if (cycleDone)
        s.cyclesRun.fetch_add(1);
}

void RunDutyCycle(LoadWorker& worker, uint32_t userTarget)
{
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceCounter(&start);
    bool whole = BurnPasses(worker.passCount, worker);
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    int64_t elapsed = end.QuadPart - start.QuadPart;
    // A burst too short to measure, or cut short, keeps the rate it had.
    if (worker.passCount != 0 && whole && elapsed > 0)
        worker.passesPerSecond =
            static_cast<double>(worker.passCount) * static_cast<double>(frequency.QuadPart) / elapsed;
    worker.passCount = BurstPasses(userTarget, worker.passesPerSecond);
    worker.sleepMs = SleepAfterBurst(userTarget);
    Publish(worker, true);
}

struct Targets {
    uint32_t userCpu;
};

// False, taking nothing, once the worker was told to stop: the change flag
// then belongs to its successor.
bool CopyTargets(const LoadWorker& worker, Targets& targets)
{
    LockGuard lock(core::LoadGeneratorLock());
    if (worker.stop.load())
        return false;
    loadGenerator.targetsChanged = 0;
    targets = {loadGenerator.userCpuTarget};
    return true;
}

void RunWorker(LoadWorker& worker)
{
    {
        LockGuard lock(core::LoadGeneratorLock());
        worker.passesPerSecond = loadGenerator.passesPerSecond;
    }
    Targets targets{};
    if (!CopyTargets(worker, targets))
        return;
    while (!worker.stop.load()) {
        // Until a whole burst has been timed there is no rate to size bursts
        // by: an earlier worker may have been stopped while it calibrated.
        if (worker.passesPerSecond <= 0) {
            worker.passCount = CALIBRATION_PASSES;
            RunDutyCycle(worker, 0);
            continue;
        }
        Targets changed{};
        if (loadGenerator.targetsChanged.load() && CopyTargets(worker, changed)) {
            if (changed.userCpu != targets.userCpu) {
                // Below 100 % the burst must not wait for the processor; at
                // 100 % it gives way to everything else.
                SetThreadPriority(GetCurrentThread(), ClampedTarget(changed.userCpu) >= 100
                                                          ? THREAD_PRIORITY_IDLE
                                                          : THREAD_PRIORITY_TIME_CRITICAL);
            }
            targets = changed;
        }
        RunDutyCycle(worker, targets.userCpu);
        WaitForSingleObject(worker.wake.Get(), worker.sleepMs);
    }
}

DWORD WINAPI LoadWorkerThread(void* parameter)
{
    // The thread holds the worker for as long as it runs: nobody waits for it.
    std::unique_ptr<std::shared_ptr<LoadWorker>> held(static_cast<std::shared_ptr<LoadWorker>*>(parameter));
    RunWorker(**held);
    return 0;
}

void StartWorker()
{
    LoadGeneratorState& s = loadGenerator;
    auto worker = std::make_shared<LoadWorker>();
    worker->wake.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto held = std::make_unique<std::shared_ptr<LoadWorker>>(worker);
    DWORD id = 0;
    core::KernelHandle thread;
    if (worker->wake)
        thread.Reset(s.createThread(nullptr, 0, LoadWorkerThread, held.get(), CREATE_SUSPENDED, &id));
    if (!thread) {
        // No load then, and no other thread's times shown as the worker's.
        s.workerThreadId = 0;
        return;
    }
    held.release(); // the thread's now
    s.workerThreadId = id;
    s.worker = std::move(worker);
    s.workerThread = std::move(thread);
    ResumeThread(s.workerThread.Get());
}

// The worker is told to stop and raised out of the idle class it may burn
// in, so that it ends within a pass once it runs; the window does not wait
// for that, which on a busy machine could take minutes.
void StopWorker()
{
    LoadGeneratorState& s = loadGenerator;
    if (!s.worker)
        return;
    {
        LockGuard lock(core::LoadGeneratorLock());
        s.worker->stop = true;
    }
    SetEvent(s.worker->wake.Get());
    SetThreadPriority(s.workerThread.Get(), THREAD_PRIORITY_ABOVE_NORMAL);
    s.worker.reset();
    // Kept for the wait at exit; those that ended already are let go.
    std::erase_if(s.stoppedWorkers,
                  [](const core::KernelHandle& t) { return WaitForSingleObject(t.Get(), 0) == WAIT_OBJECT_0; });
    s.stoppedWorkers.push_back(std::move(s.workerThread));
    s.workerThreadId = 0;
}

uint32_t PageSize()
{
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    return info.dwPageSize;
}

void ShowTargets(HWND dialog)
{
    const LoadGeneratorState& s = loadGenerator;
    SetDlgItemInt(dialog, IDC_LOAD_USER_TARGET, s.userCpuTarget, FALSE);
    SetDlgItemInt(dialog, IDC_LOAD_PRIVILEGED_TARGET, s.privilegedCpuTarget, FALSE);
    SetDlgItemInt(dialog, IDC_LOAD_PAGED_TARGET, s.pagedMemoryTarget, FALSE);
    SetDlgItemInt(dialog, IDC_LOAD_PHYSICAL_TARGET, s.physicalMemoryTarget, FALSE);
}

void EnableApply(HWND dialog)
{
    EnableWindow(GetDlgItem(dialog, IDC_LOAD_APPLY), loadGenerator.applyEnabled != 0);
}

// Reads a changed edit into its target. A text without a number leaves the
// target as it is; one that does not fit is refused (false), and the edit
// shows the target kept.
bool ReadTargetField(HWND dialog, int id, uint32_t& target, bool suffixes, uint32_t limit)
{
    HWND edit = GetDlgItem(dialog, id);
    if (!SendMessageW(edit, EM_GETMODIFY, 0, 0))
        return true;
    wchar_t text[TARGET_CHARS + 1] = {};
    GetWindowTextW(edit, text, TARGET_CHARS + 1);
    ReadResult read = ReadTarget(text, suffixes, limit);
    bool refused = read.status == ReadStatus::negative || read.status == ReadStatus::tooLarge;
    if (read.status == ReadStatus::ok)
        target = read.value;
    else if (refused)
        SetDlgItemInt(dialog, id, target, FALSE);
    SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
    return !refused;
}

void Apply(HWND dialog)
{
    LoadGeneratorState& s = loadGenerator;
    bool accepted = true;
    {
        LockGuard lock(core::LoadGeneratorLock());
        uint32_t pagedLimit = LargestPagedCount(PageSize());
        accepted &= ReadTargetField(dialog, IDC_LOAD_USER_TARGET, s.userCpuTarget, false, UINT32_MAX);
        accepted &= ReadTargetField(dialog, IDC_LOAD_PRIVILEGED_TARGET, s.privilegedCpuTarget, false, UINT32_MAX);
        accepted &= ReadTargetField(dialog, IDC_LOAD_PAGED_TARGET, s.pagedMemoryTarget, true, pagedLimit);
        accepted &= ReadTargetField(dialog, IDC_LOAD_PHYSICAL_TARGET, s.physicalMemoryTarget, true, UINT32_MAX);
        SetPagedMemory(dialog, s.pagedMemoryTarget);
        s.targetsChanged = 1;
        s.applyEnabled = 0;
    }
    EnableApply(dialog);
    if (!accepted) {
        MessageBoxW(dialog,
                    L"A target that does not fit in 32 bits was refused and keeps its value.\n"
                    L"Memory targets must stay below 4 GB (4294963200 bytes of paged memory).",
                    L"Load Generator", MB_ICONEXCLAMATION);
    }
}

void Reset(HWND dialog)
{
    for (int id : {IDC_LOAD_USER_TARGET, IDC_LOAD_PRIVILEGED_TARGET, IDC_LOAD_PAGED_TARGET,
                   IDC_LOAD_PHYSICAL_TARGET}) {
        SetDlgItemTextW(dialog, id, L"0");
        SendDlgItemMessageW(dialog, id, EM_SETMODIFY, TRUE, 0);
    }
    Apply(dialog);
}

void InitDialog(HWND dialog)
{
    ui::RegisterLoadGenerator(dialog);
    ShowTargets(dialog);
    core::WideString unknown(core::TextId(IDS_UNKNOWN));
    SetDlgItemTextW(dialog, IDC_LOAD_USER_ACTUAL, unknown.Chars());
    for (int id : {IDC_LOAD_USER_TARGET, IDC_LOAD_PRIVILEGED_TARGET, IDC_LOAD_PAGED_TARGET,
                   IDC_LOAD_PHYSICAL_TARGET})
        SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, TARGET_CHARS, 0);
    SetPagedMemory(dialog, loadGenerator.pagedMemoryTarget);
    loadGenerator.applyEnabled = 0;
    EnableApply(dialog);
    StopWorker();
    StartWorker();
}

void OnCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDC_LOAD_USER_TARGET:
    case IDC_LOAD_PRIVILEGED_TARGET:
    case IDC_LOAD_PAGED_TARGET:
    case IDC_LOAD_PHYSICAL_TARGET:
        if (code == EN_CHANGE && !loadGenerator.applyEnabled) {
            loadGenerator.applyEnabled = 1;
            EnableApply(dialog);
        }
        break;
    case IDCANCEL:
        DestroyWindow(dialog);
        break;
    case IDC_LOAD_APPLY:
        Apply(dialog);
        break;
    case IDC_LOAD_RESET:
        Reset(dialog);
        break;
    }
}

const perf::PerfInstanceDefinition* FindThread(perf::SnapshotView view, const perf::PerfObjectType* object,
                                               uint32_t threadId)
{
    const perf::PerfCounterDefinition* idCounter = perf::FindCounter(view, object, perf::counterTable.idThreadIndex);
    if (!idCounter)
        return nullptr;
    const perf::PerfInstanceDefinition* instance = perf::FirstInstance(view, object);
    for (uint32_t i = 0; instance && i < perf::InstanceCount(object); ++i) {
        const uint8_t* id = perf::CounterData(view, instance, idCounter);
        if (id && perf::ReadU32(view, id) == threadId)
            return instance;
        instance = perf::NextInstance(view, instance);
    }
    return nullptr;
}

} // namespace

void SetPagedMemory(HWND dialog, uint32_t bytes)
{
    LoadGeneratorState& s = loadGenerator;
    uint32_t pageSize = PageSize();
    uint32_t size = bytes <= LargestPagedCount(pageSize) ? RoundUpToPages(bytes, pageSize) : s.pagedMemorySize;
    if (size != s.pagedMemorySize) {
        if (s.pagedMemoryBlock) {
            VirtualFree(s.pagedMemoryBlock, 0, MEM_RELEASE);
            s.pagedMemoryBlock = nullptr;
        }
        if (size) {
            s.pagedMemoryBlock = static_cast<uint8_t*>(VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE));
            if (!s.pagedMemoryBlock)
                size = 0;
        }
        for (size_t offset = 0; offset < size; offset += pageSize)
            s.pagedMemoryBlock[offset] = 0xFF;
        s.pagedMemorySize = size;
    }
    SizeText shown = ShownSize(s.pagedMemorySize);
    core::WideString text;
    text.FormatResource(shown.megabytes ? IDS_SIZE_MB : IDS_SIZE_KB, shown.number);
    SetDlgItemTextW(dialog, IDC_LOAD_PAGED_ACTUAL, text.Chars());
}

bool WaitForStoppedWorkers(DWORD timeoutMs)
{
    std::vector<core::KernelHandle>& stopped = loadGenerator.stoppedWorkers;
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!stopped.empty()) {
        ULONGLONG now = GetTickCount64();
        if (WaitForSingleObject(stopped.back().Get(), now < deadline ? DWORD(deadline - now) : 0) != WAIT_OBJECT_0)
            return false;
        stopped.pop_back();
    }
    return true;
}

void UpdateLoadGeneratorActuals()
{
    HWND dialog = ui::messageLoop.loadGeneratorDialog;
    if (!dialog)
        return;
    core::WideString user(core::TextId(IDS_UNKNOWN));
    core::WideString privileged(core::TextId(IDS_UNKNOWN));
    const perf::CounterNameTable& names = perf::counterTable;
    perf::SnapshotView current = perf::perfData.currentSnapshot.View();
    perf::SnapshotView previous = perf::perfData.previousSnapshot.View();
    const perf::PerfObjectType* currentThreads = perf::FindObject(current, names.threadObjectIndex);
    const perf::PerfObjectType* previousThreads = perf::FindObject(previous, names.threadObjectIndex);
    uint32_t id = loadGenerator.workerThreadId;
    const perf::PerfInstanceDefinition* now = id ? FindThread(current, currentThreads, id) : nullptr;
    const perf::PerfInstanceDefinition* before = id ? FindThread(previous, previousThreads, id) : nullptr;
    if (now && before && perf::IsLocalMachine()) {
        for (auto [index, text] : {std::pair{names.userTimeIndex, &user}, std::pair{names.privilegedTimeIndex, &privileged}}) {
            perf::CounterSample sampleNow{current, now, perf::FindCounter(current, currentThreads, index)};
            perf::CounterSample sampleBefore{previous, before, perf::FindCounter(previous, previousThreads, index)};
            double value = 0;
            if (perf::ComputeCounterValue(sampleNow, sampleBefore, value, perf::DISPLAY_NATURAL))
                perf::FormatCounterValue(sampleNow, value, perf::DISPLAY_NATURAL, *text);
        }
    }
    SetDlgItemTextW(dialog, IDC_LOAD_USER_ACTUAL, user.Chars());
    SetDlgItemTextW(dialog, IDC_LOAD_PRIVILEGED_ACTUAL, privileged.Chars());
}

void ToggleLoadGenerator(HWND owner)
{
    if (ui::messageLoop.loadGeneratorDialog) {
        DestroyWindow(ui::messageLoop.loadGeneratorDialog);
        return;
    }
    // The dialog records itself in the state while it initialises.
    HWND dialog = CreateDialogParamW(ui::platform.instance, MAKEINTRESOURCEW(IDD_LOAD_GENERATOR), owner,
                                     LoadGeneratorDialogProc, 0);
    if (dialog)
        ShowWindow(dialog, SW_SHOW);
}

INT_PTR CALLBACK LoadGeneratorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_ACTIVATE:
        ui::NoteDialogActivation(dialog, LOWORD(wParam) != WA_INACTIVE);
        return FALSE; // the dialog manager still saves and restores the focus
    case WM_DESTROY:
        ui::ForgetDialog(dialog);
        StopWorker();
        SetPagedMemory(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

} // namespace dialogs
