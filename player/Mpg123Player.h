// The media player of this platform: libmpg123 decodes, a playback thread of
// the player's own hands the samples to an output (a sound device through
// libout123, or the silent real-time output).
//
// Time scale: the engine's. The player walks the file's frames as the engine
// does (TMp3FrameIndex): its length is the engine's LengthMs, and playing from
// X ms starts with the first frame a cut from X ms would copy, decoded with
// the frames before it as preroll (bit reservoir, filter state) and without
// gapless trimming, so position X ms is the audio a cut starting at X begins
// with. Positions are what has been heard: samples handed to the output minus
// what it still holds.
//
// Threads: every operation is called from the thread that owns the player;
// Mode and Position read only atomics and the output's clock, so they are
// cheap while the playback thread runs. Close, Play, SetPosition and the
// destructor stop and join the playback thread (it notices within one
// decoded frame). The index of the last file opened is kept, so that opening
// the same unchanged file again does not walk it again.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/MediaPlayer.h"
#include "player/AudioSink.h"
#include "player/Mp3FrameIndex.h"

class TFileStream;

class TMpg123Player final : public TMediaPlayer {
public:
    explicit TMpg123Player(std::unique_ptr<TAudioSink> Sink);
    ~TMpg123Player() override;
    TMpg123Player(const TMpg123Player&) = delete;
    TMpg123Player& operator=(const TMpg123Player&) = delete;

    void Close() override;
    void SetFileName(const std::string& FileName) override;
    void SetTimeFormat(TMPTimeFormats Format) override;
    void Open() override;
    int32_t Length() override;
    void SetPosition(int32_t Ms) override;
    void SetEndPos(int32_t Ms) override;
    void Play() override;
    TMPModes Mode() override;
    int32_t Position() override;
    // Text of an output failure that ended the last playback, empty when none.
    std::string LastPlaybackError() const override;

    // For tests and measurements.
    // When the current (or last) playback handed its first samples to the
    // output; the clock's epoch while it has not yet.
    std::chrono::steady_clock::time_point FirstSoundTime() const;
    // The frame index of the open file (nullptr while closed).
    const TMp3FrameIndex* FrameIndex() const { return FOpen ? FIndex.get() : nullptr; }
    // Index of the frame the last Play started with.
    size_t StartFrame() const { return FStartFrame; }

private:
    struct TFileKey {
        std::string Name;
        uint64_t Device = 0, Inode = 0;
        int64_t Size = 0, MTimeNs = 0;
        bool operator==(const TFileKey&) const = default;
    };
    struct TJob {
        size_t FirstFed = 0;       // first frame fed to the decoder (preroll included)
        size_t Preroll = 0;        // frames decoded only to prime the decoder
        int64_t FramesToPlay = 0;  // sample frames to hand to the output
        TPcmFormat Format;
    };

    void StopThread();
    void Run(TJob Job);
    int32_t PositionFromHeard(int64_t Heard) const;

    std::unique_ptr<TAudioSink> FSink;
    std::string FFileName;
    bool FOpen = false;
    std::unique_ptr<TFileStream> FStream;
    std::shared_ptr<const TMp3FrameIndex> FIndex;
    TFileKey FIndexKey;

    int32_t FStartMs = 0;
    int32_t FEndMs = 0;
    bool FHasEnd = false;

    // Fixed while a playback thread runs.
    size_t FStartFrame = 0;
    double FStartTimeMs = 0.0;
    long FRate = 0;
    int64_t FFramesToPlay = 0;

    std::thread FThread;
    std::atomic<bool> FStop{false};
    std::atomic<TMPModes> FMode{TMPModes::mpNotReady};
    std::atomic<int32_t> FStoppedPosition{0};
    std::atomic<int64_t> FFirstSoundNs{0};
    mutable std::mutex FFailureMutex;
    std::string FFailure;
};

// "auto" or "null" (as segmora-cli spells them); false for anything else.
bool AudioOutputKindFromName(const std::string& Name, TAudioOutputKind& Kind);

// The player the program uses: Auto plays through a sound device (drivers
// "alsa,pulse" unless Output says otherwise), Null through the silent output.
std::unique_ptr<TMediaPlayer> CreateMediaPlayer(const TAudioOutput& Output = TAudioOutput());
std::unique_ptr<TMediaPlayer> CreateMediaPlayer(TAudioOutputKind Kind);
