// The level estimate against the decoded levels, on every fixture (digital
// silence, -70 dB noise and a fade in quiet.mp3 and gaps.mp3; MPEG 1, 2 and
// 2.5; layer II) and on a damaged file: no frame decodes above its ceiling,
// the quiet stretches are shown quiet without decoding, a range gets the
// whole file's estimates; and the silence search that builds on it finds
// exactly the runs of the scan that decodes every frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "player/FrameLevels.h"
#include "player/LevelEnvelope.h"
#include "player/LevelEstimate.h"
#include "player/Mp3FrameIndex.h"
#include "player/SilenceScan.h"
#include "tests/player/PlayerTestSupport.h"

using namespace PlayerTest;

namespace {

std::vector<TLevelEstimate> Estimates(const std::string& File, const TMp3FrameIndex& Index, size_t First) {
    std::vector<TLevelEstimate> Found;
    EstimateFrameLevels(File, Index, First, Index.Count(),
                        [&](size_t N, const TMp3IndexedFrame&, const TLevelEstimate& E) {
                            EXPECT_EQ(N, First + Found.size());
                            Found.push_back(E);
                        });
    return Found;
}

// gaps.mp3 with a frame of its last tone whose sync bits are cleared: the
// walk takes it, the decoder does not.
std::string DamagedCopy(const TScratchDir& Dir, size_t& Refused) {
    const std::string File = Fixture("gaps.mp3");
    const TMp3FrameIndex Index = TMp3FrameIndex::OfFile(File);
    Refused = Index.Count() - 40;
    std::string Bytes = TestFiles::ReadAll(File);
    Bytes[size_t(Index.Frames()[Refused].Offset) + 1] &= 0x1F;
    return Dir.Write("damaged.mp3", Bytes);
}

TEST(LevelEstimate, NoFrameDecodesAboveItsCeiling) {
    TScratchDir Dir;
    size_t Refused = 0;
    std::vector<std::string> Files = AllFixtures();
    Files.push_back(DamagedCopy(Dir, Refused));
    for (const std::string& File : Files) {
        SCOPED_TRACE(File);
        const TMp3FrameIndex Index = TMp3FrameIndex::OfFile(File);
        const std::vector<TLevelEstimate> Whole = Estimates(File, Index, 0);
        ASSERT_EQ(Whole.size(), Index.Count());
        std::vector<double> Errors;
        size_t Quiet = 0, ShownQuiet = 0;
        ScanFrameLevels(File, Index, 0, Index.Count(), [&](size_t N, const TMp3IndexedFrame&, const TFrameLevel& D) {
            const TLevelEstimate& E = Whole[N];
            EXPECT_LE(D.LevelDb, E.CeilingDb) << "frame " << N;
            if (D.LevelDb < -70.0) ++Quiet;
            if (D.LevelDb < -70.0 && E.CeilingDb < -48.0) ++ShownQuiet;
            if (E.Known && D.LevelDb > -60.0) Errors.push_back(std::fabs(E.RmsDb - D.LevelDb));
            if (E.Known) {
                EXPECT_TRUE(E.PeakDb <= 0.0 && E.RmsDb <= E.PeakDb) << "frame " << N;
            }
        });
        // Digital silence and the noise 70 dB down: nearly every such frame
        // is certainly quiet (the few that are not carry a tone's tail).
        EXPECT_GE(ShownQuiet, Quiet * 9 / 10);
        // The estimate itself: within a few dB for most loud frames.
        ASSERT_FALSE(Errors.empty());
        std::nth_element(Errors.begin(), Errors.begin() + Errors.size() / 2, Errors.end());
        EXPECT_LT(Errors[Errors.size() / 2], 8.0);

        // A range gets what the whole file's estimate has there.
        for (const size_t First : {Index.Count() / 3, Index.Count() - 1}) {
            const std::vector<TLevelEstimate> Part = Estimates(File, Index, First);
            for (size_t I = 0; I < Part.size(); ++I) {
                EXPECT_EQ(Part[I].Known, Whole[First + I].Known);
                EXPECT_EQ(Part[I].RmsDb, Whole[First + I].RmsDb) << "frame " << First + I;
                EXPECT_EQ(Part[I].CeilingDb, Whole[First + I].CeilingDb) << "frame " << First + I;
            }
        }
        if (File.find("damaged") == std::string::npos) {
            EXPECT_TRUE(std::all_of(Whole.begin(), Whole.end(), [](const TLevelEstimate& E) { return E.Known; }));
            continue;
        }
        // The refused frame says nothing, and the two after it promise nothing.
        EXPECT_FALSE(Whole[Refused].Known);
        EXPECT_TRUE(Whole[Refused + 1].Known);
        for (size_t I = Refused; I <= Refused + 2; ++I) EXPECT_EQ(Whole[I].CeilingDb, INFINITY) << "frame " << I;
    }
}

// A frame decoded alone (behind a frame that carries the reservoir) has the
// level the whole file's decode gives it, in every layer and version.
TEST(LevelEstimate, AFrameDecodedAloneHasItsLevelInTheWholeFile) {
    for (const char* Name : {"gaps.mp3", "quiet.mp3", "vbr.mp3", "mpeg25.mp3", "layer2.mp2"}) {
        SCOPED_TRACE(Name);
        const std::string File = Fixture(Name);
        const TMp3FrameIndex Index = TMp3FrameIndex::OfFile(File);
        std::vector<TFrameLevel> Whole;
        ScanFrameLevels(File, Index, 0, Index.Count(),
                        [&](size_t, const TMp3IndexedFrame&, const TFrameLevel& L) { Whole.push_back(L); });
        TLevelDecoder Decoder(File, Index);
        for (size_t N = 0; N < Index.Count(); ++N) {
            const TFrameLevel Alone = Decoder.DecodeAlone(N);
            EXPECT_EQ(Alone.Samples, Whole[N].Samples) << "frame " << N;
            if (Whole[N].LevelDb > -150.0) {
                EXPECT_NEAR(Alone.LevelDb, Whole[N].LevelDb, 0.001) << "frame " << N;
            }
        }
    }
}

// Buckets that straddle the threads' shares of the frames come out whole
// (quiet.mp3 three times over: frames enough for three threads).
TEST(LevelEstimate, EnvelopeIsTheSameOnAnyNumberOfThreads) {
    TScratchDir Dir;
    const std::string Once = TestFiles::ReadAll(Fixture("quiet.mp3"));
    const std::string File = Dir.Write("thrice.mp3", Once + Once + Once);
    const TMp3FrameIndex Index = TMp3FrameIndex::OfFile(File);
    for (const bool Decode : {false, true}) {
        const std::vector<TLevelBucket> One = LevelEnvelope(File, Index, {333.0, Decode, 1});
        ASSERT_EQ(One.size(), size_t(std::ceil(Index.TotalMs() / 333.0)));
        for (const int Threads : {2, 3}) {
            const std::vector<TLevelBucket> Many = LevelEnvelope(File, Index, {333.0, Decode, Threads});
            ASSERT_EQ(Many.size(), One.size());
            for (size_t I = 0; I < One.size(); ++I) {
                EXPECT_EQ(Many[I].FirstFrame, One[I].FirstFrame);
                EXPECT_EQ(Many[I].EndFrame, One[I].EndFrame);
                EXPECT_TRUE(Many[I].RmsDb == One[I].RmsDb || std::fabs(Many[I].RmsDb - One[I].RmsDb) < 1e-9)
                    << "bucket " << I << ": " << Many[I].RmsDb << " " << One[I].RmsDb;
                EXPECT_EQ(Many[I].PeakDb, One[I].PeakDb) << "bucket " << I;
                EXPECT_EQ(Many[I].Decoded, Decode);
            }
        }
    }
}

bool SameRuns(const std::vector<TSilence>& A, const std::vector<TSilence>& B) {
    return std::equal(A.begin(), A.end(), B.begin(), B.end(), [](const TSilence& X, const TSilence& Y) {
        return X.FirstFrame == Y.FirstFrame && X.EndFrame == Y.EndFrame && X.StartMs == Y.StartMs &&
               X.EndMs == Y.EndMs && X.SplitMs == Y.SplitMs;
    });
}

// Thresholds from digital silence only to everything, silences from none
// (every frame not shown quiet decoded) to longer than the file.
TEST(LevelEstimate, SilenceSearchFindsTheRunsOfTheFullDecode) {
    TScratchDir Dir;
    size_t Refused = 0;
    const std::vector<std::string> Files = {Fixture("quiet.mp3"), Fixture("gaps.mp3"),   DamagedCopy(Dir, Refused),
                                            Fixture("vbr.mp3"),   Fixture("mpeg25.mp3"), Fixture("layer2.mp2"),
                                            Fixture("crc.mp3"),   Fixture("free-format.mp3"),
                                            Fixture("mpeg2-mono-vbr.mp3")};
    const TSilenceScanOptions Table[] = {{-48.0, 2000}, {-48.0, 1000}, {-48.0, 300}, {-60.0, 500}, {-75.0, 400},
                                         {-30.0, 0},    {-200.0, 0},   {0.0, 1000},  {-48.0, 60},  {-48.0, 20000}};
    for (const std::string& File : Files)
        for (const TSilenceScanOptions& Options : Table) {
            SCOPED_TRACE(File + ", " + std::to_string(Options.ThresholdDb) + " dB, " +
                         std::to_string(Options.MinSilenceMs) + " ms");
            TSilenceScanFacts Facts;
            const std::vector<TSilence> Found = FindSilences(File, Options, {}, &Facts);
            EXPECT_TRUE(SameRuns(Found, FindSilencesOnThreads(File, Options, 2))) << Found.size() << " runs";
            EXPECT_EQ(Facts.LengthMs, TMp3FrameIndex::OfFile(File).LengthMs());
        }

    // Where the silences are long, half the frames are never decoded, even
    // in a file of 8 s (each probe decodes three more, and so does each
    // stretch that must decode exactly).
    TSilenceScanFacts Facts;
    ASSERT_EQ(FindSilences(Fixture("quiet.mp3"), {-48.0, 2000}, {}, &Facts).size(), 1u);
    EXPECT_LT(Facts.DecodedFrames, Facts.Frames / 2 + 10);
}

}  // namespace
