// The one seam between the program and where performance data comes from:
// the registry (local or remote), the built-in provider, or a test's replay.
// Everything above it (the buffer protocol, the name tables, the model) runs
// unchanged whichever source answers.
#pragma once

#include <windows.h>

#include <cstdint>

namespace perf {

class DataSource {
public:
    virtual ~DataSource() = default;

    // The snapshot query, with the registry's protocol: at most *size bytes
    // are written; ERROR_MORE_DATA when they do not suffice. *size receives
    // the number of bytes written.
    virtual LSTATUS QuerySnapshot(const wchar_t* valueName, uint8_t* buffer, DWORD* size) = 0;

    // The counter name and help values, read from a key under the machine's
    // root (the "perflib\\NNN" language keys). A null buffer asks for the size.
    virtual LSTATUS OpenNameKey(const wchar_t* path, HKEY* key) = 0;
    virtual LSTATUS QueryNameValue(HKEY key, const wchar_t* valueName, uint8_t* buffer, DWORD* size) = 0;
    virtual void CloseNameKey(HKEY key) = 0;
};

// Registry keys of the local machine or a remote one.
class RegistrySource : public DataSource {
public:
    RegistrySource(HKEY machineKey, HKEY perfDataKey) : machineKey(machineKey), perfDataKey(perfDataKey) {}

    LSTATUS QuerySnapshot(const wchar_t* valueName, uint8_t* buffer, DWORD* size) override;
    LSTATUS OpenNameKey(const wchar_t* path, HKEY* key) override;
    LSTATUS QueryNameValue(HKEY key, const wchar_t* valueName, uint8_t* buffer, DWORD* size) override;
    void CloseNameKey(HKEY key) override;

private:
    HKEY machineKey;
    HKEY perfDataKey;
};

// The source in use for the current connection: the registry for a remote
// machine; for the local one, the registry when it serves Process data,
// otherwise the built-in provider (decided once per connection).
DataSource& CurrentSource();

// Whether a registry source names the Process object in English and serves it.
bool RegistryServesProcesses(DataSource& registry);

// Tests replace the source; null goes back to the connection's own.
void SetSourceForTesting(DataSource* source);

} // namespace perf
