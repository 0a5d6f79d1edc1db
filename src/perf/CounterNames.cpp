#include "perf/CounterNames.h"

#include "core/Report.h"
#include "core/WideString.h"
#include "perf/DataSource.h"
#include "perf/NameTable.h"
#include "perf/PerfData.h"
#include "resources/resource.h"

#include <cwchar>
#include <iterator>
#include <memory>
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
    {L"Elapsed Time", &CounterNameTable::elapsedTimeIndex, false},
};

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the registry's texts are UTF-16");

constexpr uint32_t EXIT_NAME_NOT_FOUND = 2;

// The program cannot watch the local machine without these names; another
// machine is only left.
void ReportMissingName(HWND owner)
{
    core::ReportFailure(owner, core::TextId(IDS_OP_FIND_COUNTER_NAMES), core::TextId(IDS_NAME_NOT_FOUND),
                        core::TextId(IDS_KIND_INTERNAL), EXIT_NAME_NOT_FOUND, MB_ICONHAND);
    if (IsLocalMachine())
        ExitProcess(EXIT_NAME_NOT_FOUND);
}

const wchar_t* LanguageKeyPath(unsigned language, core::WideString& path)
{
    path.Format(L"software\\microsoft\\windows nt\\currentversion\\perflib\\%03u", language);
    return path.text;
}

// A language key of the source, closed on every way out.
class NameKey {
public:
    NameKey(DataSource& source, const wchar_t* path) : source(source)
    {
        if (source.OpenNameKey(path, &key) != ERROR_SUCCESS)
            key = nullptr;
    }
    ~NameKey()
    {
        if (key)
            source.CloseNameKey(key);
    }
    NameKey(const NameKey&) = delete;
    NameKey& operator=(const NameKey&) = delete;

    HKEY Get() const { return key; }

private:
    DataSource& source;
    HKEY key = nullptr;
};

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
    std::unique_ptr<wchar_t[]> text(new (std::nothrow) wchar_t[length + 1]);
    if (!text)
        return ERROR_SUCCESS;
    DWORD read = size;
    status = source.QueryNameValue(key, valueName, reinterpret_cast<uint8_t*>(text.get()), &read);
    if (status != ERROR_SUCCESS)
        return status;
    length = (read < size ? read : size) / sizeof(wchar_t);
    text[length] = 0;

    const char16_t* chars = reinterpret_cast<const char16_t*>(text.get());
    std::vector<NamePair> pairs = NamePairs(chars, length);
    uint32_t count = NameTableCount(pairs, length);
    if (count == 0)
        return ERROR_INVALID_DATA;
    ReleaseIndexedMultiString(table);
    table.text = text.release();
    table.table = new (std::nothrow) const wchar_t*[count]();
    table.count = table.table ? count : 0;
    for (const NamePair& pair : pairs) {
        if (pair.index >= 0 && static_cast<uint32_t>(pair.index) < table.count)
            table.table[pair.index] = table.text + pair.textOffset;
    }
    return ERROR_SUCCESS;
}

namespace {

// A name at several indexes (later providers reuse the system's names) is
// the system's own at its lowest index, as the objects themselves define it.
void FindWellKnownIndexes(const IndexedMultiString& names, CounterNameTable& found)
{
    bool seen[std::size(wellKnownNames)] = {};
    for (uint32_t i = 0; i < names.count; ++i) {
        if (!names.table[i])
            continue;
        for (size_t k = 0; k < std::size(wellKnownNames); ++k) {
            if (!seen[k] && wcscmp(names.table[i], wellKnownNames[k].name) == 0) {
                found.*wellKnownNames[k].index = i;
                seen[k] = true;
            }
        }
    }
}

bool HasRequiredIndexes(const CounterNameTable& found)
{
    for (const WellKnownName& known : wellKnownNames) {
        if (known.required && found.*known.index == 0)
            return false;
    }
    return true;
}

void ResetWellKnownIndexes()
{
    for (const WellKnownName& known : wellKnownNames)
        counterTable.*known.index = 0;
    counterTable.creatingProcessIdIndex = 1410;
    counterTable.indexesFound = false;
    counterTable.requiredNameMissing = false;
}

const wchar_t* Lookup(const IndexedMultiString& table, uint32_t index)
{
    if (index >= table.count || !table.table)
        return nullptr;
    const wchar_t* text = table.table[index];
    return text && *text ? text : nullptr;
}

bool LoadCounterTables(HWND owner, unsigned language)
{
    core::WideString path;
    DataSource& source = CurrentSource();
    if (!LanguageKeyPath(language, path))
        return false;
    NameKey key(source, path.text);
    if (!key.Get())
        return false;
    if (language == ENGLISH)
        ResetWellKnownIndexes();

    LSTATUS status = ReadIndexedMultiString(source, key.Get(), L"Counter", counterTable.counterNames);
    if (status != ERROR_SUCCESS) {
        core::ReportWin32Failure(owner, core::TextId(IDS_OP_READ_COUNTER_NAMES), status, MB_ICONHAND);
    } else if (language == ENGLISH) {
        FindWellKnownIndexes(counterTable.counterNames, counterTable);
        counterTable.indexesFound = HasRequiredIndexes(counterTable);
        counterTable.requiredNameMissing = !counterTable.indexesFound;
        if (counterTable.requiredNameMissing)
            ReportMissingName(owner);
    }

    status = ReadIndexedMultiString(source, key.Get(), L"Help", counterTable.counterHelp);
    if (status != ERROR_SUCCESS)
        core::ReportWin32Failure(owner, core::TextId(IDS_OP_READ_COUNTER_HELP), status, MB_ICONHAND);
    return true;
}

} // namespace

LSTATUS ReadEnglishCounterNames(DataSource& source, IndexedMultiString& names)
{
    core::WideString path;
    if (!LanguageKeyPath(ENGLISH, path))
        return ERROR_OUTOFMEMORY;
    NameKey key(source, path.text);
    if (!key.Get())
        return ERROR_FILE_NOT_FOUND;
    return ReadIndexedMultiString(source, key.Get(), L"Counter", names);
}

bool NamesTheRequiredCounters(const IndexedMultiString& englishNames)
{
    CounterNameTable found;
    FindWellKnownIndexes(englishNames, found);
    return HasRequiredIndexes(found);
}

uint32_t LowestIndexOf(const IndexedMultiString& names, const wchar_t* name)
{
    for (uint32_t i = 0; i < names.count; ++i) {
        if (names.table[i] && wcscmp(names.table[i], name) == 0)
            return i;
    }
    return 0;
}

bool EnsureCounterTablesFor(HWND owner, unsigned userLanguage)
{
    if (counterTable.counterNames.table && counterTable.indexesFound)
        return true;
    bool english = LoadCounterTables(owner, ENGLISH);
    if (userLanguage != ENGLISH && LoadCounterTables(owner, userLanguage))
        return true;
    return english;
}

bool EnsureCounterTables(HWND owner)
{
    return EnsureCounterTablesFor(owner, PRIMARYLANGID(GetUserDefaultLangID()));
}

void ReleaseCounterTables()
{
    ReleaseIndexedMultiString(counterTable.counterNames);
    ReleaseIndexedMultiString(counterTable.counterHelp);
    counterTable.indexesFound = false;
    counterTable.requiredNameMissing = false;
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
