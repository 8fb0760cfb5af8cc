#include "image/fit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

extern "C" {
#include <libswscale/swscale.h>
}

namespace flickbook::image {

Size fitInside(Size image, Size box, bool allowEnlarge) {
    if (image.width == 0 || image.height == 0 || box.width == 0 || box.height == 0)
        return {1, 1};
    double scale = std::min(double(box.width) / image.width, double(box.height) / image.height);
    if (!allowEnlarge)
        scale = std::min(scale, 1.0);
    const auto w = std::uint32_t(std::max(1L, std::lround(image.width * scale)));
    const auto h = std::uint32_t(std::max(1L, std::lround(image.height * scale)));
    return {std::min(w, box.width), std::min(h, box.height)};
}

Size canvasFor(Size first, std::uint32_t maxLongEdge) {
    return fitInside(first, {maxLongEdge, maxLongEdge}, false);
}

Result<RgbaImage> resize(const RgbaImage& in, Size to) {
    if (in.width == 0 || in.height == 0 || to.width == 0 || to.height == 0)
        return makeError("image.size", "There is no picture to resize.");
    if (in.width == to.width && in.height == to.height)
        return in;
    const bool shrinking = to.width < in.width && to.height < in.height;
    struct Freer {
        void operator()(SwsContext* s) const { sws_freeContext(s); }
    };
    std::unique_ptr<SwsContext, Freer> scaler(sws_getContext(
        int(in.width), int(in.height), AV_PIX_FMT_RGBA, int(to.width), int(to.height),
        AV_PIX_FMT_RGBA, (shrinking ? SWS_AREA : SWS_BICUBIC) | SWS_ACCURATE_RND, nullptr, nullptr,
        nullptr));
    if (!scaler)
        return makeError("image.resize", "The picture cannot be resized.");
    RgbaImage out;
    out.width = to.width;
    out.height = to.height;
    out.pixels.resize(std::size_t(to.width) * to.height * 4);
    const std::uint8_t* src[4] = {in.pixels.data(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {int(in.width) * 4, 0, 0, 0};
    std::uint8_t* dst[4] = {out.pixels.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(to.width) * 4, 0, 0, 0};
    sws_scale(scaler.get(), src, srcStride, 0, int(in.height), dst, dstStride);
    return out;
}

Result<RgbaImage> placeCentred(const RgbaImage& in, Size canvas) {
    const Size fitted = fitInside({in.width, in.height}, canvas, true);
    auto scaled = resize(in, fitted);
    if (!scaled)
        return scaled;
    if (fitted == canvas)
        return scaled;
    RgbaImage out;
    out.width = canvas.width;
    out.height = canvas.height;
    out.pixels.assign(std::size_t(canvas.width) * canvas.height * 4, 0);
    for (std::size_t i = 3; i < out.pixels.size(); i += 4)
        out.pixels[i] = 255;
    const std::uint32_t left = (canvas.width - fitted.width) / 2;
    const std::uint32_t top = (canvas.height - fitted.height) / 2;
    for (std::uint32_t y = 0; y < fitted.height; ++y)
        std::memcpy(&out.pixels[(std::size_t(top + y) * canvas.width + left) * 4],
                    &scaled->pixels[std::size_t(y) * fitted.width * 4], fitted.width * 4);
    return out;
}

Result<void> ontoCanvas(RgbaImage& picture, std::optional<Size>& canvas) {
    if (!canvas) {
        canvas = Size{picture.width, picture.height};
        return {};
    }
    if (picture.width == canvas->width && picture.height == canvas->height)
        return {};
    auto framed = placeCentred(picture, *canvas);
    if (!framed)
        return framed.error();
    picture = std::move(*framed);
    return {};
}

} // namespace flickbook::image
