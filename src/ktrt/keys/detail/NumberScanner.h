#pragma once

#include <cfloat>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ktrt::detail {

/// True for the ASCII digits 0 to 9.
inline bool isDecimalDigit(char c) noexcept {
    return static_cast<unsigned>(static_cast<unsigned char>(c)) - '0' <= 9u;
}

/// Reads the run of decimal digits at `p` as further decimal places of
/// `digits`, advancing `p`; false as soon as `digits` exceeds `limit`. Eight
/// bytes at a time where the token leaves room (SWAR: a digit's byte is
/// 0x30 to 0x39, and the digits of a word combine in three multiplications).
inline bool appendDigits(const char*& p, const char* end, std::uint64_t& digits,
                         std::uint64_t limit) noexcept {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    static constexpr std::uint64_t powersOfTen[] = {1,      10,      100,      1000,     10000,
                                                    100000, 1000000, 10000000, 100000000};
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        // Non-zero bytes mark the bytes that are no digits. A carry or borrow
        // only runs towards later bytes, past the first non-digit.
        const std::uint64_t nonDigits =
            ((word & 0xF0F0F0F0F0F0F0F0u) ^ 0x3030303030303030u) |
            (((word + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) ^ 0x3030303030303030u);
        const int count = nonDigits ? __builtin_ctzll(nonDigits) / 8 : 8;
        if (count == 0)
            return true;
        // The digits' values, moved to the end of the word behind zeros.
        std::uint64_t values = (word - 0x3030303030303030u) << (8 * (8 - count));
        values = values * 10 + (values >> 8);
        values = (((values & 0x000000FF000000FFu) * 0x000F424000000064u) +
                  (((values >> 16) & 0x000000FF000000FFu) * 0x0000271000000001u)) >>
                 32;
        digits = digits * powersOfTen[count] + values;
        p += count;
        if (digits > limit)
            return false;
        if (count < 8)
            return true;
    }
#endif
    for (; p != end && isDecimalDigit(*p); ++p) {
        digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
        if (digits > limit)
            return false;
    }
    return true;
}

/// Decimal numbers of at most about seven significant digits and a small
/// scale, the common case, read without the general algorithm. The digits d
/// (at most 2^24) and 10^k (k <= 10) are exact floats, so d * 10^k in float
/// is the correctly rounded value, as the C library gives. For d / 10^k the
/// double product d * 10^-k is within 2^-52 of the quotient, while a quotient
/// that is not itself a float lies at least about 2^-48 (relative) from every
/// point halfway between two floats; rounding the product to float therefore
/// gives the correctly rounded quotient, without a division. Returns the end
/// of the number, or null when the token needs the general path (other
/// forms, more digits, larger scales, no number).
inline const char* scanShortDecimal(const char* p, const char* end, float& value) noexcept {
    static_assert(FLT_EVAL_METHOD == 0, "float arithmetic must round to float");
    constexpr std::uint64_t exactLimit = std::uint64_t(1) << 24;
    static constexpr float powersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                            1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    static constexpr double negativePowersOfTen[] = {1e0,  1e-1, 1e-2, 1e-3, 1e-4, 1e-5,
                                                     1e-6, 1e-7, 1e-8, 1e-9, 1e-10};
    const bool negative = p != end && *p == '-';
    if (negative)
        ++p;
    if (p != end && *p == '0' && p + 1 != end && (p[1] == 'x' || p[1] == 'X'))
        return nullptr; // hexadecimal
    std::uint64_t digits = 0;
    int scale = 0;
    const char* const digitsBegin = p;
    if (!appendDigits(p, end, digits, exactLimit))
        return nullptr;
    bool sawDigit = p != digitsBegin;
    if (p != end && *p == '.') {
        const char* const fractionBegin = ++p;
        if (!appendDigits(p, end, digits, exactLimit))
            return nullptr;
        scale = -static_cast<int>(p - fractionBegin);
        sawDigit = sawDigit || p != fractionBegin;
    }
    if (!sawDigit)
        return nullptr;
    if (p != end && (*p == 'e' || *p == 'E')) {
        // An exponent without digits ("1e", "1e+") is not part of the number.
        const char* q = p + 1;
        const bool negativeExponent = q != end && *q == '-';
        if (q != end && (*q == '-' || *q == '+'))
            ++q;
        if (q != end && isDecimalDigit(*q)) {
            int exponent = 0;
            for (; q != end && isDecimalDigit(*q); ++q) {
                if (exponent < 1000)
                    exponent = exponent * 10 + (*q - '0');
            }
            scale += negativeExponent ? -exponent : exponent;
            p = q;
        }
    }
    if (scale < -10 || scale > 10)
        return nullptr;
    const float result =
        scale < 0 ? static_cast<float>(static_cast<double>(digits) * negativePowersOfTen[-scale])
                  : static_cast<float>(digits) * powersOfTen[scale];
    value = negative ? -result : result;
    return p;
}

/// The fast half of scanFloat for plain decimals (optional '-', digits with an
/// optional point, optional exponent): true when it could decide alone, with
/// the same value the C library gives; false when the token needs the C
/// library (signs '+', leading white space, hexadecimal, inf, nan, values
/// that overflow or underflow, or no number at all).
inline bool scanPlainDecimal(const char* begin, const char* end, float& value) noexcept {
    if (scanShortDecimal(begin, end, value))
        return true;
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

/// The number of characters at the start of [begin, end) that the C
/// library reads as a number (0 when it reads none). For reports only: it
/// copies the token.
std::size_t scannedLength(const char* begin, const char* end);

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

} // namespace ktrt::detail
