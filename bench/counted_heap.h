#pragma once

// Live and peak heap bytes of a benchmark program, counted by replacing the global allocation functions.
// Include it in exactly one source file of the program (the replacements must be defined once).
#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace rw::bench {

inline std::atomic<std::size_t> liveHeapBytes{0};
inline std::atomic<std::size_t> peakHeapBytes{0};

// Starts a new peak from what is live now; returns that.
inline std::size_t restartHeapPeak() {
    const std::size_t now = liveHeapBytes.load();
    peakHeapBytes = now;
    return now;
}

inline void* countedAllocate(std::size_t n) {
    void* p = std::malloc(n == 0 ? 1 : n);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    const std::size_t now = liveHeapBytes += malloc_usable_size(p);
    std::size_t peak = peakHeapBytes.load();
    while (now > peak && !peakHeapBytes.compare_exchange_weak(peak, now)) {
    }
    return p;
}

inline void countedRelease(void* p) {
    if (p != nullptr) {
        liveHeapBytes -= malloc_usable_size(p);
        std::free(p);
    }
}

}  // namespace rw::bench

void* operator new(std::size_t n) {
    return rw::bench::countedAllocate(n);
}
void* operator new[](std::size_t n) {
    return rw::bench::countedAllocate(n);
}
void operator delete(void* p) noexcept {
    rw::bench::countedRelease(p);
}
void operator delete[](void* p) noexcept {
    rw::bench::countedRelease(p);
}
void operator delete(void* p, std::size_t) noexcept {
    rw::bench::countedRelease(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    rw::bench::countedRelease(p);
}
