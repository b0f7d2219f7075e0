// The selection arithmetic held against the engine's own walk: a mark moved
// by a frame makes a save start or end exactly one frame further, and the
// piece the model reckons is the piece the engine measures.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "editor/CutSelection.h"
#include "engine/VekMp3.h"
#include "platform/FileStream.h"
#include "tests/support/FrameBuilder.h"

namespace {

using FrameBuilder::Cbr128;

// 400 frames of 26.12... ms (frame 49 starts at 1280 ms, a whole number
// only on paper), and 400 of exactly 24 ms.
struct TFile {
    FrameBuilder::TFrameKind Kind;
    std::string Path;
    std::shared_ptr<const TMp3FrameIndex> Frames;
    std::unique_ptr<TVekMP3> Engine;
};

class CutSelection : public ::testing::Test {
protected:
    TestFiles::TScratchDir Dir;
    TFile Files[2];

    void SetUp() override {
        FrameBuilder::TFrameKind Rate48k = Cbr128();
        Rate48k.SampleRate = 48000;
        Files[0].Kind = Cbr128();
        Files[1].Kind = Rate48k;
        for (int I = 0; I < 2; ++I) {
            TFile& F = Files[I];
            F.Path = Dir.Write("f" + std::to_string(I) + ".mp3", FrameBuilder::Frames(F.Kind, 400));
            TFileStream Stream(F.Path, TFileMode::fmOpenRead);
            F.Frames = std::make_shared<const TMp3FrameIndex>(TMp3FrameIndex::Build(Stream));
            F.Engine = std::make_unique<TVekMP3>(F.Path);
            ASSERT_TRUE(F.Engine->DataInfo.Valid);
        }
    }

    // The frames the engine saves from StartMs to EndMs, and the first of them.
    static void EnginePiece(TFile& F, int64_t StartMs, int64_t EndMs, int64_t& First, int64_t& Count,
                            int64_t& DurationMs) {
        const int Length = FrameBuilder::FrameLength(F.Kind);
        int64_t Bytes = 0, Unused = 0;
        // A save from 0 lasting StartMs takes exactly the frames a save from StartMs skips.
        F.Engine->MeasureSegment(0, int32_t(StartMs), Bytes, Unused);
        First = StartMs > 0 ? Bytes / Length : 0;
        F.Engine->MeasureSegment(int32_t(StartMs), int32_t(EndMs), Bytes, DurationMs);
        Count = Bytes / Length;
    }
};

TEST_F(CutSelection, AFrameStepMovesTheSavedPieceByExactlyOneFrame) {
    const struct {
        int File;
        int64_t Start, End;
        TMarkSide Side;
        int Steps;
        TNudgeStep Step;
        int64_t Ms;          // where the mark goes
        int64_t FirstFrame;  // the piece's first frame afterwards, and how many it has
        int64_t Frames;
    } Cases[] = {
        // The start mark goes to the boundary of the frame before or after the one the piece starts with.
        {0, 1000, 2000, TMarkSide::Start, 1, TNudgeStep::Frame, 1044, 40, 37},
        {0, 1000, 2000, TMarkSide::Start, -1, TNudgeStep::Frame, 992, 38, 39},
        {0, 1253, 5000, TMarkSide::Start, 1, TNudgeStep::Frame, -1, 49, -1},  // 1280 on paper
        {0, 0, 2000, TMarkSide::Start, -1, TNudgeStep::Frame, 0, 0, 77},
        {1, 480, 960, TMarkSide::Start, 1, TNudgeStep::Frame, 504, 21, 19},
        {1, 480, 960, TMarkSide::Start, -3, TNudgeStep::Frame, 408, 17, 23},
        // The end mark goes where the piece ends one frame sooner or later, its start kept.
        {0, 1000, 2000, TMarkSide::End, 1, TNudgeStep::Frame, 2044, 39, 40},
        {0, 1000, 2000, TMarkSide::End, -1, TNudgeStep::Frame, 1992, 39, 38},
        {1, 480, 960, TMarkSide::End, 2, TNudgeStep::Frame, 1008, 20, 22},
        {1, 480, 960, TMarkSide::End, -25, TNudgeStep::Frame, 480, 20, 0},
        // Never past the other mark nor the file's ends, never backwards.
        {0, 1000, 1030, TMarkSide::Start, 2, TNudgeStep::Frame, 1030, -1, -1},
        {0, 1000, 10448, TMarkSide::End, 1, TNudgeStep::Frame, 10448, -1, -1},
        {1, 0, 9600, TMarkSide::End, 5, TNudgeStep::Frame, 9600, 0, 400},
        // Seconds are plain milliseconds.
        {0, 500, 9000, TMarkSide::Start, 1, TNudgeStep::Second, 1500, -1, -1},
        {0, 500, 9000, TMarkSide::End, 1, TNudgeStep::TenSeconds, 10448, -1, -1},
        {0, 500, 9000, TMarkSide::Start, -1, TNudgeStep::TenSeconds, 0, -1, -1},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << "file " << C.File << ", " << C.Start << "-" << C.End << ", "
                                        << (C.Side == TMarkSide::Start ? "start " : "end ") << C.Steps);
        TFile& F = Files[C.File];
        TCutSelection Model;
        Model.Open(F.Engine->DataInfo.LengthMs, 26.0);
        Model.SetFrames(F.Frames);
        Model.SetMarks(C.Start, C.End);
        Model.Touch(C.Side);
        const int64_t Ms = Model.Nudged(C.Steps, C.Step);
        if (C.Ms >= 0) {
            EXPECT_EQ(Ms, C.Ms);
        }
        if (C.FirstFrame < 0) continue;
        const int64_t Start = C.Side == TMarkSide::Start ? Ms : C.Start;
        const int64_t End = C.Side == TMarkSide::End ? Ms : C.End;
        int64_t First = 0, Count = 0, DurationMs = 0;
        EnginePiece(F, Start, End, First, Count, DurationMs);
        EXPECT_EQ(First, C.FirstFrame);
        if (C.Frames >= 0) {
            EXPECT_EQ(Count, C.Frames);
        }
        // What the model says of the piece is what the engine saves.
        Model.SetMarks(Start, End);
        EXPECT_EQ(Model.Piece().Frames, Count);
        EXPECT_EQ(int64_t(std::trunc(Model.Piece().Ms)), DurationMs);
    }
}

TEST_F(CutSelection, BeforeTheFramesAreKnownAFrameIsItsNominalLengthAndThePieceTheMarksSpan) {
    TCutSelection Model;
    EXPECT_FALSE(Model.HasFile());
    EXPECT_EQ(Model.Nudged(1, TNudgeStep::Frame), 0);
    EXPECT_FALSE(Model.CanPlaySelection() || Model.CanPlayAfterStart() || Model.CanPlayBeforeEnd());

    Model.Open(10448, 26.1224);
    EXPECT_EQ(Model.EndMs(), 10448);
    EXPECT_EQ(Model.Touched(), TMarkSide::Start);
    Model.SetMarks(1000, 2000);
    EXPECT_EQ(Model.Nudged(1, TNudgeStep::Frame), 1026);
    EXPECT_EQ(Model.Piece().Frames, -1);
    EXPECT_EQ(Model.Piece().Ms, 1000.0);
}

TEST_F(CutSelection, TheStretchesToListenToEndWhereThePieceEnds) {
    TFile& F = Files[1];  // 24 ms frames, 9600 ms
    TCutSelection Model;
    Model.Open(F.Engine->DataInfo.LengthMs, 24.0);
    Model.SetFrames(F.Frames);
    const struct {
        int64_t Start, End;
        TPlayStretch Selection, AfterStart, BeforeEnd;
        bool CanPlay;
    } Cases[] = {
        // The piece from 1000 starts with the frame at 1008 and, 5000 ms long, ends at 6024.
        {1000, 6000, {1000, 6024}, {1000, 4000}, {3024, 6024}, true},
        {0, 2000, {0, 2016}, {0, 3000}, {0, 2016}, true},
        {8000, 9600, {8000, 9600}, {8000, 9600}, {6600, 9600}, true},
        {5000, 5000, {5000, 5016}, {5000, 8000}, {2016, 5016}, false},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Start << "-" << C.End);
        Model.SetMarks(C.Start, C.End);
        for (const auto& [Got, Want] :
             {std::pair(Model.Selection(), C.Selection), std::pair(Model.AfterStart(), C.AfterStart),
              std::pair(Model.BeforeEnd(), C.BeforeEnd)}) {
            EXPECT_EQ(Got.From, Want.From);
            EXPECT_EQ(Got.To, Want.To);
        }
        EXPECT_EQ(Model.CanPlaySelection(), C.CanPlay);
    }
}

}  // namespace
