// Saves that cannot hurt: a source that fails or shrinks while the cut reads
// it ends the save with an error and leaves the target as it was; a target
// that is no regular file is refused; padding beyond 2 GiB is measured.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/VekMp3.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using namespace FrameBuilder;
using TestFiles::ReadAll;
using TestFiles::TScratchDir;
namespace fs = std::filesystem;

namespace {

class SaveSafetyTest : public testing::Test {
protected:
    ~SaveSafetyTest() override { TFileStream::SetReadFaultForTests(nullptr); }
    TScratchDir Dir;
};

// 40 s of frames read in 256 KiB pieces; a cut from 30 s skips 479 kB before
// it copies, so a fault can be placed in the skip (the read at 256 KiB) or in
// the copy (the read at 512 KiB). Every fault must end the
// save with a read error naming the source, at once, with the old target
// left as it was and no temporary file.
TEST_F(SaveSafetyTest, ReadFaultsInTheSkipAndTheCopyFailTheSave) {
    const Bytes Audio = Frames(Cbr128(), 1531);
    const int64_t SkipEnd = 1149 * 417;  // the frame at 30 s
    const struct {
        const char* What;
        int64_t FaultAt;  // the first read at or after this offset meets the fault
        int Error;        // or 0: the file is shortened to Shorten there
        int64_t Shorten;
        const char* Reason;
    } Cases[] = {
        {"I/O error in the skip", 200000, EIO, 0, "Input/output error"},
        {"emptied in the skip", 200000, 0, 0, "shorter than when it was opened"},
        {"shortened in the skip", 200000, 0, 400000, "shorter than when it was opened"},
        {"I/O error in the copy", SkipEnd, EIO, 0, "Input/output error"},
        {"shortened in the copy", SkipEnd, 0, SkipEnd + 50000, "shorter than when it was opened"},
    };
    for (const auto& C : Cases) {
        const std::string Source = Dir.Write("src.mp3", Audio);
        const std::string Out = Dir.Write("out.mp3", "previous piece");
        TVekMP3 Engine(Source);
        ASSERT_TRUE(Engine.DataInfo.Valid);
        bool Met = false;
        TFileStream::SetReadFaultForTests([&](const std::string& File, int64_t At) {
            if (File != Source || At < C.FaultAt || Met) return 0;
            Met = true;
            if (C.Error == 0) {
                EXPECT_EQ(::truncate(File.c_str(), C.Shorten), 0);
            }
            return C.Error;
        });
        int64_t ByteCount = -7, DurationMs = -7;
        try {
            Engine.SaveSegment(30000, 35000, Out, TId3v1Tag{}, ByteCount, DurationMs);
            ADD_FAILURE() << C.What << ": saved";
        } catch (const EReadError& E) {
            const std::string Text = E.what();
            EXPECT_NE(Text.find(Source), std::string::npos) << C.What << ": " << Text;
            EXPECT_NE(Text.find(C.Reason), std::string::npos) << C.What << ": " << Text;
        }
        TFileStream::SetReadFaultForTests(nullptr);
        EXPECT_TRUE(Met) << C.What;
        EXPECT_EQ(ByteCount, -7) << C.What;
        EXPECT_EQ(ReadAll(Out), "previous piece") << C.What;
        EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"src.mp3", "out.mp3"})) << C.What;
    }
}

// A source shortened after its analysis, where the save still expects audio:
// on a frame's edge, inside a frame, before the start. The save fails at
// once (it used to walk on for ever where the file ended on a frame's edge)
// and leaves the target as it was.
TEST_F(SaveSafetyTest, ASourceShortenedSinceItsAnalysisFailsTheSave) {
    const Bytes Audio = Frames(Cbr128(), 200);
    const struct {
        size_t Keep;
        int32_t StartMs;
    } Cases[] = {{100 * 417, 0}, {100 * 417 + 100, 0}, {2, 0}, {50 * 417, 2000}, {40 * 417, 2000}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Keep << " bytes kept, from " << C.StartMs);
        const std::string Source = Dir.Write("src.mp3", Audio);
        TVekMP3 Engine(Source);
        ASSERT_TRUE(Engine.DataInfo.Valid);
        TestFiles::WriteAll(Source, Audio.substr(0, C.Keep));
        const std::string Out = Dir.Write("out.mp3", "previous piece");
        int64_t ByteCount = -7, DurationMs = -7;
        EXPECT_THROW(Engine.SaveSegment(C.StartMs, 100000, Out, TId3v1Tag{}, ByteCount, DurationMs), EReadError);
        EXPECT_EQ(ByteCount, -7);
        EXPECT_EQ(ReadAll(Out), "previous piece");
        EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"src.mp3", "out.mp3"}));
    }
}

TEST_F(SaveSafetyTest, TargetsThatAreNoRegularFilesAreRefused) {
    const std::string Source = Dir.Write("src.mp3", Frames(Cbr128(), 40));
    const std::string Fifo = Dir.Path("fifo");
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    fs::create_symlink(Fifo, Dir.Path("link-to-fifo"));
    TVekMP3 Engine(Source);
    for (const std::string& Target : {Fifo, Dir.Path("link-to-fifo"), std::string("/dev/null")}) {
        int64_t ByteCount = -7, DurationMs = -7;
        EXPECT_FALSE(Engine.SaveSegment(0, 1000, Target, TId3v1Tag{}, ByteCount, DurationMs)) << Target;
        EXPECT_EQ(Engine.LastSaveFailure(), TSaveFailure::TargetNotRegular) << Target;
    }
    EXPECT_TRUE(fs::is_fifo(Fifo));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"src.mp3", "fifo", "link-to-fifo"}));
}

TEST_F(SaveSafetyTest, SourcesThatAreNoRegularFilesAreRefusedWithoutWaiting) {
    const std::string Fifo = Dir.Path("fifo.mp3");
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    TVekMP3 Engine;
    try {
        Engine.AnalyseFile(Fifo);
        FAIL() << "analysed a FIFO";
    } catch (const EFOpenError& E) {
        EXPECT_NE(std::string(E.what()).find(NotARegularFile), std::string::npos) << E.what();
    }
    EXPECT_FALSE(Engine.DataInfo.Valid);
}

// Zero bytes after an ID3v2 tag are counted in 64 bits: 2 GiB and more of
// them (a hole of a sparse file here, so the test stays quick) still lead to
// the first frame.
TEST_F(SaveSafetyTest, PaddingBeyond2GiB) {
    const int64_t Zeros = (int64_t(1) << 31) + 4096 + 3;
    const Bytes Tag = Id3v2Tag(20);
    const Bytes Audio = Frames(Cbr128(), 40);
    const std::string Source = Dir.Path("padded.mp3");
    {
        TFileStream S(Source, TFileMode::fmCreate);
        S.WriteBuffer(Tag.data(), int64_t(Tag.size()));
        S.SetPosition(int64_t(Tag.size()) + Zeros);
        S.WriteBuffer(Audio.data(), int64_t(Audio.size()));
    }
    TVekMP3 Engine(Source);
    const TMp3DataInfo& D = Engine.DataInfo;
    ASSERT_TRUE(D.Valid);
    EXPECT_EQ(D.Id3v2Size, int32_t(Tag.size()));
    EXPECT_EQ(D.ZeroPadding, Zeros);
    EXPECT_EQ(D.FirstFrameOffset(), int64_t(Tag.size()) + Zeros);
    EXPECT_EQ(D.LengthMs, int64_t(40 * FrameMs(Cbr128())));
    int64_t ByteCount = 0, DurationMs = 0;
    ASSERT_TRUE(Engine.SaveSegment(0, 100000, Dir.Path("out.mp3"), TId3v1Tag{}, ByteCount, DurationMs));
    EXPECT_TRUE(ReadAll(Dir.Path("out.mp3")) == Audio);
}

}  // namespace
