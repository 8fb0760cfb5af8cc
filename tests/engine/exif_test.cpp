// When a photo was taken, from real camera files and from damaged ones.

#include "image/exif.h"
#include "test_paths.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

using namespace flickbook;

namespace {

std::filesystem::path photo(const char* name) {
    return testsupport::testdata() / "photos" / name;
}

std::vector<std::uint8_t> head(const std::filesystem::path& path, std::size_t bytes) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> data(bytes);
    in.read(reinterpret_cast<char*>(data.data()), std::streamsize(bytes));
    data.resize(std::size_t(in.gcount()));
    return data;
}

} // namespace

TEST(ExifDate, ReadsDateTimeOriginalFromRealPhotos) {
    struct Case {
        const char* name;
        image::ExifDateTime taken;
    };
    for (const Case& c :
         {Case{"Blinds.jpg", {2008, 1, 22, 3, 28, 22}}, Case{"Dune.jpg", {2007, 8, 6, 10, 29, 13}},
          Case{"Storm.jpg", {2008, 4, 20, 19, 12, 6}}}) {
        SCOPED_TRACE(c.name);
        const auto taken = image::exifDateTimeOriginal(photo(c.name));
        ASSERT_TRUE(taken);
        EXPECT_EQ(taken->year, c.taken.year);
        EXPECT_EQ(taken->month, c.taken.month);
        EXPECT_EQ(taken->day, c.taken.day);
        EXPECT_EQ(taken->hour, c.taken.hour);
        EXPECT_EQ(taken->minute, c.taken.minute);
        EXPECT_EQ(taken->second, c.taken.second);
    }
}

TEST(ExifDate, NothingForPhotosWithoutItOrFilesThatAreNotJpeg) {
    EXPECT_FALSE(image::exifDateTimeOriginal(photo("Aqua.jpg")));
    EXPECT_FALSE(image::exifDateTimeOriginal(photo("README.md")));
    EXPECT_FALSE(image::exifDateTimeOriginal(photo("no-such-file.jpg")));
}

TEST(ExifDate, EveryTruncationOfTheHeaderIsSafe) {
    // Cut the file anywhere inside its EXIF segment: never a read out of
    // bounds (the sanitizer stage checks), and a date only once it is whole.
    const auto full = head(photo("Storm.jpg"), 16 * 1024);
    const auto whole = image::exifDateTimeOriginal(std::span<const std::uint8_t>(full));
    ASSERT_TRUE(whole);
    for (std::size_t size = 0; size < full.size(); size += 7) {
        const std::vector<std::uint8_t> cut(full.begin(), full.begin() + std::ptrdiff_t(size));
        const auto taken = image::exifDateTimeOriginal(std::span<const std::uint8_t>(cut));
        if (taken) {
            EXPECT_EQ(taken->second, whole->second);
        }
    }
}

TEST(ExifDate, CorruptOffsetsGiveNothing) {
    auto bytes = head(photo("Blinds.jpg"), 64 * 1024);
    // Flip bytes across the segment: each result is either nothing or a valid date.
    for (std::size_t at = 12; at < 600 && at < bytes.size(); ++at) {
        auto damaged = bytes;
        damaged[at] ^= 0xA5;
        const auto taken = image::exifDateTimeOriginal(std::span<const std::uint8_t>(damaged));
        if (taken) {
            EXPECT_GE(taken->month, 1);
            EXPECT_LE(taken->month, 12);
        }
    }
}
