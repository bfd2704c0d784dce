#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/arithmetic_mode.h"

namespace qarn {

// One line of pixels for the x87 kernel: pixel i is iterated from
// c = (re[i * reStride], im[i * imStride]) (strides in bytes, 0 for a
// coordinate the whole line shares) and its count goes to out[i * outStride].
// The kernel runs two pixels interleaved, refilling a lane as soon as its
// pixel ends, and gives each pixel the count of EscapeCount, except that a
// pixel whose squared modulus rounds to exactly 4.0 as a double gets
// NeedsExactCount: the caller decides that pixel with the exact comparison.
struct X87LineJob {
    const long double* re;
    const long double* im;
    std::uint32_t* out;
    std::int64_t reStride;
    std::int64_t imStride;
    std::int64_t outStride;
    std::int64_t count;
    std::int64_t depth;
    // Working space of the kernel.
    std::uint64_t squaredA;
    std::uint64_t squaredB;
    std::uint64_t bound;  // bits of 4.0 as a double
    std::uint64_t limit;  // bits of +infinity minus bound
    std::int64_t active;
    std::int64_t never;
    std::uint32_t sink;
    std::uint32_t unused;
    alignas(16) long double zero;
};

inline constexpr std::uint32_t NeedsExactCount = 0xFFFFFFFFu;

// The kernel's byte offsets are written into the assembly source.
static_assert(offsetof(X87LineJob, squaredA) == 64 && offsetof(X87LineJob, active) == 96 &&
              offsetof(X87LineJob, sink) == 112 && offsetof(X87LineJob, zero) == 128);

extern "C" void QarnX87Line(X87LineJob* job);

inline void PrepareX87Job(X87LineJob& job) {
    job.squaredA = 0;
    job.squaredB = 0;
    job.bound = 0x4010000000000000u;
    job.limit = 0x7FF0000000000000u - 0x4010000000000000u;
    job.active = 2;
    job.never = INT64_MIN;
    job.sink = 0;
    job.zero = 0.0L;
}

}  // namespace qarn
