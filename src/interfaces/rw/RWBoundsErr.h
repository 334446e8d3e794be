#pragma once

#include <cstddef>
#include <stdexcept>

#include <rw/rwdefs.h>

/// Raised by the RW containers when an element is accessed at or past the
/// container's count. Carries the offending index and the count at the time.
class RW_API RWBoundsErr : public std::out_of_range {
public:
    /// An error for `index` asked of a container holding `count` entries.
    RWBoundsErr(std::size_t index, std::size_t count);
    /// Nothing to release beyond the base.
    ~RWBoundsErr() override;

    /// The index that was asked for.
    std::size_t index() const noexcept { return index_; }
    /// The number of entries the container held.
    std::size_t count() const noexcept { return count_; }

private:
    std::size_t index_;
    std::size_t count_;
};

namespace rw_detail {
/// Throws RWBoundsErr(index, count); kept out of line so that the checked
/// accessors stay small enough to inline.
[[noreturn]] RW_API void throwBoundsErr(std::size_t index, std::size_t count);
} // namespace rw_detail
