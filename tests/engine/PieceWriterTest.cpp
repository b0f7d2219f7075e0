// When a piece of a built stream gets a fresh information frame, and where:
// a source without one gets one only when the piece's bit rates differ, the
// frames already written then move up behind it, and an empty piece gets none.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "engine/Crc16.h"
#include "engine/InfoFrame.h"
#include "engine/VekMp3.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using namespace FrameBuilder;
using TestFiles::ReadAll;
using TestFiles::TScratchDir;

namespace {

const uint8_t* U8(const Bytes& B) { return reinterpret_cast<const uint8_t*>(B.data()); }

TFrameKind At(int Kbps) {
    TFrameKind K = Cbr128();
    K.BitRateKbps = Kbps;
    return K;
}

class PieceWriterTest : public testing::Test {
protected:
    void Load(const Bytes& Data) {
        Engine.AnalyseFile(Dir.Write("src.mp3", Data));
        ASSERT_TRUE(Engine.DataInfo.Valid);
    }
    Bytes Save(int32_t StartMs, int32_t EndMs, const TSaveOptions& Options = {}, bool Tagged = false) {
        TId3v1Tag Tag{};
        if (Tagged) std::memcpy(Tag.Header, "TAG", 3);
        EXPECT_TRUE(Engine.SaveSegment(StartMs, EndMs, Dir.Path("out.mp3"), Tag, ByteCount, DurationMs, Options));
        return ReadAll(Dir.Path("out.mp3"));
    }
    // The fresh frame in front of Audio: a "Xing" record of its frames.
    void ExpectXingBefore(const Bytes& Piece, const Bytes& Audio, uint32_t Frames) {
        const int Fresh = LeadingInformationFrame(Piece);
        ASSERT_GT(Fresh, 0);
        EXPECT_TRUE(Piece.substr(size_t(Fresh), Audio.size()) == Audio) << "the frames behind it are not the copies";
        EXPECT_EQ(ByteCount, int64_t(Audio.size()));
        const TInfoFrame R = ParseInfoFrame(U8(Piece), Fresh);
        EXPECT_EQ(R.Marker, TInfoMarker::Xing);
        EXPECT_EQ(R.Frames, Frames);
        EXPECT_EQ(R.Bytes, uint32_t(Fresh + Audio.size()));
        ASSERT_TRUE(R.Lame);
        EXPECT_EQ(R.Lame->Encoder, "LAME");
        EXPECT_EQ(R.Lame->Delay, 0);
        EXPECT_EQ(R.Lame->Padding, 0);
        EXPECT_EQ(R.Lame->MusicCrc, Crc16(U8(Audio), Audio.size()));
        EXPECT_TRUE(R.Lame->TagCrcMatches);
    }

    TScratchDir Dir;
    TVekMP3 Engine;
    int64_t ByteCount = -1, DurationMs = -1;
};

TEST_F(PieceWriterTest, SourceWithoutOneGetsOneWhenTheBitRateChanges) {
    const Bytes Steady = Frames(Cbr128(), 5);
    const Bytes Mixed = Frames(Cbr128(), 3) + Frames(At(320), 2, 50) + Frames(At(64), 3, 90);
    Load(Steady + Mixed);
    // The first five frames share one bit rate: no information frame.
    EXPECT_EQ(Save(0, int32_t(5 * FrameMs(Cbr128()))), Steady);
    ExpectXingBefore(Save(0, INT32_MAX), Steady + Mixed, 13);
    // A piece that starts where the rates change.
    ExpectXingBefore(Save(int32_t(8 * FrameMs(Cbr128())), INT32_MAX), Frames(At(320), 2, 50) + Frames(At(64), 3, 90),
                     5);
    // Asked for none, it gets none.
    EXPECT_EQ(Save(0, INT32_MAX, {.InfoFrame = false}), Steady + Mixed);
}

// The copy has written a megabyte when the one frame of another rate comes:
// all of it moves up, in pieces larger than any buffer, and the tag follows.
TEST_F(PieceWriterTest, LateChangeMovesWhatWasWritten) {
    const Bytes Before = Frames(Cbr128(), 2600);
    const Bytes Other = Frame(At(160), 0x42);
    ASSERT_GT(Before.size(), 1u << 20);
    Load(Before + Other + Frames(Cbr128(), 2));
    const Bytes Piece = Save(0, INT32_MAX, {}, true);
    const Bytes Audio = Before + Other + Frames(Cbr128(), 2);
    ExpectXingBefore(Piece, Audio, 2603);
    EXPECT_EQ(Piece.size(), size_t(LeadingInformationFrame(Piece)) + Audio.size() + 128);
    EXPECT_EQ(Piece.substr(Piece.size() - 128, 3), "TAG");
    EXPECT_EQ(DurationMs, int64_t(2603 * FrameMs(Cbr128())));
}

TEST_F(PieceWriterTest, EmptyPieceGetsNoInformationFrame) {
    Load(InformationFrame(Cbr128(), "Info", 36) + Frames(Cbr128(), 10));
    EXPECT_EQ(Save(5000, 6000), "");
    EXPECT_EQ(ByteCount, 0);
    EXPECT_EQ(Save(5000, 6000, {}, true).size(), 128u);
}

// The encoder's padding belongs to a piece that ends with the source's last
// frame. Bytes that are no audio may follow it; the look for more audio
// behind a piece stops after 64 KiB of them, and the piece keeps no padding.
TEST_F(PieceWriterTest, PaddingWhenNoAudioFollowsThePiece) {
    const Bytes Source = TestFiles::ReadAll(TestFiles::Fixture("cbr128.mp3"));
    for (const auto& [Junk, Padding] : {std::pair<size_t, int>{0, 756}, {1000, 756}, {100000, 0}}) {
        SCOPED_TRACE(testing::Message() << Junk << " bytes of junk");
        Load(Source + Bytes(Junk, 'x'));
        const int32_t End = int32_t(Engine.DataInfo.LengthMs);
        for (const int32_t EndMs : {End, INT32_MAX}) {
            const Bytes Piece = Save(End / 2, EndMs);
            const TInfoFrame R = ParseInfoFrame(U8(Piece), LeadingInformationFrame(Piece));
            ASSERT_TRUE(R.Lame);
            // A piece that runs to the end of the audio has met no more of it.
            EXPECT_EQ(R.Lame->Padding, EndMs == INT32_MAX ? 756 : Padding);
        }
    }
}

}  // namespace
