// Streams the walk must measure right: stray bytes between frames, and
// free-format frames whose length no header tells.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <tuple>

#include "engine/VekMp3.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using namespace FrameBuilder;

namespace {

class StreamShapes : public testing::Test {
protected:
    // Analyses Data; the frames a save from StartMs on writes.
    Bytes Save(const Bytes& Data, int32_t StartMs = 0) {
        Engine.AnalyseFile(Dir.Write("src.mp3", Data));
        int64_t ByteCount = 0, DurationMs = 0;
        EXPECT_TRUE(Engine.SaveSegment(StartMs, INT32_MAX, Dir.Path("out.mp3"), TId3v1Tag{}, ByteCount, DurationMs,
                                       {.InfoFrame = false}));
        return TestFiles::ReadAll(Dir.Path("out.mp3"));
    }
    // Frames, Gap in front of frame Split: every frame is walked and saved.
    void ExpectWalked(const std::vector<Bytes>& Frames, double FrameMs, size_t Split, const Bytes& Gap = "") {
        Bytes Data, Whole, Tail;
        for (size_t I = 0; I < Frames.size(); ++I) {
            Data += (I == Split ? Gap : "") + Frames[I];
            Whole += Frames[I];
            if (I > Split) Tail += Frames[I];
        }
        EXPECT_EQ(Save(Data), Whole);
        EXPECT_EQ(Engine.DataInfo.LengthMs, int64_t(std::trunc(double(Frames.size()) * FrameMs)));
        EXPECT_EQ(Save(Data, int32_t(std::floor(double(Split) * FrameMs)) + 1), Tail);
    }

    TestFiles::TScratchDir Dir;
    TVekMP3 Engine;
};

// Stray bytes of any number, some like a sync: the walk finds the next
// frame that its successor confirms.
TEST_F(StreamShapes, StrayBytesLoseNoFrame) {
    std::vector<Bytes> Frames;
    for (int I = 0; I < 12; ++I) Frames.push_back(Frame(Cbr128(), uint8_t(1 + I)));
    for (const Bytes& Gap : {Bytes("?"), Bytes("???"), Bytes("\x00\xFF\xFB", 3), Bytes("\xFF\xFB\xF0", 3)})
        ExpectWalked(Frames, FrameMs(Cbr128()), 5, Gap);
}

// Free-format frames: as long as the distance to the next (the last: to the end).
TEST_F(StreamShapes, FreeFormatFramesAreMeasuredByTheirSuccessor) {
    // Header bytes 1 and 2, unpadded length, padding slot, samples, rate, kbit/s.
    using TCase = std::tuple<uint8_t, uint8_t, int, int, int, int, int>;
    for (const auto& [H1, RateBits, Unpadded, Slot, Samples, Rate, Kbps] :
         {TCase{0xFB, 0x00, 300, 1, 1152, 44100, 92}, TCase{0xF3, 0x04, 130, 1, 576, 24000, 43},
          TCase{0xFF, 0x08, 400, 4, 384, 32000, 267}}) {
        std::vector<Bytes> Frames;
        for (int I = 0; I < 20; ++I) {
            Frames.push_back({char(0xFF), char(H1), char(RateBits | (I % 3 == 1) << 1), char(0x40)});
            Frames.back().resize(size_t(Unpadded + (I % 3 == 1) * Slot), char(1 + I));
        }
        ExpectWalked(Frames, Samples * 1000.0 / Rate, 9);
        EXPECT_EQ(Engine.DataInfo.BitRate, Kbps);
    }
}

}  // namespace
