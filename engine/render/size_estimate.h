#pragma once

// How many bytes a GIF will take, known before it is made: a few of its real
// frames are encoded with the real encoder, and what they cost is scaled up
// to the whole animation. The same sample answers for every long edge and
// quality, so a size or budget that changes needs no new frames.

#include "core/result.h"
#include "image/fit.h"
#include "image/png_io.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace flickbook::render {

// The smallest long edge a budget may bring a GIF down to, and the encoder
// quality used when even that needs more than the requested quality allows.
inline constexpr std::uint32_t kSmallestLongEdge = 160;
inline constexpr int kLowestQuality = 40;

// What every frame of a GIF cost when the whole animation was encoded at a
// small size: the measure a video's estimate is scaled from.
struct SmallPass {
    std::uint32_t longEdge = 0;
    int quality = 80;
    std::size_t frames = 0;
    std::uint64_t header = 0; // header, colour table, loop extension
    std::uint64_t first = 0;  // the first frame
    // The bytes once each frame was written, the header included (empty
    // when not known): where in the animation its bytes come.
    std::vector<std::uint64_t> course{};
    std::uint64_t rest = 0; // every later frame
    // The sample's frames as this pass made them (scaled from the decoded
    // picture, as its frames were); when empty, they are made again at its
    // size.
    std::vector<image::RgbaImage> sampled;
    // The whole animation as this pass made it, when kept: the GIF itself at
    // this size and quality (a render's, played forward), which a render
    // then writes rather than makes again.
    std::shared_ptr<const std::vector<std::uint8_t>> gif;
};

// How a GIF plays, for a sample that makes the GIF itself.
struct GifTiming {
    double delaySeconds = 0.1;
    std::uint16_t loopCount = 0;
};

// Frames taken from a GIF-to-be, at the largest size it may have, from which
// its size is estimated at any long edge and quality.
//
// Pictures: the frames are the GIF's first picture and a spread of the
// others, encoded in order; what those marked as counted cost after the one
// before them stands for every later frame. Frames may hold bands of rows
// rather than whole frames: bands spread down the picture, stacked, stand
// for its whole height at the cost of a share of its pixels.
//
// Videos, whose frames cost what the motion in them costs and change from
// one stretch to the next: the whole animation is encoded at a small size
// (a SmallPass) at one or more qualities, and the sampled frames (runs of
// consecutive frames) tell how the cost at the nearest of them scales to
// another size and quality: the first frame as the first sampled one does,
// later ones as those marked as counted (each right after the frame before
// it) do. A video GIF short enough to be sampled whole has no such pass: its
// sample is the GIF, measured as pictures are.
//
// A sample that can make its frames again at another long edge (a video's
// decoded frames, scaled as the GIF's own are; pictures decoded at that
// size, then taken in bands) is measured at that size on those; otherwise
// its frames are scaled down from their largest size. Such
// a sample's frames may be left without pixels (only their size given):
// they are made when a size is measured, even the largest.
class FrameSample {
public:
    // Sampled frame `index` with its long edge at most longEdge, made as the
    // GIF would make it.
    using FrameMaker =
        std::function<Result<image::RgbaImage>(std::size_t index, std::uint32_t longEdge)>;

    FrameSample(std::vector<image::RgbaImage> frames, std::vector<bool> counted, image::Size canvas,
                std::vector<SmallPass> smallPasses = {}, FrameMaker remake = {});

    // The canvas at the largest size.
    image::Size canvas() const { return canvas_; }
    // About what one estimate costs against encoding a GIF of `frames`
    // frames at the same size.
    double estimateShare(std::size_t frames) const;
    // Whether the sample makes the GIF itself (keepWholeGifs) and holds
    // every frame of a GIF of `frames` frames: its estimates are then that
    // GIF's bytes.
    bool holdsWholeGif(std::size_t frames) const;
    // About how many bytes a GIF of `frames` frames takes with its long edge
    // at most longEdge (never enlarged) at the encoder's quality.
    Result<std::uint64_t> estimate(std::uint32_t longEdge, int quality, std::size_t frames,
                                   unsigned threads = 0) const;
    // About how many bytes that GIF takes from the sampled frames alone, as
    // if they stood for every later frame: no small pass is made or looked
    // at. A video's sampled runs often cost less than its GIF's frames (each
    // follows a screen made just before it; a fifth on a slow clip), at
    // times a little more: a plan uses this only to tell that a size may lie
    // near a budget.
    Result<std::uint64_t> estimateFromFrames(std::uint32_t longEdge, int quality,
                                             std::size_t frames, unsigned threads = 0) const;

    // While set, a measure gives up once `stopped` says so, with
    // "render.stopped", and keeps nothing: work done ahead of time gives way
    // to a newer request. It is asked before each frame; the frames already
    // with the encoder (one or two) are finished first.
    void stopWhen(std::function<bool()> stopped) const { stopped_ = std::move(stopped); }

    // For a sample of every frame of a GIF played forward, each measured:
    // each size it measures from now on is that GIF, made whole and kept (up
    // to kWholeGifBytes in all, the largest let go first), so that a render
    // writes it rather than encode it again. Ignored for a sample with
    // frames only shown.
    void keepWholeGifs(GifTiming timing);
    // The GIF made whole at a long edge and quality, when a measure or a
    // small pass kept it.
    std::shared_ptr<const std::vector<std::uint8_t>> wholeGifAt(std::uint32_t longEdge,
                                                                int quality) const;
    // The long edges whose estimate at a quality is known without encoding
    // anything but a small pass left until needed: sizes measured already (a
    // window's earlier choices) and a small pass's own. A budget's search
    // starts from them.
    std::vector<std::uint32_t> edgesKnown(int quality) const;
    // The course of the largest pass made at a quality over `frames`
    // frames, where one was made and its course is known; else empty.
    std::vector<std::uint64_t> courseAt(int quality, std::size_t frames) const;

    // A small pass made only when an estimate first needs it (one nearer in
    // quality than every pass made), for a sample whose GIF's frames can be
    // gone over again at little cost: at a long edge and quality, its
    // sampled frames the sample's, scaled as its own frames are. Its edge
    // counts as known: a budget's search that looks at it makes it. The
    // maker is given the long edge to make it at (shrinkLaterPasses may
    // lower the one it was added with).
    using PassMaker = std::function<Result<SmallPass>(std::uint32_t longEdge)>;
    void addPassWhenNeeded(std::uint32_t longEdge, int quality, PassMaker make);
    // Whether a pass left until needed is larger than the smallest pass and
    // at most atMost on its long edge.
    bool laterPassesShrinkable(std::uint32_t atMost) const;
    // Passes left until needed are made at the smallest pass's size: a plan
    // that found its GIF smaller than every pass needs no larger one, and
    // each costs about what the pixels it encodes do.
    void shrinkLaterPasses() const;
    // Makes one more small pass at a quality whose maker was given, at
    // another long edge. From the smaller of two passes at a quality on, an
    // estimate at that quality follows how the whole animation's bytes grew
    // between them, as a power of the long edge: far from a pass, a few
    // sampled frames stand for the animation less surely than two whole
    // passes do. False where no maker was given for the quality or a pass
    // at that edge and quality is made already.
    Result<bool> addPassAt(std::uint32_t longEdge, int quality) const;

private:
    // The sampled frames' size when the canvas is brought to `canvas`.
    image::Size sampledSize(image::Size canvas) const;
    // What the sampled frames cost, scaled to a size (their own rows) and
    // encoded at a quality: the bytes before the first frame, then each
    // frame's.
    struct Measured {
        image::Size size; // what was asked for
        std::uint32_t longEdge = 0;
        std::uint32_t rows = 0; // what the frames had
        int quality = 0;
        std::uint64_t header = 0;
        std::vector<std::uint64_t> frames;
        std::shared_ptr<const std::vector<std::uint8_t>> gif; // when kept
    };
    // What they cost at a long edge and quality, measured once.
    Result<Measured> measuredAt(std::uint32_t longEdge, int quality, unsigned threads) const;
    Result<Measured> measure(image::Size size, std::uint32_t longEdge, int quality,
                             unsigned threads) const;
    // The long edge of the smallest pass, made or left until needed.
    std::uint32_t smallestPassEdge() const;
    // The small pass made that is nearest a quality, and whether one not
    // made yet is nearer.
    std::size_t nearestPass(int quality) const;
    bool laterPassNearer(int quality) const;
    // The small pass an estimate at this quality is scaled from, made now
    // if need be.
    Result<std::size_t> passFor(int quality) const;
    // Each sampled frame's bytes at a small pass's size and quality.
    Result<std::vector<std::uint64_t>> smallPassCost(std::size_t pass, unsigned threads) const;
    // A pass made (or refused) from one left until needed: its index among
    // those made, where it was.
    Result<std::optional<std::size_t>> makeLaterPass(std::size_t index) const;
    // A pass's frames after the first, and its whole animation, for a GIF
    // of `frames` frames.
    static double laterBytes(const SmallPass& pass, std::size_t frames);
    static double passBytes(const SmallPass& pass, std::size_t frames);
    // The estimate from two passes at the quality, where two are made and
    // the long edge is not under both.
    std::optional<std::uint64_t> grownBetweenPasses(std::uint32_t longEdge, int quality,
                                                    std::size_t frames) const;

    std::vector<image::RgbaImage> frames_;
    std::vector<bool> counted_;
    image::Size canvas_;
    // The small passes made, and those left until an estimate needs them.
    mutable std::vector<SmallPass> smallPasses_;
    struct LaterPass {
        std::uint32_t longEdge = 0;
        int quality = 0;
        PassMaker make;
    };
    mutable std::vector<LaterPass> laterPasses_;
    // The makers given, for passes at other sizes (addPassAt).
    std::vector<std::pair<int, PassMaker>> passMakers_;
    FrameMaker remake_;
    // For each small pass, each sampled frame's bytes at its size and
    // quality, once known. A sample is used by one thread at a time.
    mutable std::vector<std::optional<std::vector<std::uint64_t>>> atSmallPass_;
    // The latest sizes and qualities measured, oldest first: a sample that
    // stays (as a window's does) answers a choice made again at once.
    static constexpr std::size_t kMeasuredKept = 32;
    mutable std::vector<Measured> measured_;
    std::optional<GifTiming> wholeGif_;
    mutable std::function<bool()> stopped_;
    static constexpr std::size_t kWholeGifBytes = 64u << 20;
};

// A picture's rows as a few evenly spread bands stacked into one shorter
// picture; pictures of up to a few hundred rows are kept whole.
image::RgbaImage bandsOf(const image::RgbaImage& picture);
// How many rows bandsOf keeps of a picture's rows.
std::uint32_t bandsHeight(std::uint32_t rows);

// The long edge and quality a GIF is made at, and what it is expected to weigh.
struct SizePlan {
    std::uint32_t longEdge = 0;
    int quality = 80;
    image::Size canvas;
    std::uint64_t bytes = 0;
    // Log-log slope of bytes against the long edge near the chosen size:
    // what a second try uses to correct the edge.
    double edgeExponent = 1.75;
    // The long edge of the GIF as asked.
    std::uint32_t largestEdge = 0;
    // A plan only shown may take its edge and bytes from the slope on the
    // way to the aim rather than measure that size; a render does not start
    // from such a plan.
    bool fromSlope = false;
    // For a render's plan of a video GIF: where the bytes came in a small
    // pass over the same frames at the plan's quality (SmallPass::course),
    // which guards its encode against passing the budget near its end;
    // empty where no such pass was made.
    std::vector<std::uint64_t> course{};
};

// Share of a budget a plan aims at: the estimate's error must not carry a
// GIF over it, nor far under. A GIF made smaller than asked for a budget
// uses at least kBudgetFloor of it.
inline constexpr double kBudgetAim = 0.93;
inline constexpr double kBudgetFloor = 0.85;
// A GIF estimated at up to this share of its budget is made as asked.
inline constexpr double kAsAskedShare = 0.97;

// Without a budget, the largest size at the requested quality. With one,
// the largest long edge whose GIF fits the budget at the requested quality,
// or at the lowest quality when that keeps the picture clearly larger.
// Errors: "render.over_budget" when even the smallest edge at the lowest
// quality would not fit; its message names the smallest budget that would.
// maxLongEdge caps the sample's own size, so one sample answers for every
// size a user may pick.
//
// A budget's search starts at a quarter of the largest edge, so that a
// budget far below the GIF as asked costs no estimate at the largest size.
// For a render (PlanFor::render), a GIF that stays far under the budget
// even if its bytes grew with its pixels from there is planned as asked
// without estimating it: its encode weighs it anyway, and stops at the
// budget. Its bytes are then that upper bound, not an estimate. A plan only
// shown (PlanFor::estimate) may take its edge and bytes from the slope its
// search measured, once near the aim, rather than estimate that edge too.
//
// firstEdge, when given, is estimated first at the quality asked instead of
// a quarter of the largest: where an earlier search, on another sample of
// the same GIF, found the budget near it.
enum class PlanFor { estimate, render };
Result<SizePlan> planSize(const FrameSample& sample, std::size_t frames, int quality,
                          std::optional<std::uint64_t> budget, unsigned threads = 0,
                          std::uint32_t maxLongEdge = image::kMaxCanvasLongEdge,
                          PlanFor use = PlanFor::estimate, std::uint32_t firstEdge = 0);

// The smallest budget a GIF of these frames fits in: its size at the
// smallest edge and lowest quality, with the aim's margin, rounded up to a
// figure people read easily.
Result<std::uint64_t> smallestBudget(const FrameSample& sample, std::size_t frames,
                                     unsigned threads = 0);

// The long edge that scales a GIF of `bytes` at `edge` to about `target`
// bytes, given how bytes grow with the edge.
std::uint32_t edgeFor(std::uint32_t edge, std::uint64_t bytes, double target, double exponent);

} // namespace flickbook::render
