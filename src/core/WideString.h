// The program's owned UTF-16 string: exact-sized buffers, string-table loading
// and printf-style formatting that grows its buffer until the text fits.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <ctime>
#include <string>

namespace core {

// A value below 0x10000 given where text is expected is a string-table id.
inline bool IsStringId(const void* textOrId)
{
    return reinterpret_cast<uintptr_t>(textOrId) < 0x10000;
}

// Passes a string-table id where text-or-id is expected.
inline const wchar_t* TextId(unsigned id)
{
    return reinterpret_cast<const wchar_t*>(static_cast<uintptr_t>(id));
}

// An entry of the program's own string table (ids IDS_FIRST to IDS_LAST),
// loaded on first use and kept; null outside the table or when it cannot be
// loaded.
const wchar_t* ProgramFormat(unsigned id);

// The same entry as a standard string; empty where there is none.
inline std::wstring ProgramText(unsigned id)
{
    const wchar_t* text = ProgramFormat(id);
    return text ? text : L"";
}

class WideString {
public:
    WideString() = default;
    explicit WideString(const wchar_t* textOrId);
    explicit WideString(const char* textOrId);
    WideString(unsigned id, HMODULE module);
    ~WideString() { Clear(); }

    WideString(WideString&& other) noexcept;
    WideString& operator=(WideString&& other) noexcept;
    WideString(const WideString&) = delete;
    WideString& operator=(const WideString&) = delete;

    wchar_t* text = nullptr;
    uint32_t capacity = 0;

    // The text for readers that cannot take null: the empty text then.
    const wchar_t* Chars() const { return text ? text : L""; }
    uint32_t Length() const;

    void Clear();
    WideString& Assign(const WideString& other);
    bool LoadResourceString(unsigned id, HMODULE module = nullptr);
    WideString& Append(const wchar_t* more);

    int FormatV(const wchar_t* format, va_list args);
    int Format(const wchar_t* format, ...);
    int FormatResource(unsigned formatId, ...);
    int AppendFormat(const wchar_t* format, ...);
    int AppendFormatResource(unsigned formatId, ...);

    int FormatSystemMessage(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                            va_list* arguments);
    int FormatTime(const wchar_t* format, const struct tm& time);
    int FormatSystemTime(const wchar_t* format, const SYSTEMTIME& time);
    int FormatFileTime(const wchar_t* format, const FILETIME& time);

private:
    void ResizeDiscarding(uint32_t count);
    void ResizeKeeping(uint32_t count, const wchar_t* source, uint32_t sourceCapacity);
    void Adopt(wchar_t* buffer, uint32_t count);
    int AppendFormatV(const wchar_t* format, va_list args);
    void LoadTextOrId(const wchar_t* textOrId);
};

// Test seam: the next `count` buffer allocations succeed, every later one
// fails, until it is called with a negative count.
void FailAllocationsAfter(int count);

} // namespace core
