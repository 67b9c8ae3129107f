#pragma once
#include <atomic>

// A setting shared between the main thread (its only writer) and the audio thread. Every access
// is a single relaxed load or store of one aligned value: the audio thread sees either the old or
// the new value and never waits.
template <typename T>
class RelaxedAtomic {
public:
    constexpr RelaxedAtomic() noexcept : value_(T{}) {}
    constexpr RelaxedAtomic(T v) noexcept : value_(v) {}
    RelaxedAtomic(const RelaxedAtomic&) = delete;

    operator T() const noexcept { return value_.load(std::memory_order_relaxed); }
    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    RelaxedAtomic& operator=(T v) noexcept {
        value_.store(v, std::memory_order_relaxed);
        return *this;
    }
    RelaxedAtomic& operator=(const RelaxedAtomic& other) noexcept { return *this = other.load(); }

private:
    std::atomic<T> value_;
    static_assert(std::atomic<T>::is_always_lock_free, "shared settings must be lock-free");
};
