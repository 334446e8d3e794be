#pragma once

#include <cstddef>
#include <vector>

#include <rw/RWBoundsErr.h>
#include <rw/RWTValOrderedVector.h>

/// An ordered vector of pointers in the manner of the RW class library. It
/// never deletes what it points to, except in clearAndDestroy(). Searches
/// compare the pointed-to values with operator==. Checked access raises
/// RWBoundsErr at or past the count.
template <class T> class RWTPtrOrderedVector {
public:
    /// Iterator over the pointers.
    using iterator = typename std::vector<T*>::iterator;
    /// Read-only iterator over the pointers.
    using const_iterator = typename std::vector<T*>::const_iterator;

    /// Room for `capacity` entries before the first growth.
    explicit RWTPtrOrderedVector(std::size_t capacity = 64) { items_.reserve(capacity); }

    /// Number of entries.
    std::size_t entries() const noexcept { return items_.size(); }
    /// Number of entries, as entries().
    std::size_t length() const noexcept { return items_.size(); }
    /// True when there are no entries.
    bool isEmpty() const noexcept { return items_.empty(); }
    /// Entries the vector holds before it grows.
    std::size_t capacity() const noexcept { return items_.capacity(); }

    /// Entry i; raises RWBoundsErr when i is not below the count.
    T*& operator[](std::size_t i) { return items_[check(i)]; }
    /// As operator[], by value.
    T* operator[](std::size_t i) const { return items_[check(i)]; }
    /// As operator[].
    T*& at(std::size_t i) { return items_[check(i)]; }
    /// As operator[].
    T* at(std::size_t i) const { return items_[check(i)]; }
    /// Entry i, unchecked: i must be below the count.
    T*& operator()(std::size_t i) { return items_[i]; }
    /// As operator(), by value.
    T* operator()(std::size_t i) const { return items_[i]; }

    /// Appends `p`; the vector does not take ownership.
    void insert(T* p) { items_.push_back(p); }
    /// Appends `p`, as insert().
    void append(T* p) { items_.push_back(p); }
    /// Puts `p` first.
    void prepend(T* p) { items_.insert(items_.begin(), p); }
    /// Inserts `p` before index i; i may equal the count. Raises RWBoundsErr past it.
    void insertAt(std::size_t i, T* p) {
        if (i > items_.size())
            rw_detail::throwBoundsErr(i, items_.size());
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(i), p);
    }
    /// Removes and returns the pointer at i (not deleted).
    T* removeAt(std::size_t i) {
        T* p = items_[check(i)];
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        return p;
    }
    /// Index of the first entry whose value equals *p, or RW_NPOS.
    std::size_t index(const T* p) const {
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (items_[i] == p || (p && items_[i] && *items_[i] == *p))
                return i;
        }
        return RW_NPOS;
    }
    /// True when index() finds an entry.
    bool contains(const T* p) const { return index(p) != RW_NPOS; }
    /// Forgets every pointer without deleting.
    void clear() {
        std::vector<T*> fresh;
        fresh.reserve(64);
        items_.swap(fresh);
    }
    /// Deletes every pointed-to object, then forgets the pointers.
    void clearAndDestroy() {
        for (T* p : items_)
            delete p;
        clear();
    }
    /// Makes room for `n` entries.
    void reserve(std::size_t n) { items_.reserve(n); }

    /// Iterators over the pointers, in order.
    iterator begin() noexcept { return items_.begin(); }
    /// End of the entries.
    iterator end() noexcept { return items_.end(); }
    /// Iterators over the pointers, in order.
    const_iterator begin() const noexcept { return items_.begin(); }
    /// End of the entries.
    const_iterator end() const noexcept { return items_.end(); }

private:
    std::size_t check(std::size_t i) const {
        if (i >= items_.size())
            rw_detail::throwBoundsErr(i, items_.size());
        return i;
    }

    std::vector<T*> items_;
};
