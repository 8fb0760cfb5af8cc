// Pictures as the photo flow and the command line read them: 16-bit photos
// past Qt's allocation limit, and large photos in a process whose address
// space is nearly used up.

#include "memory_limit.h"
#include "picture_loading.h"
#include "test_paths.h"

#include <QImage>
#include <QImageReader>
#include <QString>
#include <gtest/gtest.h>

namespace flickbook {
namespace {

namespace fs = std::filesystem;
using components::loadPicture;
using components::readPictureUpright;

QString qpath(const fs::path& p) {
    return QString::fromStdString(p.string());
}

QImage photo() {
    return QImage(qpath(testsupport::testdata() / "photos" / "Aqua.jpg"));
}

// The average of a colour channel's difference between two pictures of the
// same size.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

class LargePictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TempDir();
        const QImage source = photo();
        ASSERT_FALSE(source.isNull());
        // 6000 × 4000 at 16 bits a channel: 192 MB decoded.
        const QImage deep =
            source.scaled(6000, 4000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_RGBA64);
        ASSERT_TRUE(deep.save(qpath(path("deep.png"))));
        const QImage wide =
            source.scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        ASSERT_TRUE(wide.save(qpath(path("wide.jpg")), "JPEG", 90));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static fs::path path(const std::string& name) { return dir_->path() / name; }
    static testsupport::TempDir* dir_;
};
testsupport::TempDir* LargePictures::dir_ = nullptr;

TEST_F(LargePictures, ASixteenBitPhotoPastQtsLimitIsRead) {
    // Written with 16 bits a channel, past what Qt reads by default.
    QImageReader plain(qpath(path("deep.png")));
    ASSERT_EQ(plain.imageFormat(), QImage::Format_RGBA64);
    ASSERT_TRUE(plain.read().isNull());

    // As the command line and the render take it: fitted in 1920 × 1920.
    auto fitted = loadPicture(qpath(path("deep.png")), image::Size{1920, 1920});
    ASSERT_TRUE(fitted) << fitted.error().message;
    EXPECT_EQ(fitted->width, 1920u);
    EXPECT_EQ(fitted->height, 1280u);
    QImage shown(fitted->pixels.data(), 1920, 1280, QImage::Format_RGBA8888);
    const QImage expected =
        photo().scaled(1920, 1280, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(meanDifference(shown, expected), 3.0);

    // As the photo flow takes it: whole, and as a thumbnail.
    QString error;
    const QImage whole = readPictureUpright(qpath(path("deep.png")), std::nullopt, &error);
    ASSERT_FALSE(whole.isNull()) << error.toStdString();
    EXPECT_EQ(whole.size(), QSize(6000, 4000));
    const QImage thumbnail =
        readPictureUpright(qpath(path("deep.png")), image::Size{500, 500}, &error);
    ASSERT_FALSE(thumbnail.isNull()) << error.toStdString();
    EXPECT_EQ(thumbnail.size(), QSize(500, 333));
}

// With little address space left, a 12 MP photo either loads or says it
// cannot; it never waits forever for a helper thread that could not start.
TEST_F(LargePictures, WithTheAddressSpaceNearlyUsedUpAPhotoLoadsOrFailsCleanly) {
#ifdef __SANITIZE_ADDRESS__
    // The sanitizer reserves its shadow memory up front and aborts under an
    // address-space cap; the plain build runs this.
    GTEST_SKIP() << "address-space caps do not apply under the sanitizers";
#endif
    const QString wide = qpath(path("wide.jpg"));
    const QString deep = qpath(path("deep.png"));
    // Qt's plugins are loaded before the cap.
    ASSERT_TRUE(loadPicture(wide, image::Size{64, 64}));
    for (const std::uint64_t megabytes : {8, 16, 24, 32, 48, 64, 96}) {
        const auto outcome = testsupport::runWithAddressSpaceLimit(megabytes << 20, [&] {
            auto picture = loadPicture(wide, image::Size{1920, 1920});
            if (!picture)
                return picture.error().message.find("cannot be read") != std::string::npos ? 2 : 3;
            return picture->width == 1920 && picture->height == 1440 ? 0 : 4;
        });
        ASSERT_TRUE(outcome.exited) << megabytes << " MB: " << outcome.describe();
        EXPECT_TRUE(outcome.status == 0 || outcome.status == 2)
            << megabytes << " MB: " << outcome.describe();
        if (megabytes >= 64) {
            EXPECT_EQ(outcome.status, 0) << megabytes << " MB: " << outcome.describe();
        }
    }
    // The 16-bit photo needs its 192 MB: refused cleanly with less.
    const auto outcome = testsupport::runWithAddressSpaceLimit(96 << 20, [&] {
        auto picture = loadPicture(deep, image::Size{1920, 1920});
        return picture ? 0 : 2;
    });
    ASSERT_TRUE(outcome.exited) << outcome.describe();
    EXPECT_EQ(outcome.status, 2) << outcome.describe();
}

} // namespace
} // namespace flickbook
