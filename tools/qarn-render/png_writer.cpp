#include "png_writer.h"

#include <array>
#include <cstring>
#include <libdeflate.h>
#include <zlib.h>

namespace qarn::render {

// zlib makes a raw deflate stream; the zlib header and the Adler-32 checksum
// around it are written here, the checksum (and each chunk's CRC) by
// libdeflate's vectorised sums, several times faster than zlib's own.
struct PngWriter::Stream {
    z_stream z{};
    bool open = false;
    std::uint32_t adler = 1;
};

namespace {

constexpr std::size_t ChunkBytes = 1 << 18;  // compressed bytes in each IDAT chunk
constexpr std::uint8_t FilterSub = 1;
// Deflate with a 32 KiB window, the fastest level: (0x78 x 256 + 0x01) is a
// multiple of 31, as the header's check requires.
constexpr std::uint8_t ZlibHeader[] = {0x78, 0x01};

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
    if (deflateInit2(&stream_->z, 1, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK) {
        Failed(file_.Path() + ": the PNG could not be encoded");
        return;
    }
    stream_->open = true;
    std::memcpy(compressed_.data(), ZlibHeader, sizeof ZlibHeader);
    stream_->z.next_out = compressed_.data() + sizeof ZlibHeader;
    stream_->z.avail_out = static_cast<uInt>(compressed_.size() - sizeof ZlibHeader);
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
    std::uint32_t crc = libdeflate_crc32(0, head.data() + 4, 4);
    if (!data.empty()) crc = libdeflate_crc32(crc, data.data(), data.size());
    std::array<std::uint8_t, 4> tail{};
    PutBigEndian(tail.data(), crc);
    std::string failure = file_.Write(head);
    if (failure.empty()) failure = file_.Write(data);
    if (failure.empty()) failure = file_.Write(tail);
    if (!failure.empty()) return Failed(failure);
    return {};
}

std::string PngWriter::Deflate(bool last) {
    z_stream& z = stream_->z;
    // Writes what the buffer holds as a chunk and empties it.
    auto flush = [&]() -> std::string {
        const std::size_t made = compressed_.size() - z.avail_out;
        z.next_out = compressed_.data();
        z.avail_out = static_cast<uInt>(compressed_.size());
        return Chunk("IDAT", std::span(compressed_.data(), made));
    };
    for (;;) {
        const int result = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        if (result == Z_STREAM_ERROR) return Failed(file_.Path() + ": the PNG could not be encoded");
        if (last && result == Z_STREAM_END) {
            // The last chunk ends with the checksum of the filtered rows.
            if (z.avail_out < 4)
                if (std::string failure = flush(); !failure.empty()) return failure;
            PutBigEndian(z.next_out, stream_->adler);
            z.avail_out -= 4;
            return flush();
        }
        if (z.avail_out == 0)
            if (std::string failure = flush(); !failure.empty()) return failure;
        if (!last && z.avail_in == 0) return {};
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
    // A pixel's difference from the one to its left, as 0x00BBGGRR: red,
    // green and blue in memory order.
    auto difference = [&left](std::uint32_t colour) {
        const std::uint32_t bytes = __builtin_bswap32(ByteDifferences(colour, left) << 8);
        left = colour;
        return bytes;
    };
    std::size_t i = 0;
    // Four pixels in three four-byte stores.
    for (; i + 4 <= colours.size(); i += 4, out += 12) {
        const std::uint32_t a = difference(colours[i]);
        const std::uint32_t b = difference(colours[i + 1]);
        const std::uint32_t c = difference(colours[i + 2]);
        const std::uint32_t d = difference(colours[i + 3]);
        // (each word stored on its own: one wider copy of the three would
        // wait for them to reach memory first)
        const std::uint32_t first = a | b << 24, second = b >> 8 | c << 16, third = c >> 16 | d << 8;
        std::memcpy(out, &first, 4);
        std::memcpy(out + 4, &second, 4);
        std::memcpy(out + 8, &third, 4);
    }
    // The rest, each a four-byte store whose last byte the next overwrites.
    for (; i < colours.size(); ++i, out += 3) {
        const std::uint32_t bytes = difference(colours[i]);
        std::memcpy(out, &bytes, 4);
    }
    const std::size_t size = filtered_.size() - 1;
    stream_->adler = libdeflate_adler32(stream_->adler, filtered_.data(), size);
    z_stream& z = stream_->z;
    z.next_in = filtered_.data();
    z.avail_in = static_cast<uInt>(size);
    return Deflate(false);
}

std::string PngWriter::Finish() {
    if (!failure_.empty()) return failure_;
    if (rowsLeft_ != 0) return Failed(file_.Path() + ": the picture is incomplete");
    if (std::string failure = Deflate(true); !failure.empty()) return failure;
    return Chunk("IEND", {});
}

}  // namespace qarn::render
