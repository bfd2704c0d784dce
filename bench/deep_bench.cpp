// The deep loop on one thread against a plain 80-bit perturbation with
// rebasing and no skipping (kept here as the reference, one point at a
// time), on the 320 x 180 view at level 90 near the seahorse valley's
// minibrot at depth 50,000: time and true core cycles a test (the clock
// measured in the same run by a chain of multiplications), tests and
// iterations a point.
#include <benchmark/benchmark.h>
#include <cpuid.h>
#include <gmp.h>
#include <mpfr.h>
#include <time.h>

#include <algorithm>
#include <cstddef>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core_clock.h"
#include "deep/perturbation.h"
#include "deep/deep_oracle.h"
#include "engine/arithmetic_mode.h"

namespace {

using namespace qarn::deep;

using qarn::bench::CoreClockHz;
using qarn::bench::CpuFamily;
using qarn::bench::ThreadSeconds;

// The textbook perturbation: d' = 2 Z d + d^2 + dc term by term, rebasing
// where |z| < |d| or the orbit ends, no skipping, no early exit.
std::uint32_t PlainCount(const ReferenceOrbit& orbit, long double dcr, long double dci, std::uint32_t depth,
                         std::uint64_t& tests) {
    long double dr = dcr, di = dci;
    std::uint32_t m = 1;
    for (std::uint32_t n = 1;; ++n) {
        const long double Zr = orbit.points[m].re, Zi = orbit.points[m].im;
        const long double zr = Zr + dr, zi = Zi + di;
        const long double z2 = zr * zr + zi * zi;
        ++tests;
        if (z2 > 4.0L) return n;
        if (n >= depth) return 0;
        if (m == orbit.length || z2 < dr * dr + di * di) {
            dr = zr;
            di = zi;
            m = 0;
        }
        const long double Zr0 = orbit.points[m].re, Zi0 = orbit.points[m].im;
        const long double nr = 2.0L * (Zr0 * dr - Zi0 * di) + (dr * dr - di * di) + dcr;
        const long double ni = 2.0L * (Zr0 * di + Zi0 * dr) + 2.0L * dr * di + dci;
        dr = Flushed(nr);
        di = Flushed(ni);
        ++m;
    }
}

struct Scene {
    DyadicNumber re, im;
    std::vector<long double> offRe, offIm;
    std::uint32_t depth = 50000;
    ReferenceOrbit orbit;
    BlaTable fine, fast;
    double orbitSeconds = 0;
};

const Scene& Level90() {
    static const Scene scene = [] {
        Scene s;
        const int level = 90, width = 320, height = 180;
        s.re = testing::DyadicFromText("-0.743643887037158704752191506114774", 7 + level + 64);
        s.im = testing::DyadicFromText("0.131825904205311970493132056385139", 7 + level + 64);
        long double step = 0x1p-97L;
        for (int i = 0; i < width; ++i) s.offRe.push_back(static_cast<long double>(i - width / 2) * step);
        for (int j = 0; j < height; ++j) s.offIm.push_back(static_cast<long double>(height / 2 - j) * step);
        const double start = ThreadSeconds();
        s.orbit = ChooseReferenceOrbit(s.re, s.im, s.offRe, s.offIm, s.depth, ReferencePrecision(level, s.depth));
        s.orbitSeconds = ThreadSeconds() - start;
        const long double dcMax = MaxDifference(s.orbit, s.offRe, s.offIm);
        s.fine = BlaTable(s.orbit, FineTolerance, dcMax);
        s.fast = BlaTable(s.orbit, FastTolerance, dcMax);
        return s;
    }();
    return scene;
}

void Report(benchmark::State& state, double seconds, std::uint64_t tests, std::uint64_t iterations, double clock,
            std::size_t points) {
    state.counters["seconds"] = seconds;
    state.counters["ns_per_test"] = seconds * 1e9 / static_cast<double>(tests);
    state.counters["cycles_per_test"] = seconds * clock / static_cast<double>(tests);
    state.counters["tests_per_point"] = static_cast<double>(tests) / static_cast<double>(points);
    state.counters["iterations_per_point"] = static_cast<double>(iterations) / static_cast<double>(points);
    state.counters["clock_GHz"] = clock * 1e-9;
}

void BM_PlainPerturbation(benchmark::State& state) {
    const Scene& s = Level90();
    qarn::SetArithmeticMode();
    for (auto _ : state) {
        const double clock0 = CoreClockHz();
        std::uint64_t tests = 0, iterations = 0;
        const double start = ThreadSeconds();
        for (long double im : s.offIm)
            for (long double re : s.offRe) {
                const std::uint32_t count = PlainCount(s.orbit, re - s.orbit.offsetRe, im - s.orbit.offsetIm, s.depth,
                                                       tests);
                iterations += count != 0 ? count : s.depth;
            }
        const double seconds = ThreadSeconds() - start;
        Report(state, seconds, tests, iterations, (clock0 + CoreClockHz()) / 2, s.offRe.size() * s.offIm.size());
    }
}

void BM_DeepLoop(benchmark::State& state) {
    const Scene& s = Level90();
    const BlaTable* tables[] = {nullptr, &s.fine, &s.fast};
    const BlaTable* table = tables[state.range(0)];
    DeepRenderer renderer(1);
    std::vector<std::uint32_t> counts(s.offRe.size() * s.offIm.size());
    for (auto _ : state) {
        const double clock0 = CoreClockHz();
        const double start = ThreadSeconds();
        const DeepWork work = renderer.Render(s.orbit, table, s.offRe, s.offIm, s.depth, counts);
        const double seconds = ThreadSeconds() - start;
        Report(state, seconds, work.tests, work.iterations, (clock0 + CoreClockHz()) / 2, counts.size());
    }
    state.counters["orbit_seconds"] = s.orbitSeconds;
    state.counters["bytes_per_iteration"] = static_cast<double>(OrbitBytes(s.orbit) + (table ? table->Bytes() : 0)) /
                                            s.orbit.length;
}

// What the loop's 80-bit operands cost: loads of x87 reals from memory
// (fld tbyte, microcoded on AMD) against loads of doubles (fld qword), each
// popped at once, in true cycles per load.
void BM_X87Loads(benchmark::State& state) {
    alignas(16) static long double reals[4] = {1.0L, 2.0L, 3.0L, 4.0L};
    alignas(16) static double doubles[4] = {1.0, 2.0, 3.0, 4.0};
    const bool tbyte = state.range(0) == 0;
    constexpr long rounds = 20000000;
    for (auto _ : state) {
        const double clock0 = CoreClockHz();
        const double start = ThreadSeconds();
        for (long i = 0; i < rounds; ++i) {
            if (tbyte)
                __asm__ volatile(
                    "fldt (%0)\n fstp %%st(0)\n fldt 16(%0)\n fstp %%st(0)\n"
                    "fldt 32(%0)\n fstp %%st(0)\n fldt 48(%0)\n fstp %%st(0)" ::"r"(reals)
                    : "memory");
            else
                __asm__ volatile(
                    "fldl (%0)\n fstp %%st(0)\n fldl 8(%0)\n fstp %%st(0)\n"
                    "fldl 16(%0)\n fstp %%st(0)\n fldl 24(%0)\n fstp %%st(0)" ::"r"(doubles)
                    : "memory");
        }
        const double seconds = ThreadSeconds() - start;
        const double clock = (clock0 + CoreClockHz()) / 2;
        state.counters["cycles_per_load"] = seconds * clock / (4.0 * rounds);
        state.counters["clock_GHz"] = clock * 1e-9;
    }
}

// The floor of one point's step: the chain from d to the next d, one
// addition (t = 2 Z + d), one product, two additions (the difference of the
// products, then + dc), in true cycles per step.
void BM_X87StepChain(benchmark::State& state) {
    constexpr long rounds = 20000000;
    for (auto _ : state) {
        const double clock0 = CoreClockHz();
        const double start = ThreadSeconds();
        long n = rounds;
        // x = 1 kept by + 0 and * 1, so that no special value slows it.
        __asm__ volatile(
            "fld1\n fldz\n fld1\n"
            "1:\n fadd %%st(1), %%st\n fmul %%st(2), %%st\n fadd %%st(1), %%st\n fadd %%st(1), %%st\n"
            "dec %0\n jnz 1b\n"
            "fstp %%st(0)\n fstp %%st(0)\n fstp %%st(0)"
            : "+r"(n)
            :
            : "cc", "st", "st(1)", "st(2)");
        const double seconds = ThreadSeconds() - start;
        const double clock = (clock0 + CoreClockHz()) / 2;
        state.counters["cycles_per_step"] = seconds * clock / rounds;
        state.counters["clock_GHz"] = clock * 1e-9;
    }
}

}  // namespace

extern "C" std::uint64_t qarn_bench_x87_step_rounds(void* block, std::uint64_t rounds);

namespace {

// The kernel's plain step, its chain broken (x87_step_throughput.S): what
// one step costs when steps overlap, as they would if the loop ran several
// points at once, in true cycles per step.
void BM_X87StepThroughput(benchmark::State& state) {
    struct alignas(64) Block {
        long double zr, zi, dcr, dci;
        double d[2], z[2], fresh[2], margin, tiny, nearFour;
    } block{0.25L, 0.1L, 1e-30L, 1e-30L, {1e-30, 1e-30}, {0, 0}, {1e-30, 2e-30}, 1.0 + 0x1p-47, 0x1p-999, 4.0 - 0x1p-45};
    static_assert(offsetof(Block, d) == 64 && offsetof(Block, nearFour) == 128);
    constexpr std::uint64_t rounds = 20000000;
    for (auto _ : state) {
        const double clock0 = CoreClockHz();
        const double start = ThreadSeconds();
        qarn_bench_x87_step_rounds(&block, rounds);
        const double seconds = ThreadSeconds() - start;
        const double clock = (clock0 + CoreClockHz()) / 2;
        state.counters["cycles_per_step"] = seconds * clock / rounds;
        state.counters["clock_GHz"] = clock * 1e-9;
    }
}

BENCHMARK(BM_X87StepChain)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_X87StepThroughput)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_X87Loads)->ArgName("tbyte_qword")->DenseRange(0, 1)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_PlainPerturbation)->Iterations(1)->Repetitions(2)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_DeepLoop)
    ->ArgName("plain_fine_fast")
    ->DenseRange(0, 2)
    ->Iterations(1)
    ->Repetitions(2)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("cpu", CpuFamily());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
