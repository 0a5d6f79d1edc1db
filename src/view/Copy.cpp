#include "view/Copy.h"

#include "core/Report.h"
#include "core/WideString.h"
#include "model/Records.h"
#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "resources/resource.h"
#include "ui/Settings.h"
#include "view/Paint.h"
#include "view/ViewState.h"

#include <cstring>

namespace view {

namespace {

void AppendRow(const model::InstanceRecord& record, core::WideString& value, std::wstring& text)
{
    wchar_t id[16];
    FormatRowId(record.id, ui::settings.hexIds != 0, id);
    model::ValueText(record, value);
    text.append(id).append(L"\t").append(record.name).append(L"\t").append(value.Chars());
}

// The counter's name and the display format's label, as the menus show them.
std::wstring CounterLine()
{
    const perf::CounterSelection& shown = viewState.counter;
    const wchar_t* name = shown.counterIndex ? perf::CounterName(shown.counterIndex) : nullptr;
    uint32_t format = shown.displayType == perf::DISPLAY_NATURAL ? shown.counterType : shown.displayType;
    return (name ? name : core::ProgramText(IDS_UNNAMED_COUNTER)) + L"\t" +
           core::ProgramText(perf::DisplayTypeLabel(format, shown.counterIndex));
}

// The clipboard, open while the scope lasts.
struct OpenClipboardScope {
    bool open;
    explicit OpenClipboardScope(HWND window) : open(OpenClipboard(window) != FALSE) {}
    ~OpenClipboardScope()
    {
        if (open)
            CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};

// Memory given to the clipboard, freed unless the clipboard took it.
struct GlobalMemory {
    HGLOBAL memory;
    ~GlobalMemory()
    {
        if (memory)
            GlobalFree(memory);
    }
};

void PutOnClipboard(HWND window, const std::wstring& text)
{
    OpenClipboardScope clipboard(window);
    if (!clipboard.open) {
        core::ReportWin32Failure(window, core::TextId(IDS_OP_OPEN_CLIPBOARD), 0, MB_ICONEXCLAMATION);
        return;
    }
    if (!EmptyClipboard()) {
        core::ReportWin32Failure(window, core::TextId(IDS_OP_EMPTY_CLIPBOARD), 0, MB_ICONEXCLAMATION);
        return;
    }
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    GlobalMemory block{GlobalAlloc(GMEM_MOVEABLE, bytes)};
    void* chars = block.memory ? GlobalLock(block.memory) : nullptr;
    if (!chars) {
        core::ReportWin32Failure(window, core::TextId(IDS_OP_CLIPBOARD_MEMORY), 0, MB_ICONEXCLAMATION);
        return;
    }
    std::memcpy(chars, text.c_str(), bytes);
    GlobalUnlock(block.memory);
    if (!SetClipboardData(CF_UNICODETEXT, block.memory)) {
        core::ReportWin32Failure(window, core::TextId(IDS_OP_SET_CLIPBOARD_DATA), 0, MB_ICONEXCLAMATION);
        return;
    }
    block.memory = nullptr; // the clipboard owns it now
}

} // namespace

std::wstring SelectedRowText()
{
    std::wstring text;
    core::WideString value;
    for (const model::InstanceRecord* record : model::modelState.displayList) {
        if (record->Has(model::selected)) {
            AppendRow(*record, value, text);
            break;
        }
    }
    return text;
}

std::wstring AllRowsText()
{
    std::wstring text = CounterLine();
    core::WideString value;
    for (const model::InstanceRecord* record : model::modelState.displayList) {
        text.append(L"\r\n");
        AppendRow(*record, value, text);
    }
    return text;
}

void CopySelectedRow(HWND window)
{
    std::wstring text = SelectedRowText();
    if (text.empty())
        MessageBeep(MB_OK);
    else
        PutOnClipboard(window, text);
}

void CopyAllRows(HWND window)
{
    PutOnClipboard(window, AllRowsText());
}

} // namespace view
