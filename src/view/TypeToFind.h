// Typing the first letters of a name moves the focus and the selection to
// the next row with that name, as list controls do.
#pragma once

#include <windows.h>

namespace view {

// Letters typed within this long of each other make one search.
constexpr DWORD TYPE_TO_FIND_PAUSE_MS = 1000;

// A WM_CHAR typed at `time` (the message's time, in milliseconds): a letter
// extends the search, Backspace and Escape start it again.
void TypeToFind(HWND window, wchar_t typed, DWORD time);

} // namespace view
