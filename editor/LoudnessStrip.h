// The loudness strip: how loud the open file is along the marker scale, so
// that silences and loud passages can be seen where the markers are dragged.
// TStripLevels finds the file's frames and the level of each off the window
// thread; TLoudnessStrip draws them, one column per pixel, with the markers'
// own mapping of time to place.
#pragma once

#include <QObject>
#include <QString>
#include <QWidget>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "player/FrameLevels.h"
#include "player/Mp3FrameIndex.h"

class QPaintEvent;

// Where the levels come from: shaped like ScanFrameLevels (a range of the
// frames of an index in, each frame's level out through the visitor,
// stopping early once the flag turns true).
using TLevelSource = std::function<void(const std::string& FileName, const TMp3FrameIndex& Index, size_t First,
                                        size_t End, const TFrameLevelVisitor& Visit, const std::atomic<bool>* Stop)>;

// The levels the window's strip is drawn from.
extern const TLevelSource StripLevelSource;

// Indexes one file at a time and measures its frames on threads of its own,
// in stretches side by side; its signals come on the window thread. Starting
// another file, or releasing the object, stops the work on the last one,
// whose results are dropped.
class TStripLevels : public QObject {
    Q_OBJECT
public:
    explicit TStripLevels(TLevelSource Source, QObject* Parent = nullptr);
    ~TStripLevels() override;
    TStripLevels(const TStripLevels&) = delete;
    TStripLevels& operator=(const TStripLevels&) = delete;

    void Start(const QString& FileName);
    void Cancel();

signals:
    void FramesFound(std::shared_ptr<const TMp3FrameIndex> Frames);
    // The levels (dB full scale) of the frames First, First + 1, ...
    void LevelsFound(size_t First, const std::vector<float>& Levels);
    // Every frame has been measured, in Ms of work.
    void Finished(qint64 Ms);

private:
    struct TJob;
    void Run(const std::shared_ptr<TJob>& Job);
    void Measure(const std::shared_ptr<TJob>& Job, const TMp3FrameIndex& Frames);
    // Hands Deliver to the window thread, which runs it unless the job has been replaced since.
    void Post(const std::shared_ptr<TJob>& Job, std::function<void()> Deliver);
    void JoinFinished(bool All);

    TLevelSource FSource;
    std::shared_ptr<TJob> FJob;
    std::vector<std::pair<std::shared_ptr<TJob>, std::thread>> FThreads;
};

class TLoudnessStrip : public QWidget {
    Q_OBJECT
public:
    // A frame below this level counts as quiet.
    static constexpr float QuietDb = -50.0f;
    // The levels drawn from nothing to the full height of the strip.
    static constexpr float FloorDb = -54.0f;
    static constexpr float TopDb = -6.0f;

    explicit TLoudnessStrip(QWidget* Parent);

    // Time 0 is drawn at ZeroX, the file's length at FullX (own coordinates).
    void SetScale(double ZeroX, double FullX);
    // Where the strip draws Ms.
    double XAt(double Ms) const { return FLengthMs > 0 ? FZeroX + (FFullX - FZeroX) * Ms / double(FLengthMs) : FZeroX; }
    // A file of LengthMs: nothing to draw yet.
    void Reset(int64_t LengthMs);
    void SetFrames(std::shared_ptr<const TMp3FrameIndex> Frames);
    void AddLevels(size_t First, const std::vector<float>& Levels);
    // Frames measured so far; all of them once the strip is complete.
    size_t Measured() const { return FMeasured; }
    size_t FrameCount() const { return FLevels.size(); }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    struct TColumn {
        double Power = 0.0;  // summed, of the measured frames
        int Frames = 0;
        bool Quiet = false;
    };
    void Summarise(int Count);

    double FZeroX = 0.0, FFullX = 0.0;
    int64_t FLengthMs = 0;
    std::shared_ptr<const TMp3FrameIndex> FFrames;
    std::vector<float> FLevels;  // NaN: not measured yet
    size_t FMeasured = 0;
    std::vector<TColumn> FColumns;
    bool FDirty = true;
};
