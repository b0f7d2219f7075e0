// The silence scan: every walked frame gets the level of its own samples
// (whatever stretch of the file it is decoded in), and the quiet runs of a
// file with known gaps come out where the gaps are, on the walk's frames and
// times, the same for any number of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "engine/FrameWalk.h"
#include "engine/VekMp3.h"
#include "platform/FileStream.h"
#include "platform/MappedFile.h"
#include "player/FrameLevels.h"
#include "player/Mp3FrameIndex.h"
#include "player/SilenceScan.h"
#include "tests/player/PlayerTestSupport.h"

using namespace PlayerTest;

namespace {

// The walk's own frames: each one's running sum before it (and the total
// last), its offset and its samples per channel.
struct TWalked {
    std::vector<double> StartMs;
    std::vector<int64_t> Offsets;
    std::vector<int64_t> Samples;
    bool Mono = false;
    int32_t Rate = 0;
};

TWalked Walk(const std::string& File) {
    TWalked W;
    TFileStream Source(File, TFileMode::fmOpenRead);
    TMp3DataInfo Info;
    AnalyseLayout(Source, Info);
    W.Mono = Info.Mono;
    W.Rate = Info.SampleRate;
    double Elapsed = 0.0;
    const double Total = WalkAudioFrames(Source, Info, [&](int64_t Offset, const TFrameHeader& Frame) {
        W.StartMs.push_back(Elapsed);
        W.Offsets.push_back(Offset);
        W.Samples.push_back(Frame.Samples);
        Elapsed += Frame.DurationMs;
    });
    W.StartMs.push_back(Total);
    return W;
}

std::vector<TFrameLevel> Levels(const std::string& File, const TMp3FrameIndex& Index, size_t First, size_t End) {
    std::vector<TFrameLevel> Found;
    ScanFrameLevels(File, Index, First, End, [&](size_t Number, const TMp3IndexedFrame&, const TFrameLevel& Level) {
        EXPECT_EQ(Number, First + Found.size());
        Found.push_back(Level);
    });
    return Found;
}

TMp3FrameIndex IndexOf(const std::string& File) {
    TFileStream Source(File, TFileMode::fmOpenRead);
    return TMp3FrameIndex::Build(Source);
}

// One level for each walked frame, from that frame's samples: its sample
// count, and the level of the same samples in an independent decode of the
// whole file (16-bit, so loud frames only, and not to the last bit). A range
// that starts inside the file gives the very levels of the whole-file scan.
TEST(SilenceScan, EachWalkedFrameGetsTheLevelOfItsOwnSamples) {
    for (const std::string& File : AllFixtures()) {
        SCOPED_TRACE(File);
        const TWalked W = Walk(File);
        const TMp3FrameIndex Index = IndexOf(File);
        const size_t Count = W.Offsets.size();
        ASSERT_EQ(Index.Count(), Count);
        const std::vector<TFrameLevel> Whole = Levels(File, Index, 0, Count);
        ASSERT_EQ(Whole.size(), Count);

        const int Channels = W.Mono ? 1 : 2;
        const TPcm Pcm = DecodeFile(File, W.Rate, Channels);
        ASSERT_EQ(Pcm.Frames(), size_t(std::accumulate(W.Samples.begin(), W.Samples.end(), int64_t(0))));
        size_t At = 0;
        for (size_t I = 0; I < Count; ++I) {
            ASSERT_EQ(Whole[I].Samples, W.Samples[I]) << "frame " << I;
            const size_t N = size_t(W.Samples[I]) * size_t(Channels);
            double Sum = 0.0;
            for (size_t S = At; S < At + N; ++S) Sum += double(Pcm.Samples[S]) * Pcm.Samples[S];
            At += N;
            const double Reference = 10.0 * std::log10(Sum / double(N) / (32768.0 * 32768.0));
            if (Reference > -60.0) {
                EXPECT_NEAR(Whole[I].LevelDb, Reference, 0.05) << "frame " << I;
            }
        }

        for (const size_t First : {Count / 3, Count / 2, Count - 1}) {
            const std::vector<TFrameLevel> Part = Levels(File, Index, First, Count);
            ASSERT_EQ(Part.size(), Count - First);
            for (size_t I = 0; I < Part.size(); ++I) {
                EXPECT_EQ(Part[I].Samples, Whole[First + I].Samples);
                EXPECT_EQ(Part[I].LevelDb, Whole[First + I].LevelDb) << "frame " << First + I << " from " << First;
            }
        }
    }
}

bool SameRuns(const std::vector<TSilence>& A, const std::vector<TSilence>& B) {
    if (A.size() != B.size()) return false;
    for (size_t I = 0; I < A.size(); ++I)
        if (A[I].FirstFrame != B[I].FirstFrame || A[I].EndFrame != B[I].EndFrame || A[I].StartMs != B[I].StartMs ||
            A[I].EndMs != B[I].EndMs || A[I].SplitMs != B[I].SplitMs)
            return false;
    return true;
}

// gaps.mp3: 2 s tone, 1.5 s silence, 1 s tone, 0.5 s silence, 2 s tone,
// decoded about 50 ms later than sox wrote it (LAME's delay).
constexpr double EncoderDelayMs = 1105 * 1000.0 / 22050;

TEST(SilenceScan, FindsTheGapsOfARecordingOnTheWalksFramesAndTimes) {
    const std::string File = Fixture("gaps.mp3");
    const TWalked W = Walk(File);
    const int64_t Count = int64_t(W.Offsets.size());
    const double FrameMs = W.StartMs[1];

    std::vector<std::pair<int64_t, int64_t>> Told;
    const std::vector<TSilence> Long =
        FindSilences(File, {-48.0, 1000}, [&](int64_t Done, int64_t Total) { Told.emplace_back(Done, Total); });
    ASSERT_EQ(Long.size(), 1u);
    const TSilence& Gap = Long[0];
    EXPECT_NEAR(Gap.StartMs, 2000 + EncoderDelayMs, 2 * FrameMs);
    EXPECT_NEAR(Gap.EndMs, 3500 + EncoderDelayMs, 2 * FrameMs);
    EXPECT_EQ(Gap.StartMs, W.StartMs[size_t(Gap.FirstFrame)]);
    EXPECT_EQ(Gap.EndMs, W.StartMs[size_t(Gap.EndFrame)]);
    const int64_t Middle = Gap.FirstFrame + (Gap.EndFrame - Gap.FirstFrame) / 2;
    EXPECT_EQ(Gap.SplitMs, W.StartMs[size_t(Middle)]);
    ASSERT_FALSE(Told.empty());
    EXPECT_EQ(Told.back(),
              std::make_pair(int64_t(std::trunc(W.StartMs.back())), int64_t(std::trunc(W.StartMs.back()))));

    // A cut from the whole milliseconds of SplitMs (rounded down: the skip
    // stops once the frames it passed reach the start) begins with the
    // middle frame; rounded up, a fractional SplitMs starts a frame later.
    TFileStream Source(File, TFileMode::fmOpenRead);
    TMappedFile Map(Source);
    auto StartFrameOf = [&](int64_t StartMs) {
        TStepRun Run;
        Map.Guarded([&] {
            Map.SetPosition(0);
            Run = SkipAudio(Map, StartMs);
        });
        return std::find(W.Offsets.begin(), W.Offsets.end(), Run.Position) - W.Offsets.begin();
    };
    EXPECT_EQ(StartFrameOf(int64_t(std::floor(Gap.SplitMs))), Middle);
    if (std::floor(Gap.SplitMs) != Gap.SplitMs) {
        EXPECT_EQ(StartFrameOf(int64_t(std::ceil(Gap.SplitMs))), Middle + 1);
    }

    // Other settings: the short gap too, nothing, everything. Any number
    // of threads finds the same.
    const std::vector<TSilence> Short = FindSilences(File, {-48.0, 300});
    ASSERT_EQ(Short.size(), 2u);
    EXPECT_TRUE(SameRuns({Short[0]}, Long));
    EXPECT_NEAR(Short[1].StartMs, 4500 + EncoderDelayMs, 2 * FrameMs);
    EXPECT_NEAR(Short[1].EndMs, 5000 + EncoderDelayMs, 2 * FrameMs);
    EXPECT_TRUE(FindSilences(File, {-48.0, 8000}).empty());
    // Only digital silence lies below -200 dB: the middle of each gap.
    const std::vector<TSilence> Digital = FindSilences(File, {-200.0, 0});
    ASSERT_EQ(Digital.size(), 2u);
    for (size_t I = 0; I < 2; ++I) {
        EXPECT_GT(Digital[I].FirstFrame, Short[I].FirstFrame);
        EXPECT_LE(Digital[I].EndFrame, Short[I].EndFrame);
    }
    const std::vector<TSilence> All = FindSilences(File, {0.0, 1000});
    ASSERT_EQ(All.size(), 1u);
    EXPECT_EQ(All[0].FirstFrame, 0);
    EXPECT_EQ(All[0].EndFrame, Count);
    EXPECT_EQ(All[0].StartMs, 0.0);
    EXPECT_EQ(All[0].EndMs, W.StartMs.back());

    for (const TSilenceScanOptions& Options : {TSilenceScanOptions{-48.0, 1000}, TSilenceScanOptions{-48.0, 0},
                                               TSilenceScanOptions{-60.0, 100}, TSilenceScanOptions{0.0, 0}}) {
        const std::vector<TSilence> One = FindSilencesOnThreads(File, Options, 1);
        for (const int Threads : {2, 3, 4, 7}) {
            SCOPED_TRACE(std::to_string(Options.ThresholdDb) + " dB, " + std::to_string(Threads) + " threads");
            EXPECT_TRUE(SameRuns(FindSilencesOnThreads(File, Options, Threads), One));
        }
    }
}

// A frame of the last tone whose header the walk takes but the decoder
// refuses (its sync bits cleared: the walk looks at the first byte only)
// gets no level, and every other frame keeps its own: the same as in the
// intact file before it, and again once the decoder has started afresh. A
// file that is no MP3 at all raises, and so does one that cannot be read.
TEST(SilenceScan, DamagedFilesScanAndFilesThatAreNoMp3OrUnreadableRaise) {
    TScratchDir Dir;
    const std::string File = Fixture("gaps.mp3");
    const TMp3FrameIndex Intact = IndexOf(File);
    const size_t Refused = Intact.Count() - 40;
    std::string Damaged = TestFiles::ReadAll(File);
    Damaged[size_t(Intact.Frames()[Refused].Offset) + 1] &= 0x1F;
    const std::string Broken = Dir.Write("damaged.mp3", Damaged);

    const std::vector<TFrameLevel> Good = Levels(File, Intact, 0, Intact.Count());
    const std::vector<TFrameLevel> Found = Levels(Broken, IndexOf(Broken), 0, Intact.Count());
    ASSERT_EQ(Found.size(), Good.size());
    for (size_t I = 0; I < Found.size(); ++I) {
        if (I == Refused) {
            EXPECT_EQ(Found[I].Samples, 0);
            EXPECT_EQ(Found[I].LevelDb, std::numeric_limits<double>::infinity());
        } else if (I < Refused || I > Refused + 12) {
            EXPECT_EQ(Found[I].Samples, Good[I].Samples) << "frame " << I;
            EXPECT_NEAR(std::max(Found[I].LevelDb, -200.0), std::max(Good[I].LevelDb, -200.0), 0.01) << "frame " << I;
        }
    }

    const std::string Text = Dir.Write("notes.mp3", std::string(4000, 'x'));
    try {
        FindSilences(Text, {});
        FAIL() << "no error";
    } catch (const EStreamError&) {
        FAIL() << "a file error for a file that reads";
    } catch (const std::runtime_error& E) {
        EXPECT_NE(std::string(E.what()).find("notes.mp3"), std::string::npos) << E.what();
    }
    EXPECT_THROW(FindSilences(Dir.Path("missing.mp3"), {}), EFOpenError);

    // A disk that fails once the frames have been indexed: the stretches'
    // own reads fail, on every thread, and the file layer's error comes out.
    constexpr int Plenty = 1 << 30;
    std::atomic<int> Left{Plenty};  // reads that succeed before the disk fails
    TFileStream::SetReadFaultForTests([&](const std::string&, int64_t) { return --Left >= 0 ? 0 : EIO; });
    IndexOf(File);
    Left = Plenty - Left;
    try {
        FindSilencesOnThreads(File, {}, 4);
        ADD_FAILURE() << "no error";
    } catch (const EReadError& E) {
        EXPECT_NE(std::string(E.what()).find("gaps.mp3"), std::string::npos) << E.what();
    }
    TFileStream::SetReadFaultForTests(nullptr);
}

}  // namespace
