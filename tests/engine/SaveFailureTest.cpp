// Why a save returned false: each refusal names its own reason, and a
// successful save clears the last one.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/VekMp3.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using namespace FrameBuilder;
using TestFiles::TScratchDir;
namespace fs = std::filesystem;

namespace {

constexpr int64_t Untouched = -7;

class SaveFailureTest : public testing::Test {
protected:
    SaveFailureTest() {
        Source = Dir.Write("src.mp3", Frames(Cbr128(), 40));
        Engine.AnalyseFile(Source);
    }
    // Saves the first second to Target; the result must be false exactly when
    // a reason is expected, and a refused save must not touch its outputs.
    void ExpectSave(const std::string& Target, TSaveFailure Expected) {
        int64_t ByteCount = Untouched, DurationMs = Untouched;
        const bool Saved = Engine.SaveSegment(0, 1000, Target, TId3v1Tag{}, ByteCount, DurationMs);
        EXPECT_EQ(Saved, Expected == TSaveFailure::None) << Target;
        EXPECT_EQ(Engine.LastSaveFailure(), Expected) << Target;
        if (!Saved) {
            EXPECT_EQ(ByteCount, Untouched) << Target;
            EXPECT_EQ(DurationMs, Untouched) << Target;
        }
    }
    TScratchDir Dir;
    TVekMP3 Engine;
    std::string Source;
};

TEST_F(SaveFailureTest, TargetsThatCannotBeWritten) {
    ASSERT_TRUE(Engine.DataInfo.Valid);
    fs::create_directory(Dir.Path("folder"));
    fs::create_symlink(Source, Dir.Path("link.mp3"));
    const struct {
        std::string Target;
        TSaveFailure Expected;
    } Cases[] = {
        {Dir.Path("out.mp3"), TSaveFailure::None},
        {Source, TSaveFailure::TargetIsSource},
        {Dir.Path("link.mp3"), TSaveFailure::TargetIsSource},
        {"", TSaveFailure::TargetNameEmpty},
        {Dir.Path("folder"), TSaveFailure::TargetIsFolder},
        {Dir.Path("missing/out.mp3"), TSaveFailure::TargetNotCreated},
        // A good save after a refused one clears the reason.
        {Dir.Path("again.mp3"), TSaveFailure::None},
    };
    for (const auto& C : Cases) ExpectSave(C.Target, C.Expected);
}

// The superuser may write any file, so the refusal shows only for others.
TEST_F(SaveFailureTest, ReadOnlyTarget) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser may write a read-only file";
    const std::string Out = Dir.Write("read-only.mp3", "keep");
    ::chmod(Out.c_str(), 0444);
    ExpectSave(Out, TSaveFailure::TargetNotWritable);
    EXPECT_EQ(TestFiles::ReadAll(Out), "keep");
}

TEST_F(SaveFailureTest, SourcesThatCannotBeCut) {
    ExpectSave(Dir.Path("out.mp3"), TSaveFailure::None);
    fs::remove(Source);
    ExpectSave(Dir.Path("out2.mp3"), TSaveFailure::SourceMissing);

    Engine.AnalyseFile(Dir.Write("text.mp3", "no audio here"));
    ExpectSave(Dir.Path("out3.mp3"), TSaveFailure::SourceNotValid);

    TVekMP3 Fresh;
    int64_t ByteCount = 0, DurationMs = 0;
    EXPECT_FALSE(Fresh.SaveSegment(0, 1000, Dir.Path("out4.mp3"), TId3v1Tag{}, ByteCount, DurationMs));
    EXPECT_EQ(Fresh.LastSaveFailure(), TSaveFailure::SourceNotValid);
    EXPECT_FALSE(fs::exists(Dir.Path("out2.mp3")));
    EXPECT_FALSE(fs::exists(Dir.Path("out3.mp3")));
    EXPECT_FALSE(fs::exists(Dir.Path("out4.mp3")));
}

}  // namespace
