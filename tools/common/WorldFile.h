#pragma once

#include "common/Findings.h"
#include "common/WorldChecker.h"

#include <string>
#include <vector>

class KTComponentDB;

namespace ktrt_tool {

/// Reads the Inventor world at `path` into `world` and adds its KTComponent
/// nodes, refusing hostile input instead of crashing or hanging: a path that
/// is not a regular file or a pipe, nesting deeper than a quarter of the
/// calling thread's free stack, and File nodes that name anything but a
/// regular file or include themselves. Checks the world's text as well (see
/// checkWorldText()). Coin's read error and the findings go into `findings`
/// when given (the read then fails only when Coin's does), else they are
/// printed as FILE:LINE:COLUMN: error: MESSAGE with the line, and any error
/// fails the read. Other failures print `tool: ...` on standard error.
/// The text's KTAnimationPlayback nodes go into `playbacks` when given.
/// Returns false on failure. Call after KTComponentLibrary::init().
bool readWorld(const char* tool, const std::string& path, KTComponentDB& world,
               std::vector<Issue>* findings = nullptr,
               std::vector<PlaybackText>* playbacks = nullptr);

} // namespace ktrt_tool
