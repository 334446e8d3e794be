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
    using value_type = T;
    using iterator = typename std::vector<T>::iterator;
    using const_iterator = typename std::vector<T>::const_iterator;

    /// Room for `capacity` entries before the first growth.
    explicit RWTValOrderedVector(std::size_t capacity = 64) { items_.reserve(capacity); }

    std::size_t entries() const noexcept { return items_.size(); }
    std::size_t length() const noexcept { return items_.size(); }
    bool isEmpty() const noexcept { return items_.empty(); }
    std::size_t capacity() const noexcept { return items_.capacity(); }

    T& operator[](std::size_t i) { return items_[check(i)]; }
    const T& operator[](std::size_t i) const { return items_[check(i)]; }
    T& at(std::size_t i) { return items_[check(i)]; }
    const T& at(std::size_t i) const { return items_[check(i)]; }
    T& operator()(std::size_t i) { return items_[i]; }
    const T& operator()(std::size_t i) const { return items_[i]; }

    T& first() { return at(0); }
    const T& first() const { return at(0); }
    T& last() { return at(items_.size() - 1); }
    const T& last() const { return at(items_.size() - 1); }

    /// Appends a copy of `value`.
    void insert(const T& value) { items_.push_back(value); }
    void insert(T&& value) { items_.push_back(std::move(value)); }
    void append(const T& value) { items_.push_back(value); }
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
    T removeFirst() { return removeAt(0); }
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
    void reserve(std::size_t n) { items_.reserve(n); }

    iterator begin() noexcept { return items_.begin(); }
    iterator end() noexcept { return items_.end(); }
    const_iterator begin() const noexcept { return items_.begin(); }
    const_iterator end() const noexcept { return items_.end(); }

private:
    std::size_t check(std::size_t i) const {
        if (i >= items_.size())
            rw_detail::throwBoundsErr(i, items_.size());
        return i;
    }

    std::vector<T> items_;
};
