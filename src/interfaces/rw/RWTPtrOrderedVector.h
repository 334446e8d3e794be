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
    using iterator = typename std::vector<T*>::iterator;
    using const_iterator = typename std::vector<T*>::const_iterator;

    explicit RWTPtrOrderedVector(std::size_t capacity = 64) { items_.reserve(capacity); }

    std::size_t entries() const noexcept { return items_.size(); }
    std::size_t length() const noexcept { return items_.size(); }
    bool isEmpty() const noexcept { return items_.empty(); }
    std::size_t capacity() const noexcept { return items_.capacity(); }

    T*& operator[](std::size_t i) { return items_[check(i)]; }
    T* operator[](std::size_t i) const { return items_[check(i)]; }
    T*& at(std::size_t i) { return items_[check(i)]; }
    T* at(std::size_t i) const { return items_[check(i)]; }
    T*& operator()(std::size_t i) { return items_[i]; }
    T* operator()(std::size_t i) const { return items_[i]; }

    void insert(T* p) { items_.push_back(p); }
    void append(T* p) { items_.push_back(p); }
    void prepend(T* p) { items_.insert(items_.begin(), p); }
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

    std::vector<T*> items_;
};
