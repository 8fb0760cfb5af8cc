// The encoders as the render screens call them.

#include "gif/animation.h"
#include "image_gif_encoder.h"
#include "media_fixtures.h"
#include "test_paths.h"
#include "video_gif_encoder.h"

#include <QColor>
#include <QImage>
#include <QThreadPool>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace flickbook {
namespace {

namespace fs = std::filesystem;
using components::ImageGifEncoder;
using components::VideoGifEncoder;

struct Outcome {
    std::optional<QString> error;
    std::thread::id thread;
};

Outcome renderAndWait(const QList<QImage>& images, double delay, const fs::path& to) {
    std::promise<Outcome> done;
    ImageGifEncoder encoder;
    encoder.createGIF(images, 0, delay, QUrl::fromLocalFile(QString::fromStdString(to.string())),
                      [&](std::optional<QByteArray>, std::optional<QString> error) {
                          done.set_value({error, std::this_thread::get_id()});
                      });
    return done.get_future().get();
}

QImage filled(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TEST(ImageGifEncoder, WritesTheGifOffTheCallingThread) {
    testsupport::TempDir dir;
    const fs::path to = dir.path() / "Animation_5.gif";
    const QList<QImage> images{filled(120, 90, Qt::red), filled(90, 120, Qt::blue),
                               filled(120, 90, Qt::green)};
    const Outcome outcome = renderAndWait(images, 0.3, to);
    EXPECT_FALSE(outcome.error.has_value());
    EXPECT_NE(outcome.thread, std::this_thread::get_id());
    auto gif = gif::decodeAnimation(to);
    ASSERT_TRUE(gif.ok());
    EXPECT_EQ(gif->screen.width, 120u);
    ASSERT_EQ(gif->frames.size(), 3u);
    EXPECT_EQ(gif->frames[2].info.control->delayCs, 30);
    EXPECT_EQ(*gif->loopCount, 0);
}

// Qt's painter borrows threads of its shared pool to fill large areas and
// waits for them on the GUI thread; a render holding one of them (two
// renders or a render and a cut on two cores hold them all) froze the
// window until it was done.
TEST(ImageGifEncoder, LeavesQtsSharedThreadsToThePainter) {
    testsupport::TempDir dir;
    std::promise<int> busy;
    ImageGifEncoder encoder;
    encoder.createGIF({filled(64, 48, Qt::red), filled(64, 48, Qt::blue)}, 0, 0.5,
                      QUrl::fromLocalFile(QString::fromStdString((dir.path() / "a.gif").string())),
                      [&](std::optional<QByteArray>, std::optional<QString>) {
                          busy.set_value(QThreadPool::globalInstance()->activeThreadCount());
                      });
    EXPECT_EQ(busy.get_future().get(), 0);
}

TEST(ImageGifEncoder, MakesTheSizeAndLoopAsked) {
    testsupport::TempDir dir;
    const fs::path to = dir.path() / "bounce.gif";
    std::promise<std::optional<QString>> done;
    ImageGifEncoder encoder;
    render::OutputSize output;
    output.maxLongEdge = 60;
    encoder.createGIF(
        {filled(120, 90, Qt::red), filled(120, 90, Qt::green), filled(120, 90, Qt::blue)}, 0, 0.4,
        QUrl::fromLocalFile(QString::fromStdString(to.string())),
        [&](std::optional<QByteArray>, std::optional<QString> error) { done.set_value(error); },
        output, render::Loop::bounce);
    ASSERT_FALSE(done.get_future().get().has_value());
    auto gif = gif::decodeAnimation(to);
    ASSERT_TRUE(gif.ok());
    EXPECT_EQ(gif->screen.width, 60u);
    EXPECT_EQ(gif->screen.height, 45u);
    ASSERT_EQ(gif->frames.size(), 4u); // red, green, blue, green
    for (const auto& frame : gif->frames)
        EXPECT_EQ(frame.info.control->delayCs, 40);
}

// A budget's smaller GIF scales each photo once, from the photo, and fits;
// with the defaults nothing changes from the pictures made at the largest
// size.
TEST(ImageGifEncoder, FitsABudgetAndMakesTheDefaultsAsBefore) {
    testsupport::TempDir dir;
    QList<QImage> photos;
    for (const char* name : {"Aqua.jpg", "Dune.jpg", "Storm.jpg"})
        photos << QImage(
            QString::fromStdString((testsupport::testdata() / "photos" / name).string()));
    const auto url = [&](const char* name) {
        return QUrl::fromLocalFile(QString::fromStdString((dir.path() / name).string()));
    };
    ASSERT_FALSE(ImageGifEncoder::render(photos, 0, 1.0, url("defaults.gif")).has_value());
    render::ImagesRequest before;
    before.count = std::size_t(photos.size());
    before.picture = ImageGifEncoder::picturesOf(photos);
    before.destination = dir.path() / "before.gif";
    ASSERT_TRUE(render::imagesToGif(before).ok());
    EXPECT_EQ(testsupport::readBytes(dir.path() / "defaults.gif"),
              testsupport::readBytes(before.destination));

    render::OutputSize output;
    output.maxBytes = fs::file_size(before.destination) / 4;
    ASSERT_FALSE(ImageGifEncoder::render(photos, 0, 1.0, url("fitted.gif"), output).has_value());
    const auto fitted = fs::file_size(dir.path() / "fitted.gif");
    EXPECT_LE(fitted, *output.maxBytes);
    EXPECT_GE(double(fitted), render::kBudgetFloor * double(*output.maxBytes));
    auto gif = gif::decodeAnimation(dir.path() / "fitted.gif");
    ASSERT_TRUE(gif.ok());
    EXPECT_EQ(gif->frames.size(), 3u);
    // Aqua's proportions, 16:10.
    EXPECT_NEAR(double(gif->screen.width) / gif->screen.height, 1.6, 0.005);
    EXPECT_LT(gif->screen.width, 1920u);
}

TEST(ImageGifEncoder, ReportsAnErrorInsteadOfOverwriting) {
    testsupport::TempDir dir;
    const fs::path to = dir.path() / "Animation_5.gif";
    testsupport::writeBytes(to, {'o', 'l', 'd'});
    const Outcome outcome = renderAndWait({filled(10, 10, Qt::red)}, 1.0, to);
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->contains("already exists"));
    EXPECT_EQ(testsupport::readBytes(to), (std::vector<std::uint8_t>{'o', 'l', 'd'}));

    EXPECT_TRUE(renderAndWait({}, 1.0, dir.path() / "empty.gif").error.has_value());
    EXPECT_TRUE(renderAndWait({QImage()}, 1.0, dir.path() / "null.gif").error.has_value());
    EXPECT_FALSE(fs::exists(dir.path() / "empty.gif") || fs::exists(dir.path() / "null.gif"));
}

TEST(VideoGifEncoder, CompletesBeforeReturningWithAPrivateFile) {
    testsupport::TempDir dir;
    setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
    const fs::path clip = dir.path() / "clip.mp4";
    ASSERT_TRUE(testsupport::makeCounterClip(clip, {.seconds = 2}));
    const QUrl source = QUrl::fromLocalFile(QString::fromStdString(clip.string()));

    std::optional<QUrl> made;
    bool called = false;
    VideoGifEncoder::createGIFFromSource(source, std::nullopt, 10, 0.2f, 0, std::nullopt, nullptr,
                                         [&](std::optional<QUrl> gif, const QString&) {
                                             called = true;
                                             made = gif;
                                         });
    ASSERT_TRUE(called);
    ASSERT_TRUE(made.has_value());
    const fs::path file = made->toLocalFile().toStdString();
    EXPECT_EQ(file.parent_path(), dir.path() / "data" / "Flickbook" / "tmp");
    auto gif = gif::decodeAnimation(file);
    ASSERT_TRUE(gif.ok());
    EXPECT_EQ(gif->frames.size(), 10u);
    EXPECT_EQ(gif->frames[0].info.control->delayCs, 20);

    for (int frames : {0, 5}) {
        called = false;
        const QUrl from = frames ? QUrl::fromLocalFile("/nonexistent/clip.mp4") : source;
        VideoGifEncoder::createGIFFromSource(from, std::nullopt, frames, 0.2f, 0, std::nullopt,
                                             nullptr,
                                             [&](std::optional<QUrl> gif, const QString& failure) {
                                                 called = true;
                                                 made = gif;
                                                 EXPECT_FALSE(failure.isEmpty());
                                             });
        EXPECT_TRUE(called);
        EXPECT_FALSE(made.has_value()) << frames;
    }
}

} // namespace
} // namespace flickbook
