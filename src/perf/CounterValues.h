// The value and the text of one counter of one instance, from the current and
// the previous snapshot, in a chosen display format; the "View As" choices.
#pragma once

#include "core/WideString.h"
#include "perf/Navigation.h"

#include <cstdint>

namespace perf {

// A display type is either a platform counter type or one of these.
constexpr uint32_t DISPLAY_BYTES = 0xFFFFFF01;
constexpr uint32_t DISPLAY_LARGE_BYTES = 0xFFFFFF02;
constexpr uint32_t DISPLAY_START_TIME_SHORT = 0xFFFFFF03;
constexpr uint32_t DISPLAY_START_TIME_LONG = 0xFFFFFF04;
constexpr uint32_t DISPLAY_TOTAL_TIME = 0xFFFFFF05;
constexpr uint32_t DISPLAY_BYTES_PER_SEC = 0xFFFFFF06;
constexpr uint32_t DISPLAY_THREAD_STATE = 0xFFFFFFEE;
constexpr uint32_t DISPLAY_NATURAL = 0xFFFFFFFF; // the counter's own type

// A counter to show and how.
struct CounterSelection {
    uint32_t counterIndex = 0;           // title index; 0 while none is chosen
    uint32_t counterType = 0xFFFFFFFF;   // its CounterType, once known
    uint32_t displayType = DISPLAY_NATURAL;
};

struct CounterSample {
    SnapshotView block;
    const PerfInstanceDefinition* instance = nullptr;
    const PerfCounterDefinition* counter = nullptr;
};

// False, leaving value as it was, when the display type needs two samples and
// either sample's data is missing, the time base does not advance, or a
// 64-bit count went down (the earlier sample was another instance's). A
// counter declared shorter than the value the display type reads counts as
// missing.
bool ComputeCounterValue(const CounterSample& current, const CounterSample& previous, double& value,
                         uint32_t displayType);

// The text of a value ComputeCounterValue gave for `current` in the same
// display type. A rate's text comes from the value, any other from the
// current sample's data, so a text can be made while only the current
// snapshot is kept.
void FormatCounterValue(const CounterSample& current, double value, uint32_t displayType, core::WideString& text);

// The string id of the display type's "View As" label for the counter with
// that title index; 0 when it is not offered.
unsigned DisplayTypeLabel(uint32_t displayType, uint32_t counterIndex);

// The n-th display type offered for a counter type (0: the type itself);
// DISPLAY_NATURAL past the last.
uint32_t ViewAsChoice(uint32_t counterType, uint32_t n);

} // namespace perf
