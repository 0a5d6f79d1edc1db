#include "app/CommandLine.h"

#include "app/Settings.h"
#include "core/WideString.h"
#include "model/Records.h"
#include "perf/CounterValues.h"
#include "perf/PerfData.h"
#include "resources/resource.h"

#include <windows.h>
#include <shellapi.h>

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
        model::state.showHierarchy = true;
        return {};
    }
    return InvalidArgument(argument);
}

// "@x,y" moves the window keeping its size; "+w,h" sizes it from its corner.
void Placement(const wchar_t* argument)
{
    int a = 0, b = 0;
    if (swscanf(argument + 1, L"%d,%d", &a, &b) != 2)
        return;
    RECT& r = settings.windowRect;
    if (argument[0] == L'@') {
        r = {a, b, a + (r.right - r.left), b + (r.bottom - r.top)};
    } else {
        r.right = r.left + a;
        r.bottom = r.top + b;
    }
    settings.suppressSave = 1;
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
                perf::selection.counterIndex = static_cast<uint32_t>(counter);
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
    wchar_t** arguments = line ? CommandLineToArgvW(line, &count) : nullptr;
    if (!arguments)
        return;
    CommandLineResult result = ParseArguments(count, arguments);
    LocalFree(arguments);
    if (result.exitRequested)
        ExitProcess(static_cast<UINT>(result.exitCode));
}

} // namespace app
