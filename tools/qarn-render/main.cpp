// qarn-render: computes a view exactly as the viewer does and writes its
// picture (the viewer's Save As bitmap, or a PNG of any size up to 65536
// pixels a side, anti-aliased if asked), the raw counts, the view as text or
// as a coordinate file, and zoom frames, whole or by range.
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "band_renderer.h"
#include "engine/shown_view.h"
#include "engine/view_state.h"
#include "output_file.h"
#include "persistence/coordinate_file.h"
#include "picture_areas.h"
#include "picture_sinks.h"
#include "progress_bar.h"
#include "render_options.h"
#include "view_input.h"
#include "view_text.h"

namespace {

using namespace qarn;
using namespace qarn::render;

constexpr int ExitRefused = 2;
constexpr int ExitWriteFailed = 3;

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "qarn-render: %s\n", message.c_str());
    return code;
}

// One picture and what is written of it; the files are moved into place
// only when every one of them is complete.
struct PictureOutputs {
    std::unique_ptr<OutputFile> pictureFile;
    std::unique_ptr<OutputFile> countsFile;
    std::unique_ptr<PictureSink> picture;
    std::unique_ptr<CountsSink> counts;
    std::vector<BandSink*> sinks;

    std::string Open(const std::optional<std::string>& pictureName, PictureFormat format,
                     const std::optional<std::string>& countsName, const ViewState& view, PictureShape shape) {
        if (pictureName) {
            pictureFile = std::make_unique<OutputFile>(*pictureName);
            if (std::string error = pictureFile->Open(); !error.empty()) return error;
            picture = MakePictureSink(format, *pictureFile, view, shape);
            if (!picture) return *pictureName + ": this build cannot write the format";
            sinks.push_back(picture.get());
        }
        if (countsName) {
            countsFile = std::make_unique<OutputFile>(*countsName);
            if (std::string error = countsFile->Open(); !error.empty()) return error;
            counts = std::make_unique<CountsSink>(*countsFile);
            sinks.push_back(counts.get());
        }
        return {};
    }

    std::string Render(BandRenderer& renderer, const PictureArea& area, std::uint32_t depth, ProgressBar& progress) {
        std::string error = renderer.Render(area, depth, sinks, &progress);
        if (error.empty() && picture) error = picture->Finish();
        if (error.empty() && pictureFile) error = pictureFile->Commit();
        if (error.empty() && countsFile) error = countsFile->Commit();
        return error;
    }
};

double Seconds(std::clock_t ticks) { return static_cast<double>(ticks) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char** argv) {
    const ParsedCommandLine parsed = ParseRenderOptions(argc, argv);
    if (!parsed.options) {
        std::fputs(parsed.out.c_str(), stdout);
        std::fputs(parsed.err.c_str(), stderr);
        return parsed.exitCode;
    }
    const RenderOptions& options = *parsed.options;

    ViewState view;
    if (std::string error = DefineView(options, view); !error.empty()) return Fail(ExitRefused, error);
    if (options.info) std::fputs(ViewInfo(view).c_str(), stdout);
    std::fflush(stdout);

    RemovePartialFilesOnInterrupt();
    std::unique_ptr<OutputFile> saveFile;
    if (options.saveFile) {
        saveFile = std::make_unique<OutputFile>(*options.saveFile);
        std::string error = saveFile->Open();
        if (error.empty()) error = saveFile->Write(EncodeViewState(view));
        if (!error.empty()) return Fail(ExitWriteFailed, error);
    }

    const ViewState shown = ShownView(view);
    const int s = options.supersample;
    const PictureShape shape{options.width, options.height, s};
    // The points computed: the picture that --scale K x S and --size
    // (W x S)x(H x S) describe.
    auto areaOf = [&](const ViewSquare& square) {
        return FramedArea(square, options.scale * s, options.width * s, options.height * s);
    };
    const bool picture = options.pictureFile || options.countsFile;

    // Frames already written are kept: an interrupted run resumes.
    std::vector<int> frames;
    if (options.zoomFrames) {
        const ZoomFramesOption& zoom = *options.zoomFrames;
        std::error_code ec;
        std::filesystem::create_directories(zoom.folder, ec);
        if (!std::filesystem::is_directory(zoom.folder, ec))
            return Fail(ExitWriteFailed, zoom.folder + ": the folder cannot be made");
        for (int k = zoom.first; k <= zoom.last; ++k)
            if (!std::filesystem::exists(std::filesystem::path(zoom.folder) / ZoomFrameName(k), ec)) frames.push_back(k);
    }

    const std::int64_t pictures = (picture ? 1 : 0) + static_cast<std::int64_t>(frames.size());
    std::optional<BandRenderer> renderer;
    std::optional<ProgressBar> progress;
    if (pictures > 0) {
        // Interruptions come to this thread only, which opens and moves the files.
        const InterruptionsHeldBack heldBack;
        renderer.emplace(options.threads, options.width * s, s);
        progress.emplace(renderer->Engine(), pictures * options.height * s);
    }
    auto report = [&](const std::string& name, std::clock_t start) {
        if (!options.stats) return;
        std::fprintf(stderr, "%s: %d x %d pixels, %d x %d points, %.3f s of processor time, %llu escape tests\n",
                     name.c_str(), options.width, options.height, options.width * s, options.height * s,
                     Seconds(std::clock() - start), static_cast<unsigned long long>(renderer->Tests()));
    };

    std::string error;
    if (picture) {
        const std::clock_t start = std::clock();
        PictureOutputs outputs;
        error = outputs.Open(options.pictureFile, options.pictureFormat, options.countsFile, shown, shape);
        if (error.empty()) error = outputs.Render(*renderer, areaOf(SquareOf(shown)), shown.Depth, *progress);
        if (error.empty()) report(options.pictureFile.value_or(*options.countsFile), start);
    }
    if (error.empty() && saveFile) error = saveFile->Commit();
    if (!error.empty()) return Fail(ExitWriteFailed, error);

    for (int k : frames) {
        const std::clock_t start = std::clock();
        const std::string name = (std::filesystem::path(options.zoomFrames->folder) / ZoomFrameName(k)).string();
        PictureOutputs outputs;
        error = outputs.Open(name, PictureFormat::Png, std::nullopt, shown, shape);
        if (error.empty())
            error = outputs.Render(*renderer, areaOf(ZoomFrameSquare(shown, k, options.zoomFrames->count)), shown.Depth,
                                   *progress);
        if (!error.empty()) return Fail(ExitWriteFailed, error);
        report(name, start);
    }
    if (options.stats && renderer) {
        const double total = Seconds(std::clock());
        const double writing = renderer->WriterSeconds();
        std::fprintf(stderr, "writing: %.3f s of %.3f s processor time (%.1f %%)\n", writing, total,
                     total > 0 ? 100.0 * writing / total : 0.0);
    }
    return 0;
}
