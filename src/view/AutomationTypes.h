// The UI Automation provider interfaces the list answers with, declared here
// with their documented identifiers and method order: mingw-w64's headers
// declare only the fragment interfaces, and the client functions not at all.
// Our names are our own, so that a compiler whose headers do declare them
// sees no second definition.
#pragma once

#include <windows.h>
#include <ole2.h>

// mingw-w64 names one parameter in this header `new`.
#define new new_value
#include <uiautomation.h>
#undef new

namespace view::uia {

constexpr GUID VALUE = {0xc7935180, 0x6fb3, 0x4201, {0xb1, 0x74, 0x7d, 0xf7, 0x3a, 0xdb, 0xf6, 0x4a}};
constexpr GUID SELECTION = {0xfb8b03af, 0x3bdf, 0x48d4, {0xbd, 0x36, 0x1a, 0x65, 0x79, 0x3b, 0xe1, 0x68}};
constexpr GUID SELECTION_ITEM = {0x2acad808, 0xb2d4, 0x452d, {0xa4, 0x07, 0x91, 0xff, 0x1a, 0xd1, 0x67, 0xb2}};
constexpr GUID EXPAND_COLLAPSE = {0xd847d3a5, 0xcab0, 0x4a98, {0x8c, 0x32, 0xec, 0xb4, 0x5c, 0x59, 0xad, 0x24}};
constexpr GUID SCROLL = {0xb38b8077, 0x1fc3, 0x42a5, {0x8c, 0xae, 0xd4, 0x0c, 0x22, 0x15, 0x05, 0x5a}};
constexpr GUID SCROLL_ITEM = {0x2360c714, 0x4bf1, 0x4b26, {0xba, 0x65, 0x9b, 0x21, 0x31, 0x61, 0x27, 0xeb}};
constexpr GUID GRID = {0xb17d6187, 0x0907, 0x464b, {0xa1, 0x68, 0x0e, 0xf1, 0x7a, 0x15, 0x72, 0xb1}};
constexpr GUID GRID_ITEM = {0xd02541f1, 0xfb81, 0x4d64, {0xae, 0x32, 0xf5, 0x20, 0xf8, 0xa6, 0xdb, 0xd1}};
constexpr GUID TABLE = {0x9c860395, 0x97b3, 0x490a, {0xb5, 0x2a, 0x85, 0x8c, 0xc2, 0x2a, 0xf1, 0x66}};
constexpr GUID TABLE_ITEM = {0xb9734fa6, 0x771f, 0x4d78, {0x9c, 0x90, 0x25, 0x17, 0x99, 0x93, 0x49, 0xcd}};

constexpr int DATA_GRID = 50028, DATA_ITEM = 50029, HEADER = 50034, HEADER_ITEM = 50035, TEXT = 50020;
constexpr int STRUCTURE_CHANGED = 20002, FOCUS_CHANGED = 20005, ELEMENT_SELECTED = 20012;
constexpr int CHILDREN_INVALIDATED = 2;
enum ExpandState { COLLAPSED = 0, EXPANDED = 1, LEAF = 3 };
enum ScrollAmount { LARGE_DECREMENT = 0, SMALL_DECREMENT = 1, NO_AMOUNT = 2, LARGE_INCREMENT = 3, SMALL_INCREMENT = 4 };
constexpr double NO_SCROLL = -1;

using Simple = IRawElementProviderSimple;

struct ValueProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* readOnly) = 0;
};
struct SelectionProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSelection(SAFEARRAY** selection) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CanSelectMultiple(BOOL* multiple) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsSelectionRequired(BOOL* required) = 0;
};
struct SelectionItemProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Select() = 0;
    virtual HRESULT STDMETHODCALLTYPE AddToSelection() = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFromSelection() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsSelected(BOOL* selected) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SelectionContainer(Simple** container) = 0;
};
struct ExpandCollapseProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Expand() = 0;
    virtual HRESULT STDMETHODCALLTYPE Collapse() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ExpandCollapseState(int* state) = 0;
};
struct ScrollProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Scroll(int horizontal, int vertical) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetScrollPercent(double horizontal, double vertical) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HorizontalScrollPercent(double* percent) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VerticalScrollPercent(double* percent) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HorizontalViewSize(double* percent) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VerticalViewSize(double* percent) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HorizontallyScrollable(BOOL* scrollable) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VerticallyScrollable(BOOL* scrollable) = 0;
};
struct ScrollItemProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ScrollIntoView() = 0;
};
struct GridProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetItem(int row, int column, Simple** item) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RowCount(int* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ColumnCount(int* count) = 0;
};
struct GridItemProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Row(int* row) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Column(int* column) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RowSpan(int* span) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ColumnSpan(int* span) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ContainingGrid(Simple** grid) = 0;
};
struct TableProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetRowHeaders(SAFEARRAY** headers) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetColumnHeaders(SAFEARRAY** headers) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RowOrColumnMajor(int* major) = 0;
};
struct TableItemProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetRowHeaderItems(SAFEARRAY** headers) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetColumnHeaderItems(SAFEARRAY** headers) = 0;
};

} // namespace view::uia
