// Cutting generated counter clips (so the first and last frames can be checked
// exactly) and the real footage.

#include "media/frame_reader.h"
#include "media/movie_edits.h"
#include "media/probe.h"
#include "media/thumbnails.h"
#include "media/video_cutter.h"
#include "media_fixtures.h"
#include "test_paths.h"

#include <cctype>
#include <cmath>
#include <gtest/gtest.h>
#include <ostream>

namespace fs = std::filesystem;
using namespace flickbook;
using namespace flickbook::testsupport;

namespace {

class Cutting : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        ClipParameters plain; // 4 s, 25 fps, a keyframe every 2 s
        plain.seconds = 8;
        ASSERT_TRUE(makeCounterClip(path("plain.mp4"), plain));
        // Keyframes 4 s apart, B-frames in pyramids, and sound.
        ClipParameters reordered = plain;
        reordered.keyframeInterval = 100;
        reordered.bFrames = 3;
        reordered.audio = true;
        ASSERT_TRUE(makeCounterClip(path("reordered.mp4"), reordered));
        ASSERT_TRUE(remuxWithRotation(path("reordered.mp4"), path("rotated.mp4"), 90));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static fs::path path(const std::string& name) { return dir_->path() / name; }
    static TempDir* dir_;

    // Counter values of every frame a decoder shows, in order.
    static std::vector<int> shownFrames(const fs::path& file, int rotation = 0) {
        auto source = media::VideoSource::open(file);
        EXPECT_TRUE(source) << source.error().message;
        if (!source)
            return {};
        media::FrameReader reader(std::move(*source));
        std::vector<int> frames;
        for (;;) {
            auto more = reader.next();
            EXPECT_TRUE(more);
            if (!more || !*more)
                break;
            auto picture = reader.currentImage(160, 160);
            EXPECT_TRUE(picture);
            frames.push_back(readCounter(*picture, rotation));
        }
        return frames;
    }

    static Result<fs::path> cut(const std::string& clip, double start, double end,
                                const std::string& out) {
        media::CutRequest request;
        request.source = path(clip);
        request.startSeconds = start;
        request.endSeconds = end;
        request.destination = path(out);
        return media::cutVideo(request);
    }

    static std::vector<fs::path> leftovers() {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(dir_->path()))
            if (entry.path().filename().string().starts_with("."))
                found.push_back(entry.path());
        return found;
    }
};
TempDir* Cutting::dir_ = nullptr;

TEST_F(Cutting, ShowsExactlyTheChosenFramesEvenFarFromAKeyframe) {
    // 25 fps: frame n is on screen from n × 0.04 s.
    const std::tuple<double, double, int, int> ranges[] = {
        {2.5, 5.02, 62, 124}, // neither end on a frame boundary, mid-GOP
        {0.0, 1.0, 0, 24},    // from the very start
        {3.96, 4.0, 99, 99},  // a single frame just before a keyframe
        {4.0, 8.0, 100, 199}, // on a keyframe to the very end
        {1.24, 7.48, 31, 186},
    };
    int n = 0;
    for (const char* clip : {"plain.mp4", "reordered.mp4"}) {
        for (const auto& [start, end, first, last] : ranges) {
            const std::string out = "cut" + std::to_string(n++) + ".mp4";
            auto made = cut(clip, start, end, out);
            ASSERT_TRUE(made) << clip << " " << start << ": " << made.error().message;
            auto info = media::probe(*made);
            ASSERT_TRUE(info) << info.error().message;
            EXPECT_NEAR(info->durationSeconds, end - start, 0.001) << clip << " " << start;

            const auto frames = shownFrames(*made);
            ASSERT_FALSE(frames.empty());
            EXPECT_EQ(frames.front(), first) << clip << " from " << start;
            EXPECT_NEAR(frames.back(), last, 1) << clip << " to " << end;
            // Every frame in between, once each and in order: nothing the
            // copied B-frames refer to is missing.
            for (std::size_t i = 1; i < frames.size(); ++i)
                ASSERT_EQ(frames[i], frames[i - 1] + 1) << clip << " " << start << " at " << i;
        }
    }
    EXPECT_TRUE(leftovers().empty());
}

// A file cut short, index first as phones write it: the index names every
// frame, the data stops halfway. What decodes cuts as exactly as a whole
// file; a range reaching past it gives what decodes and says where it stops.
TEST_F(Cutting, AFileCutShortCutsWhatDecodes) {
    for (const bool reordered : {false, true}) {
        ClipParameters shape;
        shape.seconds = 8;
        shape.keyframeInterval = 50;
        shape.faststart = true;
        shape.bFrames = reordered ? 3 : 0;
        shape.audio = reordered;
        const std::string whole = reordered ? "whole-reordered.mp4" : "whole-plain.mp4";
        const std::string clip = reordered ? "short-reordered.mp4" : "short-plain.mp4";
        ASSERT_TRUE(makeCounterClip(path(whole), shape));
        const auto bytes = readBytes(path(whole));
        writeBytes(path(clip), {bytes.begin(), bytes.begin() + long(bytes.size() * 6 / 10)});
        auto info = media::probe(path(clip));
        ASSERT_TRUE(info) << clip << ": " << info.error().message;
        EXPECT_NEAR(info->durationSeconds, 8.0, 0.05) << clip;
        ASSERT_TRUE(info->decodesUntil) << clip;
        const double stop = *info->decodesUntil;
        EXPECT_GT(stop, 3.0) << clip;
        EXPECT_LT(stop, 6.5) << clip;
        // The frames that decode in one run from the start end where it says
        // (the decoder then reports the damage).
        std::vector<int> decoded;
        {
            auto source = media::VideoSource::open(path(clip));
            ASSERT_TRUE(source);
            media::FrameReader reader(std::move(*source));
            for (auto more = reader.next(); more && *more; more = reader.next())
                decoded.push_back(readCounter(*reader.currentImage(160, 160)));
        }
        ASSERT_FALSE(decoded.empty());
        EXPECT_EQ(decoded.front(), 0);
        EXPECT_NEAR(stop, (decoded.back() + 1) * 0.04, 0.001) << clip;
        for (std::size_t i = 1; i * 0.04 < stop; ++i)
            ASSERT_EQ(decoded[i], decoded[i - 1] + 1) << clip << " at " << i;

        // Inside what decodes: exact, and nothing said.
        {
            std::vector<double> stops;
            media::CutRequest request;
            request.source = path(clip);
            request.startSeconds = 1.5;
            request.endSeconds = 2.5;
            request.destination = path("inside-" + clip);
            request.endsEarly = [&](double seconds) { stops.push_back(seconds); };
            auto made = media::cutVideo(request);
            ASSERT_TRUE(made) << clip << ": " << made.error().message;
            EXPECT_TRUE(stops.empty());
            auto cutInfo = media::probe(*made);
            ASSERT_TRUE(cutInfo) << cutInfo.error().message;
            EXPECT_FALSE(cutInfo->decodesUntil);
            EXPECT_NEAR(cutInfo->durationSeconds, 1.0, 0.001) << clip;
            const auto frames = shownFrames(*made);
            ASSERT_FALSE(frames.empty());
            EXPECT_EQ(frames.front(), 37) << clip;
            EXPECT_NEAR(frames.back(), 62, 1) << clip;
        }
        // Past it: what decodes, from the start chosen to where it stops.
        {
            std::vector<double> stops;
            media::CutRequest request;
            request.source = path(clip);
            request.startSeconds = 2.5;
            request.endSeconds = 7.5;
            request.destination = path("past-" + clip);
            request.endsEarly = [&](double seconds) { stops.push_back(seconds); };
            auto made = media::cutVideo(request);
            ASSERT_TRUE(made) << clip << ": " << made.error().message;
            ASSERT_EQ(stops.size(), 1u) << clip;
            EXPECT_DOUBLE_EQ(stops[0], stop);
            auto cutInfo = media::probe(*made);
            ASSERT_TRUE(cutInfo) << cutInfo.error().message;
            EXPECT_FALSE(cutInfo->decodesUntil) << clip;
            EXPECT_NEAR(cutInfo->durationSeconds, stop - 2.5, 0.001) << clip;
            const auto frames = shownFrames(*made);
            ASSERT_FALSE(frames.empty());
            EXPECT_EQ(frames.front(), 62) << clip;
            EXPECT_NEAR(frames.back(), decoded.back(), 1) << clip;
            for (std::size_t i = 1; i < frames.size(); ++i)
                ASSERT_EQ(frames[i], frames[i - 1] + 1) << clip << " at " << i;
        }
        // Beginning where nothing decodes any more: refused, nothing written.
        auto late = cut(clip, stop + 0.5, 7.5, "late-" + clip);
        ASSERT_FALSE(late) << clip;
        EXPECT_EQ(late.error().code, "cut.range") << late.error().message;
        EXPECT_NE(late.error().message.find("stops decoding at"), std::string::npos)
            << late.error().message;
        EXPECT_FALSE(fs::exists(path("late-" + clip)));
    }
    EXPECT_TRUE(leftovers().empty());
}

// Matroska and WebM keep their index at the end: a file cut short says so
// only when its packets run out before the duration its header states. The
// cut gives what is there and says where it stops, copied or (VP8) through
// the re-encoding path; a whole file is not taken for one cut short.
TEST_F(Cutting, AMatroskaOrWebMFileCutShortSaysWhereItStops) {
    for (const auto& [name, codec] :
         {std::pair{"short.mkv", "h264"}, {"short.webm", "vp9"}, {"short-vp8.webm", "vp8"}}) {
        ClipParameters shape;
        shape.seconds = 8;
        shape.keyframeInterval = 25;
        shape.codec = codec;
        shape.audio = true;
        const std::string whole = std::string("whole-") + name;
        ASSERT_TRUE(makeCounterClip(path(whole), shape));
        const auto bytes = readBytes(path(whole));
        writeBytes(path(name), {bytes.begin(), bytes.begin() + long(bytes.size() / 2)});

        std::vector<double> stops;
        media::CutRequest request;
        request.source = path(name);
        request.startSeconds = 1.0;
        request.endSeconds = 7.5;
        request.destination = path(std::string("past-") + name);
        request.endsEarly = [&](double seconds) { stops.push_back(seconds); };
        auto made = media::cutVideo(request);
        ASSERT_TRUE(made) << name << ": " << made.error().message;
        ASSERT_EQ(stops.size(), 1u) << name;
        EXPECT_GT(stops[0], 2.0) << name;
        EXPECT_LT(stops[0], 6.0) << name;
        const auto frames = shownFrames(*made);
        ASSERT_FALSE(frames.empty()) << name;
        EXPECT_EQ(frames.front(), 25) << name;
        EXPECT_NEAR((frames.back() + 1) * 0.04, stops[0], 0.041) << name;

        // The whole file, cut to its end, is whole.
        stops.clear();
        request.source = path(whole);
        request.endSeconds = 8.0;
        request.destination = path(std::string("all-") + name);
        ASSERT_TRUE(media::cutVideo(request)) << name;
        EXPECT_TRUE(stops.empty()) << name << " stops at " << stops.front();
    }
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Cutting, KeepsSoundInStepAndTheRotation) {
    auto made = cut("rotated.mp4", 2.5, 6.0, "rotated-cut.mp4");
    ASSERT_TRUE(made) << made.error().message;
    auto info = media::probe(*made);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->rotation, 90);
    EXPECT_EQ(info->width, 120);
    EXPECT_TRUE(info->hasAudio);
    EXPECT_EQ(shownFrames(*made, 90).front(), 62);

    // The sound covers the same stretch as the picture.
    auto source = media::VideoSource::open(*made);
    ASSERT_TRUE(source);
    for (unsigned i = 0; i < source->format()->nb_streams; ++i) {
        const AVStream* s = source->format()->streams[i];
        const double begin = s->start_time * av_q2d(s->time_base);
        const double length = s->duration * av_q2d(s->time_base);
        EXPECT_NEAR(begin, 0.0, 0.03) << "stream " << i;
        EXPECT_NEAR(length, 3.5, 0.05) << "stream " << i;
    }
}

TEST_F(Cutting, RefusesBadRequestsAndLeavesNothingBehind) {
    writeBytes(path("taken.mp4"), {'m', 'i', 'n', 'e'});
    writeBytes(path("text.mp4"), {'h', 'e', 'l', 'l', 'o'});
    const auto bytes = readBytes(path("plain.mp4"));
    writeBytes(path("short.mp4"), {bytes.begin(), bytes.begin() + long(bytes.size() / 2)});
    const std::tuple<const char*, double, double, const char*, const char*> cases[] = {
        {"missing.mp4", 1, 2, "a.mp4", "media.not_found"},
        {"text.mp4", 1, 2, "b.mp4", "media.unreadable"},
        {"short.mp4", 1, 2, "c.mp4", "media.unreadable"},
        {"plain.mp4", 3, 3, "d.mp4", "cut.range"},
        {"plain.mp4", 5, 2, "e.mp4", "cut.range"},
        {"plain.mp4", 7, 9, "f.mp4", "cut.range"},
        {"plain.mp4", 8.5, 9, "g.mp4", "cut.range"},
        {"plain.mp4", -1, 2, "h.mp4", "cut.range"},
        {"plain.mp4", 1, 2, "taken.mp4", "file.exists"},
    };
    for (const auto& [clip, start, end, out, code] : cases) {
        auto made = cut(clip, start, end, out);
        ASSERT_FALSE(made) << clip << " " << start << "-" << end;
        EXPECT_EQ(made.error().code, code) << made.error().message;
        if (std::string(out) != "taken.mp4") {
            EXPECT_FALSE(fs::exists(path(out))) << out;
        }
    }
    EXPECT_EQ(readBytes(path("taken.mp4")).size(), 4u);
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Cutting, NamesItsOwnFileInAFolder) {
    media::CutRequest request;
    request.source = path("plain.mp4");
    request.startSeconds = 1;
    request.endSeconds = 2;
    request.folder = path("private");
    std::vector<double> progress;
    request.progress = [&](double p) { progress.push_back(p); };
    auto first = media::cutVideo(request);
    auto second = media::cutVideo(request);
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_EQ(first->parent_path(), path("private"));
    EXPECT_EQ(first->extension(), ".mp4");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.begin() + long(progress.size() / 2)));
}

// Every container and codec people bring, cut at ranges that start on a
// keyframe, off one, right after a run of B-frames, at the very beginning,
// and on a single frame.
struct ClipKind {
    const char* file;
    const char* codec;
    int keyframeInterval;
    int bFrames;
    bool audio;
};

void PrintTo(const ClipKind& kind, std::ostream* os) {
    *os << kind.file;
}

class CuttingEveryKind : public ::testing::TestWithParam<ClipKind> {};

TEST_P(CuttingEveryKind, ShowsExactlyTheChosenFrames) {
    const ClipKind kind = GetParam();
    TempDir dir;
    ClipParameters clipShape;
    clipShape.seconds = 8;
    clipShape.codec = kind.codec;
    clipShape.keyframeInterval = kind.keyframeInterval;
    clipShape.bFrames = kind.bFrames;
    clipShape.audio = kind.audio;
    const fs::path clip = dir.path() / kind.file;
    ASSERT_TRUE(makeCounterClip(clip, clipShape));

    // 25 fps: frame n is on screen from n × 0.04 s.
    const double keyframe = (100 / kind.keyframeInterval) * kind.keyframeInterval / 25.0;
    const double afterBFrames = (kind.keyframeInterval * 2 + kind.bFrames + 1) / 25.0;
    const std::pair<double, double> ranges[] = {
        {keyframe, keyframe + 2.0},
        {2.5, 5.02},
        {afterBFrames, afterBFrames + 1.5},
        {0.0, 1.0},
        {1.24, 7.48},
        {3.96, 4.0},
        {5.0, 8.0},
    };
    int n = 0;
    for (const auto& [start, end] : ranges) {
        media::CutRequest request;
        request.source = clip;
        request.startSeconds = start;
        request.endSeconds = end;
        request.folder = dir.path();
        request.baseName = "cut" + std::to_string(n++);
        auto made = media::cutVideo(request);
        ASSERT_TRUE(made) << start << "-" << end << ": " << made.error().message;
        auto info = media::probe(*made);
        ASSERT_TRUE(info) << info.error().message;
        EXPECT_NEAR(info->durationSeconds, end - start, 0.04 + 1e-6) << start << "-" << end;
        EXPECT_EQ(info->hasAudio, kind.audio) << start;

        std::vector<int> frames;
        {
            auto source = media::VideoSource::open(*made);
            ASSERT_TRUE(source) << source.error().message;
            media::FrameReader reader(std::move(*source));
            for (;;) {
                auto more = reader.next();
                ASSERT_TRUE(more) << more.error().message;
                if (!*more)
                    break;
                auto picture = reader.currentImage(160, 160);
                ASSERT_TRUE(picture);
                frames.push_back(readCounter(*picture));
            }
        }
        ASSERT_FALSE(frames.empty()) << start;
        const int first = int(std::floor(start * 25 + 1e-6));
        const int count = int(std::lround((end - start) * 25));
        EXPECT_EQ(frames.front(), first) << start << "-" << end;
        EXPECT_NEAR(double(frames.size()), count, 1) << start << "-" << end;
        for (std::size_t i = 1; i < frames.size(); ++i)
            ASSERT_EQ(frames[i], frames[i - 1] + 1) << start << "-" << end << " at " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Containers, CuttingEveryKind,
                         ::testing::Values(ClipKind{"h264.ts", "h264", 12, 3, true},
                                           ClipKind{"h264.m2ts", "h264", 12, 3, true},
                                           ClipKind{"hevc.ts", "hevc", 25, 2, false},
                                           ClipKind{"mpeg2.ts", "mpeg2video", 15, 2, true},
                                           ClipKind{"h264.mkv", "h264", 50, 3, true},
                                           ClipKind{"mpeg4.mov", "mpeg4", 25, 2, true},
                                           ClipKind{"hevc.mp4", "hevc", 50, 3, false},
                                           ClipKind{"vp8.webm", "vp8", 50, 0, true},
                                           ClipKind{"vp8-short-gop.webm", "vp8", 12, 0, false},
                                           ClipKind{"vp9.webm", "vp9", 50, 0, true},
                                           ClipKind{"av1.webm", "av1", 50, 0, true}),
                         [](const ::testing::TestParamInfo<ClipKind>& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(CuttingSound, LeavesOutSoundTheNewFileCannotCarry) {
    // Vorbis goes into neither MP4 nor QuickTime, where VP9 is copied to.
    TempDir dir;
    ClipParameters clipShape;
    clipShape.codec = "vp9";
    clipShape.audio = true;
    clipShape.audioCodec = "libvorbis";
    ASSERT_TRUE(makeCounterClip(dir.path() / "vorbis.webm", clipShape));
    media::CutRequest request;
    request.source = dir.path() / "vorbis.webm";
    request.startSeconds = 1.0;
    request.endSeconds = 3.0;
    request.folder = dir.path();
    auto made = media::cutVideo(request);
    ASSERT_TRUE(made) << made.error().message;
    auto info = media::probe(*made);
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->hasAudio);
    EXPECT_NEAR(info->durationSeconds, 2.0, 0.04);
}

// The index patching after a cut, on hand-made movie headers: every count
// and size is checked against the box that holds it before anything is
// written.
namespace boxes {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& out, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(i < 8 ? std::uint8_t(value >> (8 * i)) : 0); // wider fields: zeros
}

Bytes box(const char* type, const Bytes& payload) {
    Bytes out;
    put(out, payload.size() + 8, 4);
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// mvhd and tkhd version 0 with a 1000-unit timescale; `entries` edits of
// 5 s each are stated in `count`.
Bytes movie(std::uint64_t count, int entries, int tkhdPayload = 84, int mvhdVersion = 0) {
    Bytes mvhd;
    put(mvhd, std::uint64_t(mvhdVersion) << 24, 4);
    put(mvhd, 0, 8);
    put(mvhd, 1000, 4);
    put(mvhd, 5000, 4);
    mvhd.resize(100);
    Bytes tkhd;
    put(tkhd, 0, 4);
    put(tkhd, 0, 16);
    put(tkhd, 5000, 4);
    tkhd.resize(std::size_t(tkhdPayload));
    Bytes elst;
    put(elst, 0, 4);
    put(elst, count, 4);
    for (int i = 0; i < entries; ++i) {
        put(elst, 5000, 4);
        put(elst, 0, 4);
        put(elst, 0x10000, 4);
    }
    return box("moov",
               box("mvhd", mvhd) + box("trak", box("tkhd", tkhd) + box("edts", box("elst", elst))));
}

// A box whose 64-bit size says it reaches `size` bytes, whatever it holds.
Bytes largeBox(const char* type, std::uint64_t size) {
    Bytes out;
    put(out, 1, 4);
    out.insert(out.end(), type, type + 4);
    put(out, size >> 32, 4);
    put(out, size & 0xffffffffu, 4);
    return out;
}

std::uint32_t at(const Bytes& file, std::size_t offset) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = v << 8 | file[offset + i];
    return v;
}

Result<void> limit(const fs::path& path, const Bytes& bytes, double seconds) {
    writeBytes(path, bytes);
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    EXPECT_NE(file, nullptr);
    auto result = media::limitMovieDuration(file, seconds);
    std::fclose(file);
    return result;
}

} // namespace boxes

TEST(MovieEdits, ShortenEditsTrackAndMovieTogether) {
    TempDir dir;
    const auto path = dir.path() / "movie.mov";
    ASSERT_TRUE(boxes::limit(path, boxes::movie(1, 1), 2.0));
    const auto file = readBytes(path);
    // moov(8) mvhd(8) version(4) times(8) timescale(4) → duration at 32.
    EXPECT_EQ(boxes::at(file, 32), 2000u);
    // mvhd ends at 8 + 108; trak(8) tkhd(8) + 20 → tkhd duration.
    EXPECT_EQ(boxes::at(file, 116 + 16 + 20), 2000u);
    // tkhd ends at 116 + 8 + 92; edts(8) elst(8) + 8 → the first entry.
    EXPECT_EQ(boxes::at(file, 216 + 24), 2000u);
}

TEST(MovieEdits, RefuseCountsAndSizesTheirBoxDoesNotHold) {
    using boxes::operator+;
    TempDir dir;
    const std::pair<const char*, boxes::Bytes> damaged[] = {
        {"more edits than the box holds", boxes::movie(1000, 1)},
        {"a count that wraps", boxes::movie(0xffffffffu, 1)},
        {"a track header too short for its duration", boxes::movie(1, 1, 12)},
        {"an unknown movie header version", boxes::movie(1, 1, 84, 7)},
        // Taken as an offset, this size would step back 16 bytes onto the
        // box before it, which leads to it again: a loop for ever.
        {"a 64-bit box size past the file's end", boxes::movie(1, 1) +
                                                      boxes::box("free", boxes::Bytes(8)) +
                                                      boxes::largeBox("free", ~std::uint64_t(15))},
    };
    for (const auto& [what, bytes] : damaged) {
        const auto path = dir.path() / "damaged.mov";
        auto result = boxes::limit(path, bytes, 2.0);
        EXPECT_FALSE(result) << what;
        // Nothing past the boxes' own bytes was written.
        EXPECT_EQ(readBytes(path).size(), bytes.size()) << what;
    }
}

TEST(CuttingRealFootage, StartsOnTheFrameShownAtTheStart) {
    TempDir dir;
    for (const char* name : {"bottle-detection.mp4", "car-detection.mp4", "book.mkv"}) {
        media::CutRequest request;
        request.source = testdata() / "media" / name;
        request.startSeconds = 1.3;
        request.endSeconds = 3.3;
        request.folder = dir.path();
        auto made = media::cutVideo(request);
        ASSERT_TRUE(made) << name << ": " << made.error().message;
        auto info = media::probe(*made);
        ASSERT_TRUE(info);
        EXPECT_NEAR(info->durationSeconds, 2.0, 1.0 / info->frameRate) << name;

        auto expected = media::thumbnailAt(request.source, 1.3, 320, 320);
        auto shown = media::thumbnailAt(*made, 0.0, 320, 320);
        ASSERT_TRUE(expected && shown);
        ASSERT_EQ(expected->pixels.size(), shown->pixels.size());
        double difference = 0;
        for (std::size_t i = 0; i < shown->pixels.size(); ++i)
            difference += std::abs(int(shown->pixels[i]) - int(expected->pixels[i]));
        // The same decoded frame: the bytes are copied, not re-encoded.
        EXPECT_LT(difference / double(shown->pixels.size()), 0.5) << name;
    }
}

} // namespace
