#pragma once

// The user's picture library: the XDG Pictures folder. GIFs saved from
// Flickbook go into Pictures/Flickbook unchanged, under their own name or,
// when that is taken, the first free "name (n).gif"; nothing there is ever
// overwritten.

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace flickbook::platform {

class PhotoLibrary {
public:
    // Exactly one of the two is present.
    using AddCompletion =
        std::function<void(std::optional<QString> savedPath, std::optional<QString> error)>;

    static PhotoLibrary& shared();

    // $XDG_PICTURES_DIR (or ~/Pictures) + "/Flickbook".
    static QString flickbookAlbum();

    // Copies the file into the album on a background thread; the completion
    // runs there too.
    void addFile(const QUrl& file, AddCompletion completion);

    // The copy itself, on the calling thread: the saved file's path, or an
    // error for a person.
    static void addFileNow(const QUrl& file, const AddCompletion& completion);
};

} // namespace flickbook::platform
