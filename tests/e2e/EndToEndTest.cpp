// Quorlet as a user sees it, in a Wine desktop on an X display: the program's
// own start-up and message loop run on this thread, and a thread timer looks
// at the view between messages, presses keys and takes screenshots.
#include "app/AppState.h"
#include "app/AppTestSupport.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "core/Handles.h"
#include "model/Records.h"
#include "perf/PerfData.h"
#include "support/ChildProcess.h"
#include "view/Tray.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <string>

using namespace testing_support;

namespace {

// Saves the screen as a 32-bpp bitmap file beside the test.
bool SaveScreenshot(const std::wstring& path)
{
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    core::WindowDc screen(nullptr);
    core::MemoryDc memory(CreateCompatibleDC(screen.Get()));
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    core::Bitmap bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    {
        core::SelectionGuard canvas(memory.Get(), bitmap.Get());
        BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), 0, 0, SRCCOPY);
    }
    GdiFlush();
    // Opaque, for viewers that honour the fourth byte.
    for (uint32_t* p = static_cast<uint32_t*>(bits), *end = p + size_t(width) * height; p < end; ++p)
        *p |= 0xFF000000;
    DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER), imageSize = DWORD(width) * height * 4;
    BITMAPFILEHEADER header = {0x4D42, headers + imageSize, 0, 0, headers};
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file)
        return false;
    bool written = fwrite(&header, sizeof(header), 1, file) && fwrite(&info.bmiHeader, headers - sizeof(header), 1, file) &&
                   fwrite(bits, imageSize, 1, file);
    return fclose(file) == 0 && written;
}

int64_t SampleTime()
{
    const perf::PerfDataBlockHeader* header = perf::BlockHeader(perf::perfData.currentSnapshot.View());
    return header ? perf::Value64(header->PerfTime100nSec) : 0;
}

// The listed row with the largest value, leaving out Idle, _Total and the
// unlisted programs (ID 0).
int32_t BusiestRow()
{
    int32_t busiest = -1;
    for (int32_t i = 0; i < int32_t(model::state.displayCount()); ++i) {
        const model::InstanceRecord& r = *model::state.displayList[i];
        if (r.id != 0 && r.Has(model::isProcess) &&
            (busiest < 0 || r.value > model::state.displayList[busiest]->value))
            busiest = i;
    }
    return busiest;
}

// What the timer saw, step by step.
struct Run {
    int step = 0;
    int samples = 0;
    int64_t lastSample = 0;
    std::wstring busiestName;
    double busiestValue = 0;
    std::wstring highestTip, totalTip;
    bool expandedWithThreads = false;
    int samplesAfterExpanding = 0;
    bool screenshots = true;
};
Run run;

void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD)
{
    int64_t sample = SampleTime();
    if (sample != run.lastSample) {
        run.lastSample = sample;
        ++run.samples;
    }
    HWND window = app::state.mainWindow;
    if (run.step == 0 && run.samples >= 3) {
        int32_t row = BusiestRow();
        if (row >= 0) {
            run.busiestName = model::state.displayList[row]->name;
            run.busiestValue = model::state.displayList[row]->value;
            PostMessageW(window, app::WM_SELECT_ROW, row, 3);
        }
        run.highestTip = view::tray.records[0].szTip;
        run.totalTip = view::tray.records[1].szTip;
        run.screenshots &= SaveScreenshot(TestFolder() + L"e2e-sampled.bmp");
        PostMessageW(window, WM_KEYDOWN, VK_RIGHT, 1); // through the accelerators
        run.step = 1;
    } else if (run.step == 1) {
        int32_t focus = model::state.focusRow;
        run.expandedWithThreads = focus >= 0 && model::state.displayList[focus]->Has(model::expanded) &&
                                  focus + 1 < int32_t(model::state.displayCount()) &&
                                  model::state.displayList[focus + 1]->Has(model::isThread);
        run.samplesAfterExpanding = run.samples;
        PostMessageW(window, WM_KEYDOWN, VK_F5, 1);
        run.step = 2;
    } else if (run.step == 2 && run.samples > run.samplesAfterExpanding) {
        run.screenshots &= SaveScreenshot(TestFolder() + L"e2e-expanded.bmp");
        PostMessageW(window, WM_CLOSE, 0, 0);
        run.step = 3;
    }
}

} // namespace

using EndToEnd = StoredSettingsFixture;

TEST_F(EndToEnd, TheBurnerIsTheLongestBarItsThreadsExpandAndTheSettingsAreSavedOnClose)
{
    wchar_t command[64];
    swprintf(command, 64, L"e2e_burner.exe %lu", GetCurrentProcessId());
    std::wstring path = TestFolder() + L"e2e_burner.exe";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION burner = {};
    ASSERT_TRUE(CreateProcessW(path.c_str(), command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &burner));
    core::KernelHandle burnerProcess(burner.hProcess), burnerThread(burner.hThread);

    UINT_PTR watch = SetTimer(nullptr, 0, 200, Watch);
    int exitCode = app::RunProgram(GetModuleHandleW(nullptr), SW_SHOWNORMAL);
    KillTimer(nullptr, watch);
    TerminateProcess(burnerProcess.Get(), 0);

    EXPECT_EQ(0, exitCode);
    EXPECT_EQ(3, run.step) << "the run got as far as step " << run.step;
    EXPECT_EQ(L"e2e_burner", run.busiestName);
    // About one processor when the machine is quiet (88 % seen); far less while
    // other programs share it (29 % beside two native burners on two cores).
    // Never more, since it burns on one thread.
    EXPECT_GT(run.busiestValue, 0.05);
    EXPECT_LT(run.busiestValue, 1.1);
    // The gauge names the busiest process; the machine's native programs
    // (CI's own work) may outweigh it.
    EXPECT_TRUE(run.highestTip.rfind(L"e2e_burner ", 0) == 0 || run.highestTip.rfind(L"Unlisted programs ", 0) == 0)
        << std::string(run.highestTip.begin(), run.highestTip.end());
    EXPECT_EQ(0u, run.totalTip.rfind(L"Total ", 0));
    EXPECT_TRUE(run.expandedWithThreads);
    EXPECT_TRUE(run.screenshots);
    std::vector<uint8_t> stored = ReadStoredSettings();
    ASSERT_EQ(sizeof(app::SettingsRecord), stored.size());
    EXPECT_EQ(0, memcmp(stored.data(), &app::settings, stored.size()));
}
