#pragma once
#include <cstddef>
#include <vector>

namespace qarn::render {

// The memory of the band buffers: each large one in whole huge pages where
// the system gives them on request (Linux's transparent huge pages), so that
// a run's first touch of its buffers takes a fault every 2 MiB rather than
// every 4 KiB. Elsewhere, and for small buffers, the usual allocator.
void* AllocateBandMemory(std::size_t bytes);
void FreeBandMemory(void* memory, std::size_t bytes);

template <class T>
struct BandAllocator {
    using value_type = T;
    BandAllocator() = default;
    template <class U>
    BandAllocator(const BandAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(AllocateBandMemory(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) { FreeBandMemory(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const BandAllocator<U>&) const {
        return true;
    }
};

template <class T>
using BandBuffer = std::vector<T, BandAllocator<T>>;

}  // namespace qarn::render
