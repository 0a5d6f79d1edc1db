// The Load Generator: a modeless dialog whose worker thread burns a chosen
// share of one processor, and a committed block of touched paged memory.
#pragma once

#include "core/Handles.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace dialogs {

using ThreadCreator = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD);

struct LoadWorker; // one worker thread and its own stop request

// Kept from one opening of the dialog to the next.
struct LoadGeneratorState {
    std::atomic<uint32_t> targetsChanged{0};
    uint32_t applyEnabled = 0;
    uint32_t workerThreadId = 0; // 0 while no worker runs
    uint32_t userCpuTarget = 0;  // percent of one processor; above 100 counts as 100
    uint32_t privilegedCpuTarget = 0;
    uint32_t pagedMemoryTarget = 0;
    uint32_t physicalMemoryTarget = 0;
    // Published by the running worker under the load generator's lock after
    // each cycle; the rate is kept for the next worker.
    double passesPerSecond = 0;
    uint32_t passCount = 0;
    uint32_t sleepMs = 0;
    std::atomic<uint32_t> cyclesRun{0};
    // The user-interface thread's own.
    uint32_t pagedMemorySize = 0;
    uint8_t* pagedMemoryBlock = nullptr;
    std::shared_ptr<LoadWorker> worker; // shared with its thread, which may outlive the dialog
    core::KernelHandle workerThread;
    std::vector<core::KernelHandle> stoppedWorkers; // told to stop, perhaps still running
    ThreadCreator createThread = CreateThread;
};

extern LoadGeneratorState loadGenerator;

// Opens the dialog, or closes it when it is open.
void ToggleLoadGenerator(HWND owner);

INT_PTR CALLBACK LoadGeneratorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Commits, resizes or releases the block to the count rounded up to whole
// pages, one byte written in each page, and shows the size held.
void SetPagedMemory(HWND dialog, uint32_t bytes);

// Waits, at most `timeoutMs`, for the workers told to stop to end: at exit,
// so that none still takes the lock or touches the state as they are
// destroyed. True when none is left running.
bool WaitForStoppedWorkers(DWORD timeoutMs);

// The "Actual:" texts: what the current and previous samples measured for
// the worker thread.
void UpdateLoadGeneratorActuals();

} // namespace dialogs
