#include "common/Findings.h"
#include "common/SourceLine.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ktrt_tool {

namespace {

using S = Severity;

// The table of findings, in the order of the Finding enumeration. The format
// page's table lists every code here; a test compares them.
const FindingRule rules[] = {
    {Finding::readError, "READ_ERROR", S::error, "{0}"},
    {Finding::noAnimation, "NO_ANIMATION", S::error,
     "no animation found: the file holds no KTAnimation { ... }"},
    {Finding::byteOrderMark, "BYTE_ORDER_MARK", S::error,
     "the file starts with a UTF-8 byte-order mark, which the reader takes as part of the first "
     "word: save the file without a byte-order mark"},
    {Finding::openAtEnd, "OPEN_AT_END", S::error,
     "the file ends inside {0}: it is cut short or a closing bracket or brace is missing; what "
     "was open is dropped"},
    {Finding::unknownWord, "UNKNOWN_WORD", S::error, "unknown word {0} is ignored{1}"},
    {Finding::bracketAgainstWord, "UNKNOWN_WORD", S::error,
     "unknown word {0} is ignored, and so are the words after it: brackets and braces must "
     "stand apart, with spaces ('{1} {2}')"},
    {Finding::unquotedName, "UNQUOTED_NAME", S::error,
     "the part name {0} must be written in double quotes; it is ignored"},
    {Finding::animationLeft, "ANIMATION_LEFT", S::error,
     "{0} is out of place and ends the animation: the rest up to the next KTAnimation is "
     "ignored"},
    {Finding::animationSkipped, "ANIMATION_SKIPPED", S::error,
     "'[' after KTAnimation skips the animation up to the next ']'; write '{'"},
    {Finding::strayBlock, "STRAY_BLOCK", S::error,
     "'{' out of place opens a block that the next '}' closes; that '}' then ends the "
     "enclosing body"},
    {Finding::strayList, "STRAY_LIST", S::error, "'[' out of place opens a key value list"},
    {Finding::numberSuffix, "NUMBER_SUFFIX", S::warning,
     "{0} is read as the number {1}; the rest is ignored"},
    {Finding::numberSuffixBracket, "NUMBER_SUFFIX", S::error,
     "{0} is read as the number {1}; the rest is ignored (brackets and braces must stand apart, "
     "with spaces)"},
    {Finding::nonFiniteNumber, "NON_FINITE_NUMBER", S::error, "{0} is not a finite number"},
    {Finding::keyCountMismatch, "READ_ERROR", S::error,
     "{0} of track \"{1}\" has {2} but {3}: every key needs one value; the shorter list is "
     "at line {4}"},
    {Finding::valuesLeftOver, "VALUES_LEFT_OVER", S::warning,
     "the KeyValue list ends with {0} of an unfinished value; {1} over into the next KeyValue "
     "list"},
    {Finding::nameCutAtNul, "NAME_CUT_AT_NUL", S::error,
     "the part name {0} holds a NUL byte; the track's name ends there"},
    {Finding::nameInherited, "NAME_INHERITED", S::warning,
     "KTPartTransform without Name: it takes {0}"},
    {Finding::trackReplaced, "TRACK_REPLACED", S::warning,
     "track \"{0}\" replaces the track of the same name{1}"},
    {Finding::positionsNotPlayed, "POSITIONS_NOT_PLAYED", S::note,
     "{0} position keys away from the origin{1}, which play only once the host enables "
     "positions on the track (setUsePositions, ktrt play --positions)"},
    {Finding::carriageReturn, "CARRIAGE_RETURN", S::warning,
     "a carriage return ends the last line without a line feed; it stays part of the last "
     "token"},
    {Finding::outsideAnimation, "OUTSIDE_ANIMATION", S::warning,
     "text outside any animation is ignored, from {0} up to the next KTAnimation"},
    {Finding::missingPart, "MISSING_PART", S::error, R"(component "{0}" has no part "{1}"{2})"},
    {Finding::trackLength, "TRACK_LENGTH", S::warning,
     "track \"{0}\" has {1} but playback cycles through {2}, the keys of the first track "
     "\"{3}\"{4}"},
    {Finding::longTurn, "LONG_TURN", S::warning,
     "track \"{0}\": keys {1} and {2} are written {3} degrees apart, more than half a turn; "
     "playback takes the short way round, {4} degrees: add keys in between"},
    {Finding::unreadable, "UNREADABLE", S::error, "cannot read: {0}"},
    {Finding::worldError, "WORLD_ERROR", S::error, "{0}"},
    {Finding::unknownField, "UNKNOWN_FIELD", S::error, "{0} has no field {1}{2}"},
    {Finding::wrongNodeType, "WRONG_NODE_TYPE", S::error,
     "field {0} of {1} takes {2}, not {3}; the node is dropped"},
    {Finding::unnamedComponent, "UNNAMED_COMPONENT", S::error,
     "KTComponent without a DEF name: no animation can find it; write DEF Name KTComponent { "
     "... }"},
    {Finding::duplicatePart, "DUPLICATE_PART", S::error,
     R"(component "{0}" has two parts named "{1}"; animations find only the first{2})"},
    {Finding::vrmlHeader, "VRML_HEADER", S::error,
     "the world starts with '#VRML V2.0', whose fields Coin reads differently (every "
     "translation plays as 0): write '#Inventor V2.1 ascii'"},
    {Finding::keyOrder, "KEY_ORDER", S::error,
     "key {0} of the {1} of track \"{2}\" is not after the key before it ({3}): keys must "
     "increase"},
    {Finding::keyRange, "KEY_RANGE", S::warning,
     "key {0} of the {1} of track \"{2}\" is outside 0 to 1: played over a cycle "
     "(cycleLength), keys are fractions of it, and {3}"},
    {Finding::keyListsDiffer, "KEY_LISTS_DIFFER", S::error,
     "track \"{0}\": key {1} of the PositionInterpolator is {2}, of the "
     "OrientationInterpolator {3}: a part has one list of key times, the orientation keys'; "
     "write the same numbers in both"},
    {Finding::badWeight, "BAD_WEIGHT", S::error,
     "weight {0} is not a finite number of at least 0 (above 1 is allowed: it outweighs the "
     "other layers)"},
    {Finding::unknownValue, "UNKNOWN_VALUE", S::error, "{0} {1} is none of {2}{3}"},
    {Finding::missingAnimation, "MISSING_ANIMATION", S::error,
     "component \"{0}\": animation \"{1}\" is not beside the world: neither {2} nor {2}.kta "
     "is a readable regular file"},
};

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

} // namespace

const FindingRule& ruleOf(Finding finding) {
    return rules[static_cast<std::size_t>(finding)];
}

Issue makeIssue(Finding finding, int line, int column,
                std::initializer_list<std::string_view> details) {
    const FindingRule& rule = ruleOf(finding);
    std::string message;
    for (const char* c = rule.message; *c; ++c) {
        const auto index = static_cast<std::size_t>(c[1] - '0');
        if (c[0] == '{' && c[1] >= '0' && c[1] <= '9' && c[2] == '}') {
            if (index < details.size())
                message += details.begin()[index];
            c += 2;
        } else {
            message += *c;
        }
    }
    return {rule.severity, rule.code, std::move(message), line, column};
}

std::string quoted(std::string_view text) {
    return "'" + escapeBytes(text) + "'";
}

std::string plural(unsigned long count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

const char* nearestWord(std::string_view word, const char* const* candidates) {
    if (word.size() > 40)
        return nullptr;
    const char* best = nullptr;
    std::size_t bestDistance = 0;
    for (const char* const* candidate = candidates; *candidate; ++candidate) {
        const std::size_t d = distance(word, *candidate);
        // Short words only differ in letter case: any other change makes
        // another word.
        const std::size_t allowed = word.size() < 3 ? 0u : std::strlen(*candidate) > 6 ? 2u : 1u;
        if (d <= allowed && (!best || d < bestDistance)) {
            best = *candidate;
            bestDistance = d;
        }
    }
    return best;
}

} // namespace ktrt_tool
