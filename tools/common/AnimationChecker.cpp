#include "common/AnimationChecker.h"
#include "common/SourceLine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <strings.h>

#include <Inventor/misc/SoChildList.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTPart.h>

#include <ktrt/keys/KTAxisAngle.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/world/KTWorldAnimations.h>

namespace ktrt_tool {

namespace {

const char* const keywords[] = {"KTAnimation",
                                "Children",
                                "Key",
                                "KeyValue",
                                "Name",
                                "OrientationInterpolator",
                                "KTPartTransform",
                                "PositionInterpolator",
                                nullptr};

// The name a track gets from a part name: up to a NUL byte.
std::string trackName(std::string_view partName) {
    return std::string(partName.substr(0, partName.find('\0')));
}

std::string hint(std::string_view word) {
    const char* keyword = nearestWord(word, keywords);
    return keyword ? std::string(" (did you mean '") + keyword + "'?)" : "";
}

// Degrees with one decimal.
std::string degrees(double radians) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", radians * 180 / M_PI);
    return text;
}

// The quaternion (x, y, z, w) of an axis and angle, without reducing the
// angle: a turn of 2 pi gives -1, the other side of the identity.
void writtenQuaternion(const KTAxisAngle& value, double q[4]) {
    float axis[3], angle;
    value.getValue(axis[0], axis[1], axis[2], angle);
    const double length = std::sqrt(double(axis[0]) * axis[0] + double(axis[1]) * axis[1] +
                                    double(axis[2]) * axis[2]);
    const double sine = length > 0 ? std::sin(angle / 2.0) / length : 0;
    for (int i = 0; i < 3; ++i)
        q[i] = axis[i] * sine;
    q[3] = length > 0 ? std::cos(angle / 2.0) : 1;
}

// How far apart the file writes two keys, in radians: the difference of the
// angles when both turn about the same axis (so that 0 and 4 pi are two turns
// apart), else the angle between their unreduced quaternions (so that 0 and
// 2 pi are a turn apart). Playback goes the short way, at most half a turn.
double writtenTurn(const KTAxisAngle& from, const KTAxisAngle& to) {
    double a[4], b[4];
    writtenQuaternion(from, a);
    writtenQuaternion(to, b);
    float axisA[3], axisB[3], angleA, angleB;
    from.getValue(axisA[0], axisA[1], axisA[2], angleA);
    to.getValue(axisB[0], axisB[1], axisB[2], angleB);
    double dot = 0, lengthA = 0, lengthB = 0;
    for (int i = 0; i < 3; ++i) {
        dot += double(axisA[i]) * axisB[i];
        lengthA += double(axisA[i]) * axisA[i];
        lengthB += double(axisB[i]) * axisB[i];
    }
    if (lengthA > 0 && lengthB > 0 && dot / std::sqrt(lengthA * lengthB) > 1 - 1e-9)
        return std::fabs(double(angleB) - angleA);
    const double cosine = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    return 2 * std::acos(std::max(-1.0, std::min(1.0, cosine)));
}

// The turn playback takes between two keys: the short way, in radians.
double playedTurn(const KTAxisAngle& from, const KTAxisAngle& to) {
    double a[4], b[4];
    writtenQuaternion(from, a);
    writtenQuaternion(to, b);
    const double cosine = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    return 2 * std::acos(std::min(1.0, std::fabs(cosine)));
}

// Names of the KTPart nodes below `node`.
void collectPartNames(SoNode* node, std::vector<std::string>& names) {
    if (node->isOfType(KTPart::getClassTypeId()))
        names.emplace_back(node->getName().getString());
    if (const SoChildList* children = node->getChildren()) {
        for (int i = 0; i < children->getLength(); ++i)
            collectPartNames((*children)[i], names);
    }
}

// " (did you mean \"Lid\"?)" for a part of `component` spelt nearly as `name`.
std::string partHint(KTComponent& component, const std::string& name) {
    std::vector<std::string> names;
    collectPartNames(&component, names);
    std::vector<const char*> candidates;
    candidates.reserve(names.size() + 1);
    for (const std::string& part : names)
        candidates.push_back(part.c_str());
    candidates.push_back(nullptr);
    const char* near = nearestWord(name, candidates.data());
    return near ? " (did you mean \"" + escapeBytes(near) + "\"?)" : "";
}

} // namespace

void AnimationChecker::report(const Report& report) {
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
    // The words that follow a bracket glued to a number ("Key [0, 1]") are
    // all unknown; the first says why.
    if (code != unknownWord)
        inGluedRun = false;
    else if (inGluedRun)
        return;
    switch (code) {
    case readFailed:
        add(Finding::readError, report, {text});
        break;
    case noAnimation:
        // Shown at the start of the file, in the text report and in JSON.
        add(makeIssue(Finding::noAnimation, 1, 1));
        break;
    case openAtEnd:
        add(Finding::openAtEnd, report, {text});
        break;
    case unknownWord:
        if (text.size() > 1 && text.find_first_of("[]{}") != std::string_view::npos) {
            const std::size_t at = text.find_first_of("[]{}");
            const std::string_view mark = text.substr(at, 1);
            const std::string_view rest = at == 0 ? text.substr(1) : text.substr(0, at);
            add(Finding::bracketAgainstWord, report,
                {quoted(text), at == 0 ? mark : rest, at == 0 ? rest : mark});
            inGluedRun = true;
            break;
        }
        add(Finding::unknownWord, report, {quoted(text), hint(text)});
        break;
    case unquotedName:
        add(Finding::unquotedName, report, {quoted(text)});
        break;
    case animationLeft:
        add(Finding::animationLeft, report, {quoted(text)});
        break;
    case animationSkipped:
        add(Finding::animationSkipped, report);
        break;
    case strayBlock:
        add(Finding::strayBlock, report);
        break;
    case strayList:
        add(Finding::strayList, report);
        break;
    case numberSuffix: {
        const std::string_view rest = text.substr(std::min<std::size_t>(report.count, text.size()));
        const bool bracket = rest.find_first_of("[]{}") != std::string_view::npos;
        add(bracket ? Finding::numberSuffixBracket : Finding::numberSuffix, report,
            {quoted(text), quoted(text.substr(0, report.count))});
        break;
    }
    case nonFiniteNumber:
        add(Finding::nonFiniteNumber, report, {quoted(text)});
        break;
    case valuesLeftOver:
        add(Finding::valuesLeftOver, report,
            {plural(report.count, "number"), report.count == 1 ? "it carries" : "they carry"});
        break;
    case nameCutAtNul:
        add(Finding::nameCutAtNul, report, {quoted(text)});
        break;
    case nameInherited:
        add(Finding::nameInherited, report,
            {text.empty() ? std::string("the empty name")
                          : "the previous name \"" + escapeBytes(text) + "\""});
        break;
    case trackStored: {
        const std::string name = trackName(text);
        locations[name] = {report.line, report.column};
        trackOrder.erase(std::remove(trackOrder.begin(), trackOrder.end(), name), trackOrder.end());
        trackOrder.push_back(name);
        break;
    }
    case trackReplaced:
        add(Finding::trackReplaced, report, {escapeBytes(text), earlier(text)});
        break;
    case positionsNotPlayed:
        // Reported by checkTracks() for the tracks whose positions move.
        break;
    case carriageReturn:
        add(Finding::carriageReturn, report);
        break;
    case notRegistered:
        add(Finding::unreadable, report, {"no animation is registered as " + quoted(text)});
        break;
    case openFailed:
        add(Finding::unreadable, report,
            {escapeBytes(text) + ": " + std::strerror(static_cast<int>(report.count))});
        break;
    case outsideAnimation:
        break;
    }
}

void AnimationChecker::checkTracks(KTComponentAnimation& animation, KTComponent* component) {
    std::vector<std::string> unplayed;
    std::string first;
    unsigned long frames = 0;
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
        KTPartAnimation* track = animation[i];
        const std::string name = track->getPartName().std();
        const auto [line, column] = locationOf(name);
        if (component && !component->getLogicalPart(track->getPartName()))
            add(makeIssue(Finding::missingPart, line, column,
                          {escapeBytes(component->getName().getString()), escapeBytes(name),
                           partHint(*component, name)}));
        if (!positionsPlay && !track->usePositions() && KTWorldAnimations::hasPositionKeys(*track))
            unplayed.push_back(name);
        checkTurns(*track, name, line, column);
        const unsigned long keys = track->getNumStates();
        if (keys == 0)
            continue;
        if (frames == 0) {
            frames = keys;
            first = name;
        } else if (keys != frames) {
            add(makeIssue(Finding::trackLength, line, column,
                          {escapeBytes(name), plural(keys, "key"), std::to_string(frames),
                           escapeBytes(first),
                           keys > frames ? ": its later keys never play"
                                         : ": past its end it writes a zero pose"}));
        }
    }
    // One note for all tracks whose positions do not play, at the first.
    if (unplayed.empty())
        return;
    std::sort(unplayed.begin(), unplayed.end(),
              [this](const auto& a, const auto& b) { return locationOf(a) < locationOf(b); });
    std::string names;
    for (std::size_t i = 1; i < unplayed.size() && i <= 4; ++i)
        names += (i > 1 ? ", \"" : " (\"") + escapeBytes(unplayed[i]) + "\"";
    if (unplayed.size() > 5)
        names += ", ...";
    if (!names.empty())
        names += ")";
    const auto [line, column] = locationOf(unplayed.front());
    const std::string firstUnplayed = "track \"" + escapeBytes(unplayed.front()) + "\"";
    add(makeIssue(Finding::positionsNotPlayed, line, column,
                  {unplayed.size() == 1 ? firstUnplayed + " has"
                                        : firstUnplayed + " and " +
                                              plural(unplayed.size() - 1, "more track") + " have",
                   names}));
}

void AnimationChecker::checkTurns(KTPartAnimation& track, const std::string& name, int line,
                                  int column) {
    if (!track.useOrientations())
        return;
    KTAxisAngle previous;
    bool havePrevious = false;
    for (unsigned int k = 0; k < track.getNumStates(); ++k) {
        KTAxisAngle current;
        bool remembered = track[k]->getAxisAngle(current) != 0;
        if (remembered) {
            float x, y, z, angle;
            current.getValue(x, y, z, angle);
            remembered = std::isfinite(x + y + z + angle);
        }
        if (remembered && havePrevious) {
            const double apart = writtenTurn(previous, current);
            if (apart > M_PI + 1e-6)
                add(makeIssue(Finding::longTurn, line, column,
                              {escapeBytes(name), std::to_string(k - 1), std::to_string(k),
                               degrees(apart), degrees(playedTurn(previous, current))}));
        }
        previous = current;
        havePrevious = remembered;
    }
}

void AnimationChecker::explainKeyCountMismatch(const std::string& path) {
    const auto failure = std::find_if(issues.begin(), issues.end(), [](const Issue& issue) {
        return issue.code == "READ_ERROR" &&
               issue.message == "Mismatch between number of interpolator keys and values.";
    });
    if (failure == issues.end())
        return;
    // Tokens as the reader splits them, up to the failure: the last part
    // name, the open interpolator and its key and value lists.
    std::ifstream in(path, std::ios::binary);
    std::string text, name, kind, previous;
    unsigned long keys = 0, numbers = 0;
    int keyLine = 0, valueLine = 0;
    enum { none, keyList, valueList } list = none;
    bool opening = false; // "Key" or "KeyValue" seen, "[" expected
    bool valuesNext = false;
    for (int line = 1; line <= failure->line && std::getline(in, text); ++line) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        std::size_t begin = 0;
        while ((begin = text.find_first_not_of(" \t,", begin)) != std::string::npos) {
            const std::size_t end = std::min(text.find_first_of(" \t,", begin), text.size());
            if (line == failure->line && static_cast<int>(begin) + 1 >= failure->column)
                break;
            const std::string token = text.substr(begin, end - begin);
            begin = end;
            if (token[0] == '#')
                break;
            const auto is = [&](const char* word) { return strcasecmp(token.c_str(), word) == 0; };
            if (list != none) {
                if (token == "]")
                    list = none;
                else
                    ++(list == keyList ? keys : numbers);
            } else if (opening) {
                opening = false;
                if (token == "[")
                    list = valuesNext ? valueList : keyList;
            } else if (strcasecmp(previous.c_str(), "Name") == 0 && token[0] == '"') {
                name = token.substr(1, token.size() - 2);
            } else if (is("OrientationInterpolator") || is("PositionInterpolator")) {
                kind = token;
                keyLine = valueLine = line;
                keys = numbers = 0;
            } else if (is("Key") || is("KeyValue")) {
                opening = true;
                valuesNext = token.size() > 3;
                (valuesNext ? valueLine : keyLine) = line;
            }
            previous = token;
        }
    }
    if (kind.empty())
        return;
    const unsigned long values = numbers / (kind.size() > 20 ? 4 : 3);
    *failure = makeIssue(Finding::keyCountMismatch, failure->line, failure->column,
                         {kind, escapeBytes(name), plural(keys, "key"), plural(values, "value"),
                          std::to_string(keys < values ? keyLine : valueLine)});
}

void AnimationChecker::checkKeyLists(const std::string& path) {
    struct Key {
        float value;
        std::string text;
        int line, column;
    };
    // The Key lists of the part transform being read, orientation and
    // position; the reader adds up the lists of a kind within one part.
    std::vector<Key> lists[2];
    std::string name;
    const char* const kinds[] = {"OrientationInterpolator", "PositionInterpolator"};
    const auto endPart = [&] {
        for (int kind = 0; kind < 2; ++kind) {
            const std::vector<Key>& keys = lists[kind];
            for (std::size_t k = 1; k < keys.size(); ++k) {
                if (!(keys[k].value > keys[k - 1].value)) {
                    add(makeIssue(
                        Finding::keyOrder, keys[k].line, keys[k].column,
                        {keys[k].text, kinds[kind], escapeBytes(name), keys[k - 1].text}));
                    break;
                }
            }
            for (const Key& key : keys) {
                if (key.value < 0.0f || key.value > 1.0f) {
                    add(makeIssue(Finding::keyRange, key.line, key.column,
                                  {key.text, kinds[kind], escapeBytes(name),
                                   key.value > 1.0f ? "a key beyond 1 is never reached"
                                                    : "a key below 0 is passed before the "
                                                      "cycle starts"}));
                    break;
                }
            }
        }
        // The reader refuses lists of different lengths; lists of one
        // length keep the orientation keys' numbers.
        if (lists[0].size() == lists[1].size()) {
            for (std::size_t k = 0; k < lists[0].size(); ++k) {
                if (lists[0][k].value != lists[1][k].value) {
                    add(makeIssue(Finding::keyListsDiffer, lists[1][k].line, lists[1][k].column,
                                  {escapeBytes(name), std::to_string(k), lists[1][k].text,
                                   lists[0][k].text}));
                    break;
                }
            }
        }
        lists[0].clear();
        lists[1].clear();
    };
    std::ifstream in(path, std::ios::binary);
    std::string text, previous;
    int kind = -1;
    enum { none, keyList, valueList } list = none;
    bool opening = false; // "Key" or "KeyValue" seen, "[" expected
    bool valuesNext = false;
    for (int line = 1; std::getline(in, text); ++line) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        std::size_t begin = 0;
        while ((begin = text.find_first_not_of(" \t,", begin)) != std::string::npos) {
            const std::size_t end = std::min(text.find_first_of(" \t,", begin), text.size());
            const std::string token = text.substr(begin, end - begin);
            const int column = static_cast<int>(begin) + 1;
            begin = end;
            if (token[0] == '#')
                break;
            const auto is = [&](const char* word) { return strcasecmp(token.c_str(), word) == 0; };
            if (list != none) {
                char* numberEnd = nullptr;
                const float value = std::strtof(token.c_str(), &numberEnd);
                if (token == "]" || numberEnd == token.c_str())
                    list = none;
                else if (list == keyList && kind >= 0 && std::isfinite(value))
                    lists[kind].push_back(Key{value, token, line, column});
            } else if (opening) {
                opening = false;
                if (token == "[")
                    list = valuesNext ? valueList : keyList;
            } else if (strcasecmp(previous.c_str(), "Name") == 0 && token[0] == '"') {
                name = token.substr(1, token.size() > 1 ? token.size() - 2 : 0);
            } else if (is("KTPartTransform")) {
                endPart();
                kind = -1;
            } else if (is(kinds[0]) || is(kinds[1])) {
                kind = is(kinds[0]) ? 0 : 1;
            } else if (is("Key") || is("KeyValue")) {
                opening = true;
                valuesNext = token.size() > 3;
            }
            previous = token;
        }
    }
    endPart();
}

void AnimationChecker::sortByPlace() {
    std::stable_sort(issues.begin(), issues.end(), [](const Issue& a, const Issue& b) {
        const auto key = [](const Issue& issue) {
            return std::pair<unsigned, int>(static_cast<unsigned>(issue.line) - 1, issue.column);
        };
        return key(a) < key(b);
    });
}

void AnimationChecker::outside(std::string_view text, const Report& report) {
    if (report.line == 1 && report.column == 1 && text.substr(0, 3) == "\xEF\xBB\xBF") {
        add(Finding::byteOrderMark, report);
        return;
    }
    if (const char* keyword = nearestWord(text, keywords)) {
        add(Finding::unknownWord, report,
            {quoted(text), std::string(" (did you mean '") + keyword + "'?)"});
        return;
    }
    add(Finding::outsideAnimation, report, {quoted(text)});
}

std::string AnimationChecker::earlier(std::string_view name) const {
    const auto found = locations.find(trackName(name));
    return found == locations.end() ? "" : " at line " + std::to_string(found->second.first);
}

std::pair<int, int> AnimationChecker::locationOf(const std::string& name) const {
    const auto found = locations.find(name);
    return found == locations.end() ? std::pair<int, int>{0, 0} : found->second;
}

void AnimationChecker::add(Finding finding, const Report& report,
                           std::initializer_list<std::string_view> details) {
    add(makeIssue(finding, report.line, report.column, details));
}

void AnimationChecker::add(Issue issue) {
    if (issues.size() >= issueLimit) {
        truncated = true;
        return;
    }
    issues.push_back(std::move(issue));
}

} // namespace ktrt_tool
