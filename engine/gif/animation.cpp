#include "gif/animation.h"

namespace flickbook::gif {

namespace {

DecodedFrame capture(const Decoder& decoder) {
    DecodedFrame frame;
    frame.rgba.assign(decoder.canvas().begin(), decoder.canvas().end());
    frame.canvasWidth = decoder.screen().width;
    frame.canvasHeight = decoder.screen().height;
    frame.info = decoder.frame();
    frame.delayCs = frameDelayCs(reportedDelays(frame.info.control));
    return frame;
}

Result<Animation> decodeAll(Result<Decoder> opened) {
    if (!opened)
        return opened.error();
    Decoder& decoder = *opened;
    Animation animation;
    animation.screen = decoder.screen();
    for (;;) {
        auto more = decoder.next();
        if (!more) {
            // Past the limits nothing is kept: a partial animation would hide the refusal.
            if (animation.frames.empty() || more.error().code == "gif.too_large")
                return more.error();
            animation.damage = more.error();
            break;
        }
        if (!*more)
            break;
        animation.frames.push_back(capture(decoder));
    }
    if (animation.frames.empty())
        return makeError("gif.no_frames", "The GIF holds no image.");
    animation.loopCount = decoder.loopCount();
    std::vector<std::int32_t> delays;
    delays.reserve(animation.frames.size());
    for (const auto& f : animation.frames)
        delays.push_back(f.delayCs);
    animation.frameList = frameListForDelays(delays);
    return animation;
}

} // namespace

Result<Animation> decodeAnimation(const std::filesystem::path& path, DecodeOptions options) {
    return decodeAll(Decoder::openFile(path, options));
}

Result<Animation> decodeAnimation(std::span<const std::uint8_t> bytes, DecodeOptions options) {
    return decodeAll(Decoder::openMemory(bytes, options));
}

Result<DecodedFrame> decodeFirstFrame(const std::filesystem::path& path, DecodeOptions options) {
    auto decoder = Decoder::openFile(path, options);
    if (!decoder)
        return decoder.error();
    auto more = decoder->next();
    if (!more)
        return more.error();
    if (!*more)
        return makeError("gif.no_frames", "The GIF holds no image.");
    return capture(*decoder);
}

} // namespace flickbook::gif
