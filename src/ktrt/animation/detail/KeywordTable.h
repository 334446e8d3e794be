#pragma once

#include <cstddef>
#include <string_view>

namespace ktrt::detail {

/// Codes of the animation file's keywords. A keyword with code k leads the
/// reader to state k; the body or list it opens is state k + 1.
enum KeywordCode : int {
    noKeyword = 0,
    ktAnimationKeyword = 1,
    leftBraceKeyword = 3,
    rightBraceKeyword = 4,
    leftBracketKeyword = 5,
    rightBracketKeyword = 6,
    childrenKeyword = 7,
    keyKeyword = 9,
    keyValueKeyword = 11,
    nameKeyword = 13,
    orientationInterpolatorKeyword = 14,
    ktPartTransformKeyword = 16,
    positionInterpolatorKeyword = 18,
};

/// One entry of the keyword table.
struct Keyword {
    std::string_view text;
    KeywordCode code;
};

/// The keywords in search order; the first match gives the code. The empty
/// first entry never matches, because tokens are never empty.
inline constexpr Keyword keywordTable[] = {
    {"", noKeyword},
    {"KTAnimation", ktAnimationKeyword},
    {"{", leftBraceKeyword},
    {"}", rightBraceKeyword},
    {"[", leftBracketKeyword},
    {"]", rightBracketKeyword},
    {"Children", childrenKeyword},
    {"Key", keyKeyword},
    {"KeyValue", keyValueKeyword},
    {"Name", nameKeyword},
    {"OrientationInterpolator", orientationInterpolatorKeyword},
    {"KTPartTransform", ktPartTransformKeyword},
    {"PositionInterpolator", positionInterpolatorKeyword},
};

/// The byte with ASCII capitals lowered.
inline unsigned lowerAscii(char c) noexcept {
    const unsigned byte = static_cast<unsigned char>(c);
    return byte - 'A' < 26u ? byte + ('a' - 'A') : byte;
}

/// True when the two byte ranges of equal length `length` are equal ignoring
/// ASCII letter case.
inline bool equalIgnoringCase(const char* a, const char* b, std::size_t length) noexcept {
    for (std::size_t i = 0; i < length; ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

/// The code of the keyword that the token [token, token + length) spells in
/// any letter case, or noKeyword. Lengths are compared first, so most tokens
/// are turned away without looking at their bytes.
inline KeywordCode findKeyword(const char* token, std::size_t length) noexcept {
    for (const Keyword& keyword : keywordTable) {
        if (keyword.text.size() == length && length != 0 &&
            equalIgnoringCase(token, keyword.text.data(), length))
            return keyword.code;
    }
    return noKeyword;
}

} // namespace ktrt::detail
