#include "app/DisplayResources.h"

#include "app/AppState.h"
#include "app/Settings.h"
#include "core/Handles.h"
#include "resources/resource.h"

namespace app {

DisplayResources display;

namespace {

HBRUSH BarBrush(COLORREF color)
{
    return color == SYSTEM_COLOR ? APP_WORKSPACE_BRUSH : CreateSolidBrush(color);
}

void DeleteBrush(HBRUSH brush)
{
    if (brush && brush != APP_WORKSPACE_BRUSH)
        DeleteObject(brush);
}

SIZE TextSize(HDC dc, const wchar_t* text)
{
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, 1, &size);
    return size;
}

// The stored height is meant at 96 DPI; the program declares itself DPI aware,
// so the font is made for the screen's DPI.
LOGFONTW ScaledFont(HDC dc, const LOGFONTW& font)
{
    LOGFONTW scaled = font;
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    if (dpi > 0)
        scaled.lfHeight = MulDiv(font.lfHeight, dpi, 96);
    return scaled;
}

} // namespace

void CreateDisplayResources()
{
    for (int i = 0; i < TRAY_LEVELS; ++i)
        display.trayIcons[i] = LoadIconW(state.instance, MAKEINTRESOURCEW(IDI_TRAY_FIRST + i));
    display.decreaseBrush = BarBrush(settings.decreaseColor);
    display.increaseBrush = BarBrush(settings.increaseColor);
    display.threadBrush = BarBrush(settings.threadColor);
    display.processBrush = BarBrush(settings.processColor);
    core::MemoryDc dc(CreateCompatibleDC(nullptr));
    LOGFONTW font = ScaledFont(dc.Get(), settings.font);
    display.viewFont = CreateFontIndirectW(&font);
    {
        core::SelectionGuard selected(dc.Get(), display.viewFont);
        display.rowHeight = TextSize(dc.Get(), L"M").cy;
    }

    display.glyphLogFont = LOGFONTW();
    display.glyphLogFont.lfHeight = display.rowHeight;
    display.glyphLogFont.lfWeight = FW_NORMAL;
    display.glyphLogFont.lfCharSet = SYMBOL_CHARSET;
    wcscpy(display.glyphLogFont.lfFaceName, L"Marlett");
    display.glyphFont = CreateFontIndirectW(&display.glyphLogFont);
    core::SelectionGuard selected(dc.Get(), display.glyphFont);
    SIZE glyph = TextSize(dc.Get(), L"6");
    if (glyph.cy > display.rowHeight)
        display.rowHeight = glyph.cy;
    display.glyphWidth = glyph.cx;
}

void DestroyDisplayResources()
{
    for (HICON icon : display.trayIcons) {
        if (icon)
            DestroyIcon(icon);
    }
    DeleteObject(display.viewFont);
    DeleteObject(display.glyphFont);
    DeleteBrush(display.decreaseBrush);
    DeleteBrush(display.increaseBrush);
    DeleteBrush(display.threadBrush);
    DeleteBrush(display.processBrush);
}

} // namespace app
