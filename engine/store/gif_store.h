#pragma once

// The work folder: every GIF Flickbook made, as files in Documents/MyWork
// under Flickbook's data folder. GIFs appear there only by rename from a
// finished temporary file and leave only by deletion; nothing in the folder is
// ever rewritten.

#include "core/result.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <sys/types.h>
#include <vector>

namespace flickbook::store {

// $XDG_DATA_HOME/Flickbook, or ~/.local/share/Flickbook.
std::filesystem::path dataFolder();

// "Animation_" + whole seconds since the epoch (truncated toward zero) + ".gif".
std::string gifFileName(double epochSeconds);

// Seconds since the epoch, now.
double nowEpochSeconds();

class GifStore {
public:
    static constexpr const char* kWorkFolderName = "MyWork";

    // The store under Flickbook's data folder.
    static GifStore standard();
    // A store whose Documents directory is the given folder.
    explicit GifStore(std::filesystem::path documents);

    const std::filesystem::path& documents() const { return documents_; }
    std::filesystem::path workFolder() const { return documents_ / kWorkFolderName; }
    // Private scratch space on the same file system, outside Documents, so that
    // placing a finished file in the work folder is a rename.
    std::filesystem::path temporaryFolder() const;

    // Makes Documents/NAME when nothing exists there, without making missing
    // parents of NAME (the Documents directory itself is made as needed). A
    // failure is reported only by one line on the console stream.
    void createFolderInDocuments(const std::string& name, std::ostream& console) const;

    // Where a GIF made at the given time goes: MyWork/Animation_T.gif. An
    // error when the Documents directory cannot be had.
    Result<std::filesystem::path> newGifPath(double epochSeconds) const;

    // Moves a finished GIF (a file in temporaryFolder()) into the work folder
    // as Animation_T.gif for the given time or, when that name is taken, for
    // the first free second after it: a finished render is never lost for a
    // name, and nothing in the folder is replaced. Returns the path it now
    // has. Errors: "store.no_documents", "file.move" with the system's reason.
    Result<std::filesystem::path> placeNewGif(const std::filesystem::path& finished,
                                              double epochSeconds) const;

    // Removes what interrupted runs left behind: hidden ".part" files in the
    // work folder and files in temporaryFolder() whose owning process (its
    // id is in the name) no longer runs, or whose id now belongs to a
    // process started after the file was last written. Files whose name
    // carries no owner are removed once a day old. Returns how many were
    // removed; what cannot be removed stays for the next start.
    std::size_t removeStaleTemporaryFiles() const;

    // Removes the same kinds of files made by process `owner` (the caller,
    // as it quits, once its own work has ended). Returns how many went.
    std::size_t removeTemporaryFilesOf(pid_t owner) const;

    // The stored GIFs, newest first: regular files directly in the work folder
    // whose extension is exactly "gif", hidden files left out, in descending
    // byte order of their names.
    Result<std::vector<std::filesystem::path>> list() const;

    Result<void> remove(const std::filesystem::path& gif) const;

private:
    std::filesystem::path documents_;
};

} // namespace flickbook::store
