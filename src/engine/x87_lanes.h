#pragma once
#include <cstddef>
#include <cstdint>

namespace qarn {

// One line of pixels for the x87 kernels. The pixels share one part of c
// (`shared`: the imaginary part along a row, the real part along a column);
// pixel i takes the other part from element i of `varying` and stores its
// count in element i of `out`. Each kernel gives every pixel the count of
// EscapeCount, refilling a lane as soon as its pixel ends. The depth must be
// at least 1.
//
// The *Double kernels (three lanes) need every coordinate of the line to be
// exactly a double, `varying` pointing at doubles; a pixel whose squared
// modulus rounds to exactly 4.0 as a double gets NeedsExactCount there, and
// the caller decides it with the exact comparison. The others (two lanes)
// take 80-bit values and compare exactly.
struct alignas(16) X87LineJob {
    const void* varying;
    std::uint32_t* out;
    std::int64_t count;
    std::int64_t depth;
    long double shared;
    double shared64;
    // Working space of the kernels.
    std::uint64_t squared[3];
    std::uint64_t bound;     // bits of 4.0 as a double
    std::uint64_t infinity;  // bits of +infinity
    std::int64_t active;     // lanes with pixels of the line
    std::int64_t never;
    std::uint32_t idleSink;
    std::uint32_t startSink;
    std::uint64_t unused;
    long double zero;
    long double bound80;  // 4.0
};

inline constexpr std::uint32_t NeedsExactCount = 0xFFFFFFFFu;

// The kernels' byte offsets are written into the assembly source.
static_assert(offsetof(X87LineJob, shared) == 32 && offsetof(X87LineJob, shared64) == 48 &&
              offsetof(X87LineJob, squared) == 56 && offsetof(X87LineJob, bound) == 80 &&
              offsetof(X87LineJob, active) == 96 && offsetof(X87LineJob, idleSink) == 112 &&
              offsetof(X87LineJob, startSink) == 116 && offsetof(X87LineJob, zero) == 128 &&
              offsetof(X87LineJob, bound80) == 144);

extern "C" {
void QarnX87Row(X87LineJob* job);           // shared imaginary part, 80-bit real parts
void QarnX87RowDouble(X87LineJob* job);     // shared imaginary part, every part a double
void QarnX87Column(X87LineJob* job);        // shared real part, 80-bit imaginary parts
void QarnX87ColumnDouble(X87LineJob* job);  // shared real part, every part a double
}

inline X87LineJob MakeX87Job() {
    X87LineJob job{};
    job.bound = 0x4010000000000000u;
    job.infinity = 0x7FF0000000000000u;
    job.never = INT64_MAX;
    job.zero = 0.0L;
    job.bound80 = 4.0L;
    return job;
}

}  // namespace qarn
