#pragma once
// What every benchmark reports beside its times: the processor family and
// the core's clock, measured in the same run.
#include <cpuid.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

namespace qarn::bench {

// This thread's own processor time.
inline double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The core's clock: a chain of dependent 64-bit multiplications runs at one
// every three cycles on every x86-64 core of the last fifteen years. (A
// chain of additions of a constant does not serve: Intel's cores since
// Golden Cove fold them at renaming, several a cycle.) The median of short
// chains, each timed on this thread's own processor time, so that other
// programs' time slices and a chain they disturb count for nothing.
inline double CoreClockHz() {
    constexpr std::uint64_t Multiplications = 4'000'000;
    std::array<double, 9> rates{};
    for (double& rate : rates) {
        std::uint64_t x = 3;
        std::uint64_t rounds = Multiplications / 4;
        const double start = ThreadSeconds();
        __asm__ volatile(
            ".p2align 4\n"
            "1: imul %0, %0\n imul %0, %0\n imul %0, %0\n imul %0, %0\n"
            " dec %1\n jnz 1b"
            : "+r"(x), "+r"(rounds));
        rate = 3.0 * static_cast<double>(Multiplications) / (ThreadSeconds() - start);
    }
    std::nth_element(rates.begin(), rates.begin() + rates.size() / 2, rates.end());
    return rates[rates.size() / 2];
}

inline std::string CpuFamily() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    char vendor[13] = {};
    __get_cpuid(0, &eax, &ebx, &ecx, &edx);
    __builtin_memcpy(vendor, &ebx, 4);
    __builtin_memcpy(vendor + 4, &edx, 4);
    __builtin_memcpy(vendor + 8, &ecx, 4);
    __get_cpuid(1, &eax, &ebx, &ecx, &edx);
    const unsigned base = (eax >> 8) & 0xF;
    const unsigned family = base == 0xF ? base + ((eax >> 20) & 0xFF) : base;
    return std::string(vendor) + " family " + std::to_string(family);
}

}  // namespace qarn::bench
