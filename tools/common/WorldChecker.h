#pragma once

#include "common/Findings.h"

#include <string>
#include <vector>

namespace ktrt_tool {

/// Findings about the Inventor world at `path` that Coin reads without a
/// word, from the file's text: fields that a KTComponent or KTPart does not
/// have (with a spelling hint), nodes of the wrong type in their part fields,
/// a KTComponent without a DEF name, two KTPart nodes of one component with
/// the same DEF name, and a VRML 2.0 header. Call after
/// KTComponentLibrary::init(); `path` must be a regular file.
std::vector<Issue> checkWorldText(const std::string& path);

/// The column of Coin's read error `message` in `line`: where the first word
/// the message quotes stands, else 1.
int columnOfCoinError(const std::string& message, const std::string& line);

} // namespace ktrt_tool
