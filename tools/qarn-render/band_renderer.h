#pragma once
#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "band_memory.h"
#include "colour/smooth_colour.h"
#include "engine/escape_state.h"
#include "engine/renderer.h"
#include "picture_areas.h"

namespace qarn::render {

class ProgressBar;

// rows x width points of a picture, row-major: their counts and, where the
// run asks for them, their continuous counts mu (0 where the count is 0) and
// their colours (coloured on the computing threads).
struct Band {
    std::span<const std::uint32_t> counts;
    std::span<const double> mu;
    std::span<const std::uint32_t> colours;
    int rows = 0;
    int width = 0;
};

// Takes a picture's bands, from the top, in order.
class BandSink {
public:
    virtual ~BandSink() = default;
    // Returns an empty string, or the reason the band could not be taken
    // (which ends the picture).
    [[nodiscard]] virtual std::string Take(const Band& band) = 0;
};

// What the computing threads work out beyond the counts, line by line as
// each line is final.
struct BandExtras {
    bool mu = false;                        // the continuous counts
    const PointColours* colours = nullptr;  // the points' colours (needs mu when smooth)
};

// Hands bands to their sinks on one thread of its own, made once for the
// whole run, one band at a time while the next one computes.
class BandWriter {
public:
    BandWriter();
    ~BandWriter();
    BandWriter(const BandWriter&) = delete;
    BandWriter& operator=(const BandWriter&) = delete;

    // Waits until the band before has been taken, then hands this one.
    void Hand(std::span<BandSink* const> sinks, const Band& band);
    // Waits until every band handed has been taken; returns the first
    // failure since the last Clear().
    [[nodiscard]] std::string Wait();
    void Clear();
    // Processor time the thread has spent taking bands.
    double Seconds();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::span<BandSink* const> sinks_;
    Band band_;
    bool pending_ = false;
    bool stopping_ = false;
    std::string failure_;
    double seconds_ = 0.0;
    std::thread thread_;
};

// Computes pictures of up to maxWidth points a row in bands of whole rows,
// through the renderer's kernels on all its threads. Each band's rows are a
// multiple of rowMultiple (the supersampling's subrows of one picture row).
// Its memory is two bands and one row of coordinates, made once, about
// 32 MiB at most for the widest rows (32 MiB with the extras: a band then
// holds fewer rows); never a whole picture.
//
// The mirror: a row whose imaginary part is the exact negation of an
// earlier row's has that row's counts, mu and colours (see row_mirror.cpp).
// Within a band the engine copies it; across bands the earlier row is kept
// until its image comes, within `mirrorBudget` bytes (4 a point, 8 more
// where the sinks take mu, 4 more where they take colours), for the rows
// nearest the axis first; rows past the budget are
// computed both times. The picture's imaginary parts, 16 bytes a row, are
// kept too.
inline constexpr std::size_t MirrorBudget = std::size_t{32} << 20;

class BandRenderer {
public:
    BandRenderer(unsigned threads, int maxWidth, int rowMultiple, bool extras = false,
                 std::size_t mirrorBudget = MirrorBudget);
    // Whether rows are copied from their mirror images (on by default; the
    // pictures are the same either way).
    void SetMirror(bool on);

    // Hands each band to every sink while the next band computes. Returns an
    // empty string, or the first failure (the engine's refusal of a band or
    // a sink's), after which nothing more is computed.
    [[nodiscard]] std::string Render(const PictureArea& area, std::uint32_t depth, std::span<BandSink* const> sinks,
                                     ProgressBar* progress, BandExtras extras = {});

    const Renderer& Engine() const { return renderer_; }
    int BandRows() const { return bandRows_; }
    // Escape tests of the last picture.
    std::uint64_t Tests() const { return tests_; }
    double WriterSeconds() { return writer_.Seconds(); }

private:
    struct LineWork;
    static void LineFinished(void* context, int line);
    static void LineMirrored(void* context, int line, int source);
    void PlanMirror(const PictureArea& area, BandExtras extras);
    void KeepMirrored(int top, int rows, int width, const std::uint32_t* counts, const double* mu,
                      const std::uint32_t* colours);
    void GiveMirrored(int top, int rows, int width, std::uint32_t* counts, double* mu, std::uint32_t* colours);

    Renderer renderer_;
    int maxWidth_;
    int bandRows_;
    std::vector<long double> re_;
    std::vector<double> reDouble_;
    std::vector<long double> im_;
    std::array<BandBuffer<std::uint32_t>, 2> counts_;
    // With the extras: the escape states of the band computing, and the mu
    // and colours of both bands.
    BandBuffer<EscapeState> states_;
    std::array<BandBuffer<double>, 2> mu_;
    std::array<BandBuffer<std::uint32_t>, 2> colours_;
    std::uint64_t tests_ = 0;
    // The mirror across bands: the picture's rows' imaginary parts, each
    // row's source (or -1), the kept rows [keptFirst_, keptFirst_ + keptRows_)
    // and the rows of the band computing that were taken from them.
    bool mirror_ = true;
    std::size_t mirrorBudget_;
    std::vector<long double> pictureIm_;
    std::vector<int> source_;
    int keptFirst_ = 0;
    int keptRows_ = 0;
    BandBuffer<std::uint32_t> keptCounts_;
    BandBuffer<double> keptMu_;
    BandBuffer<std::uint32_t> keptColours_;
    std::vector<std::uint8_t> given_;
    BandWriter writer_;  // last: its thread stops before the buffers go
};

}  // namespace qarn::render
