#include "common/AnimationChecker.h"
#include "common/SourceLine.h"

#include <algorithm>
#include <cstring>

#include <ktcp/KTComponent.h>

#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

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
    switch (code) {
    case readFailed:
        add(Finding::readError, report, {text});
        break;
    case noAnimation:
        add(Finding::noAnimation, report);
        break;
    case openAtEnd:
        add(Finding::openAtEnd, report, {text});
        break;
    case unknownWord:
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
        add(Finding::valuesLeftOver, report, {plural(report.count, "number")});
        break;
    case nameCutAtNul:
        add(Finding::nameCutAtNul, report, {quoted(text)});
        break;
    case nameInherited:
        add(Finding::nameInherited, report,
            {text.empty() ? std::string("the empty name")
                          : "the previous name \"" + escapeBytes(text) + "\""});
        break;
    case trackStored:
        locations[trackName(text)] = {report.line, report.column};
        break;
    case trackReplaced:
        add(Finding::trackReplaced, report, {escapeBytes(text), earlier(text)});
        break;
    case positionsNotPlayed:
        if (!positionsPlay)
            add(Finding::positionsNotPlayed, report,
                {escapeBytes(text), plural(report.count, "position key")});
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
    std::string first;
    unsigned long frames = 0;
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
        KTPartAnimation* track = animation[i];
        const std::string name = track->getPartName().std();
        const auto [line, column] = locationOf(name);
        if (component && !component->getLogicalPart(track->getPartName()))
            add(makeIssue(Finding::missingPart, line, column,
                          {escapeBytes(component->getName().getString()), escapeBytes(name)}));
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
