// What playing a GIF in the preview costs: each file decoded the way the
// preview did before (every frame composited and kept at full size) and the
// way it does now (each frame made at the view's size and held compactly),
// each in a child process of its own so that the peaks are its own.
//
//   preview_bench --box WxH FILE.gif…
//
// Prints, per file and way: seconds, growth of the peak resident memory
// over the child's start, and the pictures held (or the error).

#include "gif/animation.h"
#include "library/animated_gif.h"
#include "platform/view_pictures.h"

#include <QFile>
#include <QImage>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace flickbook;

namespace {

// Kibibytes of a line of /proc/self/status ("VmHWM", "VmRSS").
long statusKiB(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(std::strlen(key)) + 1).trimmed().split(' ').value(0).toLong();
    return -1;
}

template <typename Work> void inChild(const char* way, const std::string& file, Work work) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const long start = statusKiB("VmRSS");
        const auto clock = std::chrono::steady_clock::now();
        const std::string outcome = work();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - clock).count();
        std::printf("%-40s %-8s %6.2f s  peak +%5.0f MB  %s\n", file.c_str(), way, seconds,
                    double(statusKiB("VmHWM") - start) / 1024.0, outcome.c_str());
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

std::string megabytes(quint64 bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    return text;
}

} // namespace

int main(int argc, char* argv[]) {
    QSize box(1280, 1280);
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--box") == 0 && i + 1 < argc) {
            int w = 0, h = 0;
            if (std::sscanf(argv[++i], "%dx%d", &w, &h) == 2)
                box = QSize(w, h);
        } else {
            files.emplace_back(argv[i]);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: preview_bench [--box WxH] FILE.gif…\n");
        return 1;
    }
    std::printf("pictures made for a view of %d x %d device pixels\n", box.width(), box.height());
    for (const std::string& file : files) {
        const std::string name = file.substr(file.find_last_of('/') + 1);
        inChild("before", name, [&] {
            auto decoded = gif::decodeAnimation(file);
            if (!decoded)
                return "error: " + decoded.error().message;
            return std::to_string(decoded->frames.size()) + " full frames";
        });
        inChild("now", name, [&] {
            library::PlaybackLimits limits;
            limits.box = box;
            auto image = library::decodeForPlayback(QString::fromStdString(file), limits);
            if (!image)
                return "error: " + image.error().message;
            quint64 held = 0;
            for (const QImage& picture : image->images)
                held += platform::heldBytes(picture);
            const QImage& first = image->images.first();
            return std::to_string(image->images.size()) + " pictures of " +
                   std::to_string(first.width()) + "x" + std::to_string(first.height()) +
                   " (format " + std::to_string(int(first.format())) + "), " + megabytes(held);
        });
    }
    return 0;
}
