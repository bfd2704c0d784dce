#include "deep/bla_table.h"

#include <algorithm>
#include <cmath>

namespace qarn::deep {
namespace {

// A step while it is built: its radius itself rather than its square.
struct Step {
    long double ar, ai, br, bi, r;
};

long double Modulus(long double re, long double im) { return std::sqrt(re * re + im * im); }

// One iteration from m: d' = 2 Z_m d + d^2 + dc. Dropping d^2 leaves
// A = 2 Z_m, B = 1. Where |d| < R = epsilon |Z_m|, the dropped term is
// |d|^2 < epsilon |Z_m| |d| = (epsilon / 2) |2 Z_m d|: below epsilon times
// the linear term kept. R is also at most 2 - |Z_m|, so that |z_m| <=
// |Z_m| + |d| < 2 (the test at m cannot escape) and, with epsilon <= 1/2,
// |z_m| >= |Z_m| - |d| > |d| (the difference is not rebased at m): a skip
// jumps over tests and rebasing checks that could not have fired.
Step OneStep(const OrbitPoint& z, long double epsilon) {
    const long double modulus = Modulus(z.re, z.im);
    const long double r = std::min(epsilon * modulus, std::max(0.0L, 2.0L - modulus));
    return {z.re + z.re, z.im + z.im, 1.0L, 0.0L, r};
}

// x from m, then y from m + l_x. With |d| < R at m:
// d after x is A_x d + B_x dc, of modulus at most |A_x| R + |B_x| |dc|max,
// which is below R_y exactly when R < (R_y - |B_x| |dc|max) / |A_x|; then y
// applies to it, giving A_y (A_x d + B_x dc) + B_y dc. So the merged step
// A = A_y A_x, B = A_y B_x + B_y is valid (each of its iterations within its
// own one-step radius, by induction) for
// R = min(R_x, max(0, (R_y - |B_x| |dc|max) / |A_x|)).
Step Merge(const Step& x, const Step& y, long double dcMax) {
    Step s;
    s.ar = y.ar * x.ar - y.ai * x.ai;
    s.ai = y.ar * x.ai + y.ai * x.ar;
    s.br = (y.ar * x.br - y.ai * x.bi) + y.br;
    s.bi = (y.ar * x.bi + y.ai * x.br) + y.bi;
    const long double ax = Modulus(x.ar, x.ai);
    const long double room = y.r - Modulus(x.br, x.bi) * dcMax;
    long double r = x.r;
    if (!(room > 0.0L) || !(ax > 0.0L)) {
        r = 0.0L;
    } else {
        r = std::min(r, room / ax);
    }
    // Coefficients that left the range where no subnormal can form make the
    // step unusable rather than inexact.
    const long double big = 0x1p4000L;
    if (!(ax < big) || !(Modulus(s.ar, s.ai) < big) || !(Modulus(s.br, s.bi) < big)) r = 0.0L;
    s.ar = Flushed(s.ar);
    s.ai = Flushed(s.ai);
    s.br = Flushed(s.br);
    s.bi = Flushed(s.bi);
    if (r < 0x1p-4000L) r = 0.0L;
    s.r = r;
    return s;
}

BlaStep Stored(const Step& s) {
    BlaStep step;
    step.Set(0, s.ar);
    step.Set(1, s.ai);
    step.Set(2, s.br);
    step.Set(3, s.bi);
    step.Set(4, s.r * s.r);
    return step;
}

// The tail's steps from every place p within one period: one step at p,
// then each level from the one below, 2^(k-1) places on (modulo the period).
// Kept only where they take no more memory than the aligned steps they
// replace (those that start in the tail), 25 bytes an iteration of the tail.
std::vector<std::vector<BlaStep>> TailSteps(const ReferenceOrbit& orbit, long double epsilon, long double dcMax) {
    std::vector<std::vector<BlaStep>> tail;
    const std::uint32_t period = orbit.period, start = orbit.tailStart;
    if (period == 0 || orbit.length <= start) return tail;
    const std::uint64_t span = orbit.length - start;  // the longest step from the tail's start
    int levels = 0;
    while (levels + BlaTable::MinLevel < 31 && (std::uint64_t{1} << (levels + BlaTable::MinLevel)) <= span) ++levels;
    if (levels == 0 || std::uint64_t{period} * levels * sizeof(BlaStep) > span * 25) return tail;
    std::vector<Step> current(period), next(period);
    for (std::uint32_t p = 0; p < period; ++p) current[p] = OneStep(orbit.points[start + p], epsilon);
    for (int k = 1; k < levels + BlaTable::MinLevel; ++k) {
        const std::uint32_t half = static_cast<std::uint32_t>((std::uint64_t{1} << (k - 1)) % period);
        for (std::uint32_t p = 0; p < period; ++p) next[p] = Merge(current[p], current[(p + half) % period], dcMax);
        current.swap(next);
        if (k >= BlaTable::MinLevel) {
            std::vector<BlaStep> level;
            level.reserve(period);
            for (const Step& s : current) level.push_back(Stored(s));
            tail.push_back(std::move(level));
        }
    }
    return tail;
}

}  // namespace

BlaTable::BlaTable(const ReferenceOrbit& orbit, Tolerance tolerance, long double dcMax) {
    const std::uint32_t length = orbit.length;  // steps end at most at Z_M
    const std::uint32_t first = 1u << MinLevel;
    tail_ = TailSteps(orbit, tolerance.epsilon, dcMax);
    if (!tail_.empty()) {
        tailStart_ = orbit.tailStart;
        period_ = orbit.period;
        last_ = length;
    }
    if (length < 1 + first) {
        Index();
        return;
    }
    // The lowest stored level, each step merged pairwise from its iterations.
    std::vector<Step> current;
    const std::uint32_t count = (length - 1) / first;
    current.reserve(count);
    Step work[1u << MinLevel];
    for (std::uint32_t j = 0; j < count; ++j) {
        const std::uint32_t m = 1 + j * first;
        for (std::uint32_t i = 0; i < first; ++i) work[i] = OneStep(orbit.points[m + i], tolerance.epsilon);
        for (std::uint32_t width = first; width > 1; width /= 2)
            for (std::uint32_t i = 0; i < width / 2; ++i) work[i] = Merge(work[2 * i], work[2 * i + 1], dcMax);
        current.push_back(work[0]);
    }
    // With the tail's steps, the aligned ones serve only starts before it.
    int k = MinLevel;
    auto store = [&](const std::vector<Step>& steps) {
        std::vector<BlaStep> level;
        level.reserve(steps.size());
        for (std::size_t j = 0; j < steps.size(); ++j) {
            if (!tail_.empty() && 1 + (std::uint64_t{j} << k) >= tailStart_) break;
            level.push_back(Stored(steps[j]));
        }
        levels_.push_back(std::move(level));
        ++k;
    };
    while (!current.empty()) {
        store(current);
        std::vector<Step> next;
        next.reserve(current.size() / 2);
        for (std::size_t j = 0; j + 1 < current.size(); j += 2)
            next.push_back(Merge(current[j], current[j + 1], dcMax));
        current = std::move(next);
    }
    Index();
}

BlaTable::BlaTable(const BlaTable& other)
    : levels_(other.levels_),
      tailStart_(other.tailStart_),
      period_(other.period_),
      last_(other.last_),
      tail_(other.tail_) {
    Index();
}

BlaTable& BlaTable::operator=(const BlaTable& other) {
    if (this != &other) {
        levels_ = other.levels_;
        tailStart_ = other.tailStart_;
        period_ = other.period_;
        last_ = other.last_;
        tail_ = other.tail_;
        Index();
    }
    return *this;
}

void BlaTable::Index() {
    levelIndex_.clear();
    for (const auto& level : levels_) levelIndex_.push_back({level.data(), level.size()});
    tailIndex_.clear();
    for (std::size_t index = 0; index < tail_.size(); ++index)
        tailIndex_.push_back({tail_[index].data(), (std::uint64_t{1} << (index + MinLevel)) % period_});
}

std::uint64_t BlaTable::Bytes() const {
    std::uint64_t bytes = 0;
    for (const auto& level : levels_) bytes += level.size() * sizeof(BlaStep);
    for (const auto& level : tail_) bytes += level.size() * sizeof(BlaStep);
    return bytes;
}

}  // namespace qarn::deep
