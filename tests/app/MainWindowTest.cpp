#include "core/Handles.h"
#include "support/ChildProcess.h"
#include "support/MenuLines.h"
#include "support/MessageBoxCatcher.h"
#include "ui/MessageLoop.h"
#include "view/ViewWindow.h"

#include <tuple>

using namespace testing_support;

namespace {

using MainWindow = ViewWindowTest;

// The view follows the focus; one row at most is selected and focused.
TEST_F(MainWindow, NavigationKeysMoveTheFocusAndTheViewByTheTable)
{
    Start(NumberedProcesses(25, 1));
    replay.answers.clear();
    replay.Serve(MachineBlock({}, 2)); // for the update near the end
    const struct {
        unsigned command;
        int32_t focus, top, rows;
    } steps[] = {
        {CMD_PREVIOUS_ROW, -1, 0, 25}, // nothing is focused yet
        {CMD_NEXT_ROW, 0, 0, 25},      // which makes Down take the first row
        {CMD_PREVIOUS_ROW, 0, 0, 25},  {CMD_PAGE_DOWN, 10, 10, 25},
        {CMD_PAGE_DOWN, 20, 15, 25}, // the view stops at the last full page
        {CMD_PAGE_DOWN, 24, 15, 25}, // and the focus at the last row
        {CMD_NEXT_ROW, 24, 15, 25},    {CMD_FIRST_ROW, 0, 0, 25},     {CMD_LAST_ROW, 24, 15, 25},
        {CMD_PAGE_UP, 14, 5, 25},      {CMD_EXPAND_ROW, 14, 5, 26},
        {CMD_NEXT_ROW, 15, 6, 26},           // the thread; the view follows the focus
        {CMD_COLLAPSE_OR_PARENT, 14, 6, 26}, // from a thread to its process
        {CMD_COLLAPSE_OR_PARENT, 14, 6, 25}, // an expanded process collapses
        {CMD_COLLAPSE_OR_PARENT, 14, 6, 25}, // a top-level row has no parent
        {CMD_EXPAND_ALL, 28, 6, 50},         // every process above it gained a thread
        {CMD_LAST_ROW, 49, 40, 50},
        {CMD_COLLAPSE_ALL, -1, 15, 25}, // the view never shows room below the rows
        {CMD_NEXT_ROW, 0, 0, 25},
        {CMD_EXPAND_ALL, 0, 0, 50}, // the thread focused before comes back unflagged
        {CMD_UPDATE_NOW, -1, 0, 0}, // the machine is empty now
        {CMD_LAST_ROW, -1, 0, 0},   {CMD_NEXT_ROW, -1, 0, 0},   {CMD_PAGE_DOWN, -1, 0, 0},
        {CMD_PAGE_UP, -1, 0, 0},    {CMD_EXPAND_ROW, -1, 0, 0}, {CMD_COLLAPSE_OR_PARENT, -1, 0, 0},
    };
    auto flagged = [](uint32_t flag) {
        const auto& list = model::modelState.displayList;
        return std::count_if(list.begin(), list.end(), [&](const model::InstanceRecord* r) { return r->Has(flag); });
    };
    for (const auto& s : steps) {
        Command(s.command);
        SCOPED_TRACE(testing::Message() << "after command " << s.command);
        EXPECT_EQ((std::vector<int32_t>{s.focus, s.top, s.rows, s.focus}),
                  (std::vector<int32_t>{Focus(), Top(), Rows(), Selected()}));
        EXPECT_EQ(s.focus < 0 ? 0 : 2, flagged(model::selected) + flagged(model::focused));
    }
}

TEST_F(MainWindow, ClicksSelectRowsOrToggleThreadsInTheExpandZone)
{
    Start(NumberedProcesses(5, 2));
    auto click = [&](UINT message, int x, int row) { Send(message, 0, MAKELPARAM(x, row * view::RowHeight() + 1)); };
    click(WM_LBUTTONDOWN, 0, 1); // on the expand mark
    EXPECT_EQ(7, Rows());
    EXPECT_EQ(-1, Focus()) << "the mark only toggles";
    click(WM_LBUTTONDOWN, 150, 4);
    EXPECT_EQ(4, Focus());
    EXPECT_EQ(4, Selected());
    click(WM_LBUTTONDOWN, 150, 0); // a double click: the first click selects, the second toggles
    click(WM_LBUTTONDBLCLK, 150, 0);
    EXPECT_EQ(0, Focus());
    EXPECT_EQ(9, Rows());
    click(WM_LBUTTONDOWN, 150, 40); // below the last row
    EXPECT_EQ(0, Focus());
}

// What the right-click menu showed while it was open (at its first idle
// moment): its corner, its fourth line, the selected row. Then it closes.
struct {
    POINT corner;
    std::wstring line;
    int32_t selected;
} seen;
WNDPROC mainWindowProc;
unsigned chosenCommand = 0; // chosen from the menu, as a click on its item would

LRESULT CALLBACK WatchMenu(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU) {
        HWND popup = reinterpret_cast<HWND>(lParam);
        RECT rect = {};
        GetWindowRect(popup, &rect);
        auto lines = MenuLines(reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0)));
        seen = {{rect.left, rect.top}, lines.size() > 3 ? lines[3] : L"", Selected()};
        EndMenu();
    }
    // A chosen item's command is posted as the menu's loop ends.
    if (message == WM_EXITMENULOOP && chosenCommand)
        PostMessageW(window, WM_COMMAND, chosenCommand, 0);
    return CallWindowProcW(mainWindowProc, window, message, wParam, lParam);
}

TEST_F(MainWindow, ARightClickOpensTheRowsMenuAtThePointerWithOnlyTheSelectionMoved)
{
    Start(NumberedProcesses(5));
    mainWindowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchMenu)));
    const int h = view::RowHeight();
    const struct {
        int x, y; // -1: the Apps key, which opens the menu at the client area's corner
        int32_t row, selectedWhileOpen;
    } steps[] = {
        {20, 3 * h + 1, 3, 3}, // with no focused row the clicked row is selected and focused
        {35, 2 * h + 1, 2, 2}, // the menu's own loop delivers the selection; the focus stays
        {5, 8 * h, 3, 3},      // below the rows: the focus row's menu
        {-1, -1, 3, 3},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.y);
        seen = {};
        if (s.x < 0)
            Command(CMD_CONTEXT_MENU);
        else
            Send(WM_RBUTTONDOWN, 0, MAKELPARAM(s.x, s.y));
        POINT corner = {std::max(s.x, 0), std::max(s.y, 0)};
        ClientToScreen(window, &corner);
        EXPECT_TRUE(corner.x == seen.corner.x && corner.y == seen.corner.y);
        EXPECT_EQ(L"Selected Process: p0" + std::to_wstring(s.row) + L" >", seen.line);
        EXPECT_EQ(s.selectedWhileOpen, seen.selected);
        EXPECT_EQ(3, Focus());
        EXPECT_EQ(3, Selected()) << "back on the focused row after the menu";
    }
    PostMessageW(window, app::WM_SELECT_ROW, 4, view::SELECT);
    // -1 for the focused row, as a sender computing in 32 bits posts it.
    PostMessageW(window, app::WM_SELECT_ROW, 0xFFFFFFFFu, view::SELECT);
    Pump();
    EXPECT_EQ(3, Selected());
}

TEST_F(MainWindow, ThumbTrackingReachesRowsBeyondSixteenBitsAndARowHeightOfZeroCountsAsOne)
{
    Start(NumberedProcesses(70000));
    // Where a drag left the thumb; the message carries only its low 16 bits.
    view::SetVerticalScroll(window, SIF_POS, 0, 0, 0, 69000, FALSE);
    for (WORD code : {SB_THUMBTRACK, SB_THUMBPOSITION}) {
        Send(WM_VSCROLL, MAKEWPARAM(code, 69000 & 0xFFFF));
        EXPECT_EQ(69000, Top());
    }
    EXPECT_EQ(69000, GetScrollPos(window, SB_VERT));

    view::display.rowHeight = 0; // a font that failed to load
    Send(WM_SIZE, SIZE_RESTORED);
    Send(WM_LBUTTONDOWN, 0, MAKELPARAM(150, 3));
    EXPECT_EQ(Top() + 3, Focus());
}

TEST_F(MainWindow, AboutThisCounterShowsItsHelpUnderItsNameOrWhatIsMissing)
{
    Start(NumberedProcesses(1));
    MessageBoxCatcher catcher;
    Command(CMD_ABOUT_COUNTER);
    Command(CMD_PROCESS_COUNTER_FIRST + 1); // ID Process: its help index 785 has no text
    Command(CMD_ABOUT_COUNTER);
    view::viewState.counter.counterIndex = 0;
    Command(CMD_ABOUT_COUNTER);
    ASSERT_EQ(3u, catcher.boxes.size());
    EXPECT_EQ(L"% Processor Time", catcher.boxes[0].caption);
    EXPECT_EQ(L"Counter ID: 6\n\nProcessor time help", catcher.boxes[0].text);
    EXPECT_EQ(L"Counter ID: 784\n\nThere is no help for this counter.", catcher.boxes[1].text);
    EXPECT_EQ(L"Unnamed counter", catcher.boxes[2].caption);
}

TEST_F(MainWindow, TheThumbMessagesRowIsTakenWhileTheListFitsSixteenBits)
{
    Start(NumberedProcesses(40));
    Send(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 6));
    EXPECT_EQ(6, Top());
    Send(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 9));
    EXPECT_EQ(9, Top());
}

TEST_F(MainWindow, TheSelectRowMessageSetsOnlyTheSelectAndFocusMarks)
{
    Start(NumberedProcesses(4, 2));
    Command(CMD_EXPAND_ALL);
    ASSERT_EQ(12, Rows());
    for (LPARAM flags : {LPARAM(4), LPARAM(0x33)}) {
        PostMessageW(window, WM_USER + 1, 3, flags);
        Pump();
        for (uint32_t flag : {uint32_t(model::expanded), uint32_t(model::isProcess)})
            EXPECT_EQ(4, std::count_if(model::modelState.displayList.begin(), model::modelState.displayList.end(),
                                       [flag](const model::InstanceRecord* r) { return r->Has(flag); }))
                << flags;
    }
    EXPECT_EQ(3, Focus());
    EXPECT_EQ(3, Selected());
}

// What each paint redraws, to see how far a scroll moved the rows drawn.
std::vector<RECT> paintedBands;

LRESULT CALLBACK RecordPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    RECT band;
    if (message == WM_PAINT && GetUpdateRect(window, &band, FALSE))
        paintedBands.push_back(band);
    return CallWindowProcW(mainWindowProc, window, message, wParam, lParam);
}

TEST_F(MainWindow, ExpandingMovesTheRowsBelowByTheThreadRowsListed)
{
    std::vector<MachineProcess> processes = NumberedProcesses(5);
    processes[1].threads = 7; // as counted, with two thread instances in the data
    processes[1].listedThreads = 2;
    Start(processes);
    ShowWindow(window, SW_SHOWNOACTIVATE); // hidden windows are not painted
    UpdateWindow(window);
    mainWindowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordPaints)));
    paintedBands.clear();
    view::ToggleThreads(window, 1, view::EXPAND_ROW);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mainWindowProc));
    ASSERT_EQ(7, Rows());
    ASSERT_FALSE(paintedBands.empty());
    // The expanded row and the two rows the scroll uncovered below it.
    EXPECT_EQ(1 * view::RowHeight(), paintedBands.back().top);
    EXPECT_EQ(4 * view::RowHeight(), paintedBands.back().bottom);
}

TEST_F(MainWindow, ACommandChosenFromTheMenuActsOnTheClickedRowNotTheFocusedOne)
{
    ChildProcess focused, clicked;
    ASSERT_TRUE(focused.started() && clicked.started());
    Start({{u"focused", focused.processId(), 0, 1, -1, focused.threadId()},
           {u"clicked", clicked.processId(), 0, 1, -1, clicked.threadId()}});
    const int h = view::RowHeight();
    Send(WM_LBUTTONDOWN, 0, MAKELPARAM(50, 1));
    Command(CMD_EXPAND_ALL); // focused, its thread, clicked, its thread
    mainWindowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchMenu)));
    chosenCommand = CMD_PRIORITY_CLASS_HIGH;
    Send(WM_RBUTTONDOWN, 0, MAKELPARAM(50, 2 * h + 1));
    chosenCommand = CMD_THREAD_PRIORITY_BASE + THREAD_PRIORITY_HIGHEST;
    ui::platform.openThreadFn = OpenThread;
    Send(WM_RBUTTONDOWN, 0, MAKELPARAM(50, 3 * h + 1));
    ui::platform.openThreadFn = nullptr;
    chosenCommand = 0;
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mainWindowProc));
    EXPECT_EQ(DWORD(HIGH_PRIORITY_CLASS), GetPriorityClass(clicked.process()));
    EXPECT_EQ(DWORD(NORMAL_PRIORITY_CLASS), GetPriorityClass(focused.process()));
    EXPECT_EQ(THREAD_PRIORITY_HIGHEST, GetThreadPriority(clicked.mainThread()));
    EXPECT_EQ(THREAD_PRIORITY_NORMAL, GetThreadPriority(focused.mainThread()));
    EXPECT_EQ(0, Focus());
}

std::vector<unsigned> commandsSeen;

LRESULT CALLBACK RecordCommands(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        commandsSeen.push_back(LOWORD(wParam));
        return 0;
    }
    return CallWindowProcW(mainWindowProc, window, message, wParam, lParam);
}

TEST_F(MainWindow, EveryAcceleratorReachesItsCommandThroughTheMessageLoop)
{
    core::Accelerators table(LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS)));
    ui::SetAccelerators(table.Get());
    mainWindowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordCommands)));
    const std::pair<UINT, unsigned> keys[] = {
        {VK_APPS, CMD_CONTEXT_MENU}, {VK_DIVIDE, CMD_COLLAPSE_ALL},   {VK_DOWN, CMD_NEXT_ROW},
        {VK_END, CMD_LAST_ROW},      {VK_F5, CMD_UPDATE_NOW},         {VK_HOME, CMD_FIRST_ROW},
        {VK_LEFT, CMD_COLLAPSE_OR_PARENT}, {VK_MULTIPLY, CMD_EXPAND_ALL}, {VK_NEXT, CMD_PAGE_DOWN},
        {VK_PRIOR, CMD_PAGE_UP},     {VK_RETURN, CMD_ENTER},          {VK_RIGHT, CMD_EXPAND_ROW},
        {VK_UP, CMD_PREVIOUS_ROW},
    };
    std::vector<unsigned> expected;
    for (auto [key, command] : keys) {
        MSG press = {window, WM_KEYDOWN, key, 1, 0, {}};
        ui::PumpMessage(press);
        expected.push_back(command);
    }
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mainWindowProc));
    ui::SetAccelerators(nullptr);
    EXPECT_EQ(expected, commandsSeen);
}

// Run elevated, the window still hears the medium-integrity shell announce a
// new taskbar; no other message is let through.
TEST_F(MainWindow, OnlyTheNewTaskbarsAnnouncementPassesTheMessageFilter)
{
    static std::vector<std::tuple<HWND, UINT, DWORD>> changes;
    ui::platform.messageFilterFn = [](HWND to, UINT message, DWORD action, PCHANGEFILTERSTRUCT) {
        return changes.emplace_back(to, message, action), TRUE;
    };
    HWND made = CreateWindowExW(0, app::MAIN_WINDOW_CLASS, L"", 0, 0, 0, 9, 9, nullptr, nullptr, ui::platform.instance, nullptr);
    ui::platform.messageFilterFn = nullptr;
    DestroyWindow(made);
    EXPECT_EQ((decltype(changes){{made, RegisterWindowMessageW(L"TaskbarCreated"), MSGFLT_ALLOW}}), changes);
}

} // namespace
