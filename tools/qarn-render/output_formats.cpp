#include "output_formats.h"

#include <array>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "png_writer.h"
#include "utf8_path.h"
#if defined(QARN_HAVE_EXR)
#include "exr_sink.h"
#endif

namespace qarn::render {
namespace {

#if defined(QARN_HAVE_EXR)
constexpr PictureSinkFactory ExrFactory = MakeExrSink;
constexpr bool (*ExrWhole)(const std::string&) = IsWholeExrFile;
#else
constexpr PictureSinkFactory ExrFactory = nullptr;  // this build writes no OpenEXR
constexpr bool (*ExrWhole)(const std::string&) = nullptr;
#endif

// In the order of preference where a name leaves the choice open.
constexpr std::array Formats{
    OutputFormat{.format = PictureFormat::Bitmap,
                 .extension = ".bmp",
                 .name = "bitmap",
                 .make = MakeBitmapSink,
                 .whole = nullptr,
                 .windowOnly = true,
                 .data = false},
    OutputFormat{.format = PictureFormat::Png,
                 .extension = ".png",
                 .name = "PNG",
                 .make = MakePngSink,
                 .whole = EndsWithPngEnd,
                 .windowOnly = false,
                 .data = false},
    OutputFormat{.format = PictureFormat::Exr,
                 .extension = ".exr",
                 .name = "OpenEXR",
                 .make = ExrFactory,
                 .whole = ExrWhole,
                 .windowOnly = false,
                 .data = true},
};

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// "a", "a or b", "a, b or c".
std::string Listed(const std::vector<std::string_view>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + std::string(names[i]);
    return text;
}

}  // namespace

std::span<const OutputFormat> OutputFormats() { return Formats; }

const OutputFormat* FormatOfName(std::string_view fileName) {
    const std::string extension = Lower(Utf8OfPath(PathOfUtf8(fileName).extension()));
    for (const OutputFormat& format : Formats)
        if (extension == format.extension) return &format;
    return nullptr;
}

const OutputFormat* FormatOfKeyword(std::string_view keyword) {
    const std::string lower = Lower(keyword);
    for (const OutputFormat& format : Formats)
        if (lower == format.Keyword()) return &format;
    return nullptr;
}

const OutputFormat& FormatEntry(PictureFormat format) {
    for (const OutputFormat& entry : Formats)
        if (entry.format == format) return entry;
    return Formats[0];
}

const OutputFormat& DefaultFormat(bool windowPicture) {
    for (const OutputFormat& format : Formats)
        if (format.Available() && (windowPicture || !format.windowOnly)) return format;
    return Formats[0];
}

const OutputFormat& DefaultFrameFormat() { return DefaultFormat(false); }

std::string AvailableExtensions() {
    std::vector<std::string_view> names;
    for (const OutputFormat& format : Formats)
        if (format.Available()) names.emplace_back(format.extension);
    return Listed(names);
}

std::string FrameKeywords() {
    std::vector<std::string_view> names;
    for (const OutputFormat& format : Formats)
        if (format.HoldsFrames()) names.push_back(format.Keyword());
    return Listed(names);
}

}  // namespace qarn::render
