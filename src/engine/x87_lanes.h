#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/escape_state.h"
#include "engine/x87_job_offsets.h"

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
// modulus rounds to exactly 4.0 as a double gets NeedsExactCount there
// (the fixed-register form), or one whose sum of the doubles of xx and yy
// lies within 4 (1 +- 2^-50) (the exchanging form), and the caller decides it
// with the exact comparison. The *Split kernels (three lanes, exchanging) take
// every coordinate as a pair of doubles whose sum is exactly its 80-bit
// value (the varying ones as pairs, hi then lo; the shared one in
// `sharedSplit`), rebuilt by one exact addition where it is used, and
// decide the escape test as the exchanging form does. The others (two lanes)
// take 80-bit values, any at all, and decide the escape test likewise.
//
// Early exit: an orbit whose whole 80-bit state (x, y) comes back to a state
// it had before repeats forever and never escapes, so its count is 0. Each
// lane saves its state at tests 1, 2, 4, 8, ... and compares every later
// state with the saved one; the double of the squared modulus, already
// computed for the escape test, is compared first as an integer, and only
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
    std::uint64_t squared[3];  // three lanes: the last squared modulus of each lane, as a double
    std::uint64_t bound;       // bits of 4.0 as a double
    std::uint64_t infinity;    // bits of +infinity
    std::int64_t active;       // lanes with pixels of the line
    std::int64_t never;
    std::uint32_t idleSink;
    std::uint32_t startSink;
    std::uint64_t noMatch;  // bits of -1.0, which no squared modulus has
    long double zero;
    // Two lanes: the margin around 4.0 within which a sum of doubles cannot
    // decide the escape test.
    std::uint64_t nearBound;  // bits of 4 (1 - 2^-50)
    std::uint64_t farBound;   // bits of 4 (1 + 2^-50)
    long double savedX[3];
    long double savedY[3];
    std::uint64_t savedSquared[3];
    std::int64_t nextSave[3];  // the test of each lane's next save point (or the depth)
    std::uint64_t skipped;
    // For the three-lane kernels: a pixel whose squared modulus, computed in
    // doubles, exceeds `surelyOut` has an 80-bit squared modulus above 4.0
    // too (the doubles' rounding is far below the margin), so it escapes at
    // its first test and is counted without entering a lane.
    double sharedSquare;    // shared64 * shared64, in doubles
    double surelyOut;       // 4 (1 + 2^-48)
    double squares[3][2];   // each lane's last xx and yy as doubles, where its tests add them
    double sharedSplit[2];  // *Split kernels: the shared part as a sum of two doubles
    // The *State kernels: where pixel i's EscapeState goes (states[i]), and
    // each lane's state as doubles. The two-lane and fixed-register kernels
    // store it on every iteration (the test that finds it beyond the bound
    // comes one iteration later). The exchanging ones keep it at each save
    // point, with the number of that test in `lastSave`, and an orbit that
    // escapes early rebuilds its state from there; from the save at test 16
    // on, a lane instead keeps it where its squared modulus reaches
    // `stateFrom` (its bits), below which the next test cannot find the
    // orbit beyond the bound, until 64 such side paths found no escape. That
    // bound is worked out from the pixel's |c| with the next two constants,
    // and a pixel inside the disk |c + 1| < 1/4, whose orbit never escapes,
    // keeps none (x87_kernel_frame.inc, NEAR_ESCAPE).
    EscapeState* states;
    double laneState[3][2];
    std::uint64_t stateFrom[3];
    double stateFromTop;    // 2 - 2^-38
    double stateFromSlope;  // 1 + 2^-38
    double one;
    double sharedPlusOneSquare;  // (shared64 + 1)^2, in doubles
    double periodTwoDisk;        // 1/16 (1 - 2^-20)
    std::int64_t lastSave[3];   // the test of each lane's last save point
    std::int64_t looksLeft[3];  // side paths a lane may still take without an escape
};

inline constexpr std::uint32_t NeedsExactCount = 0xFFFFFFFFu;

// The kernels read the fields at these offsets (x87_job_offsets.h).
static_assert(
    offsetof(X87LineJob, varying) == QARN_JOB_VARYING && offsetof(X87LineJob, out) == QARN_JOB_OUT &&
    offsetof(X87LineJob, count) == QARN_JOB_COUNT && offsetof(X87LineJob, depth) == QARN_JOB_DEPTH &&
    offsetof(X87LineJob, shared) == QARN_JOB_SHARED && offsetof(X87LineJob, shared64) == QARN_JOB_SHARED64 &&
    offsetof(X87LineJob, squared) == QARN_JOB_SQUARED && offsetof(X87LineJob, bound) == QARN_JOB_BOUND &&
    offsetof(X87LineJob, infinity) == QARN_JOB_INFINITY && offsetof(X87LineJob, active) == QARN_JOB_ACTIVE &&
    offsetof(X87LineJob, never) == QARN_JOB_NEVER && offsetof(X87LineJob, idleSink) == QARN_JOB_IDLESINK &&
    offsetof(X87LineJob, startSink) == QARN_JOB_STARTSINK && offsetof(X87LineJob, noMatch) == QARN_JOB_NOMATCH &&
    offsetof(X87LineJob, zero) == QARN_JOB_ZERO && offsetof(X87LineJob, nearBound) == QARN_JOB_NEARBOUND &&
    offsetof(X87LineJob, farBound) == QARN_JOB_FARBOUND && offsetof(X87LineJob, savedX) == QARN_JOB_SAVEDX &&
    offsetof(X87LineJob, savedY) == QARN_JOB_SAVEDY && offsetof(X87LineJob, savedSquared) == QARN_JOB_SAVEDSQ &&
    offsetof(X87LineJob, nextSave) == QARN_JOB_NEXTSAVE && offsetof(X87LineJob, skipped) == QARN_JOB_SKIPPED &&
    offsetof(X87LineJob, sharedSquare) == QARN_JOB_SHAREDSQUARE &&
    offsetof(X87LineJob, surelyOut) == QARN_JOB_SURELYOUT && offsetof(X87LineJob, squares) == QARN_JOB_SQUARES &&
    offsetof(X87LineJob, sharedSplit) == QARN_JOB_SHAREDSPLIT && offsetof(X87LineJob, states) == QARN_JOB_STATES &&
    offsetof(X87LineJob, laneState) == QARN_JOB_LANESTATE && offsetof(X87LineJob, stateFrom) == QARN_JOB_STATEFROM &&
    offsetof(X87LineJob, stateFromTop) == QARN_JOB_STATEFROMTOP &&
    offsetof(X87LineJob, stateFromSlope) == QARN_JOB_STATEFROMSLOPE && offsetof(X87LineJob, one) == QARN_JOB_ONE &&
    offsetof(X87LineJob, sharedPlusOneSquare) == QARN_JOB_SHAREDPLUSONESQUARE &&
    offsetof(X87LineJob, periodTwoDisk) == QARN_JOB_PERIODTWODISK &&
    offsetof(X87LineJob, lastSave) == QARN_JOB_LASTSAVE && offsetof(X87LineJob, looksLeft) == QARN_JOB_LOOKSLEFT);

extern "C" {
// Two lanes, 80-bit coordinates.
void QarnX87Row(X87LineJob* job);     // shared imaginary part
void QarnX87Column(X87LineJob* job);  // shared real part
// Three lanes, every coordinate a double. Each lane's z stays in fixed x87
// registers (no register exchanges), for cores that issue one exchange a
// cycle (Intel's older Xeons); run only when asked for by name.
void QarnX87RowDouble(X87LineJob* job);
void QarnX87ColumnDouble(X87LineJob* job);
// The same, bringing each lane to the top of the x87 stack with register
// exchanges: the form run on every x86-64 core (exchanges are free on AMD's
// cores and removed at renaming on Intel's Golden Cove).
void QarnX87RowDoubleExchanging(X87LineJob* job);
void QarnX87ColumnDoubleExchanging(X87LineJob* job);
// The exchanging form for lines of 80-bit coordinates that split into pairs of
// doubles: three lanes where two lanes would wait on their chains.
void QarnX87RowSplitExchanging(X87LineJob* job);
void QarnX87ColumnSplitExchanging(X87LineJob* job);
// Each of them also keeping the escape states, written to `states`.
void QarnX87RowState(X87LineJob* job);
void QarnX87ColumnState(X87LineJob* job);
void QarnX87RowDoubleState(X87LineJob* job);
void QarnX87ColumnDoubleState(X87LineJob* job);
void QarnX87RowDoubleExchangingState(X87LineJob* job);
void QarnX87ColumnDoubleExchangingState(X87LineJob* job);
void QarnX87RowSplitExchangingState(X87LineJob* job);
void QarnX87ColumnSplitExchangingState(X87LineJob* job);
// The exchanging ones storing each lane's state on every iteration, rather
// than replaying an escape's last iterations and looking ahead near the bound.
void QarnX87RowDoubleExchangingEveryState(X87LineJob* job);
void QarnX87ColumnDoubleExchangingEveryState(X87LineJob* job);
void QarnX87RowSplitExchangingEveryState(X87LineJob* job);
void QarnX87ColumnSplitExchangingEveryState(X87LineJob* job);
}

inline X87LineJob MakeX87Job() {
    X87LineJob job{};
    job.bound = 0x4010000000000000u;
    job.infinity = 0x7FF0000000000000u;
    job.never = INT64_MAX;
    job.noMatch = 0xBFF0000000000000u;
    job.zero = 0.0L;
    job.nearBound = 0x400FFFFFFFFFFFF8u;
    job.farBound = 0x4010000000000004u;
    job.surelyOut = 4.0 * (1.0 + 0x1p-48);
    job.stateFromTop = 2.0 - 0x1p-38;
    job.stateFromSlope = 1.0 + 0x1p-38;
    job.one = 1.0;
    job.periodTwoDisk = 0.0625 * (1.0 - 0x1p-20);
    return job;
}

}  // namespace qarn
