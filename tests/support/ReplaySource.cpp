#include "support/ReplaySource.h"

#include <cstring>

namespace testing_support {

std::vector<uint8_t> MultiString(const std::vector<std::wstring>& strings, bool terminated)
{
    std::vector<wchar_t> chars;
    for (const std::wstring& s : strings) {
        chars.insert(chars.end(), s.begin(), s.end());
        chars.push_back(0);
    }
    if (terminated)
        chars.push_back(0);
    else if (!chars.empty())
        chars.pop_back(); // not even the last string's own terminator
    std::vector<uint8_t> bytes(chars.size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), chars.data(), bytes.size());
    return bytes;
}

LSTATUS ReplaySource::QuerySnapshot(const wchar_t* valueName, uint8_t* buffer, DWORD* size)
{
    offeredSizes.push_back(*size);
    queriedNames.push_back(valueName);
    if (answers.empty())
        return ERROR_FILE_NOT_FOUND;
    Answer answer = answers.front();
    if (answers.size() > 1)
        answers.pop_front();
    if (answer.status != ERROR_SUCCESS)
        return answer.status;
    if (answer.block.size() > *size) {
        *size = static_cast<DWORD>(answer.block.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, answer.block.data(), answer.block.size());
    *size = static_cast<DWORD>(answer.block.size());
    return ERROR_SUCCESS;
}

LSTATUS ReplaySource::OpenNameKey(const wchar_t* path, HKEY* key)
{
    std::wstring full = path;
    std::wstring language = full.size() >= 3 ? full.substr(full.size() - 3) : full;
    if (!nameKeys.count(language))
        return ERROR_FILE_NOT_FOUND;
    openKeys.push_back(language);
    *key = reinterpret_cast<HKEY>(openKeys.size());
    return ERROR_SUCCESS;
}

LSTATUS ReplaySource::QueryNameValue(HKEY key, const wchar_t* valueName, uint8_t* buffer, DWORD* size)
{
    size_t index = reinterpret_cast<size_t>(key);
    if (index == 0 || index > openKeys.size())
        return ERROR_INVALID_HANDLE;
    auto& values = nameKeys[openKeys[index - 1]];
    auto found = values.find(valueName);
    if (found == values.end())
        return ERROR_FILE_NOT_FOUND;
    auto failing = failingValues.find(valueName);
    if (failing != failingValues.end())
        return failing->second;
    DWORD bytes = static_cast<DWORD>(found->second.size());
    if (buffer && *size < bytes) {
        *size = bytes;
        return ERROR_MORE_DATA;
    }
    if (buffer)
        std::memcpy(buffer, found->second.data(), bytes);
    *size = bytes;
    return ERROR_SUCCESS;
}

} // namespace testing_support
