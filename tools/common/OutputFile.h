#pragma once

#include <string>

namespace ktrt_tool {

/// True when both paths name the same existing file (links followed).
bool sameFile(const std::string& first, const std::string& second);

/// Writes `content` to `path` without ever leaving a partial file there: a
/// regular file (or a new one) is written to a temporary file beside it and
/// renamed into place, so a failed write keeps the previous content. Other
/// targets (a device, a pipe) are written directly. Returns "" or the
/// system's reason for the failure.
std::string writeFileAtomically(const std::string& path, const std::string& content);

/// Flushes standard output; when any write to it failed, prints
/// `tool: cannot write standard output: REASON` on standard error and returns
/// false. Also usable inside a long loop to stop at the first failed write.
bool standardOutputWritten(const char* tool);

} // namespace ktrt_tool
