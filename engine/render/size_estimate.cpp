#include "render/size_estimate.h"

#include "core/byte_size.h"
#include "gif/encoder.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <new>
#include <system_error>

namespace flickbook::render {

namespace {

// Bands a picture taller than this is sampled in, and the share of its rows
// they hold: 8 bands of 1/32 of the height each (ten rows or more), a
// quarter of the pixels. Kept whole, a picture costs its estimate four times
// as much: ten photographs at 800 px would be estimated on eight of them
// whole, near what their GIF costs.
constexpr std::uint32_t kBands = 8;
constexpr std::uint32_t kBandShare = 32;
constexpr std::uint32_t kRowsKeptWhole = 320;

// What the sample's frames cost when encoded in order: the bytes before the
// first frame (header, colour table, loop extension), then each frame's.
struct SampleCost {
    std::uint64_t header = 0;
    std::vector<std::uint64_t> frames;
};

// Sample frame `index`, valid until the next frame is asked for.
using SampleFrames = std::function<Result<const image::RgbaImage*>(std::size_t index)>;

// Frames after the first that are not counted only set what the next frame
// is compared against: they are shown to the encoder, not encoded, and cost
// nothing. Given a timing, the frames are encoded as that GIF and its bytes
// kept in `gif`, unless they pass gifLimit: `gif` is then left empty. Once
// `stopped` says so, no further frame is taken ("render.stopped").
Error stoppedError() {
    return makeError("render.stopped", "The estimate gave way to a newer one.");
}

Result<SampleCost> encodeSample(std::size_t count, const SampleFrames& frameAt,
                                const std::vector<bool>& counted, int quality, unsigned threads,
                                const std::function<bool()>& stopped,
                                std::optional<GifTiming> timing = std::nullopt,
                                std::vector<std::uint8_t>* gif = nullptr,
                                std::size_t gifLimit = 0) {
    // The encoder hands the header over on its own, then each frame's bytes
    // in one piece, in order: the n-th piece after the header is the n-th
    // frame encoded, so the frames are encoded side by side on the workers
    // rather than flushed one at a time.
    std::vector<std::uint64_t> pieces;
    std::optional<gif::GifEncoder> encoder;
    std::vector<bool> encoded;
    for (std::size_t i = 0; i < count; ++i) {
        if (stopped && stopped())
            return stoppedError();
        auto frame = frameAt(i);
        if (!frame)
            return frame.error();
        if (i == 0)
            encoder.emplace((*frame)->width, (*frame)->height, timing ? timing->loopCount : 0,
                            [&](std::span<const std::uint8_t> bytes) -> Result<void> {
                                pieces.push_back(bytes.size());
                                if (gif && gif->size() + bytes.size() > gifLimit) {
                                    *gif = {}; // too large to keep: only measured
                                    gif = nullptr;
                                }
                                if (gif)
                                    gif->insert(gif->end(), bytes.begin(), bytes.end());
                                return {};
                            },
                            gif::EncoderSettings{.quality = quality, .threads = threads});
        const bool shownOnly = i > 0 && i < counted.size() && !counted[i];
        auto ok = shownOnly ? encoder->showUnwritten(**frame)
                            : encoder->addFrame(**frame, timing ? timing->delaySeconds : 0.1);
        if (!ok)
            return ok.error();
        encoded.push_back(!shownOnly);
    }
    if (!encoder)
        return makeError("render.no_frames", "There are no frames to estimate.");
    if (auto ok = encoder->flush(); !ok)
        return ok.error();
    const auto written = std::size_t(std::count(encoded.begin(), encoded.end(), true));
    if (pieces.size() != written + 1)
        return makeError("render.sample", "The sample's frames were not written one by one.");
    if (gif) {
        if (auto ok = encoder->finish(); !ok) // the trailer
            return ok.error();
    }
    SampleCost cost;
    cost.header = pieces[0];
    std::size_t next = 1;
    for (const bool wasEncoded : encoded)
        cost.frames.push_back(wasEncoded ? pieces[next++] : 0);
    return cost;
}

Result<SampleCost> encodeSample(const std::vector<image::RgbaImage>& frames,
                                const std::vector<bool>& counted, int quality, unsigned threads,
                                const std::function<bool()>& stopped) {
    return encodeSample(
        frames.size(), [&](std::size_t i) -> Result<const image::RgbaImage*> { return &frames[i]; },
        counted, quality, threads, stopped);
}

// Rounded up to two significant figures, so that a size said to a person is
// never below the real one.
std::uint64_t roundUpForPeople(std::uint64_t bytes) {
    std::uint64_t unit = 1;
    while (bytes / unit >= 100)
        unit *= 10;
    return (bytes + unit - 1) / unit * unit;
}

} // namespace

FrameSample::FrameSample(std::vector<image::RgbaImage> frames, std::vector<bool> counted,
                         image::Size canvas, std::vector<SmallPass> smallPasses, FrameMaker remake)
    : frames_(std::move(frames)), counted_(std::move(counted)), canvas_(canvas),
      smallPasses_(std::move(smallPasses)), remake_(std::move(remake)),
      atSmallPass_(smallPasses_.size()) {}

std::uint32_t bandsHeight(std::uint32_t rows) {
    return rows <= kRowsKeptWhole ? rows : rows / kBandShare * kBands;
}

image::RgbaImage bandsOf(const image::RgbaImage& picture) {
    if (picture.height <= kRowsKeptWhole)
        return picture;
    const std::uint32_t bandRows = picture.height / kBandShare;
    image::RgbaImage out;
    out.width = picture.width;
    out.height = bandsHeight(picture.height);
    out.pixels.resize(std::size_t(out.width) * out.height * 4);
    const std::size_t rowBytes = std::size_t(picture.width) * 4;
    for (std::uint32_t band = 0; band < kBands; ++band) {
        // Centred in its eighth of the picture.
        const std::uint32_t top = (2 * band + 1) * picture.height / (2 * kBands) - bandRows / 2;
        std::copy_n(picture.pixels.begin() + std::ptrdiff_t(top * rowBytes), bandRows * rowBytes,
                    out.pixels.begin() + std::ptrdiff_t(band * bandRows * rowBytes));
    }
    return out;
}

double FrameSample::estimateShare(std::size_t frames) const {
    if (frames == 0 || frames_.empty())
        return 0;
    // A frame only shown is compared, not encoded: about a quarter of the
    // cost of one encoded.
    double encoded = 1;
    for (std::size_t i = 1; i < frames_.size(); ++i)
        encoded += i < counted_.size() && counted_[i] ? 1.0 : 0.25;
    // Pictures are measured on bands of their rows.
    const double rows = double(frames_[0].height) / std::max(1u, canvas_.height);
    return encoded * rows / double(frames);
}

void FrameSample::keepWholeGifs(GifTiming timing) {
    // The first frame is measured whatever it is marked.
    if (!frames_.empty() && counted_.size() == frames_.size() && smallPasses_.empty() &&
        laterPasses_.empty() &&
        std::all_of(counted_.begin() + 1, counted_.end(), [](bool c) { return c; }))
        wholeGif_ = timing;
}

bool FrameSample::holdsWholeGif(std::size_t frames) const {
    return wholeGif_ && frames == frames_.size();
}

image::Size FrameSample::sampledSize(image::Size canvas) const {
    // Each side of the sampled frames keeps its share of the canvas's.
    const auto side = [](std::uint32_t sampled, std::uint32_t full, std::uint32_t wanted) {
        if (sampled == full)
            return wanted;
        return std::max<std::uint32_t>(1,
                                       std::uint32_t(std::lround(double(sampled) * wanted / full)));
    };
    return {side(frames_[0].width, canvas_.width, canvas.width),
            side(frames_[0].height, canvas_.height, canvas.height)};
}

Result<FrameSample::Measured> FrameSample::measuredAt(std::uint32_t longEdge, int quality,
                                                      unsigned threads) const {
    if (frames_.empty())
        return makeError("render.no_frames", "There are no frames to estimate.");
    const image::Size size = sampledSize(image::fitInside(canvas_, {longEdge, longEdge}, false));
    // A size asked again (a choice changed back, a bounce turned on or off)
    // is answered from what it cost before.
    auto known = std::find_if(measured_.begin(), measured_.end(), [&](const Measured& m) {
        return m.size == size && m.quality == quality;
    });
    if (known != measured_.end())
        return *known;
    auto cost = measure(size, longEdge, quality, threads);
    if (!cost)
        return cost.error();
    if (measured_.size() >= kMeasuredKept)
        measured_.erase(measured_.begin());
    measured_.push_back(*cost);
    // The GIFs made whole, up to their bytes: the largest go first, as a
    // budget's search passes over sizes larger than the one it keeps.
    std::size_t gifBytes = 0;
    for (const Measured& m : measured_)
        gifBytes += m.gif ? m.gif->size() : 0;
    while (gifBytes > kWholeGifBytes) {
        auto largest = std::max_element(
            measured_.begin(), measured_.end(), [](const Measured& a, const Measured& b) {
                return (a.gif ? a.gif->size() : 0) < (b.gif ? b.gif->size() : 0);
            });
        gifBytes -= largest->gif->size();
        largest->gif.reset();
    }
    return cost;
}

std::shared_ptr<const std::vector<std::uint8_t>> FrameSample::wholeGifAt(std::uint32_t longEdge,
                                                                         int quality) const {
    if (frames_.empty())
        return nullptr;
    const image::Size fitted = image::fitInside(canvas_, {longEdge, longEdge}, false);
    // A pass's GIF is its frames fitted inside its edge, as the GIF's are.
    for (const SmallPass& pass : smallPasses_)
        if (pass.gif && pass.quality == quality &&
            image::fitInside(canvas_, {pass.longEdge, pass.longEdge}, false) == fitted)
            return pass.gif;
    const image::Size size = sampledSize(fitted);
    for (const Measured& m : measured_)
        if (m.size == size && m.quality == quality && m.gif)
            return m.gif;
    return nullptr;
}

Result<FrameSample::Measured> FrameSample::measure(image::Size size, std::uint32_t longEdge,
                                                   int quality, unsigned threads) const {
    // Frames already at the size asked are encoded as they are, not copied.
    const auto atSize = [&](std::size_t i) {
        const image::RgbaImage& frame = frames_[i];
        return frame.width == size.width && frame.height == size.height && !frame.pixels.empty();
    };
    // Made again at that size as the GIF would make it, where the sample
    // can; else scaled from the frame at its largest.
    const auto make = [&](std::size_t i) -> Result<image::RgbaImage> {
        try {
            return remake_ ? remake_(i, longEdge) : image::resize(frames_[i], size);
        } catch (const std::bad_alloc&) {
            return makeError("render.out_of_memory", "Out of memory while sampling frames.");
        }
    };
    // The next frame to be made is made on a thread of its own while the
    // encoder takes the one before, and each is let go once taken: making a
    // frame costs about a third of encoding it.
    const auto nextToMake = [&](std::size_t from) {
        while (from < frames_.size() && atSize(from))
            ++from;
        return from;
    };
    std::size_t making = nextToMake(0);
    std::future<Result<image::RgbaImage>> next;
    const auto startMaking = [&] {
        if (making >= frames_.size())
            return;
        try {
            next = std::async(std::launch::async, make, making);
        } catch (const std::system_error&) {
            next = std::async(std::launch::deferred, make, making); // no thread to spare
        }
    };
    startMaking();
    std::optional<image::Size> firstSize;
    image::RgbaImage current;
    const SampleFrames frameAt = [&](std::size_t i) -> Result<const image::RgbaImage*> {
        const image::RgbaImage* frame = &frames_[i];
        if (!atSize(i)) {
            auto made = next.get();
            if (!made)
                return made.error();
            making = nextToMake(i + 1);
            startMaking();
            current = std::move(*made);
            frame = &current;
        }
        // A picture made at another size midway goes onto the first's
        // canvas, as in the GIF.
        if (frame == &current) {
            if (auto ok = image::ontoCanvas(current, firstSize); !ok)
                return ok.error();
        } else if (!firstSize) {
            firstSize = image::Size{frame->width, frame->height};
        }
        return frame;
    };
    // A frame still being made when the encode stops is waited for by its
    // future's destructor, before what it reads goes away.
    std::shared_ptr<std::vector<std::uint8_t>> gif;
    if (wholeGif_)
        gif = std::make_shared<std::vector<std::uint8_t>>();
    auto cost = encodeSample(frames_.size(), frameAt, counted_, quality, threads, stopped_,
                             wholeGif_, gif.get(), kWholeGifBytes);
    if (!cost)
        return cost.error();
    if (gif && gif->empty())
        gif.reset();
    // Filed under the long edge the canvas takes there, which a larger one
    // asked for comes to.
    const image::Size fitted = image::fitInside(canvas_, {longEdge, longEdge}, false);
    return Measured{size,
                    std::max(fitted.width, fitted.height),
                    firstSize->height,
                    quality,
                    cost->header,
                    std::move(cost->frames),
                    std::move(gif)};
}

Result<std::vector<std::uint64_t>> FrameSample::smallPassCost(std::size_t index,
                                                              unsigned threads) const {
    const SmallPass& pass = smallPasses_[index];
    if (pass.sampled.empty()) {
        auto measured = measuredAt(pass.longEdge, pass.quality, threads);
        if (!measured)
            return measured.error();
        return std::move(measured->frames);
    }
    // The sampled frames as the small pass had them: scaled as its frames
    // were, so that the two costs compare like with like.
    auto cost = encodeSample(pass.sampled, counted_, pass.quality, threads, stopped_);
    if (!cost)
        return cost.error();
    return std::move(cost->frames);
}

void FrameSample::addPassWhenNeeded(std::uint32_t longEdge, int quality, PassMaker make) {
    passMakers_.emplace_back(quality, make);
    laterPasses_.push_back({longEdge, quality, std::move(make)});
}

Result<bool> FrameSample::addPassAt(std::uint32_t longEdge, int quality) const {
    const auto maker = std::find_if(passMakers_.begin(), passMakers_.end(),
                                    [&](const auto& m) { return m.first == quality; });
    if (maker == passMakers_.end())
        return false;
    const auto same = [&](const auto& p) { return p.longEdge == longEdge && p.quality == quality; };
    if (std::any_of(smallPasses_.begin(), smallPasses_.end(), same) ||
        std::any_of(laterPasses_.begin(), laterPasses_.end(), same))
        return false;
    // One at that quality left until needed is made first: this one is
    // another.
    for (std::size_t i = laterPasses_.size(); i-- > 0;)
        if (laterPasses_[i].quality == quality)
            if (auto first = makeLaterPass(i); !first)
                return first.error();
    laterPasses_.push_back({longEdge, quality, maker->second});
    auto made = makeLaterPass(laterPasses_.size() - 1);
    if (!made)
        return made.error();
    return made->has_value();
}

std::uint32_t FrameSample::smallestPassEdge() const {
    std::uint32_t smallest = UINT32_MAX;
    for (const SmallPass& pass : smallPasses_)
        smallest = std::min(smallest, pass.longEdge);
    for (const LaterPass& pass : laterPasses_)
        smallest = std::min(smallest, pass.longEdge);
    return smallest;
}

bool FrameSample::laterPassesShrinkable(std::uint32_t atMost) const {
    const std::uint32_t smallest = smallestPassEdge();
    return std::any_of(laterPasses_.begin(), laterPasses_.end(), [&](const LaterPass& p) {
        return p.longEdge > smallest && p.longEdge <= atMost;
    });
}

void FrameSample::shrinkLaterPasses() const {
    const std::uint32_t smallest = smallestPassEdge();
    for (LaterPass& pass : laterPasses_)
        pass.longEdge = smallest;
}

std::size_t FrameSample::nearestPass(int quality) const {
    // The pass at the quality asked, or the nearest.
    std::size_t nearest = 0;
    for (std::size_t p = 1; p < smallPasses_.size(); ++p)
        if (std::abs(smallPasses_[p].quality - quality) <
            std::abs(smallPasses_[nearest].quality - quality))
            nearest = p;
    return nearest;
}

bool FrameSample::laterPassNearer(int quality) const {
    if (laterPasses_.empty())
        return false;
    if (smallPasses_.empty())
        return true;
    const int made = std::abs(smallPasses_[nearestPass(quality)].quality - quality);
    return std::any_of(laterPasses_.begin(), laterPasses_.end(),
                       [&](const LaterPass& p) { return std::abs(p.quality - quality) < made; });
}

Result<std::size_t> FrameSample::passFor(int quality) const {
    if (!laterPassNearer(quality))
        return nearestPass(quality);
    const auto later = std::min_element(
        laterPasses_.begin(), laterPasses_.end(), [&](const LaterPass& a, const LaterPass& b) {
            return std::abs(a.quality - quality) < std::abs(b.quality - quality);
        });
    auto made = makeLaterPass(std::size_t(later - laterPasses_.begin()));
    if (!made)
        return made.error(); // tried again by the next estimate that needs it
    if (*made)
        return **made;
    // It would make the same again: the passes made answer instead.
    if (smallPasses_.empty())
        return makeError("render.sample", "A small pass did not go over the sample's frames.");
    return nearestPass(quality);
}

Result<std::optional<std::size_t>> FrameSample::makeLaterPass(std::size_t index) const {
    const LaterPass later = laterPasses_[index];
    auto pass = later.make(later.longEdge);
    if (!pass)
        return pass.error(); // left in place, to be tried again
    if (pass->frames == 0 || pass->longEdge != later.longEdge || pass->quality != later.quality ||
        (!pass->sampled.empty() && pass->sampled.size() != frames_.size())) {
        laterPasses_.erase(laterPasses_.begin() + std::ptrdiff_t(index));
        return std::optional<std::size_t>();
    }
    // Room first, so that the pass is never in one list and not the other.
    smallPasses_.reserve(smallPasses_.size() + 1);
    atSmallPass_.reserve(atSmallPass_.size() + 1);
    laterPasses_.erase(laterPasses_.begin() + std::ptrdiff_t(index));
    smallPasses_.push_back(std::move(*pass));
    atSmallPass_.emplace_back();
    return std::optional<std::size_t>(smallPasses_.size() - 1);
}

double FrameSample::laterBytes(const SmallPass& pass, std::size_t frames) {
    return pass.frames > 1 ? double(pass.rest) * double(frames - 1) / double(pass.frames - 1)
                           : double(pass.first) * double(frames - 1);
}

double FrameSample::passBytes(const SmallPass& pass, std::size_t frames) {
    return double(pass.header + pass.first) + laterBytes(pass, frames) + 1; // trailer
}

std::optional<std::uint64_t> FrameSample::grownBetweenPasses(std::uint32_t longEdge, int quality,
                                                             std::size_t frames) const {
    std::vector<const SmallPass*> at;
    for (const SmallPass& pass : smallPasses_)
        if (pass.quality == quality)
            at.push_back(&pass);
    if (at.size() < 2)
        return std::nullopt;
    std::sort(at.begin(), at.end(),
              [](const SmallPass* a, const SmallPass* b) { return a->longEdge < b->longEdge; });
    if (longEdge < at.front()->longEdge)
        return std::nullopt;
    // The two passes around the edge, or the two largest under it.
    std::size_t high = 1;
    while (high + 1 < at.size() && at[high]->longEdge < longEdge)
        ++high;
    const SmallPass& low = *at[high - 1];
    const SmallPass& top = *at[high];
    const double lowBytes = passBytes(low, frames), topBytes = passBytes(top, frames);
    if (longEdge == low.longEdge)
        return std::uint64_t(std::llround(lowBytes)); // the pass itself
    const double exponent = std::log(topBytes / std::max(1.0, lowBytes)) /
                            std::log(double(top.longEdge) / double(low.longEdge));
    return std::uint64_t(
        std::llround(topBytes * std::pow(double(longEdge) / double(top.longEdge), exponent)));
}

std::vector<std::uint64_t> FrameSample::courseAt(int quality, std::size_t frames) const {
    const SmallPass* largest = nullptr;
    for (const SmallPass& pass : smallPasses_)
        if (pass.quality == quality && pass.course.size() == frames &&
            (!largest || pass.longEdge > largest->longEdge))
            largest = &pass;
    return largest ? largest->course : std::vector<std::uint64_t>{};
}

std::vector<std::uint32_t> FrameSample::edgesKnown(int quality) const {
    std::vector<std::uint32_t> edges;
    if (frames_.empty())
        return edges;
    // A size measured is scaled by what its frames cost at the nearest
    // pass, which must be known too.
    const bool scalable = smallPasses_.empty()
                              ? laterPasses_.empty()
                              : !laterPassNearer(quality) && atSmallPass_[nearestPass(quality)];
    if (scalable)
        for (const Measured& m : measured_)
            if (m.quality == quality)
                edges.push_back(m.longEdge);
    for (const SmallPass& pass : smallPasses_)
        if (pass.quality == quality)
            edges.push_back(pass.longEdge);
    for (const LaterPass& pass : laterPasses_)
        if (pass.quality == quality)
            edges.push_back(pass.longEdge);
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    return edges;
}

Result<std::uint64_t> FrameSample::estimate(std::uint32_t longEdge, int quality, std::size_t frames,
                                            unsigned threads) const {
    if (frames_.empty() || frames == 0)
        return makeError("render.no_frames", "There are no frames to estimate.");
    if (!smallPasses_.empty() || !laterPasses_.empty()) {
        // The whole animation's cost at the small size, for this many
        // frames, scaled as the sampled frames scale: the first frame as the
        // first sampled one does, every later one as the counted ones do
        // (those encoded right after the frame before them in the GIF; the
        // first frame of each later run follows a jump no GIF makes).
        const auto found = passFor(quality);
        if (!found)
            return found.error();
        if (const auto grown = grownBetweenPasses(longEdge, quality, frames))
            return *grown;
        const std::size_t nearest = *found;
        const SmallPass& pass = smallPasses_[nearest];
        // The pass's own size and quality: its bytes are the GIF's there.
        if (longEdge == pass.longEdge && quality == pass.quality)
            return std::uint64_t(std::llround(passBytes(pass, frames)));
        auto measured = measuredAt(longEdge, quality, threads);
        if (!measured)
            return measured.error();
        const std::vector<std::uint64_t>& there = measured->frames;
        if (!atSmallPass_[nearest]) {
            auto here = smallPassCost(nearest, threads);
            if (!here)
                return here.error();
            atSmallPass_[nearest] = std::move(*here);
        }
        const std::vector<std::uint64_t>& here = *atSmallPass_[nearest];
        double thereLater = 0, hereLater = 0;
        for (std::size_t i = 1; i < std::min(there.size(), here.size()); ++i) {
            if (i < counted_.size() && counted_[i]) {
                thereLater += double(there[i]);
                hereLater += double(here[i]);
            }
        }
        const double firstScale = double(there[0]) / std::max(1.0, double(here[0]));
        const double laterScale = hereLater > 0 ? thereLater / hereLater : firstScale;
        const double bytes = double(measured->header) + double(pass.first) * firstScale +
                             laterBytes(pass, frames) * laterScale + 1; // trailer
        return std::uint64_t(std::llround(bytes));
    }

    return estimateFromFrames(longEdge, quality, frames, threads);
}

Result<std::uint64_t> FrameSample::estimateFromFrames(std::uint32_t longEdge, int quality,
                                                      std::size_t frames, unsigned threads) const {
    if (frames_.empty() || frames == 0)
        return makeError("render.no_frames", "There are no frames to estimate.");
    const image::Size canvas = image::fitInside(canvas_, {longEdge, longEdge}, false);
    auto measured = measuredAt(longEdge, quality, threads);
    if (!measured)
        return measured.error();
    if (measured->gif && holdsWholeGif(frames))
        return measured->gif->size(); // the GIF itself
    const std::vector<std::uint64_t>& perFrame = measured->frames;
    // The rows the frames were measured on: bands of the picture's rows, or
    // all of them in a picture made small.
    const double rowScale = double(canvas.height) / std::max(1u, measured->rows);
    const double first = double(perFrame[0]);
    double following = 0;
    std::size_t counted = 0;
    for (std::size_t i = 1; i < perFrame.size(); ++i) {
        if (i < counted_.size() && counted_[i]) {
            following += double(perFrame[i]);
            ++counted;
        }
    }
    // With no frame sampled after another (a GIF of one frame), a later frame
    // is taken to cost what the first does.
    const double perLater = counted ? following / double(counted) : first;
    const double bytes = double(measured->header) +
                         rowScale * (first + double(frames - 1) * perLater) + 1; // trailer
    return std::uint64_t(std::llround(bytes));
}

std::uint32_t edgeFor(std::uint32_t edge, std::uint64_t bytes, double target, double exponent) {
    if (bytes == 0)
        return edge;
    const double scaled = double(edge) * std::pow(target / double(bytes), 1.0 / exponent);
    return std::uint32_t(std::clamp(std::floor(scaled), 1.0, 65535.0));
}

namespace {

// The share of a budget a GIF its sample made whole may take: its size is
// known to the byte.
constexpr double kExactShare = 0.99;

// An edge estimated at this share of the budget or more is enough where a
// better one would cost more than it gains: the estimate's error still
// leaves the GIF above the floor.
constexpr double kEnoughShare = kBudgetFloor + 0.02;

// The largest long edge in [smallest, largest] whose estimate fits the
// budget at this quality, found by secant steps on log(bytes) against
// log(edge) from an edge already estimated; nothing when even the smallest
// does not fit.
//
// A plan only shown (PlanFor::estimate) is brought to the aim along the
// slope once an estimate has measured it and lands within a fifth of the
// aim: the next estimate would mostly confirm what the slope says, and a
// render plans its own GIF.
class EdgeSearch {
public:
    // enough: the share of the budget from which an edge that fits ends the
    // search.
    EdgeSearch(const FrameSample& sample, std::size_t frames, std::uint64_t budget,
               unsigned threads, double enough, PlanFor use)
        : sample_(sample), frames_(frames), budget_(budget), threads_(threads), enough_(enough),
          use_(use), exact_(sample.holdsWholeGif(frames)) {}

    // Estimates a search may make after its start: most budgets are met in
    // two or three.
    static constexpr int kSteps = 6;

    // Accepted up to a little over the aim: the estimate's own error must
    // still leave the GIF inside the budget. A sample of the whole GIF
    // measures its bytes as they will be, and may nearly fill it.
    double accepted() const { return (exact_ ? kExactShare : kEstimatedShare) * double(budget_); }
    static constexpr double kEstimatedShare = 0.96;

    // An edge whose bytes at the search's quality are known.
    struct Known {
        std::uint32_t edge = 0;
        std::uint64_t bytes = 0;
    };

    // Starts from the known edge whose bytes are nearest the aim; bytes grow
    // as it and the next nearest far enough from it to measure a slope say.
    Result<std::optional<SizePlan>> largestFitting(int quality, std::uint32_t largest,
                                                   std::uint32_t smallest,
                                                   std::vector<Known> known) {
        const double target = kBudgetAim * double(budget_);
        const auto distance = [&](const Known& k) {
            return std::abs(std::log(std::max(1.0, double(k.bytes)) / target));
        };
        std::sort(known.begin(), known.end(),
                  [&](const Known& a, const Known& b) { return distance(a) < distance(b); });
        const std::uint32_t from = known.front().edge;
        const std::uint64_t bytesFrom = known.front().bytes;
        std::optional<SizePlan> best;
        std::uint32_t edge = from;
        std::uint64_t bytes = bytesFrom;
        double exponent = 1.75; // bytes grow a little slower than the pixels
        bool slopeMeasured = false;
        for (std::size_t k = 1; k < known.size() && !slopeMeasured; ++k) {
            if (const auto slope = slopeBetween(known[0], known[k])) {
                exponent = *slope;
                slopeMeasured = true;
            }
        }
        // Of the edges tried that fit, the one that uses most of the budget:
        // with the wobble, a larger edge may take fewer bytes.
        const auto consider = [&] {
            if (double(bytes) <= accepted() && (!best || bytes > best->bytes))
                best =
                    SizePlan{edge, quality, image::fitInside(sample_.canvas(), {edge, edge}, false),
                             bytes, exponent};
        };
        // The largest edge tried that fits and the smallest that does not,
        // with their bytes: once both are known, the next edge lies between
        // them. Where the wobble makes the secant swing between the two, the
        // edges between them are tried by halves. A sample of the whole GIF,
        // whose sizes are exact and each cost an encode, takes the edge
        // where the line between the two meets the aim: the slope from the
        // search's start is least true there (a test pattern's GIF grows
        // three times as fast as its mean within 10% of edge).
        std::optional<std::uint32_t> fits, over;
        double fitsBytes = 0, overBytes = 0;
        const auto bracket = [&] {
            if (double(bytes) <= accepted()) {
                if (!fits || edge > *fits) {
                    fits = edge;
                    fitsBytes = double(bytes);
                }
            } else if (!over || edge < *over) {
                over = edge;
                overBytes = double(bytes);
            }
        };
        for (const Known& k : known) {
            edge = k.edge;
            bytes = k.bytes;
            consider();
            bracket();
        }
        edge = from;
        bytes = bytesFrom;
        for (int step = 0; step < kSteps; ++step) {
            if (std::abs(double(bytes) / target - 1) < 0.03 ||
                (double(bytes) >= enough_ * double(budget_) && double(bytes) <= accepted()))
                break;
            // An edge that fits close under one that does not: what lies
            // between is mostly the wobble, and one that uses most of the
            // budget is enough.
            if (fits && over && *over <= *fits + *fits / 20 &&
                double(best->bytes) >= kEnoughShare * double(budget_))
                break;
            if (edge == smallest && double(bytes) > accepted())
                break;
            std::uint32_t next =
                std::clamp(edgeFor(edge, bytes, target, exponent), smallest, largest);
            // Only between what was found to fit and what was not: past
            // either, the wobble has bent the slope.
            if (use_ == PlanFor::estimate && slopeMeasured &&
                std::abs(double(bytes) / target - 1) < 0.2 && next != edge &&
                (!over || next < *over) && (!best || next > best->longEdge)) {
                // Taken from the slope, it is an estimate whatever the sample.
                const double there = double(bytes) * std::pow(double(next) / edge, exponent);
                if (there <= kEstimatedShare * double(budget_)) {
                    SizePlan plan{next, quality,
                                  image::fitInside(sample_.canvas(), {next, next}, false),
                                  std::uint64_t(there), exponent};
                    plan.fromSlope = true;
                    return std::optional<SizePlan>(plan);
                }
            }
            if (fits && over && *fits < *over) {
                if (exact_) {
                    // Kept off the ends, where a line bent by the wobble
                    // would creep towards one of them an edge at a time.
                    const double along =
                        std::clamp(std::log(target / std::max(1.0, fitsBytes)) /
                                       std::log(overBytes / std::max(1.0, fitsBytes)),
                                   0.1, 0.9);
                    next = std::uint32_t(
                        std::floor(double(*fits) * std::pow(double(*over) / double(*fits), along)));
                }
                if (next <= *fits || next >= *over)
                    next = *fits + (*over - *fits) / 2;
                if (next == *fits)
                    break; // no edge left between them
            }
            if (next == edge)
                break;
            auto nextBytes = sample_.estimate(next, quality, frames_, threads_);
            if (!nextBytes)
                return nextBytes.error();
            // How bytes grow with the edge, measured from the search's start
            // once the search has moved far enough from it.
            if (const auto slope = slopeBetween({from, bytesFrom}, {next, *nextBytes})) {
                exponent = *slope;
                slopeMeasured = true;
            }
            edge = next;
            bytes = *nextBytes;
            consider();
            bracket();
        }
        return best;
    }

private:
    // How bytes grow with the edge between two known edges, kept between 1
    // and 2.5; nothing when they are too close for it to be more than the
    // wobble: the size of a GIF wobbles by several per cent from one edge to
    // the next (how the scaler's pixels fall on the picture).
    static std::optional<double> slopeBetween(Known a, Known b) {
        if (std::abs(std::log(double(a.edge) / double(b.edge))) <= std::log(1.15))
            return std::nullopt;
        const double slope = std::log(double(std::max<std::uint64_t>(1, a.bytes)) /
                                      double(std::max<std::uint64_t>(1, b.bytes))) /
                             std::log(double(a.edge) / double(b.edge));
        if (!std::isfinite(slope))
            return std::nullopt;
        return std::clamp(slope, 1.0, 2.5);
    }

    const FrameSample& sample_;
    std::size_t frames_;
    std::uint64_t budget_;
    unsigned threads_;
    double enough_;
    PlanFor use_;
    bool exact_;
};

// The edge a budget's search starts from: a quarter of the largest (at least
// twice the smallest), where an estimate costs about a sixteenth of one at
// the largest, so that a budget far below the GIF as asked is found without
// ever estimating the largest size.
std::uint32_t probeEdge(std::uint32_t largest) {
    return std::min(largest, std::max(2 * kSmallestLongEdge, largest / 4));
}

// The most a GIF at `edge` may take, from its estimate at a smaller edge:
// bytes grow no faster than the pixels do.
double atMost(std::uint64_t bytes, std::uint32_t from, std::uint32_t edge) {
    const double scale = double(edge) / double(from);
    return double(bytes) * scale * scale;
}

} // namespace

Result<std::uint64_t> smallestBudget(const FrameSample& sample, std::size_t frames,
                                     unsigned threads) {
    const image::Size canvas = sample.canvas();
    const std::uint32_t smallest =
        std::min(std::max(canvas.width, canvas.height), kSmallestLongEdge);
    auto least = sample.estimate(smallest, kLowestQuality, frames, threads);
    if (!least)
        return least.error();
    return roundUpForPeople(std::uint64_t(std::ceil(double(*least) / kBudgetAim)));
}

namespace {

Result<SizePlan> planWithin(const FrameSample& sample, std::size_t frames, int quality,
                            std::optional<std::uint64_t> budget, unsigned threads,
                            std::uint32_t maxLongEdge, PlanFor use, std::uint32_t firstEdge) {
    const image::Size canvas = image::fitInside(sample.canvas(), {maxLongEdge, maxLongEdge}, false);
    const std::uint32_t largest = std::max(canvas.width, canvas.height);
    const auto asAsked = [&](int q) -> Result<SizePlan> {
        auto bytes = sample.estimate(largest, q, frames, threads);
        if (!bytes)
            return bytes.error();
        return SizePlan{largest, q, canvas, *bytes, 1.75};
    };
    if (!budget)
        return asAsked(quality);

    const std::uint32_t smallest = std::min(largest, kSmallestLongEdge);
    const std::uint32_t probe = probeEdge(largest);
    // A render whose estimates each cost half an encode or more (a sample
    // that holds half of the GIF's frames) is near the GIF's size too: an
    // edge that fits a little above the floor is enough, as the encode
    // weighs the GIF itself. Otherwise only an edge near the aim ends it.
    const bool dearEstimates = use == PlanFor::render && sample.estimateShare(frames) >= 0.5;
    // A sample of the whole GIF measures each size exactly: any edge that
    // fits over the floor is the GIF the budget asks for.
    const bool exact = sample.holdsWholeGif(frames);
    EdgeSearch search(sample, frames, *budget, threads,
                      exact           ? kBudgetFloor + 0.01
                      : dearEstimates ? kEnoughShare
                                      : 1.0,
                      use);
    // The largest edge that fits at a quality: the GIF as asked when its
    // estimate is close enough to the budget that its encode is tried (it
    // stops if it passes the budget, and a smaller one follows), else the
    // search's answer.
    const auto largestFitting = [&](int q) -> Result<std::optional<SizePlan>> {
        // Edges the sample has estimated already (a window's earlier
        // choices, a small pass's own) place the budget at no cost.
        std::vector<EdgeSearch::Known> known;
        const auto addKnown = [&](std::uint32_t edge) -> Result<std::uint64_t> {
            for (const auto& k : known)
                if (k.edge == edge)
                    return k.bytes;
            auto bytes = sample.estimate(edge, q, frames, threads);
            if (!bytes)
                return bytes.error();
            known.push_back({edge, *bytes});
            return *bytes;
        };
        for (const std::uint32_t edge : sample.edgesKnown(q))
            if (edge >= smallest && edge <= largest)
                if (auto ok = addKnown(edge); !ok)
                    return ok.error();
        const bool largestKnown = std::any_of(known.begin(), known.end(),
                                              [&](const auto& k) { return k.edge == largest; });
        const std::uint32_t start =
            q == quality && firstEdge >= smallest && firstEdge < largest ? firstEdge : probe;
        if (start < largest && !largestKnown) {
            auto probed = addKnown(start);
            if (!probed)
                return probed.error();
            // Far under the budget even if it grew with the pixels: a render
            // needs no better figure, as its encode weighs the GIF itself.
            if (use == PlanFor::render && atMost(*probed, start, largest) <= 0.75 * double(*budget))
                return std::optional<SizePlan>(SizePlan{
                    largest, q, canvas, std::uint64_t(atMost(*probed, start, largest)), 1.75});
            // Past the aim before the largest edge, as bytes usually grow:
            // the largest need not be estimated.
            const auto top = *std::max_element(known.begin(), known.end(),
                                               [](auto a, auto b) { return a.edge < b.edge; });
            if (edgeFor(top.edge, top.bytes, kBudgetAim * double(*budget), 1.75) < largest)
                return search.largestFitting(q, largest, smallest, std::move(known));
        }
        auto full = asAsked(q);
        if (!full)
            return full.error();
        if (double(full->bytes) <= (exact ? kExactShare : kAsAskedShare) * double(*budget))
            return std::optional<SizePlan>(*full);
        if (auto ok = addKnown(largest); !ok)
            return ok.error();
        return search.largestFitting(q, largest, smallest, std::move(known));
    };

    // A picture this small or smaller is worth a lower quality if that
    // keeps it clearly larger.
    const std::uint32_t comfortable = std::min(largest, 2 * kSmallestLongEdge);
    // A GIF at the quality asked that does not fit at that size is smaller
    // than the passes at that quality, which then cost about what the GIF
    // does: those not made yet are made at the smallest pass's size, for a
    // quarter of their cost. Only passes of up to that size are (the
    // source's long edge up to four times it): from a larger source most
    // budgets land between the two, where the check is spent for nothing.
    // The sampled frames alone, measured at that size at the quality asked
    // (as the search's first estimate measures them anyway), weigh less than
    // the GIF's frames on these sources (half to seven eighths on the shared
    // clips): where they pass the budget, so does the GIF (the bottle clip's
    // first 20 s at 500 KB, whose pass at 320 px took a fifth of the
    // render's CPU for a GIF made at 240 px or less). Where they do not, the
    // lowest quality's pass (the smallest) tells whether even that quality
    // passes the budget there, and so the quality asked too; it is asked
    // only where the sampled frames alone, at the lowest quality, weigh over
    // a quarter of the budget: they weigh from a fifth of what the GIF's
    // frames do to a little more, so under that the GIF rarely passes it.
    // What the sampled frames cost at one quality says little of the other
    // (at 320 px, times what the lowest costs, the quality asked came out
    // from 0.7 to 2.5 times its GIF on the shared clips), so neither is
    // told from the other.
    if (quality > kLowestQuality && comfortable < largest &&
        sample.laterPassesShrinkable(comfortable)) {
        auto asked = sample.estimateFromFrames(comfortable, quality, frames, threads);
        if (!asked)
            return asked.error();
        bool smaller = double(*asked) > search.accepted();
        if (!smaller) {
            auto rough = sample.estimateFromFrames(comfortable, kLowestQuality, frames, threads);
            if (!rough)
                return rough.error();
            if (double(*rough) > 0.25 * search.accepted()) {
                auto there = sample.estimate(comfortable, kLowestQuality, frames, threads);
                if (!there)
                    return there.error();
                smaller = double(*there) > search.accepted();
            }
        }
        if (smaller)
            sample.shrinkLaterPasses();
    }
    auto asked = largestFitting(quality);
    if (!asked)
        return asked.error();
    const std::optional<SizePlan> fitting = *asked;
    if (fitting && fitting->longEdge >= comfortable)
        return *fitting;
    if (quality > kLowestQuality) {
        // Where the lowest quality fits at that size, its GIF is larger
        // (320 to 600 px on the shared clips), up to four times the lowest
        // quality's pass (at half that size) on the long edge. That far out,
        // a few sampled frames stand for the animation less surely than a
        // second whole pass at that size does (the bottle clip's first 20 s
        // at 487 px: 19% under from the pass at 160 px, 2% under from both),
        // and its GIF is made twice about every other time. The pass costs
        // what its pixels do: it is made where the GIF there weighs under
        // two thirds of the budget, so that the GIF lies at about 400 px or
        // more and the pass costs under two thirds of its encode (the whole
        // bottle clip at 1 MB, made at 362 px, cost 1.8 times one encode
        // with it, 1.5 without). Only for sources from two to four times
        // that size, whose lowest quality's pass is at half of it; a sample
        // given no maker for passes makes none.
        if (2 * comfortable <= largest && largest <= 4 * comfortable) {
            auto there = sample.estimate(comfortable, kLowestQuality, frames, threads);
            if (!there)
                return there.error();
            if (double(*there) <= 2.0 / 3.0 * search.accepted())
                if (auto added = sample.addPassAt(comfortable, kLowestQuality); !added)
                    return added.error();
        }
        auto low = largestFitting(kLowestQuality);
        if (!low)
            return low.error();
        if (*low && (!fitting || double((*low)->longEdge) > 1.2 * fitting->longEdge))
            return **low;
    }
    if (fitting)
        return *fitting;

    auto least = sample.estimate(smallest, std::min(quality, kLowestQuality), frames, threads);
    if (!least)
        return least.error();
    const auto needed = roundUpForPeople(std::uint64_t(std::ceil(double(*least) / kBudgetAim)));
    return makeError("render.over_budget",
                     "Even at " + std::to_string(smallest) +
                         " pixels on the long edge and the lowest quality, this GIF would take "
                         "about " +
                         formatByteSize(*least) + ", more than " + formatByteSize(*budget) +
                         "; the smallest budget it fits is " + formatByteSize(needed) + ".");
}

} // namespace

Result<SizePlan> planSize(const FrameSample& sample, std::size_t frames, int quality,
                          std::optional<std::uint64_t> budget, unsigned threads,
                          std::uint32_t maxLongEdge, PlanFor use, std::uint32_t firstEdge) {
    auto plan = planWithin(sample, frames, quality, budget, threads, maxLongEdge, use, firstEdge);
    if (plan) {
        const image::Size canvas =
            image::fitInside(sample.canvas(), {maxLongEdge, maxLongEdge}, false);
        plan->largestEdge = std::max(canvas.width, canvas.height);
        if (budget && use == PlanFor::render)
            plan->course = sample.courseAt(plan->quality, frames);
    }
    return plan;
}

} // namespace flickbook::render
