// Joined and repaired files as libmpg123 decodes them: the counts of the
// fresh information frame, the joints of exact pieces, the files of other
// formats refused, and files joined with cat, with stray bytes and a last
// frame cut short, made right.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/InfoFrame.h"
#include "engine/JoinFiles.h"
#include "engine/RepairFile.h"
#include "tests/engine/Mpg123Decode.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using TestFiles::Fixture;
using TestFiles::ReadAll;

namespace {

TInfoFrame InfoOf(const std::string& Bytes) {
    return ParseInfoFrame(reinterpret_cast<const uint8_t*>(Bytes.data()), static_cast<int>(Bytes.size()));
}

int64_t FramesOf(const std::string& File) { return DecodeWithMpg123(File).Samples / 1152; }

TEST(Join, FramesLengthDelayPaddingAndTagsOfFilesOfOneFormat) {
    TestFiles::TScratchDir Dir;
    const std::vector<std::string> In = {Fixture("cover.mp3"), Fixture("mono.mp3"), Fixture("id3v1.mp3")};
    TJoinSettings Settings;
    Settings.LeadingBytes = FrameBuilder::Id3v2Tag(20);
    const TJoinResult R = JoinFiles(In, Dir.Path("out.mp3"), Settings);
    ASSERT_EQ(R.Failure, TJoinFailure::None);
    const std::string Out = ReadAll(Dir.Path("out.mp3"));
    const std::string Cover = ReadAll(In[0]);
    EXPECT_EQ(Out.substr(0, Settings.LeadingBytes.size()), Settings.LeadingBytes);
    EXPECT_EQ(Out.substr(Out.size() - 128), Cover.substr(Cover.size() - 128));  // the first one's ID3v1 tag

    EXPECT_EQ(R.Frames, FramesOf(In[0]) + FramesOf(In[1]) + FramesOf(In[2]));
    const TDecodeResult Plain = DecodeWithMpg123(Dir.Path("out.mp3"));
    ASSERT_EQ(Plain.Error, "");
    EXPECT_EQ(Plain.Samples, int64_t(R.Frames) * 1152);
    EXPECT_EQ(Plain.ReportedLength, Plain.Samples);
    const size_t Lead = Settings.LeadingBytes.size();
    const std::string Audio = Out.substr(Lead, Out.size() - Lead - 128);
    const TInfoFrame Fresh = InfoOf(Audio);
    ASSERT_TRUE(Fresh.Lame && Fresh.Frames && Fresh.Bytes);
    EXPECT_EQ(*Fresh.Frames, R.Frames);
    EXPECT_EQ(*Fresh.Bytes, Audio.size());
    EXPECT_EQ(R.AudioBytes, int64_t(Audio.size()) - FrameBuilder::LeadingInformationFrame(Audio));
    EXPECT_EQ(Fresh.Lame->Delay, InfoOf(ReadAll(In[1])).Lame->Delay);
    EXPECT_EQ(Fresh.Lame->Padding, InfoOf(ReadAll(In[1])).Lame->Padding);

    // Gapless, each joint keeps what the LAME tags of the files apart have
    // decoders drop, as many samples as the join says.
    int64_t Apart = 0, Extra = 0;
    for (const std::string& F : In) Apart += DecodeWithMpg123(F, {true}).Samples;
    for (const TJoint& J : R.Joints) Extra += J.ExtraSamples;
    ASSERT_EQ(R.Joints.size(), 2u);
    EXPECT_EQ(R.Joints[0].ExtraSamples, 1242 + 576);  // the padding and the delay LAME gave them
    EXPECT_EQ(DecodeWithMpg123(Dir.Path("out.mp3"), {true}).Samples, Apart + Extra);
}

TEST(Join, RefusesFilesOfAnotherFormatAndItsTargetWritingNothing) {
    TestFiles::TScratchDir Dir;
    FrameBuilder::TFrameKind Rate48 = FrameBuilder::Cbr128();
    Rate48.SampleRate = 48000;
    const std::string At48 = Dir.Write("48k.mp3", FrameBuilder::Frames(Rate48, 10));
    const std::string Text = Dir.Write("notes.mp3", "no frames here");
    const std::string Cbr = Fixture("cbr128.mp3");
    const struct {
        std::string Other;
        TJoinFailure Failure;
        std::string Difference;
    } Cases[] = {
        {Fixture("mono.mp3"), TJoinFailure::FormatDiffers, "mono, not stereo"},
        {Fixture("mpeg2-mono.mp3"), TJoinFailure::FormatDiffers, "MPEG 2 Layer 3, not MPEG 1 Layer 3"},
        {Fixture("layer2.mp2"), TJoinFailure::FormatDiffers, "MPEG 1 Layer 2, not MPEG 1 Layer 3"},
        {At48, TJoinFailure::FormatDiffers, "48000 Hz, not 44100 Hz"},
        {Text, TJoinFailure::InputNotValid, ""},
        {Dir.Path("out.mp3"), TJoinFailure::TargetIsInput, ""},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Other);
        if (C.Failure == TJoinFailure::TargetIsInput) TestFiles::WriteAll(C.Other, ReadAll(Cbr));
        const TJoinResult R = JoinFiles({Cbr, Fixture("vbr.mp3"), C.Other}, Dir.Path("out.mp3"), {});
        EXPECT_EQ(R.Failure, C.Failure);
        EXPECT_EQ(R.Input, 2u);
        EXPECT_EQ(R.Difference, C.Difference);
        EXPECT_EQ(Dir.Entries().count("out.mp3"), C.Failure == TJoinFailure::TargetIsInput ? 1u : 0u);
    }
}

TEST(Join, ExactPiecesJoinToTheSourceSampleForSample) {
    TestFiles::TScratchDir Dir;
    // Two exact pieces that follow one another: the second begins with
    // frames repeated from the end of the first.
    TVekMP3 Source(Fixture("cbr128.mp3"));
    TSaveOptions Exact;
    Exact.Exact = true;
    int64_t Bytes = 0, Ms = 0;
    ASSERT_TRUE(Source.SaveSegment(0, 1490, Dir.Path("a.mp3"), {}, Bytes, Ms, Exact));
    ASSERT_TRUE(Source.SaveSegment(1500, 10000, Dir.Path("b.mp3"), {}, Bytes, Ms, Exact));
    const std::vector<std::string> Pieces = {Dir.Path("a.mp3"), Dir.Path("b.mp3")};
    TJoinSettings Settings;
    Settings.Exact = true;
    const TJoinResult Joined = JoinFiles(Pieces, Dir.Path("exact.mp3"), Settings);
    const TJoinResult Plain = JoinFiles(Pieces, Dir.Path("plain.mp3"), {});
    ASSERT_EQ(Joined.Joints.size(), 1u);
    const TJoint J = Joined.Joints[0];
    EXPECT_GT(J.FramesDropped, 0);
    EXPECT_EQ(J.ExtraSamples, 0);
    EXPECT_EQ(Plain.Joints[0].ExtraSamples, J.FramesDropped * 1152);

    const TDecodeOptions Gapless{true, true};
    const TDecodeResult Whole = DecodeWithMpg123(Fixture("cbr128.mp3"), Gapless);
    EXPECT_TRUE(DecodeWithMpg123(Dir.Path("exact.mp3"), Gapless).Pcm == Whole.Pcm);
    EXPECT_EQ(DecodeWithMpg123(Dir.Path("plain.mp3"), Gapless).Samples, Whole.Samples + J.FramesDropped * 1152);
}

TEST(Repair, FilesThatNeedNothing) {
    for (const char* Name : {"cbr128.mp3", "vbr.mp3", "mpeg25.mp3", "layer2.mp2", "gaps.mp3", "all-tags.mp3"}) {
        SCOPED_TRACE(Name);
        const TRepairSurvey S = SurveyFile(Fixture(Name));
        EXPECT_FALSE(S.NeedsRepair());
        const TDecodeResult Decoded = DecodeWithMpg123(Fixture(Name));
        EXPECT_NEAR(S.Ms, Decoded.Samples * 1000.0 / Decoded.Rate, 1e-6);
        EXPECT_EQ(S.StrayBytes + S.InnerBytes + S.TruncatedBytes, 0);
    }
}

TEST(Repair, FilesJoinedWithCatStrayBytesAndALastFrameCutShort) {
    TestFiles::TScratchDir Dir;
    const std::vector<std::string> In = {Fixture("cbr128.mp3"), Fixture("cbr128.mp3"), Fixture("vbr.mp3")};
    const std::string Cbr = ReadAll(In[0]);
    const int InfoBytes = FrameBuilder::LeadingInformationFrame(Cbr);
    const std::string Tail = ReadAll(Fixture("id3v1.mp3")).substr(ReadAll(Fixture("id3v1.mp3")).size() - 128);
    const std::string Stale = Dir.Write("stale.mp3", Cbr + Cbr + ReadAll(In[2]) + "junk" +
                                                         Cbr.substr(size_t(InfoBytes), 200) + Tail);
    const TRepairSurvey S = SurveyFile(Stale);
    EXPECT_TRUE(S.NeedsRepair());
    EXPECT_EQ(S.RecordState, TRecordState::Stale);
    EXPECT_EQ(S.InnerRecords, 2);
    EXPECT_EQ(S.StrayBytes, 4);
    EXPECT_EQ(S.StrayPlaces, 1);
    EXPECT_EQ(S.TruncatedBytes, 200);

    // Made right, the file is the join of the three with the tag it had.
    ASSERT_TRUE(WriteRepaired(S, Dir.Path("fixed.mp3"), TExisting::Keep).Saved);
    ASSERT_EQ(JoinFiles(In, Dir.Path("joined.mp3"), {}).Failure, TJoinFailure::None);
    const std::string Fixed = ReadAll(Dir.Path("fixed.mp3"));
    EXPECT_TRUE(Fixed == ReadAll(Dir.Path("joined.mp3")) + Tail);
    EXPECT_EQ(InfoOf(Fixed).Lame->Padding, InfoOf(ReadAll(In[2])).Lame->Padding);  // the last one's
    const TDecodeResult Decoded = DecodeWithMpg123(Dir.Path("fixed.mp3"));
    EXPECT_EQ(Decoded.Error, "");
    EXPECT_EQ(Decoded.ReportedLength, int64_t(S.Frames) * 1152);
    EXPECT_FALSE(SurveyFile(Dir.Path("fixed.mp3")).NeedsRepair());

    // In place, the file itself becomes that, and nothing else is left beside it.
    EXPECT_FALSE(WriteRepaired(S, Dir.Path("fixed.mp3"), TExisting::Keep).Saved);
    ASSERT_TRUE(WriteRepaired(S, Stale, TExisting::Replace).Saved);
    EXPECT_TRUE(ReadAll(Stale) == Fixed);
    EXPECT_EQ(Dir.Entries().size(), 3u);
}

}  // namespace
