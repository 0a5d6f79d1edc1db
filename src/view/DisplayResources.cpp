#include "view/DisplayResources.h"

#include "resources/resource.h"
#include "ui/Platform.h"
#include "ui/Settings.h"

namespace view {

DisplayResources display;

namespace {

BarBrush MakeBarBrush(COLORREF color)
{
    return BarBrush(color == SYSTEM_COLOR ? APP_WORKSPACE_BRUSH : CreateSolidBrush(color));
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
    const ui::SettingsRecord& settings = ui::settings;
    DestroyDisplayResources();
    for (int i = 0; i < TRAY_LEVELS; ++i)
        display.trayIcons[i].Reset(LoadIconW(ui::platform.instance, MAKEINTRESOURCEW(IDI_TRAY_FIRST + i)));
    display.decreaseBrush = MakeBarBrush(settings.decreaseColor);
    display.increaseBrush = MakeBarBrush(settings.increaseColor);
    display.threadBrush = MakeBarBrush(settings.threadColor);
    display.processBrush = MakeBarBrush(settings.processColor);
    core::MemoryDc dc(CreateCompatibleDC(nullptr));
    LOGFONTW font = ScaledFont(dc.Get(), settings.font);
    display.viewFont.Reset(CreateFontIndirectW(&font));
    {
        core::SelectionGuard selected(dc.Get(), display.viewFont.Get());
        display.rowHeight = TextSize(dc.Get(), L"M").cy;
    }

    display.glyphLogFont = LOGFONTW();
    display.glyphLogFont.lfHeight = display.rowHeight;
    display.glyphLogFont.lfWeight = FW_NORMAL;
    display.glyphLogFont.lfCharSet = SYMBOL_CHARSET;
    wcscpy(display.glyphLogFont.lfFaceName, L"Marlett");
    display.glyphFont.Reset(CreateFontIndirectW(&display.glyphLogFont));
    core::SelectionGuard selected(dc.Get(), display.glyphFont.Get());
    SIZE glyph = TextSize(dc.Get(), L"6");
    if (glyph.cy > display.rowHeight)
        display.rowHeight = glyph.cy;
    display.glyphWidth = glyph.cx;
}

void DestroyDisplayResources()
{
    display = DisplayResources();
}

} // namespace view
