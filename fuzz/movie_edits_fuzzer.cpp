// Feeds arbitrary bytes to the MP4 edit-list trimming as a movie file. The
// rewriting must stay inside its boxes and the file: every count and size is
// checked before it is used, the length never changes, and trimming again to
// the same length changes nothing more.
//
// Input: one byte for the length to trim to (in tenths of a second, 0–25.5 s),
// then the file.

#include "media/movie_edits.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace flickbook;

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The bytes as an in-memory file open for reading and writing; the buffer
// has the file's exact length, so any write past the end fails.
std::vector<std::uint8_t> trimmed(std::vector<std::uint8_t> movie, double seconds, bool& ok) {
    std::unique_ptr<std::FILE, FileCloser> file(::fmemopen(movie.data(), movie.size(), "r+"));
    if (!file)
        std::abort();
    ok = bool(media::limitMovieDuration(file.get(), seconds));
    file.reset(); // flushes into `movie`
    return movie;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9)
        return 0;
    const double seconds = data[0] / 10.0;
    const std::vector<std::uint8_t> movie(data + 1, data + size);

    bool ok = false;
    const auto once = trimmed(movie, seconds, ok);
    if (once.size() != movie.size())
        std::abort();
    if (!ok)
        return 0;
    bool okAgain = false;
    const auto twice = trimmed(once, seconds, okAgain);
    if (!okAgain || twice != once)
        std::abort();
    return 0;
}
