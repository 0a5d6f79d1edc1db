// Texts of byte counts, byte rates, durations and thread states.
#pragma once

#include "core/WideString.h"

#include <cstdint>

namespace perf {

// Each formats into the text's own buffer.
void FormatByteCount(uint32_t bytes, core::WideString& text);
void FormatLargeByteCount(uint64_t bytes, core::WideString& text);
// Negative rates print as the positive rate's text with a minus sign in front.
void FormatByteRate(double bytesPerSecond, core::WideString& text);

// `t` counts 100-nanosecond units; negative durations print as the positive
// duration's text with a minus sign in front.
void FormatDuration(int64_t t, core::WideString& text);

// ".ddd" of x with `width` digits, trailing zeros removed; empty for 0. The
// text lives in a buffer of the calling thread, valid until its next call.
const wchar_t* FractionDigits(uint32_t x, int width);

// The state's text; for a waiting thread (state 5), why it waits.
void FormatThreadState(uint32_t state, uint32_t waitReason, core::WideString& text);

} // namespace perf
