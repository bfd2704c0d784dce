#include "png_writer.h"

#include <array>
#include <cstring>
#include <fstream>

#include "utf8_path.h"

#if defined(QARN_PNG_ZLIB)
#include <zlib.h>
#else
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#endif

namespace qarn::render {

namespace {

constexpr std::size_t ChunkBytes = 1 << 18;  // compressed bytes in each IDAT chunk
constexpr std::uint8_t FilterUp = 2;
#if !defined(QARN_PNG_ZLIB)
// Matches reach back 4 bytes at most. Where a row equals the one above, its
// filtered bytes are zeros, coded as long matches one byte back; a longer
// reach finds older runs of zeros first, at distances that cost more bits
// than they save (a 16384 x 16384 print: 6.4 MiB so, 7.5 MiB with 256
// bytes, 8.7 MiB with the whole 32 KiB).
constexpr std::uint16_t HistoryBits = 2;
#endif

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

#if defined(QARN_PNG_ZLIB)
// zlib's deflate with run-length matches only (Z_RLE: every match one byte
// back), which is what the filtered rows of wide areas of one colour need
// and the cheapest of zlib's searches. Its bytes differ from ISA-L's, its
// pixels do not.
struct PngWriter::Stream {
    z_stream z{};
    bool ready = false;
    ~Stream() {
        if (ready) deflateEnd(&z);
    }
};

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* bytes, std::size_t size) {
    return static_cast<std::uint32_t>(crc32(crc, bytes, static_cast<uInt>(size)));
}
#else
// ISA-L's deflate at level 1, in a zlib wrapper it writes itself (header and
// Adler-32); its state and working buffer have fixed sizes.
struct PngWriter::Stream {
    isal_zstream z{};
    std::vector<std::uint8_t> levelBuffer = std::vector<std::uint8_t>(ISAL_DEF_LVL1_DEFAULT);
};

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* bytes, std::size_t size) {
    return libdeflate_crc32(crc, bytes, size);
}
#endif

PngWriter::PngWriter(OutputFile& file, int width, int height)
    : file_(file),
      width_(width),
      rowsLeft_(height),
      stream_(std::make_unique<Stream>()),
      above_(static_cast<std::size_t>(width)),  // the row above the first is zeros
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
#if defined(QARN_PNG_ZLIB)
    z_stream& z = stream_->z;
    if (deflateInit2(&z, 1, Z_DEFLATED, 15, 8, Z_RLE) != Z_OK) {
        Failed(file_.Path() + ": the PNG could not be encoded");
        return;
    }
    stream_->ready = true;
#else
    isal_zstream& z = stream_->z;
    isal_deflate_init(&z);
    z.level = 1;
    z.level_buf = stream_->levelBuffer.data();
    z.level_buf_size = static_cast<std::uint32_t>(stream_->levelBuffer.size());
    z.gzip_flag = IGZIP_ZLIB;
    z.hist_bits = HistoryBits;
#endif
    z.next_out = compressed_.data();
    z.avail_out = static_cast<std::uint32_t>(compressed_.size());
}

PngWriter::~PngWriter() = default;

std::string PngWriter::Failed(const std::string& reason) {
    if (failure_.empty()) failure_ = reason;
    return failure_;
}

std::string PngWriter::Chunk(const char* type, std::span<const std::uint8_t> data) {
    std::array<std::uint8_t, 8> head{};
    PutBigEndian(head.data(), static_cast<std::uint32_t>(data.size()));
    std::memcpy(head.data() + 4, type, 4);
    std::uint32_t crc = Crc32(0, head.data() + 4, 4);
    if (!data.empty()) crc = Crc32(crc, data.data(), data.size());
    std::array<std::uint8_t, 4> tail{};
    PutBigEndian(tail.data(), crc);
    std::string failure = file_.Write(head);
    if (failure.empty()) failure = file_.Write(data);
    if (failure.empty()) failure = file_.Write(tail);
    if (!failure.empty()) return Failed(failure);
    return {};
}

std::string PngWriter::Deflate(bool last) {
#if defined(QARN_PNG_ZLIB)
    z_stream& z = stream_->z;
#else
    isal_zstream& z = stream_->z;
#endif
    // Writes what the buffer holds as a chunk and empties it.
    auto flush = [&]() -> std::string {
        const std::size_t made = compressed_.size() - z.avail_out;
        z.next_out = compressed_.data();
        z.avail_out = static_cast<std::uint32_t>(compressed_.size());
        return Chunk("IDAT", std::span(compressed_.data(), made));
    };
#if defined(QARN_PNG_ZLIB)
    for (;;) {
        const int status = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        if (status == Z_STREAM_ERROR) return Failed(file_.Path() + ": the PNG could not be encoded");
        if (last && status == Z_STREAM_END) return flush();
#else
    z.end_of_stream = last ? 1 : 0;
    for (;;) {
        if (isal_deflate(&z) != COMP_OK) return Failed(file_.Path() + ": the PNG could not be encoded");
        if (last && z.internal_state.state == ZSTATE_END) return flush();
#endif
        if (z.avail_out == 0) {
            if (std::string failure = flush(); !failure.empty()) return failure;
        } else if (!last && z.avail_in == 0) {
            return {};
        }
    }
}

std::string PngWriter::WriteRow(std::span<const std::uint32_t> colours) {
    if (!failure_.empty()) return failure_;
    if (rowsLeft_ == 0 || colours.size() != static_cast<std::size_t>(width_))
        return Failed(file_.Path() + ": the PNG's rows do not fit it");
    --rowsLeft_;
    filtered_[0] = FilterUp;
    std::uint8_t* out = filtered_.data() + 1;
    std::uint32_t* above = above_.data();
    // A pixel's difference from the one above it, as 0x00BBGGRR: red, green
    // and blue in memory order.
    auto difference = [above](std::size_t i, std::uint32_t colour) {
        const std::uint32_t bytes = __builtin_bswap32(ByteDifferences(colour, above[i]) << 8);
        above[i] = colour;
        return bytes;
    };
    std::size_t i = 0;
    // Four pixels in three four-byte stores.
    for (; i + 4 <= colours.size(); i += 4, out += 12) {
        const std::uint32_t a = difference(i, colours[i]);
        const std::uint32_t b = difference(i + 1, colours[i + 1]);
        const std::uint32_t c = difference(i + 2, colours[i + 2]);
        const std::uint32_t d = difference(i + 3, colours[i + 3]);
        // (each word stored on its own: one wider copy of the three would
        // wait for them to reach memory first)
        const std::uint32_t first = a | b << 24, second = b >> 8 | c << 16, third = c >> 16 | d << 8;
        std::memcpy(out, &first, 4);
        std::memcpy(out + 4, &second, 4);
        std::memcpy(out + 8, &third, 4);
    }
    // The rest, each a four-byte store whose last byte the next overwrites.
    for (; i < colours.size(); ++i, out += 3) {
        const std::uint32_t bytes = difference(i, colours[i]);
        std::memcpy(out, &bytes, 4);
    }
    auto& z = stream_->z;
    z.next_in = filtered_.data();
    z.avail_in = static_cast<std::uint32_t>(filtered_.size() - 1);
    return Deflate(false);
}

std::string PngWriter::Finish() {
    if (!failure_.empty()) return failure_;
    if (rowsLeft_ != 0) return Failed(file_.Path() + ": the picture is incomplete");
    if (std::string failure = Deflate(true); !failure.empty()) return failure;
    return Chunk("IEND", {});
}

// The IEND chunk: no data, its type, and the CRC of its type.
bool EndsWithPngEnd(const std::string& path) {
    static constexpr std::array<std::uint8_t, 12> End{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    std::ifstream in(PathOfUtf8(path), std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < static_cast<std::streamoff>(End.size())) return false;
    in.seekg(size - static_cast<std::streamoff>(End.size()));
    std::array<std::uint8_t, 12> last{};
    return in.read(reinterpret_cast<char*>(last.data()), last.size()) && last == End;
}

}  // namespace qarn::render
