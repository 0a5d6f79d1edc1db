#include "view/Automation.h"
#include "view/ViewWindow.h"

#include "core/Module.h"
#include "view/Accessible.h"
#include "view/DisplayResources.h"

using namespace testing_support;

namespace {

// The client side of uiautomationcore, which mingw-w64 does not declare.
struct Condition {
    int type; // 0: true
};
struct CacheRequest {
    Condition* view;
    int scope; // 1: the element
    PROPERTYID* properties;
    int propertyCount;
    PATTERNID* patterns;
    int patternCount;
    int mode;
};
// Each call is a member named as its export, less the "Uia".
#define UIA_CALL(result, name, ...) result(WINAPI* name)(__VA_ARGS__) = core::FindExport<decltype(name)>(dll, "Uia" #name)
struct Client {
    HMODULE dll = LoadLibraryW(L"uiautomationcore.dll");
    UIA_CALL(HRESULT, NodeFromProvider, IRawElementProviderSimple*, HUIANODE*);
    UIA_CALL(BOOL, NodeRelease, HUIANODE);
    UIA_CALL(HRESULT, GetPropertyValue, HUIANODE, PROPERTYID, VARIANT*);
    UIA_CALL(HRESULT, GetRuntimeId, HUIANODE, SAFEARRAY**);
    UIA_CALL(HRESULT, Navigate, HUIANODE, int, Condition*, CacheRequest*, SAFEARRAY**, BSTR*);
    UIA_CALL(HRESULT, HUiaNodeFromVariant, VARIANT*, HUIANODE*);
};
#undef UIA_CALL

Client uia;
// A node a test holds, released at the end of its scope.
using Node = std::unique_ptr<std::remove_pointer_t<HUIANODE>, decltype([](HUIANODE node) { uia.NodeRelease(node); })>;

class Automation : public ViewWindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(uia.NodeFromProvider && uia.Navigate && uia.GetPropertyValue && uia.GetRuntimeId);
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ViewWindowTest::SetUp();
        Start(AlphaAndNumbered(4, 0), AlphaAndNumbered(4, 0.25));
        SetFocus(window);
        root = view::AutomationRoot(window);
        ASSERT_NE(nullptr, root);
        HUIANODE node = nullptr;
        ASSERT_EQ(S_OK, uia.NodeFromProvider(root, &node));
        list.reset(node);
    }
    void TearDown() override
    {
        list.reset();
        if (root)
            root->Release();
        ViewWindowTest::TearDown();
        CoUninitialize();
    }

    static Node Go(const Node& from, int direction)
    {
        Condition all = {0};
        CacheRequest request = {&all, 1, nullptr, 0, nullptr, 0, 1};
        SAFEARRAY* found = nullptr;
        BSTR tree = nullptr;
        HUIANODE node = nullptr;
        LONG at[2] = {0, 0};
        VARIANT v = {};
        if (SUCCEEDED(uia.Navigate(from.get(), direction, &all, &request, &found, &tree)) && found &&
            SUCCEEDED(SafeArrayGetElement(found, at, &v)))
            uia.HUiaNodeFromVariant(&v, &node);
        SysFreeString(tree);
        SafeArrayDestroy(found);
        return Node(node);
    }
    // The node reached by a path of moves: 'f' first child, 'l' last child, 'n' next, 'p' previous, 'u' parent.
    Node Walk(const char* moves)
    {
        Node at = Go(list, NavigateDirection_FirstChild);
        for (const char* m = moves; *m && at; ++m)
            at = Go(at, static_cast<int>(std::string_view("unpfl").find(*m)));
        return at;
    }
    // A property as text: a string, a number, "true"/"false", "-" when
    // empty, "error" when the call failed.
    static std::wstring Read(const Node& node, PROPERTYID property)
    {
        VARIANT v = {};
        HRESULT result = node.get() ? uia.GetPropertyValue(node.get(), property, &v) : E_POINTER;
        std::wstring text = FAILED(result)    ? L"error"
                            : v.vt == VT_BSTR ? std::wstring(v.bstrVal)
                            : v.vt == VT_I4   ? std::to_wstring(v.lVal)
                            : v.vt == VT_BOOL ? (v.boolVal ? L"true" : L"false")
                                              : L"-";
        VariantClear(&v);
        return text;
    }
    static std::vector<std::wstring> Names(const Node& first)
    {
        std::vector<std::wstring> names;
        for (Node at = Go(Go(first, NavigateDirection_Parent), NavigateDirection_FirstChild); at;
             at = Go(at, NavigateDirection_NextSibling))
            names.push_back(Read(at, UIA_NamePropertyId));
        return names;
    }
    static std::vector<int> RuntimeId(const Node& node)
    {
        SAFEARRAY* id = nullptr;
        std::vector<int> parts;
        if (SUCCEEDED(uia.GetRuntimeId(node.get(), &id)) && id)
            for (LONG i = 0; i < static_cast<LONG>(id->rgsabound[0].cElements); ++i)
                SafeArrayGetElement(id, &i, &parts.emplace_back());
        SafeArrayDestroy(id);
        return parts;
    }

    // A row's provider as the root's Navigate hands it out.
    IRawElementProviderSimple* RowProvider(int32_t row)
    {
        IRawElementProviderFragment* at = nullptr;
        root->QueryInterface(__uuidof(IRawElementProviderFragment), reinterpret_cast<void**>(&at));
        for (int i = -1; i <= row && at; ++i) {
            IRawElementProviderFragment* next = nullptr;
            at->Navigate(i < 0 ? NavigateDirection_FirstChild : NavigateDirection_NextSibling, &next);
            at->Release();
            at = next;
        }
        IRawElementProviderSimple* simple = nullptr;
        if (at) {
            at->QueryInterface(__uuidof(IRawElementProviderSimple), reinterpret_cast<void**>(&simple));
            at->Release();
        }
        return simple;
    }

    IRawElementProviderSimple* root = nullptr;
    Node list;
};

} // namespace

TEST_F(Automation, ClientsWalkTheGridOfHeaderRowsAndCells)
{
    EXPECT_NE(0, SendMessageW(window, WM_GETOBJECT, 0, static_cast<LPARAM>(UiaRootObjectId)));
    EXPECT_EQ((std::vector<std::wstring>{L"50028", L"Quorlet: % Processor Time", L"true"}),
              (std::vector<std::wstring>{Read(list, UIA_ControlTypePropertyId), Read(list, UIA_NamePropertyId),
                                         Read(list, UIA_IsKeyboardFocusablePropertyId)}));
    EXPECT_EQ(L"50034", Read(Walk(""), UIA_ControlTypePropertyId));
    Node id = Walk("f");
    EXPECT_EQ(L"50035", Read(id, UIA_ControlTypePropertyId));
    EXPECT_EQ((std::vector<std::wstring>{L"ID", L"Name", L"% Processor Time"}), Names(id));

    Node alpha = Walk("n");
    EXPECT_EQ(L"50029", Read(alpha, UIA_ControlTypePropertyId));
    EXPECT_EQ((std::vector<std::wstring>{L"-", L"50 alpha", L"100 p00", L"200 p01", L"300 p02", L"400 p03"}),
              Names(alpha))
        << "the header, unnamed, and the rows";
    EXPECT_EQ((std::vector<std::wstring>{L"50", L"alpha", L"25"}), Names(Walk("nf")));
    EXPECT_EQ(L"50 alpha", Read(Go(Walk("nfn"), NavigateDirection_Parent), UIA_NamePropertyId));
    EXPECT_EQ(L"400 p03", Read(Go(list, NavigateDirection_LastChild), UIA_NamePropertyId));
}

// A row is known by its process: an element held across a refresh that
// reorders the rows still names the same process, and one whose process
// left answers that it is gone.
TEST_F(Automation, ElementsKeepTheirProcessWhileRowsReorder)
{
    Node alpha = Walk("n"), p01 = Walk("nnn");
    IRawElementProviderSimple *alphaRow = RowProvider(0), *p01Row = RowProvider(2);
    std::vector<int> alphaId = RuntimeId(alpha), p01Id = RuntimeId(p01);
    ASSERT_FALSE(alphaId.empty());
    EXPECT_NE(alphaId, p01Id);

    std::vector<MachineProcess> reordered = AlphaAndNumbered(4, 0.25);
    std::rotate(reordered.begin(), reordered.begin() + 1, reordered.end()); // alpha listed last
    Resample(reordered, 2);
    ASSERT_NE(L"50 alpha", Read(Walk("n"), UIA_NamePropertyId)) << "the rows moved";
    EXPECT_EQ(L"50 alpha", Read(alpha, UIA_NamePropertyId));
    EXPECT_EQ(L"200 p01", Read(p01, UIA_NamePropertyId));
    Node again = Walk("n");
    for (int i = 0; i < 5 && Read(again, UIA_NamePropertyId) != L"50 alpha"; ++i)
        again = Go(again, NavigateDirection_NextSibling);
    EXPECT_EQ(alphaId, RuntimeId(again)) << "the same process, the same id";

    reordered.erase(reordered.begin() + 1); // p01 ends
    Resample(reordered, 3);
    // Wine 8's core hands a client an empty value for an element that is gone.
    VARIANT name;
    EXPECT_EQ(L"-", Read(p01, UIA_NamePropertyId));
    EXPECT_EQ(static_cast<HRESULT>(UIA_E_ELEMENTNOTAVAILABLE), p01Row->GetPropertyValue(UIA_NamePropertyId, &name));
    EXPECT_EQ(S_OK, alphaRow->GetPropertyValue(UIA_NamePropertyId, &name));
    VariantClear(&name);
    DestroyWindow(window);
    EXPECT_EQ(L"-", Read(alpha, UIA_NamePropertyId));
    EXPECT_EQ(static_cast<HRESULT>(UIA_E_ELEMENTNOTAVAILABLE), alphaRow->GetPropertyValue(UIA_NamePropertyId, &name));
    p01Row->Release();
    alphaRow->Release();
}

namespace {

// A pattern of an element as the core asks for it: the pattern object, then
// its interface by the documented id. Wine 8's core has only stubs for the
// pattern calls, so these are asked of the providers directly.
template <class Pattern>
Pattern* PatternOf(IRawElementProviderSimple* element, PATTERNID pattern, const GUID& iid)
{
    IUnknown* object = nullptr;
    Pattern* found = nullptr;
    if (element && SUCCEEDED(element->GetPatternProvider(pattern, &object)) && object) {
        object->QueryInterface(iid, reinterpret_cast<void**>(&found));
        object->Release();
    }
    return found;
}

std::wstring NameOf(IUnknown* element)
{
    IRawElementProviderSimple* simple = nullptr;
    VARIANT v = {};
    if (element && SUCCEEDED(element->QueryInterface(__uuidof(IRawElementProviderSimple), reinterpret_cast<void**>(&simple)))) {
        simple->GetPropertyValue(UIA_NamePropertyId, &v);
        simple->Release();
    }
    std::wstring name = v.vt == VT_BSTR ? v.bstrVal : L"-";
    VariantClear(&v);
    return name;
}

std::vector<std::wstring> NamesIn(SAFEARRAY* elements)
{
    std::vector<std::wstring> names;
    for (LONG i = 0; elements && i < static_cast<LONG>(elements->rgsabound[0].cElements); ++i) {
        IUnknown* element = nullptr;
        SafeArrayGetElement(elements, &i, &element);
        names.push_back(NameOf(element));
        element->Release();
    }
    SafeArrayDestroy(elements);
    return names;
}

// What the provider raised, with the element's name.
std::vector<std::wstring> raised;
BOOL listening = TRUE;
BOOL WINAPI Listening() { return listening; }
HRESULT WINAPI RaiseEvent(IRawElementProviderSimple* element, EVENTID id)
{
    raised.push_back(std::to_wstring(id) + L" " + NameOf(element));
    return S_OK;
}
HRESULT WINAPI RaiseProperty(IRawElementProviderSimple* element, PROPERTYID id, VARIANT before, VARIANT after)
{
    raised.push_back(std::to_wstring(id) + L" " + NameOf(element) + L" " + std::to_wstring(before.lVal) + L"->" +
                     std::to_wstring(after.lVal));
    return S_OK;
}
HRESULT WINAPI RaiseStructure(IRawElementProviderSimple* element, int change, int*, int)
{
    raised.push_back(L"structure " + std::to_wstring(change) + L" " + NameOf(element));
    return S_OK;
}

} // namespace

TEST_F(Automation, PatternsActOnTheRowsTheyName)
{
    using namespace view::uia;
    std::vector<IUnknown*> held;
    auto hold = [&held](auto* object) {
        if (object)
            held.push_back(object);
        return object;
    };
    auto* grid = hold(PatternOf<GridProvider>(root, UIA_GridPatternId, GRID));
    auto* table = hold(PatternOf<TableProvider>(root, UIA_TablePatternId, TABLE));
    auto* selection = hold(PatternOf<SelectionProvider>(root, UIA_SelectionPatternId, SELECTION));
    auto* scroll = hold(PatternOf<ScrollProvider>(root, UIA_ScrollPatternId, SCROLL));
    ASSERT_TRUE(grid && table && selection && scroll);
    int rows = 0, columns = 0;
    grid->get_RowCount(&rows);
    grid->get_ColumnCount(&columns);
    EXPECT_EQ((std::pair{5, 3}), (std::pair{rows, columns}));
    IRawElementProviderSimple *cell = nullptr, *none = nullptr;
    ASSERT_EQ(S_OK, grid->GetItem(2, 1, &cell));
    EXPECT_EQ(L"p01", NameOf(hold(cell)));
    // The name cell starts where the paint draws the names: a frame's width at
    // the view's DPI (here not the system's) after the IDs.
    IRawElementProviderFragment* part = nullptr;
    UiaRect bounds = {};
    view::display.frameWidth += 30;
    cell->QueryInterface(__uuidof(IRawElementProviderFragment), reinterpret_cast<void**>(&part));
    HRESULT located = hold(part) ? part->get_BoundingRectangle(&bounds) : E_NOINTERFACE;
    LONG nameLeft = view::RowRectangle(window, 2).left + view::display.glyphWidth + view::display.frameWidth +
                    view::viewState.columns.id;
    view::display.frameWidth -= 30;
    EXPECT_EQ(S_OK, located);
    EXPECT_EQ(double(nameLeft), bounds.left);
    EXPECT_EQ(E_INVALIDARG, grid->GetItem(5, 0, &none));
    auto* item = hold(PatternOf<TableItemProvider>(cell, UIA_TableItemPatternId, TABLE_ITEM));
    SAFEARRAY* headers = nullptr;
    ASSERT_TRUE(item && SUCCEEDED(item->GetColumnHeaderItems(&headers)));
    EXPECT_EQ(std::vector<std::wstring>{L"Name"}, NamesIn(headers));
    ASSERT_TRUE(SUCCEEDED(table->GetColumnHeaders(&headers)));
    EXPECT_EQ(3u, NamesIn(headers).size());

    IRawElementProviderSimple *p01 = hold(RowProvider(2)), *alpha = hold(RowProvider(0));
    auto* choose = hold(PatternOf<SelectionItemProvider>(p01, UIA_SelectionItemPatternId, SELECTION_ITEM));
    ASSERT_NE(nullptr, choose);
    EXPECT_EQ(S_OK, choose->RemoveFromSelection()) << "not selected: nothing to remove";
    EXPECT_EQ(S_OK, choose->Select());
    EXPECT_EQ(2, Selected());
    EXPECT_EQ(UIA_E_INVALIDOPERATION, choose->RemoveFromSelection()) << "one row stays selected";
    // The focus and the row under a point, as the root answers them.
    IRawElementProviderFragmentRoot* fragmentRoot = nullptr;
    IRawElementProviderFragment *focused = nullptr, *hit = nullptr;
    root->QueryInterface(__uuidof(IRawElementProviderFragmentRoot), reinterpret_cast<void**>(&fragmentRoot));
    ASSERT_TRUE(hold(fragmentRoot) && SUCCEEDED(fragmentRoot->GetFocus(&focused)));
    EXPECT_EQ(nullptr, focused) << "no row focused";
    Command(CMD_NEXT_ROW);
    POINT p00 = {5, view::RowHeight() + 1};
    ClientToScreen(window, &p00);
    ASSERT_TRUE(SUCCEEDED(fragmentRoot->GetFocus(&focused)) && SUCCEEDED(fragmentRoot->ElementProviderFromPoint(p00.x, p00.y, &hit)));
    EXPECT_EQ((std::pair<std::wstring, std::wstring>{L"50 alpha", L"100 p00"}), (std::pair{NameOf(hold(focused)), NameOf(hold(hit))}));
    HWND other = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetFocus(other);
    EXPECT_TRUE(SUCCEEDED(fragmentRoot->GetFocus(&focused)) && !focused) << "another window has the keyboard";
    DestroyWindow(other);
    ASSERT_EQ(S_OK, choose->Select());
    SAFEARRAY* chosen = nullptr;
    ASSERT_TRUE(SUCCEEDED(selection->GetSelection(&chosen)));
    EXPECT_EQ(std::vector<std::wstring>{L"200 p01"}, NamesIn(chosen));
    EXPECT_EQ(nullptr, PatternOf<ExpandCollapseProvider>(p01, UIA_ExpandCollapsePatternId, EXPAND_COLLAPSE));

    auto* value = hold(PatternOf<ValueProvider>(alpha, UIA_ValuePatternId, VALUE));
    auto* expand = hold(PatternOf<ExpandCollapseProvider>(alpha, UIA_ExpandCollapsePatternId, EXPAND_COLLAPSE));
    ASSERT_TRUE(value && expand);
    BSTR text = nullptr;
    BOOL readOnly = FALSE;
    value->get_Value(&text);
    value->get_IsReadOnly(&readOnly);
    EXPECT_EQ((std::pair<std::wstring, BOOL>{L"25", TRUE}), (std::pair<std::wstring, BOOL>{text, readOnly}));
    SysFreeString(text);
    EXPECT_EQ(UIA_E_ELEMENTNOTENABLED, value->SetValue(L"1"));
    ASSERT_EQ(S_OK, expand->Expand());
    int state = -1;
    expand->get_ExpandCollapseState(&state);
    EXPECT_EQ((std::pair{7, int(EXPANDED)}), (std::pair{Rows(), state}));

    // Scrolling by pages and percent, and a row brought into view.
    Resample(AlphaAndNumbered(12, 0.25), 2);
    ASSERT_EQ(15, Rows());
    EXPECT_EQ(S_OK, scroll->Scroll(NO_AMOUNT, LARGE_INCREMENT));
    double percent = 0;
    scroll->get_VerticalScrollPercent(&percent);
    EXPECT_EQ((std::pair{5, 100.0}), (std::pair{Top(), percent}));
    EXPECT_EQ(S_OK, scroll->SetScrollPercent(NO_SCROLL, 0));
    EXPECT_EQ(0, Top());
    IRawElementProviderSimple* last = hold(RowProvider(14));
    auto* place = hold(PatternOf<GridItemProvider>(last, UIA_GridItemPatternId, GRID_ITEM));
    auto* bring = hold(PatternOf<ScrollItemProvider>(last, UIA_ScrollItemPatternId, SCROLL_ITEM));
    ASSERT_TRUE(place && bring);
    int at = 0;
    place->get_Row(&at);
    EXPECT_EQ(14, at);
    EXPECT_EQ(S_OK, bring->ScrollIntoView());
    EXPECT_EQ(5, Top());
    for (IUnknown* object : held)
        object->Release();
}

TEST_F(Automation, EventsTellFocusSelectionExpansionAndChangedRowsOnlyToListeners)
{
    view::AutomationFunctions real = view::Automation();
    view::Automation() = {real.returnProvider, real.hostProvider, Listening, RaiseEvent, RaiseProperty, RaiseStructure,
                          real.disconnect};
    raised.clear();
    listening = TRUE;
    Command(CMD_NEXT_ROW);
    Command(CMD_EXPAND_ROW);
    EXPECT_EQ((std::vector<std::wstring>{L"20005 50 alpha", L"20012 50 alpha", L"30070 50 alpha 0->1",
                                         L"structure 2 Quorlet: % Processor Time"}),
              std::exchange(raised, {}));
    Resample(AlphaAndNumbered(4, 0.75), 2);
    EXPECT_EQ(std::vector<std::wstring>(), std::exchange(raised, {})) << "new values only: nothing to announce";
    Resample(AlphaAndNumbered(3, 0.75), 3);
    EXPECT_EQ(std::vector<std::wstring>{L"structure 2 Quorlet: % Processor Time"}, std::exchange(raised, {}));
    listening = FALSE;
    Command(CMD_NEXT_ROW);
    Resample(AlphaAndNumbered(2, 0.75), 4);
    EXPECT_EQ(std::vector<std::wstring>(), raised) << "no client listens";
    view::Automation() = real;
}
