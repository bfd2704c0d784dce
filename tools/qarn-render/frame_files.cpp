#include "frame_files.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "output_formats.h"
#include "utf8_path.h"

namespace qarn::render {
namespace {

// The last bytes of a file, or fewer if it is shorter.
template <std::size_t N>
bool LastBytes(const std::string& path, std::array<std::uint8_t, N>& bytes) {
    std::ifstream in(PathOfUtf8(path), std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < static_cast<std::streamoff>(N)) return false;
    in.seekg(size - static_cast<std::streamoff>(N));
    return static_cast<bool>(in.read(reinterpret_cast<char*>(bytes.data()), N));
}

}  // namespace

// The IEND chunk: no data, its type, and the CRC of its type.
bool EndsWithPngEnd(const std::string& path) {
    static constexpr std::array<std::uint8_t, 12> End{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    std::array<std::uint8_t, 12> last{};
    return LastBytes(path, last) && last == End;
}

bool IsWholeFrameFile(const std::string& path) {
    const OutputFormat* format = FormatOfName(path);
    if (format != nullptr && format->whole != nullptr) return format->whole(path);
    std::error_code ec;
    return std::filesystem::is_regular_file(PathOfUtf8(path), ec);
}

}  // namespace qarn::render
