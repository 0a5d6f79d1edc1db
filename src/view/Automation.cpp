#include "view/Automation.h"

#include "core/Module.h"
#include "core/WideString.h"
#include "model/Records.h"
#include "perf/CounterNames.h"
#include "resources/resource.h"
#include "ui/Settings.h"
#include "view/Accessible.h"
#include "view/DisplayResources.h"
#include "view/Paint.h"
#include "view/Scroll.h"
#include "view/ViewState.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

namespace view {

namespace {

constexpr int COLUMNS = 3;
const HRESULT GONE = static_cast<HRESULT>(UIA_E_ELEMENTNOTAVAILABLE);
const HRESULT INVALID_OPERATION = static_cast<HRESULT>(UIA_E_INVALIDOPERATION);
const HRESULT READ_ONLY = static_cast<HRESULT>(UIA_E_ELEMENTNOTENABLED);

enum class Part : int { ROOT, HEADER, HEADER_ITEM, ROW, CELL };

// What a row is, whatever its place: its kind and ID. The rows of ID 0
// (Idle, _Total) are told apart by their names, as the model pairs them.
struct RowKey {
    uint32_t kind = 0; // 1 process, 2 thread, 3 placeholder
    uint32_t id = 0;
    uint32_t nameHash = 0;
    bool operator==(const RowKey&) const = default;
};

RowKey KeyOf(const model::InstanceRecord& r)
{
    uint32_t hash = 2166136261u;
    for (const wchar_t* c = r.id == 0 ? r.name : L""; *c; ++c)
        hash = (hash ^ static_cast<uint32_t>(*c)) * 16777619u;
    return {r.Has(model::isThread) ? 2u : r.instance ? 1u : 3u, r.id, r.id == 0 ? hash : 0};
}

int32_t FindRow(const RowKey& key)
{
    for (int32_t i = 0; i < RowCount(); ++i) {
        if (KeyOf(*model::modelState.displayList[i]) == key)
            return i;
    }
    return -1;
}

// The window whose elements answer; null once it is being destroyed.
HWND liveWindow = nullptr;
HWND closedWindow = nullptr;

// The pattern each "is available" property asks about.
const std::pair<PROPERTYID, PATTERNID> availability[] = {
    {UIA_IsExpandCollapsePatternAvailablePropertyId, UIA_ExpandCollapsePatternId},
    {UIA_IsGridItemPatternAvailablePropertyId, UIA_GridItemPatternId},
    {UIA_IsGridPatternAvailablePropertyId, UIA_GridPatternId},
    {UIA_IsScrollPatternAvailablePropertyId, UIA_ScrollPatternId},
    {UIA_IsScrollItemPatternAvailablePropertyId, UIA_ScrollItemPatternId},
    {UIA_IsSelectionItemPatternAvailablePropertyId, UIA_SelectionItemPatternId},
    {UIA_IsSelectionPatternAvailablePropertyId, UIA_SelectionPatternId},
    {UIA_IsTablePatternAvailablePropertyId, UIA_TablePatternId},
    {UIA_IsTableItemPatternAvailablePropertyId, UIA_TableItemPatternId},
    {UIA_IsValuePatternAvailablePropertyId, UIA_ValuePatternId},
};

void SetText(VARIANT* out, const std::wstring& text)
{
    out->bstrVal = SysAllocString(text.c_str());
    out->vt = out->bstrVal ? VT_BSTR : VT_EMPTY;
}

void SetNumber(VARIANT* out, int value)
{
    out->vt = VT_I4;
    out->lVal = value;
}

void SetFlag(VARIANT* out, bool value)
{
    out->vt = VT_BOOL;
    out->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

std::wstring ColumnTitle(int column)
{
    if (column == 0)
        return core::ProgramText(IDS_ACC_COLUMN_ID);
    if (column == 1)
        return core::ProgramText(IDS_ACC_COLUMN_NAME);
    uint32_t index = viewState.counter.counterIndex;
    const wchar_t* counter = index ? perf::CounterName(index) : nullptr;
    return counter ? counter : L"";
}

std::wstring CellText(int32_t row, int column)
{
    const model::InstanceRecord& r = *model::modelState.displayList[row];
    if (column == 0) {
        wchar_t id[16];
        FormatRowId(r.id, ui::settings.hexIds != 0, id);
        return id;
    }
    return column == 1 ? std::wstring(r.name) : RowValueText(row);
}

// A cell's part of its row's band, where the paint draws the ID, the name
// and the bar.
RECT CellRectangle(HWND window, int32_t row, int column)
{
    RECT band = RowRectangle(window, row);
    int indent = static_cast<int>(model::modelState.displayList[row]->depth) * RowHeight();
    int frame = display.frameWidth, g = display.glyphWidth;
    int x2 = g + frame + viewState.columns.id, x3 = x2 + frame + viewState.columns.name;
    int edges[] = {band.left + indent + g, band.left + indent + x2, band.left + x3, band.right};
    band.left = std::min<LONG>(edges[column], band.right);
    band.right = std::max<LONG>(band.left, edges[column + 1]);
    return band;
}

class Element;
Element* rootElement = nullptr;

// One class for every part of the list: a pattern is answered only by the
// parts it belongs to. Each element keeps the window, its part, and for rows
// and cells the row's key, and finds the row again at every call.
class Element final : public IRawElementProviderSimple,
                      public IRawElementProviderFragment,
                      public IRawElementProviderFragmentRoot,
                      public uia::ValueProvider,
                      public uia::SelectionProvider,
                      public uia::SelectionItemProvider,
                      public uia::ExpandCollapseProvider,
                      public uia::ScrollProvider,
                      public uia::ScrollItemProvider,
                      public uia::GridProvider,
                      public uia::GridItemProvider,
                      public uia::TableProvider,
                      public uia::TableItemProvider {
public:
    Element(HWND window, Part part, RowKey key = {}, int column = 0)
        : window(window), part(part), key(key), column(column)
    {
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = Interface(iid);
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&references);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // IRawElementProviderSimple
    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override
    {
        if (!options)
            return E_POINTER;
        *options = ProviderOptions_ServerSideProvider;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** provider) override
    {
        if (!provider)
            return E_POINTER;
        *provider = nullptr;
        int32_t row = 0;
        if (HRESULT gone = Locate(row); FAILED(gone))
            return gone;
        *provider = Pattern(pattern, row);
        if (*provider)
            AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        VariantInit(value);
        int32_t row = 0;
        if (HRESULT gone = Locate(row); FAILED(gone))
            return gone;
        for (auto [asked, pattern] : availability) {
            if (property == asked) {
                SetFlag(value, Pattern(pattern, row) != nullptr);
                return S_OK;
            }
        }
        Property(property, row, value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** host) override
    {
        if (!host)
            return E_POINTER;
        *host = nullptr;
        if (!Alive())
            return GONE;
        auto find = Automation().hostProvider;
        return part == Part::ROOT && find ? find(window, host) : S_OK;
    }

    // IRawElementProviderFragment
    HRESULT STDMETHODCALLTYPE Navigate(NavigateDirection direction, IRawElementProviderFragment** found) override
    {
        if (!found)
            return E_POINTER;
        *found = nullptr;
        int32_t row = 0;
        if (HRESULT gone = Locate(row); FAILED(gone))
            return gone;
        *found = Neighbour(direction, row);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** id) override
    {
        if (!id)
            return E_POINTER;
        *id = nullptr;
        int32_t row = 0;
        if (HRESULT gone = Locate(row); FAILED(gone) || part == Part::ROOT)
            return gone; // the root's comes from its window
        int parts[] = {UiaAppendRuntimeId, static_cast<int>(part) * 8 + static_cast<int>(key.kind),
                       static_cast<int>(key.id), static_cast<int>(key.nameHash), column};
        *id = SafeArrayCreateVector(VT_I4, 0, 5);
        if (!*id)
            return E_OUTOFMEMORY;
        for (LONG i = 0; i < 5; ++i)
            SafeArrayPutElement(*id, &i, &parts[i]);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_BoundingRectangle(UiaRect* bounds) override
    {
        if (!bounds)
            return E_POINTER;
        *bounds = UiaRect();
        int32_t row = 0;
        if (HRESULT gone = Locate(row); FAILED(gone))
            return gone;
        RECT area = {};
        if (part == Part::ROOT) {
            GetClientRect(window, &area);
            MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
        } else if (part == Part::ROW) {
            area = RowRectangle(window, row);
        } else if (part == Part::CELL) {
            area = CellRectangle(window, row, column);
        }
        *bounds = {double(area.left), double(area.top), double(area.right - area.left), double(area.bottom - area.top)};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** roots) override
    {
        if (!roots)
            return E_POINTER;
        *roots = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFocus() override
    {
        int32_t row = 0;
        if (HRESULT gone = Locate(row); FAILED(gone))
            return gone;
        if (part != Part::ROOT && part != Part::ROW)
            return INVALID_OPERATION;
        ::SetFocus(window);
        if (part == Part::ROW)
            SelectRow(window, row, SELECT | FOCUS);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** root) override
    {
        if (!root)
            return E_POINTER;
        *root = nullptr;
        if (!Alive())
            return GONE;
        *root = rootElement;
        rootElement->AddRef();
        return S_OK;
    }

    // IRawElementProviderFragmentRoot (the root alone is asked)
    HRESULT STDMETHODCALLTYPE ElementProviderFromPoint(double x, double y, IRawElementProviderFragment** found) override
    {
        if (!found)
            return E_POINTER;
        *found = nullptr;
        if (!Alive())
            return GONE;
        POINT point = {static_cast<LONG>(std::floor(x)), static_cast<LONG>(std::floor(y))};
        ScreenToClient(window, &point);
        int32_t row = RowAt(point.y);
        *found = row >= 0 && row < RowCount() ? RowElement(row) : Self();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFocus(IRawElementProviderFragment** found) override
    {
        if (!found)
            return E_POINTER;
        *found = nullptr;
        if (!Alive())
            return GONE;
        int32_t row = model::modelState.focusRow;
        if (HasKeyboardFocus(window) && row >= 0 && row < RowCount())
            *found = RowElement(row);
        return S_OK;
    }

    // Value: the row's value text, read only.
    HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR) override { return READ_ONLY; }
    HRESULT STDMETHODCALLTYPE get_Value(BSTR* value) override
    {
        return Read(value, [](int32_t row, BSTR* out) {
            *out = SysAllocString(RowValueText(row).c_str());
            return *out ? S_OK : E_OUTOFMEMORY;
        });
    }
    HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* readOnly) override { return Flag(readOnly, TRUE); }

    // Selection: one row at most.
    HRESULT STDMETHODCALLTYPE GetSelection(SAFEARRAY** selection) override
    {
        return Read(selection, [this](int32_t, SAFEARRAY** out) {
            const model::InstanceRecord* chosen = model::modelState.selectedRecord;
            int32_t row = chosen ? FindRow(KeyOf(*chosen)) : -1;
            return Elements(row >= 0 ? std::vector<Element*>{MakeRow(row)} : std::vector<Element*>{}, out);
        });
    }
    HRESULT STDMETHODCALLTYPE get_CanSelectMultiple(BOOL* multiple) override { return Flag(multiple, FALSE); }
    HRESULT STDMETHODCALLTYPE get_IsSelectionRequired(BOOL* required) override { return Flag(required, FALSE); }

    // SelectionItem
    HRESULT STDMETHODCALLTYPE Select() override
    {
        return Act([this](int32_t row) {
            SelectRow(window, row, SELECT);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE AddToSelection() override
    {
        return Act([](int32_t row) { return IsSelected(row) ? S_OK : INVALID_OPERATION; });
    }
    HRESULT STDMETHODCALLTYPE RemoveFromSelection() override
    {
        return Act([](int32_t row) { return IsSelected(row) ? INVALID_OPERATION : S_OK; });
    }
    HRESULT STDMETHODCALLTYPE get_IsSelected(BOOL* selected) override
    {
        return Read(selected, [](int32_t row, BOOL* out) {
            *out = IsSelected(row);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_SelectionContainer(uia::Simple** container) override { return Root(container); }

    // ExpandCollapse: a process's threads.
    HRESULT STDMETHODCALLTYPE Expand() override { return Toggle(EXPAND_ROW); }
    HRESULT STDMETHODCALLTYPE Collapse() override { return Toggle(COLLAPSE_ROW); }
    HRESULT STDMETHODCALLTYPE get_ExpandCollapseState(int* state) override
    {
        return Read(state, [](int32_t row, int* out) {
            *out = ExpandState(row);
            return S_OK;
        });
    }

    // Scroll: whole rows, vertically only.
    HRESULT STDMETHODCALLTYPE Scroll(int horizontal, int vertical) override
    {
        int32_t page = std::max(1, PageRows(window));
        const int32_t steps[] = {-page, -1, 0, page, 1};
        if (horizontal != uia::NO_AMOUNT || vertical < 0 || vertical > uia::SMALL_INCREMENT)
            return E_INVALIDARG;
        return Act([this, step = steps[vertical]](int32_t) {
            ScrollToRow(window, viewState.topRow + step);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE SetScrollPercent(double horizontal, double vertical) override
    {
        bool keep = vertical == uia::NO_SCROLL;
        if (horizontal != uia::NO_SCROLL || (!keep && !(vertical >= 0 && vertical <= 100)))
            return E_INVALIDARG;
        return Act([this, keep, vertical](int32_t) {
            if (!keep)
                ScrollToRow(window, static_cast<int32_t>(std::lround(vertical / 100 * ScrollRows())));
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_HorizontalScrollPercent(double* percent) override
    {
        return Number(percent, uia::NO_SCROLL);
    }
    HRESULT STDMETHODCALLTYPE get_VerticalScrollPercent(double* percent) override
    {
        int32_t rows = ScrollRows();
        return Number(percent, rows > 0 ? 100.0 * viewState.topRow / rows : uia::NO_SCROLL);
    }
    HRESULT STDMETHODCALLTYPE get_HorizontalViewSize(double* percent) override { return Number(percent, 100); }
    HRESULT STDMETHODCALLTYPE get_VerticalViewSize(double* percent) override
    {
        int32_t count = RowCount();
        return Number(percent, count > 0 ? std::min(100.0, 100.0 * PageRows(window) / count) : 100);
    }
    HRESULT STDMETHODCALLTYPE get_HorizontallyScrollable(BOOL* scrollable) override { return Flag(scrollable, FALSE); }
    HRESULT STDMETHODCALLTYPE get_VerticallyScrollable(BOOL* scrollable) override
    {
        return Flag(scrollable, ScrollRows() > 0);
    }

    // ScrollItem
    HRESULT STDMETHODCALLTYPE ScrollIntoView() override
    {
        return Act([this](int32_t row) {
            view::ScrollIntoView(window, row);
            return S_OK;
        });
    }

    // Grid and GridItem
    HRESULT STDMETHODCALLTYPE GetItem(int row, int cell, uia::Simple** item) override
    {
        if (!item)
            return E_POINTER;
        *item = nullptr;
        if (!Alive())
            return GONE;
        if (row < 0 || row >= RowCount() || cell < 0 || cell >= COLUMNS)
            return E_INVALIDARG;
        *item = Make(Part::CELL, KeyOf(*model::modelState.displayList[row]), cell);
        return *item ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_RowCount(int* count) override
    {
        return Read(count, [](int32_t, int* out) {
            *out = RowCount();
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_ColumnCount(int* count) override { return Whole(count, COLUMNS); }
    HRESULT STDMETHODCALLTYPE get_Row(int* row) override
    {
        return Read(row, [](int32_t at, int* out) {
            *out = at;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Column(int* cell) override { return Whole(cell, part == Part::CELL ? column : 0); }
    HRESULT STDMETHODCALLTYPE get_RowSpan(int* span) override { return Whole(span, 1); }
    HRESULT STDMETHODCALLTYPE get_ColumnSpan(int* span) override { return Whole(span, part == Part::ROW ? COLUMNS : 1); }
    HRESULT STDMETHODCALLTYPE get_ContainingGrid(uia::Simple** grid) override { return Root(grid); }

    // Table and TableItem: the three columns have headers, the rows none.
    HRESULT STDMETHODCALLTYPE GetRowHeaders(SAFEARRAY** headers) override { return NoHeaders(headers); }
    HRESULT STDMETHODCALLTYPE GetColumnHeaders(SAFEARRAY** headers) override { return Headers(headers, 0, COLUMNS); }
    HRESULT STDMETHODCALLTYPE get_RowOrColumnMajor(int* major) override { return Whole(major, 0); }
    HRESULT STDMETHODCALLTYPE GetRowHeaderItems(SAFEARRAY** headers) override { return NoHeaders(headers); }
    HRESULT STDMETHODCALLTYPE GetColumnHeaderItems(SAFEARRAY** headers) override
    {
        return part == Part::CELL ? Headers(headers, column, column + 1) : Headers(headers, 0, COLUMNS);
    }

    HWND Window() const { return window; }

private:
    bool Alive() const { return window && window == liveWindow; }

    // The row the element stands for (-1 for the root and the header), or
    // why it cannot answer.
    HRESULT Locate(int32_t& row) const
    {
        row = -1;
        if (!Alive())
            return GONE;
        if (part == Part::ROW || part == Part::CELL)
            row = FindRow(key);
        return part == Part::ROW || part == Part::CELL ? (row < 0 ? GONE : S_OK) : S_OK;
    }

    void* Interface(REFIID iid)
    {
        if (iid == IID_IUnknown || iid == __uuidof(IRawElementProviderSimple))
            return static_cast<IRawElementProviderSimple*>(this);
        if (iid == __uuidof(IRawElementProviderFragment))
            return static_cast<IRawElementProviderFragment*>(this);
        if (iid == __uuidof(IRawElementProviderFragmentRoot))
            return part == Part::ROOT ? static_cast<IRawElementProviderFragmentRoot*>(this) : nullptr;
        const std::pair<const GUID*, PATTERNID> patterns[] = {
            {&uia::VALUE, UIA_ValuePatternId},
            {&uia::SELECTION, UIA_SelectionPatternId},
            {&uia::SELECTION_ITEM, UIA_SelectionItemPatternId},
            {&uia::EXPAND_COLLAPSE, UIA_ExpandCollapsePatternId},
            {&uia::SCROLL, UIA_ScrollPatternId},
            {&uia::SCROLL_ITEM, UIA_ScrollItemPatternId},
            {&uia::GRID, UIA_GridPatternId},
            {&uia::GRID_ITEM, UIA_GridItemPatternId},
            {&uia::TABLE, UIA_TablePatternId},
            {&uia::TABLE_ITEM, UIA_TableItemPatternId},
        };
        int32_t row = -1;
        Locate(row);
        for (auto [guid, pattern] : patterns) {
            if (iid == *guid)
                return Pattern(pattern, row);
        }
        return nullptr;
    }

    // The pattern's interface when this part has it; null otherwise.
    IUnknown* Pattern(PATTERNID pattern, int32_t row)
    {
        switch (part) {
        case Part::ROOT:
            switch (pattern) {
            case UIA_GridPatternId: return static_cast<uia::GridProvider*>(this);
            case UIA_TablePatternId: return static_cast<uia::TableProvider*>(this);
            case UIA_SelectionPatternId: return static_cast<uia::SelectionProvider*>(this);
            case UIA_ScrollPatternId: return static_cast<uia::ScrollProvider*>(this);
            }
            return nullptr;
        case Part::ROW:
            switch (pattern) {
            case UIA_ValuePatternId: return static_cast<uia::ValueProvider*>(this);
            case UIA_SelectionItemPatternId: return static_cast<uia::SelectionItemProvider*>(this);
            case UIA_ScrollItemPatternId: return static_cast<uia::ScrollItemProvider*>(this);
            case UIA_ExpandCollapsePatternId:
                return row >= 0 && ExpandState(row) != uia::LEAF ? static_cast<uia::ExpandCollapseProvider*>(this)
                                                                   : nullptr;
            }
            [[fallthrough]];
        case Part::CELL:
            switch (pattern) {
            case UIA_GridItemPatternId: return static_cast<uia::GridItemProvider*>(this);
            case UIA_TableItemPatternId: return static_cast<uia::TableItemProvider*>(this);
            }
            return nullptr;
        default:
            return nullptr;
        }
    }

    void Property(PROPERTYID property, int32_t row, VARIANT* value) const
    {
        static const int types[] = {uia::DATA_GRID, uia::HEADER, uia::HEADER_ITEM, uia::DATA_ITEM, uia::TEXT};
        bool focusable = part == Part::ROOT || part == Part::ROW;
        switch (property) {
        case UIA_ControlTypePropertyId:
            return SetNumber(value, types[static_cast<int>(part)]);
        case UIA_NamePropertyId:
            return Name(row, value);
        case UIA_IsKeyboardFocusablePropertyId:
            return SetFlag(value, focusable);
        case UIA_HasKeyboardFocusPropertyId:
            return SetFlag(value, focusable && HasKeyboardFocus(window) && model::modelState.focusRow == row);
        case UIA_IsOffscreenPropertyId:
            return SetFlag(value, row >= 0 && !IsRowVisible(window, row));
        case UIA_IsEnabledPropertyId:
            return SetFlag(value, true);
        case UIA_ValueValuePropertyId:
            return part == Part::ROW ? SetText(value, RowValueText(row)) : void();
        case UIA_ValueIsReadOnlyPropertyId:
            return part == Part::ROW ? SetFlag(value, true) : void();
        case UIA_ExpandCollapseExpandCollapseStatePropertyId:
            return part == Part::ROW && ExpandState(row) != uia::LEAF ? SetNumber(value, ExpandState(row)) : void();
        }
    }

    void Name(int32_t row, VARIANT* value) const
    {
        switch (part) {
        case Part::ROOT: return SetText(value, ListName());
        case Part::HEADER_ITEM: return SetText(value, ColumnTitle(column));
        case Part::ROW: return SetText(value, RowName(row));
        case Part::CELL: return SetText(value, CellText(row, column));
        default: return;
        }
    }

    // The element next to this one in the tree: the root holds the header
    // and the rows, the header its three items, a row its three cells.
    IRawElementProviderFragment* Neighbour(NavigateDirection direction, int32_t row)
    {
        int32_t count = RowCount();
        auto cells = [&](Part kind, RowKey k, int c) -> IRawElementProviderFragment* {
            return c >= 0 && c < COLUMNS ? Make(kind, k, c) : nullptr;
        };
        switch (part) {
        case Part::ROOT:
            if (direction == NavigateDirection_FirstChild)
                return Make(Part::HEADER);
            return direction == NavigateDirection_LastChild ? (count ? RowElement(count - 1) : Make(Part::HEADER))
                                                            : nullptr;
        case Part::HEADER:
            switch (direction) {
            case NavigateDirection_Parent: return Self(rootElement);
            case NavigateDirection_NextSibling: return count ? RowElement(0) : nullptr;
            case NavigateDirection_FirstChild: return cells(Part::HEADER_ITEM, {}, 0);
            case NavigateDirection_LastChild: return cells(Part::HEADER_ITEM, {}, COLUMNS - 1);
            default: return nullptr;
            }
        case Part::ROW:
            switch (direction) {
            case NavigateDirection_Parent: return Self(rootElement);
            case NavigateDirection_NextSibling: return row + 1 < count ? RowElement(row + 1) : nullptr;
            case NavigateDirection_PreviousSibling: return row > 0 ? RowElement(row - 1) : Make(Part::HEADER);
            case NavigateDirection_FirstChild: return cells(Part::CELL, key, 0);
            case NavigateDirection_LastChild: return cells(Part::CELL, key, COLUMNS - 1);
            }
            return nullptr;
        default: // a header item or a cell
            switch (direction) {
            case NavigateDirection_Parent: return part == Part::CELL ? Make(Part::ROW, key) : Make(Part::HEADER);
            case NavigateDirection_NextSibling: return cells(part, key, column + 1);
            case NavigateDirection_PreviousSibling: return cells(part, key, column - 1);
            default: return nullptr;
            }
        }
    }

    Element* Make(Part kind, RowKey k = {}, int c = 0) const { return new (std::nothrow) Element(window, kind, k, c); }
    Element* MakeRow(int32_t row) const { return Make(Part::ROW, KeyOf(*model::modelState.displayList[row])); }
    IRawElementProviderFragment* RowElement(int32_t row) const { return MakeRow(row); }
    IRawElementProviderFragment* Self(Element* element = nullptr)
    {
        element = element ? element : this;
        element->AddRef();
        return element;
    }

    static bool IsSelected(int32_t row) { return model::modelState.displayList[row]->Has(model::selected); }
    static int ExpandState(int32_t row)
    {
        const model::InstanceRecord& r = *model::modelState.displayList[row];
        return !HasThreadsToShow(r) ? uia::LEAF : r.Has(model::expanded) ? uia::EXPANDED : uia::COLLAPSED;
    }
    int32_t ScrollRows() const { return std::max(0, RowCount() - PageRows(window)); }

    template <typename Out, typename Fill>
    HRESULT Read(Out* out, Fill fill)
    {
        if (!out)
            return E_POINTER;
        *out = Out();
        int32_t row = 0;
        HRESULT gone = Locate(row);
        return FAILED(gone) ? gone : fill(row, out);
    }
    template <typename Do>
    HRESULT Act(Do act)
    {
        int32_t row = 0;
        HRESULT gone = Locate(row);
        return FAILED(gone) ? gone : act(row);
    }
    HRESULT Flag(BOOL* out, BOOL value)
    {
        return Read(out, [value](int32_t, BOOL* o) {
            *o = value;
            return S_OK;
        });
    }
    HRESULT Whole(int* out, int value)
    {
        return Read(out, [value](int32_t, int* o) {
            *o = value;
            return S_OK;
        });
    }
    HRESULT Number(double* out, double value)
    {
        return Read(out, [value](int32_t, double* o) {
            *o = value;
            return S_OK;
        });
    }
    HRESULT Root(uia::Simple** out)
    {
        return Read(out, [](int32_t, uia::Simple** o) {
            *o = rootElement;
            rootElement->AddRef();
            return S_OK;
        });
    }
    HRESULT NoHeaders(SAFEARRAY** out)
    {
        return Read(out, [](int32_t, SAFEARRAY** o) { return Elements({}, o); });
    }
    HRESULT Headers(SAFEARRAY** out, int first, int end)
    {
        return Read(out, [this, first, end](int32_t, SAFEARRAY** o) {
            std::vector<Element*> items;
            for (int c = first; c < end; ++c)
                items.push_back(Make(Part::HEADER_ITEM, {}, c));
            return Elements(items, o);
        });
    }
    HRESULT Toggle(ExpandMode mode)
    {
        return Act([this, mode](int32_t row) {
            if (ExpandState(row) == uia::LEAF)
                return INVALID_OPERATION;
            ToggleThreads(window, row, mode);
            return S_OK;
        });
    }

    // The elements as a client receives them; the array takes their references.
    static HRESULT Elements(const std::vector<Element*>& elements, SAFEARRAY** out)
    {
        HRESULT result = S_OK;
        *out = SafeArrayCreateVector(VT_UNKNOWN, 0, static_cast<ULONG>(elements.size()));
        for (LONG i = 0; i < static_cast<LONG>(elements.size()); ++i) {
            IUnknown* element = static_cast<IRawElementProviderSimple*>(elements[i]);
            if (!element || !*out)
                result = E_OUTOFMEMORY;
            else
                SafeArrayPutElement(*out, &i, element); // adds its own reference
            if (element)
                element->Release();
        }
        if (FAILED(result) && *out) {
            SafeArrayDestroy(*out);
            *out = nullptr;
        }
        return *out ? result : E_OUTOFMEMORY;
    }

    HWND window;
    Part part;
    RowKey key;
    int column;
    LONG references = 1;
};

Element* RowElementFor(HWND window, int32_t row)
{
    if (window != liveWindow || !rootElement || row < 0 || row >= RowCount())
        return nullptr;
    return new (std::nothrow) Element(window, Part::ROW, KeyOf(*model::modelState.displayList[row]));
}

} // namespace

AutomationFunctions& Automation()
{
    static AutomationFunctions functions = [] {
        AutomationFunctions f;
        HMODULE core = LoadLibraryW(L"uiautomationcore.dll");
        f.returnProvider = core::FindExport<decltype(f.returnProvider)>(core, "UiaReturnRawElementProvider");
        f.hostProvider = core::FindExport<decltype(f.hostProvider)>(core, "UiaHostProviderFromHwnd");
        f.clientsListening = core::FindExport<decltype(f.clientsListening)>(core, "UiaClientsAreListening");
        f.raiseEvent = core::FindExport<decltype(f.raiseEvent)>(core, "UiaRaiseAutomationEvent");
        f.raiseProperty = core::FindExport<decltype(f.raiseProperty)>(core, "UiaRaiseAutomationPropertyChangedEvent");
        f.raiseStructure = core::FindExport<decltype(f.raiseStructure)>(core, "UiaRaiseStructureChangedEvent");
        f.disconnect = core::FindExport<decltype(f.disconnect)>(core, "UiaDisconnectProvider");
        return f;
    }();
    return functions;
}

IRawElementProviderSimple* AutomationRoot(HWND window)
{
    if (window == closedWindow)
        return nullptr;
    if (rootElement && rootElement->Window() != window) {
        rootElement->Release();
        rootElement = nullptr;
    }
    if (!rootElement)
        rootElement = new (std::nothrow) Element(window, Part::ROOT);
    if (!rootElement)
        return nullptr;
    liveWindow = window;
    rootElement->AddRef();
    return rootElement;
}

LRESULT AnswerAutomation(HWND window, WPARAM wParam, LPARAM lParam)
{
    auto answer = Automation().returnProvider;
    IRawElementProviderSimple* root = answer ? AutomationRoot(window) : nullptr;
    if (!root)
        return 0;
    LRESULT result = answer(window, wParam, lParam, root);
    root->Release();
    return result;
}

void DisconnectAutomation(HWND window)
{
    closedWindow = window;
    if (window == liveWindow)
        liveWindow = nullptr;
    const AutomationFunctions& f = Automation();
    if (rootElement && rootElement->Window() == window) {
        // The system lets go of what it was handed for the window.
        if (f.returnProvider)
            f.returnProvider(window, 0, 0, nullptr);
        if (f.disconnect)
            f.disconnect(rootElement);
        rootElement->Release();
        rootElement = nullptr;
    }
}

bool AutomationClientsListening()
{
    auto listening = Automation().clientsListening;
    return rootElement && listening && listening();
}

void RaiseAutomationRowEvent(HWND window, DWORD winEvent, int32_t row)
{
    const AutomationFunctions& f = Automation();
    if (!AutomationClientsListening())
        return;
    Element* element = RowElementFor(window, row);
    if (!element)
        return;
    auto* simple = static_cast<IRawElementProviderSimple*>(element);
    if (winEvent == EVENT_OBJECT_FOCUS && f.raiseEvent)
        f.raiseEvent(simple, uia::FOCUS_CHANGED);
    if (winEvent == EVENT_OBJECT_SELECTION && f.raiseEvent)
        f.raiseEvent(simple, uia::ELEMENT_SELECTED);
    VARIANT before, after;
    if (winEvent == EVENT_OBJECT_STATECHANGE && f.raiseProperty &&
        SUCCEEDED(simple->GetPropertyValue(UIA_ExpandCollapseExpandCollapseStatePropertyId, &after)) &&
        after.vt == VT_I4) {
        before = after;
        before.lVal = after.lVal == uia::EXPANDED ? uia::COLLAPSED : uia::EXPANDED;
        f.raiseProperty(simple, UIA_ExpandCollapseExpandCollapseStatePropertyId, before, after);
    }
    simple->Release();
}

void RaiseAutomationStructureChanged(HWND window)
{
    const AutomationFunctions& f = Automation();
    if (AutomationClientsListening() && f.raiseStructure && rootElement && rootElement->Window() == window)
        f.raiseStructure(rootElement, uia::CHILDREN_INVALIDATED, nullptr, 0);
}

} // namespace view
