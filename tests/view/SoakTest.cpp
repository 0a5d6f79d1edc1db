#include "view/ViewWindow.h"

using namespace testing_support;

namespace {

struct Footprint {
    size_t gdiObjects, userSlot, kernelSlot, privateBytes;
};

// Wine's GetGuiResources and GetProcessHandleCount return 0. There, GDI
// objects are counted by asking for each slot of the handle table, and for
// USER objects and kernel handles a fresh one shows the lowest free slot,
// which leaks would push up. Wine reports no private bytes either: the
// committed private regions of the address space are summed.
Footprint Measure()
{
    Footprint f = {};
    f.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (uintptr_t slot = 1, counted = f.gdiObjects; !counted && slot < 0x10000; ++slot)
        f.gdiObjects += GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0;
    HMENU menu = CreateMenu();
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    f.userSlot = reinterpret_cast<uintptr_t>(menu) & 0xFFFF;
    f.kernelSlot = reinterpret_cast<uintptr_t>(event);
    DestroyMenu(menu);
    CloseHandle(event);
    MEMORY_BASIC_INFORMATION region = {};
    for (const char* p = nullptr; VirtualQuery(p, &region, sizeof(region)) == sizeof(region);
         p = static_cast<const char*>(region.BaseAddress) + region.RegionSize)
        f.privateBytes += region.State == MEM_COMMIT && region.Type == MEM_PRIVATE ? region.RegionSize : 0;
    return f;
}

} // namespace

using Soak = ViewWindowTest;

TEST_F(Soak, TenThousandRefreshesAndPaintsLeaveNoObjectsBehind)
{
    ShowWindow(window, SW_SHOWNA); // hidden windows are not painted
    std::vector<MachineProcess> machine = NumberedProcesses(60, 3);
    Footprint first = {};
    for (int i = 0; i < 10000; ++i) {
        for (size_t p = 0; p < machine.size(); ++p)
            machine[p].busySeconds += (i + p) % 7 * 0.01;
        replay.answers.clear();
        replay.queriedNames.clear();
        replay.offeredSizes.clear();
        replay.Serve(MachineBlock(machine, i * 0.1));
        SendMessageW(window, WM_TIMER, app::UPDATE_TIMER_ID, 0);
        if (i % 97 == 0)
            SendMessageW(window, WM_COMMAND, i % 2 ? CMD_EXPAND_ALL : CMD_COLLAPSE_ALL, 0);
        UpdateWindow(window);
        if (i == 999)
            first = Measure();
    }
    ASSERT_EQ(60 * 4, Rows()) << "every process expanded at the end";
    Footprint last = Measure();
    printf("private bytes %zu -> %zu; GDI objects %zu -> %zu; slots user %zx -> %zx, kernel %zx -> %zx\n",
           first.privateBytes, last.privateBytes, first.gdiObjects, last.gdiObjects, first.userSlot, last.userSlot,
           first.kernelSlot, last.kernelSlot);
    EXPECT_LE(last.gdiObjects, first.gdiObjects + 16);
    EXPECT_LE(last.userSlot, first.userSlot + 16);
    EXPECT_LE(last.kernelSlot, first.kernelSlot + 16 * 4);
    EXPECT_LE(last.privateBytes, first.privateBytes + first.privateBytes / 20);

    // The paint's canvas is kept while the size is the same, and replaced
    // (the old one deleted) when it changes.
    HBITMAP kept = view::display.canvasBitmap.Get();
    ASSERT_NE(nullptr, kept);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(kept, view::display.canvasBitmap.Get());
    SetWindowPos(window, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(window);
    EXPECT_NE(kept, view::display.canvasBitmap.Get());
    EXPECT_EQ(0u, GetObjectType(kept));
}
