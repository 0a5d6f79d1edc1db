// The published layout of a performance data block, written out here so that
// the navigation and the writer build without <windows.h> (and natively, for
// the sanitizer tests and the fuzzer). All fields are little-endian 32-bit
// words; 64-bit values are split into low and high words, which keeps every
// record 4-byte aligned.
#pragma once

#include <cstddef>
#include <cstdint>

namespace perf {

// The platform's two pseudo-instances of the Process object, both of ID 0.
inline constexpr char16_t IDLE_INSTANCE[] = u"Idle";
inline constexpr char16_t TOTAL_INSTANCE[] = u"_Total";

// Whether a name as the program holds it (UTF-16 in wchar_t) is `expected`.
inline bool NameIs(const wchar_t* name, const char16_t* expected)
{
    for (; *expected; ++name, ++expected) {
        if (static_cast<char16_t>(*name) != *expected)
            return false;
    }
    return *name == 0;
}

struct PerfTime64 {
    uint32_t low;
    uint32_t high;
};

inline int64_t Value64(PerfTime64 v)
{
    return static_cast<int64_t>((uint64_t(v.high) << 32) | v.low);
}

inline PerfTime64 Split64(int64_t v)
{
    uint64_t u = static_cast<uint64_t>(v);
    return {static_cast<uint32_t>(u), static_cast<uint32_t>(u >> 32)};
}

struct PerfSystemTime { // SYSTEMTIME
    uint16_t wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};

struct PerfDataBlockHeader { // PERF_DATA_BLOCK
    char16_t Signature[4];
    uint32_t LittleEndian;
    uint32_t Version;
    uint32_t Revision;
    uint32_t TotalByteLength;
    uint32_t HeaderLength;
    uint32_t NumObjectTypes;
    int32_t DefaultObject;
    PerfSystemTime SystemTime;
    uint32_t padding;
    PerfTime64 PerfTime;
    PerfTime64 PerfFreq;
    PerfTime64 PerfTime100nSec;
    uint32_t SystemNameLength;
    uint32_t SystemNameOffset;
};

struct PerfObjectType { // PERF_OBJECT_TYPE, 64-bit layout
    uint32_t TotalByteLength;
    uint32_t DefinitionLength;
    uint32_t HeaderLength;
    uint32_t ObjectNameTitleIndex;
    uint32_t ObjectNameTitle;
    uint32_t ObjectHelpTitleIndex;
    uint32_t ObjectHelpTitle;
    uint32_t DetailLevel;
    uint32_t NumCounters;
    int32_t DefaultCounter;
    int32_t NumInstances;
    uint32_t CodePage;
    PerfTime64 PerfTime;
    PerfTime64 PerfFreq;
};

struct PerfCounterDefinition { // PERF_COUNTER_DEFINITION, 64-bit layout
    uint32_t ByteLength;
    uint32_t CounterNameTitleIndex;
    uint32_t CounterNameTitle;
    uint32_t CounterHelpTitleIndex;
    uint32_t CounterHelpTitle;
    int32_t DefaultScale;
    uint32_t DetailLevel;
    uint32_t CounterType;
    uint32_t CounterSize;
    uint32_t CounterOffset;
};

struct PerfInstanceDefinition { // PERF_INSTANCE_DEFINITION
    uint32_t ByteLength;
    uint32_t ParentObjectTitleIndex;
    uint32_t ParentObjectInstance;
    int32_t UniqueID;
    uint32_t NameOffset;
    uint32_t NameLength;
};

struct PerfCounterBlock { // PERF_COUNTER_BLOCK
    uint32_t ByteLength;
};

static_assert(sizeof(PerfDataBlockHeader) == 88 && offsetof(PerfDataBlockHeader, SystemTime) == 36 &&
              offsetof(PerfDataBlockHeader, PerfTime) == 56 && offsetof(PerfDataBlockHeader, PerfFreq) == 64 &&
              offsetof(PerfDataBlockHeader, PerfTime100nSec) == 72 &&
              offsetof(PerfDataBlockHeader, SystemNameOffset) == 84);
static_assert(sizeof(PerfObjectType) == 64 && offsetof(PerfObjectType, NumInstances) == 40 &&
              offsetof(PerfObjectType, PerfTime) == 48 && offsetof(PerfObjectType, PerfFreq) == 56);
static_assert(sizeof(PerfCounterDefinition) == 40 && offsetof(PerfCounterDefinition, CounterType) == 28 &&
              offsetof(PerfCounterDefinition, CounterOffset) == 36);
static_assert(sizeof(PerfInstanceDefinition) == 24 && offsetof(PerfInstanceDefinition, NameOffset) == 16);
static_assert(sizeof(PerfCounterBlock) == 4);
static_assert(alignof(PerfDataBlockHeader) <= 4 && alignof(PerfObjectType) == 4);

// Counter types and fields used by this program (winperf.h values).
constexpr uint32_t PERF_SIZE_DWORD_BITS = 0x000;
constexpr uint32_t PERF_SIZE_LARGE_BITS = 0x100;
constexpr uint32_t PERF_SIZE_ZERO_BITS = 0x200;
constexpr uint32_t PERF_SIZE_VARIABLE_BITS = 0x300;
constexpr uint32_t PERF_SIZE_MASK = 0x300;
constexpr int32_t NO_INSTANCES = -1;

constexpr uint32_t TYPE_RAWCOUNT_HEX = 0x00000000;
constexpr uint32_t TYPE_LARGE_RAWCOUNT_HEX = 0x00000100;
constexpr uint32_t TYPE_TEXT = 0x00000B00;
constexpr uint32_t TYPE_RAWCOUNT = 0x00010000;
constexpr uint32_t TYPE_LARGE_RAWCOUNT = 0x00010100;
constexpr uint32_t TYPE_ANSI_TEXT = 0x00010B00;
constexpr uint32_t TYPE_COUNTER = 0x10410400;
constexpr uint32_t TYPE_BULK_COUNT = 0x10410500;
constexpr uint32_t TYPE_TIMER = 0x20410500;
constexpr uint32_t TYPE_100NSEC_TIMER = 0x20510500;
constexpr uint32_t TYPE_ELAPSED_TIME = 0x30240500;

} // namespace perf
