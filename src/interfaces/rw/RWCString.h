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

    RWCString() = default;
    RWCString(const char* text);
    RWCString(const char* text, std::size_t length);
    RWCString(const std::string& text) : text_(text) {}
    RWCString(std::string&& text) noexcept : text_(std::move(text)) {}

    /// Number of bytes, not counting the terminator.
    std::size_t length() const noexcept { return text_.size(); }
    /// True when the string holds no bytes.
    bool isNull() const noexcept { return text_.empty(); }
    /// The bytes, zero-terminated.
    const char* data() const noexcept { return text_.c_str(); }
    operator const char*() const noexcept { return text_.c_str(); }
    /// The underlying standard string.
    const std::string& std() const noexcept { return text_; }

    /// Byte at index i; raises RWBoundsErr when i is not below length().
    char operator[](std::size_t i) const;
    char& operator[](std::size_t i);

    /// < 0, 0 or > 0 as this string sorts before, equal to or after the other.
    int compareTo(const RWCString& other, caseCompare cmp = exact) const noexcept;
    int compareTo(const char* other, caseCompare cmp = exact) const noexcept;

    /// Hash of the bytes (FNV-1a), stable across runs.
    unsigned hash() const noexcept;
    /// Hash of any byte range with the same function as hash().
    static unsigned hash(const char* bytes, std::size_t length) noexcept;

    /// The substring of at most `length` bytes from `start` (clamped to the end).
    RWCString operator()(std::size_t start, std::size_t length) const;

    /// Index of the first occurrence of `pattern` at or after `start`, or npos.
    std::size_t index(const char* pattern, std::size_t start = 0, caseCompare cmp = exact) const;
    /// Index of the first / last occurrence of the byte `c`, or npos.
    std::size_t first(char c) const noexcept;
    std::size_t last(char c) const noexcept;
    /// True when `pattern` occurs in the string.
    bool contains(const char* pattern, caseCompare cmp = exact) const {
        return index(pattern, 0, cmp) != npos;
    }

    RWCString& append(const char* text, std::size_t length);
    RWCString& operator+=(const char* text);
    RWCString& operator+=(const RWCString& text);
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

RW_API bool operator==(const RWCString& a, const RWCString& b) noexcept;
RW_API bool operator==(const RWCString& a, const char* b) noexcept;
inline bool operator==(const char* a, const RWCString& b) noexcept { return b == a; }
inline bool operator!=(const RWCString& a, const RWCString& b) noexcept { return !(a == b); }
inline bool operator!=(const RWCString& a, const char* b) noexcept { return !(a == b); }
inline bool operator!=(const char* a, const RWCString& b) noexcept { return !(b == a); }
inline bool operator<(const RWCString& a, const RWCString& b) noexcept {
    return a.compareTo(b) < 0;
}
inline bool operator>(const RWCString& a, const RWCString& b) noexcept { return b < a; }
inline bool operator<=(const RWCString& a, const RWCString& b) noexcept { return !(b < a); }
inline bool operator>=(const RWCString& a, const RWCString& b) noexcept { return !(a < b); }
RW_API RWCString operator+(const RWCString& a, const RWCString& b);
RW_API RWCString operator+(const RWCString& a, const char* b);
RW_API std::ostream& operator<<(std::ostream& out, const RWCString& s);
