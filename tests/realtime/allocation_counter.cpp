// Every form of the global operator new and delete, counting the allocations made while
// counting is switched on. Linked into the real-time test program only.
#include "allocation_counter.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::atomic<bool> g_counting{false};
std::atomic<uint64_t> g_soundTouch{0};
std::atomic<uint64_t> g_other{0};

// Walks the caller's stack without allocating (dladdr reads the loaded symbol tables).
bool CalledFromSoundTouch() {
    void* frames[24];
    const int depth = backtrace(frames, 24);
    for (int i = 0; i < depth; ++i) {
        Dl_info info;
        if (dladdr(frames[i], &info) != 0 && info.dli_sname != nullptr &&
            std::strstr(info.dli_sname, "10soundtouch") != nullptr) {
            return true;
        }
    }
    return false;
}

void Count() {
    if (!g_counting.load(std::memory_order_relaxed)) return;
    if (CalledFromSoundTouch()) {
        g_soundTouch.fetch_add(1, std::memory_order_relaxed);
    } else {
        g_other.fetch_add(1, std::memory_order_relaxed);
    }
}

void* Allocate(std::size_t size) {
    Count();
    return std::malloc(size == 0 ? 1 : size);
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    Count();
    const std::size_t align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
    return std::aligned_alloc(align, rounded == 0 ? align : rounded);
}

void* OrThrow(void* memory) {
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

}  // namespace

void StartCountingAllocations() {
    // The first backtrace loads the unwinder, which allocates: do it before counting.
    static const bool primed = [] {
        void* frame[1];
        return backtrace(frame, 1) >= 0;
    }();
    (void)primed;
    g_soundTouch.store(0, std::memory_order_relaxed);
    g_other.store(0, std::memory_order_relaxed);
    g_counting.store(true, std::memory_order_relaxed);
}

AllocationCount StopCountingAllocations() {
    g_counting.store(false, std::memory_order_relaxed);
    return AllocationCount{g_soundTouch.load(std::memory_order_relaxed),
                           g_other.load(std::memory_order_relaxed)};
}

void* operator new(std::size_t size) { return OrThrow(Allocate(size)); }
void* operator new[](std::size_t size) { return OrThrow(Allocate(size)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t a) { return OrThrow(AllocateAligned(size, a)); }
void* operator new[](std::size_t size, std::align_val_t a) {
    return OrThrow(AllocateAligned(size, a));
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, a);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
