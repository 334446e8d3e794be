#pragma once

#include <cstddef>
#include <cstdint>

#include <ktrt/keys/detail/KeywordTable.h>

// The grammar of the animation file, as data. A new keyword goes into
// Keyword and keywordTable (KeywordTable.h); the states it leads to into
// State; what it does where it belongs into the `format` rules below and
// where it does not into `outOfPlace`; a new kind of action into Action and
// AnimationFileReader::apply, which is also where an action that ignores or
// drops input reports it.

namespace ktrt::detail {

/// Where the animation file reader stands. The numbers follow the keyword
/// codes: a keyword with code k leads to state k, the body or list that it
/// opens is state k + 1.
enum class State : std::uint8_t {
    topLevel = 0,            ///< outside any animation
    afterAnimation = 1,      ///< after "KTAnimation"
    inAnimation = 2,         ///< in the body of an animation
    inStrayBlock = 3,        ///< in a block opened by an unexpected "{"
    inSkippedList = 5,       ///< in a "[" list right after "KTAnimation"
    afterChildren = 7,       ///< after "Children"
    inChildren = 8,          ///< in the children list
    afterKey = 9,            ///< after "Key"
    inKeys = 10,             ///< in a key list
    afterKeyValue = 11,      ///< after "KeyValue"
    inKeyValues = 12,        ///< in a key value list
    afterName = 13,          ///< after "Name"
    afterOrientation = 14,   ///< after "OrientationInterpolator"
    inOrientation = 15,      ///< in the body of an orientation interpolator
    afterPartTransform = 16, ///< after "KTPartTransform"
    inPartTransform = 17,    ///< in the body of a part transform
    afterPosition = 18,      ///< after "PositionInterpolator"
    inPosition = 19,         ///< in the body of a position interpolator
    unchanged = 20,          ///< as a next state: stay where the reader is
};

/// One more than the highest state number.
inline constexpr std::size_t stateCount = 20;

/// What a keyword does in a state, besides moving to the next state.
enum class Action : std::uint8_t {
    move,                 ///< nothing else
    ignoreWord,           ///< a token that spells no keyword: ignored
    openAnimation,        ///< "KTAnimation": the animation begins
    closeAnimation,       ///< the animation's "}": it ends
    skipAnimation,        ///< "[" right after "KTAnimation": skipped to the next "]"
    leaveAnimation,       ///< a keyword out of place that ends the interpretation
    openStrayBlock,       ///< "{" out of place: a block left by the next "}"
    openStrayList,        ///< "[" out of place: opens a key value list
    openPartTransform,    ///< "KTPartTransform" in the children list
    openOrientationBody,  ///< "{" of an orientation interpolator
    closeList,            ///< "]" of a key or key value list
    endInterpolator,      ///< "}" of an interpolator
    endPartTransform,     ///< "}" of a part transform: a track is stored
    failNestedAnimations, ///< the read fails with the message named
    failUnexpectedRightBrace,
    failIllegalRightBrace,
    failUnexpectedKey,
    failUnexpectedKeyValue,
    failOrientationOutside,
    failPositionOutside,
};

/// One cell of the grammar: what a keyword does in a state.
struct Transition {
    Action action = Action::ignoreWord;
    State next = State::unchanged;
    /// Taken even outside an animation; every other transition is looked at
    /// only inside one.
    bool escape = false;
};

/// The grammar of the animation file as (state, keyword) -> (action, next
/// state), dense for lookup.
struct GrammarTable {
    Transition cells[stateCount][keywordCodeCount];

    constexpr const Transition& at(State state, Keyword keyword) const {
        return cells[static_cast<std::size_t>(state)][static_cast<std::size_t>(keyword)];
    }
};

namespace grammar_rules {

/// One rule of the grammar: in `state` (or in any state), `keyword` does
/// `action` and leads to `next`.
struct Rule {
    State state; ///< unused by the out-of-place rules, which apply in every state
    Keyword keyword;
    Action action;
    State next;
    bool escape;
};

constexpr Rule any(Keyword keyword, Action action, State next = State::unchanged) {
    return {State::topLevel, keyword, action, next, false};
}
constexpr Rule in(State state, Keyword keyword, Action action, State next) {
    return {state, keyword, action, next, false};
}
constexpr Rule escape(State state, Keyword keyword, Action action, State next) {
    return {state, keyword, action, next, true};
}

using K = Keyword;
using A = Action;
using S = State;

// What each keyword does where the format does not expect it. A token that
// spells no keyword is ignored everywhere.
inline constexpr Rule outOfPlace[] = {
    any(K::none, A::ignoreWord),
    any(K::ktAnimation, A::failNestedAnimations),
    any(K::leftBrace, A::openStrayBlock, S::inStrayBlock),
    any(K::rightBrace, A::failUnexpectedRightBrace),
    any(K::leftBracket, A::openStrayList, S::inKeyValues),
    any(K::rightBracket, A::failIllegalRightBrace),
    any(K::children, A::leaveAnimation),
    any(K::key, A::failUnexpectedKey),
    any(K::keyValue, A::failUnexpectedKeyValue),
    any(K::name, A::leaveAnimation),
    any(K::orientationInterpolator, A::failOrientationOutside),
    any(K::ktPartTransform, A::leaveAnimation, S::topLevel),
    any(K::positionInterpolator, A::failPositionOutside),
};

// The format itself, construct by construct.
inline constexpr Rule format[] = {
    // KTAnimation { Children [ ... ] ... }
    escape(S::topLevel, K::ktAnimation, A::openAnimation, S::afterAnimation),
    in(S::afterAnimation, K::leftBrace, A::move, S::inAnimation),
    in(S::afterAnimation, K::leftBracket, A::skipAnimation, S::inSkippedList),
    escape(S::inSkippedList, K::rightBracket, A::move, S::topLevel),
    in(S::inAnimation, K::children, A::move, S::afterChildren),
    in(S::inAnimation, K::rightBrace, A::closeAnimation, S::topLevel),
    in(S::afterChildren, K::leftBracket, A::move, S::inChildren),
    in(S::inChildren, K::ktPartTransform, A::openPartTransform, S::afterPartTransform),
    in(S::inChildren, K::rightBracket, A::move, S::inAnimation),
    // KTPartTransform { Name "part" OrientationInterpolator {...} PositionInterpolator {...} }
    in(S::afterPartTransform, K::leftBrace, A::move, S::inPartTransform),
    in(S::inPartTransform, K::name, A::move, S::afterName),
    in(S::inPartTransform, K::orientationInterpolator, A::move, S::afterOrientation),
    in(S::inPartTransform, K::positionInterpolator, A::move, S::afterPosition),
    in(S::inPartTransform, K::rightBrace, A::endPartTransform, S::inChildren),
    // OrientationInterpolator { Key [...] KeyValue [...] }, PositionInterpolator likewise
    in(S::afterOrientation, K::leftBrace, A::openOrientationBody, S::inOrientation),
    in(S::afterPosition, K::leftBrace, A::move, S::inPosition),
    in(S::inOrientation, K::key, A::move, S::afterKey),
    in(S::inOrientation, K::keyValue, A::move, S::afterKeyValue),
    in(S::inOrientation, K::rightBrace, A::endInterpolator, S::inPartTransform),
    in(S::inPosition, K::key, A::move, S::afterKey),
    in(S::inPosition, K::keyValue, A::move, S::afterKeyValue),
    in(S::inPosition, K::rightBrace, A::endInterpolator, S::inPartTransform),
    // Key [ numbers ], KeyValue [ numbers ]; "]" returns to the interpolator
    in(S::afterKey, K::leftBracket, A::move, S::inKeys),
    in(S::inKeys, K::rightBracket, A::closeList, S::unchanged),
    in(S::afterKeyValue, K::leftBracket, A::move, S::inKeyValues),
    in(S::inKeyValues, K::rightBracket, A::closeList, S::unchanged),
    // A stray block ends at the next "}", back at the top level.
    escape(S::inStrayBlock, K::rightBrace, A::move, S::topLevel),
};

constexpr GrammarTable build() {
    GrammarTable table{};
    for (const Rule& rule : outOfPlace) {
        for (auto& row : table.cells)
            row[static_cast<std::size_t>(rule.keyword)] = {rule.action, rule.next, rule.escape};
    }
    for (const Rule& rule : format)
        table.cells[static_cast<std::size_t>(rule.state)][static_cast<std::size_t>(rule.keyword)] =
            {rule.action, rule.next, rule.escape};
    return table;
}

} // namespace grammar_rules

/// The reader's grammar: the out-of-place rules for every state, overridden
/// by the rules of the format.
inline constexpr GrammarTable grammar = grammar_rules::build();

} // namespace ktrt::detail
