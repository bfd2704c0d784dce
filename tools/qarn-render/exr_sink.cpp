// OpenEXR pictures: a scanline file written a block of rows at a time
// through OutputFile (beside the target, moved into place when complete),
// never the whole picture in memory.
#include <ImfChannelList.h>
#include <ImfCompression.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfIO.h>
#include <ImfOutputFile.h>
#include <IexBaseExc.h>
#include <half.h>

#include <ImfThreading.h>

#include <algorithm>
#include <array>
#include <thread>
#include <memory>
#include <optional>
#include <vector>

#include "colour/linear_light.h"
#include "exr_sink.h"
#include "output_formats.h"

namespace qarn::render {
namespace {

// The library's writes go to the OutputFile: appended at the end, or (for
// the table of row offsets at the start, filled in last) written over.
class ExrStream final : public Imf::OStream {
public:
    explicit ExrStream(OutputFile& file) : Imf::OStream(file.Path().c_str()), file_(file) {}

    void write(const char c[], int n) override {
        const std::span bytes(reinterpret_cast<const std::uint8_t*>(c), static_cast<std::size_t>(n));
        const std::string failure = position_ == end_ ? file_.Write(bytes) : file_.WriteAt(position_, bytes);
        if (!failure.empty()) throw Iex::IoExc(failure);
        position_ += static_cast<std::uint64_t>(n);
        end_ = std::max(end_, position_);
    }
    std::uint64_t tellp() override { return position_; }
    void seekp(std::uint64_t position) override { position_ = position; }

private:
    OutputFile& file_;
    std::uint64_t position_ = 0;
    std::uint64_t end_ = 0;
};

// Rows handed to the library at once: up to 16, at most about 8 MiB of them.
// Each is a block of its own (ZIPS), compressed on the library's threads.
int BlockRowsFor(int width) {
    constexpr std::size_t Budget = std::size_t{8} << 20;
    constexpr std::size_t BytesPerPixel = 3 * sizeof(half) + sizeof(std::uint32_t) + sizeof(float);
    return static_cast<int>(std::clamp<std::size_t>(Budget / (BytesPerPixel * static_cast<std::size_t>(width)), 1, 16));
}

// The library compresses a call's rows on a pool of threads, one for each
// hardware thread, made once. They are made with interruptions held back, so
// that these come only to the thread that creates and moves the files.
void UseTheLibrarysThreads() {
    static const bool set = [] {
        const InterruptionsHeldBack heldBack;
        if (Imf::globalThreadCount() == 0)
            Imf::setGlobalThreadCount(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
        return true;
    }();
    (void)set;
}

// The half nearest to each 8-bit component's linear value (its 2^-24 steps
// are exact in a float, so one rounding).
const std::array<half, 256>& HalfOfComponent() {
    static const std::array<half, 256> table = [] {
        std::array<half, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[static_cast<std::size_t>(c)] = half(static_cast<float>(LinearOf(static_cast<std::uint8_t>(c))) /
                                                  static_cast<float>(LinearOne));
        return t;
    }();
    return table;
}

class ExrSink final : public PictureSink {
public:
    ExrSink(OutputFile& file, const ViewState& view, PictureShape shape)
        : PictureSink(view, shape),
          file_(file),
          width_(shape.width),
          height_(shape.height),
          data_(FormatEntry(PictureFormat::Exr).CarriesData(shape.supersample)),
          blockRows_(BlockRowsFor(shape.width)),
          rgb_(3 * static_cast<std::size_t>(shape.width) * static_cast<std::size_t>(blockRows_)),
          counts_(data_ ? static_cast<std::size_t>(shape.width) * static_cast<std::size_t>(blockRows_) : 0),
          mu_(data_ ? static_cast<std::size_t>(shape.width) * static_cast<std::size_t>(blockRows_) : 0),
          stream_(file) {
        UseTheLibrarysThreads();
        Imf::Header header(width_, height_);
        // zlib at level 1, one row a block: measured the fastest with ZIP's
        // size within 5 %, and memory that does not grow with the block.
        header.compression() = Imf::ZIPS_COMPRESSION;
        header.zipCompressionLevel() = 1;
        header.channels().insert("R", Imf::Channel(Imf::HALF));
        header.channels().insert("G", Imf::Channel(Imf::HALF));
        header.channels().insert("B", Imf::Channel(Imf::HALF));
        if (data_) {
            header.channels().insert("N", Imf::Channel(Imf::UINT));
            header.channels().insert("mu", Imf::Channel(Imf::FLOAT));
        }
        try {
            exr_.emplace(stream_, header);
        } catch (const std::exception& e) {
            failure_ = e.what();
        }
    }

    std::string Finish() override {
        if (!failure_.empty()) return failure_;
        if (next_ != height_) return file_.Path() + ": the picture is incomplete";
        // Closing the library's file writes the table of row offsets; a
        // failure there stays in the OutputFile, whose Commit reports it.
        exr_.reset();
        return {};
    }

private:
    std::string Row(const PictureRow& row) override {
        if (!failure_.empty()) return failure_;
        if (static_cast<int>(row.colours.size()) != width_ || next_ + buffered_ >= height_)
            return file_.Path() + ": the row does not fit the picture";
        const std::size_t at = static_cast<std::size_t>(buffered_) * static_cast<std::size_t>(width_);
        const std::array<half, 256>& halves = HalfOfComponent();
        for (int x = 0; x < width_; ++x) {
            const std::uint32_t colour = row.colours[static_cast<std::size_t>(x)];
            half* rgb = &rgb_[3 * (at + static_cast<std::size_t>(x))];
            rgb[0] = halves[colour >> 16 & 0xFF];
            rgb[1] = halves[colour >> 8 & 0xFF];
            rgb[2] = halves[colour & 0xFF];
        }
        if (data_) {
            if (row.counts.size() != static_cast<std::size_t>(width_) || row.mu.size() != row.counts.size())
                return file_.Path() + ": the counts or mu are missing";
            std::copy(row.counts.begin(), row.counts.end(), counts_.begin() + static_cast<std::ptrdiff_t>(at));
            for (int x = 0; x < width_; ++x)
                mu_[at + static_cast<std::size_t>(x)] = static_cast<float>(row.mu[static_cast<std::size_t>(x)]);
        }
        ++buffered_;
        if (buffered_ == blockRows_ || next_ + buffered_ == height_) return Flush();
        return {};
    }

    std::string Flush() {
        try {
            // Slices address row y of the file at base + y x yStride: the
            // block's first row is next_.
            const std::size_t rgbRow = 3 * sizeof(half) * static_cast<std::size_t>(width_);
            char* rgb = reinterpret_cast<char*>(rgb_.data()) -
                        static_cast<std::ptrdiff_t>(next_) * static_cast<std::ptrdiff_t>(rgbRow);
            Imf::FrameBuffer frame;
            frame.insert("R", Imf::Slice(Imf::HALF, rgb, 3 * sizeof(half), rgbRow));
            frame.insert("G", Imf::Slice(Imf::HALF, rgb + sizeof(half), 3 * sizeof(half), rgbRow));
            frame.insert("B", Imf::Slice(Imf::HALF, rgb + 2 * sizeof(half), 3 * sizeof(half), rgbRow));
            if (data_) {
                const std::size_t countRow = sizeof(std::uint32_t) * static_cast<std::size_t>(width_);
                const std::size_t muRow = sizeof(float) * static_cast<std::size_t>(width_);
                frame.insert("N", Imf::Slice(Imf::UINT,
                                             reinterpret_cast<char*>(counts_.data()) -
                                                 next_ * static_cast<std::ptrdiff_t>(countRow),
                                             sizeof(std::uint32_t), countRow));
                frame.insert("mu", Imf::Slice(Imf::FLOAT,
                                              reinterpret_cast<char*>(mu_.data()) -
                                                  next_ * static_cast<std::ptrdiff_t>(muRow),
                                              sizeof(float), muRow));
            }
            exr_->setFrameBuffer(frame);
            exr_->writePixels(buffered_);
        } catch (const std::exception& e) {
            failure_ = e.what();
            return failure_;
        }
        next_ += buffered_;
        buffered_ = 0;
        return {};
    }

    OutputFile& file_;
    int width_;
    int height_;
    bool data_;
    int blockRows_;
    std::vector<half> rgb_;
    std::vector<std::uint32_t> counts_;
    std::vector<float> mu_;
    ExrStream stream_;
    std::optional<Imf::OutputFile> exr_;
    std::string failure_;
    int next_ = 0;      // rows given to the library
    int buffered_ = 0;  // rows waiting in the block
};

}  // namespace

bool IsWholeExrFile(const std::string& path) {
    // Every block read back through the library: a file cut short fails
    // there. One channel goes to one row, so that the reading needs no
    // picture's memory.
    try {
        Imf::InputFile file(path.c_str());
        if (!file.isComplete()) return false;
        const Imath::Box2i window = file.header().dataWindow();
        std::vector<half> row(static_cast<std::size_t>(window.max.x) - window.min.x + 1);
        Imf::FrameBuffer frameBuffer;
        char* base = reinterpret_cast<char*>(row.data()) - static_cast<std::ptrdiff_t>(window.min.x) * sizeof(half);
        frameBuffer.insert("R", Imf::Slice(Imf::HALF, base, sizeof(half), 0));
        file.setFrameBuffer(frameBuffer);
        file.readPixels(window.min.y, window.max.y);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::unique_ptr<PictureSink> MakeExrSink(OutputFile& file, const ViewState& view, PictureShape shape) {
    return std::make_unique<ExrSink>(file, view, shape);
}

}  // namespace qarn::render
