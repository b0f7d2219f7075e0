#include "player/AudioSink.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <out123.h>
#include <vector>

#include "engine/MediaPlayer.h"

namespace {

int64_t NsOf(THeardClock::TClock::time_point T) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(T.time_since_epoch()).count();
}

}  // namespace

// ---- THeardClock ----

void THeardClock::Reset(long Rate, int64_t MaxBufferedFrames) {
    FRate.store(Rate > 0 ? Rate : 1, std::memory_order_relaxed);
    FMaxBuffered.store(MaxBufferedFrames, std::memory_order_relaxed);
    FWritten.store(0, std::memory_order_relaxed);
    FOriginNs.store(0, std::memory_order_relaxed);
    FStarted.store(false, std::memory_order_release);
}

int64_t THeardClock::ClockFrames(TClock::time_point Now) const {
    if (!FStarted.load(std::memory_order_acquire)) return 0;
    const int64_t Ns = NsOf(Now) - FOriginNs.load(std::memory_order_acquire);
    if (Ns <= 0) return 0;
    // 128-bit product: an hour at 48 kHz in nanoseconds times the rate exceeds 2^63.
    return static_cast<int64_t>((__int128)Ns * FRate.load(std::memory_order_relaxed) / 1000000000);
}

void THeardClock::BeforeWrite(TClock::time_point Now) {
    const int64_t Written = FWritten.load(std::memory_order_acquire);
    const long Rate = FRate.load(std::memory_order_relaxed);
    if (!FStarted.load(std::memory_order_acquire)) {
        FOriginNs.store(NsOf(Now), std::memory_order_release);
        FStarted.store(true, std::memory_order_release);
    } else if (ClockFrames(Now) > Written) {
        // The device ran dry: it played silence meanwhile and goes on with
        // the next samples now.
        FOriginNs.store(NsOf(Now) - static_cast<int64_t>((__int128)Written * 1000000000 / Rate),
                        std::memory_order_release);
    }
}

void THeardClock::AfterWrite(int64_t Frames) { FWritten.fetch_add(Frames, std::memory_order_acq_rel); }

int64_t THeardClock::HeardAt(TClock::time_point Now) const {
    const int64_t Written = FWritten.load(std::memory_order_acquire);
    const int64_t Floor = std::max<int64_t>(0, Written - FMaxBuffered.load(std::memory_order_relaxed));
    return std::clamp(ClockFrames(Now), Floor, Written);
}

THeardClock::TClock::time_point THeardClock::TimeOf(int64_t Frames) const {
    const long Rate = FRate.load(std::memory_order_relaxed);
    const int64_t Ns =
        FOriginNs.load(std::memory_order_acquire) + static_cast<int64_t>((__int128)Frames * 1000000000 / Rate);
    return TClock::time_point(std::chrono::duration_cast<TClock::duration>(std::chrono::nanoseconds(Ns)));
}

namespace {

// ---- the silent output ----

// Takes samples no faster than a device of the same rate with a buffer of
// the given length would, and throws them away.
class TNullSink final : public TAudioSink {
public:
    explicit TNullSink(double BufferSeconds) : FBufferSeconds(BufferSeconds) {}

    void Prepare() override {}

    void Start(const TPcmFormat& Format) override {
        FFormat = Format;
        FClock.Reset(Format.Rate, static_cast<int64_t>(FBufferSeconds * Format.Rate));
        std::lock_guard<std::mutex> Lock(FMutex);
        FInterrupted = false;
    }

    size_t Write(const uint8_t*, size_t Bytes) override {
        if (FFormat.FrameBytes <= 0) return 0;
        const int64_t Frames = static_cast<int64_t>(Bytes / FFormat.FrameBytes);
        FClock.BeforeWrite(THeardClock::TClock::now());
        // Room for the new frames once the clock has played all but a buffer's worth.
        const int64_t Buffer = static_cast<int64_t>(FBufferSeconds * FFormat.Rate);
        if (!WaitUntil(FClock.TimeOf(FClock.Written() + Frames - Buffer))) return 0;
        FClock.AfterWrite(Frames);
        return static_cast<size_t>(Frames * FFormat.FrameBytes);
    }

    void Drain() override {
        if (FClock.Written() > 0) WaitUntil(FClock.TimeOf(FClock.Written()));
    }

    void Stop() override {}

    int64_t Heard() const override { return FClock.HeardAt(THeardClock::TClock::now()); }

    void Interrupt() override {
        std::lock_guard<std::mutex> Lock(FMutex);
        FInterrupted = true;
        FWake.notify_all();
    }

private:
    // False when interrupted first.
    bool WaitUntil(THeardClock::TClock::time_point When) {
        std::unique_lock<std::mutex> Lock(FMutex);
        return !FWake.wait_until(Lock, When, [this] { return FInterrupted; });
    }

    const double FBufferSeconds;
    TPcmFormat FFormat;
    THeardClock FClock;
    std::mutex FMutex;
    std::condition_variable FWake;
    bool FInterrupted = false;
};

// ---- a sound device through libout123 ----

class TOut123Sink final : public TAudioSink {
public:
    explicit TOut123Sink(const TAudioOutput& Output) : FOutput(Output) {
        if (FOutput.Drivers.empty()) FOutput.Drivers = TAudioOutput().Drivers;
    }

    ~TOut123Sink() override {
        if (FHandle) out123_del(FHandle);  // closes the driver
    }

    void Prepare() override {
        if (FHandle) return;  // the driver is loaded and was found working
        out123_handle* Handle = out123_new();
        if (!Handle) throw EMediaPlayerError("The sound output could not be initialised (out of memory).");
        // Quiet: no printouts from libout123 and its modules (this also
        // silences ALSA's error handler in the ALSA module).
        out123_param(Handle, OUT123_ADD_FLAGS, OUT123_QUIET, 0.0, nullptr);
        out123_param(Handle, OUT123_DEVICEBUFFER, 0, FOutput.DeviceBufferSeconds, nullptr);
        out123_param(Handle, OUT123_NAME, 0, 0.0, "Segmora");
        // An explicit driver list, never the library's default one.
        if (out123_open(Handle, FOutput.Drivers.c_str(), FOutput.Device.empty() ? nullptr : FOutput.Device.c_str()) !=
            OUT123_OK) {
            const std::string Reason = out123_strerror(Handle);
            out123_del(Handle);
            throw EMediaPlayerError("No sound device could be opened (drivers tried: " + FOutput.Drivers +
                                    (FOutput.Device.empty() ? std::string() : "; device: " + FOutput.Device) +
                                    "; libout123 says: " + Reason + ").");
        }
        FHandle = Handle;
    }

    void Start(const TPcmFormat& Format) override {
        Prepare();
        FFormat = Format;
        FInterrupted.store(false);
        {
            std::lock_guard<std::mutex> Lock(FErrorMutex);
            FError.clear();
        }
        // Playback starts once the device's buffer is primed; the pulse
        // driver's default buffer is up to two seconds.
        FClock.Reset(Format.Rate, static_cast<int64_t>(2.5 * Format.Rate));
        if (out123_start(FHandle, Format.Rate, Format.Channels, Format.Encoding) != OUT123_OK) {
            const std::string Reason = out123_strerror(FHandle);
            // Unload the driver: the next Open tries the drivers afresh.
            out123_del(FHandle);
            FHandle = nullptr;
            throw EMediaPlayerError("The sound device could not be started for " + std::to_string(Format.Rate) +
                                    " Hz, " + std::to_string(Format.Channels) + " channel(s): " + Reason + ".");
        }
    }

    size_t Write(const uint8_t* Data, size_t Bytes) override {
        if (!FHandle || FFormat.FrameBytes <= 0) return 0;
        size_t Done = 0;
        // Small pieces, so that an interruption is noticed within one of them.
        const size_t Piece = std::max<size_t>(FFormat.FrameBytes, (FFormat.Rate / 50) * FFormat.FrameBytes);
        while (Done < Bytes && !FInterrupted.load(std::memory_order_acquire)) {
            const size_t Want = std::min(Piece, Bytes - Done);
            FClock.BeforeWrite(THeardClock::TClock::now());
            const size_t Played = out123_play(FHandle, const_cast<uint8_t*>(Data + Done), Want);
            FClock.AfterWrite(static_cast<int64_t>(Played / FFormat.FrameBytes));
            Done += Played;
            if (Played < Want) {
                std::lock_guard<std::mutex> Lock(FErrorMutex);
                FError = out123_strerror(FHandle);
                break;
            }
        }
        return Done;
    }

    void Drain() override {
        if (!FHandle || FFormat.FrameBytes <= 0) return;
        // Silence behind the last samples pushes them through a device that
        // waits for a primed buffer before it plays; the wait is ours, in
        // short steps, so that an interruption ends it at once.
        const int64_t Written = FClock.Written();
        const size_t Piece = static_cast<size_t>(FFormat.Rate / 100) * FFormat.FrameBytes;
        std::vector<uint8_t> Silence(Piece, 0);  // the player plays signed samples: zero is silence
        while (!FInterrupted.load(std::memory_order_acquire) && FClock.HeardAt(THeardClock::TClock::now()) < Written) {
            const size_t Played = out123_play(FHandle, Silence.data(), Silence.size());
            if (Played < Silence.size()) break;
        }
    }

    void Stop() override {
        if (!FHandle) return;
        out123_drop(FHandle);
        out123_stop(FHandle);
    }

    int64_t Heard() const override { return FClock.HeardAt(THeardClock::TClock::now()); }

    void Interrupt() override { FInterrupted.store(true, std::memory_order_release); }

    std::string LastError() const override {
        std::lock_guard<std::mutex> Lock(FErrorMutex);
        return FError;
    }

private:
    TAudioOutput FOutput;
    out123_handle* FHandle = nullptr;
    TPcmFormat FFormat;
    THeardClock FClock;
    std::atomic<bool> FInterrupted{false};
    mutable std::mutex FErrorMutex;
    std::string FError;
};

}  // namespace

std::unique_ptr<TAudioSink> CreateAudioSink(const TAudioOutput& Output) {
    if (Output.Kind == TAudioOutputKind::Null) return std::make_unique<TNullSink>(Output.NullBufferSeconds);
    return std::make_unique<TOut123Sink>(Output);
}
