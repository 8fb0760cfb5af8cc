#include "render/gif_render.h"

#include "core/byte_size.h"
#include "core/output_file.h"
#include "media/frame_reader.h"
#include "render/budget_guard.h"
#include "render/frame_spool.h"
#include "store/gif_store.h"

#include <algorithm>
#include <cmath>
#include <list>
#include <memory>
#include <tuple>

namespace flickbook::render {

namespace fs = std::filesystem;

std::size_t framesInFile(std::size_t frames, Loop loop) {
    return loop == Loop::bounce && frames >= 2 ? 2 * frames - 2 : frames;
}

std::vector<double> sampleTimes(double durationSeconds, std::size_t frameCount) {
    std::vector<double> times(frameCount);
    for (std::size_t i = 0; i < frameCount; ++i)
        times[i] = double(i) * durationSeconds / double(frameCount);
    return times;
}

namespace {

void report(const Progress& progress, double done) {
    if (progress)
        progress(std::clamp(done, 0.0, 1.0));
}

// The share from..to of a whole job's progress.
Progress slice(const Progress& progress, double from, double to) {
    if (!progress)
        return {};
    return [progress, from, to](double done) { report(progress, from + (to - from) * done); };
}

// Frames are written through an OutputFile: renamed into place on commit,
// removed otherwise. With a cap, the file refuses to grow past it.
class GifFileWriter {
public:
    static Result<std::unique_ptr<GifFileWriter>> open(const fs::path& destination,
                                                       std::optional<std::uint64_t> cap) {
        auto file = OutputFile::create(destination);
        if (!file)
            return file.error();
        return std::unique_ptr<GifFileWriter>(new GifFileWriter(std::move(*file), cap));
    }

    // Valid while the writer lives.
    gif::ByteSink sink() {
        return [this](std::span<const std::uint8_t> bytes) -> Result<void> {
            if (cap_ && written_ + bytes.size() > *cap_) {
                overCap_ = true;
                return makeError("render.over_cap", "The GIF grows past its budget.");
            }
            auto ok = file_.write(bytes);
            if (ok)
                written_ += bytes.size();
            return ok;
        };
    }

    Result<void> commit() { return file_.commit(); }
    std::uint64_t written() const { return written_; }
    bool overCap() const { return overCap_; }

private:
    GifFileWriter(OutputFile file, std::optional<std::uint64_t> cap)
        : file_(std::move(file)), cap_(cap) {}

    OutputFile file_;
    std::optional<std::uint64_t> cap_;
    std::uint64_t written_ = 0;
    bool overCap_ = false;
};

// The encoder fed with a render's frames in order; a bounce keeps them (all
// but the first) on disk and plays them again backwards at the end.
class AnimationWriter {
public:
    AnimationWriter(gif::ByteSink sink, double delaySeconds, std::uint16_t loopCount,
                    gif::EncoderSettings settings, Loop loop, fs::path spoolFolder)
        : sink_(std::move(sink)), delay_(delaySeconds), loopCount_(loopCount), settings_(settings),
          loop_(loop), spoolFolder_(std::move(spoolFolder)) {}

    // Frames given from now on are at the quality the guard says, from the
    // bytes `written` tells the file holds.
    void guardBudget(BudgetGuard guard, std::function<std::uint64_t()> written) {
        guard_.emplace(guard);
        written_ = std::move(written);
    }

    Result<void> add(const image::RgbaImage& frame) {
        if (!encoder_)
            encoder_.emplace(frame.width, frame.height, loopCount_, sink_, settings_);
        if (auto ok = addToEncoder(frame); !ok)
            return ok;
        if (loop_ == Loop::bounce && added_ > 0) {
            if (!spool_) {
                auto spool = FrameSpool::open(spoolFolder_);
                if (!spool)
                    return spool.error();
                spool_.emplace(std::move(*spool));
            }
            if (auto ok = spool_->append(frame); !ok)
                return ok;
        }
        ++added_;
        return {};
    }

    Result<void> finish(const Progress& wayBack) {
        if (!encoder_)
            return makeError("render.no_frames", "There are no frames to animate.");
        // The spool holds frames 2 … n; the way back is n−1 … 2.
        const std::size_t back = spool_ ? spool_->size() - 1 : 0;
        for (std::size_t k = 0; k < back; ++k) {
            auto frame = spool_->read(back - 1 - k);
            if (!frame)
                return frame.error();
            if (auto ok = addToEncoder(*frame); !ok)
                return ok;
            report(wayBack, double(k + 1) / double(back));
        }
        return encoder_->finish();
    }

    std::size_t framesWritten() const { return encoder_ ? encoder_->framesWritten() : 0; }

private:
    Result<void> addToEncoder(const image::RgbaImage& frame) {
        if (guard_)
            encoder_->setQuality(
                guard_->next(encoder_->framesAdded(), encoder_->framesWritten(), written_()));
        return encoder_->addFrame(frame, delay_);
    }

    gif::ByteSink sink_;
    double delay_;
    std::uint16_t loopCount_;
    gif::EncoderSettings settings_;
    Loop loop_;
    fs::path spoolFolder_;
    std::optional<gif::GifEncoder> encoder_;
    std::optional<FrameSpool> spool_;
    std::size_t added_ = 0;
    std::optional<BudgetGuard> guard_;
    std::function<std::uint64_t()> written_;
};

// Every frame of a render in order, handed over one at a time.
using FrameVisitor = std::function<Result<void>(const image::RgbaImage& frame)>;
// One pass over the source, making its frames with the long edge at most
// longEdge.
using FramePass = std::function<Result<void>(std::uint32_t longEdge, const FrameVisitor& visit,
                                             const Progress& progress)>;

// What imagesToGif and videoToGif share once their frames can be made.
struct Job {
    FramePass pass;
    std::function<Result<FrameSample>()> sample;
    // Called when the GIF is one its sample made: tells what a pass over
    // the frames would have told.
    std::function<void()> madeBySample;
    // Optional: a cheaper sample that answers small sizes only, tried first,
    // and the size it was asked for and could not answer (0 if none): the
    // sample after it starts its plan there.
    std::function<Result<FrameSample>()> smallSample;
    std::shared_ptr<const std::uint32_t> refusedEdge;
    std::size_t frames = 0; // as asked, before a bounce
    double delaySeconds = 0;
    std::uint16_t loopCount = 0;
    Loop loop = Loop::forward;
    std::uint32_t longEdge = 0;
    std::optional<std::uint64_t> maxBytes;
    std::optional<SizePlan> planned; // made already by an estimate
    gif::EncoderSettings settings;
    fs::path destination;
    Progress progress;
};

// The plan an estimate made already, where a render may start from it: for
// a budget, at a size estimated to fit it, within the size asked. One taken
// from a slope may be a tenth off where a GIF's size jumps: its encode could
// pass the budget near its end and be made again.
std::optional<SizePlan> usablePlan(const OutputSize& output, std::uint32_t longEdge) {
    const auto& plan = output.planned;
    if (!plan || !output.maxBytes || plan->fromSlope || plan->bytes > *output.maxBytes ||
        plan->longEdge == 0 || plan->longEdge > plan->largestEdge || plan->largestEdge > longEdge)
        return std::nullopt;
    return plan;
}

// One encode of the whole GIF into an uncommitted file. Stopped by the cap,
// it says how far it got instead of failing.
struct Attempt {
    std::unique_ptr<GifFileWriter> file; // null when stopped by the cap
    std::uint64_t bytes = 0;
    std::size_t framesWritten = 0;
};

// With a cap and the course of a pass over the same frames (one per frame
// of the file), the encode is guarded against passing the cap near its end
// (BudgetGuard).
Result<Attempt> encodeAt(const Job& job, std::uint32_t longEdge, int quality,
                         std::optional<std::uint64_t> cap, const Progress& progress,
                         std::vector<std::uint64_t> course = {}) {
    auto file = GifFileWriter::open(job.destination, cap);
    if (!file)
        return file.error();
    gif::EncoderSettings settings = job.settings;
    settings.quality = quality;
    AnimationWriter writer((*file)->sink(), job.delaySeconds, job.loopCount, settings, job.loop,
                           job.destination.parent_path());
    if (cap && !course.empty() && course.size() == framesInFile(job.frames, job.loop))
        writer.guardBudget(BudgetGuard(*cap, std::move(course), quality),
                           [&file] { return (*file)->written(); });
    const double forward = double(job.frames) / double(framesInFile(job.frames, job.loop));
    auto done = job.pass(
        longEdge, [&writer](const image::RgbaImage& frame) { return writer.add(frame); },
        slice(progress, 0, forward));
    if (done)
        done = writer.finish(slice(progress, forward, 1));
    Attempt attempt;
    attempt.bytes = (*file)->written();
    attempt.framesWritten = writer.framesWritten();
    if (!done) {
        if ((*file)->overCap())
            return attempt;
        return done.error();
    }
    attempt.file = std::move(*file);
    return attempt;
}

Result<void> commit(Attempt& attempt, const Progress& progress) {
    if (auto ok = attempt.file->commit(); !ok)
        return ok.error();
    report(progress, 1.0);
    return {};
}

// A GIF as asked: one encode at the largest size.
Result<void> renderAsAsked(const Job& job) {
    auto attempt = encodeAt(job, job.longEdge, job.settings.quality, std::nullopt,
                            slice(job.progress, 0, 0.99));
    if (!attempt)
        return attempt.error();
    return commit(*attempt, job.progress);
}

// The sample a budgeted render is planned on, and the plan.
struct Planned {
    FrameSample sample;
    SizePlan plan;
};

Result<Planned> planRender(const Job& job, std::uint64_t budget) {
    const std::size_t frames = framesInFile(job.frames, job.loop);
    for (const auto* make : {&job.smallSample, &job.sample}) {
        if (!*make)
            continue;
        auto sample = (*make)();
        if (!sample)
            return sample.error();
        auto plan = planSize(*sample, frames, job.settings.quality, budget, job.settings.threads,
                             job.longEdge, PlanFor::render, job.refusedEdge ? *job.refusedEdge : 0);
        if (!plan && plan.error().code == "render.sample_size")
            continue; // a size the small sample does not answer
        if (!plan)
            return plan.error();
        return Planned{std::move(*sample), *plan};
    }
    return makeError("render.sample", "No sample could plan the GIF's size.");
}

// The GIF at a long edge and quality: the one its sample made whole when it
// measured that size, where it did (only a GIF played forward is), else
// encoded (guarded by the course given). One over the cap is weighed, not
// written.
Result<Attempt> makeAt(const Job& job, const FrameSample& sample, std::uint32_t longEdge,
                       int quality, std::uint64_t cap, const Progress& progress,
                       std::vector<std::uint64_t> course) {
    const auto made = sample.wholeGifAt(longEdge, quality);
    if (!made)
        return encodeAt(job, longEdge, quality, cap, progress, std::move(course));
    Attempt attempt;
    attempt.bytes = made->size();
    attempt.framesWritten = job.frames;
    if (made->size() > cap)
        return attempt;
    auto file = GifFileWriter::open(job.destination, cap);
    if (!file)
        return file.error();
    if (auto ok = (*file)->sink()(*made); !ok)
        return ok.error();
    if (job.madeBySample)
        job.madeBySample();
    attempt.file = std::move(*file);
    return attempt;
}

// A GIF within a budget: planned from an estimate (or with the plan an
// estimate made already), made (encoded, or written as its sample made it),
// and encoded once more at a corrected size when the first is over the
// budget or well under it (and smaller than asked). A file over the budget
// is never kept: its encode stops as soon as it passes it.
Result<void> renderWithin(const Job& job, std::uint64_t budget) {
    std::optional<Planned> planned;
    if (!job.planned) {
        auto made = planRender(job, budget);
        if (!made)
            return made.error();
        planned = std::move(*made);
    }
    // Given a plan, no frames were kept while planning: a second encode
    // decodes them again.
    const SizePlan* plan = planned ? &planned->plan : &*job.planned;
    // Both tries are at the plan's quality, whose pass's course guards them.
    const auto make = [&](std::uint32_t longEdge, int quality,
                          const Progress& progress) -> Result<Attempt> {
        if (planned)
            return makeAt(job, planned->sample, longEdge, quality, budget, progress, plan->course);
        return encodeAt(job, longEdge, quality, budget, progress, plan->course);
    };
    const std::size_t frames = framesInFile(job.frames, job.loop);
    report(job.progress, 0.05);
    auto first = make(plan->longEdge, plan->quality, slice(job.progress, 0.05, 0.9));
    if (!first)
        return first.error();

    const std::uint32_t largest = plan->largestEdge;
    const std::uint32_t smallest = std::min(largest, kSmallestLongEdge);
    const bool asAsked = plan->longEdge >= largest && plan->quality >= job.settings.quality;
    const double floor = kBudgetFloor * double(budget);
    if (first->file && (double(first->bytes) >= floor || asAsked))
        return commit(*first, job.progress);

    // What the whole GIF would have weighed, from the frames it had written
    // when it passed the budget.
    const std::uint64_t weighed =
        first->file
            ? first->bytes
            : std::max<std::uint64_t>(budget + 1, first->framesWritten
                                                      ? first->bytes * frames / first->framesWritten
                                                      : 2 * budget);
    std::uint32_t edge = std::clamp(
        edgeFor(plan->longEdge, weighed, kBudgetAim * double(budget), plan->edgeExponent), smallest,
        largest);
    if (first->file && edge <= plan->longEdge)
        return commit(*first, job.progress); // no larger size is worth a try
    if (!first->file && edge >= plan->longEdge)
        edge = std::max(smallest, plan->longEdge - std::max(1u, plan->longEdge / 20));
    auto second = make(edge, plan->quality, slice(job.progress, 0.9, 0.99));
    if (!second)
        return second.error();
    if (second->file)
        return commit(*second, job.progress);
    if (first->file)
        return commit(*first, job.progress);

    // Both passed the budget, which the estimate made unlikely: a last try
    // well inside it.
    const std::uint64_t weighedAgain =
        second->framesWritten ? second->bytes * frames / second->framesWritten : 2 * budget;
    edge = std::clamp(edgeFor(edge, std::max(weighedAgain, budget + 1), 0.75 * double(budget),
                              plan->edgeExponent),
                      smallest, edge);
    auto last = encodeAt(job, edge, std::min(plan->quality, kLowestQuality), budget,
                         slice(job.progress, 0.99, 0.99));
    if (!last)
        return last.error();
    if (last->file)
        return commit(*last, job.progress);
    return makeError("render.over_budget",
                     "The GIF cannot be brought under " + formatByteSize(budget) + ".");
}

Result<void> run(const Job& job) {
    if (job.maxBytes)
        return renderWithin(job, *job.maxBytes);
    return renderAsAsked(job);
}

// --- Pictures ---------------------------------------------------------------

// Pictures a budget's sample decoded at a long edge, kept for the GIF's own
// pass: a GIF made at a size its plan measured takes them instead of
// decoding them again. The latest edges' are kept, up to kKeptBytes. The
// sample makes one picture at a time (each on a thread of its own, waited
// for before the next), and the plan is done before the pass takes any: it
// is never used by two threads at once.
class DecodedPictures {
public:
    void keep(std::size_t index, std::uint32_t longEdge, image::RgbaImage picture) {
        if (find(index, longEdge) != kept_.end())
            return; // made again for another quality
        const std::size_t bytes = picture.pixels.size();
        kept_.push_back({index, longEdge, std::move(picture)});
        bytes_ += bytes;
        while (bytes_ > kKeptBytes) {
            bytes_ -= kept_.front().picture.pixels.size();
            kept_.pop_front();
        }
    }

    std::optional<image::RgbaImage> take(std::size_t index, std::uint32_t longEdge) {
        auto found = find(index, longEdge);
        if (found == kept_.end())
            return std::nullopt;
        image::RgbaImage picture = std::move(found->picture);
        bytes_ -= picture.pixels.size();
        kept_.erase(found);
        return picture;
    }

    // Lets go of the pictures of every other edge: those no pass will take.
    void keepOnly(std::uint32_t longEdge) {
        std::erase_if(kept_, [&](const Kept& k) {
            if (k.longEdge == longEdge)
                return false;
            bytes_ -= k.picture.pixels.size();
            return true;
        });
    }

private:
    // Eight pictures of 1920 x 1440, a whole sample of 4:3 photographs.
    static constexpr std::size_t kKeptBytes = std::size_t(96) << 20;
    struct Kept {
        std::size_t index;
        std::uint32_t longEdge;
        image::RgbaImage picture;
    };
    std::list<Kept>::iterator find(std::size_t index, std::uint32_t longEdge) {
        return std::find_if(kept_.begin(), kept_.end(), [&](const Kept& k) {
            return k.index == index && k.longEdge == longEdge;
        });
    }

    std::list<Kept> kept_;
    std::size_t bytes_ = 0;
};

FramePass picturesPass(const ImagesRequest& request, std::shared_ptr<DecodedPictures> decoded) {
    return [&request, decoded](std::uint32_t longEdge, const FrameVisitor& visit,
                               const Progress& progress) -> Result<void> {
        decoded->keepOnly(longEdge);
        image::Size canvas;
        for (std::size_t i = 0; i < request.count; ++i) {
            auto kept = decoded->take(i, longEdge);
            auto picture = kept                ? Result<image::RgbaImage>(std::move(*kept))
                           : request.pictureAt ? request.pictureAt(i, longEdge)
                                               : request.picture(i);
            if (!picture)
                return picture.error();
            if (i == 0)
                canvas = image::canvasFor({picture->width, picture->height}, longEdge);
            auto framed = image::placeCentred(*picture, canvas);
            if (!framed)
                return framed.error();
            if (auto ok = visit(*framed); !ok)
                return ok;
            report(progress, double(i + 1) / double(request.count));
        }
        return {};
    };
}

Result<void> checkPictures(const ImagesRequest& request) {
    if (request.count == 0 || !request.picture)
        return makeError("render.no_frames", "There are no pictures to animate.");
    return {};
}

// --- Videos -----------------------------------------------------------------

// A video's frames for increasing times, each the frame closest to its time,
// fitted inside a box; in each box, every frame is placed on the first one's
// canvas. One pass may ask for the same frame in more than one box.
class VideoFrames {
public:
    static Result<VideoFrames> open(const fs::path& path) {
        auto source = media::VideoSource::open(path);
        if (!source)
            return source.error();
        const double duration = source->durationSeconds();
        if (!std::isfinite(duration) || duration <= 0)
            return makeError("render.duration", path.string() + " has no known duration.");
        const double frameRate = source->frameRate();
        return VideoFrames(std::move(*source), path, duration, frameRate);
    }

    double duration() const { return duration_; }

    // Only the frames closest to these times are wanted: the others that no
    // frame is decoded from are not decoded. A frame is kept up to a quarter
    // of a frame's interval beyond the half frame it stands for, so that
    // timestamps rounded by the container still find the frame the GIF
    // takes. Without a known frame rate every frame is decoded.
    void decodeOnlyFor(std::vector<double> times) {
        if (halfFrame_ > 0)
            reader_.decodeOnlyNear(std::move(times), halfFrame_ + frameInterval_ / 4);
    }

    // Where the last frame read ends: the GIF's end when the video stops early.
    double endSeconds() const { return reader_.currentTime() + frameInterval_; }

    // Decodes forward to the first frame that is the closest to t; false
    // when the video stopped decoding well before t.
    Result<bool> advanceTo(double t) {
        // Past the end, the last frame stands for the rest.
        while (!ended_ && (!haveFrame_ || reader_.currentTime() + halfFrame_ < t)) {
            auto more = reader_.next();
            if (!more && !haveFrame_)
                return makeError(more.error().code,
                                 path_.filename().string() + ": " + more.error().message);
            if (!more || !*more) {
                // A decoding error after good frames is a damaged tail: what
                // came before it still makes a GIF.
                ended_ = true;
                break;
            }
            haveFrame_ = true;
            ++decoded_;
        }
        if (!haveFrame_)
            return makeError("media.no_frames", path_.string() + " has no video frames.");
        // A video that ends more than this short of a frame's time has
        // stopped early, rather than having its last frame stand for the
        // last moment.
        return !(ended_ && t > reader_.currentTime() + 2 * frameInterval_);
    }

    // The current frame, kept to be scaled later.
    Result<media::KeptFrame> keepCurrent() const { return reader_.keepCurrent(); }
    // How many frames have been decoded: a new count is a new picture.
    std::size_t decodedCount() const { return decoded_; }

    // The current frame fitted inside box, scaled straight from the decoded
    // picture. Valid until the next call for the same box.
    Result<const image::RgbaImage*> picture(image::Size box, bool allowEnlarge) {
        auto view = viewFor(box, allowEnlarge);
        if (!view)
            return view.error();
        return &(*view)->picture;
    }

    // The frame for t; null when the video stopped decoding well before t.
    Result<const image::RgbaImage*> frameAt(double t, image::Size box, bool allowEnlarge) {
        auto there = advanceTo(t);
        if (!there)
            return there.error();
        if (!*there)
            return nullptr;
        return picture(box, allowEnlarge);
    }

private:
    VideoFrames(media::VideoSource source, fs::path path, double duration, double frameRate)
        : reader_(std::move(source)), path_(std::move(path)), duration_(duration),
          // A frame stands for the moment closest to its timestamp: it is
          // taken for a time up to half a frame before it.
          halfFrame_(frameRate > 0 ? 0.5 / frameRate : 0),
          frameInterval_(frameRate > 0 ? 1.0 / frameRate : 0.1) {}

    // The pictures made in one box: its canvas, and the latest one, made
    // from decoded frame number `frame`.
    struct View {
        image::Size box;
        bool allowEnlarge = false;
        std::optional<image::Size> canvas;
        image::RgbaImage picture;
        std::size_t frame = 0;
    };

    // The view for box, its picture made from the current frame.
    Result<View*> viewFor(image::Size box, bool allowEnlarge) {
        auto view = std::find_if(views_.begin(), views_.end(), [&](const View& v) {
            return v.box == box && v.allowEnlarge == allowEnlarge;
        });
        if (view == views_.end()) {
            View fresh;
            fresh.box = box;
            fresh.allowEnlarge = allowEnlarge;
            view = views_.insert(views_.end(), std::move(fresh));
        }
        if (view->frame == decoded_ && !view->picture.pixels.empty())
            return &*view;
        auto image = reader_.currentImage(std::move(view->picture), int(box.width), int(box.height),
                                          allowEnlarge);
        if (!image)
            return image.error();
        view->picture = std::move(*image);
        view->frame = decoded_;
        // A picture that changed size midway goes onto the first frame's canvas.
        if (auto ok = image::ontoCanvas(view->picture, view->canvas); !ok)
            return ok.error();
        return &*view;
    }

    media::FrameReader reader_;
    fs::path path_;
    double duration_;
    double halfFrame_;
    double frameInterval_;
    bool haveFrame_ = false;
    bool ended_ = false;
    std::size_t decoded_ = 0;
    // A list, so that a picture handed out stays where it is when another
    // box is added.
    std::list<View> views_;
};

// The video's frames as a GIF takes them, kept from a budget's estimate so
// that its encodes scale them again rather than decode the video once more.
// Kept as decoded (a 1080p frame takes about 3 MB), up to kKeptClipBytes:
// past that, the encodes decode the video themselves.
struct KeptClip {
    std::vector<media::KeptFrame> frames; // one for each frame of the GIF
    std::optional<double> endsAt;         // where the video stopped early
    std::uint64_t bytes = 0;
    std::size_t lastPicture = 0; // the decoded count of the latest frame kept
    bool complete = false;
};
constexpr std::uint64_t kKeptClipBytes = 768ull << 20;

// The largest long edge a video GIF may have.
std::uint32_t largestEdge(const VideoRequest& request) {
    if (request.size)
        return std::min(request.output.maxLongEdge,
                        std::max(request.size->width, request.size->height));
    return request.output.maxLongEdge;
}

// The box frames are fitted in for a long edge, and whether they may grow
// to fill it (only when a size was asked for).
std::pair<image::Size, bool> boxFor(const VideoRequest& request, std::uint32_t longEdge) {
    if (request.size)
        return {image::fitInside(*request.size, {longEdge, longEdge}, false), true};
    return {image::Size{longEdge, longEdge}, false};
}

void tellEnd(const VideoRequest& request, bool& toldEnd, double seconds) {
    if (request.endsEarly && !toldEnd)
        request.endsEarly(seconds);
    toldEnd = true;
}

// Where a clip kept from the estimate stopped early, if it did, told as a
// pass over its frames tells it.
void tellClipEnd(const VideoRequest& request, const KeptClip& clip, bool& toldEnd) {
    if (clip.endsAt)
        tellEnd(request, toldEnd, *clip.endsAt);
}

// A pass over frames kept from the estimate, made as a decoding pass makes
// them: each fitted inside the box and placed on the first one's canvas.
Result<void> keptPass(const VideoRequest& request, const KeptClip& clip, bool& toldEnd,
                      std::uint32_t longEdge, const FrameVisitor& visit, const Progress& progress) {
    const auto [box, allowEnlarge] = boxFor(request, longEdge);
    media::FrameScaler scaler;
    std::optional<image::Size> canvas;
    image::RgbaImage previous;
    for (std::size_t i = 0; i < clip.frames.size(); ++i) {
        auto picture = clip.frames[i].image(scaler, int(box.width), int(box.height), allowEnlarge,
                                            std::move(previous));
        if (!picture)
            return picture.error();
        if (auto ok = image::ontoCanvas(*picture, canvas); !ok)
            return ok;
        if (auto ok = visit(*picture); !ok)
            return ok;
        previous = std::move(*picture);
        report(progress, double(i + 1) / double(clip.frames.size()));
    }
    tellClipEnd(request, clip, toldEnd);
    return {};
}

FramePass videoPass(const VideoRequest& request, const std::shared_ptr<const KeptClip>& clip,
                    bool& toldEnd) {
    return [&request, clip, &toldEnd](std::uint32_t longEdge, const FrameVisitor& visit,
                                      const Progress& progress) -> Result<void> {
        if (clip->complete)
            return keptPass(request, *clip, toldEnd, longEdge, visit, progress);
        auto frames = VideoFrames::open(request.source);
        if (!frames)
            return frames.error();
        const std::vector<double> times = sampleTimes(frames->duration(), request.frameCount);
        const auto [box, allowEnlarge] = boxFor(request, longEdge);
        for (std::size_t i = 0; i < times.size(); ++i) {
            auto frame = frames->frameAt(times[i], box, allowEnlarge);
            if (!frame)
                return frame.error();
            if (!*frame) {
                tellEnd(request, toldEnd, frames->endSeconds());
                break;
            }
            if (auto ok = visit(**frame); !ok)
                return ok;
            report(progress, double(i + 1) / double(times.size()));
        }
        return {};
    };
}

Result<fs::path> videoDestination(const VideoRequest& request) {
    if (request.destination)
        return *request.destination;
    const fs::path folder = store::GifStore::standard().temporaryFolder();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return makeError("file.create", "Cannot make " + folder.string() + ": " + ec.message());
    return uniquePathIn(folder, "video-", ".gif");
}

// Frames of a video GIF kept for scaling its estimate: runs of three
// consecutive frames spread over the animation, the first at its start. The
// two after a run's first are measured (each encoded right after the frame
// before it, as in the GIF), and so is a run's first where it follows the run
// before. Each later run is led in by up to four frames (no more than half
// the gap before it) that, with the run's first, are shown to the encoder and
// not measured: the GIF's encoder compares a frame with what the screen
// holds, where changes within its tolerance were never stored and have grown
// since, and a frame compared with a screen just made costs less than in the
// GIF (a quarter less for the shared car clip at half speed).
//
// A GIF the runs would cover is sampled whole, every frame after the first
// measured, and needs no whole-animation pass. So is a render's GIF of up to
// kRenderSampledWhole frames: its runs and their lead-ins would hold most of
// it anyway, and each size its sample measures is the GIF itself, exact and
// kept. A window's estimate, which must follow a change within a second,
// measures up to a dozen frames a size: 24 frames at 1920 px take longer.
enum class Sampled : std::uint8_t { no, shown, measured };
constexpr std::size_t kSampleRuns = 4;
constexpr std::size_t kSampleRunLength = 3;
constexpr std::size_t kSampleLeadIn = 4;
constexpr std::size_t kRenderSampledWhole = 24;

bool sampledWhole(std::size_t frames, bool forRender) {
    return frames <= (forRender ? kRenderSampledWhole : kSampleRuns * kSampleRunLength);
}

// Whether a render's sample makes its video GIF itself at each size it
// measures: every frame measured, played forward (the sample does not hold
// the way back).
bool sampleMakesTheGif(std::size_t frames, Loop loop) {
    return sampledWhole(frames, true) && loop == Loop::forward;
}

std::vector<Sampled> keptForSample(std::size_t frames, bool whole) {
    if (whole)
        return std::vector<Sampled>(frames, Sampled::measured);
    std::vector<Sampled> kept(frames, Sampled::no);
    const std::size_t runs =
        std::min(kSampleRuns, (frames + kSampleRunLength - 1) / kSampleRunLength);
    const std::size_t lastStart = frames > kSampleRunLength ? frames - kSampleRunLength : 0;
    std::size_t runEnd = 0; // where the run before ends
    for (std::size_t k = 0; k < runs; ++k) {
        const std::size_t start = runs == 1 ? 0 : (k * lastStart + (runs - 1) / 2) / (runs - 1);
        const std::size_t gap = start > runEnd ? start - runEnd : 0;
        for (std::size_t j = start - std::min(kSampleLeadIn, gap / 2); j < start; ++j)
            kept[j] = Sampled::shown;
        const std::size_t end = std::min(frames, start + kSampleRunLength);
        // A run's first frame is measured only where it follows the run
        // before, as in a short GIF sampled whole.
        kept[start] = start > 0 && gap == 0 ? Sampled::measured : Sampled::shown;
        for (std::size_t j = start + 1; j < end; ++j)
            kept[j] = Sampled::measured;
        runEnd = end;
    }
    return kept;
}

// The long edge of a video's whole-animation pass: a quarter of the GIF's
// (at least 320), so that it costs about a sixteenth of the GIF's own
// encode.
std::uint32_t smallPassEdge(std::uint32_t largest) {
    return std::min(largest, std::max(kSmallestLongEdge * 2, largest / 4));
}

} // namespace

// --- Entry points -------------------------------------------------------------

namespace {

// A set's pictures are sampled rather than their order: up to 8 spread over
// it, first and last included, since a picture costs what its content costs.
std::size_t picturesSampled(const ImagesRequest& request) {
    return std::min<std::size_t>(request.count, 8);
}
std::size_t sampledPicture(const ImagesRequest& request, std::size_t k) {
    const std::size_t count = picturesSampled(request);
    return count == 1 ? 0 : (k * (request.count - 1) + (count - 1) / 2) / (count - 1);
}

// The sample of a budgeted render whose source decodes its pictures at the
// size asked (pictureAt), for a budget far under the GIF as asked: each size
// is measured on the pictures decoded at that size, as the GIF's own frames
// will be, so they are never decoded whole (a JPEG decodes itself at a
// half, a quarter or an eighth). Only the first is read at its largest, for
// the canvas. It answers sizes up to two thirds of the largest edge (a
// size the search may step through on its way to a budget far under), and
// refuses a larger one ("render.sample_size"), whose pictures cost about
// what they cost whole: that plan is made on the whole sample, read once.
Result<FrameSample> sampleSmallPictures(const ImagesRequest& request,
                                        std::shared_ptr<DecodedPictures> decoded,
                                        std::shared_ptr<std::uint32_t> refused) {
    auto first = request.pictureAt(0, request.output.maxLongEdge);
    if (!first)
        return first.error();
    const image::Size canvas =
        image::canvasFor({first->width, first->height}, request.output.maxLongEdge);
    // Read as the whole sample reads it, which the plan may fall back on,
    // and the GIF as asked, which it may choose without measuring it (a
    // budget far above it).
    decoded->keep(0, request.output.maxLongEdge, std::move(*first));
    // Only their size until a size is measured.
    std::vector<image::RgbaImage> run(
        picturesSampled(request), image::RgbaImage{canvas.width, bandsHeight(canvas.height), {}});
    std::vector<bool> counted(run.size(), true);
    counted[0] = false;
    FrameSample::FrameMaker made = [&request, canvas, decoded,
                                    refused](std::size_t k,
                                             std::uint32_t longEdge) -> Result<image::RgbaImage> {
        if (3 * longEdge > 2 * std::max(canvas.width, canvas.height)) {
            *refused = longEdge;
            return makeError("render.sample_size", "The sample answers small sizes only.");
        }
        const std::size_t index = sampledPicture(request, k);
        auto picture = request.pictureAt(index, longEdge);
        if (!picture)
            return picture.error();
        auto framed =
            image::placeCentred(*picture, image::fitInside(canvas, {longEdge, longEdge}, false));
        if (!framed)
            return framed.error();
        decoded->keep(index, longEdge, std::move(*picture));
        return bandsOf(*framed);
    };
    return FrameSample(std::move(run), std::move(counted), canvas, {}, std::move(made));
}

// The whole sample: each sampled picture on the canvas of the GIF as asked,
// as bands of its rows. Given the pictures a pass keeps, they are read as the
// pass reads them at the canvas's long edge, and kept: a GIF made as asked,
// the usual answer to a budget near or above it, then decodes only those
// not sampled. The first is kept only where the canvas's long edge is the
// one it was read at.
Result<FrameSample> sampleWholePictures(const ImagesRequest& request, DecodedPictures* decoded) {
    if (auto ok = checkPictures(request); !ok)
        return ok.error();
    const std::uint32_t largest = request.output.maxLongEdge;
    const std::size_t count = picturesSampled(request);
    std::vector<image::RgbaImage> run;
    image::Size canvas;
    std::uint32_t edge = largest;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = sampledPicture(request, k);
        std::optional<image::RgbaImage> kept;
        if (decoded && k == 0)
            kept = decoded->take(0, largest);
        auto picture = kept                           ? Result<image::RgbaImage>(std::move(*kept))
                       : decoded && request.pictureAt ? request.pictureAt(i, edge)
                                                      : request.picture(i);
        if (!picture)
            return picture.error();
        if (k == 0) {
            canvas = image::canvasFor({picture->width, picture->height}, largest);
            edge = std::max(canvas.width, canvas.height);
        }
        auto framed = image::placeCentred(*picture, canvas);
        if (!framed)
            return framed.error();
        run.push_back(bandsOf(*framed));
        if (decoded && (k > 0 || edge == largest))
            decoded->keep(i, edge, std::move(*picture));
    }
    std::vector<bool> counted(run.size(), true);
    counted[0] = false;
    return FrameSample(std::move(run), std::move(counted), canvas);
}

} // namespace

Result<FrameSample> sampleFrames(const ImagesRequest& request) {
    return sampleWholePictures(request, nullptr);
}

namespace {

// Keeps the current frame for the GIF's next one. A frame taken again (a
// GIF slower than the video) shares the picture and costs nothing more; a
// clip that grows past its bytes is let go.
void keepInClip(const VideoFrames& frames, KeptClip& clip) {
    if (clip.bytes > kKeptClipBytes)
        return;
    auto frame = frames.keepCurrent();
    if (frame && (clip.frames.empty() || frames.decodedCount() != clip.lastPicture))
        clip.bytes += frame->bytes();
    clip.lastPicture = frames.decodedCount();
    if (!frame || clip.bytes > kKeptClipBytes) {
        clip.bytes = kKeptClipBytes + 1;
        clip.frames = {};
        return;
    }
    clip.frames.push_back(std::move(*frame));
}

// The whole animation encoded at a small size at one quality, frame by
// frame, its bytes counted; kept too, when asked, up to kKeptBytes or the
// budget (a GIF over it is never written).
class SmallEncode {
public:
    SmallEncode(const VideoRequest& request, int quality, bool keepGif)
        : request_(request), keeping_(keepGif),
          keptBytes_(std::min(kKeptBytes, request.output.maxBytes.value_or(kKeptBytes))) {
        pass_.quality = quality;
    }
    // The encoder's sink holds the address.
    SmallEncode(const SmallEncode&) = delete;
    SmallEncode& operator=(const SmallEncode&) = delete;

    int quality() const { return pass_.quality; }

    // The GIF's next frame, made at the pass's long edge; kept too when it
    // is one of the sample's frames.
    Result<void> add(const image::RgbaImage& frame, std::uint32_t longEdge, bool sampled) {
        const bool first = !encoder_;
        if (first) {
            pass_.longEdge = longEdge;
            const gif::ByteSink sink = [this](std::span<const std::uint8_t> bytes) -> Result<void> {
                if (pieces_++ == 0)
                    pass_.header = bytes.size(); // the header comes on its own
                total_ += bytes.size();
                if (pieces_ > 1)
                    pass_.course.push_back(total_);
                if (keeping_ && total_ > keptBytes_) {
                    keeping_ = false;
                    gif_ = {};
                }
                if (keeping_)
                    gif_.insert(gif_.end(), bytes.begin(), bytes.end());
                return {};
            };
            encoder_.emplace(frame.width, frame.height, request_.loopCount, sink,
                             gif::EncoderSettings{pass_.quality, request_.settings.threads});
        }
        if (auto ok = encoder_->addFrame(frame, request_.delaySeconds); !ok)
            return ok;
        if (first) {
            if (auto ok = encoder_->flush(); !ok)
                return ok;
            pass_.first = total_ - pass_.header;
        }
        ++pass_.frames;
        if (sampled)
            pass_.sampled.push_back(frame);
        return {};
    }

    Result<SmallPass> finish() {
        if (!encoder_)
            return makeError("media.no_frames", request_.source.string() + " has no video frames.");
        if (auto ok = encoder_->finish(); !ok)
            return ok.error();
        pass_.rest = total_ - pass_.header - pass_.first - 1; // less the trailer
        // Each frame comes to the sink on its own, then the trailer.
        if (pass_.course.size() == pass_.frames + 1)
            pass_.course.pop_back();
        else
            pass_.course.clear();
        if (keeping_) {
            gif_.shrink_to_fit();
            pass_.gif = std::make_shared<const std::vector<std::uint8_t>>(std::move(gif_));
        }
        return std::move(pass_);
    }

private:
    static constexpr std::uint64_t kKeptBytes = 64u << 20;
    const VideoRequest& request_;
    bool keeping_;
    std::uint64_t keptBytes_;
    std::vector<std::uint8_t> gif_;
    SmallPass pass_;
    std::uint64_t total_ = 0;
    std::size_t pieces_ = 0;
    std::optional<gif::GifEncoder> encoder_;
};

// What one frame count's sample gathers while the video is decoded: the whole
// animation encoded at the small size (unless it is sampled whole), and the
// sampled frames. It is encoded at the quality asked and at the lowest, which
// a budget may choose: at a lower quality more small changes go unstored and
// grow, so a frame costs another share of what it costs at the quality asked
// (a tenth of it, or half, from one clip to the next), which only the whole
// animation shows. A budget takes the lowest quality for GIFs of a few
// hundred pixels, so that pass is made at half the small size, for a quarter
// of its cost. A render's passes wait until its plan needs them.
struct CountSampling {
    std::size_t frameCount = 0;
    bool whole = false; // every frame measured, with no small pass
    std::vector<double> times;
    std::vector<Sampled> keep;
    std::list<SmallEncode> passes; // each encoder's sink holds its address
    // The kept frames' sizes at the GIF's size.
    std::vector<image::RgbaImage> kept;
    // The kept frames as decoded, to be scaled to other sizes as the GIF's
    // frames are.
    std::shared_ptr<std::vector<media::KeptFrame>> decoded =
        std::make_shared<std::vector<media::KeptFrame>>();
    std::vector<bool> counted;
    bool stopped = false; // the video stopped before this count's next time
};

// The samples of a video GIF at each frame count, from one decode; with a
// clip (one count only), every frame the GIF takes is kept in it too, while
// they fit. Given a pass over the GIF's frames (a render's, which goes over
// the clip kept), each small pass is left until a plan looks at its
// quality, where the clip is expected to be kept whole: most budgets never
// look at the lowest (its pass cost a tenth of a budgeted render of a few
// hundred pixels), and one that lands at the lowest never needs the pass at
// the quality asked, larger than such a GIF and about as dear to make.
Result<std::vector<FrameSample>> sampleVideo(const VideoRequest& request,
                                             std::span<const std::size_t> frameCounts,
                                             KeptClip* clip, FramePass passLater = {}) {
    if (frameCounts.empty() ||
        std::find(frameCounts.begin(), frameCounts.end(), 0) != frameCounts.end())
        return makeError("render.no_frames", "A GIF of 0 frames was asked for.");
    if (clip && frameCounts.size() != 1)
        return makeError("render.sample", "A clip is kept for one frame count only.");
    auto frames = VideoFrames::open(request.source);
    if (!frames)
        return frames.error();
    // A render's small passes, played forward at the GIF's own frames, are
    // the GIF at their size and quality: kept, a plan that lands there
    // writes them. Frames fitted into an asked size are boxed otherwise.
    const bool keepPassGifs = clip && request.loop == Loop::forward && !request.size;
    std::vector<std::unique_ptr<CountSampling>> counts;
    // Every count's frames, in the order the video gives them: (time,
    // count, frame).
    std::vector<std::tuple<double, std::size_t, std::size_t>> order;
    std::vector<double> allTimes;
    for (const std::size_t frameCount : frameCounts) {
        auto count = std::make_unique<CountSampling>();
        count->frameCount = frameCount;
        count->times = sampleTimes(frames->duration(), frameCount);
        count->whole = sampledWhole(frameCount, clip != nullptr);
        count->keep = keptForSample(frameCount, count->whole);
        if (!count->whole) {
            count->passes.emplace_back(request, request.settings.quality, keepPassGifs);
            if (kLowestQuality < request.settings.quality)
                count->passes.emplace_back(request, kLowestQuality, keepPassGifs);
        }
        for (std::size_t i = 0; i < count->times.size(); ++i)
            order.emplace_back(count->times[i], counts.size(), i);
        allTimes.insert(allTimes.end(), count->times.begin(), count->times.end());
        counts.push_back(std::move(count));
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
    std::sort(allTimes.begin(), allTimes.end());
    // Frames kept for the GIF must be the ones a decoding pass takes, which
    // sees every frame: a video whose frames are not evenly spaced could
    // otherwise give another frame near a GIF time.
    if (clip)
        *clip = {}; // a sample taken again keeps its frames afresh
    else
        frames->decodeOnlyFor(std::move(allTimes));
    const std::uint32_t largest = largestEdge(request);
    const auto [box, allowEnlarge] = boxFor(request, largest);

    image::Size canvas;
    image::Size smallBox = box, lowBox = box;
    std::uint32_t smallEdge = 0, lowEdge = 0;
    bool started = false;
    bool deferPasses = false; // a render's small passes wait until a plan needs them
    for (const auto& [time, which, i] : order) {
        CountSampling& count = *counts[which];
        if (count.stopped)
            continue;
        auto there = frames->advanceTo(time);
        if (!there)
            return there.error();
        if (!*there) {
            if (clip)
                clip->endsAt = frames->endSeconds();
            count.stopped = true; // the video stops early: the GIF will too
            continue;
        }
        if (clip)
            keepInClip(*frames, *clip);
        if (!started) {
            auto first = frames->picture(box, allowEnlarge);
            if (!first)
                return first.error();
            canvas = {(*first)->width, (*first)->height};
            const std::uint32_t longEdge = std::max(canvas.width, canvas.height);
            smallEdge = smallPassEdge(longEdge);
            if (smallEdge < longEdge)
                smallBox = {smallEdge, smallEdge};
            lowEdge = std::min(longEdge, std::max(kSmallestLongEdge, smallEdge / 2));
            if (lowEdge < longEdge)
                lowBox = {lowEdge, lowEdge};
            started = true;
            // Left for later only over a clip expected to be kept whole: a
            // pass that had to decode the video again would cost more than
            // it saves.
            deferPasses = passLater && clip && !count.whole &&
                          clip->bytes * count.frameCount <= kKeptClipBytes;
            if (deferPasses)
                count.passes.clear();
        }
        // Every frame is made at the small sizes straight from the decoded
        // picture; only the kept ones are made at the GIF's size too.
        for (SmallEncode& encode : count.passes) {
            const bool low = encode.quality() < request.settings.quality;
            auto small = frames->picture(low ? lowBox : smallBox, allowEnlarge);
            if (!small)
                return small.error();
            if (auto ok =
                    encode.add(**small, low ? lowEdge : smallEdge, count.keep[i] != Sampled::no);
                !ok)
                return ok.error();
        }
        if (count.keep[i] != Sampled::no) {
            // Only its size: the picture is made from the decoded frame when
            // a size is measured, so a budget that never needs the largest
            // size never makes it.
            count.kept.push_back(image::RgbaImage{canvas.width, canvas.height, {}});
            auto frame = frames->keepCurrent();
            if (!frame)
                return frame.error();
            count.decoded->push_back(std::move(*frame));
            count.counted.push_back(count.keep[i] == Sampled::measured);
        }
    }
    std::vector<FrameSample> samples;
    for (auto& count : counts) {
        if (count->kept.empty())
            return makeError("media.no_frames", request.source.string() + " has no video frames.");
        std::vector<SmallPass> passes;
        for (SmallEncode& encode : count->passes) {
            auto pass = encode.finish();
            if (!pass)
                return pass.error();
            passes.push_back(std::move(*pass));
        }
        FrameSample::FrameMaker remake = [decoded = count->decoded, size = request.size](
                                             std::size_t index,
                                             std::uint32_t longEdge) -> Result<image::RgbaImage> {
            const image::Size box = size ? image::fitInside(*size, {longEdge, longEdge}, false)
                                         : image::Size{longEdge, longEdge};
            return (*decoded)[index].image(int(box.width), int(box.height), size.has_value());
        };
        samples.emplace_back(std::move(count->kept), std::move(count->counted), canvas,
                             std::move(passes), std::move(remake));
        if (deferPasses) {
            const auto passAt = [&request, keepPassGifs, pass = passLater,
                                 keep = count->keep](int quality) {
                return [&request, keepPassGifs, pass, keep,
                        quality](std::uint32_t edge) -> Result<SmallPass> {
                    SmallEncode encode(request, quality, keepPassGifs);
                    std::size_t i = 0;
                    auto ok = pass(edge,
                                   [&](const image::RgbaImage& frame) {
                                       const bool sampled =
                                           i < keep.size() && keep[i] != Sampled::no;
                                       ++i;
                                       return encode.add(frame, edge, sampled);
                                   },
                                   {});
                    if (!ok)
                        return ok.error();
                    return encode.finish();
                };
            };
            samples.back().addPassWhenNeeded(smallEdge, request.settings.quality,
                                             passAt(request.settings.quality));
            if (kLowestQuality < request.settings.quality)
                samples.back().addPassWhenNeeded(lowEdge, kLowestQuality, passAt(kLowestQuality));
        }
        // A render's GIF sampled whole is made by the sample at each size
        // it measures.
        if (clip && sampleMakesTheGif(count->frameCount, request.loop))
            samples.back().keepWholeGifs({request.delaySeconds, request.loopCount});
    }
    if (clip)
        clip->complete = clip->bytes <= kKeptClipBytes;
    return samples;
}

Result<FrameSample> sampleVideo(const VideoRequest& request, KeptClip* clip,
                                FramePass passLater = {}) {
    const std::size_t frameCount = request.frameCount;
    auto samples = sampleVideo(request, std::span(&frameCount, 1), clip, std::move(passLater));
    if (!samples)
        return samples.error();
    return std::move(samples->front());
}

} // namespace

Result<FrameSample> sampleFrames(const VideoRequest& request) {
    return sampleVideo(request, nullptr);
}

Result<std::vector<FrameSample>> sampleFrames(const VideoRequest& request,
                                              std::span<const std::size_t> frameCounts) {
    return sampleVideo(request, frameCounts, nullptr);
}

Result<SizePlan> estimateSize(const ImagesRequest& request) {
    auto sample = sampleFrames(request);
    if (!sample)
        return sample.error();
    return planSize(*sample, framesInFile(request.count, request.loop), request.settings.quality,
                    request.output.maxBytes, request.settings.threads);
}

Result<SizePlan> estimateSize(const VideoRequest& request) {
    auto sample = sampleFrames(request);
    if (!sample)
        return sample.error();
    return planSize(*sample, framesInFile(request.frameCount, request.loop),
                    request.settings.quality, request.output.maxBytes, request.settings.threads);
}

Result<void> imagesToGif(const ImagesRequest& request) {
    if (auto ok = checkPictures(request); !ok)
        return ok;
    Job job;
    auto decoded = std::make_shared<DecodedPictures>();
    job.pass = picturesPass(request, decoded);
    if (request.pictureAt) {
        auto refused = std::make_shared<std::uint32_t>(0);
        job.smallSample = [&request, decoded, refused] {
            return sampleSmallPictures(request, decoded, refused);
        };
        job.refusedEdge = refused;
        job.sample = [&request, decoded] {
            // Asked when the small sample cannot answer: the pictures it
            // decoded are of sizes the GIF will not have.
            decoded->keepOnly(request.output.maxLongEdge);
            return sampleWholePictures(request, decoded.get());
        };
    } else {
        job.sample = [&request] { return sampleFrames(request); };
    }
    job.frames = request.count;
    job.delaySeconds = request.delaySeconds;
    job.loopCount = request.loopCount;
    job.loop = request.loop;
    job.longEdge = request.output.maxLongEdge;
    job.maxBytes = request.output.maxBytes;
    job.planned = usablePlan(request.output, job.longEdge);
    job.settings = request.settings;
    job.destination = request.destination;
    job.progress = request.progress;
    return run(job);
}

Result<fs::path> videoToGif(const VideoRequest& request) {
    if (request.frameCount == 0)
        return makeError("render.no_frames", "A GIF of 0 frames was asked for.");
    // The source is looked at before anything is written.
    if (auto frames = VideoFrames::open(request.source); !frames)
        return frames.error();
    auto destination = videoDestination(request);
    if (!destination)
        return destination.error();
    bool toldEnd = false;
    auto clip = std::make_shared<KeptClip>();
    Job job;
    job.pass = videoPass(request, clip, toldEnd);
    job.sample = [&request, clip, pass = job.pass] {
        return sampleVideo(request, clip.get(), pass);
    };
    job.madeBySample = [&request, clip, &toldEnd] { tellClipEnd(request, *clip, toldEnd); };
    job.frames = request.frameCount;
    job.delaySeconds = request.delaySeconds;
    job.loopCount = request.loopCount;
    job.loop = request.loop;
    job.longEdge = largestEdge(request);
    job.maxBytes = request.output.maxBytes;
    if (!sampleMakesTheGif(request.frameCount, request.loop))
        job.planned = usablePlan(request.output, job.longEdge);
    job.settings = request.settings;
    job.destination = *destination;
    job.progress = request.progress;
    if (auto ok = run(job); !ok)
        return ok.error();
    return *destination;
}

} // namespace flickbook::render
