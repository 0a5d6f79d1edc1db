// The fonts, brushes and icons the view draws with, made from the settings.
#pragma once

#include <windows.h>

namespace app {

constexpr int TRAY_LEVELS = 15;
// A bar colour that follows the system's application-workspace colour.
constexpr COLORREF SYSTEM_COLOR = 0xFFFFFFFF;
// The system brush used for SYSTEM_COLOR; it is never deleted.
const HBRUSH APP_WORKSPACE_BRUSH = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_APPWORKSPACE + 1));

struct DisplayResources {
    HICON trayIcons[TRAY_LEVELS] = {};
    HBRUSH processBrush = nullptr;
    HBRUSH threadBrush = nullptr;
    HBRUSH increaseBrush = nullptr;
    HBRUSH decreaseBrush = nullptr;
    HFONT viewFont = nullptr;
    LOGFONTW glyphLogFont = {};
    HFONT glyphFont = nullptr; // Marlett: the expand and collapse marks
    int rowHeight = 0;
    int glyphWidth = 0;
};

extern DisplayResources display;

void CreateDisplayResources();
void DestroyDisplayResources();

} // namespace app
