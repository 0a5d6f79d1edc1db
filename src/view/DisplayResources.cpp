#include "view/DisplayResources.h"

#include "resources/resource.h"
#include "ui/Platform.h"
#include "ui/Settings.h"
#include "view/Scroll.h"
#include "view/Tray.h"

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

// The main window's DPI once known; 0 before.
int windowDpi = 0;

// The notification area's small-icon size: for the DPI of the screen the
// taskbar is on, where the system can say.
SIZE TrayIconSize()
{
    const ui::PlatformState& p = ui::platform;
    HWND taskbar = p.dpiForWindowFn && p.metricForDpiFn ? FindWindowW(L"Shell_TrayWnd", nullptr) : nullptr;
    UINT dpi = taskbar ? p.dpiForWindowFn(taskbar) : 0;
    if (dpi)
        return {p.metricForDpiFn(SM_CXSMICON, dpi), p.metricForDpiFn(SM_CYSMICON, dpi)};
    return {GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)};
}

} // namespace

int screenDpiOverride = 0;

int ScreenDpi()
{
    if (screenDpiOverride)
        return screenDpiOverride;
    core::MemoryDc dc(CreateCompatibleDC(nullptr));
    return GetDeviceCaps(dc.Get(), LOGPIXELSY);
}

int ViewDpi()
{
    return windowDpi > 0 ? windowDpi : ScreenDpi();
}

LOGFONTW FontAtDpi(const LOGFONTW& font, int from, int to)
{
    LOGFONTW scaled = font;
    if (from > 0 && to > 0)
        scaled.lfHeight = MulDiv(font.lfHeight, to, from);
    return scaled;
}

LOGFONTW FontForScreen(const LOGFONTW& stored)
{
    return FontAtDpi(stored, STORED_DPI, ViewDpi());
}

void LoadTrayIcons()
{
    // The notification area shows small icons; these are loaded unshared, so
    // they are this program's own to destroy.
    SIZE small = TrayIconSize();
    for (int i = 0; i < TRAY_LEVELS; ++i) {
        HANDLE icon =
            LoadImageW(ui::platform.instance, MAKEINTRESOURCEW(IDI_TRAY_FIRST + i), IMAGE_ICON, small.cx, small.cy, 0);
        display.trayIcons[i].Reset(static_cast<HICON>(icon));
    }
}

SystemParametersFunction systemParameters = SystemParametersInfoW;

bool HighContrastOn()
{
    HIGHCONTRASTW scheme = {};
    scheme.cbSize = sizeof scheme;
    return systemParameters(SPI_GETHIGHCONTRAST, sizeof scheme, &scheme, 0) && (scheme.dwFlags & HCF_HIGHCONTRASTON);
}

void MakeBarBrushes()
{
    const ui::SettingsRecord& settings = ui::settings;
    display.highContrast = HighContrastOn();
    if (!display.highContrast) {
        display.decreaseBrush = MakeBarBrush(settings.decreaseColor);
        display.increaseBrush = MakeBarBrush(settings.increaseColor);
        display.threadBrush = MakeBarBrush(settings.threadColor);
        display.processBrush = MakeBarBrush(settings.processColor);
        return;
    }
    // Growth rises and shrinkage falls: told apart by the hatch's slant, in
    // the one colour the scheme guarantees against the window's.
    COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    display.decreaseBrush = BarBrush(CreateHatchBrush(HS_FDIAGONAL, ink));
    display.increaseBrush = BarBrush(CreateHatchBrush(HS_BDIAGONAL, ink));
    display.threadBrush = BarBrush(CreateSolidBrush(GetSysColor(COLOR_GRAYTEXT)));
    display.processBrush = BarBrush(CreateSolidBrush(ink));
}

void FollowSystemColours(HWND window)
{
    MakeBarBrushes();
    InvalidateRect(window, nullptr, TRUE);
}

void CreateDisplayResources()
{
    const ui::SettingsRecord& settings = ui::settings;
    DestroyDisplayResources();
    LoadTrayIcons();
    MakeBarBrushes();
    core::MemoryDc dc(CreateCompatibleDC(nullptr));
    LOGFONTW font = FontForScreen(settings.font);
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
    // The plain metric is the system DPI's, whatever the window's monitor has.
    const ui::PlatformState& p = ui::platform;
    display.frameWidth = p.metricForDpiFn ? p.metricForDpiFn(SM_CXFRAME, static_cast<UINT>(ViewDpi()))
                                          : GetSystemMetrics(SM_CXFRAME);
}

void DestroyDisplayResources()
{
    display = DisplayResources();
}

void AdoptWindowDpi(HWND window)
{
    int before = ViewDpi();
    windowDpi = ui::platform.dpiForWindowFn ? static_cast<int>(ui::platform.dpiForWindowFn(window)) : 0;
    if (ViewDpi() != before) {
        CreateDisplayResources();
        ResetColumns();
    }
}

void ChangeDpi(HWND window, int dpi, const RECT* suggested)
{
    if (dpi <= 0)
        return;
    windowDpi = dpi;
    CreateDisplayResources();
    ResetColumns();
    if (suggested)
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateScrollRange(window);
    // The icons were made again: the notification area gets the new ones.
    UpdateTray();
    InvalidateRect(window, nullptr, TRUE);
}

} // namespace view
