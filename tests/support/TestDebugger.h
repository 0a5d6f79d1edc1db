// Where the test debugger (test_debugger.exe) notes what it did.
#pragma once

#include <windows.h>

namespace testing_support {

constexpr const wchar_t* TEST_DEBUGGER_KEY = L"Software\\QuorletTests";
constexpr const wchar_t* TEST_DEBUGGER_VALUE = L"debugger";

} // namespace testing_support
