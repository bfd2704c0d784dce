#pragma once
#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "engine/renderer.h"
#include "picture_areas.h"

namespace qarn::render {

class ProgressBar;

// Takes a picture's counts band by band, from the top, in order.
class BandSink {
public:
    virtual ~BandSink() = default;
    // rows x width counts, row-major. Returns an empty string, or the reason
    // the band could not be taken (which ends the picture).
    [[nodiscard]] virtual std::string Take(std::span<const std::uint32_t> counts, int rows, int width) = 0;
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
    void Hand(std::span<BandSink* const> sinks, std::span<const std::uint32_t> counts, int rows, int width);
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
    std::span<const std::uint32_t> counts_;
    int rows_ = 0;
    int width_ = 0;
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
// 32 MiB at most for the widest rows; never a whole picture.
class BandRenderer {
public:
    BandRenderer(unsigned threads, int maxWidth, int rowMultiple);

    // Hands each band to every sink while the next band computes. Returns an
    // empty string, or the first failure (the engine's refusal of a band or
    // a sink's), after which nothing more is computed.
    [[nodiscard]] std::string Render(const PictureArea& area, std::uint32_t depth, std::span<BandSink* const> sinks,
                       ProgressBar* progress);

    const Renderer& Engine() const { return renderer_; }
    int BandRows() const { return bandRows_; }
    // Escape tests of the last picture.
    std::uint64_t Tests() const { return tests_; }
    double WriterSeconds() { return writer_.Seconds(); }

private:
    Renderer renderer_;
    int maxWidth_;
    int bandRows_;
    std::vector<long double> re_;
    std::vector<long double> im_;
    std::array<std::vector<std::uint32_t>, 2> counts_;
    std::uint64_t tests_ = 0;
    BandWriter writer_;  // last: its thread stops before the buffers go
};

}  // namespace qarn::render
