// segmora-cli cut: the piece it writes, its JSON, its tag options, and the
// cases it refuses before anything is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "engine/InfoFrame.h"
#include "engine/VekMp3.h"
#include "tests/cli/CliProcess.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using nlohmann::json;
namespace fs = std::filesystem;

namespace {

using TestFiles::Fixture;
using TestFiles::ReadAll;

class CliCut : public testing::Test {
protected:
    CliCut() {
        Source = Path("Song.mp3");
        fs::copy_file(Fixture("cbr128.mp3"), Source);
        SourceBytes = ReadAll(Source);
    }
    std::string Path(const std::string& Name) const { return Dir.Path(Name); }
    std::vector<std::string> DirEntries() const {
        std::vector<std::string> Names;
        for (const auto& E : fs::directory_iterator(Dir.Dir())) Names.push_back(E.path().filename().string());
        std::sort(Names.begin(), Names.end());
        return Names;
    }
    // The bytes the engine writes for the same request.
    std::string EngineCut(int32_t StartMs, int32_t EndMs, const TId3v1Tag& Tag = TId3v1Tag{}) {
        TVekMP3 Engine(Source);
        int64_t ByteCount = 0, DurationMs = 0;
        const std::string Out = Path("engine.mp3");
        EXPECT_TRUE(Engine.SaveSegment(StartMs, EndMs, Out, Tag, ByteCount, DurationMs));
        std::string Bytes = ReadAll(Out);
        fs::remove(Out);
        return Bytes;
    }
    TestFiles::TScratchDir Dir;
    std::string Source, SourceBytes;
};

TEST_F(CliCut, JsonReportsTheSavedPiece) {
    const TCliRun R = RunCli({"cut", Source, Path("out.mp3"), "--start", "1000", "--end", "2000", "--json"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err;
    const json J = json::parse(R.Out);
    EXPECT_EQ(J.size(), 5u);
    EXPECT_EQ(J["Result"], true);
    EXPECT_EQ(J["DurationMs"], 1018);
    const std::string Out = ReadAll(Path("out.mp3"));
    // The source's information frame is replaced by one for the piece, which
    // ByteCount leaves out.
    const int Fresh = FrameBuilder::LeadingInformationFrame(Out);
    EXPECT_GT(Fresh, 0);
    EXPECT_EQ(J["ByteCount"], Out.size() - Fresh);
    EXPECT_TRUE(Out == EngineCut(1000, 2000));
}

TEST_F(CliCut, TimeCodesAndMillisecondsMeanTheSame) {
    ASSERT_EQ(RunCli({"cut", Source, Path("a.mp3"), "--start", "1500", "--end", "2750"}).ExitCode, 0);
    ASSERT_EQ(RunCli({"cut", Source, Path("b.mp3"), "--start", "000:00:01.500", "--end", "000:00:02.750"}).ExitCode, 0);
    EXPECT_TRUE(ReadAll(Path("a.mp3")) == ReadAll(Path("b.mp3")));
    EXPECT_TRUE(ReadAll(Path("a.mp3")) == EngineCut(1500, 2750));
}

TEST_F(CliCut, RefusesAnEmptyOrReversedRangeWritingNothing) {
    for (const auto& [Start, End] : std::vector<std::pair<std::string, std::string>>{
             {"1000", "1000"}, {"2000", "1000"}, {"000:00:01.000", "1000"}}) {
        const TCliRun R = RunCli({"cut", Source, Path("out.mp3"), "--start", Start, "--end", End, "--json"});
        EXPECT_EQ(R.ExitCode, 2) << Start << ".." << End;
        EXPECT_FALSE(R.Err.empty());
        EXPECT_FALSE(fs::exists(Path("out.mp3")));
    }
}

// The new file must never replace its own source, whatever name reaches it.
TEST_F(CliCut, RefusesToWriteOverTheSource) {
    fs::create_symlink(Source, Path("link.mp3"));
    fs::create_hard_link(Source, Path("hard.mp3"));
    fs::create_directory(Path("sub"));
    const auto Before = DirEntries();
    for (const std::string& Target : {Source, Path("song.MP3"), Path("SONG.mp3"), Path("link.mp3"), Path("hard.mp3"),
                                      Path("./Song.mp3"), Path("sub/../Song.mp3")}) {
        const TCliRun R = RunCli({"cut", Source, Target, "--start", "0", "--end", "1000", "--json"});
        EXPECT_EQ(R.ExitCode, 2) << Target;
        EXPECT_FALSE(R.Err.empty()) << Target;
        EXPECT_EQ(DirEntries(), Before) << Target;
        EXPECT_TRUE(ReadAll(Source) == SourceBytes) << Target;
    }
}

TEST_F(CliCut, BadArgumentsExit2) {
    const std::vector<std::vector<std::string>> Cases = {
        {"cut", Source, Path("o.mp3"), "--start", "1.5", "--end", "2000"},
        {"cut", Source, Path("o.mp3"), "--start", "0", "--end", "000:00:2"},
        {"cut", Source, Path("o.mp3"), "--start", "-100", "--end", "2000"},
        {"cut", Source, Path("o.mp3"), "--end", "2000"},
        {"cut", Source, "--start", "0", "--end", "2000"},
        {"cut", Source, Path("o.mp3"), "--start", "0", "--end", "2000", "--tag", "--genre", "NoSuchGenre"},
        {"cut", Source, Path("o.mp3"), "--start", "0", "--end", "2000", "--tag", "--genre", "256"},
    };
    for (const auto& Args : Cases) {
        const TCliRun R = RunCli(Args);
        EXPECT_EQ(R.ExitCode, 2) << testing::PrintToString(Args);
        EXPECT_FALSE(fs::exists(Path("o.mp3")));
    }
}

TEST_F(CliCut, NegativeResultExits1) {
    Dir.Write("text.mp3", "no frames in here");
    const TCliRun NotMp3 = RunCli({"cut", Path("text.mp3"), Path("o.mp3"), "--start", "0", "--end", "1000", "--json"});
    EXPECT_EQ(NotMp3.ExitCode, 1);
    EXPECT_EQ(json::parse(NotMp3.Out)["Result"], false);
    EXPECT_FALSE(fs::exists(Path("o.mp3")));

    const TCliRun NoFolder = RunCli({"cut", Source, Path("missing/o.mp3"), "--start", "0", "--end", "1000", "--json"});
    EXPECT_EQ(NoFolder.ExitCode, 1);
    EXPECT_EQ(json::parse(NoFolder.Out)["Result"], false);
}

TEST_F(CliCut, ReadableReportOfARefusedSave) {
    fs::create_directory(Path("folder"));
    const struct {
        std::string Source, Target, Report;
    } Cases[] = {
        {Dir.Write("text.mp3", "no frames in here"), Path("o.mp3"), "\"" + Path("text.mp3") + "\" is not an MP3 file"},
        {Source, Path("missing/o.mp3"), "\"" + Path("missing/o.mp3") + "\": No such file or directory"},
        {Source, Path("folder"), "\"" + Path("folder") + "\" is a folder"},
    };
    for (const auto& C : Cases) {
        const TCliRun R = RunCli({"cut", C.Source, C.Target, "--start", "0", "--end", "1000"});
        EXPECT_EQ(R.ExitCode, 1) << C.Target;
        EXPECT_EQ(R.Err, "segmora-cli: Not saved: " + C.Report + "\n") << C.Target;
    }
    EXPECT_FALSE(fs::exists(Path("o.mp3")));
    EXPECT_TRUE(fs::is_empty(Path("folder")));
}

TEST_F(CliCut, UnreadableSourceExits3) {
    const TCliRun R = RunCli({"cut", Path("missing.mp3"), Path("o.mp3"), "--start", "0", "--end", "1000", "--json"});
    EXPECT_EQ(R.ExitCode, 3);
    EXPECT_NE(R.Err.find(Path("missing.mp3")), std::string::npos) << R.Err;
    EXPECT_FALSE(fs::exists(Path("o.mp3")));
}

TEST_F(CliCut, TagOptionsBuildTheId3v1Record) {
    const TCliRun R = RunCli({"cut",
                              Source,
                              Path("o.mp3"),
                              "--start",
                              "0",
                              "--end",
                              "500",
                              "--json",
                              "--tag",
                              "--title",
                              "Caf\xC3\xA9",
                              "--artist",
                              "An artist whose name is longer than thirty",
                              "--album",
                              "Album",
                              "--year",
                              "2024",
                              "--comment",
                              "A comment that is longer than thirty bytes",
                              "--track",
                              "7",
                              "--genre",
                              "rock"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err;
    const json J = json::parse(R.Out);
    const std::string Out = ReadAll(Path("o.mp3"));
    ASSERT_EQ(Out.size(), FrameBuilder::LeadingInformationFrame(Out) + J["ByteCount"].get<size_t>() + 128);
    const std::string Tag = Out.substr(Out.size() - 128);
    EXPECT_EQ(Tag.substr(0, 3), "TAG");
    EXPECT_EQ(Tag.substr(3, 30), std::string("Caf\xE9", 4) + std::string(26, '\0'));
    EXPECT_EQ(Tag.substr(33, 30), std::string("An artist whose name is longer than thirty").substr(0, 30));
    EXPECT_EQ(Tag.substr(93, 4), "2024");
    EXPECT_EQ(Tag.substr(97, 28), std::string("A comment that is longer than thirty bytes").substr(0, 28));
    EXPECT_EQ(Tag.substr(125, 3), std::string("\x00\x07\x11", 3));
    // The audio in front of the tag is the plain cut.
    EXPECT_TRUE(Out.substr(0, Out.size() - 128) == EngineCut(0, 500));
}

TEST_F(CliCut, TagDefaults) {
    const struct {
        std::vector<std::string> Options;
        uint8_t Track, Genre;
        size_t CommentBytes;
    } Cases[] = {
        {{"--tag"}, 0, 255, 30},
        {{"--tag", "--track", "0", "--genre", "17"}, 0, 17, 30},
        {{"--tag", "--track", "+7", "--genre", "Synthpop"}, 7, 147, 28},
        {{"--tag", "--track", "255", "--genre", "200"}, 255, 200, 28},
    };
    const std::string Comment = "012345678901234567890123456789xyz";
    for (const auto& C : Cases) {
        std::vector<std::string> Args = {"cut",   Source, Path("o.mp3"), "--start", "0",
                                         "--end", "100",  "--comment",   Comment,   "-y"};
        Args.insert(Args.end(), C.Options.begin(), C.Options.end());
        const TCliRun R = RunCli(Args);
        ASSERT_EQ(R.ExitCode, 0) << R.Err;
        const std::string Out = ReadAll(Path("o.mp3"));
        const std::string Tag = Out.substr(Out.size() - 128);
        const std::string Trace = testing::PrintToString(C.Options);
        ASSERT_EQ(Tag.substr(0, 3), "TAG") << Trace;
        EXPECT_EQ(Tag.substr(3, 30), std::string(30, '\0')) << Trace;
        EXPECT_EQ(Tag.substr(97, C.CommentBytes), Comment.substr(0, C.CommentBytes)) << Trace;
        EXPECT_EQ(uint8_t(Tag[127]), C.Genre) << Trace;
        if (C.Track > 0) {
            EXPECT_EQ(Tag[125], '\0') << Trace;
            EXPECT_EQ(uint8_t(Tag[126]), C.Track) << Trace;
        }
    }
}

TEST_F(CliCut, NoTagWithoutTheTagOption) {
    ASSERT_EQ(RunCli({"cut", Source, Path("o.mp3"), "--start", "0", "--end", "500", "--title", "Ignored"}).ExitCode, 0);
    EXPECT_TRUE(ReadAll(Path("o.mp3")) == EngineCut(0, 500));
}

TEST_F(CliCut, ReplacesAnExistingTarget) {
    Dir.Write("o.mp3", std::string(200000, 'z'));
    const TCliRun R =
        RunCli({"cut", Source, Path("o.mp3"), "--start", "0", "--end", "100000", "--json", "--overwrite"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err;
    const json J = json::parse(R.Out);
    EXPECT_EQ(J["DurationMs"], 3030);
    EXPECT_TRUE(ReadAll(Path("o.mp3")) == EngineCut(0, 100000));
}

// --no-info-frame writes the frames alone; --exact writes a few more in
// front, with the delay that has gapless decoders drop them.
TEST_F(CliCut, InformationFrameOptions) {
    using FrameBuilder::LeadingInformationFrame;
    ASSERT_EQ(
        RunCli({"cut", Source, Path("plain.mp3"), "--start", "1000", "--end", "2000", "--no-info-frame"}).ExitCode, 0);
    const std::string Plain = ReadAll(Path("plain.mp3"));
    EXPECT_EQ(LeadingInformationFrame(Plain), 0);
    const std::string Default = EngineCut(1000, 2000);
    EXPECT_TRUE(Default.substr(size_t(LeadingInformationFrame(Default))) == Plain);

    const TCliRun R =
        RunCli({"cut", Source, Path("exact.mp3"), "--start", "1000", "--end", "2000", "--exact", "--json"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err;
    const json J = json::parse(R.Out);
    EXPECT_EQ(J["DurationMs"], 1018);
    const std::string Exact = ReadAll(Path("exact.mp3"));
    const int Fresh = LeadingInformationFrame(Exact);
    ASSERT_GT(Fresh, 0);
    EXPECT_EQ(Exact.size(), size_t(Fresh) + J["ByteCount"].get<size_t>());
    ASSERT_GT(Exact.size(), size_t(Fresh) + Plain.size());
    EXPECT_TRUE(Exact.substr(Exact.size() - Plain.size()) == Plain);
    const TInfoFrame Info = ParseInfoFrame(reinterpret_cast<const uint8_t*>(Exact.data()), Fresh);
    ASSERT_TRUE(Info.Lame);
    EXPECT_GT(Info.Lame->Delay, 0);
    EXPECT_EQ((Info.Lame->Delay + DecoderDelaySamples) % 1152, 0) << "the delay is not whole frames";
}

}  // namespace
