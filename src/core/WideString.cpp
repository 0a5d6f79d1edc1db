#include "core/WideString.h"

#include "core/Handles.h"
#include "resources/resource.h"

#include <cwchar>

namespace core {

namespace {

int allocationsLeft = -1; // negative: no failure injected

wchar_t* AllocateChars(uint32_t count)
{
    if (allocationsLeft == 0)
        return nullptr;
    if (allocationsLeft > 0)
        --allocationsLeft;
    return static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, size_t(count) * sizeof(wchar_t)));
}

void FreeChars(wchar_t* buffer)
{
    if (buffer)
        HeapFree(GetProcessHeap(), 0, buffer);
}

// Formatting and resource loading grow by doubling up to 1024 characters,
// then in steps of 1024.
uint32_t NextSize(uint32_t size)
{
    return size < 1024 ? size * 2 : size + 1024;
}

bool InRange(int value, int low, int high)
{
    return value >= low && value <= high;
}

bool IsFormattableTime(const struct tm& time)
{
    return InRange(time.tm_sec, 0, 59) && InRange(time.tm_min, 0, 59) && InRange(time.tm_hour, 0, 23) &&
           InRange(time.tm_mday, 1, 31) && InRange(time.tm_mon, 0, 11) &&
           InRange(time.tm_year, -1900, 8099) && InRange(time.tm_wday, 0, 6) &&
           InRange(time.tm_yday, 0, 365);
}

HMODULE ProgramModule()
{
    return GetModuleHandleW(nullptr);
}

} // namespace

const wchar_t* ProgramFormat(unsigned id)
{
    // Formats serve every row of a refresh: each entry of the program's own
    // table is loaded once, and a failed load is tried again next time.
    static WideString loaded[IDS_LAST - IDS_FIRST + 1];
    if (id < IDS_FIRST || id > IDS_LAST)
        return nullptr;
    WideString& entry = loaded[id - IDS_FIRST];
    if (!entry.text)
        entry.LoadResourceString(id);
    return entry.text;
}

void FailAllocationsAfter(int count)
{
    allocationsLeft = count;
}

WideString::WideString(const wchar_t* textOrId)
{
    LoadTextOrId(textOrId);
}

WideString::WideString(const char* textOrId)
{
    if (!textOrId)
        return;
    if (IsStringId(textOrId)) {
        LoadResourceString(static_cast<unsigned>(reinterpret_cast<uintptr_t>(textOrId)));
        return;
    }
    uint32_t count = static_cast<uint32_t>(strlen(textOrId)) + 1;
    ResizeDiscarding(count);
    if (text && MultiByteToWideChar(CP_ACP, 0, textOrId, -1, text, static_cast<int>(count)) == 0)
        text[0] = 0;
}

WideString::WideString(unsigned id, HMODULE module)
{
    LoadResourceString(id, module);
}

WideString::WideString(WideString&& other) noexcept : text(other.text), capacity(other.capacity)
{
    other.text = nullptr;
    other.capacity = 0;
}

WideString& WideString::operator=(WideString&& other) noexcept
{
    if (this != &other) {
        Clear();
        text = other.text;
        capacity = other.capacity;
        other.text = nullptr;
        other.capacity = 0;
    }
    return *this;
}

uint32_t WideString::Length() const
{
    return static_cast<uint32_t>(wcslen(Chars()));
}

void WideString::Clear()
{
    FreeChars(text);
    text = nullptr;
    capacity = 0;
}

void WideString::Adopt(wchar_t* buffer, uint32_t count)
{
    FreeChars(text);
    text = buffer;
    capacity = buffer ? count : 0;
}

void WideString::ResizeDiscarding(uint32_t count)
{
    if (count == capacity)
        return;
    wchar_t* buffer = AllocateChars(count);
    if (buffer)
        buffer[0] = 0;
    Adopt(buffer, count);
}

void WideString::ResizeKeeping(uint32_t count, const wchar_t* source, uint32_t sourceCapacity)
{
    wchar_t* buffer = AllocateChars(count);
    if (buffer) {
        uint32_t limit = source ? (count < sourceCapacity ? count : sourceCapacity) : 0;
        uint32_t i = 0;
        for (; i < limit && source[i]; ++i)
            buffer[i] = source[i];
        for (; i < count; ++i)
            buffer[i] = 0;
    }
    Adopt(buffer, count);
}

void WideString::LoadTextOrId(const wchar_t* textOrId)
{
    if (!textOrId)
        return;
    if (IsStringId(textOrId)) {
        LoadResourceString(static_cast<unsigned>(reinterpret_cast<uintptr_t>(textOrId)));
        return;
    }
    uint32_t length = static_cast<uint32_t>(wcslen(textOrId));
    ResizeKeeping(length + 1, textOrId, length + 1);
}

WideString& WideString::Assign(const WideString& other)
{
    uint32_t length = other.Length();
    if (length == 0 && capacity == 1) {
        text[0] = 0;
        return *this;
    }
    ResizeKeeping(length + 1, other.text, other.capacity);
    return *this;
}

bool WideString::LoadResourceString(unsigned id, HMODULE module)
{
    if (!module)
        module = ProgramModule();
    for (uint32_t size = 16;; size = NextSize(size)) {
        ResizeDiscarding(size);
        if (!text)
            return false;
        int loaded = LoadStringW(module, id, text, static_cast<int>(capacity));
        if (loaded <= 0) {
            Clear();
            return false;
        }
        if (static_cast<uint32_t>(loaded) < capacity - 1)
            return true;
    }
}

WideString& WideString::Append(const wchar_t* more)
{
    // Built in a new buffer before the old one goes, so `more` may point into it.
    uint32_t oldLength = Length();
    uint32_t moreLength = static_cast<uint32_t>(wcslen(more ? more : L""));
    uint32_t count = oldLength + moreLength + 1;
    wchar_t* buffer = AllocateChars(count);
    if (buffer) {
        wmemcpy(buffer, Chars(), oldLength);
        wmemcpy(buffer + oldLength, more ? more : L"", moreLength);
        buffer[count - 1] = 0;
    }
    Adopt(buffer, count);
    return *this;
}

int WideString::FormatV(const wchar_t* format, va_list args)
{
    // Most texts fit the first buffer; a longer one is measured and made once.
    for (uint32_t size = 128;;) {
        ResizeDiscarding(size);
        if (!text)
            return 0;
        va_list attempt;
        va_copy(attempt, args);
        int written = _vsnwprintf(text, capacity, format, attempt);
        va_end(attempt);
        // A result of exactly capacity - 1 may have been cut, so it counts as too long.
        if (written != -1 && static_cast<uint32_t>(written) < capacity - 1)
            return written;
        va_copy(attempt, args);
        int needed = _vscwprintf(format, attempt);
        va_end(attempt);
        // -1 here means it cannot be formatted at all; a size already tried
        // and still too small would not get larger.
        if (needed < 0 || static_cast<uint32_t>(needed) + 2 <= size) {
            Clear();
            return 0;
        }
        size = static_cast<uint32_t>(needed) + 2;
    }
}

int WideString::Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int count = FormatV(format, args);
    va_end(args);
    return count;
}

int WideString::FormatResource(unsigned formatId, ...)
{
    const wchar_t* format = ProgramFormat(formatId);
    if (!format) {
        Clear();
        return 0;
    }
    va_list args;
    va_start(args, formatId);
    int count = FormatV(format, args);
    va_end(args);
    return count;
}

int WideString::AppendFormatV(const wchar_t* format, va_list args)
{
    WideString formatted;
    int count = formatted.FormatV(format, args);
    if (count != 0)
        Append(formatted.text);
    return count;
}

int WideString::AppendFormat(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int count = AppendFormatV(format, args);
    va_end(args);
    return count;
}

int WideString::AppendFormatResource(unsigned formatId, ...)
{
    const wchar_t* format = ProgramFormat(formatId);
    if (!format)
        return 0;
    va_list args;
    va_start(args, formatId);
    int count = AppendFormatV(format, args);
    va_end(args);
    return count;
}

int WideString::FormatSystemMessage(DWORD flags, const void* source, DWORD messageId,
                                    DWORD languageId, va_list* arguments)
{
    LocalMemory<wchar_t*> message;
    DWORD count = FormatMessageW(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER, source, messageId,
                                 languageId, reinterpret_cast<LPWSTR>(message.Put()), 0, arguments);
    if (count == 0)
        return 0;
    ResizeKeeping(count + 1, message.Get(), count + 1);
    return text ? static_cast<int>(count) : 0;
}

int WideString::FormatTime(const wchar_t* format, const struct tm& time)
{
    ResizeDiscarding(40);
    if (!text)
        return 0;
    // The runtime's invalid-parameter handling may end the process on fields
    // out of range, so those are refused here.
    if (!IsFormattableTime(time)) {
        text[0] = 0;
        return 0;
    }
    size_t count = wcsftime(text, capacity, format, &time);
    // Wine reports a cut result as the whole buffer, unterminated.
    if (count == 0 || count >= capacity) {
        text[0] = 0;
        return 0;
    }
    return static_cast<int>(count);
}

int WideString::FormatSystemTime(const wchar_t* format, const SYSTEMTIME& time)
{
    struct tm broken = {};
    broken.tm_sec = time.wSecond;
    broken.tm_min = time.wMinute;
    broken.tm_hour = time.wHour;
    broken.tm_mday = time.wDay;
    broken.tm_mon = time.wMonth - 1;
    broken.tm_year = time.wYear - 1900;
    broken.tm_isdst = -1;
    // mktime fills in the weekday and the day of the year; its result is not needed.
    struct tm normalized = broken;
    if (mktime(&normalized) != static_cast<time_t>(-1))
        broken = normalized;
    return FormatTime(format, broken);
}

int WideString::FormatFileTime(const wchar_t* format, const FILETIME& time)
{
    SYSTEMTIME system;
    if (!FileTimeToSystemTime(&time, &system)) {
        Clear();
        return 0;
    }
    return FormatSystemTime(format, system);
}

} // namespace core
