#pragma once

// The user's photo library: the XDG Pictures folder, read with the user's
// consent. Photos are the images Qt can read found anywhere below it, newest
// first by the date the camera wrote (EXIF) or else the file's own time.
// GIFs saved from Flickbook go into Pictures/Flickbook unchanged, under their
// own name or the first free "name (n).gif"; nothing there is overwritten.

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <vector>

namespace flickbook::platform {

struct PhotoAsset {
    QString path;
    QDateTime creationDate;
    bool operator==(const PhotoAsset& other) const { return path == other.path; }
};

// A video of the library: a file below the Videos folder.
struct VideoAsset {
    QString path;
    QDateTime creationDate;
    bool operator==(const VideoAsset& other) const { return path == other.path; }
    QUrl url() const { return QUrl::fromLocalFile(path); }
};

// What a video of the library is, read from the file.
struct VideoDetails {
    double durationSeconds = 0;
};

enum class AuthorizationStatus { NotDetermined = 0, Restricted = 1, Denied = 2, Authorized = 3 };

// What Flickbook asks permission for.
enum class PrivacyService { Photos, Camera };

// How the user is asked: the consent questions and the privacy page where
// the answers can be changed. The app shows them in its window.
class PrivacyPrompts {
public:
    virtual ~PrivacyPrompts() = default;
    virtual void askForPhotoAccess(std::function<void(bool allowed)> answer) = 0;
    virtual void askForCameraAccess(std::function<void(bool allowed)> answer) = 0;
    virtual void showPrivacyPage(PrivacyService service) = 0;
};

class PhotoLibrary {
public:
    // Exactly one of the two is present.
    using AddCompletion =
        std::function<void(std::optional<QString> savedPath, std::optional<QString> error)>;

    static PhotoLibrary& shared();

    // --- access
    AuthorizationStatus authorizationStatus() const;
    void setAuthorizationStatus(AuthorizationStatus status);
    // Asks once; later calls answer from what was remembered. The handler
    // runs on a background thread.
    void requestAuthorization(std::function<void(AuthorizationStatus)> handler);
    // Installed by the window (not owned); nullptr removes it.
    void setPrivacyPrompts(PrivacyPrompts* prompts) { prompts_ = prompts; }
    PrivacyPrompts* privacyPrompts() const { return prompts_; }
    // Flickbook's privacy page, where access can be granted or taken back.
    void openPrivacySettings(PrivacyService service = PrivacyService::Photos);

    // --- reading
    static QString picturesFolder();
    // Every photo below the Pictures folder, newest first; hidden files and
    // folders left out. Reads file headers: call it off the GUI thread.
    std::vector<PhotoAsset> fetchPhotos() const;
    // $XDG_VIDEOS_DIR, or ~/Videos.
    static QString videosFolder();
    // Every video file below the Videos folder (known video extensions, any
    // case), hidden files and folders included, newest first by the file's
    // modification time. Reads only folders: call it off the GUI thread.
    std::vector<VideoAsset> fetchVideos() const;
    // The video's length from its own headers; nothing when the file is not
    // a video that can be played. Opens the file: off the GUI thread.
    static std::optional<VideoDetails> requestVideoDetails(const VideoAsset& asset);
    // A frame of the video near its start, upright, fitted inside the size;
    // a null image when the file cannot be read. Off the GUI thread.
    static QImage requestVideoImage(const VideoAsset& asset, QSize targetSize);
    // The playable file-backed asset of a video, or nothing when the file
    // cannot be played (not a video, damaged, gone). Asks off the GUI thread
    // and answers there too.
    void requestAVAsset(const VideoAsset& asset, std::function<void(std::optional<QUrl>)> handler);

    // The photo upright, fitted inside the size (aspect kept, never enlarged);
    // a null image when the file cannot be read.
    static QImage requestImage(const PhotoAsset& asset, QSize targetSize);
    // The photo upright at its full size; null when it cannot be read.
    static QImage requestFullSizeImage(const PhotoAsset& asset);
    // The photo upright at the largest size a GIF frame shows it: fitted
    // inside image::kMaxCanvasLongEdge a side (never enlarged), decoded at a
    // reduced size where the format allows, three bytes a pixel when opaque.
    // What the photo flow holds from Done until the render; null when the
    // file cannot be read.
    static QImage requestFrameImage(const PhotoAsset& asset);

    // --- adding
    // $XDG_PICTURES_DIR (or ~/Pictures) + "/Flickbook".
    static QString flickbookAlbum();
    // Copies the file into the album on a background thread; the completion
    // runs there too.
    void addFile(const QUrl& file, AddCompletion completion);
    // The copy itself, on the calling thread.
    static void addFileNow(const QUrl& file, const AddCompletion& completion);

private:
    PrivacyPrompts* prompts_ = nullptr;
};

} // namespace flickbook::platform
