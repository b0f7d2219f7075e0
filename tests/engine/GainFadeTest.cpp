// Fades and changes of level through the frames' global gains, over real
// encoder output of every kind a gain lives in (MPEG 1, 2 and 2.5, mono and
// stereo, CRC-protected): what a decoder makes of them, which bytes change,
// the CRCs, and the way back to the very bytes.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/Crc16.h"
#include "engine/FrameGain.h"
#include "engine/GainFile.h"
#include "engine/PieceFades.h"
#include "engine/PieceWriter.h"
#include "engine/VekMp3.h"
#include "tests/engine/Mpg123Decode.h"
#include "tests/support/TestFiles.h"

using TestFiles::Fixture;
using TestFiles::ReadAll;
using TestFiles::TScratchDir;

namespace {

struct TFrameAt {
    int64_t Offset;
    TFrameHeader Frame;
};

// The audio frames of File as a cut of it takes them, and its information record.
std::vector<TFrameAt> FramesOf(const std::string& File, TInfoFrame* Record = nullptr) {
    TFileStream S(File, TFileMode::fmOpenRead);
    TMp3DataInfo Info;
    AnalyseLayout(S, Info);
    std::vector<TFrameAt> Frames;
    WalkAudioFrames(S, Info, [&](int64_t At, const TFrameHeader& F) { Frames.push_back({At, F}); });
    if (Record) *Record = ReadInfoFrameAt(S, Info.FirstFrameOffset(), Info.AudioEnd());
    return Frames;
}

// Protected frames whose CRC does not hold.
int BadFrameCrcs(const std::string& File) {
    const std::string B = ReadAll(File);
    int Bad = 0;
    for (const TFrameAt& F : FramesOf(File)) {
        auto* H = reinterpret_cast<const uint8_t*>(B.data() + F.Offset);
        TSideInfoPlace P;
        if (!FindSideInfo(H, F.Frame, P) || !P.Crc) continue;
        Bad += FrameCrc16(H + P.Offset, size_t(P.Bytes), FrameCrc16(H + 2, 2)) != (H[4] << 8 | H[5]);
    }
    return Bad;
}

double RmsDb(const std::vector<int16_t>& Pcm, size_t From, size_t Count) {
    double Sum = 0;
    for (size_t I = From; I < From + Count && I < Pcm.size(); ++I) Sum += double(Pcm[I]) * Pcm[I];
    return 10 * std::log10(Sum / double(Count) + 1e-9);
}

const char* const Kinds[] = {"cbr128.mp3", "mono.mp3", "mpeg2-mono.mp3", "mpeg25.mp3", "crc.mp3"};

TEST(Fades, DecodeAsRampsAndChangeOnlyTheGainsOfTheFadedFrames) {
    constexpr int32_t FadeMs = 300;
    for (const char* Kind : Kinds)
        for (const bool Exact : {false, true}) {
            SCOPED_TRACE(std::string(Kind) + (Exact ? " exact" : ""));
            TScratchDir Dir;
            TVekMP3 Engine(Fixture(Kind));
            TSaveOptions O;
            O.Exact = Exact;
            int64_t Bytes = 0, Ms = 0;
            ASSERT_TRUE(Engine.SaveSegment(200, 1400, Dir.Path("plain.mp3"), {}, Bytes, Ms, O));
            O.Fades = {FadeMs, FadeMs};
            ASSERT_TRUE(Engine.SaveSegment(200, 1400, Dir.Path("faded.mp3"), {}, Bytes, Ms, O));
            const std::string Plain = ReadAll(Dir.Path("plain.mp3")), Faded = ReadAll(Dir.Path("faded.mp3"));
            ASSERT_EQ(Plain.size(), Faded.size());

            // Only the side information (and CRC) of frames in the fades, and
            // the information frame's CRCs for the bytes as written.
            TInfoFrame Record;
            const std::vector<TFrameAt> Frames = FramesOf(Dir.Path("faded.mp3"), &Record);
            const double FrameMs = Frames[0].Frame.DurationMs;
            const size_t Edge = size_t(FadeMs / FrameMs) + 6;  // an exact start's frames in front, one granule's spread
            for (size_t I = 0; I < Frames.size(); ++I) {
                const bool InFade = I < Edge || I + Edge >= Frames.size();
                const auto Length = size_t(Frames[I].Frame.Length);
                const size_t Kept = InFade ? std::min<size_t>(Length, GainHeadBytes) : 0;
                const size_t At = size_t(Frames[I].Offset) + Kept;
                EXPECT_EQ(Faded.compare(At, Length - Kept, Plain, At, Length - Kept), 0) << "frame " << I;
            }
            EXPECT_FALSE(Faded == Plain);
            const auto Audio = size_t(Frames[0].Offset);
            ASSERT_TRUE(Record.Lame);
            EXPECT_EQ(Record.Lame->MusicCrc,
                      Crc16(reinterpret_cast<const uint8_t*>(Faded.data()) + Audio, Faded.size() - Audio));
            EXPECT_TRUE(Record.Lame->TagCrcMatches);
            EXPECT_EQ(BadFrameCrcs(Dir.Path("faded.mp3")), 0);

            // Decoded as players do: near silence at the edges, rising
            // through the fade in to half the amplitude half way, the same
            // samples between the fades. (Where a granule sounds depends on
            // the decoder's delay and the start: the levels are taken over
            // stretches, and a piece cut without an exact start may decode
            // its first frame silent.)
            const TDecodeResult P = DecodeWithMpg123(Dir.Path("plain.mp3"), {true, true});
            const TDecodeResult F = DecodeWithMpg123(Dir.Path("faded.mp3"), {true, true});
            ASSERT_EQ(F.Error, "");
            ASSERT_EQ(P.Pcm.size(), F.Pcm.size());
            const auto At = [&](double Ms) { return size_t(Ms * double(P.Rate) / 1000) * size_t(P.Channels); };
            const auto Ratio = [&](size_t From, size_t Count) {
                return RmsDb(F.Pcm, From, Count) - std::max(RmsDb(P.Pcm, From, Count), 40.0);
            };
            const size_t Granule = size_t(576 * P.Channels);
            EXPECT_LT(Ratio(0, Granule), -20);
            EXPECT_LT(Ratio(P.Pcm.size() - Granule, Granule), -20);
            double Before = -1000;
            for (double Ms = 0; Ms + 50 <= FadeMs; Ms += 50) {
                const double Now = Ratio(At(Ms), At(50));
                EXPECT_GT(Now, Before - 1) << Ms << " ms";
                Before = Now;
            }
            EXPECT_NEAR(Ratio(At(100), At(100)), -6.5, 3.0);
            const size_t From = At(FadeMs) + 3 * Granule, To = P.Pcm.size() - At(FadeMs) - 3 * Granule;
            EXPECT_TRUE(std::equal(P.Pcm.begin() + long(From), P.Pcm.begin() + long(To), F.Pcm.begin() + long(From)));
        }
    // Frames without a gain are not faded, and nothing is saved.
    TScratchDir Dir;
    int64_t Bytes = 0, Ms = 0;
    for (const char* Other : {"layer2.mp2", "free-format.mp3"}) {
        TVekMP3 Engine(Fixture(Other));
        TSaveOptions O;
        O.Fades = {100, 0};
        EXPECT_FALSE(Engine.SaveSegment(0, 1000, Dir.Path("x.mp3"), {}, Bytes, Ms, O));
        EXPECT_EQ(Engine.LastSaveFailure(), TSaveFailure::GainUnchangeable);
    }
    EXPECT_TRUE(Dir.Entries().empty());
}

TEST(Fades, StepsFollowTheAmplitudeDownToTheFloor) {
    const struct {
        double Fraction;
        int Steps;
    } Cases[] = {{-0.5, FadeFloorSteps},
                 {0.0, FadeFloorSteps},
                 {0.0005, FadeFloorSteps},
                 {0.001, 40},
                 {0.01, 27},
                 {0.5, 4},
                 {0.99, 0},
                 {1.0, 0},
                 {1.5, 0}};
    for (const auto& C : Cases) EXPECT_EQ(FadeSteps(C.Fraction), C.Steps) << C.Fraction;
    for (double F = 0.0; F < 1.0; F += 0.01) EXPECT_GE(FadeSteps(F), FadeSteps(F + 0.01)) << F;
}

// A protected frame whose CRC was already wrong keeps it wrong: a change of
// gain must not make a damaged frame look whole to the decoders that check.
TEST(Gain, ADamagedFrameStaysDamaged) {
    TScratchDir Dir;
    std::string Bytes = ReadAll(Fixture("crc.mp3"));
    const std::vector<TFrameAt> Frames = FramesOf(Fixture("crc.mp3"));
    ASSERT_GT(Frames.size(), 30u);
    const auto Crc = size_t(Frames[20].Offset) + FrameHeaderBytes;
    Bytes[Crc] = char(Bytes[Crc] ^ 0x5A);
    const std::string Damaged = Dir.Write("damaged.mp3", Bytes), A = Dir.Path("a.mp3"), B = Dir.Path("b.mp3");
    ASSERT_EQ(BadFrameCrcs(Damaged), 1);
    ASSERT_TRUE(ChangeGain(Damaged, A, TExisting::Replace, {-2, 0, -1, false, false}).Saved);
    EXPECT_EQ(BadFrameCrcs(A), 1);
    EXPECT_EQ(ReadAll(A).compare(Crc, 2, Bytes, Crc, 2), 0);
    ASSERT_TRUE(ChangeGain(A, B, TExisting::Replace, {2, 0, -1, false, false}).Saved);
    EXPECT_TRUE(ReadAll(B) == Bytes);
}

TEST(Gain, ChangesAndUndoesToTheVeryBytes) {
    // Beside the kinds of stream, tags at both ends, an APE tag whose header
    // does not agree with its footer on the count of its items, and one of a
    // footer alone.
    TScratchDir Odd;
    std::string Ape = ReadAll(Fixture("ape-id3v1.mp3"));
    Ape[Ape.find("APETAGEX") + 16] ^= 0x70;
    const std::string Footer = std::string("APETAGEX\xD0\x07\0\0\x20", 13) + std::string(19, '\0');
    std::vector<std::string> Sources{Odd.Write("odd-ape.mp3", Ape),
                                     Odd.Write("empty-ape.mp3", ReadAll(Fixture("mono.mp3")) + Footer)};
    for (const char* Kind : {"cbr128.mp3", "mono.mp3", "mpeg2-mono.mp3", "mpeg25.mp3", "crc.mp3", "all-tags.mp3"})
        Sources.push_back(Fixture(Kind));
    for (const std::string& Source : Sources) {
        SCOPED_TRACE(Source);
        TScratchDir Dir;
        const std::string Original = ReadAll(Source);
        const std::string A = Dir.Path("a.mp3"), B = Dir.Path("b.mp3");
        const auto Change = [](const std::string& From, const std::string& To, TGainRequest R) {
            return ChangeGain(From, To, TExisting::Replace, R);
        };
        // Down and up again, a range of it: the same bytes.
        TGainResult R = Change(Source, A, {-2, 300, 900, false, false});
        ASSERT_TRUE(R.Saved);
        EXPECT_GT(R.Frames, 10u);
        EXPECT_FALSE(ReadAll(A) == Original);
        EXPECT_EQ(BadFrameCrcs(A), 0);
        TInfoFrame Record;
        const std::vector<TFrameAt> Frames = FramesOf(A, &Record);
        // Just the frames of the range, each in its head alone.
        const std::string Changed = ReadAll(A);
        uint32_t Touched = 0;
        double Ms = 0;
        for (const TFrameAt& F : Frames) {
            const auto Kept = size_t(std::min(GainHeadBytes, F.Frame.Length));
            if (Changed.compare(size_t(F.Offset), Kept, Original, size_t(F.Offset), Kept) != 0) {
                ++Touched;
                EXPECT_TRUE(Ms >= 300 && Ms < 900 + F.Frame.DurationMs) << Ms << " ms";  // as a cut takes them
            }
            Ms += F.Frame.DurationMs;
            EXPECT_EQ(Changed.compare(size_t(F.Offset) + Kept, size_t(F.Frame.Length) - Kept, Original,
                                      size_t(F.Offset) + Kept, size_t(F.Frame.Length) - Kept),
                      0);
        }
        EXPECT_LE(Touched, R.Frames);
        EXPECT_GE(Touched + 2, R.Frames);  // a frame of digital silence codes nothing to change
        EXPECT_EQ(R.MusicCrc, Record.Lame.has_value());
        ASSERT_TRUE(Change(A, B, {2, 300, 900, false, false}).Saved);
        EXPECT_TRUE(ReadAll(B) == Original);

        // Far up, most granules held at the top, and the record undone.
        R = Change(Source, A, {200, 0, -1, true, false});
        ASSERT_TRUE(R.Saved);
        EXPECT_GT(R.Clamped, R.Granules / 2);
        EXPECT_TRUE(R.Recorded);
        EXPECT_EQ(Change(A, A, {-3, 0, 1000, false, false}).Refusal, TGainRefusal::OtherRange);
        R = Change(A, B, {0, 0, -1, false, true});
        ASSERT_TRUE(R.Saved);
        EXPECT_EQ(R.Steps, -200);
        EXPECT_TRUE(ReadAll(B) == Original);
        EXPECT_EQ(Change(B, A, {0, 0, -1, false, true}).Refusal, TGainRefusal::NoRecord);

        // A change of the recorded frames brings the record up to date;
        // back at no change, the record goes with what it added.
        ASSERT_TRUE(Change(Source, A, {-4, 0, -1, true, false}).Saved);
        ASSERT_TRUE(Change(A, A, {1, 0, -1, false, false}).Recorded);
        EXPECT_FALSE(Change(A, A, {3, 0, -1, false, false}).Recorded);
        EXPECT_TRUE(ReadAll(A) == Original);
    }
    TScratchDir Dir;
    for (const char* Other : {"layer2.mp2", "free-format.mp3"})
        EXPECT_EQ(ChangeGain(Fixture(Other), Dir.Path("x.mp3"), TExisting::Replace, {3, 0, -1, true, false}).Refusal,
                  TGainRefusal::Unchangeable);
    EXPECT_TRUE(Dir.Entries().empty());
}

}  // namespace
