#include "video_cutter.h"

#include "media/video_cutter.h"
#include "platform/dispatch.h"
#include "store/gif_store.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

namespace flickbook::components {

VideoCutter& VideoCutter::current() {
    static QPointer<VideoCutter> shared;
    if (!shared)
        shared = new VideoCutter(QCoreApplication::instance());
    return *shared;
}

QString VideoCutter::temporaryFolder() {
    return QString::fromStdString(store::GifStore::standard().temporaryFolder().string());
}

void VideoCutter::cut(const QUrl& source, double startSeconds, double endSeconds,
                      Completion completion, EndsEarly endsEarly) {
    auto finish = [this, completion = std::move(completion), endsEarly = std::move(endsEarly)](
                      std::optional<QUrl> video, std::optional<QString> error,
                      std::optional<double> stoppedAt = std::nullopt) {
        platform::dispatch::main([self = QPointer(this), completion, endsEarly,
                                  video = std::move(video), error = std::move(error), stoppedAt] {
            if (!self)
                return;
            if (video && stoppedAt && endsEarly)
                endsEarly(*stoppedAt);
            if (completion)
                completion(video, error);
        });
    };
    if (!source.isLocalFile()) {
        finish(std::nullopt, tr("The video is not a local file: %1").arg(source.toString()));
        return;
    }
    media::CutRequest request;
    request.source = source.toLocalFile().toStdString();
    request.startSeconds = startSeconds;
    request.endSeconds = endSeconds;
    request.folder = temporaryFolder().toStdString();
    platform::dispatch::background([request = std::move(request), finish]() mutable {
        std::optional<double> stoppedAt;
        request.endsEarly = [&stoppedAt](double seconds) { stoppedAt = seconds; };
        auto made = media::cutVideo(request);
        if (made)
            finish(QUrl::fromLocalFile(QString::fromStdString(made->string())), std::nullopt,
                   stoppedAt);
        else
            finish(std::nullopt, QString::fromStdString(made.error().message));
    });
}

} // namespace flickbook::components
