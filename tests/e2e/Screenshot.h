// The screen as a 24-bpp bitmap file beside the test.
#pragma once

#include "core/Handles.h"
#include "support/ChildProcess.h"

#include <cstdio>

inline bool SaveScreenshot(const wchar_t* fileName)
{
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER), size = (width * 3 + 3) / 4 * 4 * height;
    BITMAPFILEHEADER file = {0x4D42, headers + size, 0, 0, headers};
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, size, 0, 0, 0, 0};
    core::WindowDc screen(nullptr);
    core::MemoryDc memory(CreateCompatibleDC(screen.Get()));
    void* bits = nullptr;
    core::Bitmap bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    core::SelectionGuard canvas(memory.Get(), bitmap.Get());
    BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), 0, 0, SRCCOPY);
    GdiFlush();
    FILE* out = _wfopen((testing_support::TestFolder() + fileName).c_str(), L"wb");
    bool written = out && fwrite(&file, sizeof(file), 1, out) && fwrite(&info, sizeof(info.bmiHeader), 1, out) &&
                   fwrite(bits, size, 1, out);
    return out && fclose(out) == 0 && written;
}
