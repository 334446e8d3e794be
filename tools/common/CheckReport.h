#pragma once

#include "common/Findings.h"

#include <string>
#include <utility>
#include <vector>

namespace ktrt_tool {

/// What `ktrt check` found in one file.
struct FileResult {
    std::string name;     ///< the name shown for the file
    bool readable = true; ///< false: `reason` says why, there are no findings
    std::string copyPath; ///< a pipe's temporary copy, removed by the caller
    std::string reason;   ///< why the file cannot be read
    std::vector<Issue> issues;
    bool truncated = false; ///< findings beyond the limit were dropped
    /// "name": N keys, flags, for the text listing of a valid file.
    std::vector<std::string> tracks;
    /// Name and key count of every track, for the JSON report.
    std::vector<std::pair<std::string, unsigned int>> trackKeys;
};

/// The number of errors in `result`, an unreadable file counting as one.
int errorCount(const FileResult& result);

/// Writes the findings of `result` on standard error as
/// FILE:LINE:COLUMN: error|warning: MESSAGE, each with the line of `path` it
/// points at, and, unless `quiet` or there are errors, the tracks on standard
/// output.
void printText(const FileResult& result, const std::string& path, bool quiet);

/// Writes the JSON report of `results` on standard output: one object, or an
/// array of them for several files.
void printJson(const std::vector<FileResult>& results);

/// `text` as a JSON string, quotes included.
std::string jsonString(std::string_view text);

} // namespace ktrt_tool
