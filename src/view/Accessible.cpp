#include "view/Accessible.h"

#include "core/WideString.h"
#include "model/Records.h"
#include "perf/CounterNames.h"
#include "perf/PerfLayout.h"
#include "resources/resource.h"
#include "ui/Settings.h"
#include "view/Automation.h"
#include "view/Paint.h"
#include "view/Scroll.h"
#include "view/ViewState.h"

#include <algorithm>
#include <new>

namespace view {

namespace {

const model::InstanceRecord& Row(int32_t row)
{
    return *model::modelState.displayList[static_cast<size_t>(row)];
}

} // namespace

bool HasThreadsToShow(const model::InstanceRecord& record)
{
    return record.Has(model::isProcess) && record.threadCount != 0;
}

// Nested rows make an outline: processes under their creators, or threads
// under their processes.
bool IsOutline()
{
    if (viewState.options.showHierarchy)
        return true;
    const auto& rows = model::modelState.displayList;
    return std::any_of(rows.begin(), rows.end(), [](const model::InstanceRecord* r) { return r->Has(model::isThread); });
}

std::wstring RowValueText(int32_t row)
{
    core::WideString text;
    model::ValueText(Row(row), text);
    return text.Chars();
}

RECT RowRectangle(HWND window, int32_t row)
{
    RECT band = RowBand(window, row);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&band), 2);
    return band;
}

bool IsRowVisible(HWND window, int32_t row)
{
    RECT client = {};
    GetClientRect(window, &client);
    int top = (row - viewState.topRow) * RowHeight();
    return row >= viewState.topRow && top < client.bottom;
}

// A row is focused for a client only while the window holds the keyboard focus.
bool HasKeyboardFocus(HWND window)
{
    return window && GetFocus() == window;
}

std::wstring ListName()
{
    uint32_t index = viewState.counter.counterIndex;
    const wchar_t* counter = index ? perf::CounterName(index) : nullptr;
    if (!counter)
        return core::ProgramText(IDS_ACC_LIST);
    core::WideString name;
    name.FormatResource(IDS_ACC_LIST_COUNTER, counter);
    return name.Chars();
}

namespace {

LONG RowState(HWND window, int32_t row)
{
    const model::InstanceRecord& r = Row(row);
    LONG state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (r.Has(model::selected))
        state |= STATE_SYSTEM_SELECTED;
    if (row == model::modelState.focusRow && HasKeyboardFocus(window))
        state |= STATE_SYSTEM_FOCUSED;
    if (HasThreadsToShow(r))
        state |= r.Has(model::expanded) ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
    if (!IsRowVisible(window, row))
        state |= STATE_SYSTEM_OFFSCREEN;
    return state;
}

HRESULT Text(const std::wstring& text, BSTR* out)
{
    *out = SysAllocString(text.c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT NoText(BSTR* out)
{
    *out = nullptr;
    return S_FALSE;
}

void SetChild(VARIANT* out, int32_t row)
{
    out->vt = VT_I4;
    out->lVal = row + 1;
}

// A client's hold on the list. It keeps the window only, and reads the rows
// where the view keeps them at every call: a child is a position in the rows
// listed now.
class ListObject final : public IAccessible {
public:
    explicit ListObject(HWND window) : window(window) {}

    HWND Window() const { return window; }
    void Disconnect() { window = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != __uuidof(IAccessible))
            return E_NOINTERFACE;
        *object = static_cast<IAccessible*>(this);
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

    // No type information: clients call the IAccessible methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override
    {
        for (UINT i = 0; ids && i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override
    {
        if (result)
            VariantInit(result);
        if (exception)
            *exception = EXCEPINFO();
        if (badArgument)
            *badArgument = 0;
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        if (!parent)
            return E_POINTER;
        *parent = nullptr;
        if (!window)
            return RPC_E_DISCONNECTED;
        return CreateStdAccessibleObject(window, OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        if (!window)
            return RPC_E_DISCONNECTED;
        *count = RowCount();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override
    {
        if (!dispatch)
            return E_POINTER;
        *dispatch = nullptr;
        int32_t row = 0;
        HRESULT valid = Resolve(child, row);
        // The rows are simple elements: they have no object of their own.
        return FAILED(valid) ? valid : row < 0 ? E_INVALIDARG : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return Answer(child, name, [](int32_t row) { return row < 0 ? ListName() : RowName(row); });
    }
    // An outline item's value is its level, as readers expect; the counter's
    // value is then the description. A list item's value is the counter's.
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return Answer(child, value, [](int32_t row) {
            if (row < 0)
                return std::wstring();
            return IsOutline() ? std::to_wstring(Row(row).depth) : RowValueText(row);
        });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        return Answer(child, text, [](int32_t row) { return row < 0 ? std::wstring() : RowValueText(row); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override { return NoTextFor(child, text); }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override
    {
        return NoTextFor(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        if (file)
            *file = nullptr;
        if (topic)
            *topic = 0;
        if (!file || !topic)
            return E_POINTER;
        return NoTextFor(child, file);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        return Number(child, role, [](int32_t row) -> LONG {
            if (IsOutline())
                return row < 0 ? ROLE_SYSTEM_OUTLINE : ROLE_SYSTEM_OUTLINEITEM;
            return row < 0 ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM;
        });
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        HWND w = window;
        return Number(child, state, [w](int32_t row) -> LONG {
            if (row >= 0)
                return RowState(w, row);
            return STATE_SYSTEM_FOCUSABLE | (HasKeyboardFocus(w) ? STATE_SYSTEM_FOCUSED : 0);
        });
    }
    // The focused row while the window has the keyboard focus, the list
    // itself when no row is focused, nothing while another window has it.
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override
    {
        if (child)
            VariantInit(child);
        if (child && window && HasKeyboardFocus(window)) {
            int32_t row = model::modelState.focusRow;
            SetChild(child, row >= 0 && row < RowCount() ? row : -1);
            return S_OK;
        }
        return Current(child, -1);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override
    {
        const auto& rows = model::modelState.displayList;
        auto selected = std::find_if(rows.begin(), rows.end(),
                                     [](const model::InstanceRecord* r) { return r->Has(model::selected); });
        return Current(children, selected == rows.end() ? -1 : static_cast<int32_t>(selected - rows.begin()));
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        return Answer(child, action, [](int32_t row) {
            if (row < 0 || !HasThreadsToShow(Row(row)))
                return std::wstring();
            return core::ProgramText(Row(row).Has(model::expanded) ? IDS_ACC_COLLAPSE : IDS_ACC_EXPAND);
        });
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        int32_t row = 0;
        HRESULT valid = Resolve(child, row);
        if (FAILED(valid))
            return valid;
        if (row < 0 || !HasThreadsToShow(Row(row)))
            return DISP_E_MEMBERNOTFOUND;
        ToggleThreads(window, row, TOGGLE_ROW);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        int32_t row = 0;
        HRESULT valid = Resolve(child, row);
        if (FAILED(valid))
            return valid;
        // One row at a time is selected: no adding, extending or removing.
        const long supported = SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION;
        if (row < 0 || flags == 0 || (flags & ~supported) != 0)
            return E_INVALIDARG;
        // A window without the keyboard focus cannot give a row the focus.
        if ((flags & SELFLAG_TAKEFOCUS) && !HasKeyboardFocus(window))
            return E_FAIL;
        uint32_t marks = ((flags & SELFLAG_TAKEFOCUS) ? FOCUS : 0) | ((flags & SELFLAG_TAKESELECTION) ? SELECT : 0);
        SelectRow(window, row, marks);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
    {
        for (long* out : {left, top, width, height}) {
            if (out)
                *out = 0;
        }
        if (!left || !top || !width || !height)
            return E_POINTER;
        int32_t row = 0;
        HRESULT valid = Resolve(child, row);
        if (FAILED(valid))
            return valid;
        RECT area = {};
        if (row < 0) {
            GetClientRect(window, &area);
            MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
        } else {
            area = RowRectangle(window, row);
        }
        *left = area.left;
        *top = area.top;
        *width = area.right - area.left;
        *height = area.bottom - area.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        if (!end)
            return E_POINTER;
        VariantInit(end);
        int32_t row = 0;
        HRESULT valid = Resolve(start, row);
        if (FAILED(valid))
            return valid;
        int32_t target = -1;
        if (row < 0 && direction == NAVDIR_FIRSTCHILD)
            target = 0;
        else if (row < 0 && direction == NAVDIR_LASTCHILD)
            target = RowCount() - 1;
        else if (row >= 0 && (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN))
            target = row + 1;
        else if (row >= 0 && (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP))
            target = row - 1;
        if (target < 0 || target >= RowCount())
            return S_FALSE;
        SetChild(end, target);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override
    {
        if (!child)
            return E_POINTER;
        VariantInit(child);
        if (!window)
            return RPC_E_DISCONNECTED;
        POINT point = {x, y};
        RECT client = {};
        GetClientRect(window, &client);
        ScreenToClient(window, &point);
        if (!PtInRect(&client, point))
            return S_FALSE;
        int32_t row = RowAt(point.y);
        SetChild(child, row < RowCount() ? row : -1);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    // The row a child names (-1: the list itself). Every call checks first
    // that the window is still there and the row is still listed.
    HRESULT Resolve(const VARIANT& child, int32_t& row) const
    {
        if (!window)
            return RPC_E_DISCONNECTED;
        if (child.vt != VT_I4 || child.lVal < 0 || child.lVal > RowCount())
            return E_INVALIDARG;
        row = child.lVal - 1;
        return S_OK;
    }

    template <typename Make>
    HRESULT Answer(const VARIANT& child, BSTR* out, Make make) const
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        int32_t row = 0;
        HRESULT valid = Resolve(child, row);
        if (FAILED(valid))
            return valid;
        std::wstring text = make(row);
        return text.empty() ? S_FALSE : Text(text, out);
    }

    HRESULT NoTextFor(const VARIANT& child, BSTR* out) const
    {
        if (!out)
            return E_POINTER;
        int32_t row = 0;
        HRESULT valid = Resolve(child, row);
        return FAILED(valid) ? (*out = nullptr, valid) : NoText(out);
    }

    template <typename Make>
    HRESULT Number(const VARIANT& child, VARIANT* out, Make make) const
    {
        if (!out)
            return E_POINTER;
        VariantInit(out);
        int32_t row = 0;
        HRESULT valid = Resolve(child, row);
        if (FAILED(valid))
            return valid;
        out->vt = VT_I4;
        out->lVal = make(row);
        return S_OK;
    }

    // The focus or selection: a listed row, or nothing.
    HRESULT Current(VARIANT* out, int32_t row) const
    {
        if (!out)
            return E_POINTER;
        VariantInit(out);
        if (!window)
            return RPC_E_DISCONNECTED;
        if (row < 0 || row >= RowCount())
            return S_FALSE;
        SetChild(out, row);
        return S_OK;
    }

    HWND window;
    LONG references = 1;
};

// The one object clients are handed for the main window; the view holds one
// reference to it until the window goes.
ListObject* listObject = nullptr;

// The window whose WM_DESTROY has come: it gets no new object.
HWND closedWindow = nullptr;

// What the rows told last were, by ID, kind and depth.
uint64_t toldSignature = 0;

uint64_t ListSignature()
{
    uint64_t hash = 1469598103934665603ull;
    auto mix = [&hash](uint64_t value) { hash = (hash ^ value) * 1099511628211ull; };
    for (const model::InstanceRecord* r : model::modelState.displayList)
        mix((uint64_t{r->id} << 32) | (r->flags & model::isThread) | (r->depth << 8));
    return hash;
}

void DisconnectListObject()
{
    if (!listObject)
        return;
    listObject->Disconnect();
    listObject->Release();
    listObject = nullptr;
}

} // namespace

IAccessible* ListAccessible(HWND window)
{
    if (window == closedWindow)
        return nullptr;
    if (listObject && listObject->Window() != window)
        DisconnectListObject();
    if (!listObject)
        listObject = new (std::nothrow) ListObject(window);
    if (listObject)
        listObject->AddRef();
    return listObject;
}

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam)
{
    // The object ID is a 32-bit value: whether it arrives sign-extended or not
    // depends on the sender.
    DWORD asked = static_cast<DWORD>(lParam);
    if (asked == static_cast<DWORD>(UiaRootObjectId))
        return AnswerAutomation(window, wParam, lParam);
    if (asked != static_cast<DWORD>(OBJID_CLIENT) || window == closedWindow)
        return 0;
    IAccessible* object = ListAccessible(window);
    if (!object)
        return 0;
    LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, object);
    object->Release();
    return result;
}

void DisconnectAccessible(HWND window)
{
    closedWindow = window;
    DisconnectListObject();
    DisconnectAutomation(window);
}

void NotifyRowEvent(HWND window, DWORD event, int32_t row)
{
    if (event == EVENT_OBJECT_FOCUS && !HasKeyboardFocus(window))
        return;
    if (row >= 0 && row < RowCount()) {
        NotifyWinEvent(event, window, OBJID_CLIENT, row + 1);
        RaiseAutomationRowEvent(window, event, row);
    }
}

void NotifyListChanged(HWND window)
{
    bool winEvents = IsWinEventHookInstalled(EVENT_OBJECT_REORDER), automation = AutomationClientsListening();
    if (!winEvents && !automation)
        return;
    uint64_t signature = ListSignature();
    if (signature == toldSignature)
        return;
    toldSignature = signature;
    if (winEvents)
        NotifyWinEvent(EVENT_OBJECT_REORDER, window, OBJID_CLIENT, CHILDID_SELF);
    if (automation)
        RaiseAutomationStructureChanged(window);
}

std::wstring RowName(int32_t row)
{
    const model::InstanceRecord& r = Row(row);
    wchar_t id[16];
    FormatRowId(r.id, ui::settings.hexIds != 0, id);
    std::wstring name = r.Has(model::isThread) ? core::ProgramText(IDS_ACC_THREAD) + L" " : std::wstring();
    return name + id + L" " + r.name;
}

} // namespace view
