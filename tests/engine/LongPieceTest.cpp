// Pieces of sources many times longer than what a save loads and writes at
// a time: the frames go to the piece in long runs, split where a tag or stray
// bytes lie between them, written behind the walk; the piece holds exactly
// the frames, and the fresh information frame in front counts and checks them.
#include <gtest/gtest.h>

#include <climits>

#include "engine/Crc16.h"
#include "engine/InfoFrame.h"
#include "engine/VekMp3.h"
#include "tests/engine/ExpectedCut.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using namespace FrameBuilder;
using TestFiles::ReadAll;
using TestFiles::TScratchDir;

namespace {

const uint8_t* U8(const Bytes& B) { return reinterpret_cast<const uint8_t*>(B.data()); }

// Count frames of changing bit rates and paddings, as a variable-rate
// encoder writes them.
Bytes VariedFrames(int Count, int First = 0) {
    static const int Rates[] = {128, 160, 192, 128, 112, 256, 96};
    Bytes B;
    for (int I = First; I < First + Count; ++I) {
        TFrameKind K = Cbr128();
        K.BitRateKbps = Rates[I % 7];
        K.Padding = I % 3 == 0;
        B += Frame(K, uint8_t(1 + I % 200));
    }
    return B;
}

class LongPiece : public testing::Test {
protected:
    void Load(const Bytes& Data) {
        Engine.AnalyseFile(Dir.Write("src.mp3", Data));
        ASSERT_TRUE(Engine.DataInfo.Valid);
    }
    Bytes Save(int32_t StartMs, int32_t EndMs) {
        EXPECT_TRUE(Engine.SaveSegment(StartMs, EndMs, Dir.Path("out.mp3"), TId3v1Tag{}, ByteCount, DurationMs));
        return ReadAll(Dir.Path("out.mp3"));
    }
    // Piece is a fresh information frame for Audio, then Audio.
    void ExpectFreshFrameBefore(const Bytes& Piece, const Bytes& Audio, int Frames) {
        const int Fresh = LeadingInformationFrame(Piece);
        ASSERT_GT(Fresh, 0);
        EXPECT_TRUE(Piece.substr(size_t(Fresh)) == Audio) << "the frames behind it are not the copies";
        EXPECT_EQ(ByteCount, int64_t(Audio.size()));
        const TInfoFrame R = ParseInfoFrame(U8(Piece), Fresh);
        EXPECT_EQ(R.Frames, uint32_t(Frames));
        EXPECT_EQ(R.Bytes, uint32_t(Piece.size()));
        ASSERT_TRUE(R.Lame);
        EXPECT_EQ(R.Lame->MusicCrc, Crc16(U8(Audio), Audio.size()));
        EXPECT_TRUE(R.Lame->TagCrcMatches);
    }

    TScratchDir Dir;
    TVekMP3 Engine;
    int64_t ByteCount = -1, DurationMs = -1;
};

// About 7 MB of frames behind the encoder's information frame: whole, from
// the middle, and to the end.
TEST_F(LongPiece, ThePieceHoldsItsFramesAndTheFrameCountsThem) {
    const Bytes Data = InformationFrame(Cbr128(), "Xing", SideInfoOffset(Cbr128())) + VariedFrames(13000);
    Load(Data);
    const TWalk Walk = WalkFrames(Data, 0, int64_t(Data.size()));
    for (const auto& [StartMs, EndMs] :
         {std::pair<int32_t, int32_t>{0, INT32_MAX}, {60000, 250000}, {200000, INT32_MAX}}) {
        SCOPED_TRACE(testing::Message() << StartMs << ".." << EndMs);
        const TExpectedCut Want = ExpectedCut(Data, Walk, StartMs, EndMs);
        ASSERT_GT(Want.Data.size(), size_t(2 << 20));
        ExpectFreshFrameBefore(Save(StartMs, EndMs), Want.Data, Want.Frames);
        EXPECT_EQ(DurationMs, Want.DurationMs);
    }
}

// A tag, stray bytes and an information frame inside the stream split the
// frames into runs; none of them reaches the piece.
TEST_F(LongPiece, WhatLiesBetweenRunsOfFramesStaysOut) {
    const Bytes A = VariedFrames(5000), B = VariedFrames(3000, 5000), C = VariedFrames(4000, 8000);
    const Bytes Info = InformationFrame(Cbr128(), "Info", SideInfoOffset(Cbr128()));
    Load(Info + A + Id3v2Tag(3000) + B + "JUNK" + Info + C);
    ExpectFreshFrameBefore(Save(0, INT32_MAX), A + B + C, 12000);
}

}  // namespace
