#pragma once

#include <cstddef>
#include <string>

#include <ktstd/ktstddefs.h>

/// A string value of the ktstd library, read as a zero-terminated character
/// string through operator const char*. Copyable; a null pointer given to the
/// constructor or assign() gives the empty string.
class KTSTD_API Std_CString {
public:
    /// The empty string.
    Std_CString() = default;
    /// A copy of `text`; null gives "".
    Std_CString(const char* text);
    /// Copies hold their own characters.
    Std_CString(const Std_CString& other) = default;
    /// Replaces the contents with a copy of the other's characters.
    Std_CString& operator=(const Std_CString& other) = default;
    /// Releases the characters.
    ~Std_CString();

    /// Replaces the contents with a copy of `text`; null gives "".
    Std_CString& assign(const char* text);
    /// The characters, zero-terminated; valid until the string changes.
    operator const char*() const noexcept { return text_.c_str(); }
    /// Number of characters, not counting the terminator.
    std::size_t length() const noexcept { return text_.size(); }
    /// True when both hold the same characters.
    bool operator==(const Std_CString& other) const noexcept { return text_ == other.text_; }

private:
    std::string text_;
};
