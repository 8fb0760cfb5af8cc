#pragma once

// Cuts the stretch of a video the trim step chose, for the video flow.

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace flickbook::components {

class VideoCutter : public QObject {
public:
    // Exactly one of the two is present.
    using Completion = std::function<void(std::optional<QUrl> video, std::optional<QString> error)>;
    // The seconds from the video's start where a video cut short stops decoding.
    using EndsEarly = std::function<void(double seconds)>;

    // The shared cutter, owned by the application object and living on its
    // thread. Call it once the application object exists.
    static VideoCutter& current();

    // Cuts [startSeconds, endSeconds] of source into a new file in Flickbook's
    // private temporary folder. The work runs in the background; completion
    // is called exactly once, on this object's thread, with the new file's
    // URL or an error for a person. When the stretch reaches past where a
    // video cut short stops decoding, the cut ends there and endsEarly hears
    // where, just before the completion.
    void cut(const QUrl& source, double startSeconds, double endSeconds, Completion completion,
             EndsEarly endsEarly = nullptr);

    // Where cut files go; the app clears it at start-up.
    static QString temporaryFolder();

private:
    using QObject::QObject;
};

} // namespace flickbook::components
