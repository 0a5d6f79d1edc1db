// The fonts, brushes and icons the view draws with, made from the settings.
#pragma once

#include "core/Handles.h"

#include <windows.h>

namespace view {

constexpr int TRAY_LEVELS = 15;
// A bar colour that follows the system's application-workspace colour.
constexpr COLORREF SYSTEM_COLOR = 0xFFFFFFFF;
// The system brush used for SYSTEM_COLOR; it is never deleted.
const HBRUSH APP_WORKSPACE_BRUSH = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_APPWORKSPACE + 1));

struct BarBrushTraits {
    static bool IsValid(HBRUSH brush) { return brush && brush != APP_WORKSPACE_BRUSH; }
    static void Close(HBRUSH brush) { DeleteObject(brush); }
};
// A bar's brush, or the system's workspace brush, which is not deleted.
using BarBrush = core::UniqueResource<HBRUSH, BarBrushTraits>;

struct DisplayResources {
    core::Icon trayIcons[TRAY_LEVELS];
    BarBrush processBrush;
    BarBrush threadBrush;
    BarBrush increaseBrush;
    BarBrush decreaseBrush;
    core::Font viewFont;
    LOGFONTW glyphLogFont = {};
    core::Font glyphFont; // Marlett: the expand and collapse marks
    int rowHeight = 0;
    int glyphWidth = 0;
    // The bars were made in the system's colours, with patterns for change.
    bool highContrast = false;
    int frameWidth = 0; // a window frame's width at the view's DPI
    // The paint's off-screen canvas, kept while the client area keeps its
    // size; its bitmap is selected only while a paint runs.
    core::MemoryDc canvasDc;
    core::Bitmap canvasBitmap;
    SIZE canvasSize = {};
};

extern DisplayResources display;

// A stored font height is meant at this DPI, whatever the screen's.
constexpr int STORED_DPI = 96;
// The system's DPI; tests may pretend another.
int ScreenDpi();
extern int screenDpiOverride;
// The DPI the view draws at: its window's monitor's once known, else the system's.
int ViewDpi();
// A font's height meant at one DPI, made for another.
LOGFONTW FontAtDpi(const LOGFONTW& font, int from, int to);
// A stored font as it is made for the view.
LOGFONTW FontForScreen(const LOGFONTW& stored);

// How the view asks SPI_GETHIGHCONTRAST; tests may answer in its place.
using SystemParametersFunction = BOOL(WINAPI*)(UINT, UINT, void*, UINT);
extern SystemParametersFunction systemParameters;
bool HighContrastOn();
// The bar brushes for the colour scheme now: in high contrast, system
// colours and hatched changes; otherwise the stored colours, which stay as
// they are either way.
void MakeBarBrushes();
// WM_SYSCOLORCHANGE, WM_SETTINGCHANGE: the bars follow at once.
void FollowSystemColours(HWND window);

// Makes the resources anew from the settings, releasing the ones held.
void CreateDisplayResources();
// The gauges' icons again, at the small-icon size of the taskbar's screen now.
void LoadTrayIcons();
void DestroyDisplayResources();

// The new window draws at its own monitor's DPI.
void AdoptWindowDpi(HWND window);
// WM_DPICHANGED: fonts, marks and row height made for the new DPI, and the
// rectangle the system suggests for it taken.
void ChangeDpi(HWND window, int dpi, const RECT* suggested);

} // namespace view
