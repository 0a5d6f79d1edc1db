#include "core/Handles.h"

#include <cwchar>

namespace core {

HMODULE LoadSystemLibrary(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH];
    UINT folderLength = GetSystemDirectoryW(path, MAX_PATH);
    if (folderLength == 0 || folderLength >= MAX_PATH)
        return nullptr;
    if (swprintf(path + folderLength, MAX_PATH - folderLength, L"\\%ls", fileName) < 0)
        return nullptr;
    // Dependencies of the library are looked for beside it, not beside us.
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace core
