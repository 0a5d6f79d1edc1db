#include "core/Handles.h"
#include "support/MessageBoxCatcher.h"
#include "view/Paint.h"
#include "view/TypeToFind.h"
#include "view/ViewWindow.h"

using namespace testing_support;

namespace {

std::wstring ClipboardText()
{
    std::wstring text = L"<none>";
    if (!OpenClipboard(nullptr))
        return L"<not open>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

class Keyboard : public ViewWindowTest {
protected:
    void SetUp() override
    {
        ViewWindowTest::SetUp();
        std::vector<MachineProcess> idle = {{u"alpha", 100}, {u"nodejs", 200}, {u"Notepad", 300}, {u"nova", 400},
                                            {u"beta", 500}};
        for (const MachineProcess& p : NumberedProcesses(10))
            idle.push_back({p.name, p.id + 5000});
        idle.push_back({u"zeta", 9000});
        std::vector<MachineProcess> busy = idle;
        busy[1].busySeconds = 0.5;
        Start(idle, busy);
        ASSERT_EQ(16, Rows());
    }

    core::Accelerators accelerators{LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS))};
};

} // namespace

TEST_F(Keyboard, TypingAFewLettersFindsTheNextRowWithThatName)
{
    // Each key at its time, and the row then selected and focused (-2: not checked).
    const struct { wchar_t key; DWORD at; int32_t row; const char* why; } typed[] = {
        {0x1B, 0, -2, ""}, {L'n', 0, 1, "nodejs"}, {L'o', 300, 1, "no: still nodejs"},
        {L't', 600, 2, "not: Notepad, whatever the case"}, {L'\b', 700, -2, ""},
        {L'n', 800, 3, "a new search starts after the focus: nova"},
        {L'n', 900, 1, "the same letter again steps on, wrapping round"}, {0x1B, 1000, -2, ""}, {L'b', 1100, 4, "beta"},
        {L'a', 1100 + view::TYPE_TO_FIND_PAUSE_MS + 1, 0, "after a pause, a new search: alpha, not \"ba\""},
        {L'q', 5000, 0, "no name starts with q"},
    };
    for (const auto& k : typed) {
        view::TypeToFind(window, k.key, 50000 + k.at);
        if (k.row > -2) {
            EXPECT_EQ((std::pair{k.row, k.row}), (std::pair{Selected(), Focus()})) << k.why;
        }
    }
    EXPECT_EQ(0, Top());

    // Through the window, as typed keys arrive.
    Send(WM_CHAR, 0x1B);
    Send(WM_CHAR, L'Z');
    EXPECT_EQ(15, Selected());
    EXPECT_EQ(15 - PAGE + 1, Top()) << "scrolled into view";

    // Typed together, but the thread stalled after the first letter: the
    // letters' own times make them one search.
    Send(WM_CHAR, 0x1B);
    for (wchar_t c : {L'n', L'o', L't'})
        PostMessageW(window, WM_CHAR, c, 0);
    MSG first;
    ASSERT_TRUE(PeekMessageW(&first, window, WM_CHAR, WM_CHAR, PM_REMOVE));
    DispatchMessageW(&first);
    Sleep(view::TYPE_TO_FIND_PAUSE_MS + 100); // the stall itself, not a wait for something
    Pump();
    EXPECT_EQ(2, Selected()) << "\"not\": Notepad";
}

TEST_F(Keyboard, ControlCCopiesTheSelectedRowAndControlShiftCEveryRow)
{
    // Ctrl+C and Ctrl+Shift+C copy; no accelerator takes a letter alone:
    // letters are typed to find.
    ACCEL table[64];
    int count = CopyAcceleratorTableW(accelerators.Get(), table, 64);
    std::map<BYTE, WORD> copyKeys;
    for (const ACCEL& a : std::vector<ACCEL>(table, table + count)) {
        bool letter = (a.key >= 'A' && a.key <= 'Z') || (a.key >= '0' && a.key <= '9');
        EXPECT_FALSE(letter && !(a.fVirt & (FCONTROL | FALT))) << a.cmd;
        if (a.key == 'C')
            copyKeys[a.fVirt & ~FNOINVERT] = a.cmd;
    }
    EXPECT_EQ((std::map<BYTE, WORD>{{FVIRTKEY | FCONTROL, CMD_COPY_ROW}, {FVIRTKEY | FCONTROL | FSHIFT, CMD_COPY_ALL_ROWS}}),
              copyKeys);

    MessageBoxCatcher catcher;
    Command(CMD_NEXT_ROW);
    Command(CMD_NEXT_ROW);
    Command(CMD_COPY_ROW);
    EXPECT_EQ(L"200\tnodejs\t50", ClipboardText());

    Command(CMD_COPY_ALL_ROWS);
    std::wstring all = ClipboardText();
    EXPECT_EQ(0u, all.find(L"% Processor Time\t100ns Timer (%)\r\n100\talpha\t0\r\n200\tnodejs\t50\r\n300\tNotepad\t0\r\n"));
    const std::wstring last = L"\r\n9000\tzeta\t0";
    EXPECT_EQ(all.size() - last.size(), all.find(last)) << "the last line, with no line end";
    EXPECT_EQ(0u, catcher.boxes.size());

    // Someone else holds the clipboard open: the usual failure box.
    ASSERT_TRUE(OpenClipboard(nullptr));
    Command(CMD_COPY_ROW);
    CloseClipboard();
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(0u, catcher.boxes[0].text.find(L"Open Clipboard failed, Win32 Error=0x")) << catcher.boxes[0].text;
}

// The window moved to a screen of 1.5 times the DPI: rows 1.5 times as tall,
// drawn with fonts made for it, in the rectangle the system suggests.
TEST_F(Keyboard, ADpiChangeRemakesTheFontsAndTakesTheSuggestedRectangle)
{
    const int rowAt96 = view::RowHeight();
    LOGFONTW font = {};
    GetObjectW(view::display.viewFont.Get(), sizeof(font), &font);
    const LONG fontAt96 = font.lfHeight;
    RECT suggested = {40, 60, 40 + 450, 60 + 330};
    ui::platform.metricForDpiFn = [](int metric, UINT dpi) { return metric == SM_CXFRAME ? int(dpi) / 8 : 0; };
    Send(WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    ui::platform.metricForDpiFn = nullptr;
    EXPECT_EQ(144 / 8, view::CurrentPaintInput().frameWidth) << "the columns' gap at the window's DPI";
    GetObjectW(view::display.viewFont.Get(), sizeof(font), &font);
    EXPECT_EQ(MulDiv(fontAt96, 3, 2), font.lfHeight) << "a font made for 144 DPI, not a stretched one";
    // The row is as tall as that font's cells, which round on their own.
    EXPECT_NEAR(1.5 * rowAt96, view::RowHeight(), 2.0);
    EXPECT_EQ(view::RowHeight(), view::display.glyphLogFont.lfHeight) << "the marks follow the rows";
    RECT now = {};
    GetWindowRect(window, &now);
    EXPECT_TRUE(EqualRect(&suggested, &now));
    Send(WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(rowAt96, view::RowHeight());
    EXPECT_EQ(view::PageRows(window), view::viewState.scrollRange.page) << "the same size, more rows";
}
