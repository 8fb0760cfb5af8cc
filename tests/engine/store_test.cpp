// The work folder: naming, listing rules and order, deletion, folder
// creation; and the duration text shown beside videos.

#include "core/duration_format.h"
#include "core/temporary_files.h"
#include "store/gif_store.h"
#include "test_paths.h"

#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

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

// A process id that no longer runs: a child that has exited.
pid_t finishedProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(TemporaryFiles, OwnersAreReadFromTheNames) {
    EXPECT_EQ(temporary::ownerOf("cut-4242-123456789-0.mp4"), pid_t(4242));
    EXPECT_EQ(temporary::ownerOf("render-17-99-3.gif"), pid_t(17));
    EXPECT_EQ(temporary::ownerOf(".Animation_1700000000.gif.4242-a1B2c3.part"), pid_t(4242));
    // Whatever the name holds, the owner is read from its end.
    EXPECT_EQ(temporary::ownerOf(".clip.2024-05-01.gif.31-xYz123.part"), pid_t(31));
    EXPECT_EQ(temporary::ownerOf(".Animation_1.gif.a1B2c3.part"), std::nullopt);
    EXPECT_EQ(temporary::ownerOf("notes.txt"), std::nullopt);
    EXPECT_EQ(temporary::ownerOf("cut-x-1.mp4"), std::nullopt);
}

TEST(TemporaryFiles, ARunningOwnerKeepsItsFilesADeadOneDoesNot) {
    const auto now = fs::file_time_type::clock::now();
    EXPECT_TRUE(temporary::ownerMayBeRunning(::getpid(), now));
    EXPECT_FALSE(temporary::ownerMayBeRunning(finishedProcess(), now));
    // An id reused by a process started after the file was written.
    EXPECT_FALSE(temporary::ownerMayBeRunning(::getpid(), now - std::chrono::hours(24 * 365)));
}

TEST_F(WorkFolder, StartUpRemovesWhatDeadProcessesLeft) {
    fs::create_directories(store.temporaryFolder());
    const std::string dead = std::to_string(finishedProcess());
    const std::string alive = std::to_string(::getpid());
    const fs::path work = store.workFolder(), tmp = store.temporaryFolder();
    const std::vector<fs::path> left = {
        work / (".Animation_1.gif." + dead + "-abcdef.part"),
        tmp / ("cut-" + dead + "-1-0.mp4"),
        tmp / (".video-" + dead + "-1-0.gif." + dead + "-abcdef.part"),
    };
    const std::vector<fs::path> kept = {
        work / (".Animation_2.gif." + alive + "-abcdef.part"), // being written
        tmp / ("render-" + alive + "-1-0.gif"),
        work / ("Animation_3.gif"),       // a GIF, whatever its age
        work / (".notes-" + dead + "-x"), // hidden, but not ours
        tmp / "unnamed.gif",              // no owner, and new
    };
    for (const auto& p : left)
        touch(p);
    for (const auto& p : kept)
        touch(p);
    EXPECT_EQ(store.removeStaleTemporaryFiles(), left.size());
    for (const auto& p : left)
        EXPECT_FALSE(fs::exists(p)) << p;
    for (const auto& p : kept)
        EXPECT_TRUE(fs::exists(p)) << p;
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
