// The save's target file: why it is not ready, and a commit that cannot put
// the file in place leaving the place and the folder as they were.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/TargetFile.h"
#include "tests/support/TestFiles.h"

using TestFiles::TScratchDir;
namespace fs = std::filesystem;

namespace {

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
        {Dir.Path("fifo"), TTargetFailure::NotRegular},
        {"/dev/null", TTargetFailure::NotRegular},
        // The longest name a folder takes: the temporary file's name is shorter.
        {Dir.Path(std::string(255, 'n')), TTargetFailure::None},
    };
    ASSERT_EQ(::mkfifo(Dir.Path("fifo").c_str(), 0600), 0);
    for (const auto& C : Cases) {
        TTargetFile Target(C.Name);
        EXPECT_EQ(Target.Ready(), C.Expected == TTargetFailure::None) << C.Name;
        EXPECT_EQ(Target.Failure(), C.Expected) << C.Name;
    }
    // Nothing prepared is left behind, and the FIFO is one still.
    EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"folder", "fifo"}));
    EXPECT_TRUE(fs::is_fifo(Dir.Path("fifo")));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
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
    EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"piece.mp3"}));
    EXPECT_EQ(TestFiles::ReadAll(Name + "/inside"), "x");

    TTargetFile Again(Dir.Path("second.mp3"));
    ASSERT_TRUE(Again.Ready());
    Again.Stream().WriteBuffer("audio", 5);
    EXPECT_TRUE(Again.Commit());
    EXPECT_EQ(TestFiles::ReadAll(Dir.Path("second.mp3")), "audio");
}

// Names a batch made up: a link at the name (to a file, a folder, a FIFO,
// nothing) is an entry the piece replaces, and what it points to stays.
TEST(TargetFile, ReplaceNameReplacesALinkNeverWhatItNames) {
    TScratchDir Dir;
    const std::string Outside = Dir.Write("outside.mp3", "precious");
    fs::create_directory(Dir.Path("folder"));
    ASSERT_EQ(::mkfifo(Dir.Path("fifo").c_str(), 0600), 0);
    for (const char* Pointee : {"outside.mp3", "folder", "fifo", "missing"}) {
        const std::string Name = Dir.Path(std::string("to-") + Pointee);
        fs::create_symlink(Dir.Path(Pointee), Name);
        TTargetFile Target(Name, TTemporaryKind::Unnamed, TExisting::ReplaceName);
        ASSERT_TRUE(Target.Ready()) << Pointee;
        Target.Stream().WriteBuffer("piece", 5);
        EXPECT_TRUE(Target.Commit() && fs::is_regular_file(fs::symlink_status(Name))) << Pointee;
    }
    EXPECT_EQ(TestFiles::ReadAll(Outside), "precious");
    EXPECT_TRUE(fs::is_fifo(Dir.Path("fifo")));
}

// Both ways of making the temporary file: a new target and a replaced one get
// the bytes written and the mode they should have, and nothing else stays.
TEST(TargetFile, NewAndReplacedTargetsWithEitherTemporary) {
    for (TTemporaryKind Kind : {TTemporaryKind::Unnamed, TTemporaryKind::Named}) {
        const bool Named = Kind == TTemporaryKind::Named;
        TScratchDir Dir;
        const std::string Old = Dir.Write("old.mp3", "previous");
        ::chmod(Old.c_str(), 0640);
        for (const std::string& Name : {Dir.Path("new.mp3"), Old}) {
            const std::set<std::string> Before = Dir.Entries();
            TTargetFile Target(Name, Kind);
            ASSERT_TRUE(Target.Ready()) << Name;
            Target.Stream().WriteBuffer("piece", 5);
            const std::string Temporary = Target.TemporaryName();
            if (Named) {
                // Beside the target, under a short name of its own.
                EXPECT_EQ(fs::path(Temporary).parent_path(), Dir.Dir()) << Temporary;
                EXPECT_LE(fs::path(Temporary).filename().string().size(), 32u + 15u) << Temporary;
                EXPECT_TRUE(fs::exists(Temporary));
            } else if (Temporary.empty()) {
                // Unnamed: the folder shows nothing until the commit.
                EXPECT_EQ(Dir.Entries(), Before);
            }
            EXPECT_TRUE(Target.Commit()) << Name;
            EXPECT_EQ(TestFiles::ReadAll(Name), "piece") << Name;
        }
        EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"new.mp3", "old.mp3"})) << Named;
        EXPECT_EQ(fs::status(Old).permissions() & fs::perms::all, fs::perms(0640)) << Named;
    }
}

TEST(TargetFile, TemporaryNamesAreShortAndWholeCharacters) {
    const std::string Long(255, 'n');
    // 85 three-byte characters: a cut at 32 bytes would split the eleventh.
    std::string Wide;
    for (int I = 0; I < 85; ++I) Wide += "\xE9\x9F\xB3";
    for (const std::string& Base : {Long, Wide, std::string("a.mp3")}) {
        const std::string Name = TemporaryNameBeside("/some/folder", Base);
        const std::string File = fs::path(Name).filename().string();
        EXPECT_EQ(fs::path(Name).parent_path(), "/some/folder");
        EXPECT_LE(File.size(), 32u + 15u);
        EXPECT_EQ(File.substr(File.size() - 15, 9), ".segmora-");
        const std::string Kept = File.substr(0, File.size() - 15);
        EXPECT_EQ(Base.rfind(Kept, 0), 0u) << Kept;
        EXPECT_EQ(Kept.size() % (Base == Wide ? 3 : 1), 0u) << Kept;
    }
    EXPECT_NE(TemporaryNameBeside(".", "a"), TemporaryNameBeside(".", "a"));
}

// A save ended by a signal halfway leaves the target as it was and no file
// beside it: the named temporary is removed by the handler, the unnamed one
// never had a name (so even SIGKILL leaves nothing). The process still ends
// by the signal, as a shell expects.
TEST(TargetFile, SignalHalfwayLeavesNothingBehind) {
    const struct {
        TTemporaryKind Kind;
        int Signal;
    } Cases[] = {
        {TTemporaryKind::Named, SIGINT},    {TTemporaryKind::Named, SIGTERM},   {TTemporaryKind::Named, SIGHUP},
        {TTemporaryKind::Unnamed, SIGTERM}, {TTemporaryKind::Unnamed, SIGKILL},
    };
    for (const auto& C : Cases) {
        TScratchDir Dir;
        const std::string Name = Dir.Write("piece.mp3", "previous");
        std::fflush(nullptr);
        const pid_t Child = ::fork();
        ASSERT_GE(Child, 0);
        if (Child == 0) {
            TTargetFile Target(Name, C.Kind);
            const std::string Block(1 << 20, 'x');
            for (int I = 0; I < 4; ++I) Target.Stream().WriteBuffer(Block.data(), int64_t(Block.size()));
            Target.Stream().Flush();
            ::raise(C.Signal);
            ::_exit(0);
        }
        int Status = 0;
        ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
        EXPECT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == C.Signal) << C.Signal << " status " << Status;
        EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"piece.mp3"})) << C.Signal;
        EXPECT_EQ(TestFiles::ReadAll(Name), "previous");
    }
}

}  // namespace
