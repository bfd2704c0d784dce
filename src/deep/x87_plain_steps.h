#pragma once
#include <cstddef>
#include <cstdint>

#include "deep/bla_table.h"
#include "deep/reference_orbit.h"
#include "deep/x87_step_offsets.h"

namespace qarn::deep {

// The deep loop's plain steps, run by the x87 kernel while nothing else can
// happen: the difference d and the point's dc stay on the register stack.
// The kernel starts at the top of an iteration (the test of z = Z_k + d) and
// runs at most `steps` whole iterations (test, then d = ((Z_k + Z_k) + d) d
// + dc with k + 1), exactly as the loop's own code does, with no flush of
// the new d (the caller proves it changes nothing). It stops before an
// iteration that might not be a plain step: |z|^2 > 4 or unordered, |z|^2 <
// |d|^2 (a rebase) or, at a lookup point, |d|^2 below the radius of the
// table's shortest step there. The caller then runs that iteration itself.
struct X87StepJob {
    long double dr, di;  // in and out
    long double dcr, dci;
    const OrbitPoint* points;  // Z_k of the first iteration
    const BlaStep* lookup;     // the shortest step at the first lookup point
    std::uint64_t lookups;     // how many follow from there (0: none)
    std::uint64_t steps;       // at most this many iterations
    std::uint64_t until;       // 1 + iterations before the first lookup point
    double four = 4.0;
    // The doubles form's own: z and d as doubles, and its bounds (see the
    // kernel): 4 (1 - 2^-47), 1 + 2^-47 and 2^-999.
    double zr64, zi64, dr64, di64;
    double nearFour = 0x1p2 - 0x1p-45;
    double margin = 1.0 + 0x1p-47;
    double tiny = 0x1p-999;
};
static_assert(offsetof(X87StepJob, dr) == QARN_STEPS_DR);
static_assert(offsetof(X87StepJob, di) == QARN_STEPS_DI);
static_assert(offsetof(X87StepJob, dcr) == QARN_STEPS_DCR);
static_assert(offsetof(X87StepJob, dci) == QARN_STEPS_DCI);
static_assert(offsetof(X87StepJob, points) == QARN_STEPS_POINTS);
static_assert(offsetof(X87StepJob, lookup) == QARN_STEPS_LOOKUP);
static_assert(offsetof(X87StepJob, lookups) == QARN_STEPS_LOOKUPS);
static_assert(offsetof(X87StepJob, steps) == QARN_STEPS_STEPS);
static_assert(offsetof(X87StepJob, until) == QARN_STEPS_UNTIL);
static_assert(offsetof(X87StepJob, four) == QARN_STEPS_FOUR);
static_assert(offsetof(X87StepJob, zr64) == QARN_STEPS_ZR64);
static_assert(offsetof(X87StepJob, zi64) == QARN_STEPS_ZI64);
static_assert(offsetof(X87StepJob, dr64) == QARN_STEPS_DR64);
static_assert(offsetof(X87StepJob, di64) == QARN_STEPS_DI64);
static_assert(offsetof(X87StepJob, nearFour) == QARN_STEPS_NEARFOUR);
static_assert(offsetof(X87StepJob, margin) == QARN_STEPS_MARGIN);
static_assert(offsetof(X87StepJob, tiny) == QARN_STEPS_TINY);
static_assert(sizeof(OrbitPoint) == 32 && offsetof(OrbitPoint, im) == 16);
static_assert(sizeof(BlaStep) == 50);

#if defined(__x86_64__) || defined(_M_X64)
#define QARN_DEEP_X87_KERNEL 1
// The number of whole iterations run (0 to steps). The first at any depth;
// the second, faster, where the differences stay above about 2^-500 (it
// tests sums of squares of doubles of z and d, whose underflow costs
// assists).
extern "C" std::uint64_t qarn_deep_plain_steps(X87StepJob* job);
extern "C" std::uint64_t qarn_deep_plain_steps_sse(X87StepJob* job);
#else
#define QARN_DEEP_X87_KERNEL 0
#endif

}  // namespace qarn::deep
