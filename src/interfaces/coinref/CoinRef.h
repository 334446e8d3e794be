#pragma once

#include <utility>

namespace coinref {

/// Holds one reference on a Coin object (a node, a node kit, any SoBase):
/// it calls ref() when it takes the object and unref() when it lets go, so a
/// reference taken on one path is given up exactly once, however the holder's
/// scope is left. Move-only: a second holder of the same object takes its own
/// reference by being built from get().
template <class T> class CoinRef {
public:
    /// Holds nothing.
    CoinRef() noexcept = default;
    /// Takes a reference on `object`; a null pointer holds nothing.
    explicit CoinRef(T* object) noexcept : object_(object) {
        if (object_ != nullptr)
            object_->ref();
    }
    /// Takes over the other holder's reference; the other one holds nothing.
    CoinRef(CoinRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    /// Gives up the reference held, then takes over the other one's.
    CoinRef& operator=(CoinRef&& other) noexcept {
        if (this != &other) {
            T* taken = std::exchange(other.object_, nullptr);
            release(std::exchange(object_, taken));
        }
        return *this;
    }
    CoinRef(const CoinRef&) = delete;
    CoinRef& operator=(const CoinRef&) = delete;
    /// Gives up the reference held (which may delete the object).
    ~CoinRef() { release(object_); }

    /// Holds `object` instead: the new object is referenced before the old one
    /// is released, so resetting to the object already held keeps it alive.
    void reset(T* object = nullptr) noexcept {
        if (object != nullptr)
            object->ref();
        release(std::exchange(object_, object));
    }

    /// The object held, or null; still owned by the holder.
    T* get() const noexcept { return object_; }
    /// The object held; the holder must not be empty.
    T* operator->() const noexcept { return object_; }
    /// The object held; the holder must not be empty.
    T& operator*() const noexcept { return *object_; }
    /// Whether an object is held.
    explicit operator bool() const noexcept { return object_ != nullptr; }

private:
    static void release(T* object) noexcept {
        if (object != nullptr)
            object->unref();
    }

    T* object_ = nullptr;
};

} // namespace coinref
