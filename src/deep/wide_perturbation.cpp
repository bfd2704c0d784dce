#include "deep/wide_perturbation.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "deep/repeat_watch.h"
#include "engine/arithmetic_mode.h"

namespace qarn::deep {
namespace {

struct WidePoint {
    WideReal re, im;
};

// Z_m, its tiny parts restored (a part kept as 0 in the points may be one).
WidePoint OrbitValue(const ReferenceOrbit& orbit, std::uint32_t m) {
    const OrbitPoint& p = orbit.points[m];
    if ((p.re == 0.0L || p.im == 0.0L) && !orbit.tiny.empty()) {
        const auto it = std::lower_bound(orbit.tiny.begin(), orbit.tiny.end(), m,
                                         [](const TinyOrbitPoint& t, std::uint32_t key) { return t.m < key; });
        if (it != orbit.tiny.end() && it->m == m) return {it->re, it->im};
    }
    return {Wide(p.re), Wide(p.im)};
}

// The table keeps radii of 0 or of at least 2^-4000 (squares of at least
// 2^-8000), so a squared difference below 2^-16000 compares with them as
// 2^-16000 does.
long double ForTable(WideReal d2) {
    const WideReal floor = Wide(0x1p-16000L);
    return d2 < floor ? 0x1p-16000L : NearestLongDouble(d2);
}

WideReal Offset(long double units, std::int64_t exponent, long double orbitUnits, std::int64_t orbitExponent) {
    return Wide(units, exponent) - Wide(orbitUnits, orbitExponent);
}

}  // namespace

std::uint32_t WideCount(const ReferenceOrbit& orbit, const BlaTable* table, WideReal dcRe, WideReal dcIm,
                        std::uint32_t depth, EscapeState* state, DeepWork* work) {
    const std::uint32_t last = orbit.length;
    const WideReal four = Wide(4.0L);
    WideReal dr = dcRe, di = dcIm;
    std::uint32_t m = 1;
    std::uint32_t n = 1;
    std::uint64_t tests = 0, skips = 0, rebases = 0;
    // The periodic tail's shortcut holds for the rounded values only where
    // none of them had a tiny part.
    const bool tinyInTail = !orbit.tiny.empty() && orbit.tiny.back().m >= orbit.tailStart;
    RepeatWatch<WideReal> watch(orbit.period != 0 && last >= depth && !tinyInTail ? orbit.tailStart : UINT32_MAX,
                                orbit.period);
    std::uint32_t count = 0;
    EscapeState escape{0.0, 0.0};
    // dc as an x87 real where it is a normal one (the sums below then round
    // as the wide ones do).
    const long double dcReX = NearestLongDouble(dcRe), dcImX = NearestLongDouble(dcIm);
    const bool dcX = (dcReX != 0.0L || dcRe.m == 0.0L) && (dcImX != 0.0L || dcIm.m == 0.0L);
    for (;;) {
        const OrbitPoint& point = orbit.points[m];
        // Where the difference's parts and Z_m's are 0 or within
        // [2^-1024, 2^1024) (not a tiny value kept as 0), every product and
        // sum of a step is of normal x87 reals with a normal or exact result:
        // the x87 operations themselves give the wide results.
        const bool plain = dr.e == 0 && di.e == 0 && ((point.re != 0.0L && point.im != 0.0L) || orbit.tiny.empty());
        const WidePoint z = plain ? WidePoint{Wide(point.re), Wide(point.im)} : OrbitValue(orbit, m);
        WideReal zr, zi, z2;
        if (plain) {
            const long double xr = point.re + dr.m, xi = point.im + di.m;
            zr = Wide(xr);
            zi = Wide(xi);
            z2 = Wide(xr * xr + xi * xi);
        } else {
            zr = z.re + dr;
            zi = z.im + di;
            z2 = zr * zr + zi * zi;
        }
        ++tests;
        if (four < z2) {
            count = n;
            escape = {NearestDouble(zr), NearestDouble(zi)};
            break;
        }
        if (n >= depth) break;
        WideReal d2 = plain ? Wide(dr.m * dr.m + di.m * di.m) : dr * dr + di * di;
        if (m == last || z2 < d2) {
            dr = zr;
            di = zi;
            d2 = z2;
            m = 0;
            if (watch.Rebased(dr, di, ++rebases)) break;
        }
        if (watch.Marked(m, dr, di, tests)) break;
        std::uint32_t length = 0;
        if (table != nullptr) {
            if (const BlaStep* step = table->Longest(m, ForTable(d2), length)) {
                const WideReal ar = Wide(step->Ar()), ai = Wide(step->Ai()), br = Wide(step->Br()),
                               bi = Wide(step->Bi());
                const WideReal nr = (ar * dr - ai * di) + (br * dcRe - bi * dcIm);
                const WideReal ni = (ar * di + ai * dr) + (br * dcIm + bi * dcRe);
                dr = nr;
                di = ni;
                m += length;
                ++skips;
                if (static_cast<std::uint64_t>(n) + length > depth) {
                    n = depth;
                    break;
                }
                n += length;
                continue;
            }
        }
        const WidePoint at = m == 0 ? WidePoint{} : z;  // Z_0 = 0 after a rebase
        if (dr.e == 0 && di.e == 0 && at.re.e == 0 && at.im.e == 0) {
            const long double tr = (at.re.m + at.re.m) + dr.m, ti = (at.im.m + at.im.m) + di.m;
            const long double pr = tr * dr.m - ti * di.m, pi = tr * di.m + ti * dr.m;
            if (dcX) {
                dr = Wide(pr + dcReX);
                di = Wide(pi + dcImX);
            } else {
                dr = Wide(pr) + dcRe;
                di = Wide(pi) + dcIm;
            }
        } else {
            const WideReal tr = (at.re + at.re) + dr;
            const WideReal ti = (at.im + at.im) + di;
            const WideReal nr = (tr * dr - ti * di) + dcRe;
            const WideReal ni = (tr * di + ti * dr) + dcIm;
            dr = nr;
            di = ni;
        }
        ++m;
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

DeepWork WideRender(unsigned threads, const ReferenceOrbit& orbit, const BlaTable* table, const WideGrid& grid,
                    std::uint32_t depth, std::span<std::uint32_t> counts, std::span<EscapeState> states,
                    const std::function<void(int)>& rowDone, const std::function<bool()>& stop) {
    const std::size_t width = grid.unitsRe.size();
    std::atomic<bool> stopped{false};
    const int rows = static_cast<int>(grid.unitsIm.size());
    std::atomic<int> nextRow{0};
    std::mutex mutex;
    DeepWork total;
    auto run = [&] {
        SetArithmeticMode();
        DeepWork work;
        std::vector<WideReal> dcRe(width);
        for (std::size_t i = 0; i < width; ++i)
            dcRe[i] = Offset(grid.unitsRe[i], grid.exponent, orbit.offsetRe, orbit.offsetExponent);
        while (!stopped.load(std::memory_order_relaxed)) {
            const int row = nextRow.fetch_add(1);
            if (row >= rows) break;
            const WideReal dcIm = Offset(grid.unitsIm[static_cast<std::size_t>(row)], grid.exponent, orbit.offsetIm,
                                         orbit.offsetExponent);
            const std::size_t base = static_cast<std::size_t>(row) * width;
            for (std::size_t i = 0; i < width && !stopped.load(std::memory_order_relaxed); ++i) {
                if (stop && stop()) stopped.store(true, std::memory_order_relaxed);
                EscapeState* state = states.empty() ? nullptr : &states[base + i];
                if (!stopped.load(std::memory_order_relaxed))
                    counts[base + i] = WideCount(orbit, table, dcRe[i], dcIm, depth, state, &work);
            }
            if (rowDone && !stopped.load(std::memory_order_relaxed)) rowDone(row);
        }
        std::lock_guard lock(mutex);
        total += work;
    };
    const std::uint16_t word = ControlWord();
    std::vector<std::thread> others;
    for (unsigned t = 1; t < std::max(1u, threads); ++t) others.emplace_back(run);
    run();
    for (std::thread& other : others) other.join();
    SetControlWord(word);
    return total;
}

long double WideMaxDifference(const ReferenceOrbit& orbit, const WideGrid& grid) {
    WideReal re, im;
    auto largest = [](WideReal a, WideReal b) {
        if (a.m < 0.0L) a = -a;
        return b < a ? a : b;
    };
    const std::uint16_t word = ControlWord();
    SetArithmeticMode();
    for (long double x : grid.unitsRe) re = largest(Offset(x, grid.exponent, orbit.offsetRe, orbit.offsetExponent), re);
    for (long double y : grid.unitsIm) im = largest(Offset(y, grid.exponent, orbit.offsetIm, orbit.offsetExponent), im);
    // |dc| <= |re| + |im|, with a margin for the rounding of the sum.
    const long double bound = std::max(NearestLongDouble(re + im), 0x1p-16000L) * (1.0L + 0x1p-60L);
    SetControlWord(word);
    return bound;
}

ReferenceOrbit ChooseWideReferenceOrbit(const DyadicNumber& re, const DyadicNumber& im, const WideGrid& grid,
                                        std::uint32_t depth, long precision, const OrbitProgress& progress) {
    ReferenceOrbit orbit = ComputeReferenceOrbit(re, im, 0.0L, 0.0L, depth, precision, progress, grid.exponent);
    return LongestLivedReference(
        std::move(orbit), grid.unitsRe.size(), grid.unitsIm.size(), depth,
        [&](const ReferenceOrbit& first, std::size_t i, std::size_t j) {
            return WideCount(first, nullptr, Wide(grid.unitsRe[i], grid.exponent), Wide(grid.unitsIm[j], grid.exponent),
                             depth, nullptr, nullptr);
        },
        [&](std::size_t i, std::size_t j) {
            return ComputeReferenceOrbit(re, im, grid.unitsRe[i], grid.unitsIm[j], depth, precision, progress,
                                         grid.exponent);
        });
}

}  // namespace qarn::deep
