// flickbook-cli images and video: GIFs made the way the app makes them.

#include "args.h"
#include "commands.h"
#include "core/byte_size.h"
#include "core/output_file.h"
#include "core/temporary_files.h"
#include "cut_range.h"
#include "media/video_source.h"
#include "picture_loading.h"
#include "progress_bar.h"
#include "render/gif_render.h"
#include "render/presets.h"
#include "store/gif_store.h"

#include <QCoreApplication>
#include <QString>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

namespace flickbook::cli {

namespace fs = std::filesystem;

namespace {

// Where a GIF is rendered: the -o path, or without -o a file in the store's
// private folder that is placed in the work list once finished.
struct GifOutput {
    fs::path renderTo;
    bool intoWorkList = false;
};

Result<GifOutput> outputFor(const std::optional<std::string>& option) {
    if (option)
        return GifOutput{fs::path(*option), false};
    const auto store = store::GifStore::standard();
    const fs::path folder = store.temporaryFolder();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return makeError("file.create", "Cannot make " + folder.string() + ": " + ec.message());
    GifOutput output{uniquePathIn(folder, "render-", ".gif"), true};
    // Between its render and its place in the work list.
    temporary::track(output.renderTo);
    return output;
}

// The finished GIF where it belongs; in the work list under the store's name
// for now, or the next free second when another GIF has that name.
Result<fs::path> place(const GifOutput& output) {
    if (!output.intoWorkList)
        return output.renderTo;
    const auto store = store::GifStore::standard();
    const double now = store::nowEpochSeconds();
    auto placed = store.placeNewGif(output.renderTo, now);
    temporary::untrack(output.renderTo);
    if (!placed)
        return makeError(placed.error().code,
                         placed.error().message +
                             " The GIF is kept, until Flickbook next starts, at " +
                             output.renderTo.string() + ".");
    if (placed->filename() != store::gifFileName(now))
        warn(store::gifFileName(now) + " is taken; the GIF is " + placed->filename().string());
    return placed;
}

std::string frameTimeChoices() {
    std::string text;
    for (const auto& t : render::kFrameTimes)
        text += (text.empty() ? "" : ", ") + std::string(t.label);
    return text;
}

std::optional<double> frameTimeFor(const std::string& text) {
    auto seconds = parseSeconds(text.ends_with('s') ? text.substr(0, text.size() - 1) : text);
    if (!seconds)
        return std::nullopt;
    for (const auto& t : render::kFrameTimes)
        if (std::abs(t.seconds - *seconds) < 1e-9)
            return t.seconds;
    return std::nullopt;
}

const render::VideoSpeed* speedFor(const std::string& label) {
    for (const auto& s : render::kVideoSpeeds)
        if (s.label == label)
            return &s;
    return nullptr;
}

// Below this a GIF is hardly a picture.
constexpr long long kSmallestMaxEdge = 16;

// The options every render takes: how the GIF loops, how large it may be,
// and whether only its size is wanted.
struct FitOptions {
    render::Loop loop = render::Loop::forward;
    render::OutputSize output;
    bool estimateOnly = false;
};

Result<FitOptions> takeFitOptions(std::vector<std::string>& args, bool& missing) {
    FitOptions options;
    if (takeFlag(args, "--bounce"))
        options.loop = render::Loop::bounce;
    options.estimateOnly = takeFlag(args, "--estimate");
    const auto edgeText = takeValue(args, "--max-edge", missing);
    const auto sizeText = takeValue(args, "--max-size", missing);
    if (edgeText) {
        const auto edge = parseWholeNumber(*edgeText);
        if (!edge || *edge < kSmallestMaxEdge || *edge > 65535)
            return makeError("cli.max_edge", "--max-edge must be a whole number of pixels from " +
                                                 std::to_string(kSmallestMaxEdge) +
                                                 " to 65535, not '" + *edgeText + "'");
        options.output.maxLongEdge = std::uint32_t(*edge);
    }
    if (sizeText) {
        auto bytes = parseByteSize(*sizeText);
        if (!bytes)
            return makeError(bytes.error().code, "--max-size: " + bytes.error().message);
        options.output.maxBytes = *bytes;
    }
    return options;
}

// "about 8.4 MB, 1280×720, 50 frames" for --estimate.
int printEstimate(const Result<render::SizePlan>& plan, std::size_t frames) {
    if (!plan)
        return fail(plan.error().message);
    std::cout << "about " << formatByteSize(plan->bytes) << ", " << plan->canvas.width << "×"
              << plan->canvas.height << ", " << frames << (frames == 1 ? " frame" : " frames")
              << "\n";
    return 0;
}

} // namespace

int runImages(const std::vector<std::string>& input) {
    auto args = input;
    bool missing = false;
    const auto frameTimeText = takeValue(args, "--frame-time", missing);
    const auto out = takeValue(args, "-o", missing);
    auto fit = takeFitOptions(args, missing);
    if (missing)
        return fail("an option is missing its value");
    if (auto unknown = unknownOption(args))
        return fail("unknown option " + *unknown + " for images");
    if (args.empty())
        return fail("usage: flickbook-cli images IMG... [--frame-time S] [--bounce] "
                    "[--max-edge PX] [--max-size SIZE] [--estimate] [-o OUT.gif]");
    if (!fit)
        return fail(fit.error().message);

    double frameTime = render::kFrameTimes[render::kDefaultFrameTime].seconds;
    if (frameTimeText) {
        const auto chosen = frameTimeFor(*frameTimeText);
        if (!chosen)
            return fail("--frame-time must be one of " + frameTimeChoices());
        frameTime = *chosen;
    }

    render::ImagesRequest request;
    request.count = args.size();
    // The GIF's own frames are decoded no larger than the size it is made
    // at, which a budget may bring down, inside the canvas the first picture
    // has at that size. The engine may keep a picture decoded for one size
    // and ask for others in between, so each answer depends on the picture
    // and the size alone, not on what was asked before.
    std::map<std::uint32_t, image::Size> firstAt;
    request.pictureAt = [&](std::size_t i, std::uint32_t longEdge) -> Result<image::RgbaImage> {
        const auto load = [&](std::size_t k, image::Size box) {
            auto picture = components::loadPicture(QString::fromStdString(args[k]), box);
            if (picture && k == 0)
                firstAt[longEdge] = image::Size{picture->width, picture->height};
            return picture;
        };
        if (i == 0)
            return load(0, {longEdge, longEdge});
        if (!firstAt.contains(longEdge)) {
            if (auto first = load(0, {longEdge, longEdge}); !first)
                return first.error();
        }
        return load(i, image::canvasFor(firstAt.at(longEdge), longEdge));
    };
    // Whole pictures are never needed larger than the largest GIF.
    request.picture = [&request, maxEdge = fit->output.maxLongEdge](std::size_t i) {
        return request.pictureAt(i, maxEdge);
    };
    request.delaySeconds = frameTime;
    request.loopCount = 0;
    request.loop = fit->loop;
    request.output = fit->output;
    if (fit->estimateOnly)
        return printEstimate(render::estimateSize(request),
                             render::framesInFile(request.count, request.loop));

    auto output = outputFor(out);
    if (!output)
        return fail(output.error().message);
    ProgressBar bar("images");
    request.destination = output->renderTo;
    request.progress = [&bar](double done) { bar.update(done); };
    auto done = render::imagesToGif(request);
    bar.finish();
    if (!done)
        return fail(done.error().message);
    auto placed = place(*output);
    if (!placed)
        return fail(placed.error().message);
    std::cout << placed->string() << "\n";
    return 0;
}

int runVideo(const std::vector<std::string>& input) {
    auto args = input;
    bool missing = false;
    const auto startText = takeValue(args, "--start", missing);
    const auto endText = takeValue(args, "--end", missing);
    const auto speedText = takeValue(args, "--speed", missing);
    const auto out = takeValue(args, "-o", missing);
    auto fit = takeFitOptions(args, missing);
    if (missing)
        return fail("an option is missing its value");
    if (auto unknown = unknownOption(args))
        return fail("unknown option " + *unknown + " for video");
    if (args.size() != 1)
        return fail("usage: flickbook-cli video FILE [--start S --end E] "
                    "[--speed 2x|1.5x|1x|0.75x|0.5x] [--bounce] [--max-edge PX] "
                    "[--max-size SIZE] [--estimate] [-o OUT.gif]");
    if (!fit)
        return fail(fit.error().message);
    const render::VideoSpeed* speed = &render::kVideoSpeeds[render::kDefaultVideoSpeed];
    if (speedText && !(speed = speedFor(*speedText)))
        return fail("--speed must be one of 2x, 1.5x, 1x, 0.75x, 0.5x");

    fs::path source = args[0];
    const fs::path named = args[0]; // what messages speak of, even after a cut
    // A stretch of the video is cut out first, as the app's trim step does.
    TemporaryCut cut;
    double offset = 0;
    if (startText || endText) {
        auto request = cutRequestFor(source, startText, endText);
        if (!request)
            return fail(request.error().message);
        request->endsEarly = [&](double seconds) { warnStopsDecoding(named, seconds, "the GIF"); };
        if (auto made = cutToTemporary(*request, cut); !made)
            return fail(made.error().code.starts_with("media.")
                            ? source.string() + ": " + made.error().message
                            : made.error().message);
        source = cut.path;
        offset = request->startSeconds;
    }
    auto video = media::VideoSource::open(source);
    if (!video)
        return fail(named.string() + ": " + video.error().message);
    const double duration = video->durationSeconds();
    const std::size_t frames = render::videoFrameCount(duration, *speed);
    if (frames == 0)
        return fail(
            (cut.path.empty() ? named.string() : "the stretch chosen from " + named.string()) +
            " is shorter than one second; a GIF needs at least one whole second of video");

    render::VideoRequest request;
    request.source = source;
    request.frameCount = frames;
    request.delaySeconds = speed->delaySeconds;
    request.loopCount = 0;
    request.loop = fit->loop;
    request.output = fit->output;
    if (fit->estimateOnly) {
        auto plan = render::estimateSize(request);
        if (!plan && plan.error().code.starts_with("media."))
            return fail(named.string() + ": " + plan.error().message);
        return printEstimate(plan, render::framesInFile(frames, request.loop));
    }

    auto output = outputFor(out);
    if (!output)
        return fail(output.error().message);
    ProgressBar bar("video");
    request.destination = output->renderTo;
    request.progress = [&bar](double done) { bar.update(done); };
    request.endsEarly = [&](double seconds) {
        warnStopsDecoding(named, offset + seconds, "the GIF");
    };
    auto gif = render::videoToGif(request);
    bar.finish();
    if (!gif)
        return fail(gif.error().message);
    auto placed = place(*output);
    if (!placed)
        return fail(placed.error().message);
    std::cout << placed->string() << "\n";
    return 0;
}

} // namespace flickbook::cli
