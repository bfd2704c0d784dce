#pragma once
#include <cstddef>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/escape_state.h"
#include "engine/iteration_buffer.h"
#include "engine/row_mirror.h"
#include "engine/strip_plan.h"

namespace qarn {

// A rectangle of pixels: pixel (col, row) is iterated from
// c = (re[col], im[row]) and its count goes to out[row * stride + col]. The
// work is shared out in lines: whole rows (the imaginary part shared along
// each) or whole columns (the real part shared; at most ViewSize rows).
struct PixelGrid {
    const long double* re = nullptr;
    const long double* im = nullptr;
    int width = 0;
    int height = 0;
    std::uint32_t* out = nullptr;
    std::ptrdiff_t stride = 0;
    bool byRows = true;
    // Set when the varying coordinates are a whole line of a plan: the
    // renderer then reuses what it derived from the same line last time.
    LineKey varyingLine;
    // Where given, every pass also writes each pixel's EscapeState, indexed
    // as `out` is (row * stride + col). Passes without it run kernels that
    // keep no state, and cost nothing more.
    EscapeState* escape = nullptr;
    // Where given, called by the thread that computed line `line` (a row
    // for byRows grids, else a column) as soon as that line's counts and
    // states are final; called on several threads at once for different
    // lines, once for each line of the pass, before the pass returns.
    void (*lineFinished)(void* context, int line) = nullptr;
    void* lineContext = nullptr;
    // Where given, called instead of lineFinished for a row the pass copied
    // from its mirror image `source` (see FindMirrorSources) rather than
    // computed: its counts and states are final, and so is everything the
    // hook made of the source row. Without it, lineFinished is called.
    void (*lineMirrored)(void* context, int line, int source) = nullptr;
    // Where given (rows only), nonzero for the rows the caller has filled
    // already: the pass neither computes nor reports them.
    const std::uint8_t* given = nullptr;
};

enum class RenderPath {
    Fast,        // the x87 kernels that suit this machine's processor, else Portable
    FixedSlots,  // x87 kernels that keep each pixel in fixed registers
    Exchanging,  // x87 kernels that bring each pixel to the top with register exchanges
    Portable,    // plain C++, one pixel at a time
};

// How the exchanging kernels keep the escape states: by replaying an
// escape's last iterations from a save point and by looking ahead near the
// bound, or by storing every lane's state on every iteration. The same
// counts, states and tests either way; Chosen takes, pass by pass, the one
// that suits this processor and what the last pass keeping states found.
enum class StateKeeping { Chosen, Replaying, EveryIteration };

struct X87LineJob;
struct X87Kernels {
    void (*row)(X87LineJob*);
    void (*column)(X87LineJob*);
    void (*rowDouble)(X87LineJob*);
    void (*columnDouble)(X87LineJob*);
    void (*rowSplit)(X87LineJob*);  // or none: such lines take row and column
    void (*columnSplit)(X87LineJob*);
};

// Evaluates the pixels of planned strips into the IterationBuffer. Every
// count equals EscapeCount of the pixel's planned coordinates, bit for bit,
// whatever the path and the number of threads, and every state asked for
// equals EscapeCountWithState's. Large passes are spread over
// a pool of workers made once; the call returns when the pass is complete.
class Renderer {
public:
    // threads 0: one per hardware thread. Rows of a grid may be up to
    // `maxWidth` pixels long; the coordinate buffers are made here, once.
    explicit Renderer(unsigned threads = 0, RenderPath path = RenderPath::Fast, int maxWidth = ViewSize);
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    void Compute(const StripPlan& plan, std::uint32_t depth, IterationBuffer& counts);
    // Returns false, computing nothing, for a grid the renderer cannot take
    // (empty, wider than maxWidth, or columns taller than ViewSize).
    [[nodiscard]] bool Compute(const PixelGrid& grid, std::uint32_t depth);

    unsigned Threads() const { return static_cast<unsigned>(workers_.size()) + 1; }
    // The path taken: never Fast, which is resolved at construction.
    RenderPath Path() const { return path_; }
    // Whether passes copy rows from their mirror images (on by default;
    // every count and state is the same either way).
    void SetMirror(bool on) { mirror_ = on; }
    bool Mirror() const { return mirror_; }
    void SetStateKeeping(StateKeeping keeping);
    // Escape tests the last pass ran, the same on every machine: over the
    // points it computed, each point's tests as EscapeCountWithExits counts
    // them (its count if it escapes; else the test at which the depth ends
    // it, or after which its state repeats the one saved at test 1, 2, 4,
    // ...). Rows copied from their mirror images ran none. The kernels
    // count by the same rule with one exception: they look for a repeat
    // only where the squared modulus tested equals the one tested when the
    // state was saved, which is that of the state before the saved one; an
    // orbit whose 80-bit cycle begins exactly at a save point (rare: two
    // points of the start-up view, on the real axis) is found a save point
    // later, its count still 0, its tests more by the window it missed.
    std::uint64_t Tests() const { return tests_.load(std::memory_order_relaxed); }

    // Lines (rows or columns) of the running pass finished so far, and the
    // pass's total; readable from another thread for a progress display.
    int LinesDone() const { return linesDone_.load(std::memory_order_relaxed); }
    int LinesTotal() const { return linesTotal_.load(std::memory_order_relaxed); }

private:
    struct Pass {
        PixelGrid grid;
        std::uint32_t depth = 0;
    };

    // One line of the pass as the kernels see it.
    struct Line;

    void PrepareLines();
    int PlanMirror();
    void RunLines();
    void ComputeLine(int line);
    void CopyMirroredRow(int row, int source);
    std::uint64_t RunKernel(const Line& l);
    void KnownStates(const Line& l, bool exact);
    void SpreadColumn(const Line& l);
    std::uint64_t RecountExact(const Line& l);
    std::uint64_t RunPortable(const Line& l);
    void Work();

    RenderPath path_;
    const X87Kernels* kernels_;  // three sets: counts only, then replaying and storing escape states
    int stateKernels_ = 1;       // the set for passes that keep escape states
    bool choosesKeeping_ = false;
    // Of the last pass that kept states: its escapes after test 1, and its
    // tests per such escape.
    std::atomic<std::uint64_t> escapes_{0};
    double testsPerEscape_ = 0;
    Pass pass_;
    // The varying coordinates of the lines as doubles, where every one of
    // them is exactly a double: the fast kernels then read them as cheap
    // memory operands.
    std::vector<double> varyingDouble_;
    bool varyingExact_ = false;
    // Where they are not, each as a pair of doubles whose sum is exactly its
    // 80-bit value, where every one of them splits so.
    std::vector<double> varyingSplit_;
    bool varyingSplits_ = false;
    LineKey preparedLine_;  // the line varyingDouble_ holds, if a whole one
    bool mirror_ = true;
    // The lines of the pass that are computed, in order; each computed row's
    // mirrored rows follow from firstCopy_ and nextCopy_ (-1 ends a list).
    // Grown to the tallest grid seen, never shrunk: no allocation per pass.
    std::vector<int> computed_;
    int computedCount_ = 0;
    std::vector<int> mirrorSource_;
    std::vector<int> firstCopy_;
    std::vector<int> nextCopy_;
    std::atomic<std::uint64_t> tests_{0};
    std::atomic<int> nextLine_{0};
    std::atomic<int> linesDone_{0};
    std::atomic<int> linesTotal_{0};

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::uint64_t generation_ = 0;
    unsigned working_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// The passes exactly as defined, one pixel at a time on the calling thread:
// the yardstick for the tests and the benchmark.
void ComputeRowsReference(const ViewState& view, IterationBuffer& counts, int count);
void ComputeColumnsReference(const ViewState& view, IterationBuffer& counts, int count);

}  // namespace qarn
