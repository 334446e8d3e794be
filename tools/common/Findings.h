#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace ktrt_tool {

/// How much a finding matters: an error fails the check, a warning only with
/// --strict, a note never.
enum class Severity { error = 0, warning = 1, note = 2 };

/// Everything `ktrt check` can report, about animation files and worlds. Each
/// has one row in the table of findings: its code, severity and message.
enum class Finding {
    readError,
    noAnimation,
    byteOrderMark,
    openAtEnd,
    unknownWord,
    bracketAgainstWord,
    unquotedName,
    animationLeft,
    animationSkipped,
    strayBlock,
    strayList,
    numberSuffix,
    numberSuffixBracket,
    nonFiniteNumber,
    keyCountMismatch,
    valuesLeftOver,
    nameCutAtNul,
    nameInherited,
    trackReplaced,
    positionsNotPlayed,
    carriageReturn,
    outsideAnimation,
    missingPart,
    trackLength,
    longTurn,
    unreadable,
    worldError,
    unknownField,
    wrongNodeType,
    unnamedComponent,
    duplicatePart,
    vrmlHeader,
    keyOrder,
    keyRange,
    keyListsDiffer,
    badWeight,
    unknownValue,
    missingAnimation,
};

/// One row of the table of findings. The message holds {0}, {1}, ... where
/// the details of a finding go.
struct FindingRule {
    Finding finding;
    const char* code;
    Severity severity;
    const char* message;
};

/// The row of `finding`.
const FindingRule& ruleOf(Finding finding);

/// One finding at a 1-based line and column (0: none).
struct Issue {
    Severity severity;
    std::string code;
    std::string message;
    int line;
    int column;
};

/// The finding with its message's placeholders replaced by `details`, in
/// order.
Issue makeIssue(Finding finding, int line, int column,
                std::initializer_list<std::string_view> details = {});

/// `text` escaped and in single quotes, as findings quote file text.
std::string quoted(std::string_view text);

/// "1 key", "2 keys".
std::string plural(unsigned long count, const char* noun);

/// The word of `candidates` (a null-terminated list) that `word` is probably
/// a misspelling of, or null. Letter case does not count; words shorter than
/// three letters must match but for letter case.
const char* nearestWord(std::string_view word, const char* const* candidates);

} // namespace ktrt_tool
