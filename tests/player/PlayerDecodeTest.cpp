// Position X ms is the audio a cut starting at X ms begins with: what the
// player hands to its output from a range start X is compared with the cut
// the engine makes from X and with a decode of the whole file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/VekMp3.h"
#include "platform/FileStream.h"
#include "player/Mp3FrameIndex.h"
#include "player/Mpg123Player.h"
#include "tests/player/PlayerTestSupport.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using namespace PlayerTest;

namespace {

struct TRangeCapture {
    std::vector<int16_t> Samples;
    TPcmFormat Format;
    size_t StartFrame = 0;
    double StartMs = 0.0;
    int64_t FrameOffset = 0;
    int SamplesPerFrame = 0;
    std::vector<int32_t> FrameLengths;  // of the frames from the start frame on
};

TRangeCapture PlayCaptured(const std::string& File, int32_t FromMs, int32_t ToMs) {
    auto Owned = std::make_unique<TCaptureSink>();
    TCaptureSink* Sink = Owned.get();
    TMpg123Player Player(std::move(Owned));
    Player.SetFileName(File);
    Player.SetTimeFormat(TMPTimeFormats::tfMilliseconds);
    Player.Open();
    Player.SetPosition(FromMs);
    Player.SetEndPos(ToMs);
    Player.Play();
    EXPECT_TRUE(WaitFor([&] { return Player.Mode() == TMPModes::mpStopped; }, std::chrono::seconds(10)));
    TRangeCapture C;
    C.Samples = Sink->Samples();
    C.Format = Sink->Format();
    C.StartFrame = Player.StartFrame();
    C.StartMs = Player.FrameIndex()->StartOf(C.StartFrame);
    C.FrameOffset = Player.FrameIndex()->Frames()[C.StartFrame].Offset;
    C.SamplesPerFrame = Player.FrameIndex()->Frames()[C.StartFrame].Samples;
    for (size_t I = C.StartFrame; I < Player.FrameIndex()->Count(); ++I)
        C.FrameLengths.push_back(Player.FrameIndex()->Frames()[I].Length);
    EXPECT_TRUE(Player.LastPlaybackError().empty()) << Player.LastPlaybackError();
    Player.Close();
    return C;
}

// Index of the first differing sample, or -1.
int64_t FirstDifference(const std::vector<int16_t>& A, size_t AFrom, const std::vector<int16_t>& B, size_t BFrom,
                        size_t Count) {
    for (size_t I = 0; I < Count; ++I)
        if (A[AFrom + I] != B[BFrom + I]) return int64_t(I);
    return -1;
}

int LargestDifference(const std::vector<int16_t>& A, size_t AFrom, const std::vector<int16_t>& B, size_t BFrom,
                      size_t Count) {
    int Largest = 0;
    for (size_t I = 0; I < Count; ++I) Largest = std::max(Largest, std::abs(int(A[AFrom + I]) - int(B[BFrom + I])));
    return Largest;
}

std::vector<uint8_t> BytesAt(const std::string& File, int64_t Offset, int64_t Count) {
    TFileStream S(File, TFileMode::fmOpenRead);
    std::vector<uint8_t> B(size_t(Count), 0);
    S.SetPosition(Offset);
    S.Read(B.data(), Count);
    return B;
}

class PlayerDecode : public ::testing::TestWithParam<std::string> {};

TEST_P(PlayerDecode, RangeStartsWithTheAudioOfTheCutFromTheSameStart) {
    const std::string File = Fixture(GetParam());
    TVekMP3 Engine(File);  // no player: the engine measures and cuts
    ASSERT_TRUE(Engine.DataInfo.Valid);
    TScratchDir Dir;
    const int32_t Span = 600;
    for (int32_t FromMs : {0, 1, 250, 777, 1000}) {
        if (FromMs + Span > Engine.DataInfo.LengthMs) continue;
        SCOPED_TRACE("from " + std::to_string(FromMs));
        const TRangeCapture C = PlayCaptured(File, FromMs, FromMs + Span);
        const int Ch = C.Format.Channels;
        ASSERT_GT(Ch, 0);
        const long Rate = C.Format.Rate;

        // The player starts where the cut starts: the first frame at or after FromMs ...
        EXPECT_GE(C.StartMs, FromMs);
        EXPECT_LT(C.StartMs - FromMs, C.SamplesPerFrame * 1000.0 / Rate);
        // ... and hands over exactly the samples up to the end position.
        EXPECT_EQ(int64_t(C.Samples.size() / Ch), int64_t(std::ceil((FromMs + Span - C.StartMs) * Rate / 1000.0)));

        // The engine's cut from FromMs begins with the very same frame (behind
        // the fresh information frame a piece of a source with one starts with).
        const std::string Cut = Dir.Path("cut" + std::to_string(FromMs) + ".mp3");
        TId3v1Tag NoTag{};
        int64_t Bytes = 0, Duration = 0;
        ASSERT_TRUE(Engine.SaveSegment(FromMs, FromMs + Span, Cut, NoTag, Bytes, Duration));
        ASSERT_GT(Bytes, 4);
        const int64_t Fresh = FrameBuilder::LeadingInformationFrame(TestFiles::ReadAll(Cut));
        EXPECT_EQ(BytesAt(Cut, Fresh, 4), BytesAt(File, C.FrameOffset, 4));
        EXPECT_EQ(BytesAt(Cut, Fresh, 64), BytesAt(File, C.FrameOffset, 64));

        // Decoded, the cut sounds like the range once its first frames are
        // past: they lack the bit reservoir (up to 511 bytes of the frames
        // before) and the filter state that the player decodes as preroll.
        // From there on the samples agree to the last bit but one (the
        // synthesis filter rounds a little differently depending on how many
        // blocks came before).
        const TPcm CutPcm = DecodeFile(Cut, Rate, Ch);
        ASSERT_EQ(CutPcm.Frames() % size_t(C.SamplesPerFrame), 0u);
        size_t WarmUp = 0;
        const int64_t Reservoir = C.SamplesPerFrame == 576 ? 256 : 512;  // MPEG 2/2.5 layer III : MPEG 1
        // Frames until the main data before them (a frame less its header and
        // side information) covers a full reservoir, then three more for the
        // frames that decoded partly and the filters' memory.
        for (int64_t Bytes = 0; Bytes < Reservoir; ++WarmUp) Bytes += C.FrameLengths.at(WarmUp) - 40;
        WarmUp += 3;
        const size_t Skip = WarmUp * size_t(C.SamplesPerFrame * Ch);
        const size_t Common = std::min(CutPcm.Samples.size(), C.Samples.size());
        ASSERT_GT(Common, Skip);
        EXPECT_LE(LargestDifference(CutPcm.Samples, Skip, C.Samples, Skip, Common - Skip), 1);

        // And the range is exactly the whole file's decode from that frame on.
        const TPcm Whole = DecodeFile(File, Rate, Ch);
        const size_t At = size_t(std::llround(C.StartMs * Rate / 1000.0)) * Ch;
        ASSERT_LE(At + C.Samples.size(), Whole.Samples.size());
        EXPECT_EQ(FirstDifference(Whole.Samples, At, C.Samples, 0, C.Samples.size()), -1);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PlayerDecode,
                         ::testing::Values("cbr128.mp3", "vbr.mp3", "mpeg2-mono.mp3", "mpeg25.mp3", "layer2.mp2",
                                           "mono.mp3", "all-tags.mp3"),
                         [](const ::testing::TestParamInfo<std::string>& Info) {
                             std::string Name = Info.param.substr(0, Info.param.find('.'));
                             for (char& Ch : Name)
                                 if (!std::isalnum(static_cast<unsigned char>(Ch))) Ch = '_';
                             return Name;
                         });

TEST(PlayerDecode, TheRangeEndsAtTheEndOfTheAudio) {
    const std::string File = Fixture("mono.mp3");
    TVekMP3 Engine(File);
    const int32_t Length = int32_t(Engine.DataInfo.LengthMs);
    const TRangeCapture C = PlayCaptured(File, Length - 200, Length + 5000);
    const TPcm Whole = DecodeFile(File, C.Format.Rate, C.Format.Channels);
    const size_t At = size_t(std::llround(C.StartMs * C.Format.Rate / 1000.0)) * C.Format.Channels;
    // Everything from the start frame to the last frame, nothing more.
    EXPECT_EQ(At + C.Samples.size(), Whole.Samples.size());
    EXPECT_EQ(FirstDifference(Whole.Samples, At, C.Samples, 0, C.Samples.size()), -1);
}

}  // namespace

namespace {

TEST(PlayerDecode, AFileOfOneFrameIsPlayed) {
    // The first audio frame of cbr128.mp3 alone (the decoder holds a lone
    // first frame back until it sees another; the player releases it).
    TScratchDir Dir;
    const std::string One = Dir.Path("one.mp3");
    int64_t Offset = 0, Length = 0;
    {
        TFileStream In(Fixture("cbr128.mp3"), TFileMode::fmOpenRead);
        const TMp3FrameIndex Index = TMp3FrameIndex::Build(In);
        ASSERT_GT(Index.Count(), 1u);
        Offset = Index.Frames()[0].Offset;
        Length = Index.Frames()[0].Length;
    }
    {
        TFileStream Out(One, TFileMode::fmCreate);
        const std::vector<uint8_t> Bytes = BytesAt(Fixture("cbr128.mp3"), Offset, Length);
        Out.WriteBuffer(Bytes.data(), int64_t(Bytes.size()));
    }
    const TRangeCapture C = PlayCaptured(One, 0, 1000);
    EXPECT_EQ(C.Samples.size(), 1152u * 2);
}

}  // namespace
