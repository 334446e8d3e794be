#include <ktrt/keys/detail/NumberScanner.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ktrt::detail {

bool scanFloatWithCLibrary(char* begin, char* end, float& value) noexcept {
    const char saved = *end;
    *end = '\0';
    float result;
    const bool read = std::sscanf(begin, "%f", &result) == 1;
    *end = saved;
    if (read)
        value = result;
    return read;
}

std::size_t scannedLength(const char* begin, const char* end) {
    const std::string token(begin, end);
    char* numberEnd = nullptr;
    static_cast<void>(std::strtof(token.c_str(), &numberEnd));
    return static_cast<std::size_t>(numberEnd - token.c_str());
}

} // namespace ktrt::detail
