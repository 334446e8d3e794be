#pragma once

#include <charconv>
#include <cstddef>

namespace ktrt {
namespace detail {

/// True for the ASCII digits 0 to 9.
inline bool isDecimalDigit(char c) noexcept {
    return static_cast<unsigned>(static_cast<unsigned char>(c)) - '0' <= 9u;
}

/// The fast half of scanFloat for plain decimals (optional '-', digits with an
/// optional point, optional exponent): true when it could decide alone, with
/// the same value the C library gives; false when the token needs the C
/// library (signs '+', leading white space, hexadecimal, inf, nan, values
/// that overflow or underflow, or no number at all).
inline bool scanPlainDecimal(const char* begin, const char* end, float& value) noexcept {
    const char* p = begin;
    if (p != end && *p == '-')
        ++p;
    if (p == end)
        return false;
    if (!isDecimalDigit(*p)) {
        if (*p != '.' || p + 1 == end || !isDecimalDigit(p[1]))
            return false;
    } else if (*p == '0' && p + 1 != end && (p[1] == 'x' || p[1] == 'X')) {
        return false; // hexadecimal: from_chars would stop at the 'x'
    }
    // from_chars rounds correctly, as the C library does, but reports values
    // that overflow to inf or underflow to zero as errors: those go the slow
    // way.
    float result;
    const std::from_chars_result read = std::from_chars(begin, end, result);
    if (read.ec != std::errc())
        return false;
    value = result;
    return true;
}

/// The C library half of scanFloat: sscanf on the token, terminated in place.
bool scanFloatWithCLibrary(char* begin, char* end, float& value) noexcept;

/// Reads the number at the start of a token of the animation file, deciding
/// and rounding exactly as `sscanf(token, "%f", &value)` does in the C locale:
/// true (and `value` set) when the C library would read a number, false (and
/// `value` untouched) otherwise. Characters after the number are ignored.
///
/// The token is [begin, end); the byte at `end` must be writable, because the
/// C library path briefly puts a terminator there (and restores the byte).
inline bool scanFloat(char* begin, char* end, float& value) noexcept {
    return scanPlainDecimal(begin, end, value) || scanFloatWithCLibrary(begin, end, value);
}

} // namespace detail
} // namespace ktrt
