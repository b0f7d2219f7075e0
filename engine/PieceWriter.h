// Writing a piece: the audio frames a copy hands over, behind a fresh
// information frame when the piece needs one. The copy stays one pass: the
// information frame's place is kept free in front of the first frame, and
// the frame is written there when the copy is done.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Crc16.h"
#include "engine/FrameWalk.h"
#include "engine/InfoFrame.h"
#include "engine/PieceFades.h"
#include "platform/FileStream.h"

// Where the piece's frames begin at evenly spaced moments, for the seek
// table, in bounded memory: the start of every Step-th frame, Step doubling
// whenever the record is full.
class TTocSampler {
public:
    void Frame(double StartMs, uint64_t Offset) {
        if ((FSeen++ & (FStep - 1)) == 0) Keep(StartMs, Offset);
    }
    // The seek table of a piece of TotalMs whose audio (AudioBytes) follows
    // InfoBytes of information frame: for each percent of the time, the
    // position of the frame playing then, in 256ths of the whole.
    std::array<uint8_t, TocEntries> Toc(double TotalMs, uint64_t InfoBytes, uint64_t AudioBytes) const;

    static constexpr size_t Capacity = 512;

private:
    void Keep(double StartMs, uint64_t Offset);

    struct TPoint {
        double Ms;
        uint64_t Offset;
    };
    std::array<TPoint, Capacity> FPoints{};
    size_t FCount = 0;
    uint64_t FStep = 1;
    uint64_t FSeen = 0;
};

// The source's information record, when its first frame (at Offset) carries one.
TInfoFrame ReadInfoFrameAt(TFileStream& Source, int64_t Offset, int64_t AudioEnd);

class TPieceWriter : public TCopyWatcher {
public:
    // Writes into Target from its position. The piece gets an information
    // frame when Allowed and the source had one (Source's marker) or the
    // piece's bit rates turn out to differ.
    TPieceWriter(TFileStream& Target, const TInfoFrame& Source, bool Allowed);

    void FrameAhead(const TFrameHeader& Frame, const uint8_t Header[FrameHeaderBytes]) override;
    void Seen(const char* Data, int64_t Count) override;

    // The piece gets an information frame (when Allowed) whatever the
    // source had: its decoders must be told what to drop. Before the first frame.
    void RequireInformation() { FRequired = true; }
    // The piece gets none at all.
    void ForbidInformation() { FAllowed = false; }
    // Writes Frame, made for the piece rather than copied, as its next frame.
    void WriteMadeFrame(const std::vector<uint8_t>& Frame);

    // The piece fades in and out (layer III frames of a bit rate their
    // headers tell). Before the first frame.
    void Fade(const TFades& Fades) { FFader = std::make_unique<TPieceFader>(Fades); }
    // The next frame is the first one heard: those before it only prepare
    // its decoding. Before that frame, whether any precede it or not.
    void MarkStart() {
        if (FFader) FFader->MarkStart();
    }

    // Lowers the gains of the frames the fades reach, and writes the
    // information frame into its place, saying that decoders should drop
    // Delay samples at the start and Padding at the end; leaves the target
    // at the end of the piece. False when a frame to fade cannot be (then
    // nothing more is written).
    bool Finish(int Delay, int Padding);

    uint32_t Frames() const { return FFrames; }
    // The information frame's bytes; 0 when the piece has none.
    int InformationBytes() const { return FReserved ? FLayout.Length : 0; }

private:
    void Reserve();
    void MakeRoom();

    TFileStream& FTarget;
    const TInfoFrame& FSource;
    bool FAllowed;
    const int64_t FBase;  // where the piece starts in the target
    bool FRequired = false;

    bool FLaidOut = false;  // FLayout holds the information frame's shape
    TInfoFrameLayout FLayout;
    bool FReserved = false;  // its place is kept in front of the audio
    int32_t FFirstBitRate = 0;
    bool FMixed = false;

    uint32_t FFrames = 0;
    uint64_t FAudioBytes = 0;  // of the frames announced
    double FMs = 0.0;
    TTocSampler FToc;
    TCrc16Stream FCrc;
    std::unique_ptr<TPieceFader> FFader;
};
