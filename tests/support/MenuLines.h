// Menus read back item by item, one line each, so that a test compares a
// whole menu at once: "text #id" for a command, "text >" for a sub-menu,
// "---" for a separator, then " checked", " greyed" (MF_GRAYED) or
// " disabled" (MF_DISABLED alone) as the item's state says.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

inline std::wstring MenuLine(HMENU menu, int position)
{
    wchar_t text[256] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU | MIIM_FTYPE;
    info.dwTypeData = text;
    info.cch = 256;
    if (!GetMenuItemInfoW(menu, position, TRUE, &info))
        return L"<unreadable>";
    if (info.fType & MFT_SEPARATOR)
        return L"---";
    std::wstring line = text + (info.hSubMenu ? L" >" : L" #" + std::to_wstring(info.wID));
    // MFS_GRAYED covers both bits; MF_GRAYED alone is bit 0, MF_DISABLED bit 1.
    const wchar_t* greyed = info.fState & MF_GRAYED ? L" greyed" : info.fState & MF_DISABLED ? L" disabled" : L"";
    return line + (info.fState & MFS_CHECKED ? L" checked" : L"") + greyed;
}

inline std::vector<std::wstring> MenuLines(HMENU menu)
{
    std::vector<std::wstring> lines;
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        lines.push_back(MenuLine(menu, i));
    return lines;
}

} // namespace testing_support
