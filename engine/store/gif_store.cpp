#include "store/gif_store.h"

#include "core/output_file.h"
#include "core/temporary_files.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <system_error>

namespace flickbook::store {

namespace fs = std::filesystem;

fs::path dataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg) / "Flickbook";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local/share/Flickbook";
}

std::string gifFileName(double epochSeconds) {
    return "Animation_" + std::to_string(std::int64_t(epochSeconds)) + ".gif";
}

double nowEpochSeconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

GifStore GifStore::standard() {
    return GifStore(dataFolder() / "Documents");
}

GifStore::GifStore(fs::path documents) : documents_(std::move(documents)) {}

fs::path GifStore::temporaryFolder() const {
    return documents_.parent_path() / "tmp";
}

void GifStore::createFolderInDocuments(const std::string& name, std::ostream& console) const {
    std::error_code ec;
    fs::create_directories(documents_, ec); // the Documents directory always exists on a phone
    const fs::path folder = documents_ / name;
    if (fs::exists(fs::symlink_status(folder, ec)))
        return;
    if (!fs::create_directory(folder, ec) && ec)
        console << "Error creating images folder in documents dir: " << ec.message() << "\n";
}

Result<fs::path> GifStore::newGifPath(double epochSeconds) const {
    std::error_code ec;
    fs::create_directories(documents_, ec);
    if (ec || !fs::is_directory(documents_))
        return makeError("store.no_documents", "The Documents folder " + documents_.string() +
                                                   " cannot be made: " + ec.message());
    return documents_ / kWorkFolderName / gifFileName(epochSeconds);
}

Result<fs::path> GifStore::placeNewGif(const fs::path& finished, double epochSeconds) const {
    auto first = newGifPath(epochSeconds);
    if (!first)
        return first.error();
    std::error_code ec;
    fs::create_directories(workFolder(), ec);
    if (ec)
        return makeError("file.move", "Cannot make the work folder " + workFolder().string() +
                                          ": " + ec.message() + ".");
    // A day of seconds: more GIFs than anyone makes at once.
    constexpr std::int64_t kLaterSeconds = 86400;
    const auto seconds = std::int64_t(epochSeconds);
    for (std::int64_t later = 0; later < kLaterSeconds; ++later) {
        const fs::path to = workFolder() / gifFileName(double(seconds + later));
        auto moved = moveWithoutReplacing(finished, to);
        if (moved)
            return to;
        if (moved.error().code != "file.exists")
            return moved.error();
    }
    return makeError("file.move", "No free name is left in " + workFolder().string() + ".");
}

namespace {

bool stale(const fs::directory_entry& entry) {
    std::error_code ec;
    const auto modified = entry.last_write_time(ec);
    if (ec)
        return false;
    if (auto owner = temporary::ownerOf(entry.path().filename().string()))
        return !temporary::ownerMayBeRunning(*owner, modified);
    return fs::file_time_type::clock::now() - modified > std::chrono::hours(24);
}

// Removes those of the work folder's hidden ".part" files and of the
// temporary folder's files that `doomed` picks; how many went.
template <typename Pick> std::size_t sweepTemporaryFiles(const GifStore& store, Pick doomed) {
    std::size_t removed = 0;
    const auto sweep = [&](const fs::path& folder, bool onlyParts) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (onlyParts && !(name.starts_with(".") && name.ends_with(".part")))
                continue;
            std::error_code kind;
            if (!it->is_regular_file(kind) || !doomed(*it))
                continue;
            std::error_code gone;
            removed += fs::remove(it->path(), gone) ? 1 : 0;
        }
    };
    sweep(store.workFolder(), true);
    sweep(store.temporaryFolder(), false);
    return removed;
}

} // namespace

std::size_t GifStore::removeStaleTemporaryFiles() const {
    return sweepTemporaryFiles(*this, stale);
}

std::size_t GifStore::removeTemporaryFilesOf(pid_t owner) const {
    return sweepTemporaryFiles(*this, [owner](const fs::directory_entry& entry) {
        return temporary::ownerOf(entry.path().filename().string()) == owner;
    });
}

Result<std::vector<fs::path>> GifStore::list() const {
    std::vector<fs::path> gifs;
    std::error_code ec;
    fs::directory_iterator it(workFolder(), ec);
    if (ec)
        return makeError("store.list", "The work folder " + workFolder().string() +
                                           " cannot be read: " + ec.message());
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name[0] == '.')
            continue;
        if (entry.path().extension() != ".gif")
            continue;
        if (!entry.is_regular_file(ec))
            continue;
        gifs.push_back(entry.path());
    }
    std::sort(gifs.begin(), gifs.end(), [](const fs::path& a, const fs::path& b) {
        return a.filename().string() > b.filename().string();
    });
    return gifs;
}

Result<void> GifStore::remove(const fs::path& gif) const {
    std::error_code ec;
    if (!fs::remove(gif, ec)) {
        if (!ec)
            return makeError("store.not_found",
                             gif.filename().string() + " is not in the work folder.");
        return makeError("store.delete",
                         "Cannot delete " + gif.filename().string() + ": " + ec.message());
    }
    return {};
}

} // namespace flickbook::store
