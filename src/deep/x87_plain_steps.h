#pragma once
#include <cstddef>
#include <cstdint>

#include "deep/bla_table.h"
#include "deep/reference_orbit.h"
#include "deep/x87_step_offsets.h"

namespace qarn::deep {

// The deep loop's steps, run by the x87 kernel while nothing else can
// happen: the difference d and the point's dc stay on the register stack.
// The kernel starts at the top of an iteration (the test of z = Z_k + d) and
// runs at most `steps` iterations' worth, exactly as the loop's own code
// does: plain steps (test, then d = ((Z_k + Z_k) + d) d + dc, k + 1) with
// no flush of the new d (the caller proves it changes nothing), and at each
// lookup point (m - 1 a multiple of 4) the skip table's longest valid step
// where it fits in what is left. It stops before an iteration that might
// not be either, |z|^2 > 4 or unordered or |z|^2 < |d|^2 (a rebase), or
// where a skip would not fit, and the caller runs that iteration itself; or
// straight after a skip whose d has a part below FlushBelow (or 0), for the
// caller to flush.
using X87StepLevel = StepLevel;  // of 2^(MinLevel + index) iterations

struct X87StepJob {
    long double dr, di;  // in and out
    long double dcr, dci;
    const OrbitPoint* points;    // Z_k of the first iteration
    const X87StepLevel* levels;  // the table's levels, shortest first
    const X87StepLevel* levelsEnd;
    std::uint64_t from;         // m - 1 of the first iteration (modulo 2^64)
    std::uint64_t steps;        // at most this many iterations
    std::uint64_t until;        // 1 + iterations before the first lookup point
    std::uint64_t skips = 0;    // out: skips taken
    std::uint64_t skipped = 0;  // out: the iterations they cover
    double four = 4.0;
    double small = 0x1p-1000;
    // The doubles form's own: z and d as doubles, and its bounds (see the
    // kernel): 4 (1 - 2^-47), 1 + 2^-47 and 2^-999.
    double zr64, zi64, dr64, di64;
    double nearFour = 0x1p2 - 0x1p-45;
    double margin = 1.0 + 0x1p-47;
    double tiny = 0x1p-999;
    // The tail's form: Z of the tail's first period, the table's steps from
    // each of its places (`size` there: the step's length modulo the
    // period, how far it moves the place), the period and the place of the
    // first iteration (in and out).
    const OrbitPoint* tailBase;
    const X87StepLevel* tailLevels;
    const X87StepLevel* tailLevelsEnd;
    std::uint64_t period;
    std::uint64_t place;
    // Where the tail's watch may save or match a mark: the place of the
    // mark saved (UINT64_MAX: none), the tests left before it saves one, and
    // the mark's d (the watch can match only a d equal to it).
    std::uint64_t markPlace;
    std::uint64_t testsLeft;
    // Below this a part of d is kept as 0 (the kernel leaves such a skip's
    // new d to the caller).
    long double flushBelow = FlushBelow;
    long double markRe, markIm;
    // The tail's form saves the watch's marks itself where it can: the test
    // at which the next one is saved (0: the caller saves it), and out the
    // marks it saved, the last one's iterations from the start (its m less
    // the first iteration's) and the next save's test.
    std::uint64_t nextMark = 0;
    std::uint64_t markIter = 0;
    std::uint64_t saves = 0;
};
static_assert(offsetof(X87StepJob, dr) == QARN_STEPS_DR);
static_assert(offsetof(X87StepJob, di) == QARN_STEPS_DI);
static_assert(offsetof(X87StepJob, dcr) == QARN_STEPS_DCR);
static_assert(offsetof(X87StepJob, dci) == QARN_STEPS_DCI);
static_assert(offsetof(X87StepJob, points) == QARN_STEPS_POINTS);
static_assert(offsetof(X87StepJob, levels) == QARN_STEPS_LEVELS);
static_assert(offsetof(X87StepJob, levelsEnd) == QARN_STEPS_LEVELSEND);
static_assert(offsetof(X87StepJob, from) == QARN_STEPS_FROM);
static_assert(offsetof(X87StepJob, steps) == QARN_STEPS_STEPS);
static_assert(offsetof(X87StepJob, until) == QARN_STEPS_UNTIL);
static_assert(offsetof(X87StepJob, skips) == QARN_STEPS_SKIPS);
static_assert(offsetof(X87StepJob, skipped) == QARN_STEPS_SKIPPED);
static_assert(offsetof(X87StepJob, four) == QARN_STEPS_FOUR);
static_assert(offsetof(X87StepJob, small) == QARN_STEPS_SMALL);
static_assert(offsetof(X87StepJob, zr64) == QARN_STEPS_ZR64);
static_assert(offsetof(X87StepJob, zi64) == QARN_STEPS_ZI64);
static_assert(offsetof(X87StepJob, dr64) == QARN_STEPS_DR64);
static_assert(offsetof(X87StepJob, di64) == QARN_STEPS_DI64);
static_assert(offsetof(X87StepJob, nearFour) == QARN_STEPS_NEARFOUR);
static_assert(offsetof(X87StepJob, margin) == QARN_STEPS_MARGIN);
static_assert(offsetof(X87StepJob, tiny) == QARN_STEPS_TINY);
static_assert(offsetof(X87StepJob, tailBase) == QARN_STEPS_TAILBASE);
static_assert(offsetof(X87StepJob, tailLevels) == QARN_STEPS_TAILLEVELS);
static_assert(offsetof(X87StepJob, tailLevelsEnd) == QARN_STEPS_TAILLEVELSEND);
static_assert(offsetof(X87StepJob, period) == QARN_STEPS_PERIOD);
static_assert(offsetof(X87StepJob, place) == QARN_STEPS_PLACE);
static_assert(offsetof(X87StepJob, markPlace) == QARN_STEPS_MARKPLACE);
static_assert(offsetof(X87StepJob, testsLeft) == QARN_STEPS_TESTSLEFT);
static_assert(offsetof(X87StepJob, flushBelow) == QARN_STEPS_FLUSHBELOW);
static_assert(offsetof(X87StepJob, markRe) == QARN_STEPS_MARKRE);
static_assert(offsetof(X87StepJob, markIm) == QARN_STEPS_MARKIM);
static_assert(offsetof(X87StepJob, nextMark) == QARN_STEPS_NEXTMARK);
static_assert(offsetof(X87StepJob, markIter) == QARN_STEPS_MARKITER);
static_assert(offsetof(X87StepJob, saves) == QARN_STEPS_SAVES);
static_assert(sizeof(X87StepLevel) == 16);
static_assert(sizeof(OrbitPoint) == 32 && offsetof(OrbitPoint, im) == 16);
static_assert(sizeof(BlaStep) == 50);

#if defined(__x86_64__) || defined(_M_X64)
#define QARN_DEEP_X87_KERNEL 1
// The number of iterations run (0 to steps), skipped ones included. The first at any depth;
// the second, faster, where the differences stay above about 2^-500 (it
// tests sums of squares of doubles of z and d, whose underflow costs
// assists).
extern "C" std::uint64_t qarn_deep_plain_steps(X87StepJob* job);
extern "C" std::uint64_t qarn_deep_plain_steps_sse(X87StepJob* job);
// In the orbit's repeating tail, where the table has steps from every place
// of its period: a lookup at every iteration, Z read from the first period
// (the place wraps), the tests on the x87 unit; it also stops before a test
// at the mark's place where d equals the mark's (or is not a number), and
// saves the next marks itself (or, with nextMark 0, stops before the test
// that saves one).
extern "C" std::uint64_t qarn_deep_tail_steps(X87StepJob* job);
#else
#define QARN_DEEP_X87_KERNEL 0
#endif

}  // namespace qarn::deep
