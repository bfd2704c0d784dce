#include "run_render.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "band_renderer.h"
#include "deep_band_source.h"
#include "colour/gradient.h"
#include "colour/smooth_colour.h"
#include "frame_files.h"
#include "output_file.h"
#include "persistence/coordinate_file.h"
#include "picture_sinks.h"
#include "processor_time.h"
#include "progress_bar.h"
#include "render_options.h"
#include "render_plan.h"
#include "utf8_path.h"
#include "view_input.h"
#include "view_text.h"
#include "deep/dyadic_text.h"
#include "deep/minibrot.h"
#include "deep/reference_file.h"
#include "engine/shown_view.h"
#include "engine/view_centre.h"

#include <algorithm>
#include <atomic>
#include <mpfr.h>

namespace qarn::render {
namespace {

constexpr int ExitRefused = 2;
constexpr int ExitWriteFailed = 3;
// The deepest depth of a deep view: a count stays a u32 far from its end.
constexpr std::int64_t MaxDeepDepth = 2147483647;

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "qarn-render: %s\n", message.c_str());
    return code;
}

// Writes all of `text` to standard output, or says why it could not.
[[nodiscard]] std::string WriteStdout(const std::string& text) {
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return "standard output: write failed";
    return {};
}

// One picture and what is written of it; the files are moved into place
// only when every one of them is complete.
struct PictureOutputs {
    std::unique_ptr<OutputFile> pictureFile;
    std::unique_ptr<OutputFile> countsFile;
    std::unique_ptr<PictureSink> picture;
    std::unique_ptr<CountsSink> counts;
    std::unique_ptr<OutputFile> continuousFile;
    std::unique_ptr<ContinuousSink> continuous;
    std::vector<BandSink*> sinks;

    [[nodiscard]] std::string Open(const PlannedPicture& planned, const ViewState& view, PictureShape shape) {
        if (planned.pictureFile) {
            pictureFile = std::make_unique<OutputFile>(*planned.pictureFile);
            if (std::string error = pictureFile->Open(); !error.empty()) return error;
            picture = planned.format->make(*pictureFile, view, shape);
            sinks.push_back(picture.get());
        }
        if (planned.countsFile) {
            countsFile = std::make_unique<OutputFile>(*planned.countsFile);
            if (std::string error = countsFile->Open(); !error.empty()) return error;
            counts = std::make_unique<CountsSink>(*countsFile);
            sinks.push_back(counts.get());
        }
        if (planned.continuousFile) {
            continuousFile = std::make_unique<OutputFile>(*planned.continuousFile);
            if (std::string error = continuousFile->Open(); !error.empty()) return error;
            continuous = std::make_unique<ContinuousSink>(*continuousFile);
            sinks.push_back(continuous.get());
        }
        return {};
    }

    // `compute` hands the picture's bands to the sinks.
    [[nodiscard]] std::string Render(const std::function<std::string(std::span<BandSink* const>)>& compute) {
        std::string error = compute(sinks);
        if (error.empty() && picture) error = picture->Finish();
        if (error.empty() && pictureFile) error = pictureFile->Commit();
        if (error.empty() && countsFile) error = countsFile->Commit();
        if (error.empty() && continuousFile) error = continuousFile->Commit();
        return error;
    }
};

// What a picture needs beyond the counts: mu for --continuous, for smooth
// colours and for a picture format that carries it (OpenEXR's mu channel);
// colours from the computing threads for anything but the viewer's mapping
// of counts. The sinks are handed mu only where they take it: smooth colours
// are made from it on the computing threads.
struct PictureColouring {
    std::optional<PointColours> colours;
    BandExtras extras;

    PictureColouring(const RenderOptions& options, const ViewState& shown, const Gradient* gradient,
                     const PlannedPicture& planned) {
        const ColouringChoice choice = ChoiceOf(options, shown, gradient, planned);
        colours.emplace(shown, choice);
        extras.mu = SinksTakeMu(options, planned);
        if (planned.pictureFile && !IsViewersMapping(choice)) extras.colours = &*colours;
    }

    // How the picture's points are coloured.
    static ColouringChoice ChoiceOf(const RenderOptions& options, const ViewState& shown, const Gradient* gradient,
                                    const PlannedPicture& planned) {
        ColouringChoice choice;
        choice.smooth = options.smooth;
        choice.gradient = gradient;
        choice.frameShift = planned.colourShift;
        if (gradient != nullptr) {
            const std::uint32_t size = PaletteSize(shown.PaletteMode);
            choice.period = options.period.value_or(size != 0 ? static_cast<double>(size) : 4096.0);
        }
        return choice;
    }

    // Whether the picture needs the continuous counts: to colour by them, for
    // their own file, or for a picture format that carries them.
    static bool SinksTakeMu(const RenderOptions& options, const PlannedPicture& planned) {
        const bool pictureData = planned.format != nullptr && planned.format->CarriesData(options.supersample);
        return planned.continuousFile.has_value() || pictureData;
    }
    static bool NeedsMu(const RenderOptions& options, const PlannedPicture& planned) {
        return options.smooth || SinksTakeMu(options, planned);
    }
};

// Whether any picture of the plan asks the computing threads for more than
// counts (the bands then make room for it). Decided from the options and the
// plan alone: no colouring (and none of its tables) is built for it.
bool NeedsExtras(const RenderOptions& options, const RenderPlan& plan, const Gradient* gradient) {
    for (const PlannedPicture& planned : plan.pictures) {
        if (PictureColouring::NeedsMu(options, planned)) return true;
        if (planned.pictureFile &&
            !IsViewersMapping(PictureColouring::ChoiceOf(options, plan.shown, gradient, planned)))
            return true;
    }
    return false;
}

// Reads a reference orbit file whole; an empty string, or why not.
std::string ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
#if defined(_WIN32)
    std::FILE* file = ::_wfopen(PathOfUtf8(path).c_str(), L"rb");
#else
    std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
    if (file == nullptr) return "cannot be opened for reading";
    std::uint8_t chunk[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return failed ? "read error" : "";
}

// The run's one reference orbit, for every deep picture: read from
// --reference's file where it exists (and serves this run), else computed
// for the deepest picture and, with --reference, written there. An empty
// string, or the exit code and line of a refusal.
struct ReferenceOutcome {
    int exitCode = 0;
    std::string message;
};
ReferenceOutcome ObtainReference(const RenderOptions& options, const DeepArea& deepest, std::uint32_t depth,
                                 ProgressBar* progress, deep::ReferenceOrbit& orbit) {
    const long precision = deep::ReferencePrecision(deepest.location.level, depth);
    if (options.referenceFile) {
        const std::string& path = *options.referenceFile;
        std::error_code ec;
        if (std::filesystem::exists(PathOfUtf8(path), ec)) {
            const auto refuse = [&](const std::string& why) {
                return ReferenceOutcome{ExitRefused, "--reference " + path + ": " + why};
            };
            if (!std::filesystem::is_regular_file(PathOfUtf8(path), ec)) return refuse("not a regular file");
            std::vector<std::uint8_t> bytes;
            if (std::string error = ReadWholeFile(path, bytes); !error.empty()) return refuse(error);
            deep::DecodedReference decoded = deep::DecodeReferenceFile(bytes);
            if (!decoded.problem.empty()) return refuse(decoded.problem);
            if (std::string why = deep::ReferenceMismatch(decoded.record, deepest.location.re, deepest.location.im,
                                                          depth, precision);
                !why.empty())
                return refuse(why);
            orbit = deep::OrbitToDepth(std::move(decoded.record.orbit), depth);
            return {};
        }
    }
    orbit = DeepReference(deepest, depth, progress);
    if (orbit.points.empty()) return {ExitWriteFailed, "interrupted"};
    if (options.referenceFile) {
        OutputFile file(*options.referenceFile);
        std::string error = file.Open();
        if (error.empty()) {
            const deep::ReferenceRecord record{deepest.location.re, deepest.location.im, depth, orbit};
            error = file.Write(deep::EncodeReferenceFile(record));
        }
        if (error.empty()) error = file.Commit();
        if (!error.empty()) return {ExitWriteFailed, error};
    }
    return {};
}

int RunPlan(const RenderOptions& options, const ViewState& view) {
    // A gradient that cannot be read refuses the run before anything is written.
    std::optional<Gradient> gradient;
    if (options.gradientFile) {
        gradient.emplace();
        if (std::string error = LoadGradient(*options.gradientFile, *gradient); !error.empty())
            return Fail(ExitRefused, error);
    }
    const Gradient* gradientUsed = gradient ? &*gradient : nullptr;
    RemovePartialFilesOnInterrupt();
    if (options.zoomFrames && !options.info) {
        const std::string& folder = options.zoomFrames->folder;
        std::error_code ec;
        std::filesystem::create_directories(PathOfUtf8(folder), ec);
        if (!std::filesystem::is_directory(PathOfUtf8(folder), ec))
            return Fail(ExitWriteFailed, folder + ": the folder cannot be made");
    }
    // Whole frames already written are kept: an interrupted run resumes.
    const RenderPlan plan = MakeRenderPlan(options, view, IsWholeFrameFile);
    if (std::string error = WriteStdout(plan.info); !error.empty()) return Fail(ExitWriteFailed, error);

    std::unique_ptr<OutputFile> saveFile;
    if (plan.saveFile) {
        saveFile = std::make_unique<OutputFile>(*plan.saveFile);
        std::string error = saveFile->Open();
        if (error.empty()) error = saveFile->Write(EncodeViewState(plan.view));
        if (!error.empty()) return Fail(ExitWriteFailed, error);
    }

    const PictureShape& shape = plan.shape;
    std::optional<BandRenderer> renderer;
    std::optional<DeepBandSource> deepSource;
    std::optional<ProgressBar> progress;
    // Whether the running picture is deep, for the progress bar's thread.
    std::atomic<bool> deepRunning{false};
    const bool anyDeep = std::any_of(plan.pictures.begin(), plan.pictures.end(),
                                     [](const PlannedPicture& p) { return p.deep.has_value(); });
    const bool anyShallow = std::any_of(plan.pictures.begin(), plan.pictures.end(),
                                        [](const PlannedPicture& p) { return !p.deep.has_value(); });
    if (!plan.pictures.empty()) {
        // Interruptions come to this thread only, which opens and moves the files.
        const InterruptionsHeldBack heldBack;
        const bool extras = NeedsExtras(options, plan, gradientUsed);
        if (anyDeep) deepSource.emplace(options.threads, shape.width * shape.supersample, shape.supersample, extras);
        if (anyShallow) renderer.emplace(options.threads, shape.width * shape.supersample, shape.supersample, extras);
        progress.emplace(
            [&] {
                return deepRunning.load() ? deepSource->LinesDone() : renderer ? renderer->Engine().LinesDone() : 0;
            },
            plan.Rows());
    }
    // One reference orbit for every deep picture, before any is written.
    deep::ReferenceOrbit reference;
    if (anyDeep) {
        const ReferenceOutcome outcome = ObtainReference(options, *plan.deepest, plan.shown.Depth, &*progress,
                                                         reference);
        if (outcome.exitCode != 0) return Fail(outcome.exitCode, outcome.message);
    }
    // The coordinate file is written with the first picture, or alone.
    auto commitSave = [&]() -> std::string {
        if (!saveFile) return {};
        std::string error = saveFile->Commit();
        saveFile.reset();
        return error;
    };
    for (const PlannedPicture& planned : plan.pictures) {
        const double start = ProcessorSeconds();
        PictureOutputs outputs;
        const PictureColouring colouring(options, plan.shown, gradientUsed, planned);
        std::string error = outputs.Open(planned, plan.shown, shape);
        deepRunning.store(planned.deep.has_value());
        if (error.empty())
            error = outputs.Render([&](std::span<BandSink* const> sinks) {
                return planned.deep
                           ? deepSource->Render(*planned.deep, plan.shown.Depth, options.tolerance, sinks, &*progress,
                                                colouring.extras, &reference)
                           : renderer->Render(planned.area, plan.shown.Depth, sinks, &*progress, colouring.extras);
            });
        if (error.empty()) error = commitSave();
        if (!error.empty()) return Fail(ExitWriteFailed, error);
        if (options.stats && planned.deep) {
            const deep::DeepWork& work = deepSource->Work();
            std::fprintf(stderr,
                         "%s: %d x %d pixels, %d x %d points, %.3f s of processor time, reference %u iterations at "
                         "%ld bits, %llu escape tests, %llu iterations, %llu skips, %llu rebases\n",
                         planned.Label().c_str(), shape.width, shape.height, shape.width * shape.supersample,
                         shape.height * shape.supersample, ProcessorSeconds() - start,
                         static_cast<unsigned>(deepSource->ReferenceLength()), deepSource->ReferencePrecisionUsed(),
                         static_cast<unsigned long long>(work.tests), static_cast<unsigned long long>(work.iterations),
                         static_cast<unsigned long long>(work.skips), static_cast<unsigned long long>(work.rebases));
        } else if (options.stats)
            std::fprintf(stderr, "%s: %d x %d pixels, %d x %d points, %.3f s of processor time, %llu escape tests\n",
                         planned.Label().c_str(), shape.width, shape.height, planned.area.width, planned.area.height,
                         ProcessorSeconds() - start, static_cast<unsigned long long>(renderer->Tests()));
    }
    if (std::string error = commitSave(); !error.empty()) return Fail(ExitWriteFailed, error);
    if (options.stats && (renderer || deepSource)) {
        const double total = ProcessorSeconds();
        const double writing = (renderer ? renderer->WriterSeconds() : 0.0) +
                               (deepSource ? deepSource->WriterSeconds() : 0.0);
        std::fprintf(stderr, "writing: %.3f s of %.3f s processor time (%.1f %%)\n", writing, total,
                     total > 0 ? 100.0 * writing / total : 0.0);
    }
    return 0;
}

// --find-minibrot: the lowest-period minibrot within the disc about the
// view's centre that holds its square, printed as the lines of a view about
// 4 to 8 sizes wide at its nucleus, with its period and size.
int FindMinibrotOf(const RenderOptions& options, const ViewState& view) {
    const std::optional<DeepLocation> deepView = DeepLocationOf(options);
    deep::DyadicNumber re, im;
    std::int64_t level = view.ZoomLevel;
    if (deepView) {
        re = deepView->re;
        im = deepView->im;
    } else {
        const ViewState shown = ShownView(view);
        const ViewPoint centre = CentreOf(shown);
        level = shown.ZoomLevel;
        mpfr_t part;
        mpfr_init2(part, 64);
        mpfr_set_ld(part, centre.re, MPFR_RNDN);
        re = deep::DyadicOfMpfr(part).value_or(deep::DyadicNumber{});
        mpfr_set_ld(part, centre.im, MPFR_RNDN);
        im = deep::DyadicOfMpfr(part).value_or(deep::DyadicNumber{});
        mpfr_clear(part);
    }
    // Half the square's diagonal, 256 sqrt 2 steps, below 363 x 2^-(7+L).
    const std::optional<deep::Minibrot> found = deep::FindMinibrot(re, im, 1 - level, 363.0 / 256.0, view.Depth,
                                                                   CentreFractionBits(level) + 64);
    if (!found)
        return Fail(ExitRefused, "--find-minibrot: no minibrot of a period below the depth " +
                                     std::to_string(view.Depth) + " in the view");
    const std::int64_t minibrotLevel = std::clamp<std::int64_t>(-found->sizeLog2, 0, MaxDeepLevel);
    char lines[160];
    std::snprintf(lines, sizeof lines, "period: %lld\nsize: %.6g x 2^%lld\n", static_cast<long long>(found->period),
                  found->size, static_cast<long long>(found->sizeLog2));
    // The nucleus to the centre grid of its view's level.
    const std::int64_t bits = CentreFractionBits(minibrotLevel);
    const std::optional<deep::DyadicNumber> nucleusRe = deep::ReadDyadic(deep::DecimalText(found->re), bits);
    const std::optional<deep::DyadicNumber> nucleusIm = deep::ReadDyadic(deep::DecimalText(found->im), bits);
    if (!nucleusRe || !nucleusIm) return Fail(ExitRefused, "--find-minibrot: the nucleus lies outside every view");
    const std::string text = DeepViewInfo(*nucleusRe, *nucleusIm, minibrotLevel, bits, view) + lines;
    if (std::string error = WriteStdout(text); !error.empty()) return Fail(ExitWriteFailed, error);
    return 0;
}

}  // namespace

int RunRender(int argc, const char* const* argv) {
    const ParsedCommandLine parsed = ParseRenderOptions(argc, argv);
    if (!parsed.options) {
        std::fputs(parsed.err.c_str(), stderr);
        if (std::string error = WriteStdout(parsed.out); !error.empty()) return Fail(ExitWriteFailed, error);
        return parsed.exitCode;
    }
    RenderOptions options = *parsed.options;
    if (std::string error = ReadLocationText(options); !error.empty()) return Fail(ExitRefused, error);
    // A deep view takes any depth from 1 to 2^31 - 1, where the viewer's
    // views take its four: the view is defined without it, then given it.
    std::optional<std::int64_t> deepDepth;
    {
        RenderOptions withoutDepth = options;
        withoutDepth.depth.reset();
        if (DeepLocationOf(withoutDepth)) {
            deepDepth = options.depth;
            options.depth.reset();
        }
    }
    ViewState view;
    if (std::string error = DefineView(options, view); !error.empty()) return Fail(ExitRefused, error);
    if (deepDepth) {
        if (*deepDepth < 1 || *deepDepth > MaxDeepDepth)
            return Fail(ExitRefused, "view refused: a deep view's depth is 1 to " + std::to_string(MaxDeepDepth));
        view.Depth = static_cast<std::uint32_t>(*deepDepth);
    }
    if (options.findMinibrot) return FindMinibrotOf(options, view);
    if (options.referenceFile && !DeepLocationOf(options))
        return Fail(ExitRefused, "--reference: only views past level 56 have a reference orbit");
    if (const std::optional<DeepLocation> deepView = DeepLocationOf(options)) {
        if (options.saveFile)
            return Fail(ExitRefused,
                        "--save: a coordinate file holds levels 0 to 56; --info gives a deep view as text");
    }
    return RunPlan(options, view);
}

}  // namespace qarn::render
