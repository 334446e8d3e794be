#pragma once

#include <string>

class KTComponentAnimation;
class KTAnimationDiagnostics;

namespace ktrt_tool {

/// Why `path` cannot be read as a file ("is a directory", or the system's
/// reason), or "" when it can. The library answers an unreadable file with a
/// bare 0, so the tool looks first.
std::string unreadableReason(const std::string& path);

/// Registers `path` with the registry loader under `registryName` and reads
/// it into `animation`, as a host would. On failure prints why on standard
/// error (`TOOL: cannot read PATH: REASON`, or `PATH:LINE:COLUMN: error:
/// MESSAGE` and the offending line) and returns false.
bool loadAnimation(const char* tool, const std::string& path, const std::string& registryName,
                   KTComponentAnimation& animation);

/// Copies standard input into a new temporary file and returns its path
/// ("" when that fails); the caller removes the file.
std::string copyStandardInput();

} // namespace ktrt_tool
