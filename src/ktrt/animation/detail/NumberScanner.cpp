#include <ktrt/animation/detail/NumberScanner.h>

#include <cstdio>

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

} // namespace ktrt::detail
