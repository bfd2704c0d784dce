// Full passes, a one-row scroll and the display mapping, each beside the
// one-pixel-at-a-time reference in the same run, and full passes keeping the
// escape states beside the same passes without them. Every pass reports its
// escape tests ("iterations", the same on every machine), the time per
// iteration, and true core cycles per iteration at the clock measured in the
// same run by a chain of dependent integer multiplications (three cycles each).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cpuid.h>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "colour/display_mapping.h"
#include "colour/smooth_colour.h"
#include "engine/arithmetic_mode.h"
#include "engine/continuous_count.h"
#include "engine/escape_count.h"
#include "engine/renderer.h"
#include "engine/scroll.h"
#include "engine/view_engine.h"
#include "core_clock.h"
#include "support/views.h"

namespace {

using qarn::bench::CoreClockHz;
using qarn::bench::CpuFamily;
using qarn::bench::ThreadSeconds;

using namespace qarn;
using namespace qarn::testing;

enum ViewId { StartUp512, StartUp4096, WhollyInside, Minibrot, Level50, NaNOrigin, Subnormal, Neck, ViewCount };

ViewState ViewOf(std::int64_t id) {
    switch (id) {
    case StartUp512: return HomeViewState(512);
    case StartUp4096: return HomeViewState(4096);
    case WhollyInside: return WhollyInsideView();
    case Minibrot: return MinibrotView();
    case Level50: return SpiralView(50);
    case NaNOrigin: return NaNOriginView(4096);
    case Neck: return NeckView();
    default: return SubnormalView(4096);
    }
}

const char* NameOf(std::int64_t id) {
    static const char* const names[] = {"start-up view, depth 512",
                                        "start-up view, depth 4096",
                                        "wholly inside, level 3, depth 4096",
                                        "minibrot -1.7549, level 8, depth 4096",
                                        "level 50, depth 4096",
                                        "NaN origin, depth 4096",
                                        "subnormal origin and step, depth 4096",
                                        "neck -0.75, level 10, depth 4096"};
    return names[id];
}

const char* PathName(std::int64_t path) {
    static const char* const names[] = {"chosen kernels", "fixed-slot kernels", "exchanging kernels", "portable"};
    return names[path];
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// What one entry measured, from its own clocks: the wall time and this
// thread's processor time over `passes` passes of `tests` escape tests each.
struct Measured {
    double wall = 0;
    double cpu = 0;
    double clockHz = 0;
    double passes = 0;
};

template <class Pass>
Measured Measure(benchmark::State& state, Pass pass) {
    Measured m;
    const double clockBefore = CoreClockHz();
    const double wall = WallSeconds();
    const double cpu = ThreadSeconds();
    for (auto _ : state) {
        pass();
        m.passes += 1;
    }
    m.wall = WallSeconds() - wall;
    m.cpu = ThreadSeconds() - cpu;
    m.clockHz = (clockBefore + CoreClockHz()) / 2;
    return m;
}

// Cycles are core cycles: with several threads, every thread's core counts.
void Report(benchmark::State& state, const Measured& m, double tests, unsigned threads, const std::string& label) {
    const double seconds = threads == 1 ? m.cpu : m.wall * threads;
    state.counters["iterations"] = tests;
    if (tests > 0) {
        state.counters["ns_per_iteration"] = m.wall * 1e9 / (m.passes * tests);
        state.counters["cycles_per_iteration"] = seconds * m.clockHz / (m.passes * tests);
    }
    state.counters["clock_GHz"] = m.clockHz * 1e-9;
    state.counters["threads"] = threads;
    state.SetLabel(label);
}

// Without early exits every pixel runs its count's tests, or Depth.
double PlainTests(const IterationBuffer& counts, std::uint32_t depth) {
    double tests = 0;
    for (std::uint32_t count : counts) tests += count == 0 ? depth : count;
    return tests;
}

// The reference loop's time for each whole view, for the ratios of the fast
// passes of the same run (the references run first).
std::map<std::int64_t, double>& ReferenceSeconds() {
    static std::map<std::int64_t, double> seconds;
    return seconds;
}

// The one-pixel loop. Where it takes seconds per view, it runs on every
// eighth row of the view's own coordinates (the same loop on the same
// pixels), and its time is scaled to the whole view by the iterations, which
// a fast pass counts once beforehand: the loop's time per iteration hardly
// depends on the pixel. The damaged views take minutes in the plain loop on
// some processors (microcode assists on NaN and subnormal operands): only
// the fast paths run them.
void FullPassReference(benchmark::State& state) {
    const ViewState view = ViewOf(state.range(0));
    const int rowStep = static_cast<int>(state.range(1));
    auto counts = std::make_unique<IterationBuffer>();
    StripPlan plan;
    PlanRows(view, -ViewSize, plan);
    double wholeTests = 0;
    if (rowStep > 1) {
        auto engine = std::make_unique<ViewEngine>();
        engine->view = view;
        ComputeRows(*engine, -ViewSize);
        wholeTests = PlainTests(engine->counts, view.Depth);
    }
    const Measured m = Measure(state, [&] {
        if (rowStep == 1) {
            ComputeRowsReference(view, *counts, -ViewSize);
        } else {
            for (int row = 0; row < ViewSize; row += rowStep)
                for (int col = 0; col < ViewSize; ++col)
                    (*counts)[static_cast<std::size_t>(row * ViewSize + col)] = EscapeCount(
                        plan.re[static_cast<std::size_t>(col)], plan.im[static_cast<std::size_t>(row)], view.Depth);
        }
        benchmark::DoNotOptimize(counts->data());
    });
    double tests = 0;
    for (int row = 0; row < ViewSize; row += rowStep)
        for (int col = 0; col < ViewSize; ++col) {
            const std::uint32_t count = (*counts)[static_cast<std::size_t>(row * ViewSize + col)];
            tests += count == 0 ? view.Depth : count;
        }
    Report(state, m, tests, 1,
           std::string(NameOf(state.range(0))) + (rowStep > 1 ? ", every 8th row, scaled to the view" : ""));
    const double scale = rowStep > 1 ? wholeTests / tests : 1.0;
    ReferenceSeconds()[state.range(0)] = m.wall / m.passes * scale;
    state.counters["iterations"] = tests * scale;
    state.counters["view_ms"] = m.wall / m.passes * scale * 1e3;
}

void FullPass(benchmark::State& state) {
    const auto path = static_cast<RenderPath>(state.range(2));
    auto engine = std::make_unique<ViewEngine>(static_cast<unsigned>(state.range(1)), path);
    engine->view = ViewOf(state.range(0));
    const Measured m = Measure(state, [&] {
        ComputeRows(*engine, -ViewSize);
        benchmark::DoNotOptimize(engine->counts.data());
    });
    Report(state, m, static_cast<double>(engine->renderer.Tests()), engine->renderer.Threads(),
           std::string(NameOf(state.range(0))) + ", " + PathName(state.range(2)));
    state.counters["view_ms"] = m.wall / m.passes * 1e3;
    const auto reference = ReferenceSeconds().find(state.range(0));
    if (reference != ReferenceSeconds().end()) state.counters["ratio"] = reference->second / (m.wall / m.passes);
}

void PassArguments(benchmark::internal::Benchmark* b) {
    const auto chosen = static_cast<std::int64_t>(RenderPath::Fast);
    for (int view = 0; view < ViewCount; ++view) b->Args({view, 1, chosen})->Args({view, 0, chosen});
    // Both kernel sets on one thread: on lines of doubles the two three-lane
    // forms; at level 50 the two-lane kernel (fixed-slot set) and, on AMD,
    // three lanes over coordinates split into pairs of doubles (exchanging).
    for (int view : {StartUp512, Neck, Level50})
        for (RenderPath path : {RenderPath::FixedSlots, RenderPath::Exchanging})
            b->Args({view, 1, static_cast<std::int64_t>(path)});
}
// {view, every how many rows}: the slow views on a sample of their rows.
void ReferenceArguments(benchmark::internal::Benchmark* b) {
    for (int view : {StartUp512, StartUp4096}) b->Args({view, 1});
    for (int view : {WhollyInside, Minibrot, Level50, Neck}) b->Args({view, 8});
}

// What asking for the escape states costs: a full pass of the view through
// a grid, counts only, then the same pass keeping the states, one after the
// other in every round so that both meet the same load on a shared machine.
// Each is timed on its own (this thread's processor time on one thread, the
// wall clock on several), at the clock measured in the same run. The view is
// computed in bands of `bandRows` rows, each into the same buffers, as
// qarn-render computes a picture (64 rows); 512 is the whole view at once,
// whose 4 MiB of states do not stay in a core's cache.
void FullPassStates(benchmark::State& state) {
    const ViewState view = ViewOf(state.range(0));
    const int bandRows = static_cast<int>(state.range(2));
    Renderer renderer(static_cast<unsigned>(state.range(1)));
    StripPlan plan;
    PlanRows(view, -ViewSize, plan);
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(bandRows) * ViewSize);
    std::vector<EscapeState> states(counts.size());
    PixelGrid grid;
    grid.re = plan.re.data();
    grid.width = ViewSize;
    grid.out = counts.data();
    grid.stride = ViewSize;
    grid.varyingLine = plan.reLine;
    const unsigned threads = renderer.Threads();
    const auto now = [threads] { return threads == 1 ? ThreadSeconds() : WallSeconds(); };
    double countsSeconds = 0;
    double statesSeconds = 0;
    double tests = 0;
    const auto pass = [&](EscapeState* escape, double& seconds) {
        grid.escape = escape;
        tests = 0;
        const double start = now();
        for (int top = 0; top < ViewSize; top += bandRows) {
            grid.im = &plan.im[static_cast<std::size_t>(top)];
            grid.height = std::min(bandRows, ViewSize - top);
            if (!renderer.Compute(grid, view.Depth)) state.SkipWithError("the renderer refused the grid");
            tests += static_cast<double>(renderer.Tests());
        }
        seconds += now() - start;
        benchmark::DoNotOptimize(counts.data());
        benchmark::DoNotOptimize(states.data());
    };
    const Measured m = Measure(state, [&] {
        pass(nullptr, countsSeconds);
        pass(states.data(), statesSeconds);
    });
    const double cores = threads == 1 ? 1.0 : threads;
    state.counters["iterations"] = tests;
    state.counters["counts_ms"] = countsSeconds / m.passes * 1e3;
    state.counters["states_ms"] = statesSeconds / m.passes * 1e3;
    state.counters["counts_cycles_per_iteration"] = countsSeconds * cores * m.clockHz / (m.passes * tests);
    state.counters["states_cycles_per_iteration"] = statesSeconds * cores * m.clockHz / (m.passes * tests);
    state.counters["states_extra_percent"] = (statesSeconds / countsSeconds - 1.0) * 100.0;
    state.counters["clock_GHz"] = m.clockHz * 1e-9;
    state.counters["threads"] = threads;
    state.SetLabel(std::string(NameOf(state.range(0))) + ", " + PathName(static_cast<std::int64_t>(renderer.Path())) +
                   ", bands of " + std::to_string(bandRows) + " rows");
}

// {view, threads, rows a band}
void StatesArguments(benchmark::internal::Benchmark* b) {
    for (int view : {StartUp512, Neck, Level50})
        for (int bandRows : {64, ViewSize}) b->Args({view, 1, bandRows});
    for (int view : {StartUp512, Neck, Level50}) b->Args({view, 0, 64});
}

// The two ways of keeping the escape states against counts alone, one thread,
// mirror off: each band of 16 rows is computed for counts, then with the
// states replayed, then stored on every iteration, in turn, so that all three
// meet the same load; each band's fastest of the rounds (this thread's
// processor time) counts, which leaves out the time a busy host takes. View
// -1 is the whole set as qarn-render draws it at 1920 x 1080 (centre -0.5 0,
// a point every 2^-9, depth 512).
void StateKeepingBands(benchmark::State& state) {
    constexpr int BandRows = 16;
    const std::int64_t id = state.range(0);
    int width = ViewSize;
    int height = ViewSize;
    std::uint32_t depth = 512;
    std::vector<long double> re, im;
    if (id < 0) {
        width = 1920;
        height = 1080;
        for (int i = 0; i < width; ++i) re.push_back(-0.5L + (i - 960) / 512.0L);
        for (int j = 0; j < height; ++j) im.push_back((540 - j) / 512.0L);
    } else {
        const ViewState view = ViewOf(id);
        depth = view.Depth;
        StripPlan plan;
        PlanRows(view, -ViewSize, plan);
        re.assign(plan.re.begin(), plan.re.end());
        im.assign(plan.im.begin(), plan.im.end());
    }
    Renderer renderer(1, RenderPath::Fast, width);
    renderer.SetMirror(false);
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(BandRows * width));
    std::vector<EscapeState> states(counts.size());
    const int bands = height / BandRows;
    std::vector<std::array<double, 3>> fastest(static_cast<std::size_t>(bands), {1e300, 1e300, 1e300});
    double tests = 0;
    const double clock0 = CoreClockHz();
    for (auto _ : state) {
        tests = 0;
        for (int band = 0; band < bands; ++band) {
            PixelGrid grid;
            grid.re = re.data();
            grid.im = &im[static_cast<std::size_t>(band * BandRows)];
            grid.width = width;
            grid.height = BandRows;
            grid.out = counts.data();
            grid.stride = width;
            for (int way = 0; way < 3; ++way) {
                grid.escape = way == 0 ? nullptr : states.data();
                renderer.SetStateKeeping(way == 2 ? StateKeeping::EveryIteration : StateKeeping::Replaying);
                const double start = ThreadSeconds();
                if (!renderer.Compute(grid, depth)) state.SkipWithError("the renderer refused the grid");
                double& best = fastest[static_cast<std::size_t>(band)][static_cast<std::size_t>(way)];
                best = std::min(best, ThreadSeconds() - start);
                if (way == 0) tests += static_cast<double>(renderer.Tests());
            }
        }
    }
    const double clockHz = (clock0 + CoreClockHz()) / 2;
    std::array<double, 3> seconds{};
    for (const auto& band : fastest)
        for (std::size_t way = 0; way < 3; ++way) seconds[way] += band[way];
    state.counters["iterations"] = tests;
    state.counters["counts_cycles_per_iteration"] = seconds[0] * clockHz / tests;
    state.counters["replayed_extra_percent"] = (seconds[1] / seconds[0] - 1.0) * 100.0;
    state.counters["stored_extra_percent"] = (seconds[2] / seconds[0] - 1.0) * 100.0;
    state.counters["clock_GHz"] = clockHz * 1e-9;
    state.SetLabel(id < 0 ? "the whole set, 1920 x 1080, depth 512" : NameOf(id));
}

// Down one row, then back up: the view stays put across the loop.
void ScrollOneRowReference(benchmark::State& state) {
    ViewState view = HomeViewState(512);
    auto counts = std::make_unique<IterationBuffer>();
    ComputeRowsReference(view, *counts, -ViewSize);
    bool down = true;
    for (auto _ : state) {
        if (down) {
            std::memmove(counts->data(), counts->data() + ViewSize, (PixelCount - ViewSize) * sizeof(std::uint32_t));
            view.OriginIm -= view.PixelStep;
            ComputeRowsReference(view, *counts, 1);
        } else {
            std::memmove(counts->data() + ViewSize, counts->data(), (PixelCount - ViewSize) * sizeof(std::uint32_t));
            view.OriginIm += view.PixelStep;
            ComputeRowsReference(view, *counts, -1);
        }
        down = !down;
        benchmark::DoNotOptimize(counts->data());
    }
}

void ScrollOneRow(benchmark::State& state) {
    auto engine = std::make_unique<ViewEngine>();
    engine->view = HomeViewState(512);
    ComputeRows(*engine, -ViewSize);
    bool down = true;
    for (auto _ : state) {
        ScrollView(*engine, 0, down ? 1 : -1);
        down = !down;
        benchmark::DoNotOptimize(engine->counts.data());
    }
}

// One AutoScroll tick at the start-up view: a diagonal step, then the mapping.
void AutoScrollTick(benchmark::State& state) {
    auto engine = std::make_unique<ViewEngine>();
    engine->view = HomeViewState(512);
    ComputeRows(*engine, -ViewSize);
    PaletteTables tables;
    BuildColourTable(tables.colour);
    BuildMonoTable(tables.mono, engine->view.PaletteMode);
    auto pixels = std::make_unique<std::array<std::uint32_t, PixelCount>>();
    bool forward = true;
    for (auto _ : state) {
        ScrollView(*engine, forward ? 1 : -1, forward ? 1 : -1);
        MapDisplay(engine->counts, engine->view, tables, *pixels);
        forward = !forward;
        benchmark::DoNotOptimize(pixels->data());
    }
}

void Mapping(benchmark::State& state) {
    auto engine = std::make_unique<ViewEngine>();
    engine->view = HomeViewState(512);
    ComputeRows(*engine, -ViewSize);
    PaletteTables tables;
    BuildColourTable(tables.colour);
    BuildMonoTable(tables.mono, engine->view.PaletteMode);
    auto pixels = std::make_unique<std::array<std::uint32_t, PixelCount>>();
    for (auto _ : state) {
        MapDisplay(engine->counts, engine->view, tables, *pixels);
        benchmark::DoNotOptimize(pixels->data());
    }
}

// The smooth colouring's work on lines of the whole set (1920 points a
// row, centre -0.5, width 3.75, depth 512, every 8th row of 1080): mu from
// the escape states (argument: the vector width) and the palette's mix of
// mu (argument 1: 8 points at a time, 0: the plain loop), in true cycles a
// point.
struct SmoothLines {
    static constexpr int Width = 1920, Rows = 135;
    std::vector<std::uint32_t> counts;
    std::vector<EscapeState> states;
    std::vector<double> re, im, mu;
};

const SmoothLines& WholeSetLines() {
    static const SmoothLines lines = [] {
        SmoothLines l;
        SetArithmeticMode();
        const long double step = 3.75L / SmoothLines::Width;
        for (int r = 0; r < SmoothLines::Rows; ++r) {
            const long double ci = (540 - 8 * r) * step;
            l.im.push_back(static_cast<double>(ci));
            for (int i = 0; i < SmoothLines::Width; ++i) {
                const long double cr = -0.5L + (i - SmoothLines::Width / 2) * step;
                EscapeState state{};
                l.counts.push_back(EscapeCountWithState(cr, ci, 512, state));
                l.states.push_back(state);
                l.re.push_back(static_cast<double>(cr));
            }
        }
        l.mu.resize(l.counts.size());
        for (int r = 0; r < SmoothLines::Rows; ++r) {
            const std::size_t at = static_cast<std::size_t>(r) * SmoothLines::Width;
            ContinuousCountLine(&l.counts[at], &l.states[at], &l.re[at], l.im[static_cast<std::size_t>(r)], &l.mu[at],
                                SmoothLines::Width);
        }
        return l;
    }();
    return lines;
}

void ReportPerPoint(benchmark::State& state, double seconds, double clock0) {
    const double points = static_cast<double>(state.iterations()) * SmoothLines::Width * SmoothLines::Rows;
    state.counters["cycles_per_point"] = seconds * (clock0 + CoreClockHz()) / 2 / points;
    state.counters["ns_per_point"] = seconds * 1e9 / points;
}

void ContinuousCountLines(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    if (!HasContinuousCountWidth(width)) {
        state.SkipWithError("no such width here");
        return;
    }
    const SmoothLines& l = WholeSetLines();
    std::vector<double> mu(SmoothLines::Width);
    const double clock0 = CoreClockHz();
    const double start = ThreadSeconds();
    for (auto _ : state)
        for (int r = 0; r < SmoothLines::Rows; ++r) {
            const std::size_t at = static_cast<std::size_t>(r) * SmoothLines::Width;
            ContinuousCountLine(&l.counts[at], &l.states[at], &l.re[at], l.im[static_cast<std::size_t>(r)], mu.data(),
                                SmoothLines::Width, width);
            benchmark::DoNotOptimize(mu.data());
        }
    ReportPerPoint(state, ThreadSeconds() - start, clock0);
}

void PaletteMixLines(benchmark::State& state) {
    const SmoothLines& l = WholeSetLines();
    const PointColours colours(HomeViewState(512), {.smooth = true});
    std::vector<std::uint32_t> out(SmoothLines::Width);
    const auto lanes = static_cast<MixLanes>(state.range(0));
    if (!HasMixLanes(lanes)) {
        state.SkipWithError("no such lanes here");
        return;
    }
    const double clock0 = CoreClockHz();
    const double start = ThreadSeconds();
    for (auto _ : state)
        for (int r = 0; r < SmoothLines::Rows; ++r) {
            const std::size_t at = static_cast<std::size_t>(r) * SmoothLines::Width;
            colours.Line(std::span(&l.counts[at], SmoothLines::Width), &l.mu[at], out, lanes);
            benchmark::DoNotOptimize(out.data());
        }
    ReportPerPoint(state, ThreadSeconds() - start, clock0);
}

BENCHMARK(FullPassReference)->Apply(ReferenceArguments)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(FullPass)->Apply(PassArguments)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(FullPassStates)->Apply(StatesArguments)->Unit(benchmark::kMillisecond)->MinTime(1.0);
// Rounds: more where a round is short.
BENCHMARK(StateKeepingBands)->Args({-1})->Args({StartUp512})->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(StateKeepingBands)->Args({Minibrot})->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(StateKeepingBands)->Args({Neck})->Args({Level50})->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(ScrollOneRowReference)->Unit(benchmark::kMicrosecond);
BENCHMARK(ScrollOneRow)->Unit(benchmark::kMicrosecond);
BENCHMARK(AutoScrollTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(Mapping)->Unit(benchmark::kMicrosecond);
BENCHMARK(ContinuousCountLines)->ArgName("width")->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);
// Lanes 0: the plain loop; 1: AVX2; 2: AVX-512.
BENCHMARK(PaletteMixLines)->ArgName("lanes")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// Every thread busy for a while before the first entry, so that no figure
// depends on its place in the run (clock ramp, page faults, worker start).
void WarmUp() {
    auto engine = std::make_unique<ViewEngine>();
    engine->view = HomeViewState(4096);
    const double start = WallSeconds();
    while (WallSeconds() - start < 1.0) ComputeRows(*engine, -ViewSize);
    CoreClockHz();
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::AddCustomContext("cpu", CpuFamily());
    WarmUp();
    benchmark::AddCustomContext("core clock after the warm-up", std::to_string(CoreClockHz() * 1e-9) + " GHz");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
