#include "deep/perturbation.h"

#include <algorithm>
#include <cmath>

#include "deep/repeat_watch.h"
#include "deep/x87_plain_steps.h"
#include "engine/arithmetic_mode.h"

namespace qarn::deep {
namespace {

inline long double Abs(long double x) { return x < 0.0L ? -x : x; }

// Flushed, with the 80-bit bound (a microcoded 80-bit load on AMD, two a
// value) asked only for values below 2^-1000, a double (a cheap load): the
// same value for every input, NaN and -0 included.
inline long double Flush(long double value) {
    const long double magnitude = Abs(value);
    if (magnitude < 0x1p-1000) [[unlikely]]
        return magnitude < FlushBelow ? 0.0L : value;
    return value;
}

// Where the x87 kernel may take a point's plain steps, which it does without
// flushing the new difference: when both parts of dc are at least 2^-7800,
// no new part d' = X + dc (one x87 addition) is ever below FlushBelow or -0,
// so the flush changes nothing. For if d' is not 0, the exact sum is a
// nonzero multiple of the smaller of the two operands' units in the last
// place, q, and so is at least q after rounding. With |X| < 2^-66 |dc|,
// |d'| > |dc| / 2; otherwise q >= 2^-64 min(|X|, |dc|) >= 2^-130 |dc|, which
// is at least 2^-7930. An exact zero sum of operands of opposite signs is +0.
inline bool KernelServes(long double dcRe, long double dcIm) {
    return Abs(dcRe) >= 0x1p-7800L && Abs(dcIm) >= 0x1p-7800L;
}

// The loop, with its plain steps run by the x87 kernel (Kernel) or by the
// C++ below alone: the same operations, so the same counts, states and work.
template <bool Kernel>
std::uint32_t Count(const ReferenceOrbit& orbit, const BlaTable* table, long double dcRe, long double dcIm,
                    std::uint32_t depth, EscapeState* state, DeepWork* work) {
    const OrbitPoint* const points = orbit.points.data();
    const std::uint32_t last = orbit.length;
    dcRe = Flush(dcRe);
    dcIm = Flush(dcIm);
    long double dr = dcRe;
    long double di = dcIm;
    std::uint32_t m = 1;
    // Where Z_m is read: m itself, or in the orbit's repeating tail the
    // place of the same value within the tail's first period, so that a long
    // orbit near a minibrot is read from a few cache lines, not from memory.
    std::uint32_t k = 1;
    const std::uint32_t repeatFrom = orbit.period != 0 ? orbit.tailStart + orbit.period : UINT32_MAX;
    std::uint32_t n = 1;
    std::uint64_t tests = 0, skips = 0, rebases = 0;
    // The tail's repetition holds only where the orbit lasts the whole
    // depth: it then holds until the depth ends the loop.
    RepeatWatch<long double> watch(orbit.period != 0 && last >= depth ? orbit.tailStart : UINT32_MAX, orbit.period);
    std::uint32_t count = 0;
    EscapeState escape{0.0, 0.0};
#if QARN_DEEP_X87_KERNEL
    const bool kernel = Kernel && KernelServes(dcRe, dcIm);
    const bool wide = Abs(dcRe) >= 0x1p-500L && Abs(dcIm) >= 0x1p-500L;
    std::uint64_t (*const steps)(X87StepJob*) = wide ? qarn_deep_plain_steps_sse : qarn_deep_plain_steps;
    X87StepJob job;
    job.dcr = dcRe;
    job.dci = dcIm;
    const std::span<const StepLevel> levels = table != nullptr ? table->LevelIndex() : std::span<const StepLevel>{};
    const std::size_t levelCount = levels.size();
    job.levels = levels.data();
    job.levelsEnd = levels.data() + levelCount;
    const std::uint32_t tableTail = table != nullptr ? table->TailStart() : UINT32_MAX;
    if (tableTail != UINT32_MAX) {
        const std::span<const StepLevel> tail = table->TailIndex();
        job.tailBase = points + tableTail;
        job.tailLevels = tail.data();
        job.tailLevelsEnd = tail.data() + tail.size();
        job.period = table->TailPeriod();
    }
#endif
    for (;;) {
#if QARN_DEEP_X87_KERNEL
        // Steps in the kernel while none of the loop's other paths can come:
        // before the depth, the orbit's end and the wrap of k, and outside
        // the table's tail before the tail watch's tests (in the tail, the
        // kernel's own form watches those itself). The kernel stops on its
        // own before an escape, a rebase or a skip it cannot take, and the
        // code below takes that iteration. Where the orbit repeats without
        // the tail's steps, the marks and the wrap of k leave the kernel
        // short runs, mostly shorter than a skip: a lookup point is left to
        // the code below. With the tail's steps the run before the tail is
        // the whole way to it, and the kernel takes its lookup points too.
        const bool inTail = m >= tableTail;
        const bool lookupPoint = levelCount != 0 && m != 0 && ((m - 1) & ((1u << BlaTable::MinLevel) - 1)) == 0;
        if (kernel && (tableTail != UINT32_MAX || orbit.period == 0 || !lookupPoint)) {
            std::uint64_t allowed = std::min<std::uint64_t>(depth - n, last - m);
            if (!inTail) allowed = std::min({allowed, watch.QuietFor(m, tests), std::uint64_t{tableTail - m}});
            if (repeatFrom != UINT32_MAX && !inTail) allowed = std::min<std::uint64_t>(allowed, repeatFrom - 1 - k);
            if (allowed != 0) {
                // The first lookup point: the next m with m - 1 a multiple of 4.
                const std::uint32_t before = m == 0 ? 1 : (4 - (m - 1) % 4) % 4;
                job.dr = dr;
                job.di = di;
                job.points = points + k;
                job.from = static_cast<std::uint64_t>(m) - 1;
                job.until = levelCount != 0 ? before + 1 : UINT64_MAX;
                job.steps = allowed;
                job.skips = 0;
                job.skipped = 0;
                if (inTail) {
                    job.place = (m - tableTail) % job.period;
                    const std::uint32_t markM = watch.MarkM();
                    job.markPlace = markM != UINT32_MAX ? (markM - tableTail) % job.period : UINT64_MAX;
                    job.markRe = watch.MarkRe();
                    job.markIm = watch.MarkIm();
                    job.testsLeft = watch.QuietFor(m, tests) == UINT64_MAX ? UINT64_MAX : watch.TestsBeforeMark(tests);
                    // The kernel saves the marks whose test it can tell:
                    // not one still owed from before (after a rebase).
                    job.nextMark = watch.NextMark() > tests ? watch.NextMark() : 0;
                    job.saves = 0;
                }
                const auto done = static_cast<std::uint32_t>(inTail ? qarn_deep_tail_steps(&job) : steps(&job));
                if (inTail && job.saves != 0)
                    watch.Saved(static_cast<std::uint32_t>(m + job.markIter), job.markRe, job.markIm, job.nextMark);
                // A skip's new d is flushed here (the kernel stops after one
                // with a part below FlushBelow); a plain step's needs none.
                dr = Flush(job.dr);
                di = Flush(job.di);
                m += done;
                k = inTail && m >= repeatFrom ? orbit.tailStart + (m - orbit.tailStart) % orbit.period : k + done;
                n += done;
                tests += done - job.skipped + job.skips;
                skips += job.skips;
            }
        }
#endif
        const long double zr = points[k].re + dr;
        const long double zi = points[k].im + di;
        const long double z2 = zr * zr + zi * zi;
        ++tests;
        if (z2 > 4.0L) {
            count = n;
            escape = {static_cast<double>(zr), static_cast<double>(zi)};
            break;
        }
        if (n >= depth) break;
        long double d2 = dr * dr + di * di;
        if (m == last || z2 < d2) {
            dr = zr;
            di = zi;
            d2 = z2;
            m = 0;
            k = 0;
            if (watch.Rebased(dr, di, ++rebases)) break;
        }
        if (watch.Marked(m, dr, di, tests)) break;
        std::uint32_t length = 0;
        if (table != nullptr) {
            if (const BlaStep* step = table->Longest(m, d2, length)) {
                const long double ar = step->Ar(), ai = step->Ai(), br = step->Br(), bi = step->Bi();
                const long double nr = (ar * dr - ai * di) + (br * dcRe - bi * dcIm);
                const long double ni = (ar * di + ai * dr) + (br * dcIm + bi * dcRe);
                dr = Flush(nr);
                di = Flush(ni);
                m += length;
                k += length;
                if (k >= repeatFrom) k = orbit.tailStart + (k - orbit.tailStart) % orbit.period;
                ++skips;
                if (static_cast<std::uint64_t>(n) + length > depth) {
                    n = depth;
                    break;
                }
                n += length;
                continue;
            }
        }
        // t = 2 Z_m + d in one rounding, off the path from z to the test.
        const long double tr = (points[k].re + points[k].re) + dr;
        const long double ti = (points[k].im + points[k].im) + di;
        const long double nr = (tr * dr - ti * di) + dcRe;
        const long double ni = (tr * di + ti * dr) + dcIm;
        dr = Flush(nr);
        di = Flush(ni);
        ++m;
        if (++k == repeatFrom) k = orbit.tailStart;
        ++n;
    }
    if (state != nullptr) *state = escape;
    if (work != nullptr) {
        work->tests += tests;
        work->iterations += count != 0 ? count : n;
        work->skips += skips;
        work->rebases += rebases;
    }
    return count;
}

}  // namespace

std::uint32_t DeepCount(const ReferenceOrbit& orbit, const BlaTable* table, long double dcRe, long double dcIm,
                        std::uint32_t depth, EscapeState* state, DeepWork* work) {
    return Count<true>(orbit, table, dcRe, dcIm, depth, state, work);
}

std::uint32_t DeepCountInCpp(const ReferenceOrbit& orbit, const BlaTable* table, long double dcRe, long double dcIm,
                             std::uint32_t depth, EscapeState* state, DeepWork* work) {
    return Count<false>(orbit, table, dcRe, dcIm, depth, state, work);
}

long double MaxDifference(const ReferenceOrbit& orbit, std::span<const long double> offRe,
                          std::span<const long double> offIm) {
    long double re = 0.0L, im = 0.0L;
    for (long double x : offRe) re = std::max(re, Abs(x - orbit.offsetRe));
    for (long double y : offIm) im = std::max(im, Abs(y - orbit.offsetIm));
    // |dc| <= |re| + |im|, with a margin for the rounding of the sum.
    return (re + im) * (1.0L + 0x1p-60L);
}

struct DeepRenderer::Job {
    const ReferenceOrbit* orbit;
    const BlaTable* table;
    std::span<const long double> offRe, offIm;
    std::uint32_t depth;
    std::span<std::uint32_t> counts;
    std::span<EscapeState> states;
    const std::function<void(int)>* rowDone;
    const std::function<bool()>* stop;
    std::atomic<int> nextRow{0};
    std::atomic<bool> stopped{false};
    std::mutex workMutex;
    DeepWork work;
};

DeepRenderer::DeepRenderer(unsigned threads) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned t = 1; t < threads; ++t) workers_.emplace_back([this] { Run(); });
}

DeepRenderer::~DeepRenderer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    start_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void DeepRenderer::Run() {
    SetArithmeticMode();
    std::uint64_t seen = 0;
    for (;;) {
        Job* job = nullptr;
        {
            std::unique_lock lock(mutex_);
            start_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
            job = job_;
        }
        Work(*job);
        {
            std::lock_guard lock(mutex_);
            if (--busy_ == 0) finished_.notify_all();
        }
    }
}

void DeepRenderer::Work(Job& job) {
    const std::size_t width = job.offRe.size();
    const int rows = static_cast<int>(job.offIm.size());
    DeepWork work;
    std::vector<long double> dcRe(width);
    for (std::size_t i = 0; i < width; ++i) dcRe[i] = job.offRe[i] - job.orbit->offsetRe;
    for (;;) {
        const int row = job.nextRow.fetch_add(1);
        if (row >= rows) break;
        const long double dcIm = job.offIm[static_cast<std::size_t>(row)] - job.orbit->offsetIm;
        const std::size_t base = static_cast<std::size_t>(row) * width;
        bool whole = true;
        for (std::size_t i = 0; i < width; ++i) {
            if (job.stopped.load(std::memory_order_relaxed) || (*job.stop && (*job.stop)())) {
                job.stopped.store(true, std::memory_order_relaxed);
                whole = false;
                break;
            }
            EscapeState* state = job.states.empty() ? nullptr : &job.states[base + i];
            job.counts[base + i] = DeepCount(*job.orbit, job.table, dcRe[i], dcIm, job.depth, state, &work);
        }
        if (!whole) break;
        if (job.rowDone != nullptr && *job.rowDone) (*job.rowDone)(row);
    }
    std::lock_guard lock(job.workMutex);
    job.work += work;
}

DeepWork DeepRenderer::Render(const ReferenceOrbit& orbit, const BlaTable* table, std::span<const long double> offRe,
                              std::span<const long double> offIm, std::uint32_t depth, std::span<std::uint32_t> counts,
                              std::span<EscapeState> states, const std::function<void(int)>& rowDone,
                              const std::function<bool()>& stop) {
    Job job;
    job.orbit = &orbit;
    job.table = table;
    job.offRe = offRe;
    job.offIm = offIm;
    job.depth = depth;
    job.counts = counts;
    job.states = states;
    job.rowDone = &rowDone;
    job.stop = &stop;
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        busy_ = static_cast<unsigned>(workers_.size());
        ++generation_;
    }
    start_.notify_all();
    const std::uint16_t word = ControlWord();
    SetArithmeticMode();
    Work(job);
    SetControlWord(word);
    {
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return busy_ == 0; });
        job_ = nullptr;
    }
    return job.work;
}

}  // namespace qarn::deep

namespace qarn::deep {

ReferenceOrbit LongestLivedReference(
    ReferenceOrbit orbit, std::size_t width, std::size_t height, std::uint32_t depth,
    const std::function<std::uint32_t(const ReferenceOrbit&, std::size_t, std::size_t)>& countAt,
    const std::function<ReferenceOrbit(std::size_t, std::size_t)>& orbitAt) {
    if (!orbit.escaped || width == 0 || height == 0) return orbit;
    const std::uint16_t word = ControlWord();
    SetArithmeticMode();
    auto sample = [](std::size_t size, std::size_t k) { return size <= 16 ? k : k * (size - 1) / 15; };
    std::uint64_t bestLife = orbit.length;
    std::size_t bestI = 0, bestJ = 0;
    bool found = false;
    for (std::size_t r = 0; r < std::min<std::size_t>(height, 16); ++r) {
        const std::size_t j = sample(height, r);
        for (std::size_t c = 0; c < std::min<std::size_t>(width, 16); ++c) {
            const std::size_t i = sample(width, c);
            const std::uint32_t count = countAt(orbit, i, j);
            const std::uint64_t life = count == 0 ? std::uint64_t{depth} + 1 : count;
            if (life > bestLife) {
                bestLife = life;
                bestI = i;
                bestJ = j;
                found = true;
            }
        }
    }
    SetControlWord(word);
    if (!found) return orbit;
    ReferenceOrbit better = orbitAt(bestI, bestJ);
    if (better.points.empty()) return better;  // stopped
    return better.length > orbit.length || !better.escaped ? better : orbit;
}

ReferenceOrbit ChooseReferenceOrbit(const DyadicNumber& re, const DyadicNumber& im, std::span<const long double> offRe,
                                    std::span<const long double> offIm, std::uint32_t depth, long precision,
                                    const OrbitProgress& progress) {
    ReferenceOrbit orbit = ComputeReferenceOrbit(re, im, 0.0L, 0.0L, depth, precision, progress);
    return LongestLivedReference(
        std::move(orbit), offRe.size(), offIm.size(), depth,
        [&](const ReferenceOrbit& first, std::size_t i, std::size_t j) {
            return DeepCount(first, nullptr, offRe[i], offIm[j], depth, nullptr, nullptr);
        },
        [&](std::size_t i, std::size_t j) {
            return ComputeReferenceOrbit(re, im, offRe[i], offIm[j], depth, precision, progress);
        });
}

}  // namespace qarn::deep
