// qarn-render: computes a view exactly as the viewer does and writes its
// picture (the viewer's Save As bitmap, or a PNG at up to 64 times the
// window's resolution), the raw counts, the view as text or as a coordinate
// file, and zoom frames.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "band_renderer.h"
#include "engine/view_state.h"
#include "output_file.h"
#include "persistence/coordinate_file.h"
#include "picture_areas.h"
#include "picture_sinks.h"
#include "progress_bar.h"
#include "render_options.h"
#include "view_options.h"
#include "view_text.h"

namespace {

using namespace qarn;
using namespace qarn::render;

constexpr int ExitUsage = 1;
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
    std::unique_ptr<BitmapSink> bitmap;
#if defined(QARN_HAVE_PNG)
    std::unique_ptr<PngSink> png;
#endif
    std::unique_ptr<CountsSink> counts;

    std::string Open(const std::optional<std::string>& picture, PictureFormat format,
                     const std::optional<std::string>& countsName, const ViewState& view, int size) {
        if (picture) {
            pictureFile = std::make_unique<OutputFile>(*picture);
            if (std::string error = pictureFile->Open(); !error.empty()) return error;
            if (format == PictureFormat::Bitmap) bitmap = std::make_unique<BitmapSink>(*pictureFile, view);
#if defined(QARN_HAVE_PNG)
            if (format == PictureFormat::Png) png = std::make_unique<PngSink>(*pictureFile, view, size);
#else
            (void)size;
#endif
        }
        if (countsName) {
            countsFile = std::make_unique<OutputFile>(*countsName);
            if (std::string error = countsFile->Open(); !error.empty()) return error;
            counts = std::make_unique<CountsSink>(*countsFile);
        }
        return {};
    }

    std::vector<BandSink*> Sinks() const {
        std::vector<BandSink*> sinks;
        if (bitmap) sinks.push_back(bitmap.get());
#if defined(QARN_HAVE_PNG)
        if (png) sinks.push_back(png.get());
#endif
        if (counts) sinks.push_back(counts.get());
        return sinks;
    }

    std::string Finish() {
        std::string error;
        if (bitmap) error = bitmap->Finish();
#if defined(QARN_HAVE_PNG)
        if (error.empty() && png) error = png->Finish();
#endif
        return error;
    }

    std::string Commit() {
        std::string error;
        if (pictureFile) error = pictureFile->Commit();
        if (error.empty() && countsFile) error = countsFile->Commit();
        return error;
    }
};

std::string RenderPicture(BandRenderer& renderer, const PictureArea& area, const ViewState& view,
                          PictureOutputs& outputs, ProgressBar& progress) {
    const auto sinks = outputs.Sinks();
    std::string error = renderer.Render(area, view.Depth, sinks, &progress);
    if (error.empty()) error = outputs.Finish();
    return error;
}

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
    const int size = ViewSize * options.scale;
    const bool picture = options.pictureFile || options.countsFile;

    // Frames already written are kept: an interrupted run resumes.
    std::vector<int> frames;
    if (options.zoomFrames) {
        std::error_code ec;
        std::filesystem::create_directories(options.zoomFrames->folder, ec);
        if (!std::filesystem::is_directory(options.zoomFrames->folder, ec))
            return Fail(ExitWriteFailed, options.zoomFrames->folder + ": the folder cannot be made");
        for (int k = 0; k <= options.zoomFrames->count; ++k)
            if (!std::filesystem::exists(std::filesystem::path(options.zoomFrames->folder) / ZoomFrameName(k), ec))
                frames.push_back(k);
    }

    const std::int64_t pictures = (picture ? 1 : 0) + static_cast<std::int64_t>(frames.size());
    std::optional<BandRenderer> renderer;
    std::optional<ProgressBar> progress;
    if (pictures > 0) {
        renderer.emplace(options.threads, size);
        progress.emplace(renderer->Engine(), pictures * size);
    }

    std::string error;
    if (picture) {
        PictureOutputs outputs;
        error = outputs.Open(options.pictureFile, options.pictureFormat, options.countsFile, shown, size);
        if (error.empty()) error = RenderPicture(*renderer, PrintArea(shown, options.scale), shown, outputs, *progress);
        if (error.empty()) error = outputs.Commit();
    }
    if (error.empty() && saveFile) error = saveFile->Commit();
    if (!error.empty()) return Fail(ExitWriteFailed, error);

    for (int k : frames) {
        const std::string name = (std::filesystem::path(options.zoomFrames->folder) / ZoomFrameName(k)).string();
        PictureOutputs outputs;
        error = outputs.Open(name, PictureFormat::Png, std::nullopt, shown, size);
        if (error.empty())
            error = RenderPicture(*renderer, ZoomFrameArea(shown, k, options.zoomFrames->count, options.scale), shown,
                                  outputs, *progress);
        if (error.empty()) error = outputs.Commit();
        if (!error.empty()) return Fail(ExitWriteFailed, error);
    }
    return 0;
}
