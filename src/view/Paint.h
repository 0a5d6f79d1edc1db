// Painting of the rows: expand mark, ID, name, and a bar whose growth and
// shrinkage since the previous sample have colours of their own.
#pragma once

#include "model/Records.h"
#include "view/ViewState.h"

#include <windows.h>

namespace view {

// Everything a paint reads, so that it can paint any device context.
struct PaintInput {
    const model::InstanceRecord* const* rows = nullptr;
    uint32_t rowCount = 0;
    int32_t topRow = 0;
    unsigned statusMessageId = 0; // drawn when there is no row
    bool hexIds = false;
    HFONT glyphFont = nullptr;
    HBRUSH processBrush = nullptr;
    HBRUSH threadBrush = nullptr;
    HBRUSH increaseBrush = nullptr;
    HBRUSH decreaseBrush = nullptr;
    int rowHeight = 1;
    int glyphWidth = 0;
    // Value texts get a background of their own, so that they stay readable
    // over bars drawn in the text's colour.
    bool highContrast = false;
    int frameWidth = 0; // the gap after the ID and the name columns
};

// Draws the rows visible in `client` over whatever is there, with the font
// selected into `dc`; widens the column marks.
void PaintContent(HDC dc, const RECT& client, const PaintInput& input, ColumnWidths& columns);

// The string id shown when there is no row.
unsigned StatusMessage();

// The program's model, resources and settings as a paint reads them.
PaintInput CurrentPaintInput();

// The window's WM_PAINT: the whole client area is drawn into a memory bitmap,
// which is then copied to the screen at once. The bitmap is kept for the
// next paint while the client area keeps its size.
void PaintView(HWND window);

// A row's ID as the list shows it, in decimal or hexadecimal.
void FormatRowId(uint32_t id, bool hex, wchar_t (&text)[16]);

// TextOutW of the whole text ("<null>" for none); measures it into `extent`
// when one is given.
void DrawTextAt(HDC dc, int x, int y, const wchar_t* text, SIZE* extent);

} // namespace view
