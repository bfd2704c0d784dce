#include "png_writer.h"

#include <array>
#include <cstring>
#include <zlib.h>

namespace qarn::render {

struct PngWriter::Stream {
    z_stream z{};
    bool open = false;
};

namespace {

constexpr std::size_t ChunkBytes = 1 << 18;  // compressed bytes in each IDAT chunk
constexpr std::uint8_t FilterSub = 1;

void PutBigEndian(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

// The bytes of a - b, each byte on its own (no borrow between them).
std::uint32_t ByteDifferences(std::uint32_t a, std::uint32_t b) {
    return ((a | 0x80808080u) - (b & 0x7F7F7F7Fu)) ^ ((a ^ ~b) & 0x80808080u);
}

}  // namespace

PngWriter::PngWriter(OutputFile& file, int width, int height)
    : file_(file),
      width_(width),
      rowsLeft_(height),
      stream_(std::make_unique<Stream>()),
      // The filter byte, three bytes a pixel, and one byte of room for the
      // four-byte stores of the last pixel.
      filtered_(1 + 3 * static_cast<std::size_t>(width) + 1),
      compressed_(ChunkBytes) {
    static constexpr std::uint8_t Signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (std::string failure = file_.Write(Signature); !failure.empty()) {
        Failed(failure);
        return;
    }
    std::array<std::uint8_t, 13> header{};
    PutBigEndian(header.data(), static_cast<std::uint32_t>(width));
    PutBigEndian(header.data() + 4, static_cast<std::uint32_t>(height));
    header[8] = 8;  // bits per component
    header[9] = 2;  // RGB; compression, filtering and interlace 0
    if (!Chunk("IHDR", header).empty()) return;
    if (deflateInit2(&stream_->z, 1, Z_DEFLATED, 15, 8, Z_RLE) != Z_OK) {
        Failed(file_.Path() + ": the PNG could not be encoded");
        return;
    }
    stream_->open = true;
    stream_->z.next_out = compressed_.data();
    stream_->z.avail_out = static_cast<uInt>(compressed_.size());
}

PngWriter::~PngWriter() {
    if (stream_->open) deflateEnd(&stream_->z);
}

std::string PngWriter::Failed(const std::string& reason) {
    if (failure_.empty()) failure_ = reason;
    return failure_;
}

std::string PngWriter::Chunk(const char* type, std::span<const std::uint8_t> data) {
    std::array<std::uint8_t, 8> head{};
    PutBigEndian(head.data(), static_cast<std::uint32_t>(data.size()));
    std::memcpy(head.data() + 4, type, 4);
    uLong crc = crc32(0L, head.data() + 4, 4);
    // (zlib takes a null buffer as a request for the starting value)
    if (!data.empty()) crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
    std::array<std::uint8_t, 4> tail{};
    PutBigEndian(tail.data(), static_cast<std::uint32_t>(crc));
    std::string failure = file_.Write(head);
    if (failure.empty()) failure = file_.Write(data);
    if (failure.empty()) failure = file_.Write(tail);
    if (!failure.empty()) return Failed(failure);
    return {};
}

std::string PngWriter::Deflate(bool last) {
    z_stream& z = stream_->z;
    for (;;) {
        const int result = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        if (result == Z_STREAM_ERROR) return Failed(file_.Path() + ": the PNG could not be encoded");
        const bool ended = last && result == Z_STREAM_END;
        // A chunk is written whenever the buffer fills, and the rest at the end.
        if (z.avail_out == 0 || ended) {
            const std::size_t made = compressed_.size() - z.avail_out;
            if (std::string failure = Chunk("IDAT", std::span(compressed_.data(), made)); !failure.empty())
                return failure;
            z.next_out = compressed_.data();
            z.avail_out = static_cast<uInt>(compressed_.size());
        }
        if (ended || (!last && z.avail_in == 0)) return {};
    }
}

std::string PngWriter::WriteRow(std::span<const std::uint32_t> colours) {
    if (!failure_.empty()) return failure_;
    if (rowsLeft_ == 0 || colours.size() != static_cast<std::size_t>(width_))
        return Failed(file_.Path() + ": the PNG's rows do not fit it");
    --rowsLeft_;
    filtered_[0] = FilterSub;
    std::uint8_t* out = filtered_.data() + 1;
    std::uint32_t left = 0;
    for (const std::uint32_t colour : colours) {
        // 0x00RRGGBB minus the pixel to the left, stored as R, G, B (and a
        // byte that the next pixel overwrites).
        const std::uint32_t bytes = __builtin_bswap32(ByteDifferences(colour, left) << 8);
        std::memcpy(out, &bytes, 4);
        out += 3;
        left = colour;
    }
    z_stream& z = stream_->z;
    z.next_in = filtered_.data();
    z.avail_in = static_cast<uInt>(filtered_.size() - 1);
    return Deflate(false);
}

std::string PngWriter::Finish() {
    if (!failure_.empty()) return failure_;
    if (rowsLeft_ != 0) return Failed(file_.Path() + ": the picture is incomplete");
    if (std::string failure = Deflate(true); !failure.empty()) return failure;
    return Chunk("IEND", {});
}

}  // namespace qarn::render
