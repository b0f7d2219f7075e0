// Helpers of the player tests: the fixtures, a reference decode with
// libmpg123, an output that records what it is handed, and a player that
// counts the calls it gets. Scratch folders and fixtures are the shared ones.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/MediaPlayer.h"
#include "player/AudioSink.h"
#include "tests/support/TestFiles.h"

namespace PlayerTest {

using TestFiles::Fixture;
using TestFiles::TScratchDir;

// Every .mp3 and .mp2 file of the fixtures folder, sorted by name.
std::vector<std::string> AllFixtures();

struct TPcm {
    long Rate = 0;
    int Channels = 0;
    std::vector<int16_t> Samples;  // interleaved
    size_t Frames() const { return Channels ? Samples.size() / size_t(Channels) : 0; }
};

// The whole file decoded by libmpg123 without gapless trimming, as signed
// 16-bit samples at Rate with Channels.
TPcm DecodeFile(const std::string& File, long Rate, int Channels);

// Takes everything at once (no pacing) and keeps it.
class TCaptureSink final : public TAudioSink {
public:
    void Prepare() override {}
    void Start(const TPcmFormat& Format) override;
    size_t Write(const uint8_t* Data, size_t Bytes) override;
    void Drain() override {}
    void Stop() override {}
    int64_t Heard() const override;
    void Interrupt() override {}

    TPcmFormat Format() const;
    std::vector<int16_t> Samples() const;

private:
    mutable std::mutex FMutex;
    TPcmFormat FFormat;
    std::vector<int16_t> FSamples;
};

// Forwards to an inner player and counts the calls.
class TSpyPlayer final : public TMediaPlayer {
public:
    explicit TSpyPlayer(std::unique_ptr<TMediaPlayer> Inner, int* Calls, int* Opens)
        : FInner(std::move(Inner)), FCalls(Calls), FOpens(Opens) {}
    void Close() override {
        ++*FCalls;
        FInner->Close();
    }
    void SetFileName(const std::string& N) override {
        ++*FCalls;
        FInner->SetFileName(N);
    }
    void SetTimeFormat(TMPTimeFormats F) override {
        ++*FCalls;
        FInner->SetTimeFormat(F);
    }
    void Open() override {
        ++*FCalls;
        ++*FOpens;
        FInner->Open();
    }
    int32_t Length() override {
        ++*FCalls;
        return FInner->Length();
    }
    void SetPosition(int32_t Ms) override {
        ++*FCalls;
        FInner->SetPosition(Ms);
    }
    void SetEndPos(int32_t Ms) override {
        ++*FCalls;
        FInner->SetEndPos(Ms);
    }
    void Play() override {
        ++*FCalls;
        FInner->Play();
    }
    TMPModes Mode() override {
        ++*FCalls;
        return FInner->Mode();
    }
    int32_t Position() override {
        ++*FCalls;
        return FInner->Position();
    }
    std::string LastPlaybackError() const override { return FInner->LastPlaybackError(); }

private:
    std::unique_ptr<TMediaPlayer> FInner;
    int* FCalls;
    int* FOpens;
};

// Polls Done every millisecond until it holds or Timeout passes; returns Done().
bool WaitFor(const std::function<bool()>& Done, std::chrono::milliseconds Timeout);

}  // namespace PlayerTest
