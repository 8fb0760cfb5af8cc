#include "common/output_choices.h"

#include "common/common_utils.h"
#include "core/byte_size.h"
#include "platform/alert_controller.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "platform/view_controller.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>

namespace flickbook::common {

namespace {

// A change is estimated once the user has stopped changing things for this
// long, so a slider swept across its stops costs one estimate.
constexpr int kSettleMs = 150;
// Samples kept for going back to an earlier choice: a video's speeds, which
// share three frame counts, and one more. A 1080p video's sample holds some
// 45 MB of decoded frames.
constexpr std::size_t kSamplesKept = 4;

// Estimates run one after another on a thread of their own: a newer one
// waits for the one running, and holding a thread of the shared background
// queue while waiting would hold up the work the screens wait for.
QThreadPool& estimatePool() {
    static QThreadPool* pool = [] {
        auto* created = new QThreadPool(QCoreApplication::instance());
        created->setMaxThreadCount(1);
        created->setThreadPriority(QThread::LowestPriority);
        return created;
    }();
    return *pool;
}

QString sizeText(std::uint64_t bytes) {
    return QString::fromStdString(formatByteSize(bytes));
}

// A budget as the choices name it: whole megabytes, as sites state limits.
QString budgetText(std::uint64_t bytes) {
    if (bytes % 1'000'000 == 0)
        return OutputChoices::tr("%1 MB").arg(bytes / 1'000'000);
    return sizeText(bytes);
}

template <typename Array, typename Value> int indexOf(const Array& values, Value value) {
    const auto found = std::find(values.begin(), values.end(), value);
    return found == values.end() ? 0 : int(found - values.begin());
}

} // namespace

// What the background estimates share with the screen: the samples made so
// far and the number of the newest request. A sample is used by one thread
// at a time.
struct OutputChoices::Work {
    struct Kept {
        QString key;
        std::shared_ptr<render::FrameSample> sample;
        std::size_t frames = 0;
    };
    std::mutex turn;
    std::deque<Kept> samples;
    std::atomic<int> newest{0};
    // What a request asks for: a sample measured ahead of time goes on if
    // it is what the newest asks for, unless measuring ahead was stopped.
    struct Asked {
        QString key;
        std::uint32_t maxLongEdge = 0;
        std::optional<std::uint64_t> maxBytes;
        render::Loop loop = render::Loop::forward;
        bool operator==(const Asked&) const = default;
    };
    std::mutex askedLock;
    Asked newestAsked;
    std::atomic<bool> measureAhead{true};
};

namespace {

// Clears a sample's stop condition when the measures made under it are done.
class StopCondition {
public:
    StopCondition(const render::FrameSample& sample, std::function<bool()> stopped)
        : sample_(sample) {
        sample_.stopWhen(std::move(stopped));
    }
    ~StopCondition() { sample_.stopWhen({}); }
    StopCondition(const StopCondition&) = delete;
    StopCondition& operator=(const StopCondition&) = delete;

private:
    const render::FrameSample& sample_;
};

} // namespace

OutputChoices::OutputChoices(QObject* parent) : QObject(parent), work_(std::make_shared<Work>()) {
    auto& defaults = standardUserDefaults();
    edge_ = indexOf(kLongEdges, defaults.objectForKey(kLongEdgeKey).toUInt());
    budget_ = indexOf(kBudgets, defaults.objectForKey(kBudgetKey).toULongLong());
    bounce_ = defaults.objectForKey(kLoopKey).toString() == QStringLiteral("bounce");
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &OutputChoices::startEstimate);
}

OutputChoices::~OutputChoices() {
    // An estimate still running, or a measure made ahead, finds it is no
    // longer wanted.
    {
        std::lock_guard asked(work_->askedLock);
        work_->newestAsked = {};
    }
    work_->newest = -1;
}

QStringList OutputChoices::edgeNames() const {
    QStringList names{tr("Full")};
    for (std::size_t i = 1; i < kLongEdges.size(); ++i)
        names << QString::number(kLongEdges[i]);
    return names;
}

QStringList OutputChoices::budgetNames() const {
    QStringList names{tr("None")};
    for (std::size_t i = 1; i < kBudgets.size(); ++i)
        names << budgetText(kBudgets[i]);
    return names;
}

QStringList OutputChoices::loopNames() const {
    return {tr("Forward"), tr("Bounce")};
}

void OutputChoices::setEdgeIndex(int index) {
    if (index == edge_ || index < 0 || index >= int(kLongEdges.size()))
        return;
    edge_ = index;
    changed(kLongEdges[std::size_t(index)], kLongEdgeKey);
}

void OutputChoices::setBudgetIndex(int index) {
    if (index == budget_ || index < 0 || index >= int(kBudgets.size()))
        return;
    budget_ = index;
    changed(quint64(kBudgets[std::size_t(index)]), kBudgetKey);
}

void OutputChoices::setLoopIndex(int index) {
    if (index == loopIndex() || index < 0 || index > 1)
        return;
    bounce_ = index == 1;
    changed(bounce_ ? QStringLiteral("bounce") : QStringLiteral("forward"), kLoopKey);
}

void OutputChoices::changed(const QVariant& remembered, const QString& key) {
    // What the last estimate knew no longer holds, nor does an answer on
    // its way. Work already running goes on until the change is estimated:
    // it may be measuring ahead what the change asks for.
    fitsIn_.reset();
    planned_.reset();
    ++generation_;
    standardUserDefaults().setObject(remembered, key);
    Q_EMIT choicesChanged();
    if (sampler_)
        settle_.start();
}

render::OutputSize OutputChoices::outputSize() const {
    render::OutputSize output;
    output.maxLongEdge = kLongEdges[std::size_t(edge_)];
    if (const std::uint64_t budget = kBudgets[std::size_t(budget_)])
        output.maxBytes = budget;
    return output;
}

render::OutputSize OutputChoices::outputForRender() const {
    render::OutputSize output = outputSize();
    if (!estimating_ && output.maxBytes)
        output.planned = planned_;
    return output;
}

int OutputChoices::nearestBudgetIndexThatFits() const {
    if (!fitsIn_)
        return budget_;
    // The budgets run from none down to the smallest.
    for (int i = int(kBudgets.size()) - 1; i > 0; --i)
        if (kBudgets[std::size_t(i)] >= *fitsIn_)
            return i;
    return 0;
}

bool OutputChoices::askForABudgetThatFits(platform::ViewController* presenter,
                                          std::function<void()> create) {
    if (!fitsIn_ || !presenter || !outputSize().maxBytes)
        return false;
    const int nearest = nearestBudgetIndexThatFits();
    const QString budget = budgetText(*outputSize().maxBytes);
    auto* alert = new platform::AlertController(
        tr("Too big for %1").arg(budget),
        tr("Even at its smallest, this GIF takes more than %1. It fits in %2.")
            .arg(budget, sizeText(*fitsIn_)),
        presenter);
    const QString use = nearest == 0 ? tr("Make It Without a Limit")
                                     : tr("Use %1").arg(budgetText(kBudgets[std::size_t(nearest)]));
    QPointer<OutputChoices> self(this);
    alert->addAction(use, platform::AlertController::ActionStyle::Default,
                     [self, nearest, create = std::move(create)] {
                         if (!self)
                             return;
                         self->setBudgetIndex(nearest);
                         create();
                     });
    alert->addAction(tr("Cancel"), platform::AlertController::ActionStyle::Cancel);
    alert->setEscapeAction(1);
    presenter->present(alert);
    return true;
}

void OutputChoices::requestEstimate(const QString& key, Sampler sampler, std::size_t frames) {
    key_ = key;
    sampler_ = std::move(sampler);
    frames_ = frames;
    planned_.reset(); // it answered other frames
    ++generation_;
    settle_.start();
}

OutputChoices::Sampler OutputChoices::videoSampler(render::VideoRequest request,
                                                   std::vector<std::size_t> counts) {
    return [request = std::move(request), counts = std::move(counts)]() -> Result<KeyedSamples> {
        auto samples = render::sampleFrames(request, counts);
        if (!samples)
            return samples.error();
        KeyedSamples keyed;
        for (std::size_t i = 0; i < counts.size(); ++i)
            keyed.push_back({videoKey(counts[i]), std::move((*samples)[i]), counts[i]});
        return keyed;
    };
}

void OutputChoices::startEstimate() {
    const int generation = ++generation_;
    {
        std::lock_guard asked(work_->askedLock);
        work_->newestAsked = {key_, outputSize().maxLongEdge, outputSize().maxBytes, loop()};
    }
    work_->measureAhead = true;
    work_->newest = generation;
    if (!estimating_) {
        estimating_ = true;
        Q_EMIT estimateChanged();
    }
    QPointer<OutputChoices> self(this);
    const render::OutputSize output = outputSize();
    const render::Loop loop = this->loop();
    const std::size_t frames = render::framesInFile(frames_, loop);
    estimatePool().start([self, work = work_, generation, key = key_, sampler = sampler_,
                          count = frames_, frames, output, loop] {
        const auto wanted = [&] { return work->newest == generation; };
        const auto answer = [&](const QString& text, std::optional<std::uint64_t> fitsIn,
                                std::optional<render::SizePlan> plan = std::nullopt) {
            platform::dispatch::main([self, generation, text, fitsIn, plan] {
                if (self)
                    self->estimated(generation, text, fitsIn, plan);
            });
        };
        std::lock_guard turn(work->turn);
        if (!wanted())
            return;
        std::shared_ptr<render::FrameSample> sample;
        for (const auto& kept : work->samples)
            if (kept.key == key)
                sample = kept.sample;
        if (!sample) {
            auto made = sampler();
            if (!made) {
                answer(tr("No estimate: %1").arg(QString::fromStdString(made.error().message)),
                       std::nullopt);
                return;
            }
            // Samples already kept stay, with what they have measured;
            // the one asked for goes in last, so that it is kept longest.
            for (auto& [madeKey, madeSample, madeFrames] : *made) {
                const bool kept =
                    std::any_of(work->samples.begin(), work->samples.end(),
                                [&](const auto& entry) { return entry.key == madeKey; });
                if (madeKey == key) {
                    sample = std::make_shared<render::FrameSample>(std::move(madeSample));
                } else if (!kept) {
                    work->samples.push_back(
                        {madeKey, std::make_shared<render::FrameSample>(std::move(madeSample)),
                         madeFrames});
                }
            }
            if (sample)
                work->samples.push_back({key, sample, count});
            while (work->samples.size() > kSamplesKept)
                work->samples.pop_front();
            if (!sample) {
                answer(tr("No estimate: the frames were not sampled."), std::nullopt);
                return;
            }
            if (!wanted())
                return;
        }
        const int quality = gif::EncoderSettings{}.quality;
        auto plan =
            render::planSize(*sample, frames, quality, output.maxBytes, 0, output.maxLongEdge);
        if (plan) {
            answer(tr("about %1 · %2×%3")
                       .arg(sizeText(plan->bytes))
                       .arg(plan->canvas.width)
                       .arg(plan->canvas.height),
                   std::nullopt, *plan);
            // With a budget, the render's own plan is made now on this
            // sample, while the screen is idle: Create then makes the GIF at
            // that size without sampling its frames again.
            if (output.maxBytes) {
                StopCondition giveWay(*sample, [&] { return !wanted() || !work->measureAhead; });
                auto forRender = render::planSize(*sample, frames, quality, output.maxBytes, 0,
                                                  output.maxLongEdge, render::PlanFor::render);
                if (forRender)
                    platform::dispatch::main([self, generation, plan = *forRender] {
                        if (self && generation == self->generation_)
                            self->planned_ = plan;
                    });
            }
            // The other samples kept (a video's other speeds) are then
            // measured with the same choices, so that moving to one of
            // them answers at once. Each gives way within a frame or two
            // to a newer request, unless that asks for it with these
            // choices.
            const auto useful = [&](const QString& otherKey) {
                if (!work->measureAhead)
                    return false;
                if (wanted())
                    return true;
                std::lock_guard asked(work->askedLock);
                return work->newestAsked ==
                       Work::Asked{otherKey, output.maxLongEdge, output.maxBytes, loop};
            };
            const std::vector<Work::Kept> others(work->samples.begin(), work->samples.end());
            for (const Work::Kept& other : others) {
                if (other.key == key || other.frames == 0 || !useful(other.key))
                    continue;
                StopCondition giveWay(*other.sample, [&] { return !useful(other.key); });
                (void)render::planSize(*other.sample, render::framesInFile(other.frames, loop),
                                       quality, output.maxBytes, 0, output.maxLongEdge);
            }
            return;
        }
        if (plan.error().code != "render.over_budget") {
            answer(tr("No estimate: %1").arg(QString::fromStdString(plan.error().message)),
                   std::nullopt);
            return;
        }
        auto least = render::smallestBudget(*sample, frames);
        if (!least) {
            answer(tr("No estimate: %1").arg(QString::fromStdString(least.error().message)),
                   std::nullopt);
            return;
        }
        answer(tr("too big for %1 even at its smallest: it fits in %2")
                   .arg(budgetText(*output.maxBytes), sizeText(*least)),
               *least);
    });
}

void OutputChoices::stopMeasuringAhead() {
    work_->measureAhead = false;
}

void OutputChoices::estimated(int generation, const QString& text,
                              std::optional<std::uint64_t> fitsIn,
                              std::optional<render::SizePlan> plan) {
    if (generation != generation_)
        return;
    estimate_ = text;
    fitsIn_ = fitsIn;
    planned_ = plan;
    estimating_ = false;
    Q_EMIT estimateChanged();
}

} // namespace flickbook::common
