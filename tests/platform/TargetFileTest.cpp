// The save's target file: why it is not ready, and a commit that cannot put
// the file in place leaving the place and the folder as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <unistd.h>

#include "platform/TargetFile.h"
#include "tests/support/TestFiles.h"

using TestFiles::TScratchDir;
namespace fs = std::filesystem;

namespace {

std::set<std::string> Entries(const fs::path& Dir) {
    std::set<std::string> Names;
    for (const auto& E : fs::directory_iterator(Dir)) Names.insert(E.path().filename().string());
    return Names;
}

TEST(TargetFile, SaysWhyItIsNotReady) {
    TScratchDir Dir;
    fs::create_directory(Dir.Path("folder"));
    const struct {
        std::string Name;
        TTargetFailure Expected;
    } Cases[] = {
        {Dir.Path("new.mp3"), TTargetFailure::None},
        {"", TTargetFailure::EmptyName},
        {Dir.Path("folder"), TTargetFailure::Folder},
        {Dir.Path("missing/new.mp3"), TTargetFailure::NotCreated},
        // A name too long for a temporary file beside it.
        {Dir.Path(std::string(250, 'n')), TTargetFailure::NotCreated},
    };
    for (const auto& C : Cases) {
        TTargetFile Target(C.Name);
        EXPECT_EQ(Target.Ready(), C.Expected == TTargetFailure::None) << C.Name;
        EXPECT_EQ(Target.Failure(), C.Expected) << C.Name;
    }
    // Nothing prepared is left behind.
    EXPECT_EQ(Entries(Dir.Dir()), (std::set<std::string>{"folder"}));
    EXPECT_TRUE(fs::is_empty(Dir.Path("folder")));
}

TEST(TargetFile, ReadOnlyFileIsNotWritable) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser may write a read-only file";
    TScratchDir Dir;
    const std::string Name = Dir.Write("read-only.mp3", "keep");
    fs::permissions(Name, fs::perms::owner_read);
    TTargetFile Target(Name);
    EXPECT_EQ(Target.Failure(), TTargetFailure::NotWritable);
}

TEST(TargetFile, CommitThatCannotTakeTheNameLeavesNothingBehind) {
    TScratchDir Dir;
    const std::string Name = Dir.Path("piece.mp3");
    {
        TTargetFile Target(Name);
        ASSERT_TRUE(Target.Ready());
        Target.Stream().WriteBuffer("audio", 5);
        // Something else takes the name meanwhile: a folder with content.
        fs::create_directory(Name);
        TestFiles::WriteAll(Name + "/inside", "x");
        EXPECT_FALSE(Target.Commit());
    }
    EXPECT_EQ(Entries(Dir.Dir()), (std::set<std::string>{"piece.mp3"}));
    EXPECT_EQ(TestFiles::ReadAll(Name + "/inside"), "x");

    TTargetFile Again(Dir.Path("second.mp3"));
    ASSERT_TRUE(Again.Ready());
    Again.Stream().WriteBuffer("audio", 5);
    EXPECT_TRUE(Again.Commit());
    EXPECT_EQ(TestFiles::ReadAll(Dir.Path("second.mp3")), "audio");
}

}  // namespace
