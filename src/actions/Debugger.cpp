#include "actions/Debugger.h"

namespace actions {

namespace {

constexpr DWORD DEBUGGER_TEXT_LENGTH = 255;
constexpr int MAX_DEBUGGER_CONVERSIONS = 2;

bool IsFormatFlag(wchar_t c)
{
    return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'0';
}

// Reads one conversion after its '%'; false for anything but an integer
// conversion that takes one 32-bit argument.
bool SkipIntegerConversion(const wchar_t*& p)
{
    while (IsFormatFlag(*p))
        ++p;
    while (*p >= L'0' && *p <= L'9')
        ++p;
    if (*p == L'l')
        ++p;
    if (*p != L'd' && *p != L'u' && *p != L'x')
        return false;
    ++p;
    return true;
}

} // namespace

bool IsSafeDebuggerFormat(const wchar_t* format)
{
    int conversions = 0;
    for (const wchar_t* p = format; *p;) {
        if (*p++ != L'%')
            continue;
        if (*p == L'%') {
            ++p;
            continue;
        }
        if (!SkipIntegerConversion(p) || ++conversions > MAX_DEBUGGER_CONVERSIONS)
            return false;
    }
    return true;
}

core::WideString ReadRegisteredDebugger()
{
    wchar_t text[DEBUGGER_TEXT_LENGTH] = {};
    GetProfileStringW(L"AeDebug", L"Debugger", L"", text, DEBUGGER_TEXT_LENGTH);
    if (!text[0] || !IsSafeDebuggerFormat(text))
        return core::WideString();
    return core::WideString(text);
}

} // namespace actions
