#include "view_input.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#include <mpfr.h>

#include "deep/dyadic_text.h"
#include "engine/arithmetic_mode.h"
#include "engine/view_centre.h"
#include "persistence/coordinate_file.h"
#include "utf8_path.h"
#include "view_text.h"

namespace qarn::render {
namespace {

std::string ReadViewFile(const std::string& path, ViewState& view) {
    std::error_code ec;
    const auto status = std::filesystem::status(PathOfUtf8(path), ec);
    if (ec || !std::filesystem::exists(status)) return path + ": no such file";
    if (std::filesystem::is_directory(status)) return path + ": is a directory, not a coordinate file";
    if (!std::filesystem::is_regular_file(status)) return path + ": not a regular file";

#if defined(_WIN32)
    std::FILE* file = ::_wfopen(PathOfUtf8(path).c_str(), L"rb");
#else
    std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
    if (file == nullptr) return path + ": cannot be opened for reading";
    // One byte more than the largest form is enough to tell a wrong size.
    std::uint8_t bytes[CoordinateFileSize + 1];
    const std::size_t size = std::fread(bytes, 1, sizeof bytes, file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return path + ": read error";

    const CoordinateFileProblem problem = DecodeCoordinateFile(std::span(bytes, size), view);
    if (problem != CoordinateFileProblem::None) return path + ": refused coordinate file: " + DescribeProblem(problem);
    return {};
}

// A setting given as text replaces the view's field if it fits the field's
// type; one that does not fit is refused like a file's invalid value.
template <typename Field, typename Given>
bool Replace(Field& field, Given value) {
    if (value < Given{std::numeric_limits<Field>::min()} || value > Given{std::numeric_limits<Field>::max()})
        return false;
    field = static_cast<Field>(value);
    return true;
}

std::string Refused(CoordinateFileProblem problem) { return std::string("view refused: ") + DescribeProblem(problem); }

bool IsDeepLevel(const RenderOptions& options) {
    return options.level && *options.level > MaxZoomLevel && *options.level <= MaxDeepLevel;
}

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

template <typename Number>
bool WholeNumber(const std::string& text, Number& value, int base = 10) {
    std::string_view digits(text);
    if (base == 16 && digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits.remove_prefix(2);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    return !digits.empty() && ec == std::errc{} && end == digits.data() + digits.size();
}

}  // namespace

std::optional<std::int64_t> LevelOfZoom(const std::string& zoom) {
    // Z to 64 bits after the point; L = floor(log2 Z), then L + 1 where
    // Z^2 >= 2^(2L+1), decided exactly on integers.
    const std::optional<deep::DyadicNumber> z = deep::ReadDyadic(zoom, 64);
    if (!z || z->negative || z->magnitude.empty()) return std::nullopt;
    mpz_t n, square, bound;
    mpz_inits(n, square, bound, nullptr);
    deep::IntegerOf(*z, n);
    mpz_mul_2exp(n, n, static_cast<mp_bitcnt_t>(z->exponent + 64));  // Z x 2^64
    std::int64_t level = static_cast<std::int64_t>(mpz_sizeinbase(n, 2)) - 1 - 64;
    if (level >= 0) {
        mpz_mul(square, n, n);
        mpz_set_ui(bound, 1);
        mpz_mul_2exp(bound, bound, static_cast<mp_bitcnt_t>(2 * level + 1 + 128));
        if (mpz_cmp(square, bound) >= 0) ++level;
    }
    mpz_clears(n, square, bound, nullptr);
    return std::max<std::int64_t>(level, 0);
}

std::string ReadLocationText(RenderOptions& options) {
    if (!options.viewFile) return {};
    const std::string& path = *options.viewFile;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(PathOfUtf8(path), ec)) return {};  // the coordinate file's own refusals
    std::ifstream in(PathOfUtf8(path), std::ios::binary);
    if (!in) return {};
    // A location is small; a file far larger is no location text.
    constexpr std::size_t Largest = std::size_t{1} << 22;
    std::string content;
    content.resize(Largest + 1);
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));
    const bool text = !content.empty() && content.size() <= Largest &&
                      std::all_of(content.begin(), content.end(), [](char c) {
                          const auto u = static_cast<unsigned char>(c);
                          return (u >= 0x20 && u < 0x7F) || c == '\n' || c == '\r' || c == '\t';
                      });
    if (!text) return {};

    std::map<std::string, std::string> lines;  // keys in lower case
    std::istringstream stream(content);
    for (std::string line; std::getline(stream, line);) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = Trimmed(std::string_view(line).substr(0, colon));
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
        lines.emplace(key, Trimmed(std::string_view(line).substr(colon + 1)));
    }
    const auto refuse = [&](const std::string& why) { return path + ": refused location: " + why; };
    auto two = [](const std::string& value) {
        std::istringstream parts(value);
        std::string re, im, rest;
        parts >> re >> im;
        const bool ok = !re.empty() && !im.empty() && !(parts >> rest);
        return ok ? std::optional<LocationText>(LocationText{re, im}) : std::nullopt;
    };
    std::optional<LocationText> centre, origin;
    if (lines.count("centre")) {
        if (!(centre = two(lines["centre"]))) return refuse("centre needs two numbers");
    } else if (lines.count("re") || lines.count("im")) {
        if (!lines.count("re") || !lines.count("im") || lines["re"].empty() || lines["im"].empty())
            return refuse("needs both Re and Im");
        centre = LocationText{lines["re"], lines["im"]};
    }
    if (lines.count("origin") && !(origin = two(lines["origin"]))) return refuse("origin needs two numbers");

    std::int64_t level = 0;
    if (lines.count("level")) {
        if (!WholeNumber(lines["level"], level)) return refuse("level needs a whole number");
    } else if (lines.count("zoom")) {
        const std::optional<std::int64_t> fromZoom = LevelOfZoom(lines["zoom"]);
        if (!fromZoom) return refuse("Zoom needs a positive number");
        level = *fromZoom;
    } else {
        return refuse("no level (or Zoom) line");
    }
    ViewPoint point;
    const bool byOrigin = origin && level <= MaxZoomLevel;
    const LocationText& given = byOrigin ? *origin : centre ? *centre : LocationText{};
    if (!byOrigin && !centre) return refuse("no centre (or Re and Im) lines");
    if (!ParseReal(given.re, point.re) || !ParseReal(given.im, point.im)) return refuse("the location needs numbers");
    if (byOrigin) {
        options.origin = point;
    } else {
        options.at = point;
        options.atText = given;
    }
    if (!options.level) options.level = level;

    const auto setting = [&](const char* key, auto& field, int base) -> bool {
        if (!lines.count(key) || field) return true;
        typename std::remove_reference_t<decltype(field)>::value_type value{};
        if (!WholeNumber(lines[key], value, base)) return false;
        field = value;
        return true;
    };
    if (!setting("depth", options.depth, 10) || !setting("iterations", options.depth, 10))
        return refuse("depth needs a whole number");
    if (!setting("palette", options.palette, 16)) return refuse("palette needs a number such as 0x1007");
    if (!setting("shift", options.shift, 10)) return refuse("shift needs a whole number");
    options.viewFile.reset();
    return {};
}

std::optional<DeepLocation> DeepLocationOf(const RenderOptions& options) {
    if (options.viewFile || !IsDeepLevel(options) || !options.atText) return std::nullopt;
    const std::int64_t bits = CentreFractionBits(*options.level);
    std::optional<deep::DyadicNumber> re = deep::ReadDyadic(options.atText->re, bits);
    std::optional<deep::DyadicNumber> im = deep::ReadDyadic(options.atText->im, bits);
    if (!re || !im) return std::nullopt;
    return DeepLocation{std::move(*re), std::move(*im), *options.level};
}

ViewPoint NearestExtended(const DeepLocation& location) {
    mpfr_t exact;
    auto nearest = [&](const deep::DyadicNumber& part) {
        mpfr_init2(exact, static_cast<mpfr_prec_t>(64 * part.magnitude.size() + 64));
        deep::SetMpfr(exact, part);
        const long double value = mpfr_get_ld(exact, MPFR_RNDN);
        mpfr_clear(exact);
        return value;
    };
    return ViewPoint{nearest(location.re), nearest(location.im)};
}

std::string DefineView(const RenderOptions& options, ViewState& view) {
    SetArithmeticMode();
    view = ViewState{};
    InstallHomeView(view);
    if (options.viewFile) {
        std::string error = ReadViewFile(*options.viewFile, view);
        if (!error.empty()) return error;
    } else if (IsDeepLevel(options)) {
        if (!DeepLocationOf(options))
            return "view refused: --at past level 56 needs two finite numbers, decimal or hexadecimal";
        view.ZoomLevel = static_cast<std::int32_t>(*options.level);
        view.PixelStep = std::ldexp(1.0L, static_cast<int>(-(7 + *options.level)));
        const ViewPoint origin = OriginAround(*options.at, view.PixelStep);
        view.OriginRe = origin.re;
        view.OriginIm = origin.im;
    } else if (options.level) {
        if (!Replace(view.ZoomLevel, *options.level) || view.ZoomLevel < 0 || view.ZoomLevel > MaxZoomLevel)
            return options.at ? "view refused: zoom level outside 0 to " + std::to_string(MaxDeepLevel)
                              : Refused(CoordinateFileProblem::ZoomLevelOutOfRange);
        view.PixelStep = std::ldexp(1.0L, -(7 + view.ZoomLevel));
        if (options.at) {
            const ViewPoint origin = OriginAround(*options.at, view.PixelStep);
            view.OriginRe = origin.re;
            view.OriginIm = origin.im;
        } else if (options.origin) {
            view.OriginRe = options.origin->re;
            view.OriginIm = options.origin->im;
        }
    }
    if (options.depth && !Replace(view.Depth, *options.depth)) return Refused(CoordinateFileProblem::DepthInvalid);
    if (options.palette && !Replace(view.PaletteMode, *options.palette))
        return Refused(CoordinateFileProblem::PaletteSizeInvalid);
    if (options.shift && !Replace(view.ColourShift, *options.shift))
        return Refused(CoordinateFileProblem::ColourShiftOutOfRange);
    // A deep view's level is checked above; its other settings as any view's.
    ViewState settings = view;
    if (settings.ZoomLevel > MaxZoomLevel && !options.viewFile) settings.ZoomLevel = MaxZoomLevel;
    const CoordinateFileProblem problem = CheckViewSettings(settings);
    if (problem != CoordinateFileProblem::None) return Refused(problem);
    return {};
}

}  // namespace qarn::render
