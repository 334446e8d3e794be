#pragma once

#include <ktrld/KTRegistryInfo.h>
#include <ktrld/ktrlddefs.h>

/// Resolves registered animation and geometry names to local files.
///
/// The registry is one table per process, filled by the host with the static
/// Register* functions; loaders are cheap views onto it. Names match exactly
/// (letter case counts). Not thread-safe: register and look up from one
/// thread, or guard the calls.
class KTRLD_API KTRegistryLoader {
public:
    /// A loader that looks names up in the process-wide registry.
    KTRegistryLoader() = default;

    /// True when an animation is registered under `name`, and then fills
    /// `info`; false (and `info` untouched) for an unknown or null name.
    bool GetAnimation(const char* name, KTRegistryInfo& info);
    /// As GetAnimation, for geometry files.
    bool GetGeometry(const char* name, KTRegistryInfo& info);

    /// Registers (or re-registers) the animation `name` at `localPath`. A
    /// null name or path is ignored.
    static void RegisterAnimation(const char* name, const char* localPath);
    /// As RegisterAnimation, for geometry files.
    static void RegisterGeometry(const char* name, const char* localPath);
    /// Forgets every registered animation and geometry.
    static void ClearRegistry();
};
