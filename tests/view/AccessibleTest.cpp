#include "view/Accessible.h"
#include "view/Automation.h"
#include "view/ViewWindow.h"

#include <oleacc.h>

using namespace testing_support;

namespace {

using Event = std::pair<DWORD, LONG>; // the event, the child
std::vector<Event> events;
HWND watched = nullptr;

void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    if (window == watched && object == OBJID_CLIENT)
        events.push_back({event, child});
}

VARIANT Child(LONG id)
{
    VARIANT v = {};
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

class Accessible : public ViewWindowTest {
protected:
    void SetUp() override
    {
        // The object travels as a marshalled interface, as the program's own
        // apartment would carry it.
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ViewWindowTest::SetUp();
        Start(AlphaAndNumbered(12, 0), AlphaAndNumbered());
        SetFocus(window);
        ASSERT_EQ(window, GetFocus());
        ASSERT_EQ(S_OK, AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                   reinterpret_cast<void**>(&list)));
    }
    void TearDown() override
    {
        if (list)
            list->Release();
        ViewWindowTest::TearDown();
        CoUninitialize();
    }

    std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), LONG child)
    {
        BSTR text = nullptr;
        HRESULT result = (list->*get)(Child(child), &text);
        std::wstring read = FAILED(result) ? L"<failed>" : text ? text : L"<none>";
        SysFreeString(text);
        return read;
    }
    LONG Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), LONG child)
    {
        VARIANT v = {};
        return SUCCEEDED((list->*get)(Child(child), &v)) && v.vt == VT_I4 ? v.lVal : -1;
    }
    LONG Count()
    {
        long count = -1;
        list->get_accChildCount(&count);
        return count;
    }

    IAccessible* list = nullptr;
};

} // namespace

TEST_F(Accessible, ChildrenReadAsTheRowsShow)
{
    EXPECT_EQ(0, SendMessageW(window, WM_GETOBJECT, 0, static_cast<LPARAM>(static_cast<DWORD>(OBJID_VSCROLL))));
    EXPECT_EQ(L"Quorlet: % Processor Time", Text(&IAccessible::get_accName, CHILDID_SELF));
    EXPECT_EQ(ROLE_SYSTEM_LIST, Number(&IAccessible::get_accRole, CHILDID_SELF));
    EXPECT_EQ(13, Count());
    EXPECT_EQ((std::vector<std::wstring>{L"50 alpha", L"25", L"25"}),
              (std::vector<std::wstring>{Text(&IAccessible::get_accName, 1), Text(&IAccessible::get_accValue, 1),
                                         Text(&IAccessible::get_accDescription, 1)}));
    EXPECT_EQ(ROLE_SYSTEM_LISTITEM, Number(&IAccessible::get_accRole, 1)) << "a flat list has no outline items";
    EXPECT_EQ(STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_COLLAPSED,
              Number(&IAccessible::get_accState, 1));
    EXPECT_EQ(STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_OFFSCREEN,
              Number(&IAccessible::get_accState, 13))
        << "below the ten rows shown";
    EXPECT_EQ(L"<none>", Text(&IAccessible::get_accDefaultAction, 2)) << "no threads to show";

    // Each row where the window draws it, on the screen.
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    RECT client;
    GetClientRect(window, &client);
    long x = 0, y = 0, width = 0, height = 0;
    ASSERT_EQ(S_OK, list->accLocation(&x, &y, &width, &height, Child(3)));
    EXPECT_EQ((std::vector<long>{origin.x, origin.y + 2 * view::RowHeight(), client.right, view::RowHeight()}),
              (std::vector<long>{x, y, width, height}));
    VARIANT hit;
    ASSERT_EQ(S_OK, list->accHitTest(x + 1, y + 1, &hit));
    EXPECT_EQ(3, hit.lVal);

    // The default action expands a process as the keyboard does.
    EXPECT_EQ(L"Expand", Text(&IAccessible::get_accDefaultAction, 1));
    ASSERT_EQ(S_OK, list->accDoDefaultAction(Child(1)));
    EXPECT_EQ(15, Count());
    EXPECT_EQ(ROLE_SYSTEM_OUTLINE, Number(&IAccessible::get_accRole, CHILDID_SELF));
    EXPECT_EQ(L"Collapse", Text(&IAccessible::get_accDefaultAction, 1));
    EXPECT_EQ(L"thread 52 alpha->t", Text(&IAccessible::get_accName, 3));
    // In an outline the value is the level; the counter's value stays audible as the description.
    for (LONG child : {1, 3})
        EXPECT_EQ(ROLE_SYSTEM_OUTLINEITEM, Number(&IAccessible::get_accRole, child));
    EXPECT_EQ((std::vector<std::wstring>{L"0", L"1", L"25"}),
              (std::vector<std::wstring>{Text(&IAccessible::get_accValue, 1), Text(&IAccessible::get_accValue, 3),
                                         Text(&IAccessible::get_accDescription, 1)}));

    // Selecting a row is a click on it.
    ASSERT_EQ(S_OK, list->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, Child(4)));
    EXPECT_EQ((std::pair{3, 3}), (std::pair{Selected(), Focus()}));
    EXPECT_EQ(STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED,
              Number(&IAccessible::get_accState, 4));
    VARIANT selection;
    ASSERT_EQ(S_OK, list->get_accSelection(&selection));
    EXPECT_EQ(4, selection.lVal);
    EXPECT_EQ(E_INVALIDARG, list->accSelect(SELFLAG_ADDSELECTION, Child(5)));

    Command(CMD_LAST_ROW);
    ASSERT_GT(Top(), 0);
    EXPECT_EQ(STATE_SYSTEM_OFFSCREEN, Number(&IAccessible::get_accState, 1) & STATE_SYSTEM_OFFSCREEN)
        << "scrolled off the top";
}

// Children are positions in the rows listed now; the window's end leaves
// the object answering without touching what went with it.
TEST_F(Accessible, RemovedRowsAndAGoneWindowAreRefused)
{
    BSTR name = nullptr;
    std::vector<MachineProcess> fewer = AlphaAndNumbered(4);
    fewer.push_back({u"Idle", 0});
    Command(CMD_SHOW_IDLE);
    Resample(fewer, 2);
    EXPECT_EQ(6, Count());
    EXPECT_EQ(L"400 p03", Text(&IAccessible::get_accName, 5));
    EXPECT_EQ(ROLE_SYSTEM_LISTITEM, Number(&IAccessible::get_accRole, 6));
    EXPECT_EQ(E_INVALIDARG, list->get_accName(Child(7), &name));
    EXPECT_EQ(E_INVALIDARG, list->get_accName(Child(-1), &name));
    VARIANT reached;
    const std::pair<long, LONG> moves[] = {{NAVDIR_FIRSTCHILD, 1}, {NAVDIR_LASTCHILD, 6}, {NAVDIR_NEXT, 2}};
    for (auto [direction, child] : moves) {
        EXPECT_EQ(S_OK, list->accNavigate(direction, Child(direction == NAVDIR_NEXT ? 1 : CHILDID_SELF), &reached));
        EXPECT_EQ(child, reached.lVal) << direction;
    }
    EXPECT_EQ(S_FALSE, list->accNavigate(NAVDIR_PREVIOUS, Child(1), &reached));
    POINT below = {5, 8 * view::RowHeight()};
    ClientToScreen(window, &below);
    ASSERT_EQ(S_OK, list->accHitTest(below.x, below.y, &reached));
    EXPECT_EQ(CHILDID_SELF, reached.lVal) << "under the last row: the list itself";

    // A child's WM_DESTROY comes after its parent's: an object asked for then
    // would be bound to a dying window.
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, window, nullptr, nullptr, nullptr);
    static std::vector<LRESULT> askedWhileDying;
    static WNDPROC staticProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(child, GWLP_WNDPROC));
    SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) {
        for (LONG object : {LONG(OBJID_CLIENT), LONG(UiaRootObjectId)})
            if (m == WM_DESTROY)
                askedWhileDying.push_back(SendMessageW(GetParent(w), WM_GETOBJECT, 0, static_cast<LPARAM>(object)));
        return CallWindowProcW(staticProc, w, m, wp, lp);
    }));
    DestroyWindow(window);
    EXPECT_EQ((std::vector<LRESULT>{0, 0}), askedWhileDying);
    long count = 7;
    EXPECT_EQ(RPC_E_DISCONNECTED, list->get_accChildCount(&count));
    EXPECT_EQ(0, count);
    EXPECT_EQ(RPC_E_DISCONNECTED, list->get_accName(Child(1), &name));
    EXPECT_EQ(RPC_E_DISCONNECTED, list->accSelect(SELFLAG_TAKESELECTION, Child(1)));
    EXPECT_EQ(nullptr, name);
}

TEST_F(Accessible, EventsTellFocusSelectionExpansionAndOneReorderPerChangedList)
{
    watched = window;
    events.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_STATECHANGE, nullptr, RecordEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);
    auto happened = [] {
        Pump(nullptr);
        return std::exchange(events, {});
    };
    Command(CMD_NEXT_ROW);
    EXPECT_EQ((std::vector<Event>{{EVENT_OBJECT_FOCUS, 1}, {EVENT_OBJECT_SELECTION, 1}}), happened());
    view::SelectRow(window, 0, view::SELECT | view::FOCUS);
    EXPECT_EQ(std::vector<Event>(), happened()) << "chosen again: nothing new to announce";
    HWND other = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetFocus(other);
    SetFocus(window);
    DestroyWindow(other);
    std::vector<Event> told = happened();
    EXPECT_TRUE(!told.empty() && (told.back() == Event{EVENT_OBJECT_FOCUS, 1})) << "the window's focus back: its row is told";
    Command(CMD_EXPAND_ROW);
    EXPECT_EQ((std::vector<Event>{{EVENT_OBJECT_STATECHANGE, 1}, {EVENT_OBJECT_REORDER, CHILDID_SELF}}), happened());
    Resample(AlphaAndNumbered(12, 0.75), 2);
    EXPECT_EQ(std::vector<Event>(), happened()) << "new values, the same rows";
    Resample(AlphaAndNumbered(11, 0.75), 3);
    EXPECT_EQ((std::vector<Event>{{EVENT_OBJECT_REORDER, CHILDID_SELF}}), happened());
    UnhookWinEvent(hook);
}

// The focus is a row only while the window holds the keyboard focus; a
// failed call leaves no output as the caller had it.
TEST_F(Accessible, FocusFollowsTheKeyboardAndFailuresClearEveryOutput)
{
    VARIANT focus;
    EXPECT_EQ(S_OK, list->get_accFocus(&focus));
    EXPECT_EQ((std::pair<VARTYPE, LONG>{VT_I4, CHILDID_SELF}), (std::pair{focus.vt, focus.lVal})) << "no row focused";
    Command(CMD_NEXT_ROW);
    EXPECT_EQ(S_OK, list->get_accFocus(&focus));
    EXPECT_EQ(1, focus.lVal);
    HWND other = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetFocus(other);
    ASSERT_EQ(other, GetFocus());
    EXPECT_EQ(S_FALSE, list->get_accFocus(&focus));
    EXPECT_EQ(VT_EMPTY, focus.vt);
    EXPECT_EQ(0, Number(&IAccessible::get_accState, 1) & STATE_SYSTEM_FOCUSED);
    EXPECT_EQ(E_FAIL, list->accSelect(SELFLAG_TAKEFOCUS, Child(3)));
    EXPECT_EQ(0, Focus());
    DestroyWindow(other);

    long place[4] = {1, 2, 3, 4};
    EXPECT_EQ(E_INVALIDARG, list->accLocation(&place[0], &place[1], &place[2], &place[3], Child(99)));
    EXPECT_EQ((std::vector<long>{0, 0, 0, 0}), std::vector<long>(place, place + 4));
    BSTR file = reinterpret_cast<BSTR>(&place);
    long topic = 5;
    EXPECT_EQ(E_POINTER, list->get_accHelpTopic(&file, Child(1), nullptr));
    EXPECT_EQ(nullptr, file);
    file = reinterpret_cast<BSTR>(&place);
    EXPECT_EQ(E_INVALIDARG, list->get_accHelpTopic(&file, Child(99), &topic));
    EXPECT_EQ((std::pair<BSTR, long>{nullptr, 0}), (std::pair{file, topic}));
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&place);
    EXPECT_EQ(E_NOTIMPL, list->GetTypeInfo(0, 0, &info));
    EXPECT_EQ(nullptr, info);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"accName")};
    DISPID id = 7;
    EXPECT_EQ(E_NOTIMPL, list->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    EXPECT_EQ(DISPID_UNKNOWN, id);
    VARIANT result;
    result.vt = VT_I4;
    EXCEPINFO exception;
    exception.wCode = 9;
    UINT badArgument = 9;
    DISPPARAMS none = {};
    EXPECT_EQ(E_NOTIMPL, list->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, &exception, &badArgument));
    EXPECT_EQ((std::vector<int>{VT_EMPTY, 0, 0}), (std::vector<int>{result.vt, exception.wCode, int(badArgument)}));
}
