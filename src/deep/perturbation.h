#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "deep/bla_table.h"
#include "deep/reference_orbit.h"
#include "engine/escape_state.h"

namespace qarn::deep {

// The deepest view whose pixel offsets the loop takes as plain x87 reals:
// every nonzero offset of a view at this level, at scales up to 2^16, is
// above FlushBelow times 2^70 (so flushing the differences below FlushBelow
// changes nothing above the offsets' own rounding).
inline constexpr std::int64_t MaxLoopLevel = 7800;

// What a picture cost: tests of |z|^2 > 4 that the loop performed, iterations
// of the orbit that the points' counts account for (tests plus iterations
// skipped by the approximation), skips taken and rebases.
struct DeepWork {
    std::uint64_t tests = 0;
    std::uint64_t iterations = 0;
    std::uint64_t skips = 0;
    std::uint64_t rebases = 0;
    DeepWork& operator+=(const DeepWork& other) {
        tests += other.tests;
        iterations += other.iterations;
        skips += other.skips;
        rebases += other.rebases;
        return *this;
    }
};

// The count of c = C + (offset of the orbit's point) + dc by perturbation:
// z_n = Z_m + d, d_1 = dc (m = 1), the shallow loop's test and count
// (z_1 = c, the first n with |z_n|^2 > 4, 0 if the test at n = depth does not
// escape), rebasing d = z, m = 0 where |z|^2 < |d|^2 or m = M, and otherwise
// d = ((Z_m + Z_m) + d) d + dc (= 2 Z_m d + d^2 + dc), or a skip of the table where
// one is valid. Every difference below FlushBelow is kept as 0. The point is
// inside without further work where the loop provably repeats: a difference
// just rebased equals, exactly, one saved just after the 1st, 2nd, 4th, ...
// rebase; or, where the orbit lasts the whole depth and its rounded values
// repeat with a period from some m on, a state (m, d) there comes back
// exactly as (m + k period, d). The state is the doubles nearest z at the
// escaping test.
std::uint32_t DeepCount(const ReferenceOrbit& orbit, const BlaTable* table, long double dcRe, long double dcIm,
                        std::uint32_t depth, EscapeState* state, DeepWork* work);

// The same loop with every step in C++ (DeepCount runs its plain steps in
// an x87 kernel where one serves): for comparing the two.
std::uint32_t DeepCountInCpp(const ReferenceOrbit& orbit, const BlaTable* table, long double dcRe, long double dcIm,
                             std::uint32_t depth, EscapeState* state, DeepWork* work);

// Counts (and escape states, where asked) of a grid of points given by their
// offsets from the view's centre: point (i, j) is C + (offRe[i], offIm[j]),
// written at j * offRe.size() + i. Rows are spread over a pool of threads
// made once; the results do not depend on the number of threads.
class DeepRenderer {
public:
    explicit DeepRenderer(unsigned threads = 0);
    ~DeepRenderer();
    DeepRenderer(const DeepRenderer&) = delete;
    DeepRenderer& operator=(const DeepRenderer&) = delete;

    // `rowDone`, where given, is called on a computing thread as each row is
    // final (several threads at once, for different rows). `stop`, where
    // given, is asked before each point (on every computing thread): once it
    // answers true, no thread starts another point or row, the rows not yet
    // final are left as they are and never reach `rowDone`, and the work
    // returned is that of the points done.
    DeepWork Render(const ReferenceOrbit& orbit, const BlaTable* table, std::span<const long double> offRe,
                    std::span<const long double> offIm, std::uint32_t depth, std::span<std::uint32_t> counts,
                    std::span<EscapeState> states = {}, const std::function<void(int)>& rowDone = {},
                    const std::function<bool()>& stop = {});

    unsigned Threads() const { return static_cast<unsigned>(workers_.size()) + 1; }

private:
    struct Job;
    void Work(Job& job);
    void Run();

    std::mutex mutex_;
    std::condition_variable start_;
    std::condition_variable finished_;
    Job* job_ = nullptr;
    std::uint64_t generation_ = 0;
    unsigned busy_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// The largest |dc| of a grid's points against the orbit's point (for the
// table's radii), rounded up.
long double MaxDifference(const ReferenceOrbit& orbit, std::span<const long double> offRe,
                          std::span<const long double> offIm);

}  // namespace qarn::deep

namespace qarn::deep {

// Of `orbit` (C's) and the orbits of a sample of at most 16 x 16 of a
// width x height grid's points (evenly spaced columns and rows; countAt
// counts one from C's orbit, given, orbitAt computes its own), the one
// ChooseReferenceOrbit describes.
ReferenceOrbit LongestLivedReference(ReferenceOrbit orbit, std::size_t width, std::size_t height, std::uint32_t depth,
                                     const std::function<std::uint32_t(const ReferenceOrbit&, std::size_t, std::size_t)>& countAt,
                                     const std::function<ReferenceOrbit(std::size_t, std::size_t)>& orbitAt);

// The reference of a picture: the orbit of its centre C when it lasts the
// whole depth; otherwise, of the longest-lived point of a sample of at most
// 16 x 16 of the picture's points (evenly spaced columns and rows, counted
// by perturbation from C's orbit; a point that stays is longest-lived, ties
// go to the first in row order), when that lives longer than C.
ReferenceOrbit ChooseReferenceOrbit(const DyadicNumber& re, const DyadicNumber& im, std::span<const long double> offRe,
                                    std::span<const long double> offIm, std::uint32_t depth, long precision,
                                    const OrbitProgress& progress = {});

}  // namespace qarn::deep
