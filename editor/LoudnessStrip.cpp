#include "editor/LoudnessStrip.h"

#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <limits>
#include <utility>

#include "platform/FileStream.h"
#include "player/LevelEstimate.h"

// ------------------------------------------------------------------ the levels

namespace {

// What each frame says of its own loudness, without decoding it: a whole
// hour in a fraction of a second. A frame that says nothing usable of
// itself (a damaged one) shows nothing.
void EstimatedLevels(const std::string& FileName, const TMp3FrameIndex& Index, size_t First, size_t End,
                     const TFrameLevelVisitor& Visit, const std::atomic<bool>* Stop) {
    constexpr double Nothing = std::numeric_limits<double>::infinity();
    EstimateFrameLevels(
        FileName, Index, First, End,
        [&](size_t Number, const TMp3IndexedFrame& Frame, const TLevelEstimate& E) {
            Visit(Number, Frame,
                  E.Known ? TFrameLevel{E.RmsDb, Frame.Samples, E.PeakDb} : TFrameLevel{Nothing, 0, Nothing});
        },
        Stop);
}

}  // namespace

const TLevelSource StripLevelSource = EstimatedLevels;

struct TStripLevels::TJob {
    std::string FileName;
    std::atomic<bool> Stop{false};
    std::atomic<bool> Done{false};
};

namespace {

// Frames measured in one piece: about 50 s of audio, small enough for the
// strip to fill visibly and for the threads to share the work evenly.
constexpr size_t StretchFrames = 2048;

unsigned Threads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

}  // namespace

TStripLevels::TStripLevels(TLevelSource Source, QObject* Parent) : QObject(Parent), FSource(std::move(Source)) {}

TStripLevels::~TStripLevels() {
    Cancel();
    JoinFinished(true);
}

void TStripLevels::Start(const QString& FileName) {
    Cancel();
    JoinFinished(false);
    FJob = std::make_shared<TJob>();
    FJob->FileName = FileName.toStdString();
    const std::shared_ptr<TJob> Job = FJob;
    FThreads.emplace_back(Job, std::thread([this, Job] {
                              Run(Job);
                              Job->Done = true;
                          }));
}

void TStripLevels::Cancel() {
    if (FJob) FJob->Stop = true;
    FJob.reset();
}

// A stopped job ends within one frame, but the walk that indexes a file
// cannot be stopped: its thread is joined once it is done, or when the
// object goes.
void TStripLevels::JoinFinished(bool All) {
    for (auto It = FThreads.begin(); It != FThreads.end();) {
        if (All || It->first->Done) {
            It->second.join();
            It = FThreads.erase(It);
        } else {
            ++It;
        }
    }
}

void TStripLevels::Post(const std::shared_ptr<TJob>& Job, std::function<void()> Deliver) {
    QMetaObject::invokeMethod(
        this,
        [this, Job, Deliver = std::move(Deliver)] {
            if (Job == FJob) Deliver();
        },
        Qt::QueuedConnection);
}

void TStripLevels::Run(const std::shared_ptr<TJob>& Job) {
    const auto Began = std::chrono::steady_clock::now();
    try {
        TFileStream Stream(Job->FileName, TFileMode::fmOpenRead);
        auto Frames = std::make_shared<const TMp3FrameIndex>(TMp3FrameIndex::Build(Stream));
        if (Job->Stop) return;
        Post(Job, [this, Frames] { emit FramesFound(Frames); });
        Measure(Job, *Frames);
    } catch (const std::exception&) {
        // A file that can no longer be read keeps what the strip shows of it;
        // the window's own operations report such a file.
        return;
    }
    if (Job->Stop) return;
    const qint64 Ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Began).count();
    Post(Job, [this, Ms] { emit Finished(Ms); });
}

void TStripLevels::Measure(const std::shared_ptr<TJob>& Job, const TMp3FrameIndex& Frames) {
    const size_t Count = Frames.Count();
    const size_t Stretches = (Count + StretchFrames - 1) / StretchFrames;
    std::atomic<size_t> Next{0};
    std::atomic<bool> Failed{false};
    auto Work = [&] {
        try {
            for (size_t S; !Job->Stop && (S = Next++) < Stretches;) {
                const size_t First = S * StretchFrames, End = std::min(Count, First + StretchFrames);
                // A frame the source says nothing of counts as undecoded.
                std::vector<float> Levels(End - First, std::numeric_limits<float>::infinity());
                FSource(
                    Job->FileName, Frames, First, End,
                    [&](size_t Number, const TMp3IndexedFrame&, const TFrameLevel& Level) {
                        if (Number >= First && Number < End) Levels[Number - First] = float(Level.LevelDb);
                    },
                    &Job->Stop);
                if (Job->Stop) return;
                Post(Job, [this, First, Levels = std::move(Levels)] { emit LevelsFound(First, Levels); });
            }
        } catch (const std::exception&) {
            Failed = true;
            Job->Stop = true;
        }
    };
    std::vector<std::thread> Helpers;
    for (unsigned I = 1; I < Threads() && I < Stretches; ++I) Helpers.emplace_back(Work);
    Work();
    for (std::thread& Helper : Helpers) Helper.join();
    if (Failed) throw std::runtime_error("the levels could not be measured");
}

// ------------------------------------------------------------------ the strip

TLoudnessStrip::TLoudnessStrip(QWidget* Parent) : QWidget(Parent) {
    setObjectName(QStringLiteral("LoudnessStrip"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TLoudnessStrip::SetScale(double ZeroX, double FullX) {
    FZeroX = ZeroX;
    FFullX = FullX;
    FDirty = true;
    update();
}

void TLoudnessStrip::Reset(int64_t LengthMs) {
    FLengthMs = LengthMs;
    FFrames.reset();
    FLevels.clear();
    FMeasured = 0;
    FDirty = true;
    update();
}

void TLoudnessStrip::SetFrames(std::shared_ptr<const TMp3FrameIndex> Frames) {
    FFrames = std::move(Frames);
    FLevels.assign(FFrames ? FFrames->Count() : 0, std::numeric_limits<float>::quiet_NaN());
    FMeasured = 0;
    FDirty = true;
    update();
}

void TLoudnessStrip::AddLevels(size_t First, const std::vector<float>& Levels) {
    if (First >= FLevels.size()) return;
    const size_t Count = std::min(Levels.size(), FLevels.size() - First);
    std::copy_n(Levels.begin(), Count, FLevels.begin() + std::ptrdiff_t(First));
    FMeasured += Count;
    FDirty = true;
    update();
}

// Each column holds the mean power of the frames that reach it, and whether
// any of them is quiet: a silence much shorter than a column still shows,
// where a mean alone would drown it in the loud frames around it. A frame
// wider than a column (a short file) fills every column it spans.
void TLoudnessStrip::Summarise(int Count) {
    FColumns.assign(size_t(Count), TColumn());
    if (!FFrames || FLengthMs <= 0) return;
    const double Dpr = devicePixelRatioF();
    const double PerMs = (FFullX - FZeroX) / double(FLengthMs) * Dpr;
    const double Zero = FZeroX * Dpr;
    auto ColumnAt = [&](double Ms) { return std::clamp(int(std::floor(Zero + PerMs * Ms)), 0, Count - 1); };
    size_t K = 0;
    for (const TMp3IndexedFrame& Frame : FFrames->Frames()) {
        const float Level = FLevels[K++];
        if (std::isnan(Level) || Level == std::numeric_limits<float>::infinity()) continue;
        const double Power = std::isfinite(Level) ? std::pow(10.0, Level / 10.0) : 0.0;
        const double EndMs = Frame.StartMs + Frame.Samples * 1000.0 / Frame.SampleRate;
        const int Last = std::max(ColumnAt(Frame.StartMs), ColumnAt(EndMs) - 1);
        for (int C = ColumnAt(Frame.StartMs); C <= Last; ++C) {
            TColumn& Column = FColumns[size_t(C)];
            Column.Power += Power;
            ++Column.Frames;
            if (Level < QuietDb) Column.Quiet = true;
        }
    }
}

void TLoudnessStrip::paintEvent(QPaintEvent*) {
    if (FLengthMs <= 0) return;
    QPainter Painter(this);
    const double Dpr = devicePixelRatioF();
    const int Count = std::max(1, int(std::lround(width() * Dpr)));
    if (FDirty || int(FColumns.size()) != Count) {
        Summarise(Count);
        FDirty = false;
    }
    const double Mid = height() / 2.0;
    const double Half = Mid - 1.0;
    // The line of the scale, where nothing has been measured yet.
    Painter.fillRect(QRectF(FZeroX, Mid - 0.5, FFullX - FZeroX, 1.0), QColor(50, 152, 204, 70));
    // Grey, so that the shade over the selection turns it blue.
    const QColor Loud(104, 124, 144, 150);
    const QColor Quiet(224, 138, 30);
    for (int C = 0; C < Count; ++C) {
        const TColumn& Column = FColumns[size_t(C)];
        if (Column.Frames == 0) continue;
        const double Power = Column.Power / Column.Frames;
        const double Db = Power > 0.0 ? 10.0 * std::log10(Power) : double(FloorDb);
        const double Share = std::clamp((Db - FloorDb) / (TopDb - FloorDb), 0.0, 1.0);
        const double X = C / Dpr, W = 1.0 / Dpr;
        if (Share > 0.0) Painter.fillRect(QRectF(X, Mid - Share * Half, W, 2.0 * Share * Half), Loud);
        if (Column.Quiet) Painter.fillRect(QRectF(X, height() - 2.0, W, 2.0), Quiet);
    }
}
