#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

class KTComponentAnimation;
class KTAnimationDiagnostics;

namespace ktrt_tool {

/// Why `path` cannot be read as a file ("is a directory", "is not a regular
/// file or a pipe", or the system's reason), or "" when it can. The library
/// answers an unreadable file with a bare 0, so the tool looks first; devices
/// such as /dev/zero would never end.
std::string unreadableReason(const std::string& path);

/// What a read tells about its tracks beyond the tracks themselves.
struct TrackFacts {
    /// Track names in the order their part transforms end in the file (a
    /// replaced track at its later place).
    std::vector<std::string> fileOrder;
    /// Names of the tracks that have position keys.
    std::set<std::string> withPositions;
};

/// Checks that no line of `path` is longer than 16 MiB. A pipe can be read
/// only once, so it is copied on the way to a temporary file whose name goes
/// into `copyPath` (the caller reads and removes it). Returns "" or why the
/// input is refused ("LINE: line longer than 16 MiB" names the line).
std::string prepareInput(const std::string& path, std::string& copyPath);

/// Registers `path` with the registry loader under `registryName` and reads
/// it into `animation`, as a host would (a pipe through a temporary copy).
/// Refuses lines longer than 16 MiB and a file without tracks. On failure
/// calls `beforeError` when given, prints why on standard error (`TOOL:
/// cannot read PATH: REASON`, or `PATH:LINE:COLUMN: error: MESSAGE` and the
/// offending line) and returns false. Names a cut-off end, numbers that are
/// not finite and Key lists that do not play as written (keys that do not
/// increase or lie outside 0 to 1, position keys other than the orientation
/// keys) on standard error too, and reads them.
bool loadAnimation(const char* tool, const std::string& path, const std::string& registryName,
                   KTComponentAnimation& animation, TrackFacts* facts = nullptr,
                   const std::function<void()>& beforeError = nullptr);

/// Copies standard input into a new temporary file and returns its path
/// ("" when that fails); the caller removes the file.
std::string copyStandardInput();

} // namespace ktrt_tool
