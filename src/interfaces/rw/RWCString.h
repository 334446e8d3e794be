#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

#include <rw/rwdefs.h>

/// A byte string value in the manner of the RW class library: copyable,
/// comparable exactly or ignoring ASCII letter case, hashable, and readable
/// line by line from a stream. Always zero-terminated.
class RW_API RWCString {
public:
    /// How two strings are compared: byte for byte, or ignoring ASCII case.
    enum caseCompare { exact, ignoreCase };

    /// Returned by the searches when nothing is found.
    static const std::size_t npos;

    /// The empty string.
    RWCString() = default;
    /// A copy of the zero-terminated `text`; null gives the empty string.
    RWCString(const char* text);
    /// A copy of the first `length` bytes of `text`.
    RWCString(const char* text, std::size_t length);
    /// A copy of `text`.
    RWCString(const std::string& text) : text_(text) {}
    /// Takes over the bytes of `text`.
    RWCString(std::string&& text) noexcept : text_(std::move(text)) {}

    /// Number of bytes, not counting the terminator.
    std::size_t length() const noexcept { return text_.size(); }
    /// True when the string holds no bytes.
    bool isNull() const noexcept { return text_.empty(); }
    /// The bytes, zero-terminated.
    const char* data() const noexcept { return text_.c_str(); }
    /// The bytes, zero-terminated; valid until the string changes.
    operator const char*() const noexcept { return text_.c_str(); }
    /// The underlying standard string.
    const std::string& std() const noexcept { return text_; }

    /// Byte at index i; raises RWBoundsErr when i is not below length().
    char operator[](std::size_t i) const;
    /// As the const operator[], writable.
    char& operator[](std::size_t i);

    /// < 0, 0 or > 0 as this string sorts before, equal to or after the other.
    int compareTo(const RWCString& other, caseCompare cmp = exact) const noexcept;
    /// As compareTo(const RWCString&); a null `other` compares as empty.
    int compareTo(const char* other, caseCompare cmp = exact) const noexcept;

    /// Hash of the bytes (FNV-1a), stable across runs.
    unsigned hash() const noexcept;
    /// Hash of any byte range with the same function as hash().
    static unsigned hash(const char* bytes, std::size_t length) noexcept;

    /// The substring of at most `length` bytes from `start` (clamped to the end).
    RWCString operator()(std::size_t start, std::size_t length) const;

    /// Index of the first occurrence of `pattern` at or after `start`, or npos.
    std::size_t index(const char* pattern, std::size_t start = 0, caseCompare cmp = exact) const;
    /// Index of the first occurrence of the byte `c`, or npos.
    std::size_t first(char c) const noexcept;
    /// Index of the last occurrence of the byte `c`, or npos.
    std::size_t last(char c) const noexcept;
    /// True when `pattern` occurs in the string.
    bool contains(const char* pattern, caseCompare cmp = exact) const {
        return index(pattern, 0, cmp) != npos;
    }

    /// Appends `length` bytes of `text`.
    RWCString& append(const char* text, std::size_t length);
    /// Appends the zero-terminated `text`.
    RWCString& operator+=(const char* text);
    /// Appends `text`.
    RWCString& operator+=(const RWCString& text);
    /// Appends the byte `c`.
    RWCString& operator+=(char c);

    /// Lowers ASCII letters in place.
    void toLower();

    /// Replaces the contents with the next line of `in`, up to but not
    /// including `delim`. A carriage return right before a line feed
    /// delimiter is dropped. Returns the stream.
    std::istream& readToDelim(std::istream& in, char delim = '\n');
    /// As readToDelim with a line feed; with skipWhite, leading white space
    /// of the stream is skipped first.
    std::istream& readLine(std::istream& in, bool skipWhite = false);

private:
    std::string text_;
};

/// True when both hold the same bytes (letter case counts).
RW_API bool operator==(const RWCString& a, const RWCString& b) noexcept;
/// True when `a` holds the bytes of the zero-terminated `b` (null counts as empty).
RW_API bool operator==(const RWCString& a, const char* b) noexcept;
/// As operator==(const RWCString&, const char*).
inline bool operator==(const char* a, const RWCString& b) noexcept {
    return b == a;
}
/// Not operator==.
inline bool operator!=(const RWCString& a, const RWCString& b) noexcept {
    return !(a == b);
}
/// Not operator==.
inline bool operator!=(const RWCString& a, const char* b) noexcept {
    return !(a == b);
}
/// Not operator==.
inline bool operator!=(const char* a, const RWCString& b) noexcept {
    return !(b == a);
}
/// Byte order, as compareTo() with exact comparison.
inline bool operator<(const RWCString& a, const RWCString& b) noexcept {
    return a.compareTo(b) < 0;
}
/// Byte order, as compareTo() with exact comparison.
inline bool operator>(const RWCString& a, const RWCString& b) noexcept {
    return b < a;
}
/// Byte order, as compareTo() with exact comparison.
inline bool operator<=(const RWCString& a, const RWCString& b) noexcept {
    return !(b < a);
}
/// Byte order, as compareTo() with exact comparison.
inline bool operator>=(const RWCString& a, const RWCString& b) noexcept {
    return !(a < b);
}
/// The concatenation of `a` and `b`.
RW_API RWCString operator+(const RWCString& a, const RWCString& b);
/// The concatenation of `a` and the zero-terminated `b`.
RW_API RWCString operator+(const RWCString& a, const char* b);
/// Writes the bytes of `s`.
RW_API std::ostream& operator<<(std::ostream& out, const RWCString& s);
