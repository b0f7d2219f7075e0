// Information frames as a format: the CRC of the LAME tag, reading the records
// real encoders wrote, the shape and bytes of a fresh frame, and the seek
// table kept in bounded memory.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "engine/Crc16.h"
#include "engine/InfoFrame.h"
#include "engine/PieceWriter.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using namespace FrameBuilder;
using TestFiles::Fixture;
using TestFiles::ReadAll;

namespace {

const uint8_t* U8(const Bytes& B) { return reinterpret_cast<const uint8_t*>(B.data()); }

TEST(Crc16, KnownValueAndAnySplitOfTheBytes) {
    EXPECT_EQ(Crc16(U8("123456789"), 9), 0xBB3D);
    EXPECT_EQ(Crc16(U8("6789"), 4, Crc16(U8("12345"), 5)), 0xBB3D);

    // The folding path must give what the byte table gives, whatever pieces
    // the bytes come in: frames of any length, blocks split anywhere.
    std::mt19937 Random(7);
    std::vector<uint8_t> Data(200000);
    for (uint8_t& B : Data) B = uint8_t(Random());
    for (size_t Size : {size_t(0), size_t(1), size_t(63), size_t(64), size_t(65), size_t(127), size_t(128), size_t(129),
                        size_t(417), size_t(4096), size_t(70001), Data.size()}) {
        for (size_t MaxPiece : {size_t(1), size_t(13), size_t(64), size_t(417), size_t(5000)}) {
            TCrc16Stream Stream;
            for (size_t At = 0; At < Size;) {
                const size_t N = std::min(Size - At, 1 + Random() % MaxPiece);
                Stream.Add(Data.data() + At, N);
                At += N;
            }
            EXPECT_EQ(Stream.Value(), Crc16(Data.data(), Size)) << Size << " bytes in pieces up to " << MaxPiece;
        }
    }
}

// What LAME 3.100 wrote into the fixtures' first frames (make-fixtures.sh).
struct TRecordCase {
    const char* File;
    TInfoMarker Marker;
    int Padding;
};

TEST(InfoFrameRead, RecordsOfTheFixtures) {
    const TRecordCase Cases[] = {
        {"cbr128.mp3", TInfoMarker::Info, 756},     {"vbr.mp3", TInfoMarker::Xing, 1080},
        {"mpeg2-mono.mp3", TInfoMarker::Info, 909}, {"mpeg25.mp3", TInfoMarker::Xing, 990},
        {"mono.mp3", TInfoMarker::Info, 1242},
    };
    for (const TRecordCase& C : Cases) {
        SCOPED_TRACE(C.File);
        const Bytes Data = ReadAll(Fixture(C.File));
        const TWalk W = WalkFrames(Data, 0, int64_t(Data.size()));
        ASSERT_TRUE(W.Frames.front().Information);
        const int First = W.Frames.front().Length;
        const TInfoFrame R = ParseInfoFrame(U8(Data), First);
        EXPECT_EQ(R.Marker, C.Marker);
        ASSERT_TRUE(R.Frames && R.Bytes && R.Toc && R.Quality && R.Lame);
        EXPECT_EQ(*R.Frames, W.Frames.size() - 1);
        EXPECT_EQ(*R.Bytes, Data.size());
        const TLameTag& L = *R.Lame;
        EXPECT_EQ(L.Encoder, "LAME3.100");
        EXPECT_EQ(L.Delay, 576);
        EXPECT_EQ(L.Padding, C.Padding);
        EXPECT_EQ(L.MusicLength, Data.size());
        EXPECT_EQ(L.MusicCrc, Crc16(U8(Data) + First, Data.size() - size_t(First)));
        EXPECT_TRUE(L.TagCrcMatches);
    }
    // A layer II stream starts with audio.
    const Bytes Layer2 = ReadAll(Fixture("layer2.mp2"));
    EXPECT_EQ(ParseInfoFrame(U8(Layer2), 417).Marker, TInfoMarker::None);
}

TEST(InfoFrameRead, RecordsCutShortAndVbri) {
    // A 104-byte frame announces every field but holds only the counts.
    TFrameKind Small = Cbr128();
    Small.BitRateKbps = 32;
    Bytes F = InformationFrame(Small, "Xing", 36);
    F.replace(40, 12, Bytes("\0\0\0\x0F\0\0\0\x09\0\0\x10\0", 12));
    TInfoFrame R = ParseInfoFrame(U8(F), int(F.size()));
    EXPECT_EQ(R.Marker, TInfoMarker::Xing);
    EXPECT_EQ(R.Frames, 9u);
    EXPECT_EQ(R.Bytes, 4096u);
    EXPECT_FALSE(R.Toc || R.Quality || R.Lame);
    // Fewer bytes than the frame: what is missing is not read.
    EXPECT_FALSE(ParseInfoFrame(U8(F), 48).Bytes);
    // Zeros where a tag would be: no LAME tag.
    EXPECT_FALSE(ParseInfoFrame(U8(InformationFrame(Cbr128(), "Info", 36)), 417).Lame);

    Bytes V = InformationFrame(Cbr128(), "VBRI", 36);
    V.replace(40, 22,
              Bytes("\x00\x01\x04\x5E\x00\x4B\x00\x01\x86\xA0\x00\x00\x01\x2C\x00\x64\x00\x01\x00\x02\x00\x03", 22));
    R = ParseInfoFrame(U8(V), int(V.size()));
    ASSERT_EQ(R.Marker, TInfoMarker::Vbri);
    ASSERT_TRUE(R.Vbri);
    EXPECT_EQ(R.Vbri->Version, 1);
    EXPECT_EQ(R.Vbri->Delay, 1118);
    EXPECT_EQ(R.Vbri->Quality, 75);
    EXPECT_EQ(R.Vbri->Bytes, 100000u);
    EXPECT_EQ(R.Vbri->Frames, 300u);
    EXPECT_EQ(R.Vbri->TocEntries, 100);
    EXPECT_EQ(R.Vbri->FramesPerEntry, 3);
}

// The first frame's bit rate when its frame holds the record behind the side
// information, else the smallest that does.
struct TLayoutCase {
    TFrameKind First;
    int BitRate, Length;
};

TEST(InfoFrameBuild, FrameOfTheFirstBitRateOrTheSmallestThatHoldsTheRecord) {
    const TLayoutCase Cases[] = {
        {{Mpeg1, 3, 128, 44100, 1, JointStereo}, 128, 417}, {{Mpeg1, 3, 32, 44100, 0, JointStereo}, 64, 208},
        {{Mpeg1, 3, 48, 44100, 0, SingleChannel}, 56, 182}, {{Mpeg1, 3, 320, 44100, 0, SingleChannel}, 320, 1044},
        {{Mpeg1, 3, 32, 48000, 0, Stereo}, 64, 192},        {{Mpeg1, 3, 40, 32000, 0, DualChannel}, 48, 216},
        {{Mpeg2, 3, 8, 22050, 0, JointStereo}, 56, 182},    {{Mpeg2, 3, 48, 22050, 0, SingleChannel}, 56, 182},
        {{Mpeg25, 3, 8, 11025, 0, Stereo}, 32, 208},        {{Mpeg25, 3, 16, 8000, 0, SingleChannel}, 24, 216},
        {{Mpeg1, 2, 32, 44100, 0, Stereo}, 64, 208},        {{Mpeg1, 2, 384, 44100, 0, Stereo}, 384, 1253},
    };
    for (const TLayoutCase& C : Cases) {
        Bytes First = Header(C.First);
        First[1] = char(uint8_t(First[1]) & 0xFE);  // with a CRC
        First[3] = char(uint8_t(First[3]) | 0x30);  // and a mode extension
        TInfoFrameLayout L;
        ASSERT_TRUE(LayoutInfoFrame(U8(First), L));
        TFrameKind Want = C.First;
        Want.BitRateKbps = C.BitRate;
        Want.Padding = 0;
        SCOPED_TRACE(testing::Message() << C.First.VersionCode << "/" << C.First.Layer << "/" << C.First.SampleRate);
        EXPECT_EQ(Bytes(reinterpret_cast<const char*>(L.Header), 4), Header(Want));
        EXPECT_EQ(L.Length, C.Length);
        EXPECT_EQ(L.RecordOffset, SideInfoOffset(C.First));
        // The walk takes a header by its first byte; without all eleven sync
        // bits the piece gets no information frame, rather than one players skip.
        for (const uint8_t Cleared : {0x80, 0x40, 0x20})
            EXPECT_FALSE(LayoutInfoFrame(U8(Bytes(First).replace(1, 1, 1, char(uint8_t(First[1]) & ~Cleared))), L));
    }
}

TInfoFrame FixtureRecord() {
    const Bytes Data = ReadAll(Fixture("cbr128.mp3"));
    return ParseInfoFrame(U8(Data), 417);
}

TEST(InfoFrameBuild, FreshFrameKeepsTheEncoderAndSaysWhatThePieceHolds) {
    const TInfoFrame Source = FixtureRecord();
    ASSERT_TRUE(Source.Lame);
    TInfoFrameLayout L;
    ASSERT_TRUE(LayoutInfoFrame(U8(Header(Cbr128())), L));
    TPieceFacts P;
    P.Frames = 1234;
    P.AudioBytes = 500000;
    P.Vbr = true;
    for (int I = 0; I < TocEntries; ++I) P.Toc[size_t(I)] = uint8_t(I * 2);
    P.MusicCrc = 0xBEEF;
    P.Delay = 1775;
    P.Padding = 0;
    const std::vector<uint8_t> F = BuildInfoFrame(L, Source, P);
    ASSERT_EQ(int(F.size()), L.Length);
    // It is what the walk takes for an information frame.
    EXPECT_EQ(LeadingInformationFrame(Bytes(F.begin(), F.end()) + Frames(Cbr128(), 3)), L.Length);

    const TInfoFrame R = ParseInfoFrame(F.data(), int(F.size()));
    EXPECT_EQ(R.Marker, TInfoMarker::Xing);
    EXPECT_EQ(R.Frames, 1234u);
    EXPECT_EQ(R.Bytes, 500000u + L.Length);
    EXPECT_EQ(R.Toc, P.Toc);
    EXPECT_EQ(R.Quality, Source.Quality);
    ASSERT_TRUE(R.Lame);
    EXPECT_EQ(R.Lame->Encoder, "LAME3.100");
    EXPECT_EQ(R.Lame->Delay, 1775);
    EXPECT_EQ(R.Lame->Padding, 0);
    EXPECT_EQ(R.Lame->MusicLength, 500000u + L.Length);
    EXPECT_EQ(R.Lame->MusicCrc, 0xBEEF);
    EXPECT_TRUE(R.Lame->TagCrcMatches);
    // The encoder's settings stay as they were: bytes 9 to 20 and 24 to 27.
    for (int I : {9, 10, 11, 14, 15, 18, 19, 20, 24, 25, 26, 27})
        EXPECT_EQ(R.Lame->Bytes[size_t(I)], Source.Lame->Bytes[size_t(I)]) << "LAME tag byte " << I;

    // One bit rate: "Info". No tag in the source: a neutral one, that
    // decoders still take the delay and padding from. Counts beyond 12 bits
    // are cut to what the tag can say.
    P.Vbr = false;
    P.Delay = 5000;
    P.Padding = 1111;
    const std::vector<uint8_t> N = BuildInfoFrame(L, TInfoFrame{}, P);
    const TInfoFrame RN = ParseInfoFrame(N.data(), int(N.size()));
    EXPECT_EQ(RN.Marker, TInfoMarker::Info);
    EXPECT_EQ(RN.Quality, 0u);
    ASSERT_TRUE(RN.Lame);
    EXPECT_EQ(RN.Lame->Encoder, "LAME");
    EXPECT_EQ(RN.Lame->Delay, MaxLameSamples);
    EXPECT_EQ(RN.Lame->Padding, 1111);
    EXPECT_TRUE(RN.Lame->TagCrcMatches);
}

TEST(InfoFrameBuild, PieceBeyondFourGigabytesGivesNoSize) {
    TInfoFrameLayout L;
    ASSERT_TRUE(LayoutInfoFrame(U8(Header(Cbr128())), L));
    TPieceFacts P;
    P.Frames = 11000000;
    P.AudioBytes = 4600000000ull;
    const std::vector<uint8_t> F = BuildInfoFrame(L, FixtureRecord(), P);
    const TInfoFrame R = ParseInfoFrame(F.data(), int(F.size()));
    EXPECT_EQ(R.Frames, 11000000u);
    EXPECT_FALSE(R.Bytes || R.Toc);
    // The tag is found behind the fields that are there.
    ASSERT_TRUE(R.Lame);
    EXPECT_EQ(R.Lame->Encoder, "LAME3.100");
    EXPECT_EQ(R.Lame->MusicLength, 0u);
}

// The seek table from the sampler against one worked out from every frame.
TEST(TocSampler, WithinOneStepOfTheTableOfEveryFrame) {
    std::mt19937 Random(3);
    for (int Count : {1, 7, 100, 511, 512, 513, 4000, 150000}) {
        SCOPED_TRACE(testing::Message() << Count << " frames");
        constexpr double FrameMs = 1152000.0 / 44100;
        constexpr uint64_t Info = 208;
        std::vector<uint64_t> Offsets;
        TTocSampler Sampler;
        uint64_t Offset = 0;
        for (int I = 0; I < Count; ++I) {
            Offsets.push_back(Offset);
            Sampler.Frame(I * FrameMs, Offset);
            Offset += 104 + Random() % 1341;  // 32 to 320 kbit/s
        }
        const double Total = Count * FrameMs;
        const std::array<uint8_t, TocEntries> Toc = Sampler.Toc(Total, Info, Offset);
        // The frame playing at a moment, in 256ths; a moment on a frame's
        // boundary may count to either frame.
        auto Entry = [&](double Ms) {
            const size_t Playing = std::min(size_t(std::max(0.0, std::floor(Ms / FrameMs))), Offsets.size() - 1);
            return std::floor(256.0 * double(Info + Offsets[Playing]) / double(Info + Offset));
        };
        for (int I = 0; I < TocEntries; ++I) {
            const double Ms = Total * I / TocEntries;
            EXPECT_GE(Toc[size_t(I)], Entry(Ms - 1e-6) - 1) << "entry " << I;
            EXPECT_LE(Toc[size_t(I)], Entry(Ms + 1e-6) + 1) << "entry " << I;
            if (I > 0) {
                EXPECT_LE(Toc[size_t(I - 1)], Toc[size_t(I)]) << "entry " << I;
            }
        }
    }
}

}  // namespace
