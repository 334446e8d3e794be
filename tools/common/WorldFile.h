#pragma once

#include <string>

class KTComponentDB;

namespace ktrt_tool {

/// Reads the Inventor world at `path` into `world` and adds its KTComponent
/// nodes, refusing hostile input instead of crashing or hanging: a path that
/// is not a regular file or a pipe, nesting deeper than a quarter of the
/// calling thread's free stack, and File nodes that name anything but a
/// regular file or include themselves. On failure prints `tool: ...` or
/// Coin's own reader message as `FILE:LINE: MESSAGE` on standard error and
/// returns false. Call after KTComponentLibrary::init().
bool readWorld(const char* tool, const std::string& path, KTComponentDB& world);

} // namespace ktrt_tool
