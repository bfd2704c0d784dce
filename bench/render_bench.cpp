// Full passes, a one-row scroll and the display mapping, each beside the
// one-pixel-at-a-time reference in the same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "colour/display_mapping.h"
#include "engine/renderer.h"
#include "engine/scroll.h"
#include "engine/view_engine.h"

namespace {

using namespace qarn;

ViewState Home(std::uint32_t depth) {
    ViewState view;
    InstallHomeView(view);
    view.Depth = depth;
    return view;
}

long double Step(int level) { return std::ldexp(1.0L, -(7 + level)); }

ViewState Around(long double re, long double im, int level, std::uint32_t depth) {
    ViewState view;
    const long double step = Step(level);
    view.PixelStep = step;
    view.OriginRe = (std::floor(re / step) - 256.0L) * step;
    view.OriginIm = (std::floor(im / step) + 256.0L) * step;
    view.ZoomLevel = level;
    view.Depth = depth;
    return view;
}

enum ViewId { StartUp512, StartUp4096, WhollyInside, Minibrot, Level50, NaNOrigin, SubnormalView, Neck, ViewCount };

ViewState ViewOf(std::int64_t id) {
    switch (id) {
    case StartUp512: return Home(512);
    case StartUp4096: return Home(4096);
    case WhollyInside: {  // level 3 at origin -0.5 + 0.25i: every pixel inside the main cardioid
        ViewState view = Around(-0.25L, 0.0L, 3, 4096);
        view.OriginRe = -0.5L;
        view.OriginIm = 0.25L;
        return view;
    }
    case Minibrot: return Around(-1.7549L, 0.0L, 8, 4096);
    case Level50: return Around(-0.7436438870371587L, 0.1318259042053119L, 50, 4096);
    case NaNOrigin: {  // a damaged coordinate file
        ViewState view = Home(4096);
        view.OriginRe = std::numeric_limits<long double>::quiet_NaN();
        return view;
    }
    case Neck: return Around(-0.75L, 0.0L, 10, 4096);  // doubles, and no orbit repeats
    default: {  // origin and step below the smallest normal 80-bit real
        ViewState view = Home(4096);
        view.OriginRe = view.OriginIm = 1e-4940L;
        view.PixelStep = 1e-4945L;
        return view;
    }
    }
}

const char* NameOf(std::int64_t id) {
    static const char* const names[] = {"start-up view, depth 512", "start-up view, depth 4096",
                                        "wholly inside, level 3, depth 4096", "minibrot -1.7549, level 8, depth 4096",
                                        "level 50, depth 4096", "NaN origin, depth 4096",
                                        "subnormal origin and step, depth 4096", "neck -0.75, level 10, depth 4096"};
    return names[id];
}

const char* PathName(std::int64_t path) {
    static const char* const names[] = {"chosen kernels", "fixed-slot kernels", "rotating kernels", "portable"};
    return names[path];
}

// Without early exits every pixel runs its count's tests, or Depth.
double PlainTests(const IterationBuffer& counts, std::uint32_t depth) {
    double tests = 0;
    for (std::uint32_t count : counts) tests += count == 0 ? depth : count;
    return tests;
}

void ReportTests(benchmark::State& state, double tests, const std::string& label) {
    state.counters["iterations"] = tests;
    state.counters["ns_per_iteration"] =
        benchmark::Counter(tests * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetLabel(label);
}

// The damaged views take minutes in the plain loop on some processors
// (microcode assists on NaN and subnormal operands): only the fast paths run them.
void FullPassReference(benchmark::State& state) {
    const ViewState view = ViewOf(state.range(0));
    auto counts = std::make_unique<IterationBuffer>();
    for (auto _ : state) {
        ComputeRowsReference(view, *counts, -ViewSize);
        benchmark::DoNotOptimize(counts->data());
    }
    ReportTests(state, PlainTests(*counts, view.Depth), NameOf(state.range(0)));
}

void FullPass(benchmark::State& state) {
    const auto path = static_cast<RenderPath>(state.range(2));
    auto engine = std::make_unique<ViewEngine>(static_cast<unsigned>(state.range(1)), path);
    engine->view = ViewOf(state.range(0));
    for (auto _ : state) {
        ComputeRows(*engine, -ViewSize);
        benchmark::DoNotOptimize(engine->counts.data());
    }
    ReportTests(state, static_cast<double>(engine->renderer.Tests()),
                std::string(NameOf(state.range(0))) + ", " + PathName(state.range(2)));
    state.counters["threads"] = engine->renderer.Threads();
}

void PassArguments(benchmark::internal::Benchmark* b) {
    const auto chosen = static_cast<std::int64_t>(RenderPath::Fast);
    for (int view = 0; view < Neck; ++view) b->Args({view, 1, chosen})->Args({view, 0, chosen});
    // Both three-lane kernels on one thread, where they run long lines.
    for (int view : {StartUp512, Neck})
        for (RenderPath path : {RenderPath::FixedSlots, RenderPath::Rotating})
            b->Args({view, 1, static_cast<std::int64_t>(path)});
}
void ReferenceArguments(benchmark::internal::Benchmark* b) {
    for (int view : {StartUp512, StartUp4096, WhollyInside, Minibrot, Level50}) b->Args({view});
}

// Down one row, then back up: the view stays put across the loop.
void ScrollOneRowReference(benchmark::State& state) {
    ViewState view = Home(512);
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
    engine->view = Home(512);
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
    engine->view = Home(512);
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
    engine->view = Home(512);
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

BENCHMARK(FullPassReference)->Apply(ReferenceArguments)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(FullPass)->Apply(PassArguments)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(ScrollOneRowReference)->Unit(benchmark::kMicrosecond);
BENCHMARK(ScrollOneRow)->Unit(benchmark::kMicrosecond);
BENCHMARK(AutoScrollTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(Mapping)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
