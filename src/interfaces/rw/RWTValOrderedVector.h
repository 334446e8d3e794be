#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include <rw/RWBoundsErr.h>

/// Returned by the RW containers' index searches when nothing is found.
constexpr std::size_t RW_NPOS = static_cast<std::size_t>(-1);

/// An ordered vector of values in the manner of the RW class library. Starts
/// with room for 64 entries and grows geometrically, so appends are amortised
/// O(1). Checked access (operator[], at) raises RWBoundsErr at or past the
/// count; operator() is unchecked.
template <class T> class RWTValOrderedVector {
public:
    /// The element type.
    using value_type = T;
    /// Iterator over the entries.
    using iterator = typename std::vector<T>::iterator;
    /// Read-only iterator over the entries.
    using const_iterator = typename std::vector<T>::const_iterator;

    /// Room for `capacity` entries before the first growth.
    explicit RWTValOrderedVector(std::size_t capacity = 64) { items_.reserve(capacity); }

    /// Number of entries.
    std::size_t entries() const noexcept { return items_.size(); }
    /// Number of entries, as entries().
    std::size_t length() const noexcept { return items_.size(); }
    /// True when there are no entries.
    bool isEmpty() const noexcept { return items_.empty(); }
    /// Entries the vector holds before it grows.
    std::size_t capacity() const noexcept { return items_.capacity(); }

    /// Entry i; raises RWBoundsErr when i is not below the count.
    T& operator[](std::size_t i) { return items_[check(i)]; }
    /// As operator[], read-only.
    const T& operator[](std::size_t i) const { return items_[check(i)]; }
    /// As operator[].
    T& at(std::size_t i) { return items_[check(i)]; }
    /// As operator[].
    const T& at(std::size_t i) const { return items_[check(i)]; }
    /// Entry i, unchecked: i must be below the count.
    T& operator()(std::size_t i) { return items_[i]; }
    /// As operator(), read-only.
    const T& operator()(std::size_t i) const { return items_[i]; }

    /// The first entry; raises RWBoundsErr when empty.
    T& first() { return at(0); }
    /// As first(), read-only.
    const T& first() const { return at(0); }
    /// The last entry; raises RWBoundsErr when empty.
    T& last() { return at(items_.size() - 1); }
    /// As last(), read-only.
    const T& last() const { return at(items_.size() - 1); }

    /// Appends a copy of `value`.
    void insert(const T& value) { items_.push_back(value); }
    /// Appends `value`, moved.
    void insert(T&& value) { items_.push_back(std::move(value)); }
    /// Appends a copy of `value`, as insert().
    void append(const T& value) { items_.push_back(value); }
    /// Puts a copy of `value` first.
    void prepend(const T& value) { items_.insert(items_.begin(), value); }
    /// Inserts before index i; i may equal the count. Raises RWBoundsErr past it.
    void insertAt(std::size_t i, const T& value) {
        if (i > items_.size())
            rw_detail::throwBoundsErr(i, items_.size());
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(i), value);
    }
    /// Removes and returns the entry at i; raises RWBoundsErr past the count.
    T removeAt(std::size_t i) {
        T value = std::move(items_[check(i)]);
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        return value;
    }
    /// Removes and returns the first entry; raises RWBoundsErr when empty.
    T removeFirst() { return removeAt(0); }
    /// Removes and returns the last entry; raises RWBoundsErr when empty.
    T removeLast() { return removeAt(items_.size() - 1); }
    /// Removes the first entry equal to `value`; true when one was removed.
    bool remove(const T& value) {
        const std::size_t i = index(value);
        if (i == RW_NPOS)
            return false;
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
    }
    /// Index of the first entry equal to `value`, or RW_NPOS.
    std::size_t index(const T& value) const {
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (items_[i] == value)
                return i;
        }
        return RW_NPOS;
    }
    /// True when index() finds an entry.
    bool contains(const T& value) const { return index(value) != RW_NPOS; }
    /// Removes every entry. Room beyond 64 entries is given back (the vector
    /// starts over with 64); smaller room is kept, so emptying it allocates
    /// nothing, which matters to vectors refilled again and again.
    void clear() {
        if (items_.capacity() <= 64) {
            items_.clear();
            return;
        }
        std::vector<T> fresh;
        fresh.reserve(64);
        items_.swap(fresh);
    }
    /// Makes room for `n` entries.
    void reserve(std::size_t n) { items_.reserve(n); }

    /// Iterators over the entries, in order.
    iterator begin() noexcept { return items_.begin(); }
    /// End of the entries.
    iterator end() noexcept { return items_.end(); }
    /// Iterators over the entries, in order.
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
