#include "engine/renderer.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "engine/arithmetic_mode.h"
#include "engine/escape_count.h"
#include "engine/processor_features.h"
#include "engine/x87_lanes.h"

namespace qarn {
namespace {

std::size_t Index(int row, int col) { return static_cast<std::size_t>(row * ViewSize + col); }

unsigned HardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

// Strips this thin are computed by the calling thread alone: waking the
// workers would cost more than it gains (a scroll by a few pixels).
constexpr int LinesForWorkers = 8;

#if defined(__x86_64__)
// Each set three times: counts only, then keeping the escape states by
// replays, then by storing them on every iteration (the fixed-register
// kernels and the two lanes always do).
constexpr X87Kernels FixedSlotKernels[3] = {
    {QarnX87Row, QarnX87Column, QarnX87RowDouble, QarnX87ColumnDouble, nullptr, nullptr},
    {QarnX87RowState, QarnX87ColumnState, QarnX87RowDoubleState, QarnX87ColumnDoubleState, nullptr, nullptr},
    {QarnX87RowState, QarnX87ColumnState, QarnX87RowDoubleState, QarnX87ColumnDoubleState, nullptr, nullptr},
};
constexpr X87Kernels ExchangingKernels[3] = {
    {QarnX87Row, QarnX87Column, QarnX87RowDoubleExchanging, QarnX87ColumnDoubleExchanging, QarnX87RowSplitExchanging,
     QarnX87ColumnSplitExchanging},
    {QarnX87RowState, QarnX87ColumnState, QarnX87RowDoubleExchangingState, QarnX87ColumnDoubleExchangingState,
     QarnX87RowSplitExchangingState, QarnX87ColumnSplitExchangingState},
    {QarnX87RowState, QarnX87ColumnState, QarnX87RowDoubleExchangingEveryState,
     QarnX87ColumnDoubleExchangingEveryState, QarnX87RowSplitExchangingEveryState,
     QarnX87ColumnSplitExchangingEveryState},
};
#endif

// The three-lane kernels differ only in register exchanges. Measured in
// true cycles, the exchanging set is the faster on AMD's family 25 (its
// exchanges are free) and on Intel's Golden Cove cores (Xeon family 6, which
// eliminate them at renaming): 26 to 39 % on lines of doubles, and on lines
// of 80-bit coordinates its split kernel beats the two lanes by 6 %. The
// fixed-register set stays for cores that pay for each exchange (Intel's
// older Xeons, where it was measured at about 8 cycles an iteration); it is
// asked for by name.
RenderPath ChoosePath(RenderPath path) {
    if (!HasX87) return RenderPath::Portable;
    if (path != RenderPath::Fast) return path;
    return RenderPath::Exchanging;
}

// Storing the state on every iteration costs the exchanging loop two x87
// stores a lane on every iteration; replaying costs side paths for each
// orbit that escapes, or nears the bound 2 - |c|. On AMD's family 25 (Zen 4)
// the stores cost 7 to 11 % over counts on the start-up view and the neck,
// against 5 % and under 1 % replayed. On family 26 (Zen 5) they cost 1 to
// 4 % on every view, and replaying at most 1 % where nearly every orbit
// stays (level 50, the neck, the edge of the disk: one escape in 150,000
// tests and more) but 6 to 11 % where orbits escape often (the whole set,
// the start-up view: one in 50 to 100) or near the minibrot at -1.75 (one
// in 10,000, whose orbits pass 2 - |c| all the time). There a pass stores
// the states where the last pass that kept them found an escape in at most
// this many tests, and replays them elsewhere (and in its first pass).
constexpr double StoreStatesUpTo = 32768;

bool ChoosesKeeping() {
#if defined(__x86_64__)
    return AmdFamily() == 26;
#else
    return false;
#endif
}

struct ExtendedParts {
    std::uint64_t significand;
    std::uint64_t sign;  // in a double's place
    int exponent;
    bool normal;  // integer bit set, exponent neither 0 nor all ones
};

ExtendedParts PartsOf(long double value) {
    std::uint64_t significand = 0;
    std::uint16_t signExponent = 0;
    std::memcpy(&significand, &value, sizeof significand);
    std::memcpy(&signExponent, reinterpret_cast<const unsigned char*>(&value) + 8, sizeof signExponent);
    const int biased = signExponent & 0x7FFF;
    return {significand, static_cast<std::uint64_t>(signExponent >> 15) << 63, biased - 16383,
            (significand >> 63) != 0 && biased != 0 && biased != 0x7FFF};
}

// The double of sign x significand x 2^(exponent - 63), whose significand's
// top bit is set and whose low 11 bits are clear; the exponent must suit a
// normal double.
double DoubleOf(std::uint64_t sign, std::uint64_t significand, int exponent) {
    const std::uint64_t bits = sign | static_cast<std::uint64_t>(exponent + 1023) << 52 | (significand << 1) >> 12;
    double result = 0;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

// Whether `value` is exactly a double, read from its 80-bit image with
// integer operations only (a round trip through the x87 unit costs more than
// the rest of a one-row scroll); `converted` gets the double when it is.
// Zeros and the normal doubles qualify; the rare rest takes other kernels.
bool ExactDouble(long double value, double& converted) {
    const ExtendedParts p = PartsOf(value);
    if (p.significand == 0 && p.exponent == -16383) {
        std::memcpy(&converted, &p.sign, sizeof converted);
        return true;
    }
    converted = 0;
    if (!p.normal || (p.significand & 0x7FF) != 0 || p.exponent < -1022 || p.exponent > 1023) return false;
    converted = DoubleOf(p.sign, p.significand, p.exponent);
    return true;
}

// Whether `value` is exactly hi + lo for two normal doubles (or zeros) of
// its sign: hi holds the top 53 bits of the significand, lo the other 11.
// Their sum in the x87's 64-bit precision is then exact, since it is the
// value itself. Zeros split into two zeros of their sign, so that the sum
// keeps the sign.
bool SplitDouble(long double value, double* pair) {
    const ExtendedParts p = PartsOf(value);
    pair[0] = pair[1] = 0;
    if (p.significand == 0 && p.exponent == -16383) {
        std::memcpy(&pair[0], &p.sign, sizeof(double));
        pair[1] = pair[0];
        return true;
    }
    if (!p.normal || p.exponent < -1022 || p.exponent > 1023) return false;
    pair[0] = DoubleOf(p.sign, p.significand & ~std::uint64_t{0x7FF}, p.exponent);
    const std::uint64_t low = p.significand & 0x7FF;
    if (low == 0) return true;                  // lo = +0: hi + 0 is hi, whatever its sign
    const int top = 63 - __builtin_clzll(low);  // the place of lo's leading bit
    const int exponent = p.exponent - 63 + top;
    if (exponent < -1022) return false;
    pair[1] = DoubleOf(p.sign, low << (63 - top), exponent);
    return true;
}

const X87Kernels* KernelsOf(RenderPath path) {
#if defined(__x86_64__)
    if (path == RenderPath::FixedSlots) return FixedSlotKernels;
    if (path == RenderPath::Exchanging) return ExchangingKernels;
#endif
    (void)path;
    return nullptr;
}

}  // namespace

Renderer::Renderer(unsigned threads, RenderPath path, int maxWidth)
    : path_(ChoosePath(path)),
      kernels_(KernelsOf(path_)),
      varyingDouble_(static_cast<std::size_t>(std::max(maxWidth, ViewSize))),
      varyingSplit_(2 * varyingDouble_.size()) {
    SetStateKeeping(StateKeeping::Chosen);
    const unsigned total = threads == 0 ? HardwareThreads() : threads;
    workers_.reserve(total - 1);
    for (unsigned i = 1; i < total; ++i) workers_.emplace_back([this] { Work(); });
}

void Renderer::SetStateKeeping(StateKeeping keeping) {
    choosesKeeping_ = keeping == StateKeeping::Chosen && ChoosesKeeping();
    stateKernels_ = keeping == StateKeeping::EveryIteration ? 2 : 1;
}

Renderer::~Renderer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void Renderer::Compute(const StripPlan& plan, std::uint32_t depth, IterationBuffer& counts) {
    PixelGrid grid;
    grid.re = &plan.re[static_cast<std::size_t>(plan.firstCol)];
    grid.im = &plan.im[static_cast<std::size_t>(plan.firstRow)];
    grid.width = plan.colCount;
    grid.height = plan.rowCount;
    grid.out = &counts[Index(plan.firstRow, plan.firstCol)];
    grid.stride = ViewSize;
    grid.byRows = plan.colCount == ViewSize;
    grid.varyingLine = grid.byRows ? plan.reLine : plan.imLine;
    // A plan's strips always fit the buffer; an empty one computes nothing.
    (void)Compute(grid, depth);
}

bool Renderer::Compute(const PixelGrid& grid, std::uint32_t depth) {
    if (grid.width <= 0 || grid.height <= 0) return false;
    if (grid.byRows ? static_cast<std::size_t>(grid.width) > varyingDouble_.size() : grid.height > ViewSize)
        return false;
    SetArithmeticMode();
    pass_ = {grid, depth};
    // Lines the caller gave count as done from the start.
    linesDone_.store(PlanMirror(), std::memory_order_relaxed);
    nextLine_.store(0, std::memory_order_relaxed);
    tests_.store(0, std::memory_order_relaxed);
    escapes_.store(0, std::memory_order_relaxed);
    if (choosesKeeping_) stateKernels_ = testsPerEscape_ > 0 && testsPerEscape_ <= StoreStatesUpTo ? 2 : 1;
    if (kernels_ != nullptr && !(grid.varyingLine.valid && grid.varyingLine == preparedLine_)) {
        PrepareLines();
        preparedLine_ = grid.varyingLine;
    }

    if (workers_.empty() || computedCount_ < LinesForWorkers) {
        RunLines();
    } else {
        {
            std::lock_guard lock(mutex_);
            ++generation_;
            working_ = static_cast<unsigned>(workers_.size());
        }
        wake_.notify_all();
        RunLines();
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [this] { return working_ == 0; });
    }
    if (grid.escape != nullptr && Tests() > 0) {
        const std::uint64_t escapes = escapes_.load(std::memory_order_relaxed);
        testsPerEscape_ = escapes == 0 ? 1e300 : static_cast<double>(Tests()) / static_cast<double>(escapes);
    }
    return true;
}

// Which lines the pass computes, and which rows it copies from their mirror
// images instead: a row whose source row the caller has given, or has
// itself a source, is computed (the copy is made from rows this pass
// computes, right after each one).
int Renderer::PlanMirror() {
    const PixelGrid& grid = pass_.grid;
    const int lines = grid.byRows ? grid.height : grid.width;
    const std::size_t n = static_cast<std::size_t>(lines);
    if (computed_.size() < n) {
        computed_.resize(n);
        mirrorSource_.resize(n);
        firstCopy_.resize(n);
        nextCopy_.resize(n);
    }
    const bool mirror = mirror_ && grid.byRows;
    if (mirror) FindMirrorSources(grid.im, lines, mirrorSource_.data());
    std::fill_n(firstCopy_.begin(), n, -1);
    int total = 0;
    computedCount_ = 0;
    // Backwards, so that each source's copies are listed in rising order.
    for (int line = lines - 1; line >= 0; --line) {
        const std::size_t i = static_cast<std::size_t>(line);
        if (grid.byRows && grid.given != nullptr && grid.given[i] != 0) continue;
        ++total;
        const int source = mirror ? mirrorSource_[i] : -1;
        if (source >= 0 && !(grid.given != nullptr && grid.given[static_cast<std::size_t>(source)] != 0)) {
            nextCopy_[i] = firstCopy_[static_cast<std::size_t>(source)];
            firstCopy_[static_cast<std::size_t>(source)] = line;
        }
    }
    for (int line = 0; line < lines; ++line) {
        const std::size_t i = static_cast<std::size_t>(line);
        if (grid.byRows && grid.given != nullptr && grid.given[i] != 0) continue;
        const int source = mirror ? mirrorSource_[i] : -1;
        const bool copied = source >= 0 &&
                            !(grid.given != nullptr && grid.given[static_cast<std::size_t>(source)] != 0);
        if (!copied) computed_[static_cast<std::size_t>(computedCount_++)] = line;
    }
    linesTotal_.store(lines, std::memory_order_relaxed);
    return lines - total;
}

void Renderer::Work() {
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
        }
        // Each thread has its own control word, and may start at 53 bits.
        SetArithmeticMode();
        RunLines();
        {
            std::lock_guard lock(mutex_);
            --working_;
        }
        finished_.notify_one();
    }
}

void Renderer::PrepareLines() {
    const PixelGrid& grid = pass_.grid;
    // Only the varying part of each line is read as doubles.
    const long double* from = grid.byRows ? grid.re : grid.im;
    const int n = grid.byRows ? grid.width : grid.height;
    bool exact = true;
    for (int i = 0; i < n; ++i) exact = ExactDouble(from[i], varyingDouble_[static_cast<std::size_t>(i)]) && exact;
    varyingExact_ = exact;
    // Doubles split too (lo = 0), for lines whose shared part is no double.
    bool splits = kernels_->rowSplit != nullptr;
    for (int i = 0; splits && i < n; ++i)
        splits = SplitDouble(from[i], &varyingSplit_[2 * static_cast<std::size_t>(i)]);
    varyingSplits_ = splits;
}

// Threads take the computed lines, one at a time, until none is left; each
// makes the copies of the row it computed at once.
void Renderer::RunLines() {
    const PixelGrid& grid = pass_.grid;
    for (int next = nextLine_.fetch_add(1); next < computedCount_; next = nextLine_.fetch_add(1)) {
        const int line = computed_[static_cast<std::size_t>(next)];
        ComputeLine(line);
        if (grid.lineFinished != nullptr) grid.lineFinished(grid.lineContext, line);
        int done = 1;
        for (int copy = firstCopy_[static_cast<std::size_t>(line)]; copy >= 0;
             copy = nextCopy_[static_cast<std::size_t>(copy)]) {
            CopyMirroredRow(copy, line);
            if (grid.lineMirrored != nullptr)
                grid.lineMirrored(grid.lineContext, copy, line);
            else if (grid.lineFinished != nullptr)
                grid.lineFinished(grid.lineContext, copy);
            ++done;
        }
        linesDone_.fetch_add(done, std::memory_order_relaxed);
    }
}

// Row `row` is the mirror image of the computed row `source`: the same
// counts, and the states with y negated (see row_mirror.cpp). Its few
// points whose state the mirror cannot tell are computed, and only they
// count as tests.
void Renderer::CopyMirroredRow(int row, int source) {
    const PixelGrid& grid = pass_.grid;
    const std::ptrdiff_t to = row * grid.stride;
    const std::ptrdiff_t from = source * grid.stride;
    std::memcpy(&grid.out[to], &grid.out[from], static_cast<std::size_t>(grid.width) * sizeof(std::uint32_t));
    if (grid.escape == nullptr) return;
    std::uint64_t tests = 0;
    for (int i = 0; i < grid.width; ++i) {
        if (MirroredState(grid.out[from + i], grid.escape[from + i], grid.escape[to + i])) continue;
        const PixelWork work = EscapeCountWithExits(grid.re[i], grid.im[row], pass_.depth, grid.escape[to + i]);
        grid.out[to + i] = work.count;
        tests += work.tests;
    }
    if (tests != 0) tests_.fetch_add(tests, std::memory_order_relaxed);
}

// One line of the pass: along a row the real part varies and the imaginary
// part is shared; along a column the other way round.
struct Renderer::Line {
    const long double* re;
    const long double* im;
    std::uint32_t* out;
    EscapeState* states;
    int length;
    std::ptrdiff_t reStep;
    std::ptrdiff_t imStep;
    std::ptrdiff_t outStep;
    bool byRows;
    std::uint32_t depth;
    long double shared;
#if defined(__x86_64__)
    X87LineJob* job = nullptr;
#endif
};

void Renderer::ComputeLine(int line) {
    const PixelGrid& grid = pass_.grid;
    const bool byRows = grid.byRows;
    Line l{byRows ? grid.re : &grid.re[line],
           byRows ? &grid.im[line] : grid.im,
           byRows ? &grid.out[line * grid.stride] : &grid.out[line],
           grid.escape == nullptr ? nullptr
           : byRows               ? &grid.escape[line * grid.stride]
                                  : &grid.escape[line],
           byRows ? grid.width : grid.height,
           byRows ? 1 : 0,
           byRows ? 0 : 1,
           byRows ? 1 : grid.stride,
           byRows,
           pass_.depth,
           byRows ? grid.im[line] : grid.re[line]};

    // A c with a NaN part never escapes: the whole line is 0, untested.
    if (l.shared != l.shared) {
        for (int i = 0; i < l.length; ++i) l.out[i * l.outStep] = 0;
        if (l.states != nullptr)
            for (int i = 0; i < l.length; ++i) l.states[i * l.outStep] = {0.0, 0.0};
        return;
    }
    const std::uint64_t tests = kernels_ != nullptr && l.depth > 0 ? RunKernel(l) : RunPortable(l);
    tests_.fetch_add(tests, std::memory_order_relaxed);
}

std::uint64_t Renderer::RunPortable(const Line& l) {
    std::uint64_t tests = 0;
    for (int i = 0; i < l.length; ++i) {
        const long double cr = l.re[i * l.reStep];
        const long double ci = l.im[i * l.imStep];
        const PixelWork work = l.states != nullptr ? EscapeCountWithExits(cr, ci, l.depth, l.states[i * l.outStep])
                                                   : EscapeCountWithExits(cr, ci, l.depth);
        l.out[i * l.outStep] = work.count;
        tests += work.tests;
    }
    return tests;
}

#if defined(__x86_64__)
// The kernel choice: three lanes on doubles where every coordinate of the
// line is one, three lanes on pairs of doubles where every one splits so,
// else two lanes on 80-bit values; each in the form that keeps the escape
// states where they are asked for. The kernels write a contiguous line: a
// column is gathered in `column` and spread into the buffer afterwards.
// Returns the escape tests run.
std::uint64_t Renderer::RunKernel(const Line& line) {
    std::uint32_t column[ViewSize];
    EscapeState columnStates[ViewSize];
    X87LineJob job = MakeX87Job();
    Line l = line;
    l.job = &job;
    job.out = l.byRows ? l.out : column;
    job.states = l.states == nullptr ? nullptr : l.byRows ? l.states : columnStates;
    job.count = l.length;
    job.depth = l.depth;
    job.shared = l.shared;
    job.shared64 = static_cast<double>(l.shared);
    job.sharedSquare = job.shared64 * job.shared64;
    job.sharedPlusOneSquare = (job.shared64 + 1) * (job.shared64 + 1);
    const bool exact = varyingExact_ && static_cast<long double>(job.shared64) == l.shared;
    const bool split = !exact && varyingSplits_ && SplitDouble(l.shared, job.sharedSplit);
    const X87Kernels& k = kernels_[l.states != nullptr ? stateKernels_ : 0];
    if (exact) {
        job.varying = varyingDouble_.data();
        (l.byRows ? k.rowDouble : k.columnDouble)(&job);
    } else if (split) {
        job.varying = varyingSplit_.data();
        (l.byRows ? k.rowSplit : k.columnSplit)(&job);
    } else {
        job.varying = l.byRows ? l.re : l.im;
        (l.byRows ? k.row : k.column)(&job);
    }
    // Each count stands for its tests, 0 for the depth; a count still to be
    // decided exactly is counted by its recount, less the cycle exits the
    // kernel skipped.
    std::uint64_t tests = 0;
    std::uint64_t escapes = 0;
    bool exactNeeded = false;
    for (int i = 0; i < l.length; ++i) {
        const std::uint32_t count = job.out[i];
        exactNeeded = exactNeeded || count == NeedsExactCount;
        tests += count == 0 ? l.depth : count == NeedsExactCount ? 0 : count;
        escapes += count > 1 && count != NeedsExactCount;
    }
    if (l.states != nullptr) {
        KnownStates(l, exact);
        escapes_.fetch_add(escapes, std::memory_order_relaxed);
    }
    if (!l.byRows) SpreadColumn(l);
    if (exactNeeded) tests += RecountExact(l);
    return tests - job.skipped;
}

// The states of counts 0 and 1, which the kernels do not keep: {0, 0}, and
// c itself (some never enter a lane).
void Renderer::KnownStates(const Line& l, bool exact) {
    const X87LineJob& job = *l.job;
    const double* varying = exact ? varyingDouble_.data() : nullptr;
    for (int i = 0; i < l.length; ++i) {
        if (job.out[i] > 1) continue;
        EscapeState& state = job.states[i];
        if (job.out[i] == 0)
            state = {0.0, 0.0};
        else if (varying != nullptr)
            state = l.byRows ? EscapeState{varying[i], job.shared64} : EscapeState{job.shared64, varying[i]};
        else
            state = {static_cast<double>(l.re[i * l.reStep]), static_cast<double>(l.im[i * l.imStep])};
    }
}

// A column's counts and states, gathered contiguously, into the buffer.
void Renderer::SpreadColumn(const Line& l) {
    const X87LineJob& job = *l.job;
    for (int i = 0; i < l.length; ++i) l.out[i * l.outStep] = job.out[i];
    if (l.states != nullptr)
        for (int i = 0; i < l.length; ++i) l.states[i * l.outStep] = job.states[i];
}

// The exact recount: a pixel whose squared modulus came within a double's
// rounding of the bound is decided with the exact comparison, by the
// definition itself. Returns its tests.
std::uint64_t Renderer::RecountExact(const Line& l) {
    std::uint64_t tests = 0;
    for (int i = 0; i < l.length; ++i) {
        std::uint32_t& count = l.out[i * l.outStep];
        if (count != NeedsExactCount) continue;
        const long double cr = l.re[i * l.reStep];
        const long double ci = l.im[i * l.imStep];
        const PixelWork work = l.states != nullptr ? EscapeCountWithExits(cr, ci, l.depth, l.states[i * l.outStep])
                                                   : EscapeCountWithExits(cr, ci, l.depth);
        count = work.count;
        tests += work.tests;
    }
    return tests;
}
#else
std::uint64_t Renderer::RunKernel(const Line& l) { return RunPortable(l); }
#endif

void ComputeRowsReference(const ViewState& view, IterationBuffer& counts, int count) {
    if (count == 0 || count < -ViewSize || count > ViewSize) return;
    SetArithmeticMode();
    int row = 0;
    int last = -count - 1;
    long double ci = view.OriginIm;
    if (count > 0) {
        row = ViewSize - count;
        last = ViewSize - 1;
        ci = view.OriginIm - static_cast<long double>(row) * view.PixelStep;
    }
    for (; row <= last; ++row) {
        long double cr = view.OriginRe;
        for (int col = 0; col < ViewSize; ++col) {
            counts[Index(row, col)] = EscapeCount(cr, ci, view.Depth);
            cr += view.PixelStep;
        }
        ci -= view.PixelStep;
    }
}

void ComputeColumnsReference(const ViewState& view, IterationBuffer& counts, int count) {
    if (count == 0 || count < -ViewSize || count > ViewSize) return;
    SetArithmeticMode();
    int col = 0;
    int last = -count - 1;
    long double cr = view.OriginRe;
    if (count > 0) {
        col = ViewSize - count;
        last = ViewSize - 1;
        cr = view.OriginRe + static_cast<long double>(col) * view.PixelStep;
    }
    for (; col <= last; ++col) {
        long double ci = view.OriginIm;
        for (int row = 0; row < ViewSize; ++row) {
            counts[Index(row, col)] = EscapeCount(cr, ci, view.Depth);
            ci -= view.PixelStep;
        }
        cr += view.PixelStep;
    }
}

}  // namespace qarn
