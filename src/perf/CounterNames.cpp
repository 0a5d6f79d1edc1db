#include "perf/CounterNames.h"

#include "app/AppState.h"
#include "core/Report.h"
#include "core/WideString.h"
#include "perf/DataSource.h"
#include "resources/resource.h"

#include <cwchar>
#include <new>

namespace perf {

CounterNameTable counterTable;

namespace {

constexpr unsigned ENGLISH = 9;

struct WellKnownName {
    const wchar_t* name;
    uint32_t CounterNameTable::*index;
    bool required;
};

const WellKnownName wellKnownNames[] = {
    {L"Process", &CounterNameTable::processObjectIndex, true},
    {L"Thread", &CounterNameTable::threadObjectIndex, true},
    {L"Thread Count", &CounterNameTable::threadCountIndex, true},
    {L"ID Process", &CounterNameTable::idProcessIndex, true},
    {L"ID Thread", &CounterNameTable::idThreadIndex, true},
    {L"% User Time", &CounterNameTable::userTimeIndex, false},
    {L"% Privileged Time", &CounterNameTable::privilegedTimeIndex, false},
    {L"% Processor Time", &CounterNameTable::processorTimeIndex, false},
    {L"Thread State", &CounterNameTable::threadStateIndex, false},
    {L"Thread Wait Reason", &CounterNameTable::threadWaitReasonIndex, false},
    {L"Creating Process ID", &CounterNameTable::creatingProcessIdIndex, false},
};

[[noreturn]] void FailFindingNames(const wchar_t* detail, uint32_t code)
{
    core::ReportFailure(app::state.mainWindow, core::TextId(IDS_OP_FIND_COUNTER_NAMES), detail,
                        core::TextId(IDS_KIND_INTERNAL), code, MB_ICONHAND);
    ExitProcess(code);
}

// Calls visit(index, text) for each pair up to the empty string that ends the
// multi-string or the end of the `length` characters, whichever comes first.
template <class Visit>
void ForEachPair(const wchar_t* text, size_t length, Visit visit)
{
    size_t at = 0;
    while (at < length) {
        const wchar_t* index = text + at;
        size_t indexLength = wcsnlen(index, length - at);
        at += indexLength + 1;
        if (indexLength == 0 || at >= length)
            return;
        const wchar_t* entry = text + at;
        size_t entryLength = wcsnlen(entry, length - at);
        at += entryLength + 1;
        if (entryLength == 0)
            return;
        visit(_wtoi(index), entry);
    }
}

} // namespace

void ReleaseIndexedMultiString(IndexedMultiString& table)
{
    delete[] table.text;
    delete[] table.table;
    table = IndexedMultiString();
}

LSTATUS ReadIndexedMultiString(DataSource& source, HKEY key, const wchar_t* valueName, IndexedMultiString& table)
{
    DWORD size = 0;
    LSTATUS status = source.QueryNameValue(key, valueName, nullptr, &size);
    if (status != ERROR_SUCCESS)
        return status;
    size &= ~DWORD(1);
    // One more character than the value holds, so that the last text is
    // terminated even when the value's own terminator is missing.
    size_t length = size / sizeof(wchar_t);
    wchar_t* text = new (std::nothrow) wchar_t[length + 1];
    if (!text)
        return ERROR_SUCCESS;
    DWORD read = size;
    status = source.QueryNameValue(key, valueName, reinterpret_cast<uint8_t*>(text), &read);
    if (status != ERROR_SUCCESS) {
        delete[] text;
        return status;
    }
    length = (read < size ? read : size) / sizeof(wchar_t);
    text[length] = 0;
    ReleaseIndexedMultiString(table);
    table.text = text;

    uint32_t count = 1;
    ForEachPair(text, length, [&](int index, const wchar_t*) {
        if (index >= 0 && static_cast<uint32_t>(index) >= count)
            count = static_cast<uint32_t>(index) + 1;
    });
    table.table = new (std::nothrow) const wchar_t*[count]();
    if (!table.table)
        return ERROR_SUCCESS;
    table.count = count;
    ForEachPair(text, length, [&](int index, const wchar_t* entry) {
        if (index < 0)
            return;
        if (static_cast<uint32_t>(index) >= table.count)
            FailFindingNames(L"Assertion failed.", 3);
        table.table[index] = entry;
    });
    return ERROR_SUCCESS;
}

namespace {

void FindWellKnownIndexes()
{
    const IndexedMultiString& names = counterTable.counterNames;
    for (uint32_t i = 0; i < names.count; ++i) {
        if (!names.table[i])
            continue;
        for (const WellKnownName& known : wellKnownNames) {
            if (wcscmp(names.table[i], known.name) == 0)
                counterTable.*known.index = i;
        }
    }
    for (const WellKnownName& known : wellKnownNames) {
        if (known.required && counterTable.*known.index == 0)
            FailFindingNames(core::TextId(IDS_NAME_NOT_FOUND), 2);
    }
}

void ResetWellKnownIndexes()
{
    for (const WellKnownName& known : wellKnownNames)
        counterTable.*known.index = 0;
    counterTable.creatingProcessIdIndex = 1410;
}

const wchar_t* Lookup(const IndexedMultiString& table, uint32_t index)
{
    if (index >= table.count || !table.table)
        return nullptr;
    const wchar_t* text = table.table[index];
    return text && *text ? text : nullptr;
}

} // namespace

LSTATUS ReadIndexedMultiString(HKEY key, const wchar_t* valueName, IndexedMultiString& table)
{
    return ReadIndexedMultiString(CurrentSource(), key, valueName, table);
}

bool LoadCounterTables(unsigned language)
{
    core::WideString path;
    path.Format(L"software\\microsoft\\windows nt\\currentversion\\perflib\\%03u", language);
    DataSource& source = CurrentSource();
    HKEY key = nullptr;
    if (!path.text || source.OpenNameKey(path.text, &key) != ERROR_SUCCESS)
        return false;
    if (language == ENGLISH)
        ResetWellKnownIndexes();

    LSTATUS status = ReadIndexedMultiString(source, key, L"Counter", counterTable.counterNames);
    if (status != ERROR_SUCCESS)
        core::ReportWin32Failure(app::state.mainWindow, core::TextId(IDS_OP_READ_COUNTER_NAMES), status,
                                 MB_ICONHAND);
    else if (language == ENGLISH)
        FindWellKnownIndexes();

    status = ReadIndexedMultiString(source, key, L"Help", counterTable.counterHelp);
    if (status != ERROR_SUCCESS)
        core::ReportWin32Failure(app::state.mainWindow, core::TextId(IDS_OP_READ_COUNTER_HELP), status,
                                 MB_ICONHAND);
    source.CloseNameKey(key);
    return true;
}

bool EnsureCounterTablesFor(unsigned userLanguage)
{
    if (counterTable.counterNames.table)
        return true;
    bool english = LoadCounterTables(ENGLISH);
    if (userLanguage != ENGLISH && LoadCounterTables(userLanguage))
        return true;
    return english;
}

bool EnsureCounterTables()
{
    return EnsureCounterTablesFor(PRIMARYLANGID(GetUserDefaultLangID()));
}

void ReleaseCounterTables()
{
    ReleaseIndexedMultiString(counterTable.counterNames);
    ReleaseIndexedMultiString(counterTable.counterHelp);
}

const wchar_t* CounterName(uint32_t index)
{
    return Lookup(counterTable.counterNames, index);
}

const wchar_t* CounterHelp(uint32_t index)
{
    return Lookup(counterTable.counterHelp, index);
}

} // namespace perf
