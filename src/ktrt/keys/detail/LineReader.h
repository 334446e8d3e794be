#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

namespace ktrt::detail {

/// Hands out the lines of an open file one at a time, through one buffer
/// that holds a block of the file and grows only to fit a longer line.
///
/// A line ends at a line feed; neither the line feed nor a carriage return
/// right before it belongs to the line. The last line needs no line feed.
/// The reader does not own the file.
class LineReader {
public:
    explicit LineReader(std::FILE* file);

    /// The next line as [begin, end): false at the end of the file or on a
    /// read error. The line stays valid, and the byte at `end` writable,
    /// until the next call.
    bool next(char*& begin, char*& end);

private:
    void fill();

    std::FILE* file;
    std::vector<char> buffer; // always one byte longer than the bytes read
    std::size_t start = 0;    // first byte not yet handed out
    std::size_t scanned = 0;  // bytes after `start` known to hold no line feed
    std::size_t filled = 0;   // bytes read into the buffer
    bool atEnd = false;
};

} // namespace ktrt::detail
