#pragma once

#include <string>

class KTComponentAnimation;

namespace ktrt_tool {

/// Why `path` cannot be read as a file ("is a directory", "is not a regular
/// file or a pipe", or the system's reason), or "" when it can. The library
/// answers an unreadable file with a bare 0, so the tool looks first; devices
/// such as /dev/zero would never end.
std::string unreadableReason(const std::string& path);

/// Registers `path` with the registry loader under `registryName` and reads
/// it into `animation`, as a host would (a pipe through a temporary copy).
/// Refuses lines longer than 16 MiB. On failure prints why on standard error
/// (`tool: cannot read PATH: REASON`, or `PATH:LINE: MESSAGE` and, for the
/// reader's errors, the offending line) and returns false.
bool loadAnimation(const char* tool, const std::string& path, const std::string& registryName,
                   KTComponentAnimation& animation);

} // namespace ktrt_tool
