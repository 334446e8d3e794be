#include <ktrt/keys/detail/LineReader.h>

#include <cstring>

namespace ktrt::detail {

namespace {
constexpr std::size_t blockSize = std::size_t{64} * 1024;
}

LineReader::LineReader(std::FILE* file) : file(file), buffer(blockSize + 1) {}

bool LineReader::next(char*& begin, char*& end) {
    for (;;) {
        char* const base = buffer.data();
        char* const searchFrom = base + start + scanned;
        const std::size_t unsearched = filled - start - scanned;
        if (auto* feed = static_cast<char*>(std::memchr(searchFrom, '\n', unsearched))) {
            begin = base + start;
            end = feed;
            if (end != begin && end[-1] == '\r')
                --end;
            start = static_cast<std::size_t>(feed - base) + 1;
            scanned = 0;
            return true;
        }
        scanned = filled - start;
        if (atEnd) {
            if (start == filled)
                return false;
            // The last line has no line feed; the spare byte after it stays
            // writable.
            begin = base + start;
            end = base + filled;
            start = filled;
            scanned = 0;
            return true;
        }
        fill();
    }
}

void LineReader::fill() {
    if (start > 0) {
        std::memmove(buffer.data(), buffer.data() + start, filled - start);
        filled -= start;
        start = 0;
    }
    // A line longer than the buffer doubles it; the spare byte stays.
    if (filled + 1 >= buffer.size())
        buffer.resize(2 * buffer.size() - 1);
    const std::size_t read =
        std::fread(buffer.data() + filled, 1, buffer.size() - 1 - filled, file);
    filled += read;
    if (read == 0)
        atEnd = true;
}

} // namespace ktrt::detail
