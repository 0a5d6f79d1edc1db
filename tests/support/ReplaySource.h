// A data source for tests: serves snapshot blocks made by the snapshot writer
// (or chosen statuses) in order, and name keys made of multi-strings, with the
// registry's buffer protocol. It records the sizes each query was offered.
#pragma once

#include "perf/DataSource.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

// Pairs of strings as the registry stores "Counter" and "Help": each string
// zero-terminated, the whole ended by an empty string unless `terminated` is false.
std::vector<uint8_t> MultiString(const std::vector<std::wstring>& strings, bool terminated = true);

class ReplaySource : public perf::DataSource {
public:
    struct Answer {
        LSTATUS status = ERROR_SUCCESS;
        std::vector<uint8_t> block; // served when status is ERROR_SUCCESS and it fits
    };

    // Queued answers; the last one is repeated once the queue runs dry.
    std::deque<Answer> answers;
    std::vector<DWORD> offeredSizes;
    std::vector<std::wstring> queriedNames;

    // name keys by language ("009"), each a map of value name to bytes
    std::map<std::wstring, std::map<std::wstring, std::vector<uint8_t>>> nameKeys;
    // Status of reading a value that exists (tests of read failures).
    std::map<std::wstring, LSTATUS> failingValues;

    void Serve(std::vector<uint8_t> block) { answers.push_back({ERROR_SUCCESS, std::move(block)}); }
    void Fail(LSTATUS status) { answers.push_back({status, {}}); }
    void SetNames(const std::wstring& language, const std::vector<std::wstring>& counter,
                  const std::vector<std::wstring>& help)
    {
        nameKeys[language][L"Counter"] = MultiString(counter);
        nameKeys[language][L"Help"] = MultiString(help);
    }

    LSTATUS QuerySnapshot(const wchar_t* valueName, uint8_t* buffer, DWORD* size) override;
    LSTATUS OpenNameKey(const wchar_t* path, HKEY* key) override;
    LSTATUS QueryNameValue(HKEY key, const wchar_t* valueName, uint8_t* buffer, DWORD* size) override;
    void CloseNameKey(HKEY) override {}

private:
    std::vector<std::wstring> openKeys;
};

} // namespace testing_support
