#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ktrt::detail {

/// The animation file's keywords, by code. A keyword with code k leads the
/// reader to state k; the body or list it opens is state k + 1.
enum class Keyword : std::uint8_t {
    none = 0, ///< any token that spells no keyword
    ktAnimation = 1,
    leftBrace = 3,
    rightBrace = 4,
    leftBracket = 5,
    rightBracket = 6,
    children = 7,
    key = 9,
    keyValue = 11,
    name = 13,
    orientationInterpolator = 14,
    ktPartTransform = 16,
    positionInterpolator = 18,
};

/// One more than the highest keyword code.
inline constexpr std::size_t keywordCodeCount = 19;

/// One entry of the keyword table.
struct KeywordEntry {
    std::string_view text;
    Keyword keyword;
};

/// The keywords in search order; the first match gives the code. The empty
/// first entry never matches, because tokens are never empty.
inline constexpr KeywordEntry keywordTable[] = {
    {"", Keyword::none},
    {"KTAnimation", Keyword::ktAnimation},
    {"{", Keyword::leftBrace},
    {"}", Keyword::rightBrace},
    {"[", Keyword::leftBracket},
    {"]", Keyword::rightBracket},
    {"Children", Keyword::children},
    {"Key", Keyword::key},
    {"KeyValue", Keyword::keyValue},
    {"Name", Keyword::name},
    {"OrientationInterpolator", Keyword::orientationInterpolator},
    {"KTPartTransform", Keyword::ktPartTransform},
    {"PositionInterpolator", Keyword::positionInterpolator},
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
/// any letter case, or Keyword::none. Lengths are compared first, so most tokens
/// are turned away without looking at their bytes.
inline Keyword findKeyword(const char* token, std::size_t length) noexcept {
    for (const KeywordEntry& entry : keywordTable) {
        if (entry.text.size() == length && length != 0 &&
            equalIgnoringCase(token, entry.text.data(), length))
            return entry.keyword;
    }
    return Keyword::none;
}

} // namespace ktrt::detail
