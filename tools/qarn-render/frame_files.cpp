#include "frame_files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace qarn::render {
namespace {

bool EndsWith(const std::string& path, const std::string& suffix) {
    if (path.size() < suffix.size()) return false;
    return std::equal(suffix.rbegin(), suffix.rend(), path.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// The last bytes of a file, or fewer if it is shorter.
template <std::size_t N>
bool LastBytes(const std::string& path, std::array<std::uint8_t, N>& bytes) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < static_cast<std::streamoff>(N)) return false;
    in.seekg(size - static_cast<std::streamoff>(N));
    return static_cast<bool>(in.read(reinterpret_cast<char*>(bytes.data()), N));
}

// The IEND chunk: no data, its type, and the CRC of its type.
bool EndsWithPngEnd(const std::string& path) {
    static constexpr std::array<std::uint8_t, 12> End{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    std::array<std::uint8_t, 12> last{};
    return LastBytes(path, last) && last == End;
}

// Each format with an end mark, by its extension (lower case, with its dot).
struct EndMarkCheck {
    const char* extension;
    bool (*whole)(const std::string& path);
};
constexpr EndMarkCheck EndMarkChecks[] = {
    {".png", EndsWithPngEnd},
};

}  // namespace

bool IsWholeFrameFile(const std::string& path) {
    for (const EndMarkCheck& check : EndMarkChecks)
        if (EndsWith(path, check.extension)) return check.whole(path);
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace qarn::render
