#pragma once
// The vector extensions of the processor running the program, beyond
// x86-64's baseline (SSE2), asked once each: the wide forms of mu, of the
// palette's mix and of the count mapping are chosen by them at run time.

namespace qarn {

#if defined(__x86_64__)
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
