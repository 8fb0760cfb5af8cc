#pragma once

// How big a GIF may be and how it loops, as the two animation screens offer
// it under their slider: the picture's long edge, a size budget, forward or
// bounce, and a live estimate of what the GIF will weigh. The choices are
// remembered across launches; with the defaults a GIF is made as it always
// was (up to 1920 pixels, no budget, forward).

#include "render/gif_render.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace flickbook::platform {
class ViewController;
}

namespace flickbook::common {

class OutputChoices : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by its screen")
    Q_PROPERTY(QStringList edgeNames READ edgeNames CONSTANT)
    Q_PROPERTY(QStringList budgetNames READ budgetNames CONSTANT)
    Q_PROPERTY(QStringList loopNames READ loopNames CONSTANT)
    Q_PROPERTY(int edgeIndex READ edgeIndex WRITE setEdgeIndex NOTIFY choicesChanged)
    Q_PROPERTY(int budgetIndex READ budgetIndex WRITE setBudgetIndex NOTIFY choicesChanged)
    Q_PROPERTY(int loopIndex READ loopIndex WRITE setLoopIndex NOTIFY choicesChanged)
    Q_PROPERTY(QString estimate READ estimate NOTIFY estimateChanged)
    Q_PROPERTY(bool estimating READ estimating NOTIFY estimateChanged)
    Q_PROPERTY(bool overBudget READ overBudget NOTIFY estimateChanged)

public:
    // The keys the choices are remembered under.
    static inline const QString kLongEdgeKey = QStringLiteral("flickbookMaxLongEdge");
    static inline const QString kBudgetKey = QStringLiteral("flickbookMaxBytes");
    static inline const QString kLoopKey = QStringLiteral("flickbookLoop");

    // "Full" is the largest a GIF is made at; smaller pictures stay as they are.
    static constexpr std::array<std::uint32_t, 5> kLongEdges{1920, 1080, 720, 480, 320};
    static constexpr std::array<std::uint64_t, 5> kBudgets{0, 25'000'000, 10'000'000, 5'000'000,
                                                           2'000'000}; // 0: none

    // Reads the remembered choices.
    explicit OutputChoices(QObject* parent = nullptr);
    ~OutputChoices() override;

    QStringList edgeNames() const;
    QStringList budgetNames() const;
    QStringList loopNames() const;
    int edgeIndex() const { return edge_; }
    int budgetIndex() const { return budget_; }
    int loopIndex() const { return bounce_ ? 1 : 0; }
    // Remembered at once; a change sends choicesChanged.
    void setEdgeIndex(int index);
    void setBudgetIndex(int index);
    void setLoopIndex(int index);

    render::OutputSize outputSize() const;
    // What Create hands the render: outputSize, with a plan for these very
    // choices (the estimate's, or the render's own made ahead on its
    // sample) when one is ready, so that a GIF under a budget is made at
    // that size without sampling its frames again.
    render::OutputSize outputForRender() const;
    render::Loop loop() const { return bounce_ ? render::Loop::bounce : render::Loop::forward; }

    // Makes the frames an estimate is made from, on a background thread:
    // the sample for the key asked, and any other made on the way (a video's
    // other speeds, from the same decode), each under its own key.
    struct KeyedSample {
        QString key;
        render::FrameSample sample;
        // The GIF's frames (before bounce) it stands for; 0 when only the
        // request that asked for it knows.
        std::size_t frames = 0;
    };
    using KeyedSamples = std::vector<KeyedSample>;
    using Sampler = std::function<Result<KeyedSamples>()>;
    // Asks for a new estimate of a GIF of `frames` pictures or video frames
    // (before bounce). The sample is made once per key: a screen passes a
    // key that changes with the frames themselves (a video's frame count),
    // not with the size, budget or loop, which reuse it. Requests close
    // together are merged; only the last one's answer is shown.
    void requestEstimate(const QString& key, Sampler sampler, std::size_t frames);
    // Stops measuring other samples ahead of time (as after each answer)
    // until the next request: the CPU goes to what the screen does next,
    // such as making the GIF.
    void stopMeasuringAhead();
    // A video's samples at each of these frame counts from one decode, each
    // under the key videoKey gives it.
    static Sampler videoSampler(render::VideoRequest request, std::vector<std::size_t> counts);
    static QString videoKey(std::size_t frames) { return QString::number(frames); }

    QString estimate() const { return estimate_; }
    bool estimating() const { return estimating_; }
    // The last estimate found that even the smallest GIF is over the budget.
    bool overBudget() const { return fitsIn_.has_value(); }
    // Then: the smallest budget it fits in, and the budget choice nearest
    // above it (-1 when only "None" holds it).
    std::optional<std::uint64_t> smallestBudget() const { return fitsIn_; }
    int nearestBudgetIndexThatFits() const;
    // When the last estimate found the GIF over its budget even at its
    // smallest, asks over the presenter whether to make it with the nearest
    // budget that fits (which then runs create) and returns true; else
    // returns false and the caller creates as it would have.
    bool askForABudgetThatFits(platform::ViewController* presenter, std::function<void()> create);

signals:
    void choicesChanged();
    void estimateChanged();

private:
    struct Work;
    // A choice changed: remembered, announced, and estimated again.
    void changed(const QVariant& remembered, const QString& key);
    void startEstimate();
    void estimated(int generation, const QString& text, std::optional<std::uint64_t> fitsIn,
                   std::optional<render::SizePlan> plan);

    int edge_ = 0;
    int budget_ = 0;
    bool bounce_ = false;
    QString estimate_;
    bool estimating_ = false;
    std::optional<std::uint64_t> fitsIn_;
    // While the choices are still the ones the newest estimate answered:
    // the plan it showed, then the render's own plan made on its sample
    // once that is ready (the render refuses a plan shown that was taken
    // from a slope).
    std::optional<render::SizePlan> planned_;

    QString key_;
    Sampler sampler_;
    std::size_t frames_ = 0;
    int generation_ = 0;
    QTimer settle_;
    std::shared_ptr<Work> work_;
};

} // namespace flickbook::common
