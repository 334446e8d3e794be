#include "common/SourceLine.h"

#include <algorithm>
#include <cstdio>

namespace ktrt_tool {

namespace {

constexpr std::size_t shownBytes = 100;

void appendEscaped(std::string& out, char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\t') {
        out += "\\t";
    } else if (byte == '\r') {
        out += "\\r";
    } else if (byte < 0x20 || byte >= 0x7f) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", byte);
        out += hex;
    } else {
        out += c;
    }
}

} // namespace

std::string escapeBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        appendEscaped(out, c);
    return out;
}

std::string quoteLine(std::string_view line, int column) {
    // The window of the line shown: the start, or around the column.
    const std::size_t at = column > 0 ? static_cast<std::size_t>(column - 1) : 0;
    std::size_t begin = 0;
    if (line.size() > shownBytes && at > shownBytes / 2)
        begin = std::min(at - shownBytes / 2, line.size() - shownBytes);
    const std::size_t end = std::min(line.size(), begin + shownBytes);

    std::string text = "    ";
    std::string marker = "    ";
    if (begin > 0) {
        text += "...";
        marker += "   ";
    }
    for (std::size_t i = begin; i < end; ++i) {
        const std::size_t before = text.size();
        appendEscaped(text, line[i]);
        if (i < at)
            marker.append(text.size() - before, ' ');
    }
    if (end < line.size())
        text += "...";
    text += '\n';
    if (column <= 0)
        return text;
    marker += "^\n";
    return text + marker;
}

} // namespace ktrt_tool
