// The work folder: naming, listing rules and order, deletion, folder
// creation; and the duration text shown beside videos.

#include "core/duration_format.h"
#include "store/gif_store.h"
#include "test_paths.h"

#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;
using namespace flickbook;
using flickbook::testsupport::TempDir;

namespace {

void touch(const fs::path& p) {
    flickbook::testsupport::writeBytes(p, {'G', 'I', 'F'});
}

std::vector<std::string> names(const std::vector<fs::path>& paths) {
    std::vector<std::string> out;
    for (const auto& p : paths)
        out.push_back(p.filename().string());
    return out;
}

class WorkFolder : public ::testing::Test {
protected:
    TempDir dir;
    store::GifStore store{dir.path() / "Documents"};
    void SetUp() override { fs::create_directories(store.workFolder()); }
};

TEST_F(WorkFolder, ListsOnlyVisibleGifFilesDirectlyInside) {
    const fs::path work = store.workFolder();
    touch(work / "Animation_1700000000.gif");
    touch(work / "someone-elses.gif");
    touch(work / "Animation_1700000001.GIF");
    touch(work / ".Animation_1700000002.gif");
    touch(work / "Animation_1700000003.gif.part");
    touch(work / "gif");
    fs::create_directories(work / "sub");
    touch(work / "sub" / "Animation_1700000004.gif");
    fs::create_directories(work / "folder.gif");

    auto listed = store.list();
    ASSERT_TRUE(listed) << listed.error().message;
    EXPECT_EQ(names(*listed),
              (std::vector<std::string>{"someone-elses.gif", "Animation_1700000000.gif"}));
}

TEST_F(WorkFolder, OrdersByDescendingNameNotByNumber) {
    const fs::path work = store.workFolder();
    for (const char* n : {"Animation_1000000000.gif", "Animation_999999999.gif",
                          "Animation_1700000000.gif", "Animation_1699999999.gif"})
        touch(work / n);
    auto listed = store.list();
    ASSERT_TRUE(listed);
    EXPECT_EQ(names(*listed),
              (std::vector<std::string>{"Animation_999999999.gif", "Animation_1700000000.gif",
                                        "Animation_1699999999.gif", "Animation_1000000000.gif"}));
}

TEST_F(WorkFolder, EmptyAndMissingFolders) {
    auto empty = store.list();
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());

    fs::remove_all(store.workFolder());
    auto missing = store.list();
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, "store.list");
    EXPECT_NE(missing.error().message.find("MyWork"), std::string::npos);
}

TEST_F(WorkFolder, DeletingRemovesOnlyThatFile) {
    const fs::path work = store.workFolder();
    touch(work / "Animation_1.gif");
    touch(work / "Animation_2.gif");
    ASSERT_TRUE(store.remove(work / "Animation_2.gif"));
    EXPECT_EQ(names(*store.list()), (std::vector<std::string>{"Animation_1.gif"}));
    ASSERT_TRUE(store.remove(work / "Animation_1.gif"));
    EXPECT_TRUE(store.list()->empty());

    auto again = store.remove(work / "Animation_1.gif");
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().code, "store.not_found");
}

TEST_F(WorkFolder, FailedDeletionLeavesEverythingInPlace) {
    // A non-empty folder cannot be removed like a file, whoever runs the test.
    const fs::path stubborn = store.workFolder() / "Animation_5.gif";
    fs::create_directories(stubborn);
    touch(stubborn / "inside");
    touch(store.workFolder() / "Animation_6.gif");
    auto removed = store.remove(stubborn);
    ASSERT_FALSE(removed);
    EXPECT_EQ(removed.error().code, "store.delete");
    EXPECT_TRUE(fs::exists(stubborn / "inside"));
    EXPECT_EQ(names(*store.list()), (std::vector<std::string>{"Animation_6.gif"}));
}

TEST_F(WorkFolder, AFinishedGifTakesTheNextFreeSecondAndReplacesNothing) {
    fs::create_directories(store.temporaryFolder());
    touch(store.workFolder() / "Animation_1000.gif");
    touch(store.workFolder() / "Animation_1001.gif");
    const fs::path finished = store.temporaryFolder() / "render.gif";
    flickbook::testsupport::writeBytes(finished, {'n', 'e', 'w'});
    auto placed = store.placeNewGif(finished, 1000.7);
    ASSERT_TRUE(placed) << placed.error().message;
    EXPECT_EQ(placed->filename(), "Animation_1002.gif");
    EXPECT_FALSE(fs::exists(finished));
    EXPECT_EQ(flickbook::testsupport::readBytes(store.workFolder() / "Animation_1000.gif").size(),
              3u);
    EXPECT_EQ(flickbook::testsupport::readBytes(*placed),
              (std::vector<std::uint8_t>{'n', 'e', 'w'}));

    // A free name is used as it is; a missing file is an error, not a name.
    flickbook::testsupport::writeBytes(finished, {'x'});
    auto free = store.placeNewGif(finished, 2000);
    ASSERT_TRUE(free);
    EXPECT_EQ(free->filename(), "Animation_2000.gif");
    auto missing = store.placeNewGif(finished, 3000);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, "file.move");
}

TEST(GifNames, WholeSecondsTruncated) {
    EXPECT_EQ(store::gifFileName(1700000000.999), "Animation_1700000000.gif");
    EXPECT_EQ(store::gifFileName(999999999.5), "Animation_999999999.gif");
    EXPECT_EQ(store::gifFileName(0.0), "Animation_0.gif");

    TempDir dir;
    store::GifStore store(dir.path() / "Documents");
    auto path = store.newGifPath(1765000000.25);
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, dir.path() / "Documents" / "MyWork" / "Animation_1765000000.gif");
    EXPECT_TRUE(fs::is_directory(dir.path() / "Documents"));
    // Two renders in the same second are given the same name.
    EXPECT_EQ(*store.newGifPath(1765000000.9), *path);
}

TEST(GifNames, DataFolderFollowsXdg) {
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", "/tmp/flickbook-xdg", 1);
    EXPECT_EQ(store::GifStore::standard().workFolder(),
              fs::path("/tmp/flickbook-xdg/Flickbook/Documents/MyWork"));
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_NE(store::dataFolder().string().rfind("relative", 0), 0u);
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

TEST(CreateFolderInDocuments, MakesTheFolderOnceAndReportsFailures) {
    TempDir dir;
    store::GifStore store(dir.path() / "Documents");
    std::ostringstream console;
    store.createFolderInDocuments("MyWork", console);
    EXPECT_TRUE(fs::is_directory(store.workFolder()));
    EXPECT_EQ(console.str(), "");

    store.createFolderInDocuments("MyWork", console); // exists as a folder
    touch(store.documents() / "plain");
    store.createFolderInDocuments("plain", console); // exists as a file
    EXPECT_EQ(console.str(), "");
    EXPECT_TRUE(fs::is_regular_file(store.documents() / "plain"));

    store.createFolderInDocuments("missing/parent/child", console);
    EXPECT_FALSE(fs::exists(store.documents() / "missing"));
    const std::string line = console.str();
    EXPECT_EQ(line.rfind("Error creating images folder in documents dir: ", 0), 0u) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
    EXPECT_EQ(line.back(), '\n');
}

TEST(FormatDuration, MinutesUnderAnHourThenHours) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "00:00"},          {59, "00:59"},      {60, "01:00"},
        {3599, "59:59"},       {3600, "01:00:00"}, {3661, "01:01:01"},
        {360000, "100:00:00"}, {-59, "00:-59"},    {-3600, "-01:00:00"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(formatDuration(seconds), text) << seconds;
}

} // namespace
