#pragma once

#include <string>
#include <vector>

namespace ktrt_tool {

/// One file that a command writes: its path and its whole content.
struct OutputFile {
    std::string path;
    std::string content;
};

/// True when both paths name the same file: the same device and inode when
/// both exist (links followed), the same folder and name when neither does.
bool sameFile(const std::string& first, const std::string& second);

/// Refuses outputs that would destroy an input or each other: when an output
/// is the same file as one of `inputs` (compared with sameFile) or as another
/// output, prints one line `TOOL: the output OUT is the input IN` (or `TOOL:
/// the outputs A and B are the same file`) on standard error and returns
/// false. Paths "-" (standard input or output) are left out.
bool outputsAreDistinct(const char* tool, const std::vector<std::string>& inputs,
                        const std::vector<std::string>& outputs);

/// Writes all `outputs` or none. Each regular file (or new one) is written
/// to a temporary file beside it; only once every one is complete are they
/// renamed into place, and when a rename fails the files already replaced get
/// their previous content back. An existing output that is not a regular
/// file (a pipe, a device) is written in place and never replaced; links are
/// followed, so the file a link names is replaced, not the link. Returns ""
/// or the system's reason, with the path of the output that failed in
/// `failedPath`.
std::string writeOutputs(const std::vector<OutputFile>& outputs, std::string& failedPath);

/// writeOutputs() of one file: "" or the system's reason for the failure.
std::string writeFileAtomically(const std::string& path, const std::string& content);

/// Flushes standard output; when any write to it failed, prints
/// `tool: cannot write standard output: REASON` on standard error and returns
/// false. Also usable inside a long loop to stop at the first failed write.
bool standardOutputWritten(const char* tool);

} // namespace ktrt_tool
