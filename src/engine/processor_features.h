#pragma once
// The vector extensions of the processor running the program, beyond
// x86-64's baseline (SSE2), and AMD's family, asked once each: the wide forms
// of mu, of the palette's mix and of the count mapping, and the way the
// kernels keep escape states, are chosen by them at run time.
#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace qarn {

#if defined(__x86_64__)
// AMD's processor family (25 for Zen 3 and 4, 26 for Zen 5), 0 on others.
inline int AmdFamily() {
    static const int family = [] {
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx) || ebx != 0x68747541u) return 0;  // "Auth"enticAMD
        __get_cpuid(1, &eax, &ebx, &ecx, &edx);
        const int base = static_cast<int>((eax >> 8) & 0xF);
        return base == 0xF ? base + static_cast<int>((eax >> 20) & 0xFF) : base;
    }();
    return family;
}
inline bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
inline bool HasAvx512f() {
    static const bool has = __builtin_cpu_supports("avx512f");
    return has;
}
#endif

}  // namespace qarn
