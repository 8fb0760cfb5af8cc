#include "render/gif_render.h"

#include "core/output_file.h"
#include "media/frame_reader.h"
#include "store/gif_store.h"

#include <cmath>

namespace flickbook::render {

namespace fs = std::filesystem;

namespace {

// Frames are written through an OutputFile: renamed into place on success,
// removed on any failure.
class GifFileWriter {
public:
    static Result<GifFileWriter> open(const fs::path& destination) {
        auto file = OutputFile::create(destination);
        if (!file)
            return file.error();
        return GifFileWriter(std::move(*file));
    }

    gif::ByteSink sink() {
        return [this](std::span<const std::uint8_t> bytes) { return file_.write(bytes); };
    }

    Result<void> commit() { return file_.commit(); }

private:
    explicit GifFileWriter(OutputFile file) : file_(std::move(file)) {}
    OutputFile file_;
};

void report(const Progress& progress, double done) {
    if (progress)
        progress(std::clamp(done, 0.0, 1.0));
}

} // namespace

Result<void> imagesToGif(const ImagesRequest& request) {
    if (request.count == 0 || !request.picture)
        return makeError("render.no_frames", "There are no pictures to animate.");
    auto writer = GifFileWriter::open(request.destination);
    if (!writer)
        return writer.error();

    std::optional<gif::GifEncoder> encoder;
    image::Size canvas;
    for (std::size_t i = 0; i < request.count; ++i) {
        auto picture = request.picture(i);
        if (!picture)
            return picture.error();
        if (i == 0) {
            canvas = image::canvasFor({picture->width, picture->height});
            encoder.emplace(canvas.width, canvas.height, request.loopCount, writer->sink(),
                            request.settings);
        }
        auto framed = image::placeCentred(*picture, canvas);
        if (!framed)
            return framed.error();
        if (auto ok = encoder->addFrame(*framed, request.delaySeconds); !ok)
            return ok.error();
        report(request.progress, double(i + 1) / double(request.count + 1));
    }
    if (auto ok = encoder->finish(); !ok)
        return ok.error();
    if (auto ok = writer->commit(); !ok)
        return ok.error();
    report(request.progress, 1.0);
    return {};
}

std::vector<double> sampleTimes(double durationSeconds, std::size_t frameCount) {
    std::vector<double> times(frameCount);
    for (std::size_t i = 0; i < frameCount; ++i)
        times[i] = double(i) * durationSeconds / double(frameCount);
    return times;
}

Result<fs::path> videoToGif(const VideoRequest& request) {
    if (request.frameCount == 0)
        return makeError("render.no_frames", "A GIF of 0 frames was asked for.");
    auto source = media::VideoSource::open(request.source);
    if (!source)
        return source.error();
    const double duration = source->durationSeconds();
    if (!std::isfinite(duration) || duration <= 0)
        return makeError("render.duration", request.source.string() + " has no known duration.");
    const double frameRate = source->frameRate();
    // A frame stands for the moment closest to its timestamp: it is taken for
    // a time up to half a frame before it.
    const double halfFrame = frameRate > 0 ? 0.5 / frameRate : 0;

    fs::path destination;
    if (request.destination) {
        destination = *request.destination;
    } else {
        const fs::path folder = store::GifStore::standard().temporaryFolder();
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec)
            return makeError("file.create", "Cannot make " + folder.string() + ": " + ec.message());
        destination = uniquePathIn(folder, "video-", ".gif");
    }
    auto writer = GifFileWriter::open(destination);
    if (!writer)
        return writer.error();

    media::FrameReader reader(std::move(*source));
    const std::vector<double> times = sampleTimes(duration, request.frameCount);
    const image::Size box = request.size.value_or(image::Size{1920, 1920});
    // A video that ends more than this short of a frame's time has stopped
    // early, rather than having its last frame stand for the last moment.
    const double frameInterval = frameRate > 0 ? 1.0 / frameRate : 0.1;
    std::optional<gif::GifEncoder> encoder;
    image::Size canvas;
    image::RgbaImage picture;
    bool haveFrame = false, ended = false;
    for (std::size_t i = 0; i < times.size(); ++i) {
        // Decode forward to the first frame that is the closest to times[i];
        // past the end, the last frame stands for the rest.
        bool advanced = false;
        while (!ended && (!haveFrame || reader.currentTime() + halfFrame < times[i])) {
            auto more = reader.next();
            if (!more && !haveFrame)
                return makeError(more.error().code,
                                 request.source.filename().string() + ": " + more.error().message);
            if (!more || !*more) {
                // A decoding error after good frames is a damaged tail: what
                // came before it still makes a GIF.
                ended = true;
                break;
            }
            haveFrame = true;
            advanced = true;
        }
        if (!haveFrame)
            return makeError("media.no_frames", request.source.string() + " has no video frames.");
        if (ended && times[i] > reader.currentTime() + 2 * frameInterval) {
            if (request.endsEarly)
                request.endsEarly(reader.currentTime() + frameInterval);
            break;
        }
        if (advanced || i == 0) {
            auto image =
                reader.currentImage(int(box.width), int(box.height), request.size.has_value());
            if (!image)
                return image.error();
            picture = std::move(*image);
            if (!encoder) {
                canvas = {picture.width, picture.height};
                encoder.emplace(picture.width, picture.height, request.loopCount, writer->sink(),
                                request.settings);
            } else if (picture.width != canvas.width || picture.height != canvas.height) {
                // The picture changed size midway: fitted onto the first
                // frame's canvas, as pictures of mixed sizes are.
                auto framed = image::placeCentred(picture, canvas);
                if (!framed)
                    return framed.error();
                picture = std::move(*framed);
            }
        }
        if (auto ok = encoder->addFrame(picture, request.delaySeconds); !ok)
            return ok.error();
        report(request.progress, double(i + 1) / double(times.size() + 1));
    }
    if (auto ok = encoder->finish(); !ok)
        return ok.error();
    if (auto ok = writer->commit(); !ok)
        return ok.error();
    report(request.progress, 1.0);
    return destination;
}

} // namespace flickbook::render
