#include <rw/RWCString.h>

#include <algorithm>
#include <cstring>
#include <istream>
#include <ostream>

#include <rw/RWBoundsErr.h>

namespace {

unsigned char lowerAscii(unsigned char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

int compareBytes(const char* a, std::size_t na, const char* b, std::size_t nb,
                 RWCString::caseCompare cmp) noexcept {
    const std::size_t n = std::min(na, nb);
    if (cmp == RWCString::exact) {
        const int r = n ? std::memcmp(a, b, n) : 0;
        if (r != 0)
            return r;
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            const int ca = lowerAscii(static_cast<unsigned char>(a[i]));
            const int cb = lowerAscii(static_cast<unsigned char>(b[i]));
            if (ca != cb)
                return ca - cb;
        }
    }
    return na < nb ? -1 : (na > nb ? 1 : 0);
}

} // namespace

const std::size_t RWCString::npos = static_cast<std::size_t>(-1);

RWCString::RWCString(const char* text) : text_(text ? text : "") {}

RWCString::RWCString(const char* text, std::size_t length)
    : text_(text ? text : "", text ? length : 0) {}

char RWCString::operator[](std::size_t i) const {
    if (i >= text_.size())
        rw_detail::throwBoundsErr(i, text_.size());
    // cppcheck-suppress containerOutOfBounds ; throwBoundsErr never returns
    return text_[i];
}

char& RWCString::operator[](std::size_t i) {
    if (i >= text_.size())
        rw_detail::throwBoundsErr(i, text_.size());
    // cppcheck-suppress containerOutOfBounds ; throwBoundsErr never returns
    return text_[i];
}

int RWCString::compareTo(const RWCString& other, caseCompare cmp) const noexcept {
    return compareBytes(text_.data(), text_.size(), other.text_.data(), other.text_.size(), cmp);
}

int RWCString::compareTo(const char* other, caseCompare cmp) const noexcept {
    const char* o = other ? other : "";
    return compareBytes(text_.data(), text_.size(), o, std::strlen(o), cmp);
}

unsigned RWCString::hash(const char* bytes, std::size_t length) noexcept {
    unsigned h = 2166136261u;
    for (std::size_t i = 0; i < length; ++i) {
        h ^= static_cast<unsigned char>(bytes[i]);
        h *= 16777619u;
    }
    return h;
}

unsigned RWCString::hash() const noexcept {
    return hash(text_.data(), text_.size());
}

RWCString RWCString::operator()(std::size_t start, std::size_t length) const {
    if (start >= text_.size())
        return RWCString();
    return RWCString(text_.substr(start, length));
}

std::size_t RWCString::index(const char* pattern, std::size_t start, caseCompare cmp) const {
    if (!pattern)
        return npos;
    const std::size_t n = std::strlen(pattern);
    if (start > text_.size() || n > text_.size() - start)
        return npos;
    if (cmp == exact) {
        const std::size_t at = text_.find(pattern, start, n);
        return at == std::string::npos ? npos : at;
    }
    for (std::size_t i = start; i + n <= text_.size(); ++i) {
        if (compareBytes(text_.data() + i, n, pattern, n, ignoreCase) == 0)
            return i;
    }
    return npos;
}

std::size_t RWCString::first(char c) const noexcept {
    const std::size_t at = text_.find(c);
    return at == std::string::npos ? npos : at;
}

std::size_t RWCString::last(char c) const noexcept {
    const std::size_t at = text_.rfind(c);
    return at == std::string::npos ? npos : at;
}

RWCString& RWCString::append(const char* text, std::size_t length) {
    if (text)
        text_.append(text, length);
    return *this;
}

RWCString& RWCString::operator+=(const char* text) {
    if (text)
        text_ += text;
    return *this;
}

RWCString& RWCString::operator+=(const RWCString& text) {
    text_ += text.text_;
    return *this;
}

RWCString& RWCString::operator+=(char c) {
    text_ += c;
    return *this;
}

void RWCString::toLower() {
    for (char& c : text_)
        c = static_cast<char>(lowerAscii(static_cast<unsigned char>(c)));
}

std::istream& RWCString::readToDelim(std::istream& in, char delim) {
    std::getline(in, text_, delim);
    if (delim == '\n' && !text_.empty() && text_.back() == '\r')
        text_.pop_back();
    return in;
}

std::istream& RWCString::readLine(std::istream& in, bool skipWhite) {
    if (skipWhite)
        in >> std::ws;
    return readToDelim(in, '\n');
}

bool operator==(const RWCString& a, const RWCString& b) noexcept {
    return a.std() == b.std();
}

bool operator==(const RWCString& a, const char* b) noexcept {
    return a.compareTo(b) == 0;
}

RWCString operator+(const RWCString& a, const RWCString& b) {
    return RWCString(a.std() + b.std());
}

RWCString operator+(const RWCString& a, const char* b) {
    RWCString r(a);
    r += b;
    return r;
}

std::ostream& operator<<(std::ostream& out, const RWCString& s) {
    return out << s.std();
}
