// The cutter as the trim screen calls it, and its files as Qt's player shows
// them.

#include "media_fixtures.h"
#include "test_paths.h"
#include "video_cutter.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QMediaPlayer>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QVideoFrame>
#include <QVideoSink>
#include <gtest/gtest.h>

namespace flickbook {
namespace {

namespace fs = std::filesystem;
using components::VideoCutter;

struct Delivery {
    int calls = 0;
    // Threads of Qt's shared pool busy while the cut ran.
    int sharedThreadsBusy = -1;
    bool onMainThread = false;
    std::optional<QUrl> video;
    std::optional<QString> error;
};

Delivery cutAndWait(const fs::path& source, double start, double end) {
    Delivery delivery;
    QEventLoop loop;
    QTimer watch;
    watch.callOnTimeout([&] {
        delivery.sharedThreadsBusy = std::max(delivery.sharedThreadsBusy,
                                              QThreadPool::globalInstance()->activeThreadCount());
    });
    watch.start(1);
    VideoCutter::current().cut(QUrl::fromLocalFile(QString::fromStdString(source.string())), start,
                               end, [&](std::optional<QUrl> video, std::optional<QString> error) {
                                   ++delivery.calls;
                                   delivery.onMainThread =
                                       QThread::currentThread() == qApp->thread();
                                   delivery.video = video;
                                   delivery.error = error;
                                   loop.quit();
                               });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    // Anything late would arrive now.
    QCoreApplication::processEvents();
    return delivery;
}

class CutterTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((dir_.path() / "data").string()));
        testsupport::ClipParameters spec;
        spec.seconds = 6;
        spec.keyframeInterval = 100; // 4 s
        spec.bFrames = 3;
        spec.audio = true;
        ASSERT_TRUE(testsupport::makeCounterClip(clip(), spec));
    }
    fs::path clip() const { return dir_.path() / "clip.mp4"; }
    testsupport::TempDir dir_;
};

TEST_F(CutterTest, DeliversOnceOnTheMainThreadIntoThePrivateFolder) {
    const Delivery done = cutAndWait(clip(), 2.5, 4.5);
    EXPECT_EQ(done.calls, 1);
    // The painter borrows that pool and waits for it on the GUI thread.
    EXPECT_EQ(done.sharedThreadsBusy, 0);
    EXPECT_TRUE(done.onMainThread);
    ASSERT_TRUE(done.video.has_value()) << done.error.value_or("").toStdString();
    EXPECT_FALSE(done.error.has_value());
    const fs::path file = done.video->toLocalFile().toStdString();
    EXPECT_EQ(file.parent_path(), dir_.path() / "data" / "Flickbook" / "tmp");
    EXPECT_TRUE(fs::exists(file));

    const Delivery refused = cutAndWait(clip(), 4.0, 3.0);
    EXPECT_EQ(refused.calls, 1);
    EXPECT_TRUE(refused.onMainThread);
    EXPECT_FALSE(refused.video.has_value());
    ASSERT_TRUE(refused.error.has_value());
    EXPECT_FALSE(refused.error->isEmpty());
}

// Qt's player (GStreamer underneath) must start on the chosen frame and play
// to the end of the stretch, although the copied video begins at an earlier
// keyframe and holds a keyframe inside the stretch.
struct Played {
    qint64 durationMs = 0;
    std::vector<int> shown;
};

Played play(const QUrl& video) {
    Played played;
    QMediaPlayer player;
    QVideoSink sink;
    player.setVideoOutput(&sink);
    QEventLoop loop;
    QObject::connect(&sink, &QVideoSink::videoFrameChanged, [&](const QVideoFrame& frame) {
        const QImage picture = frame.toImage().convertToFormat(QImage::Format_RGBA8888);
        if (picture.isNull())
            return;
        image::RgbaImage rgba{std::uint32_t(picture.width()), std::uint32_t(picture.height()), {}};
        rgba.pixels.assign(picture.constBits(), picture.constBits() + picture.sizeInBytes());
        played.shown.push_back(testsupport::readCounter(rgba));
    });
    QObject::connect(
        &player, &QMediaPlayer::mediaStatusChanged, [&](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::LoadedMedia)
                player.play();
            if (status == QMediaPlayer::EndOfMedia || status == QMediaPlayer::InvalidMedia)
                loop.quit();
        });
    player.setSource(video);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    played.durationMs = player.duration();
    return played;
}

TEST_F(CutterTest, QtPlayerShowsTheStretchFromItsFirstFrameToItsEnd) {
    const Delivery done = cutAndWait(clip(), 2.5, 5.02);
    ASSERT_TRUE(done.video.has_value());
    const auto [duration, shown] = play(*done.video);

    EXPECT_EQ(duration, 2520);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), 62);
    // Frames may be dropped on a busy machine, but playback must not stop at
    // the keyframe at 4 s (frame 100).
    EXPECT_GE(*std::max_element(shown.begin(), shown.end()), 120);
    EXPECT_LE(*std::max_element(shown.begin(), shown.end()), 125);
}

// Cuts of the other containers and codecs play from their first frame to
// their end too: MPEG-TS and VP9 become MP4 with an edit list, VP8 a WebM
// whose first frames were encoded again.
class PlayerPlaysEveryKind : public ::testing::TestWithParam<const char*> {};

TEST_P(PlayerPlaysEveryKind, FromTheChosenFrameToTheEnd) {
    testsupport::TempDir dir;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((dir.path() / "data").string()));
    const fs::path clip = dir.path() / GetParam();
    testsupport::ClipParameters clipShape;
    clipShape.seconds = 6;
    clipShape.keyframeInterval = 50;
    clipShape.audio = true;
    clipShape.codec = clip.extension() == ".webm" ? clip.stem().string() : "h264";
    clipShape.bFrames = clipShape.codec == "h264" ? 3 : 0;
    ASSERT_TRUE(testsupport::makeCounterClip(clip, clipShape));
    const Delivery done = cutAndWait(clip, 2.5, 5.02);
    ASSERT_TRUE(done.video.has_value()) << done.error.value_or("").toStdString();
    const auto [duration, shown] = play(*done.video);

    EXPECT_NEAR(double(duration), 2520, 40);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), 62);
    EXPECT_GE(*std::max_element(shown.begin(), shown.end()), 120);
    EXPECT_LE(*std::max_element(shown.begin(), shown.end()), 126);
}

INSTANTIATE_TEST_SUITE_P(Containers, PlayerPlaysEveryKind,
                         ::testing::Values("h264.ts", "h264.m2ts", "vp8.webm", "vp9.webm"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

} // namespace
} // namespace flickbook

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
