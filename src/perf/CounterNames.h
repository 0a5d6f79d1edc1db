// Counter names and help texts by title index, read from the machine's
// "perflib" language keys, and the title indexes the program looks up by
// their English names.
#pragma once

#include <windows.h>

#include <cstdint>

namespace perf {

class DataSource;

// A registry multi-string of index/text pairs and a table from index to text
// pointing into it; both are owned, and released by ReleaseIndexedMultiString.
struct IndexedMultiString {
    wchar_t* text = nullptr;
    const wchar_t** table = nullptr;
    uint32_t count = 0;
};

struct CounterNameTable {
    IndexedMultiString counterNames;
    IndexedMultiString counterHelp;

    uint32_t processObjectIndex = 0;
    uint32_t threadObjectIndex = 0;
    uint32_t threadCountIndex = 0;
    uint32_t idProcessIndex = 0;
    uint32_t idThreadIndex = 0;
    uint32_t userTimeIndex = 0;
    uint32_t privilegedTimeIndex = 0;
    uint32_t processorTimeIndex = 0;
    uint32_t threadStateIndex = 0;
    uint32_t threadWaitReasonIndex = 0;
    uint32_t creatingProcessIdIndex = 1410;
    uint32_t elapsedTimeIndex = 0; // its data is the creation time
    // The indexes above were found in this machine's English names. Until
    // then the names (perhaps of the user's language alone) name nothing the
    // program can ask for.
    bool indexesFound = false;
    // The English names were read but lack a required one.
    bool requiredNameMissing = false;
};

extern CounterNameTable counterTable;

// Loads the tables when absent: English first (which also finds the
// well-known indexes), then the user's language over it when the machine has
// that language. False when no language key opened. Failures are reported in
// boxes owned by `owner`. English names without a required name end the
// program on the local machine; on another one they leave `indexesFound` false.
bool EnsureCounterTables(HWND owner);
bool EnsureCounterTablesFor(HWND owner, unsigned userLanguage);
// A value of a language key of `source` (which need not be the connection's
// own yet). ERROR_INVALID_DATA, changing nothing, when the value's indexes are
// out of proportion to its length.
LSTATUS ReadIndexedMultiString(DataSource& source, HKEY key, const wchar_t* valueName,
                               IndexedMultiString& table);
// The English "Counter" value of a source.
LSTATUS ReadEnglishCounterNames(DataSource& source, IndexedMultiString& names);
void ReleaseIndexedMultiString(IndexedMultiString& table);
// Whether English names hold every name the program cannot do without.
bool NamesTheRequiredCounters(const IndexedMultiString& englishNames);
// The lowest index of a name, 0 when absent.
uint32_t LowestIndexOf(const IndexedMultiString& names, const wchar_t* name);
void ReleaseCounterTables();

// The text of a title index, or null when the table has none.
const wchar_t* CounterName(uint32_t index);
const wchar_t* CounterHelp(uint32_t index);

} // namespace perf
