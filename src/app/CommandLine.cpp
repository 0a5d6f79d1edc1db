#include "app/CommandLine.h"

#include "core/Handles.h"
#include "core/WideString.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "ui/Settings.h"
#include "view/Refresh.h"
#include "view/Scroll.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cwchar>
#include <cwctype>

namespace app {

namespace {

CommandLineResult Exit(int code)
{
    return {true, code};
}

CommandLineResult InvalidArgument(const wchar_t* argument)
{
    core::WideString text, caption(IDS_ERROR_CAPTION, nullptr);
    text.FormatResource(IDS_INVALID_ARGUMENT, argument);
    MessageBoxW(nullptr, text.Chars(), caption.Chars(), MB_ICONERROR);
    return Exit(1);
}

CommandLineResult Switch(const wchar_t* argument)
{
    const wchar_t* rest = argument + 1;
    if (wcscmp(rest, L"?") == 0) {
        core::WideString usage(IDS_USAGE, nullptr), caption(IDS_USAGE_CAPTION, nullptr);
        MessageBoxW(nullptr, usage.Chars(), caption.Chars(), MB_ICONINFORMATION);
        return Exit(0);
    }
    if (_wcsicmp(rest, L"t") == 0) {
        view::SetListOption(nullptr, view::SHOW_HIERARCHY, true);
        return {};
    }
    return InvalidArgument(argument);
}

LONG ClampToLong(int64_t value)
{
    return static_cast<LONG>(std::clamp<int64_t>(value, LONG_MIN, LONG_MAX));
}

// "@x,y" moves the window keeping its size; "+w,h" sizes it from its corner.
// The stored rectangle can hold anything, so the sums are made in 64 bits.
void Placement(const wchar_t* argument)
{
    int a = 0, b = 0;
    if (swscanf(argument + 1, L"%d,%d", &a, &b) != 2)
        return;
    RECT r = ui::settings.windowRect;
    if (argument[0] == L'@') {
        int64_t width = int64_t{r.right} - r.left, height = int64_t{r.bottom} - r.top;
        r = {a, b, ClampToLong(a + width), ClampToLong(b + height)};
    } else {
        r.right = ClampToLong(int64_t{r.left} + a);
        r.bottom = ClampToLong(int64_t{r.top} + b);
    }
    ui::RememberWindowRect(r);
    ui::SuppressSaving();
}

} // namespace

CommandLineResult ParseArguments(int count, wchar_t** arguments)
{
    for (int i = 1; i < count; ++i) {
        const wchar_t* argument = arguments[i];
        CommandLineResult result;
        if (argument[0] == L'-' || argument[0] == L'/') {
            result = Switch(argument);
        } else if (argument[0] == L'\\' && argument[1] == L'\\') {
            // The connection reports its own failure.
            if (!perf::ConnectToMachine(nullptr, argument + 2))
                result = Exit(1);
        } else if (iswdigit(argument[0])) {
            int counter = _wtoi(argument);
            if (counter == 0)
                result = InvalidArgument(argument);
            else
                view::ChooseCounter(static_cast<uint32_t>(counter));
        } else if (argument[0] == L'@' || argument[0] == L'+') {
            Placement(argument);
        } else {
            result = InvalidArgument(argument);
        }
        if (result.exitRequested)
            return result;
    }
    return {};
}

void ParseCommandLine()
{
    const wchar_t* line = GetCommandLineW();
    int count = 0;
    core::LocalMemory<wchar_t**> arguments(line ? CommandLineToArgvW(line, &count) : nullptr);
    if (!arguments)
        return;
    CommandLineResult result = ParseArguments(count, arguments.Get());
    arguments.Reset(); // ExitProcess runs no destructors
    if (result.exitRequested)
        ExitProcess(static_cast<UINT>(result.exitCode));
}

} // namespace app
