// Feeds arbitrary bytes through the decoder the way the app uses it: the
// whole animation, and the first frame alone. Limits are tight so that a
// claimed 16384×16384 canvas cannot exhaust the fuzzer's memory.

#include "gif/animation.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace flickbook::gif;
    DecodeOptions options;
    options.limits.maxCanvasSide = 4096;
    options.limits.maxDecodedBytes = 64u << 20;
    const std::span<const std::uint8_t> bytes(data, size);

    auto animation = decodeAnimation(bytes, options);
    if (animation) {
        // Every run of the list names a decoded frame, and the runs tile the list.
        std::uint64_t entry = 0;
        for (const auto& run : animation->frameList.runs) {
            if (run.frame >= animation->frames.size() || run.firstEntry != entry || run.count == 0)
                __builtin_trap();
            entry += run.count;
        }
        if (entry != animation->frameList.length())
            __builtin_trap();
    }
    auto decoder = Decoder::openMemory(bytes, options);
    if (decoder) {
        auto first = decoder->next();
        if (first && *first &&
            decoder->canvas().size() !=
                std::size_t(decoder->screen().width) * decoder->screen().height * 4)
            __builtin_trap();
    }
    return 0;
}
