#pragma once

#include <ktrld/ktrlddefs.h>
#include <ktstd/Std_CString.h>

/// What the registry knows about one registered name: the local path of its
/// file. Filled by KTRegistryLoader; default-constructed it holds "".
class KTRLD_API KTRegistryInfo {
public:
    /// An empty record (local path "").
    KTRegistryInfo() = default;

    /// The local path of the registered file, as the host registered it.
    Std_CString GetLocalPath() const { return localPath; }
    /// Sets the local path; null gives "".
    void SetLocalPath(const char* path) { localPath.assign(path); }

private:
    Std_CString localPath;
};
