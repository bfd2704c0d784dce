#pragma once
#include <cstddef>
#include <cstdint>

namespace qarn {

// One line of pixels for the x87 kernels. The pixels share one part of c
// (`shared`: the imaginary part along a row, the real part along a column);
// pixel i takes the other part from element i of `varying` and stores its
// count in element i of `out`. Each kernel gives every pixel the count of
// EscapeCount, refilling a lane as soon as its pixel ends. The depth must be
// at least 1, and the shared part may not be a NaN (the caller gives such a
// line 0 without iterating); a pixel whose varying part is a NaN gets 0
// without a test.
//
// The *Double kernels (three lanes) need every coordinate of the line to be
// exactly a double, `varying` pointing at doubles; a pixel whose squared
// modulus rounds to exactly 4.0 as a double gets NeedsExactCount there, and
// the caller decides it with the exact comparison. The others (two lanes)
// take 80-bit values and compare exactly.
//
// Early exit: an orbit whose whole 80-bit state (x, y) comes back to a state
// it had before repeats forever and never escapes, so its count is 0. Each
// lane saves its state at tests 1, 2, 4, 8, ... and compares every later
// state with the saved one; the double of the squared modulus, already
// stored for the escape test, is compared first as an integer, and only
// when it matches are the 80-bit values compared (equal states always have
// equal squared moduli). The x87 comparison takes +0 and -0 as equal: two
// states that differ only in the signs of zeros have equal values, so every
// later state, test and count is the same. `skipped` returns the tests that
// the pixels ending this way did not need to run.
struct alignas(16) X87LineJob {
    const void* varying;
    std::uint32_t* out;
    std::int64_t count;
    std::int64_t depth;
    long double shared;
    double shared64;
    // Working space of the kernels.
    std::uint64_t squared[3];  // the last squared modulus of each lane, as a double
    std::uint64_t bound;       // bits of 4.0 as a double
    std::uint64_t infinity;    // bits of +infinity
    std::int64_t active;       // lanes with pixels of the line
    std::int64_t never;
    std::uint32_t idleSink;
    std::uint32_t startSink;
    std::uint64_t noMatch;  // bits of -1.0, which no squared modulus has
    long double zero;
    long double bound80;  // 4.0
    long double savedX[3];
    long double savedY[3];
    std::uint64_t savedSquared[3];
    std::int64_t nextSave[3];  // the test of each lane's next save point (or the depth)
    std::uint64_t skipped;
    // For the three-lane kernels: a pixel whose squared modulus, computed in
    // doubles, exceeds `surelyOut` has an 80-bit squared modulus above 4.0
    // too (the doubles' rounding is far below the margin), so it escapes at
    // its first test and is counted without entering a lane.
    double sharedSquare;  // shared64 * shared64, in doubles
    double surelyOut;     // 4 (1 + 2^-48)
};

inline constexpr std::uint32_t NeedsExactCount = 0xFFFFFFFFu;

// The kernels' byte offsets are written into the assembly source.
static_assert(offsetof(X87LineJob, shared) == 32 && offsetof(X87LineJob, shared64) == 48 &&
              offsetof(X87LineJob, squared) == 56 && offsetof(X87LineJob, bound) == 80 &&
              offsetof(X87LineJob, active) == 96 && offsetof(X87LineJob, idleSink) == 112 &&
              offsetof(X87LineJob, startSink) == 116 && offsetof(X87LineJob, noMatch) == 120 &&
              offsetof(X87LineJob, zero) == 128 && offsetof(X87LineJob, bound80) == 144 &&
              offsetof(X87LineJob, savedX) == 160 && offsetof(X87LineJob, savedY) == 208 &&
              offsetof(X87LineJob, savedSquared) == 256 && offsetof(X87LineJob, nextSave) == 280 &&
              offsetof(X87LineJob, skipped) == 304 && offsetof(X87LineJob, sharedSquare) == 312 &&
              offsetof(X87LineJob, surelyOut) == 320);

extern "C" {
// Two lanes, 80-bit coordinates.
void QarnX87Row(X87LineJob* job);     // shared imaginary part
void QarnX87Column(X87LineJob* job);  // shared real part
// Three lanes, every coordinate a double. Each lane's z stays in fixed x87
// registers (no register exchanges): fast on cores that issue one exchange
// a cycle, such as Intel's.
void QarnX87RowDouble(X87LineJob* job);
void QarnX87ColumnDouble(X87LineJob* job);
// The same, rotating the lanes through the top of the x87 stack with
// register exchanges: fastest where exchanges are free, as on AMD's cores.
void QarnX87RowDoubleRotating(X87LineJob* job);
void QarnX87ColumnDoubleRotating(X87LineJob* job);
}

inline X87LineJob MakeX87Job() {
    X87LineJob job{};
    job.bound = 0x4010000000000000u;
    job.infinity = 0x7FF0000000000000u;
    job.never = INT64_MAX;
    job.noMatch = 0xBFF0000000000000u;
    job.zero = 0.0L;
    job.bound80 = 4.0L;
    job.surelyOut = 4.0 * (1.0 + 0x1p-48);
    return job;
}

}  // namespace qarn
