#include "giflib_reference.h"

#include <cstring>
#include <gif_lib.h>

namespace flickbook::testsupport {

namespace {

struct Reader {
    const std::vector<std::uint8_t>* bytes;
    std::size_t pos = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* dst, int n) {
    auto* r = static_cast<Reader*>(gif->UserData);
    const std::size_t take = std::min<std::size_t>(std::size_t(n), r->bytes->size() - r->pos);
    std::memcpy(dst, r->bytes->data() + r->pos, take);
    r->pos += take;
    return int(take);
}

} // namespace

std::optional<ReferenceAnimation> giflibDecode(const std::vector<std::uint8_t>& bytes,
                                               std::string* error) {
    Reader reader{&bytes};
    int code = 0;
    GifFileType* gif = DGifOpen(&reader, readFromMemory, &code);
    if (!gif) {
        if (error)
            *error = GifErrorString(code) ? GifErrorString(code) : "unknown error";
        return std::nullopt;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        if (error)
            *error = GifErrorString(gif->Error) ? GifErrorString(gif->Error) : "unknown error";
        DGifCloseFile(gif, &code);
        return std::nullopt;
    }
    ReferenceAnimation out;
    out.width = gif->SWidth;
    out.height = gif->SHeight;
    std::vector<std::uint8_t> canvas(std::size_t(out.width) * out.height * 4, 0);
    std::vector<std::uint8_t> saved;
    int prevDisposal = 0;
    int prevLeft = 0, prevTop = 0, prevW = 0, prevH = 0;

    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        for (int e = 0; e < image.ExtensionBlockCount; ++e) {
            const ExtensionBlock& block = image.ExtensionBlocks[e];
            if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 &&
                e + 1 < image.ExtensionBlockCount) {
                const ExtensionBlock& sub = image.ExtensionBlocks[e + 1];
                if (sub.ByteCount >= 3 && sub.Bytes[0] == 1)
                    out.loopCount = sub.Bytes[1] | sub.Bytes[2] << 8;
            }
        }
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        const bool hasGcb = DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK && [&] {
            for (int e = 0; e < image.ExtensionBlockCount; ++e)
                if (image.ExtensionBlocks[e].Function == GRAPHICS_EXT_FUNC_CODE)
                    return true;
            return false;
        }();
        out.delaysCs.push_back(hasGcb ? gcb.DelayTime : -1);

        // Dispose of the previous frame.
        for (int y = prevTop; y < prevTop + prevH && y < out.height; ++y) {
            for (int x = prevLeft; x < prevLeft + prevW && x < out.width; ++x) {
                const std::size_t at = (std::size_t(y) * out.width + x) * 4;
                if (prevDisposal == DISPOSE_BACKGROUND)
                    std::memset(&canvas[at], 0, 4);
                else if (prevDisposal == DISPOSE_PREVIOUS)
                    std::memcpy(&canvas[at], &saved[at], 4);
            }
        }
        const int disposal = hasGcb ? gcb.DisposalMode : 0;
        if (disposal == DISPOSE_PREVIOUS)
            saved = canvas;

        const GifImageDesc& d = image.ImageDesc;
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        for (int y = 0; y < d.Height; ++y) {
            for (int x = 0; x < d.Width; ++x) {
                const int cx = d.Left + x, cy = d.Top + y;
                if (cx >= out.width || cy >= out.height)
                    continue;
                const int index = image.RasterBits[std::size_t(y) * d.Width + x];
                if (hasGcb && index == gcb.TransparentColor)
                    continue;
                std::uint8_t* px = &canvas[(std::size_t(cy) * out.width + cx) * 4];
                if (map && index < map->ColorCount) {
                    px[0] = map->Colors[index].Red;
                    px[1] = map->Colors[index].Green;
                    px[2] = map->Colors[index].Blue;
                } else {
                    px[0] = px[1] = px[2] = 0;
                }
                px[3] = 255;
            }
        }
        out.frames.push_back(canvas);
        prevDisposal = disposal;
        prevLeft = d.Left;
        prevTop = d.Top;
        prevW = d.Width;
        prevH = d.Height;
    }
    DGifCloseFile(gif, &code);
    return out;
}

} // namespace flickbook::testsupport
