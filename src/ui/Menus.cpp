#include "ui/Menus.h"

#include "core/WideString.h"

namespace ui {

void AppendItem(HMENU menu, UINT flags, UINT_PTR command, const wchar_t* text)
{
    AppendMenuW(menu, MF_STRING | flags, command, text);
}

void AppendItem(HMENU menu, UINT flags, UINT_PTR command, unsigned textId)
{
    core::WideString text(core::TextId(textId));
    AppendItem(menu, flags, command, text.Chars());
}

void AppendSubmenu(HMENU menu, core::Menu& submenu, UINT flags, const wchar_t* text)
{
    if (AppendMenuW(menu, MF_POPUP | MF_STRING | flags, reinterpret_cast<UINT_PTR>(submenu.Get()), text))
        submenu.Release();
}

void AppendSubmenu(HMENU menu, core::Menu& submenu, UINT flags, unsigned textId)
{
    core::WideString text(core::TextId(textId));
    AppendSubmenu(menu, submenu, flags, text.Chars());
}

} // namespace ui
