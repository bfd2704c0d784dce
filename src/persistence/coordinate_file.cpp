#include "persistence/coordinate_file.h"

#include <bit>
#include <cstring>

namespace qarn {
namespace {

static_assert(std::endian::native == std::endian::little, "the record is stored as in memory");

struct LegacyPalette {
    std::uint32_t PaletteMode;
    std::uint32_t Depth;
};
constexpr LegacyPalette LegacyPaletteTable[] = {
    {2048 + 7, 2048}, {256 + 7, 2048}, {2048 + 7, 4096}, {4096 + 7, 4096}, {1024 + 7, 1024},
};
constexpr std::uint32_t LegacyPaletteCount = sizeof(LegacyPaletteTable) / sizeof(LegacyPaletteTable[0]);

template <typename T>
void Put(CoordinateRecord& record, std::size_t at, T value) {
    std::memcpy(record.data() + at, &value, sizeof value);
}

template <typename T>
T Get(std::span<const std::uint8_t> bytes, std::size_t at) {
    T value{};
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

bool IsPowerOfTwoBetween(std::uint32_t value, std::uint32_t low, std::uint32_t high) {
    return value >= low && value <= high && std::has_single_bit(value);
}

}  // namespace

CoordinateFileProblem CheckViewSettings(const ViewState& view) {
    if (view.ZoomLevel < 0 || view.ZoomLevel > MaxZoomLevel) return CoordinateFileProblem::ZoomLevelOutOfRange;
    if (!IsPowerOfTwoBetween(view.PaletteMode & ~0xFFu, 256, 4096)) return CoordinateFileProblem::PaletteSizeInvalid;
    if (view.ColourShift < 0 || view.ColourShift > 4096) return CoordinateFileProblem::ColourShiftOutOfRange;
    if (!IsPowerOfTwoBetween(view.Depth, 512, 4096)) return CoordinateFileProblem::DepthInvalid;
    return CoordinateFileProblem::None;
}

CoordinateRecord EncodeViewState(const ViewState& view) {
    CoordinateRecord record{};
    const ExtendedImage re = ToImage(view.OriginRe);
    const ExtendedImage im = ToImage(view.OriginIm);
    const ExtendedImage step = ToImage(view.PixelStep);
    std::memcpy(record.data() + 0, re.data(), re.size());
    std::memcpy(record.data() + 10, im.data(), im.size());
    std::memcpy(record.data() + 20, step.data(), step.size());
    Put(record, 30, view.ZoomLevel);
    Put(record, 34, view.PaletteMode);
    Put(record, 38, view.ColourShift);
    Put(record, 42, view.Depth);
    return record;
}

CoordinateFileProblem DecodeCoordinateFile(std::span<const std::uint8_t> bytes, ViewState& view) {
    if (bytes.size() != CoordinateFileSize && bytes.size() != LegacyCoordinateFileSize)
        return CoordinateFileProblem::WrongSize;

    ViewState loaded = view;
    loaded.OriginRe = FromImage(bytes.data() + 0);
    loaded.OriginIm = FromImage(bytes.data() + 10);
    loaded.PixelStep = FromImage(bytes.data() + 20);
    loaded.ZoomLevel = Get<std::int32_t>(bytes, 30);
    loaded.ColourShift = Get<std::int32_t>(bytes, 38);
    if (bytes.size() == LegacyCoordinateFileSize) {
        const auto number = Get<std::uint32_t>(bytes, 34);
        if (number >= LegacyPaletteCount) return CoordinateFileProblem::LegacyPaletteNumber;
        loaded.PaletteMode = LegacyPaletteTable[number].PaletteMode;
        loaded.Depth = LegacyPaletteTable[number].Depth;
    } else {
        loaded.PaletteMode = Get<std::uint32_t>(bytes, 34) & 0xFFFFu;
        loaded.Depth = Get<std::uint32_t>(bytes, 42);
    }

    const CoordinateFileProblem problem = CheckViewSettings(loaded);
    if (problem == CoordinateFileProblem::None) view = loaded;
    return problem;
}

const char* DescribeProblem(CoordinateFileProblem problem) {
    switch (problem) {
    case CoordinateFileProblem::None: return "no problem";
    case CoordinateFileProblem::WrongSize: return "the size is neither 42 nor 46 bytes";
    case CoordinateFileProblem::ZoomLevelOutOfRange: return "zoom level outside 0 to 56";
    case CoordinateFileProblem::PaletteSizeInvalid: return "palette size not 256, 512, 1024, 2048 or 4096";
    case CoordinateFileProblem::ColourShiftOutOfRange: return "colour shift outside 0 to 4096";
    case CoordinateFileProblem::DepthInvalid: return "depth not 512, 1024, 2048 or 4096";
    case CoordinateFileProblem::LegacyPaletteNumber: return "palette number 5 or more";
    }
    return "invalid";
}

}  // namespace qarn
