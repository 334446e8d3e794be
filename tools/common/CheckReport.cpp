#include "common/CheckReport.h"
#include "common/SourceLine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>

namespace ktrt_tool {

namespace {

// The lines of `path` that the findings point at, by number.
std::map<int, std::string> linesOf(const std::string& path, const std::vector<Issue>& issues) {
    std::set<int> wanted;
    for (const Issue& issue : issues) {
        if (issue.line > 0)
            wanted.insert(issue.line);
    }
    std::map<int, std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    for (int number = 1; !wanted.empty() && std::getline(in, line); ++number) {
        if (wanted.erase(number)) {
            if (!line.empty() && line.back() == '\r' && in.good())
                line.pop_back();
            // Only the part around a column is ever shown.
            lines[number] = line.substr(0, 4096);
        }
    }
    return lines;
}

} // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int errorCount(const FileResult& result) {
    int errors = result.readable ? 0 : 1;
    for (const Issue& issue : result.issues)
        errors += issue.severity == Severity::error;
    return errors;
}

void printJson(const std::vector<FileResult>& results) {
    std::string out = results.size() == 1 ? "" : "[\n";
    for (std::size_t f = 0; f < results.size(); ++f) {
        const FileResult& result = results[f];
        int errors = 0;
        int warnings = 0;
        int infos = 0;
        std::string messages;
        auto addMessage = [&](const Issue& issue) {
            (issue.severity == Severity::error     ? errors
             : issue.severity == Severity::warning ? warnings
                                                   : infos) += 1;
            messages += messages.empty() ? "\n" : ",\n";
            messages +=
                "      {\"code\": " + jsonString(issue.code) +
                ", \"message\": " + jsonString(issue.message) +
                ", \"severity\": " + std::to_string(static_cast<int>(issue.severity)) +
                ", \"pointer\": " +
                jsonString(issue.line > 0 ? "/lines/" + std::to_string(issue.line) + "/columns/" +
                                                std::to_string(std::max(issue.column, 1))
                                          : "") +
                ", \"line\": " + std::to_string(issue.line) +
                ", \"column\": " + std::to_string(issue.column) + "}";
        };
        if (!result.readable)
            addMessage(makeIssue(Finding::unreadable, 0, 0, {result.reason}));
        for (const Issue& issue : result.issues)
            addMessage(issue);
        std::string tracks;
        for (const auto& [name, keys] : result.trackKeys)
            tracks += std::string(tracks.empty() ? "" : ", ") + "{\"name\": " + jsonString(name) +
                      ", \"keys\": " + std::to_string(keys) + "}";
        out += "{\n  \"uri\": " + jsonString(result.name) + ",\n  \"issues\": {\n";
        out += "    \"numErrors\": " + std::to_string(errors) + ",\n";
        out += "    \"numWarnings\": " + std::to_string(warnings) + ",\n";
        out += "    \"numInfos\": " + std::to_string(infos) +
               ",\n    \"numHints\": 0,\n    \"messages\": [" + messages;
        out += messages.empty() ? "]" : "\n    ]";
        out += ",\n    \"truncated\": ";
        out += result.truncated ? "true" : "false";
        out += "\n  },\n  \"info\": {\"tracks\": [" + tracks + "]}\n}";
        out += f + 1 < results.size() ? ",\n" : "\n";
    }
    if (results.size() != 1)
        out += "]\n";
    std::cout << out;
}

void printText(const FileResult& result, const std::string& path, bool quiet) {
    if (!result.readable) {
        // A line number leads the reason when a line was too long.
        if (std::isdigit(static_cast<unsigned char>(result.reason[0])))
            std::cerr << escapeBytes(result.name) << ':' << result.reason << '\n';
        else
            std::cerr << "ktrt check: cannot read " << escapeBytes(result.name) << ": "
                      << result.reason << '\n';
        return;
    }
    const std::map<int, std::string> lines = linesOf(path, result.issues);
    for (const Issue& issue : result.issues) {
        std::cerr << escapeBytes(result.name) << ':' << std::max(issue.line, 1) << ':'
                  << std::max(issue.column, 1) << ": "
                  << (issue.severity == Severity::error     ? "error"
                      : issue.severity == Severity::warning ? "warning"
                                                            : "note")
                  << ": " << issue.message << '\n';
        const auto line = lines.find(issue.line);
        if (line != lines.end())
            std::cerr << quoteLine(line->second, issue.column);
    }
    if (result.truncated)
        std::cerr << escapeBytes(result.name) << ": more findings not shown\n";
    if (quiet || errorCount(result) > 0)
        return;
    std::cout << escapeBytes(result.name) << ": valid, " << result.tracks.size()
              << (result.tracks.size() == 1 ? " track" : " tracks") << '\n';
    for (const std::string& track : result.tracks)
        std::cout << "  " << track << '\n';
}

} // namespace ktrt_tool
