// The cutter as the trim screen calls it, and its files as Qt's player shows
// them.

#include "media_fixtures.h"
#include "test_paths.h"
#include "video_cutter.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QMediaPlayer>
#include <QThread>
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
    bool onMainThread = false;
    std::optional<QUrl> video;
    std::optional<QString> error;
};

Delivery cutAndWait(const fs::path& source, double start, double end) {
    Delivery delivery;
    QEventLoop loop;
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
TEST_F(CutterTest, QtPlayerShowsTheStretchFromItsFirstFrameToItsEnd) {
    const Delivery done = cutAndWait(clip(), 2.5, 5.02);
    ASSERT_TRUE(done.video.has_value());

    QMediaPlayer player;
    QVideoSink sink;
    player.setVideoOutput(&sink);
    std::vector<int> shown;
    QEventLoop loop;
    QObject::connect(&sink, &QVideoSink::videoFrameChanged, [&](const QVideoFrame& frame) {
        const QImage picture = frame.toImage().convertToFormat(QImage::Format_RGBA8888);
        if (picture.isNull())
            return;
        image::RgbaImage rgba{std::uint32_t(picture.width()), std::uint32_t(picture.height()), {}};
        rgba.pixels.assign(picture.constBits(), picture.constBits() + picture.sizeInBytes());
        shown.push_back(testsupport::readCounter(rgba));
    });
    QObject::connect(
        &player, &QMediaPlayer::mediaStatusChanged, [&](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::LoadedMedia)
                player.play();
            if (status == QMediaPlayer::EndOfMedia || status == QMediaPlayer::InvalidMedia)
                loop.quit();
        });
    player.setSource(*done.video);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();

    EXPECT_EQ(player.duration(), 2520);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), 62);
    // Frames may be dropped on a busy machine, but playback must not stop at
    // the keyframe at 4 s (frame 100).
    EXPECT_GE(*std::max_element(shown.begin(), shown.end()), 120);
    EXPECT_LE(*std::max_element(shown.begin(), shown.end()), 125);
}

} // namespace
} // namespace flickbook

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
