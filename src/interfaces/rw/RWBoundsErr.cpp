#include <rw/RWBoundsErr.h>

#include <string>

RWBoundsErr::RWBoundsErr(std::size_t index, std::size_t count)
    : std::out_of_range("RWBoundsErr: index " + std::to_string(index) + " out of range (count " +
                        std::to_string(count) + ")"),
      index_(index), count_(count) {}

RWBoundsErr::~RWBoundsErr() = default;

namespace rw_detail {
void throwBoundsErr(std::size_t index, std::size_t count) {
    throw RWBoundsErr(index, count);
}
} // namespace rw_detail
