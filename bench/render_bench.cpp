// Full passes, a one-row scroll and the display mapping, each beside the
// one-pixel-at-a-time reference in the same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>

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

enum ViewId { StartUp512, StartUp4096, InsideSet4096, Level50 };

ViewState ViewOf(std::int64_t id) {
    switch (id) {
    case StartUp512: return Home(512);
    case StartUp4096: return Home(4096);
    case InsideSet4096: return Around(-0.2L, 0.0L, 4, 4096);  // wholly inside the main cardioid
    default: return Around(-0.7436438870371587L, 0.1318259042053119L, 50, 4096);
    }
}

const char* NameOf(std::int64_t id) {
    static const char* const names[] = {"start-up view, depth 512", "start-up view, depth 4096",
                                        "inside the set, depth 4096", "level 50, depth 4096"};
    return names[id];
}

void ReportIterations(benchmark::State& state, const IterationBuffer& counts, std::uint32_t depth) {
    double iterations = 0;
    for (std::uint32_t count : counts) iterations += count == 0 ? depth : count;
    state.counters["iterations"] = iterations;
    state.counters["ns_per_iteration"] =
        benchmark::Counter(iterations * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetLabel(NameOf(state.range(0)));
}

void FullPassReference(benchmark::State& state) {
    const ViewState view = ViewOf(state.range(0));
    auto counts = std::make_unique<IterationBuffer>();
    for (auto _ : state) {
        ComputeRowsReference(view, *counts, -ViewSize);
        benchmark::DoNotOptimize(counts->data());
    }
    ReportIterations(state, *counts, view.Depth);
}

void FullPass(benchmark::State& state) {
    auto engine = std::make_unique<ViewEngine>(static_cast<unsigned>(state.range(1)));
    engine->view = ViewOf(state.range(0));
    for (auto _ : state) {
        ComputeRows(*engine, -ViewSize);
        benchmark::DoNotOptimize(engine->counts.data());
    }
    ReportIterations(state, engine->counts, engine->view.Depth);
    state.counters["threads"] = engine->renderer.Threads();
}

void PassArguments(benchmark::internal::Benchmark* b) {
    for (int view : {StartUp512, StartUp4096, InsideSet4096, Level50}) b->Args({view, 1})->Args({view, 0});
}
void ReferenceArguments(benchmark::internal::Benchmark* b) {
    for (int view : {StartUp512, StartUp4096, InsideSet4096, Level50}) b->Args({view});
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
    HeadlessDesktop desktop;
    bool forward = true;
    for (auto _ : state) {
        ScrollView(*engine, forward ? 1 : -1, forward ? 1 : -1);
        MapDisplay(engine->counts, engine->view, tables, *pixels, desktop);
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
    HeadlessDesktop desktop;
    for (auto _ : state) {
        MapDisplay(engine->counts, engine->view, tables, *pixels, desktop);
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
