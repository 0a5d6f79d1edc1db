// Appending items and sub-menus to menus built at run time.
#pragma once

#include "core/Handles.h"

#include <windows.h>

namespace ui {

// A string item; a text below 0x10000 is taken as a string-table id by the
// overload that takes an id.
void AppendItem(HMENU menu, UINT flags, UINT_PTR command, const wchar_t* text);
void AppendItem(HMENU menu, UINT flags, UINT_PTR command, unsigned textId);
// Hangs `submenu` under `menu`, which then owns it.
void AppendSubmenu(HMENU menu, core::Menu& submenu, UINT flags, const wchar_t* text);
void AppendSubmenu(HMENU menu, core::Menu& submenu, UINT flags, unsigned textId);

inline UINT Checked(bool on)
{
    return on ? MF_CHECKED : MF_UNCHECKED;
}

} // namespace ui
