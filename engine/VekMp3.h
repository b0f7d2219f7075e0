// The MP3 engine: analyses one file at a time (first frame header, tags,
// play length), cuts a time range out of it as whole frames copied byte for
// byte, and plays a range of it through the platform's media player.
//
// This header is the unit's interface; the frame header, the frame walk and
// the tags it builds on have headers of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/ExactStart.h"
#include "engine/FrameHeader.h"
#include "engine/FrameWalk.h"
#include "engine/MediaPlayer.h"
#include "engine/Mp3DataInfo.h"
#include "engine/PieceFades.h"
#include "engine/Tags.h"
#include "platform/FileStream.h"
#include "platform/MappedFile.h"
#include "platform/TargetFile.h"

// The part of the analysis that needs only the open file: the first frame's
// header, the ID3v2, ID3v1 and APE tags. Sets every field of Info but
// FileName and LengthMs.
void AnalyseLayout(TFileStream& Source, TMp3DataInfo& Info);

// Why the last SaveSegment returned false.
enum class TSaveFailure {
    None,               // it returned true, or raised an error instead
    SourceMissing,      // no file of the analysed name exists any more
    SourceNotValid,     // the last analysis found no MP3
    TargetIsSource,     // the target reaches the source under some name
    TargetNameEmpty,    // no target name was given
    TargetIsFolder,     // the target names a folder
    TargetNotRegular,   // the target names a FIFO, a device or a socket
    TargetNotWritable,  // the target exists and may not be written
    TargetNotCreated,   // no file can be created where the target would be
    TargetNotReplaced,  // the written piece could not take the target's name
    TargetExists,       // the target exists and was to be kept
    NothingToSave,      // a piece of a chain starts where no audio is left
    GainUnchangeable,   // fades asked of frames whose gain cannot change (layers I and II, free format)
};

// The save failure a target file that is not Ready() stands for.
TSaveFailure SaveFailureOf(TTargetFailure Failure);

// The source of a chain's pieces, opened and mapped once for them all.
struct TChainSource;

// Pieces saved one after another from one analysed file, as a split cuts
// them. In a chain a piece ends where a skip to its EndMs would stop, on the
// file's own time scale, rather than when it has lasted EndMs - StartMs: the
// next piece, from EndMs on, then begins with the frame after its last, and
// no frame is lost or doubled between them. Its DurationMs says where it
// ended: a save from StartMs to StartMs + DurationMs outside a chain writes
// the same piece. The skip to a piece's start goes on from where the walk of
// the piece before stopped, so that the file is walked once for all pieces.
struct TPieceChain {
    TFileIdentity Source{};  // the file the walk was made over, as it was
    int64_t SourceSize = -1;
    TStepRun Point;          // where the walk from the first frame stopped
    int64_t ReachedMs = -1;  // the time it stopped for; -1: no walk to go on from
    // Set by each save: where its piece's first frame begins on the file's
    // time scale. A save from there, truncated to whole milliseconds, starts
    // with the same frame.
    double PieceStartMs = 0.0;
    // The last frames the walk passed, for the exact start of the next piece.
    TFrameTrail Trail;
    // Made by the first piece, and again when the file is no longer the one
    // it was made of; open while the chain lives.
    std::shared_ptr<TChainSource> Mapped;
};

// How SaveSegment writes a piece, beyond what the window asks for.
struct TSaveOptions {
    // A fresh information frame in front of the piece when the source had
    // one or the piece's bit rates differ, so that players read its length
    // and seek in it as in the source.
    bool InfoFrame = true;
    // Start a layer III piece with the frames its first frame's decoding
    // needs, behind an information frame that has gapless decoders drop
    // their samples (whether the source had one or not, and InfoFrame
    // notwithstanding), so that the piece decodes sample for sample as the
    // source from its start frame on. The pieces of a chain then join
    // without a seam.
    bool Exact = false;
    // What becomes of an existing file of the target's name.
    TExisting Existing = TExisting::Replace;
    // The chain this piece belongs to.
    TPieceChain* Chain = nullptr;
    // Written in front of the piece's first frame (its information frame
    // included), such as a tag made for it.
    std::string LeadingBytes{};
    // A piece that would hold no audio frame, since it starts where the
    // audio has ended, is not saved (NothingToSave), as a chain's never is.
    bool RequireAudio = false;
    // Fade the piece in and out through its frames' gains (layer III frames
    // of a bit rate their headers tell; others are not saved:
    // GainUnchangeable). An exact start's frames in front of the start frame
    // are lowered to the floor with a fade in.
    TFades Fades{};
};

class TVekMP3 {
public:
    // Analyses AFileName when it names an existing file. The engine owns the
    // player; without one it measures and cuts but cannot play.
    explicit TVekMP3(const std::string& AFileName = std::string(), std::unique_ptr<TMediaPlayer> Player = nullptr);
    ~TVekMP3();
    TVekMP3(const TVekMP3&) = delete;
    TVekMP3& operator=(const TVekMP3&) = delete;

    void AnalyseFile(const std::string& AFileName);
    bool SaveSegment(int32_t StartMs, int32_t EndMs, const std::string& AFileName, TId3v1Tag Id3Tag, int64_t& ByteCount,
                     int64_t& DurationMs);
    // The same with Options. ByteCount counts the audio frames written (an
    // exact start's frames in front included, the information frame not);
    // DurationMs the duration from the start frame on.
    bool SaveSegment(int32_t StartMs, int32_t EndMs, const std::string& AFileName, TId3v1Tag Id3Tag, int64_t& ByteCount,
                     int64_t& DurationMs, const TSaveOptions& Options);
    // What SaveSegment would write with the same chain, without writing:
    // ByteCount and DurationMs as it would set them. False when the file
    // is not valid.
    bool MeasureSegment(int32_t StartMs, int32_t EndMs, int64_t& ByteCount, int64_t& DurationMs,
                        TPieceChain* Chain = nullptr, bool Exact = false);
    // Why the last SaveSegment returned false; None after it returned true.
    TSaveFailure LastSaveFailure() const { return FLastSaveFailure; }
    // The system's error number behind that failure; 0 when there is none.
    int LastSaveError() const { return FLastSaveError; }

    bool PlayRange(int64_t FromMs, int64_t ToMs);
    void StopPlay();
    int64_t GetPlayPosition();
    bool IsStopped();

    TMediaPlayer* MediaPlayer() const { return FMediaPlayer.get(); }

    TMp3DataInfo DataInfo;

private:
    int64_t SkipToTime(TMappedFile& Stream, int64_t& SkippedBytes, int64_t TargetMs, int64_t& SkippedMs);
    TStepRun SkipInChain(TMappedFile& Stream, const TFileStream& Source, int64_t StartMs, TPieceChain& Chain,
                         TFrameTrail* Trail);
    TChainSource& ChainSource(TPieceChain& Chain, std::unique_ptr<TFileStream>& Source);
    void WriteTag(TFileStream& Target, TId3v1Tag Id3Tag);
    bool SaveFailed(TSaveFailure Why, int SystemError = 0);

    std::unique_ptr<TMediaPlayer> FMediaPlayer;
    TSaveFailure FLastSaveFailure = TSaveFailure::None;
    int FLastSaveError = 0;
};
