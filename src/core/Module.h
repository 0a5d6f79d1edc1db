// Looks up an export by name with its real function type.
#pragma once

#include <windows.h>

namespace core {

template <class Function>
Function FindExport(HMODULE module, const char* name)
{
    // Through a generic function pointer, which any function pointer converts to.
    FARPROC address = module ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

} // namespace core
