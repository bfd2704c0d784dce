#pragma once
// A PNG reader of the tests' own, for the 8-bit RGB pictures the tool
// writes: it checks the signature, every chunk's CRC (computed here, bit by
// bit), the IHDR and the IEND that ends the file, inflates the IDAT data with
// libdeflate (the tool compresses with ISA-L) and undoes filters 0 to 4. The
// bytes of a PNG depend on its compressor's build; its pixels do not.
#include <libdeflate.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace qarn::testing {

struct PngPixels {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgb;  // red, green, blue, top row first
    std::string error;              // empty when the file is a whole PNG
};

inline std::uint32_t PngCrc(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline std::uint32_t BigEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

inline int Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

inline PngPixels DecodePng(const std::vector<std::uint8_t>& file) {
    PngPixels png;
    auto fail = [&](const std::string& why) {
        png.error = why;
        png.rgb.clear();
        return png;
    };
    static const std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < 8 || !std::equal(Signature, Signature + 8, file.begin())) return fail("no PNG signature");
    std::vector<std::uint8_t> idat;
    bool ended = false;
    for (std::size_t at = 8; !ended;) {
        if (file.size() - at < 12) return fail("a chunk is cut short at byte " + std::to_string(at));
        const std::uint32_t length = BigEndian32(&file[at]);
        if (length > file.size() - at - 12) return fail("a chunk is cut short at byte " + std::to_string(at));
        const std::string type(file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                               file.begin() + static_cast<std::ptrdiff_t>(at + 8));
        const std::uint8_t* data = &file[at + 8];
        if (PngCrc(&file[at + 4], length + 4) != BigEndian32(data + length)) return fail(type + ": wrong CRC");
        if (at == 8 && type != "IHDR") return fail("the first chunk is not IHDR");
        if (type == "IHDR") {
            if (length != 13) return fail("IHDR of " + std::to_string(length) + " bytes");
            png.width = BigEndian32(data);
            png.height = BigEndian32(data + 4);
            if (png.width == 0 || png.height == 0) return fail("an empty picture");
            if (data[8] != 8 || data[9] != 2 || data[10] != 0 || data[11] != 0 || data[12] != 0)
                return fail("not 8-bit RGB, deflated, filtered by rows, not interlaced");
        } else if (type == "IDAT") {
            idat.insert(idat.end(), data, data + length);
        } else if (type == "IEND") {
            if (length != 0) return fail("IEND holds data");
            ended = true;
        } else if (!(type[0] & 0x20)) {
            return fail("an unknown critical chunk " + type);
        }
        at += 12 + length;
        if (ended && at != file.size()) return fail("bytes after IEND");
    }
    const std::size_t stride = std::size_t{png.width} * 3;
    std::vector<std::uint8_t> raw((stride + 1) * png.height);
    const std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> inflater(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    // Exactly the filtered rows, no byte more or less.
    if (libdeflate_zlib_decompress(inflater.get(), idat.data(), idat.size(), raw.data(), raw.size(), nullptr) !=
        LIBDEFLATE_SUCCESS)
        return fail("the IDAT data do not inflate to the filtered rows");
    png.rgb.resize(stride * png.height);
    for (std::size_t row = 0; row < png.height; ++row) {
        const std::uint8_t filter = raw[row * (stride + 1)];
        const std::uint8_t* in = &raw[row * (stride + 1) + 1];
        std::uint8_t* out = &png.rgb[row * stride];
        const std::uint8_t* up = row > 0 ? out - stride : nullptr;
        for (std::size_t i = 0; i < stride; ++i) {
            const int a = i >= 3 ? out[i - 3] : 0, b = up ? up[i] : 0, c = up && i >= 3 ? up[i - 3] : 0;
            int predicted = 0;
            switch (filter) {
            case 0: break;
            case 1: predicted = a; break;
            case 2: predicted = b; break;
            case 3: predicted = (a + b) / 2; break;
            case 4: predicted = Paeth(a, b, c); break;
            default: return fail("row " + std::to_string(row) + ": filter " + std::to_string(filter));
            }
            out[i] = static_cast<std::uint8_t>(in[i] + predicted);
        }
    }
    return png;
}

}  // namespace qarn::testing
