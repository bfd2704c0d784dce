#include "output_formats.h"

#include <array>
#include <cctype>
#include <filesystem>
#include <string>

#include "frame_files.h"
#include "utf8_path.h"

namespace qarn::render {
namespace {

#if defined(QARN_HAVE_PNG)
constexpr PictureSinkFactory PngFactory = MakePngSink;
#else
constexpr PictureSinkFactory PngFactory = nullptr;  // this build writes no PNG
#endif
#if defined(QARN_HAVE_EXR)
constexpr PictureSinkFactory ExrFactory = MakeExrSink;
#else
constexpr PictureSinkFactory ExrFactory = nullptr;  // this build writes no OpenEXR
#endif

#if defined(QARN_HAVE_EXR)
constexpr bool (*ExrWhole)(const std::string&) = IsWholeExrFile;
#else
constexpr bool (*ExrWhole)(const std::string&) = nullptr;
#endif

constexpr std::array Formats{
    OutputFormat{PictureFormat::Bitmap, ".bmp", "bitmap", MakeBitmapSink, nullptr},
    OutputFormat{PictureFormat::Png, ".png", "PNG", PngFactory, EndsWithPngEnd},
    OutputFormat{PictureFormat::Exr, ".exr", "OpenEXR", ExrFactory, ExrWhole},
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
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

const OutputFormat& FormatEntry(PictureFormat format) {
    for (const OutputFormat& entry : Formats)
        if (entry.format == format) return entry;
    return Formats[0];
}

}  // namespace qarn::render
