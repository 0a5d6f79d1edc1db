#include "view/TypeToFind.h"

#include "model/Records.h"
#include "view/Scroll.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <iterator>

namespace view {

namespace {

struct TypedText {
    wchar_t chars[64] = {};
    int length = 0;
    DWORD lastTime = 0;
};

TypedText typedText;

bool StartsWith(const wchar_t* name, const wchar_t* prefix, int length)
{
    int nameLength = static_cast<int>(wcsnlen(name, static_cast<size_t>(length)));
    return nameLength == length && CompareStringOrdinal(name, length, prefix, length, TRUE) == CSTR_EQUAL;
}

// The first row from `start` on, wrapping round, whose name starts with the
// prefix; -1 when none does.
int32_t FindRow(int32_t start, const wchar_t* prefix, int length)
{
    const auto& rows = model::modelState.displayList;
    int32_t count = RowCount();
    for (int32_t k = 0; k < count; ++k) {
        int32_t row = (start + k) % count;
        if (StartsWith(rows[static_cast<size_t>(row)]->name, prefix, length))
            return row;
    }
    return -1;
}

// The same letter typed again and again steps through the rows that start
// with it.
bool OneLetterRepeated(const TypedText& t)
{
    return t.length > 1 && std::all_of(t.chars, t.chars + t.length, [&t](wchar_t c) { return c == t.chars[0]; });
}

} // namespace

void TypeToFind(HWND window, wchar_t typed, DWORD time)
{
    TypedText& t = typedText;
    if (typed == L'\b' || typed == 0x1B) {
        t.length = 0;
        return;
    }
    if (typed < L' ' || RowCount() == 0)
        return;
    if (t.length > 0 && time - t.lastTime > TYPE_TO_FIND_PAUSE_MS)
        t.length = 0;
    t.lastTime = time;
    if (t.length < static_cast<int>(std::size(t.chars)) - 1)
        t.chars[t.length++] = typed;
    t.chars[t.length] = 0;

    // A new search starts after the focus row; a longer text may stay on it.
    int32_t focus = std::max<int32_t>(model::modelState.focusRow, -1);
    bool stepping = t.length == 1 || OneLetterRepeated(t);
    int32_t start = stepping ? focus + 1 : std::max(focus, 0);
    int32_t row = FindRow(start % RowCount(), t.chars, stepping ? 1 : t.length);
    if (row >= 0)
        SelectRow(window, row, SELECT | FOCUS);
}

} // namespace view
