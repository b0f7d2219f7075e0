// segmora-cli info: the JSON object and readable lines, and the exit codes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>

#include "engine/VekMp3.h"
#include "tests/cli/CliProcess.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using nlohmann::json;

namespace {

using FrameBuilder::Id3v1Tag;
using FrameBuilder::TId3v1Fields;
using TestFiles::Fixture;
using TestFiles::ReadAll;
using ScratchDir = TestFiles::TScratchDir;

std::set<std::string> Keys(const json& J) {
    std::set<std::string> K;
    for (auto It = J.begin(); It != J.end(); ++It) K.insert(It.key());
    return K;
}

const std::set<std::string> InfoFields = {"FileName",  "FileSize", "Valid",       "BitRate", "SampleRate", "FrameSize",
                                          "Version",   "Layer",    "Padding",     "Mono",    "Vbr",        "Id3v1Size",
                                          "Id3v2Size", "ApeSize",  "ZeroPadding", "LengthMs"};

json InfoJson(const std::string& File, int ExpectedExit = 0, const std::string& Locale = "en_US.UTF-8") {
    const TCliRun R = RunCli({"info", File, "--json"}, Locale);
    EXPECT_EQ(R.ExitCode, ExpectedExit) << R.Err;
    return json::parse(R.Out);
}

class CliInfoOnFixture : public testing::TestWithParam<const char*> {};

// The JSON says exactly what the engine's analysis says.
TEST_P(CliInfoOnFixture, JsonHoldsEveryFieldOfTheAnalysis) {
    const std::string File = Fixture(GetParam());
    const json J = InfoJson(File);
    TVekMP3 Engine(File);
    const TMp3DataInfo& D = Engine.DataInfo;
    std::set<std::string> Expected = InfoFields;
    Expected.insert("ProgramVersion");
    if (D.Id3v1Size == 128) Expected.insert("Id3Tag");
    if (D.Id3v2Size > 0) Expected.insert("Id3v2Tag");
    EXPECT_EQ(Keys(J), Expected);
    EXPECT_EQ(J["FileName"], File);
    EXPECT_EQ(J["FileSize"], D.FileSize);
    EXPECT_EQ(J["Valid"], true);
    EXPECT_EQ(J["BitRate"], D.BitRate);
    EXPECT_EQ(J["SampleRate"], D.SampleRate);
    EXPECT_EQ(J["FrameSize"], D.FrameSize);
    ASSERT_TRUE(J["Version"].is_number());
    EXPECT_EQ(J["Version"].get<double>(), D.Version);
    EXPECT_EQ(J["Layer"], D.Layer);
    EXPECT_EQ(J["Padding"], D.Padding);
    EXPECT_EQ(J["Mono"], D.Mono);
    EXPECT_EQ(J["Vbr"], D.Vbr);
    EXPECT_EQ(J["Id3v1Size"], D.Id3v1Size);
    EXPECT_EQ(J["Id3v2Size"], D.Id3v2Size);
    EXPECT_EQ(J["ApeSize"], D.ApeSize);
    EXPECT_EQ(J["ZeroPadding"], D.ZeroPadding);
    EXPECT_EQ(J["LengthMs"], D.LengthMs);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CliInfoOnFixture,
                         testing::Values("cbr128.mp3", "vbr.mp3", "mpeg2-mono.mp3", "mpeg25.mp3", "layer2.mp2",
                                         "all-tags.mp3", "id3v1-0.mp3"),
                         [](const testing::TestParamInfo<const char*>& I) {
                             std::string N = I.param;
                             for (char& C : N)
                                 if (!isalnum(static_cast<unsigned char>(C))) C = '_';
                             return N;
                         });

TEST(CliInfo, VersionIsAPlainNumber) {
    EXPECT_EQ(InfoJson(Fixture("cbr128.mp3"))["Version"].dump(), "1");
    EXPECT_EQ(InfoJson(Fixture("mpeg2-mono.mp3"))["Version"].dump(), "2");
    EXPECT_EQ(InfoJson(Fixture("mpeg25.mp3"))["Version"].dump(), "2.5");
    ScratchDir Dir;
    // A reserved version code is no frame, so the file is not valid and Version stays 0.
    EXPECT_EQ(
        InfoJson(Dir.Write("r.mp3", std::string("\xFF\xEB\x90\x00", 4) + std::string(1000, 'a')), 1)["Version"].dump(),
        "0");
}

TEST(CliInfo, Id3v11Tag) {
    const json J = InfoJson(Fixture("id3v1.mp3"));
    ASSERT_TRUE(J.contains("Id3Tag"));
    const json& T = J["Id3Tag"];
    EXPECT_EQ(Keys(T),
              (std::set<std::string>{"Title", "Artist", "Album", "Year", "Comment", "Track", "Genre", "GenreName"}));
    EXPECT_EQ(T["Title"], "Segmora Test Tone");
    EXPECT_EQ(T["Artist"], "Fixture Artist");
    EXPECT_EQ(T["Album"], "Fixtures");
    EXPECT_EQ(T["Year"], "2024");
    // Byte 0xE9 of the Western code page is "é".
    EXPECT_EQ(T["Comment"], "Caf\xC3\xA9 au lait");
    EXPECT_EQ(T["Track"], 7);
    EXPECT_EQ(T["Genre"], 17);
    EXPECT_EQ(T["GenreName"], "Rock");
}

TEST(CliInfo, Id3v10TagWithFullFieldsAndNoGenre) {
    const json T = InfoJson(Fixture("id3v1-0.mp3"))["Id3Tag"];
    EXPECT_EQ(T["Title"], "A title of exactly thirty byte");
    EXPECT_EQ(T["Comment"], "A comment of exactly 30 bytes!");
    EXPECT_EQ(T["Track"], 0);
    EXPECT_EQ(T["Genre"], 255);
    EXPECT_TRUE(T["GenreName"].is_null());
}

TEST(CliInfo, TagTextsAreConvertedFromTheLocalesCodePage) {
    ScratchDir Dir;
    TId3v1Fields Fields;
    Fields.Title = std::string("Ti\0after the zero", 17);
    Fields.Artist = "\xD6\xD0\xCE\xC4";  // "中文" in GBK
    Fields.Genre = 148;
    const std::string File = Dir.Write("gbk.mp3", ReadAll(Fixture("mono.mp3")) + Id3v1Tag(Fields));
    const json T = InfoJson(File, 0, "zh_CN.UTF-8")["Id3Tag"];
    EXPECT_EQ(T["Title"], "Ti");
    EXPECT_EQ(T["Artist"], "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(T["Genre"], 148);
    EXPECT_TRUE(T["GenreName"].is_null());
}

TEST(CliInfo, NoTagObjectWithoutAnId3v1Tag) { EXPECT_FALSE(InfoJson(Fixture("ape.mp3")).contains("Id3Tag")); }

TEST(CliInfo, NotAnMp3PrintsJsonAndExits1) {
    ScratchDir Dir;
    const std::string File = Dir.Write("text.mp3", "just some text, no frames at all");
    const json J = InfoJson(File, 1);
    EXPECT_EQ(J["Valid"], false);
    EXPECT_EQ(J["FileName"], File);
    EXPECT_EQ(J["LengthMs"], 0);
    for (const auto& K : InfoFields) EXPECT_TRUE(J.contains(K)) << K;
}

TEST(CliInfo, UnreadableFileExits3WithTheReason) {
    ScratchDir Dir;
    const std::string Missing = Dir.Path("missing.mp3");
    const TCliRun R = RunCli({"info", Missing, "--json"});
    EXPECT_EQ(R.ExitCode, 3);
    EXPECT_NE(R.Err.find(Missing), std::string::npos) << R.Err;
    const TCliRun Folder = RunCli({"info", Dir.Dir().string()});
    EXPECT_EQ(Folder.ExitCode, 3);
}

TEST(CliInfo, UsageErrorsExit2) {
    for (const std::vector<std::string>& Args : std::vector<std::vector<std::string>>{
             {}, {"info"}, {"info", "a.mp3", "b.mp3"}, {"info", "--bogus", "a.mp3"}, {"frobnicate"}}) {
        const TCliRun R = RunCli(Args);
        EXPECT_EQ(R.ExitCode, 2) << testing::PrintToString(Args);
    }
}

TEST(CliInfo, ReadableLines) {
    const TCliRun R = RunCli({"info", Fixture("cbr128.mp3")});
    EXPECT_EQ(R.ExitCode, 0);
    EXPECT_NE(R.Out.find("Encoding: MPEG 1 Layer 3"), std::string::npos) << R.Out;
    EXPECT_NE(R.Out.find("Length: 000:00:03.030"), std::string::npos) << R.Out;
    const TCliRun V25 = RunCli({"info", Fixture("mpeg25.mp3")});
    EXPECT_NE(V25.Out.find("Encoding: MPEG 2.5 Layer 3"), std::string::npos) << V25.Out;
    const TCliRun L2 = RunCli({"info", Fixture("layer2.mp2")});
    EXPECT_NE(L2.Out.find("Encoding: MPEG 1 Layer 2"), std::string::npos) << L2.Out;
}

}  // namespace
