#include "gif/animation.h"

#include <new>

namespace flickbook::gif {

namespace {

Error outOfMemory() {
    return makeError("gif.out_of_memory", "There is not enough memory to decode the GIF.");
}

DecodedFrame capture(const Decoder& decoder) {
    DecodedFrame frame;
    frame.rgba.assign(decoder.canvas().begin(), decoder.canvas().end());
    frame.canvasWidth = decoder.screen().width;
    frame.canvasHeight = decoder.screen().height;
    frame.info = decoder.frame();
    frame.delayCs = frameDelayCs(reportedDelays(frame.info.control));
    return frame;
}

// Takes room in the decoder's budget for the frame list of `frames` frames.
bool roomForFrameList(Decoder& decoder, std::size_t frames) {
    return decoder.memory().take(heapBytes(frames * sizeof(FrameList::Run)));
}

// Reads frames one after the other, calling keep(decoder) for each
// completed one. A damaged file gives the frames before the damage; past
// the limits nothing is kept, as a partial result would hide the refusal.
template <typename Keep>
Result<std::optional<Error>> readFrames(Decoder& decoder, std::size_t& count, Keep keep) {
    for (;;) {
        auto more = decoder.next();
        if (!more) {
            if (count == 0 || more.error().code == "gif.too_large" ||
                more.error().code == "gif.out_of_memory")
                return more.error();
            return std::optional<Error>(more.error());
        }
        if (!*more)
            return std::optional<Error>();
        if (auto kept = keep(decoder); !kept)
            return kept.error();
        ++count;
    }
}

Result<Animation> decodeAll(Result<Decoder> opened) {
    if (!opened)
        return opened.error();
    Decoder& decoder = *opened;
    try {
        Animation animation;
        animation.screen = decoder.screen();
        std::size_t count = 0;
        auto read = readFrames(decoder, count, [&](Decoder& d) -> Result<void> {
            // The copy of the canvas and its place in the list, before either is made.
            if (!roomForOneMore(animation.frames, d.memory()) ||
                !d.memory().take(heapBytes(d.canvas().size())))
                return d.overBudget();
            animation.frames.push_back(capture(d));
            return {};
        });
        if (!read)
            return read.error();
        animation.damage = *read;
        if (animation.frames.empty())
            return makeError("gif.no_frames", "The GIF holds no image.");
        animation.loopCount = decoder.loopCount();
        std::vector<std::int32_t> delays;
        if (!reserveCounted(delays, animation.frames.size(), decoder.memory()) ||
            !roomForFrameList(decoder, animation.frames.size()))
            return decoder.overBudget();
        for (const auto& f : animation.frames)
            delays.push_back(f.delayCs);
        animation.frameList = frameListForDelays(delays);
        return animation;
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

Result<AnimationTiming> timingOf(Result<Decoder> opened) {
    if (!opened)
        return opened.error();
    Decoder& decoder = *opened;
    try {
        AnimationTiming timing;
        timing.screen = decoder.screen();
        std::size_t count = 0;
        auto read = readFrames(decoder, count, [&](Decoder& d) -> Result<void> {
            if (!roomForOneMore(timing.delaysCs, d.memory()))
                return d.overBudget();
            timing.delaysCs.push_back(frameDelayCs(reportedDelays(d.frame().control)));
            return {};
        });
        if (!read)
            return read.error();
        timing.damage = *read;
        if (timing.delaysCs.empty())
            return makeError("gif.no_frames", "The GIF holds no image.");
        timing.loopCount = decoder.loopCount();
        if (!roomForFrameList(decoder, timing.delaysCs.size()))
            return decoder.overBudget();
        timing.frameList = frameListForDelays(timing.delaysCs);
        return timing;
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

DecodeOptions withoutDrawing(DecodeOptions options) {
    options.drawFrames = false;
    return options;
}

} // namespace

Result<Animation> decodeAnimation(const std::filesystem::path& path, DecodeOptions options) {
    return decodeAll(Decoder::openFile(path, options));
}

Result<Animation> decodeAnimation(std::span<const std::uint8_t> bytes, DecodeOptions options) {
    return decodeAll(Decoder::openMemory(bytes, options));
}

Result<AnimationTiming> readTiming(const std::filesystem::path& path, DecodeOptions options) {
    return timingOf(Decoder::openFile(path, withoutDrawing(options)));
}

Result<AnimationTiming> readTiming(std::span<const std::uint8_t> bytes, DecodeOptions options) {
    return timingOf(Decoder::openMemory(bytes, withoutDrawing(options)));
}

Result<DecodedFrame> decodeFirstFrame(const std::filesystem::path& path, DecodeOptions options) {
    auto decoder = Decoder::openFile(path, options);
    if (!decoder)
        return decoder.error();
    try {
        auto more = decoder->next();
        if (!more)
            return more.error();
        if (!*more)
            return makeError("gif.no_frames", "The GIF holds no image.");
        if (!decoder->memory().take(heapBytes(decoder->canvas().size())))
            return decoder->overBudget();
        return capture(*decoder);
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

} // namespace flickbook::gif
