// The player on clips whose every frame shows its own number: exact seeks,
// playing to the end, rates, silence, and seeks issued faster than the media
// stack can follow.

#include "app_test_support.h"
#include "media_fixtures.h"
#include "platform/player.h"
#include "platform/scrub_frames.h"

#include <QAudioOutput>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMediaPlayer>
#include <QSignalSpy>
#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>
#include <cmath>

using namespace flickbook;
using platform::Player;

class PlayerTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString plainClip_; // 25 fps, 6 s, keyframe every 2 s, two B-frames
    QString soundClip_; // 30 fps, 3 s, with sound

    struct Watched {
        std::unique_ptr<Player> player;
        std::unique_ptr<QVideoSink> sink;
        int lastCounter = -1;
        QList<int> shown;
    };

    std::unique_ptr<Watched> open(const QString& file) {
        auto watched = std::make_unique<Watched>();
        watched->player = std::make_unique<Player>(QUrl::fromLocalFile(file));
        watched->sink = std::make_unique<QVideoSink>();
        Watched* w = watched.get();
        connect(w->sink.get(), &QVideoSink::videoFrameChanged, this, [w](const QVideoFrame& f) {
            const int counter = testing::counterShown(f);
            if (counter < 0)
                return;
            w->lastCounter = counter;
            w->shown << counter;
        });
        w->player->setVideoOutput(w->sink.get());
        // Loaded, with the frame rate known.
        if (!QTest::qWaitFor(
                [&] { return w->player->frameRate() > 0 && w->player->duration() > 0; }, 5000))
            return nullptr;
        return watched;
    }

    // Seeks and waits for the frame it shows.
    static int seekAndRead(Watched& w, double seconds, bool exactly) {
        QSignalSpy shown(w.player.get(), &Player::frameShown);
        if (exactly)
            w.player->seekToTimeExactly(seconds);
        else
            w.player->seekToTime(seconds);
        if (!shown.wait(3000))
            return -1;
        QTest::qWait(30); // a later frame of the same seek would replace it
        return w.lastCounter;
    }

private slots:
    void initTestCase() {
        testsupport::ClipParameters plain;
        plain.seconds = 6;
        plain.fps = 25;
        plain.keyframeInterval = 50;
        plain.bFrames = 2;
        plainClip_ = dir_.filePath("plain.mp4");
        QVERIFY(testsupport::makeCounterClip(plainClip_.toStdString(), plain));
        testsupport::ClipParameters sound;
        sound.seconds = 3;
        sound.fps = 30;
        sound.audio = true;
        soundClip_ = dir_.filePath("sound.mp4");
        QVERIFY(testsupport::makeCounterClip(soundClip_.toStdString(), sound));
    }

    void exactSeeksAimAtTheMiddleOfTheirFrame_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("rate");
        QTest::addColumn<qint64>("target");
        QTest::newRow("start of frame 3 at 25 fps") << 0.12 << 25.0 << qint64(140);
        QTest::newRow("inside frame 3") << 0.159 << 25.0 << qint64(140);
        QTest::newRow("frame 1 at 30 fps, computed") << 1.0 / 30.0 << 30.0 << qint64(50);
        QTest::newRow("frame 299 at 29.97") << 299 / 29.97 << 29.97 << qint64(9993);
        QTest::newRow("zero") << 0.0 << 25.0 << qint64(0);
        QTest::newRow("negative") << -1.0 << 25.0 << qint64(0);
        QTest::newRow("rate unknown") << 1.2345 << 0.0 << qint64(1235);
    }
    void exactSeeksAimAtTheMiddleOfTheirFrame() {
        QFETCH(double, seconds);
        QFETCH(double, rate);
        QFETCH(qint64, target);
        QCOMPARE(Player::exactSeekTarget(seconds, rate), target);
    }

    // Paused, every exact seek shows the frame at that time, whether aimed at
    // a frame's start or inside it, forwards, backwards and across keyframes;
    // with drag frames decoded by the player itself too.
    void exactSeeksShowTheFrameAtThatTime_data() {
        QTest::addColumn<bool>("scrubbing");
        QTest::newRow("media stack") << false;
        QTest::newRow("scrubbing") << true;
    }
    void exactSeeksShowTheFrameAtThatTime() {
        QFETCH(bool, scrubbing);
        auto w = open(plainClip_);
        QVERIFY(w);
        w->player->setScrubbing(scrubbing);
        const QList<int> frames{0, 1, 24, 25, 49, 50, 51, 99, 12, 100, 149, 3, 75, 74, 101};
        for (int frame : frames)
            QCOMPARE(seekAndRead(*w, frame / 25.0, true), frame);
        for (int frame : frames)
            QCOMPARE(seekAndRead(*w, (frame + 0.7) / 25.0, true), frame);
        QCOMPARE(w->player->rate(), 0.0);
    }

    // Seeks issued on every mouse move end on the last one, and none of them
    // holds the GUI thread for long.
    void aBurstOfSeeksEndsOnTheLastTarget() {
        auto w = open(plainClip_);
        QVERIFY(w);
        for (int frame = 10; frame <= 140; frame += 2)
            w->player->seekToTimeExactly(frame / 25.0);
        QCOMPARE(w->player->currentTime(), 140.5 / 25.0); // the target, while pending
        QTRY_COMPARE_WITH_TIMEOUT(w->lastCounter, 140, 5000);
        QTest::qWait(300); // no later frame replaces it
        QCOMPARE(w->lastCounter, 140);
        QVERIFY(std::abs(w->player->currentTime() - 140 / 25.0) < 0.04);
    }

    // A handle dragged forward faster than the media stack seeks: drag frames
    // show targets it has not reached, and its frames of older targets are
    // held back, so the picture never steps back; it ends on the last one.
    void scrubbedDragsNeverShowAnOlderFrame_data() {
        QTest::addColumn<bool>("back");
        QTest::newRow("forward") << false;
        // From a handle whose frames behind were made ready, every move back.
        QTest::newRow("back") << true;
    }
    void scrubbedDragsNeverShowAnOlderFrame() {
        QFETCH(bool, back);
        auto w = open(plainClip_);
        QVERIFY(w);
        w->player->setScrubbing(true);
        if (back) {
            QCOMPARE(seekAndRead(*w, 140 / 25.0, true), 140);
            w->player->keepFramesReadyBehind({140 / 25.0});
            QTest::qWait(1500);
            w->shown.clear();
        }
        QList<int> targets;
        for (int step = 0; step <= 43; ++step) {
            const int frame = back ? 137 - 3 * step : 10 + 3 * step;
            targets << frame;
            w->player->seekToTimeExactly(frame / 25.0);
            QTest::qWait(15);
        }
        QTRY_COMPARE_WITH_TIMEOUT(w->lastCounter, targets.last(), 5000);
        QTest::qWait(300);
        QCOMPARE(w->lastCounter, targets.last());
        for (qsizetype i = 1; i < w->shown.size(); ++i)
            QVERIFY2(
                back ? w->shown[i] <= w->shown[i - 1] : w->shown[i] >= w->shown[i - 1],
                qPrintable(QStringLiteral("%1 after %2").arg(w->shown[i]).arg(w->shown[i - 1])));
        int targetsShown = 0;
        for (int frame : targets)
            targetsShown += w->shown.contains(frame) ? 1 : 0;
        QVERIFY2(targetsShown >= targets.size() / 2, qPrintable(QString::number(targetsShown)));

        // Seeking back shows the earlier frame, and playing goes on from it.
        QCOMPARE(seekAndRead(*w, 20 / 25.0, true), 20);
        w->player->play();
        QTRY_VERIFY_WITH_TIMEOUT(w->lastCounter > 30, 5000);
        w->player->pause();
    }

    // A scrubber let go while it decodes (a screen closed mid-drag) hands
    // nothing more over; its thread finishes on its own, and the next
    // scrubber on the same file answers as before.
    void aScrubberLetGoMidDecodeDeliversNothing() {
        bool gone = false;
        int deliveredAfter = 0; // frames handed over once their scrubber went
        for (int round = 0; round < 3; ++round) {
            gone = false;
            auto scrub = std::make_unique<platform::ScrubFrames>(plainClip_.toStdString(),
                                                                 [&](const QVideoFrame&, qint64) {
                                                                     if (gone)
                                                                         ++deliveredAfter;
                                                                 });
            scrub->request(140 * 40);
            QTest::qWait(round * 20); // before the open, and during the decode
            gone = true;
            scrub.reset();
        }
        QTest::qWait(1500);
        QCOMPARE(deliveredAfter, 0);

        int counter = -1;
        platform::ScrubFrames scrub(
            plainClip_.toStdString(),
            [&](const QVideoFrame& frame, qint64) { counter = testing::counterShown(frame); });
        scrub.request(60 * 40);
        QTRY_COMPARE_WITH_TIMEOUT(counter, 60, 5000);
    }

    // Played to the end: one signal, standing still on the last frame, and a
    // seek back shows its frame and plays on from there.
    void theEndStopsOnTheLastFrameAndSeeksStillWork() {
        auto w = open(plainClip_);
        QVERIFY(w);
        QSignalSpy ended(w->player.get(), &Player::didPlayToEndTime);
        QCOMPARE(seekAndRead(*w, 5.5, true), 137);
        w->player->play();
        QCOMPARE(w->player->rate(), 1.0);
        QVERIFY(ended.wait(3000));
        QCOMPARE(w->player->rate(), 0.0);
        QTest::qWait(300); // and it ends once only
        QCOMPARE(ended.size(), 1);
        QCOMPARE(w->lastCounter, 149);
        QCOMPARE(seekAndRead(*w, 2.0, false), 50);
        QCOMPARE(w->player->rate(), 0.0); // a seek does not start playback
        w->shown.clear();
        w->player->play();
        QTRY_VERIFY(w->shown.size() >= 5);
        QVERIFY2(w->shown.first() >= 50 && w->shown.first() <= 53,
                 qPrintable(QString::number(w->shown.first())));
    }

    // At 2x, a second of playing covers two seconds of video; at 0.5x half a
    // second.
    void ratesPlayFasterAndSlower_data() {
        QTest::addColumn<double>("rate");
        QTest::newRow("2x") << 2.0;
        QTest::newRow("1.5x") << 1.5;
        QTest::newRow("0.75x") << 0.75;
        QTest::newRow("0.5x") << 0.5;
    }
    void ratesPlayFasterAndSlower() {
        QFETCH(double, rate);
        auto w = open(plainClip_);
        QVERIFY(w);
        QCOMPARE(seekAndRead(*w, 0.0, true), 0);
        w->shown.clear();
        w->player->playImmediatelyAtRate(rate);
        QCOMPARE(w->player->rate(), rate);
        QTRY_VERIFY(!w->shown.isEmpty());
        const int first = w->shown.first();
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(1200);
        const int last = w->lastCounter;
        const double wall = clock.elapsed() / 1000.0;
        w->player->pause();
        QCOMPARE(w->player->rate(), 0.0);
        const double played = (last - first) / 25.0;
        // Within a fifth of the wall time's worth: a busy machine drops
        // frames but a wrong rate is off by a quarter at least.
        QVERIFY2(std::abs(played - wall * rate) <= 0.2 * wall * rate + 0.12,
                 qPrintable(QString("%1 s of video in %2 s").arg(played).arg(wall)));
    }

    // A silent player has no sound output; a clip with sound plays its
    // picture on a machine with or without a sound device.
    void silentPlayersHaveNoSoundOutput() {
        auto w = open(soundClip_);
        QVERIFY(w);
        QMediaPlayer* media = w->player->findChild<QMediaPlayer*>();
        QVERIFY(media);
        w->player->setVolume(0.0);
        QVERIFY(!media->audioOutput());
        w->shown.clear();
        w->player->play();
        QTRY_VERIFY(w->shown.size() >= 10);
        w->player->setVolume(1.0);
        QTRY_VERIFY(w->shown.size() >= 20);
        QVERIFY(!w->player->failed());
    }

    void aFileThatIsNotAVideoFails() {
        const QString text = dir_.filePath("notes.mp4");
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a video at all");
        file.close();
        Player player(QUrl::fromLocalFile(text));
        QTRY_VERIFY_WITH_TIMEOUT(player.failed(), 5000);
        player.play();
        QCOMPARE(player.rate(), 0.0);
    }
};

int main(int argc, char* argv[]) {
    testing::chooseTestPlatform();
    QGuiApplication application(argc, argv);
    PlayerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "player_test.moc"
