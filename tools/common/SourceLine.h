#pragma once

#include <string>
#include <string_view>

namespace ktrt_tool {

/// `text` with control bytes, DEL and bytes of 0x80 and up written as \xHH
/// (tab as \t, carriage return as \r), so that file text cannot move the
/// terminal's cursor or change its colours.
std::string escapeBytes(std::string_view text);

/// Two lines that quote a line of a file under a diagnostic: the line,
/// escaped, cut to about 100 columns around `column` (1-based byte column;
/// 0 for none) with "..." where it was cut, then a caret under the column.
/// Each line is indented by four spaces and ends with a line feed.
std::string quoteLine(std::string_view line, int column);

} // namespace ktrt_tool
