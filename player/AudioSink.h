// Where the media player's decoded samples go: a sound device through
// libout123, or a silent output of our own that consumes them in real time.
//
// Threads: Prepare and Start run on the thread that owns the player; Write,
// Drain and Stop run on the player's playback thread (or on the owner thread
// once that thread has been joined); Heard and Interrupt may be called from
// any thread at any time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Interleaved PCM. Encoding uses libmpg123's encoding codes (MPG123_ENC_*).
struct TPcmFormat {
    long Rate = 0;
    int Channels = 0;
    int Encoding = 0;
    int FrameBytes = 0;  // bytes of one sample frame (all channels)
};

class TAudioSink {
public:
    virtual ~TAudioSink() = default;

    // Makes sure the output can be used (loads the driver, tries the device).
    // Raises EMediaPlayerError with a readable cause.
    virtual void Prepare() = 0;
    // Opens the device for a playback session in Format and clears the
    // counters. Raises EMediaPlayerError.
    virtual void Start(const TPcmFormat& Format) = 0;
    // Hands Bytes (whole sample frames) to the device, waiting as a device
    // does when its buffer is full. Returns the bytes taken: fewer only when
    // interrupted or when the device failed.
    virtual size_t Write(const uint8_t* Data, size_t Bytes) = 0;
    // Waits until everything written has been heard; returns early when
    // interrupted.
    virtual void Drain() = 0;
    // Ends the session: drops what the device still holds and closes it.
    virtual void Stop() = 0;
    // Sample frames of the session heard so far: written minus what the
    // device still holds.
    virtual int64_t Heard() const = 0;
    // Makes a waiting Write or Drain return soon; cleared by Start.
    virtual void Interrupt() = 0;
    // Text of the last device failure during Write, empty when none.
    virtual std::string LastError() const { return {}; }
};

// Kind of output a player is created with.
enum class TAudioOutputKind {
    Auto,  // a real sound device through libout123, drivers tried in the given order
    Null,  // silent, paced by a steady clock
};

struct TAudioOutput {
    TAudioOutputKind Kind = TAudioOutputKind::Auto;
    // Comma-separated libout123 driver list for Auto. Never empty: the
    // library's built-in default list would try network and OpenAL drivers.
    // ALSA comes first because it honours the device buffer below, also when
    // its default device leads to a PulseAudio or PipeWire server (their ALSA
    // plugins turn it into the stream's buffering); libout123's pulse driver
    // takes the server's default buffering, which on a desktop is a buffer of
    // up to two seconds refilled in large blocks, and a write that waits for
    // such a block holds up StopPlay. The pulse driver is the fallback when
    // ALSA's default device cannot be opened (a sound server holding the card).
    std::string Drivers = "alsa,pulse";
    // Device name for the driver; empty for the driver's default.
    std::string Device;
    // Device buffer in seconds (ALSA honours it: a third of it is the period,
    // the longest a write waits, so StopPlay waits at most about that long).
    double DeviceBufferSeconds = 0.1;
    // Buffer of the silent output in seconds: how far writing may run ahead.
    double NullBufferSeconds = 0.2;
};

std::unique_ptr<TAudioSink> CreateAudioSink(const TAudioOutput& Output);

// The estimate of what has been heard, shared by the outputs: a steady clock
// started by the first write, never ahead of what was written and never
// further behind it than the device can hold. When the device ran dry the
// clock is moved so that playback resumes with the next write.
class THeardClock {
public:
    using TClock = std::chrono::steady_clock;

    void Reset(long Rate, int64_t MaxBufferedFrames);
    // Call before handing Frames to the device at Now.
    void BeforeWrite(TClock::time_point Now);
    void AfterWrite(int64_t Frames);
    int64_t Written() const { return FWritten.load(std::memory_order_acquire); }
    // Frames heard at Now.
    int64_t HeardAt(TClock::time_point Now) const;
    // When the clock will have played Frames; meaningful once something was written.
    TClock::time_point TimeOf(int64_t Frames) const;

private:
    int64_t ClockFrames(TClock::time_point Now) const;

    std::atomic<long> FRate{1};
    std::atomic<int64_t> FMaxBuffered{0};
    std::atomic<int64_t> FWritten{0};
    // Steady-clock nanoseconds of the moment frame 0 was (or would have been) heard.
    std::atomic<int64_t> FOriginNs{0};
    std::atomic<bool> FStarted{false};
};
