// qarn-render: computes a view exactly as the viewer does and writes the
// bitmap that the viewer's Save As would write, optionally the raw counts.
#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "colour/display_mapping.h"
#include "colour/palette_tables.h"
#include "desktop/desktop.h"
#include "engine/view_engine.h"
#include "engine/zoom.h"
#include "output_file.h"
#include "persistence/bitmap_file.h"
#include "progress_bar.h"
#include "render_options.h"
#include "view_file.h"

namespace {

using namespace qarn;
using namespace qarn::render;

constexpr int ExitUsage = 1;
constexpr int ExitRefused = 2;
constexpr int ExitWriteFailed = 3;

struct Picture {
    explicit Picture(unsigned threads) : engine(threads) {}
    ViewEngine engine;
    PaletteTables tables;
    std::array<std::uint32_t, PixelCount> pixels{};
};

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "qarn-render: %s\n", message.c_str());
    return code;
}

// The start-up view, or a loaded file's view recomputed at its own level.
void Compute(Picture& picture, bool loaded) {
    HeadlessDesktop desktop;
    SelectionState selection;
    BuildColourTable(picture.tables.colour);
    BuildMonoTable(picture.tables.mono, picture.engine.view.PaletteMode);
    ProgressBar progress(picture.engine.renderer);
    ZoomView(picture.engine, selection, 0, desktop, loaded ? 0 : ResetDelta);
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = ParseRenderOptions(argc, argv, error);
    if (!options) {
        if (error.empty()) {
            std::fputs(Usage, stdout);
            return 0;
        }
        std::fprintf(stderr, "qarn-render: %s\n%s", error.c_str(), Usage);
        return ExitUsage;
    }

    auto picture = std::make_unique<Picture>(options->threads);
    if (options->viewFile) {
        error = ReadViewFile(*options->viewFile, picture->engine.view);
        if (!error.empty()) return Fail(ExitRefused, error);
    }
    Compute(*picture, options->viewFile.has_value());

    HeadlessDesktop desktop;
    MapDisplay(picture->engine.counts, picture->engine.view, picture->tables, picture->pixels, desktop);

    // Both outputs are written completely before either replaces a file.
    std::unique_ptr<OutputFile> counts;
    if (options->countsFile) {
        counts = std::make_unique<OutputFile>(*options->countsFile);
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(picture->engine.counts.data()),
                                                  sizeof picture->engine.counts);
        error = counts->Write(std::array{bytes});
        if (!error.empty()) return Fail(ExitWriteFailed, error);
    }
    const BitmapHeader header = MakeBitmapHeader(24);
    const auto packed = PackDisplayPixels(picture->pixels);
    OutputFile bitmap(options->bitmapFile);
    error = bitmap.Write(std::array<std::span<const std::uint8_t>, 2>{header, packed});
    if (!error.empty()) return Fail(ExitWriteFailed, error);

    error = bitmap.Commit();
    if (error.empty() && counts) error = counts->Commit();
    if (!error.empty()) return Fail(ExitWriteFailed, error);
    return 0;
}
