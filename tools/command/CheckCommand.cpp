#include "common/AnimationFile.h"
#include "command/Commands.h"
#include "common/OutputFile.h"
#include "common/SourceLine.h"
#include "common/WorldFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/KTComponentLibrary.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/animation/KTAnimationDiagnostics.h>
#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

namespace ktrt_tool {

namespace {

using Code = KTAnimationDiagnostics::Code;

struct CheckOptions {
    std::vector<std::string> files;
    std::string world;
    std::string component;
    bool quiet = false;
    bool strict = false;
    bool json = false;
    bool positions = false;
};

enum class Severity { error = 0, warning = 1 };

// One finding of the checker, at a 1-based line and column (0: none).
struct Issue {
    Severity severity;
    std::string code;
    std::string message;
    int line;
    int column;
};

// Beyond this many findings a file's report is cut short.
constexpr std::size_t issueLimit = 100;

const char* const keywords[] = {"KTAnimation",
                                "Children",
                                "Key",
                                "KeyValue",
                                "Name",
                                "OrientationInterpolator",
                                "KTPartTransform",
                                "PositionInterpolator"};

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Edit distance ignoring letter case, for spelling hints.
std::size_t distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                               diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The keyword that `word` is probably a misspelling of, or null.
const char* nearKeyword(std::string_view word) {
    if (word.size() < 3 || word.size() > 30)
        return nullptr;
    for (const char* keyword : keywords) {
        if (distance(word, keyword) <= (std::strlen(keyword) > 6 ? 2u : 1u))
            return keyword;
    }
    return nullptr;
}

// The name a track gets from a part name: up to a NUL byte.
std::string trackName(std::string_view partName) {
    return std::string(partName.substr(0, partName.find('\0')));
}

std::string quoted(std::string_view text) {
    return "'" + escapeBytes(text) + "'";
}

std::string plural(unsigned long count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// Turns the reader's reports into findings.
class Checker : public KTAnimationDiagnostics {
public:
    explicit Checker(bool positionsPlay) : positionsPlay(positionsPlay) {}

    void report(const Report& report) override {
        const std::string_view text(report.text ? report.text : "", report.length);
        const Code code = report.code;
        // A run of ignored text outside animations gives one finding.
        if (code == outsideAnimation) {
            if (!inOutsideRun && !afterLeaving)
                outside(text, report);
            inOutsideRun = true;
            return;
        }
        inOutsideRun = false;
        afterLeaving = code == animationLeft || code == animationSkipped;
        switch (code) {
        case readFailed:
            add(Severity::error, "READ_ERROR", std::string(text), report);
            break;
        case noAnimation:
            add(Severity::error, "NO_ANIMATION",
                "no animation found: the file holds no KTAnimation { ... }", report);
            break;
        case openAtEnd:
            add(Severity::error, "OPEN_AT_END",
                "the file ends inside " + std::string(text) +
                    ": it is cut short or a closing bracket or brace is missing; what was "
                    "open is dropped",
                report);
            break;
        case unknownWord:
            add(Severity::error, "UNKNOWN_WORD",
                "unknown word " + quoted(text) + " is ignored" + hint(text), report);
            break;
        case unquotedName:
            add(Severity::error, "UNQUOTED_NAME",
                "the part name " + quoted(text) +
                    " must be written in double quotes; it is ignored",
                report);
            break;
        case animationLeft:
            add(Severity::error, "ANIMATION_LEFT",
                quoted(text) + " is out of place and ends the animation: the rest up to the next "
                               "KTAnimation is ignored",
                report);
            break;
        case animationSkipped:
            add(Severity::error, "ANIMATION_SKIPPED",
                "'[' after KTAnimation skips the animation up to the next ']'; write '{'", report);
            break;
        case strayBlock:
            add(Severity::error, "STRAY_BLOCK",
                "'{' out of place opens a block that the next '}' closes; that '}' then ends "
                "the enclosing body",
                report);
            break;
        case strayList:
            add(Severity::error, "STRAY_LIST", "'[' out of place opens a key value list", report);
            break;
        case numberSuffix: {
            const std::string_view rest =
                text.substr(std::min<std::size_t>(report.count, text.size()));
            const bool bracket = rest.find_first_of("[]{}") != std::string_view::npos;
            add(bracket ? Severity::error : Severity::warning, "NUMBER_SUFFIX",
                quoted(text) + " is read as the number " + quoted(text.substr(0, report.count)) +
                    "; the rest is ignored" +
                    (bracket ? " (brackets and braces must stand apart, with spaces)" : ""),
                report);
            break;
        }
        case nonFiniteNumber:
            add(Severity::error, "NON_FINITE_NUMBER", quoted(text) + " is not a finite number",
                report);
            break;
        case valuesLeftOver:
            add(Severity::warning, "VALUES_LEFT_OVER",
                "the KeyValue list ends with " + plural(report.count, "number") +
                    " of an unfinished value; they carry over into the next KeyValue list",
                report);
            break;
        case nameCutAtNul:
            add(Severity::error, "NAME_CUT_AT_NUL",
                "the part name " + quoted(text) + " holds a NUL byte; the track's name ends there",
                report);
            break;
        case nameInherited:
            add(Severity::warning, "NAME_INHERITED",
                "KTPartTransform without Name: it takes " +
                    (text.empty() ? std::string("the empty name")
                                  : "the previous name \"" + escapeBytes(text) + "\""),
                report);
            break;
        case trackStored:
            locations[trackName(text)] = {report.line, report.column};
            break;
        case trackReplaced: {
            add(Severity::warning, "TRACK_REPLACED",
                "track \"" + escapeBytes(text) + "\" replaces the track of the same name" +
                    earlier(text),
                report);
            break;
        }
        case positionsNotPlayed:
            if (!positionsPlay)
                add(Severity::warning, "POSITIONS_NOT_PLAYED",
                    "track \"" + escapeBytes(text) + "\" has " +
                        plural(report.count, "position key") +
                        ", which play only once the host enables positions on the track "
                        "(setUsePositions)",
                    report);
            break;
        case carriageReturn:
            add(Severity::warning, "CARRIAGE_RETURN",
                "a carriage return ends the last line without a line feed; it stays part of "
                "the last token",
                report);
            break;
        case outsideAnimation:
            break;
        }
    }

    // Findings about the animation as read: track lengths and, given a
    // component, tracks naming parts it lacks.
    void checkTracks(KTComponentAnimation& animation, KTComponent* component) {
        std::string first;
        unsigned long frames = 0;
        for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
            KTPartAnimation* track = animation[i];
            const std::string name = track->getPartName().std();
            const auto [line, column] = locationOf(name);
            if (component && !component->getLogicalPart(track->getPartName()))
                add(Severity::error, "MISSING_PART",
                    "component \"" + escapeBytes(component->getName().getString()) +
                        "\" has no part \"" + escapeBytes(name) + "\"",
                    line, column);
            const unsigned long keys = track->getNumStates();
            if (keys == 0)
                continue;
            if (frames == 0) {
                frames = keys;
                first = name;
            } else if (keys != frames) {
                add(Severity::warning, "TRACK_LENGTH",
                    "track \"" + escapeBytes(name) + "\" has " + plural(keys, "key") +
                        " but playback cycles through " + std::to_string(frames) +
                        ", the keys of the first track \"" + escapeBytes(first) + "\"" +
                        (keys > frames ? ": its later keys never play"
                                       : ": past its end it writes a zero pose"),
                    line, column);
            }
        }
    }

    std::vector<Issue> issues;
    bool truncated = false;

private:
    void outside(std::string_view text, const Report& report) {
        if (const char* keyword = nearKeyword(text)) {
            add(Severity::error, "UNKNOWN_WORD",
                "unknown word " + quoted(text) + " is ignored (did you mean '" + keyword + "'?)",
                report);
            return;
        }
        add(Severity::warning, "OUTSIDE_ANIMATION",
            "text outside any animation is ignored, from " + quoted(text) +
                " up to the next KTAnimation",
            report);
    }

    static std::string hint(std::string_view word) {
        const char* keyword = nearKeyword(word);
        return keyword ? std::string(" (did you mean '") + keyword + "'?)" : "";
    }

    std::string earlier(std::string_view name) const {
        const auto found = locations.find(trackName(name));
        return found == locations.end() ? "" : " at line " + std::to_string(found->second.first);
    }

    std::pair<int, int> locationOf(const std::string& name) const {
        const auto found = locations.find(name);
        return found == locations.end() ? std::pair<int, int>{0, 0} : found->second;
    }

    void add(Severity severity, const char* code, std::string message, const Report& report) {
        add(severity, code, std::move(message), report.line, report.column);
    }

    void add(Severity severity, const char* code, std::string message, int line, int column) {
        if (issues.size() >= issueLimit) {
            truncated = true;
            return;
        }
        issues.push_back({severity, code, std::move(message), line, column});
    }

    bool positionsPlay;
    bool inOutsideRun = false;
    bool afterLeaving = false;
    std::map<std::string, std::pair<int, int>> locations;
};

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

struct FileResult {
    std::string name;
    bool readable = true;
    std::string copyPath; // a pipe's temporary copy, removed by the caller
    std::string reason;
    std::vector<Issue> issues;
    bool truncated = false;
    std::vector<std::string> tracks; // "name": N keys, flags
    std::vector<std::pair<std::string, unsigned int>> trackKeys;
};

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
        std::string messages;
        auto addMessage = [&](Severity severity, const std::string& code,
                              const std::string& message, int line, int column) {
            (severity == Severity::error ? errors : warnings) += 1;
            messages += messages.empty() ? "\n" : ",\n";
            messages += "      {\"code\": " + jsonString(code) +
                        ", \"message\": " + jsonString(message) +
                        ", \"severity\": " + std::to_string(static_cast<int>(severity)) +
                        ", \"pointer\": " +
                        jsonString(line > 0 ? "/lines/" + std::to_string(line) + "/columns/" +
                                                  std::to_string(std::max(column, 1))
                                            : "") +
                        ", \"line\": " + std::to_string(line) +
                        ", \"column\": " + std::to_string(column) + "}";
        };
        if (!result.readable)
            addMessage(Severity::error, "UNREADABLE", "cannot read: " + result.reason, 0, 0);
        for (const Issue& issue : result.issues)
            addMessage(issue.severity, issue.code, issue.message, issue.line, issue.column);
        std::string tracks;
        for (const auto& [name, keys] : result.trackKeys)
            tracks += std::string(tracks.empty() ? "" : ", ") + "{\"name\": " + jsonString(name) +
                      ", \"keys\": " + std::to_string(keys) + "}";
        out += "{\n  \"uri\": " + jsonString(result.name) + ",\n  \"issues\": {\n";
        out += "    \"numErrors\": " + std::to_string(errors) + ",\n";
        out += "    \"numWarnings\": " + std::to_string(warnings) + ",\n";
        out += "    \"numInfos\": 0,\n    \"numHints\": 0,\n    \"messages\": [" + messages;
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
                  << (issue.severity == Severity::error ? "error" : "warning") << ": "
                  << issue.message << '\n';
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

// Reads one file through the registry, as a host would, with the checker
// listening.
FileResult checkFile(const std::string& path, const std::string& shownName, std::size_t index,
                     const CheckOptions& options, KTComponentDB* world) {
    FileResult result;
    result.name = shownName;
    result.reason = unreadableReason(path);
    if (result.reason.empty())
        result.reason = prepareInput(path, result.copyPath);
    if (!result.reason.empty()) {
        result.readable = false;
        return result;
    }
    const std::string& readPath = result.copyPath.empty() ? path : result.copyPath;
    // A name of its own for each file, so that equal file names in different
    // folders do not clash.
    const std::string name = "ktrt-check/" + std::to_string(index) + "/" + path;
    KTRegistryLoader::RegisterAnimation(name.c_str(), readPath.c_str());
    KTComponentAnimation animation;
    Checker checker(options.positions);
    const int read =
        KTAnimationDiagnostics::loadAnimationFromFile(animation, name.c_str(), checker);
    if (!read && animation.getErrorMessage().isNull()) {
        result.readable = false;
        result.reason = "cannot open";
        return result;
    }
    if (read) {
        KTComponent* component = nullptr;
        if (world)
            component = options.component.empty() ? world->getComponent(0u)
                                                  : world->getComponent(options.component.c_str());
        checker.checkTracks(animation, component);
    }
    // Findings in file order; those about the whole file last.
    std::stable_sort(checker.issues.begin(), checker.issues.end(),
                     [](const Issue& a, const Issue& b) {
                         const auto key = [](const Issue& issue) {
                             return std::pair<unsigned, int>(static_cast<unsigned>(issue.line) - 1,
                                                             issue.column);
                         };
                         return key(a) < key(b);
                     });
    if (options.strict) {
        for (Issue& issue : checker.issues)
            issue.severity = Severity::error;
    }
    result.issues = std::move(checker.issues);
    result.truncated = checker.truncated;
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
        KTPartAnimation* track = animation[i];
        const unsigned int keys = track->getNumStates();
        result.trackKeys.emplace_back(track->getPartName().std(), keys);
        result.tracks.push_back("\"" + escapeBytes(track->getPartName().std()) +
                                "\": " + std::to_string(keys) + (keys == 1 ? " key" : " keys") +
                                ", useOrientations " + std::to_string(track->useOrientations()) +
                                ", usePositions " + std::to_string(track->usePositions()));
    }
    return result;
}

int check(const CheckOptions& options) {
    std::unique_ptr<KTComponentDB> world;
    if (!options.world.empty()) {
        KTComponentLibrary::init();
        world = std::make_unique<KTComponentDB>();
        if (!readWorld("ktrt check", options.world, *world))
            return 1;
        if (!options.component.empty() && !world->getComponent(options.component.c_str())) {
            std::cerr << "ktrt check: " << escapeBytes(options.world)
                      << " has no component named \"" << escapeBytes(options.component) << "\"\n";
            return 1;
        }
    }

    int status = 0;
    std::vector<FileResult> results;
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        std::string path = options.files[i];
        std::string shown = path;
        const bool standardInput = path == "-";
        if (standardInput) {
            path = copyStandardInput();
            shown = "<stdin>";
            if (path.empty()) {
                std::cerr << "ktrt check: cannot read standard input\n";
                status = 1;
                continue;
            }
        }
        FileResult result = checkFile(path, shown, i, options, world.get());
        if (!options.json)
            printText(result, result.copyPath.empty() ? path : result.copyPath, options.quiet);
        if (!result.copyPath.empty())
            std::remove(result.copyPath.c_str());
        if (standardInput)
            std::remove(path.c_str());
        if (errorCount(result) > 0)
            status = 1;
        results.push_back(std::move(result));
    }
    if (options.json)
        printJson(results);
    if (!standardOutputWritten("ktrt check"))
        status = 1;
    return status;
}

} // namespace

void registerCheckCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command =
        app.add_subcommand("check", "Check animation files strictly and list their tracks");
    command->footer(
        "Reads each FILE as the library does and reports, as FILE:LINE:COLUMN: error|warning: "
        "MESSAGE on standard error, what the lenient reader ignores or drops: no animation, "
        "constructs open at the end (a cut-off file), unknown words, replaced tracks, numbers "
        "that are not finite, position keys that do not play, tracks of different lengths and "
        "more. A FILE of - is standard input. Valid files are listed with their tracks on "
        "standard output. Exit status: 0 without errors, 1 when any file has an error (with "
        "--strict: or a warning), 2 for a usage error.");
    command->add_option("files", options->files, "Animation files to check (- for standard input)")
        ->required();
    command->add_option("--world", options->world,
                        "Inventor world whose component the animation is for");
    command->add_option("-c,--component", options->component,
                        "Component of --world (default: the first in the file)");
    command->add_flag("--strict", options->strict, "Treat warnings as errors");
    command->add_flag("--json", options->json,
                      "Write a machine-readable report on standard output instead");
    command->add_flag("--positions", options->positions,
                      "The host plays position keys: do not warn about them");
    command->add_flag("-q,--quiet", options->quiet, "Do not list the tracks of valid files");
    command->callback([options, &status]() { status = check(*options); });
}

} // namespace ktrt_tool
