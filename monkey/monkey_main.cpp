// The monkey: the real window with real photos, videos and GIFs in a private
// home, driven by random input from a seed until the time is up or something
// goes wrong — a crash or a sanitizer report (the process dies), a hang (the
// GUI thread silent for 5 s, or a quit that has not ended after 2 minutes:
// exit 3) or a lost or changed GIF (exit 2).
//
//   flickbook_monkey [--seed N] [--minutes M] [--log FILE]
//
// Every event goes to the log as it is sent, so the last lines before a
// crash say what led to it.

#include "app/app_window.h"
#include "app_test_support.h"
#include "input_source.h"
#include "library/gif_preview_screen.h"
#include "store/gif_store.h"
#include "work_folder_watch.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QSettings>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <execinfo.h>
#include <map>
#include <pthread.h>
#include <random>
#include <thread>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

using namespace flickbook;

namespace {

const QString kTestData = QStringLiteral(FLICKBOOK_TESTDATA);

// What the user has: videos and photos in their folders, three GIFs (one
// broken) in the work list; and what they might drop on the window.
QList<QUrl> furnish(const testing::PrivateHome& home) {
    QDir().mkpath(home.videos());
    QDir().mkpath(home.pictures());
    QDir().mkpath(home.workFolder());
    for (const char* name : {"bottle-detection.mp4", "book.mkv"})
        testing::copyWritable(kTestData + "/media/" + name, home.videos() + "/" + name);
    for (const char* name : {"Aqua.jpg", "Dune.jpg", "LadyBird.jpg", "Storm.jpg"})
        testing::copyWritable(kTestData + "/photos/" + name, home.pictures() + "/" + name);
    testing::copyWritable(kTestData + "/media/classroom.gif",
                          home.workFolder() + "/Animation_1700000100.gif");
    testing::copyWritable(kTestData + "/media/people-detection.gif",
                          home.workFolder() + "/Animation_1700000200.gif");

    // Bad files: a GIF cut short, a "video" that is text, a video cut in half.
    const QString bad = home.dataHome() + "/bad";
    QDir().mkpath(bad);
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    };
    write(home.workFolder() + "/Animation_1700000050.gif", "GIF89a truncated");
    write(bad + "/notes.mp4", "not a video at all");
    QFile video(kTestData + "/media/car-detection.mp4");
    if (video.open(QIODevice::ReadOnly))
        write(bad + "/cut-short.mp4", video.read(video.size() / 2));

    return {QUrl::fromLocalFile(home.videos() + "/bottle-detection.mp4"),
            QUrl::fromLocalFile(home.videos() + "/book.mkv"),
            QUrl::fromLocalFile(home.pictures() + "/Aqua.jpg"),
            QUrl::fromLocalFile(home.pictures() + "/Dune.jpg"),
            QUrl::fromLocalFile(kTestData + "/media/classroom.gif"),
            QUrl::fromLocalFile(bad + "/notes.mp4"),
            QUrl::fromLocalFile(bad + "/cut-short.mp4"),
            QUrl::fromLocalFile(bad + "/missing.mov"),
            QUrl(QStringLiteral("https://example.org/clip.mp4"))};
}

// The work list's delete question is up: the next event may confirm it.
bool deletionOffered(QQuickWindow* window) {
    for (auto* item : window->contentItem()->findChildren<QQuickItem*>()) {
        if (item->objectName() == QLatin1String("alertMessage") && item->isVisible() &&
            item->property("text").toString().contains(QLatin1String("delete"),
                                                       Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Hangs: the GUI thread stamps the time; another thread watches the stamp
// and, when it goes stale, has the GUI thread print where it is stuck.
std::atomic<qint64> heartbeat{0};
pthread_t guiThread;

void printStack(int) {
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_print_stack_trace();
#else
    void* frames[64];
    const int count = ::backtrace(frames, 64);
    ::backtrace_symbols_fd(frames, count, STDERR_FILENO);
#endif
}

qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char* argv[]) {
    testing::chooseTestPlatform();
    testing::PrivateHome home;
    // The camera is FFmpeg's test pattern: this machine may have none.
    qputenv("FLICKBOOK_CAMERA", "lavfi:testsrc2=size=640x360:rate=30,realtime");

    int status = 0;
    QString temporaryFolder;
    std::unique_ptr<monkey::WorkFolderWatch> watch;
    {
        QGuiApplication application(argc, argv);
        QGuiApplication::setApplicationName("Flickbook");
        QGuiApplication::setOrganizationName("Flickbook");
        QQuickStyle::setStyle("Material");

        QCommandLineParser options;
        options.addHelpOption();
        options.addOption({"seed", "Seed of the random input.", "N"});
        options.addOption({"minutes", "How long to play.", "M", "2"});
        options.addOption(
            {"log", "Where each event is written as it is sent.", "FILE", "monkey-events.log"});
        options.addOption(
            {"slow-stack", "Print where the GUI thread is when it has not answered for MS.", "MS"});
        options.process(application);
        const std::uint64_t seed = options.isSet("seed") ? options.value("seed").toULongLong()
                                                         : QRandomGenerator::global()->generate();
        const double minutes = options.value("minutes").toDouble();
        std::printf("monkey: seed %llu for %.1f minutes\n", static_cast<unsigned long long>(seed),
                    minutes);
        std::fflush(stdout);

        QFile log(options.value("log"));
        if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            std::fprintf(stderr, "monkey: cannot write %s\n", qPrintable(log.fileName()));
            return 1;
        }
        log.write(QStringLiteral("seed %1\n").arg(seed).toUtf8());

        const QList<QUrl> droppable = furnish(home);
        watch = std::make_unique<monkey::WorkFolderWatch>(home.workFolder());
        temporaryFolder = QString::fromStdString(store::GifStore::standard().temporaryFolder());

        // Links and programs the app would open (help, share targets) are
        // recorded, not started: a monkey must not open a browser.
        testing::RecordingDesktop desktop;
        auto app = testing::launchToHome({390, 780});
        if (!app) {
            std::fprintf(stderr, "monkey: the window did not come up\n");
            return 1;
        }
        QQuickWindow* window = app->window();
        monkey::InputSource input(window, seed, droppable);

        guiThread = ::pthread_self();
        std::signal(SIGUSR2, printStack);
        // The longest the window went without answering, and what it was
        // doing: a hang's forerunners, written to the log between events.
        qint64 longestStallMs = 0;
        QString lastEvent;
        QString longestStallAfter;
        QString stalls; // written between events
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, [&] {
            const qint64 now = nowMs();
            const qint64 stallMs = now - heartbeat - 100;
            heartbeat = now;
            if (stallMs > 1000)
                stalls += QStringLiteral("stalled %1 ms\n").arg(stallMs);
            if (stallMs > longestStallMs) {
                longestStallMs = stallMs;
                longestStallAfter = lastEvent;
            }
        });
        heartbeat = nowMs();
        beat.start(100);
        std::atomic<bool> watching{true};
        // On quitting, the app finishes a GIF still being made before it goes
        // (nothing the user asked for is lost), which under the sanitizers
        // can take tens of seconds: only a quit that never ends is a hang.
        std::atomic<bool> quitting{false};
        const long slowMs = options.value("slow-stack").toLong();
        std::thread watchdog([&] {
            qint64 reportedBeat = -1;
            while (watching) {
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
                const qint64 beatSeen = heartbeat;
                if (slowMs > 0 && !quitting && beatSeen != reportedBeat &&
                    nowMs() - beatSeen > slowMs) {
                    reportedBeat = beatSeen;
                    std::fprintf(stderr,
                                 "monkey: slow — the window has not answered for %ld ms; "
                                 "the GUI thread is here:\n",
                                 slowMs);
                    ::pthread_kill(guiThread, SIGUSR2);
                }
                const long limitMs = quitting ? 120'000 : 5000;
                if (watching && nowMs() - heartbeat > limitMs) {
                    std::fprintf(stderr,
                                 "monkey: hang — the window has not answered for %ld s; "
                                 "the GUI thread is here:\n",
                                 limitMs / 1000);
                    ::pthread_kill(guiThread, SIGUSR2);
                    std::this_thread::sleep_for(std::chrono::seconds(2));
                    ::_exit(3);
                }
            }
        });

        std::mt19937_64 sideRandom(seed + 1);
        std::bernoulli_distribution forgetChance(0.01);
        QElapsedTimer clock;
        clock.start();
        std::map<QString, int> visits;
        QString lastScreen;
        long events = 0;
        qint64 offeredAt = -1'000'000;
        QTimer tick;
        tick.setSingleShot(true);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            // What the last event did to the work folder.
            // The file goes once the answer is given, on a background
            // thread; a question seen in the last 3 s covers it.
            const QStringList problems = watch->look(clock.elapsed() - offeredAt < 3000);
            auto* top = app->navigation().topViewController();
            const QString screen =
                top ? QString::fromLatin1(top->metaObject()->className()).section("::", -1)
                    : QStringLiteral("none");
            if (screen != lastScreen) {
                ++visits[screen];
                lastScreen = screen;
            }
            if (auto* preview = qobject_cast<library::GIFPreviewScreen*>(top);
                preview && !preview->openedFromHistory() && preview->gifURL.isLocalFile())
                watch->madeGif(preview->gifURL.toLocalFile());
            if (!problems.isEmpty()) {
                for (const QString& problem : problems)
                    std::fprintf(stderr, "monkey: lost file — %s\n", qPrintable(problem));
                status = 2;
                quitting = true;
                QGuiApplication::quit();
                return;
            }
            if (clock.elapsed() > qint64(minutes * 60'000)) {
                quitting = true;
                QGuiApplication::quit();
                return;
            }
            if (deletionOffered(window))
                offeredAt = clock.elapsed();
            ++events;
            // Now and then the user takes back what they allowed or denied
            // (on the privacy page or in the system's settings), so the
            // questions come again and get new answers.
            if (forgetChance(sideRandom)) {
                QSettings(home.configHome() + "/Flickbook/privacy.conf", QSettings::IniFormat)
                    .clear();
                log.write("forget the privacy answers\n");
            }
            const QString line =
                QStringLiteral("%1 s [%2] ").arg(clock.elapsed() / 1000.0, 0, 'f', 3).arg(screen);
            log.write(stalls.toUtf8());
            stalls.clear();
            log.write(line.toUtf8()); // before sending: a crash leaves the line
            log.flush();
            lastEvent = line + QStringLiteral("(being sent)");
            const QString what = input.next();
            lastEvent = line + what;
            log.write(what.toUtf8() + '\n');
            log.flush();
            tick.start(80 + input.pauseMs());
        });
        tick.start(0);
        QGuiApplication::exec();

        // Quit as the user would: the window goes, then the application and
        // its background work.
        watching = false;
        watchdog.join();
        app.reset();
        const double elapsedMinutes = clock.elapsed() / 60'000.0;
        std::printf("monkey: %ld events in %.1f minutes (%.0f per minute), %d GIFs made, %d "
                    "deleted\nmonkey: screens visited:",
                    events, elapsedMinutes, events / std::max(elapsedMinutes, 1e-9),
                    watch->madeCount(), watch->deletedCount());
        for (const auto& [screen, count] : visits)
            std::printf(" %s %d,", qPrintable(screen), count);
        std::printf("\nmonkey: the longest the window did not answer: %lld ms, after %s\n",
                    static_cast<long long>(longestStallMs), qPrintable(longestStallAfter));
    }
    if (status == 0) {
        const QStringList problems = watch->finalCheck(temporaryFolder);
        for (const QString& problem : problems)
            std::fprintf(stderr, "monkey: lost file — %s\n", qPrintable(problem));
        if (!problems.isEmpty())
            status = 2;
    }
    std::printf("monkey: %s\n", status == 0 ? "no crash, hang or lost file" : "FAILED");
    return status;
}
