// The media player the engine plays through and asks for lengths: a device
// opened for one file, exchanging times in milliseconds, playing a range
// asynchronously. Implementations raise EMediaPlayerError with a readable text
// when the device cannot be opened.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class EMediaPlayerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Modes in the order the platform reports them; the engine tests only
// mpPlaying and mpStopped.
enum class TMPModes { mpNotReady, mpStopped, mpPlaying, mpRecording, mpSeeking, mpPaused, mpOpen };

enum class TMPTimeFormats { tfMilliseconds };

class TMediaPlayer {
public:
    virtual ~TMediaPlayer() = default;

    // Ends playback and releases the device; nothing happens when none is open.
    virtual void Close() = 0;
    // The file the next Open uses.
    virtual void SetFileName(const std::string& FileName) = 0;
    virtual void SetTimeFormat(TMPTimeFormats Format) = 0;
    // Opens the device for the file (closing one that was open); raises EMediaPlayerError.
    virtual void Open() = 0;
    // Media length in the time format.
    virtual int32_t Length() = 0;
    // Where the next Play starts.
    virtual void SetPosition(int32_t Ms) = 0;
    // End of the next Play only.
    virtual void SetEndPos(int32_t Ms) = 0;
    // Starts playing from the position to the end position and returns at once.
    virtual void Play() = 0;
    // Safe to call at any time from the thread that owns the player.
    virtual TMPModes Mode() = 0;
    virtual int32_t Position() = 0;
    // Text of a failure that ended the last playback early (the output broke
    // off after Play had returned), empty when there was none. A player whose
    // playback cannot fail that way keeps the default.
    virtual std::string LastPlaybackError() const { return std::string(); }
};
