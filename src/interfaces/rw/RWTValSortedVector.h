#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include <rw/RWBoundsErr.h>
#include <rw/RWTValOrderedVector.h>

/// A vector of values kept in ascending order of operator<, in the manner of
/// the RW class library. Equal values may be held more than once; a new one
/// goes after those already present. Lookups are binary searches with exact
/// equality. Checked access raises RWBoundsErr at or past the count.
template <class T> class RWTValSortedVector {
public:
    /// Read-only iterator over the entries, ascending.
    using const_iterator = typename std::vector<T>::const_iterator;

    /// Room for `capacity` entries before the first growth.
    explicit RWTValSortedVector(std::size_t capacity = 64) { items_.reserve(capacity); }

    /// Number of entries.
    std::size_t entries() const noexcept { return items_.size(); }
    /// Number of entries, as entries().
    std::size_t length() const noexcept { return items_.size(); }
    /// True when there are no entries.
    bool isEmpty() const noexcept { return items_.empty(); }

    /// Entry i in ascending order; raises RWBoundsErr when i is not below the count.
    const T& operator[](std::size_t i) const { return items_[check(i)]; }
    /// As operator[].
    const T& at(std::size_t i) const { return items_[check(i)]; }
    /// Entry i, unchecked: i must be below the count.
    const T& operator()(std::size_t i) const { return items_[i]; }

    /// Inserts `value` at its sorted place; returns its index.
    std::size_t insert(const T& value) {
        auto at = std::upper_bound(items_.begin(), items_.end(), value);
        return static_cast<std::size_t>(items_.insert(at, value) - items_.begin());
    }
    /// Index of the first entry equal to `value`, or RW_NPOS.
    std::size_t index(const T& value) const {
        auto at = std::lower_bound(items_.begin(), items_.end(), value);
        if (at != items_.end() && *at == value)
            return static_cast<std::size_t>(at - items_.begin());
        return RW_NPOS;
    }
    /// True when index() finds an entry.
    bool contains(const T& value) const { return index(value) != RW_NPOS; }
    /// Number of entries equal to `value`.
    std::size_t occurrencesOf(const T& value) const {
        auto range = std::equal_range(items_.begin(), items_.end(), value);
        return static_cast<std::size_t>(range.second - range.first);
    }
    /// Removes and returns entry i; raises RWBoundsErr when i is not below the count.
    T removeAt(std::size_t i) {
        T value = items_[check(i)];
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        return value;
    }
    /// Removes the first entry equal to `value`; true when one was removed.
    bool remove(const T& value) {
        const std::size_t i = index(value);
        if (i == RW_NPOS)
            return false;
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
    }
    /// Removes every entry; as RWTValOrderedVector::clear(), room beyond 64
    /// entries is given back and smaller room kept.
    void clear() {
        if (items_.capacity() <= 64) {
            items_.clear();
            return;
        }
        std::vector<T> fresh;
        fresh.reserve(64);
        items_.swap(fresh);
    }

    /// Iterators over the entries, ascending.
    const_iterator begin() const noexcept { return items_.begin(); }
    /// End of the entries.
    const_iterator end() const noexcept { return items_.end(); }

private:
    std::size_t check(std::size_t i) const {
        if (i >= items_.size())
            rw_detail::throwBoundsErr(i, items_.size());
        return i;
    }

    std::vector<T> items_;
};
