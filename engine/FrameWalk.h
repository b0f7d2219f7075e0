// Walking the audio of an MP3 file step by step, as the cut, the skip to its
// start and the length measurement all do: a step takes a frame, steps over an
// ID3v2 tag inside the stream, or drops four stray bytes. Information frames
// (Xing/Info/VBRI) are stepped over as frames that hold no audio.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/FrameHeader.h"
#include "engine/Mp3DataInfo.h"
#include "platform/FileStream.h"
#include "platform/MappedFile.h"

// Position of the first non-zero byte at or after the stream's position, or -1.
// Count is the number of zero bytes passed over (any number: the padding
// after a tag may exceed 2 GiB).
int64_t SkipZeroBytes(TFileStream& Stream, int64_t& Count);

// Told about the audio frames a copy takes: each one before its bytes reach
// the target, then those bytes, in order, in pieces of any size.
class TCopyWatcher : public TBytesObserver {
public:
    virtual void FrameAhead(const TFrameHeader& Frame, const uint8_t Header[FrameHeaderBytes]) = 0;

protected:
    ~TCopyWatcher() = default;
};

// Told about each audio frame a skip passes, with the offset it starts at.
class TSkipWatcher {
public:
    virtual void FramePassed(int64_t Offset, const TFrameHeader& Frame, const uint8_t Header[FrameHeaderBytes]) = 0;

protected:
    ~TSkipWatcher() = default;
};

// One step of the walk over the audio: a frame (written to Target when one is
// given), an ID3v2 tag stepped over, or four stray bytes dropped. Information
// frames count nothing and are not written. A frame that runs past AudioEnd is
// not taken: the source is left at its end so the walk stops. FrameBytes and
// FrameMs are the frame's length and duration, 0 for anything but audio.
// Returns the source position afterwards.
int64_t CopyFrame(TFileStream& Source, TFileStream* Target, int64_t AudioEnd, int32_t& FrameBytes, double& FrameMs,
                  TCopyWatcher* Watcher = nullptr);
// The same step without a target, bounded by the end of the stream.
int64_t SkipFrame(TFileStream& Stream, int32_t& FrameBytes, double& FrameMs);

// What a run of steps passed: the position after the last step (0 when
// none ran), the bytes and the summed duration of its audio frames.
struct TStepRun {
    int64_t Position = 0;
    int64_t Bytes = 0;
    double Ms = 0.0;
};

// The walks of a save read the source through a map, inside its Guarded().
// A copy whose audio (as the analysis found it) runs on beyond the end of the
// file, shortened since, fails with EReadError.

// Skips steps from the source's position until their audio reaches TargetMs
// or fewer than a header's bytes are left in the file. The bound is the
// file, not the audio: a start beyond the audio walks through the tags at
// the end and leaves nothing to copy. From is where an earlier walk from the
// first frame stood at the source's position (its sums go on from there; a
// walk from the first frame starts from nothing), and the result is that
// walk's at its end.
TStepRun SkipAudio(TMappedFile& Source, int64_t TargetMs, TSkipWatcher* Watcher = nullptr, const TStepRun& From = {});
// Copies steps from Source's position to Target until their audio reaches
// SpanMs or the audio ends at AudioEnd. The frames go to Target in runs of
// adjacent ones, each written in one piece straight from the map and shown
// to the watcher whole, after the watcher has been told about its frames;
// all of them are written when it returns.
TStepRun CopyAudio(TMappedFile& Source, TFileStream& Target, int64_t AudioEnd, int32_t SpanMs,
                   TCopyWatcher* Watcher = nullptr);
// Copies steps from Source's position to Target until Walk, the walk from the
// first frame that stands at Source's position, has reached EndMs on the
// file's own time scale, exactly where SkipAudio to EndMs stops, or the
// audio ends; Walk goes on with the steps, and Passed (when given) is told
// about each audio frame as a skip would tell it. Without a Target the steps
// are only walked (and measured) as a copy would take them.
TStepRun CopyAudioUntil(TMappedFile& Source, TFileStream* Target, int64_t AudioEnd, TStepRun& Walk, int64_t EndMs,
                        TCopyWatcher* Watcher = nullptr, TSkipWatcher* Passed = nullptr);
// The same as CopyAudio without writing: what it would copy.
TStepRun MeasureAudio(TMappedFile& Source, int64_t AudioEnd, int32_t SpanMs);
// Copies steps from Source's position to Target until the position reaches
// StopAt, whatever their duration.
TStepRun CopyAudioUpTo(TMappedFile& Source, TFileStream& Target, int64_t AudioEnd, int64_t StopAt,
                       TCopyWatcher* Watcher = nullptr);

// The offset of the next audio frame at or after the source's position, as
// the walk would take it, looking at most LookAhead bytes on; NoMoreAudio
// when the audio ends first, NotSeen when the look-ahead does. Frame and
// Header describe it. The source's position is kept.
constexpr int64_t NoMoreAudio = -1, NotSeen = -2;
constexpr int64_t NextFrameLookAhead = 64 * 1024;
int64_t NextAudioFrame(TMappedFile& Source, int64_t AudioEnd, TFrameHeader& Frame, uint8_t Header[FrameHeaderBytes],
                       int64_t LookAhead = NextFrameLookAhead);

// Measures the free-format frame whose header H stands at At as the walk
// does (its length is the distance to the next frame of its stream): false
// when H is no free-format header or no such frame follows in time.
bool MeasureFreeFormatFrame(TFileStream& Stream, int64_t At, const uint8_t H[FrameHeaderBytes], int64_t AudioEnd,
                            TFrameHeader& Frame);

// Walks the audio of an analysed file exactly as a cut of the whole file
// steps through it, calling Visit (when given) with the offset and header of
// each frame that cut would write. Returns their summed duration in ms.
using TFrameVisitor = std::function<void(int64_t Offset, const TFrameHeader& Frame)>;
double WalkAudioFrames(TFileStream& Source, const TMp3DataInfo& Info, const TFrameVisitor& Visit);
