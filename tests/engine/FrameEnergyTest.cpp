// What a layer III frame's side information bounds, on frames whose fields
// are set bit by bit: the bound itself, and the side information a decoder
// would not take (or that contradicts itself), which must say nothing.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/FrameEnergy.h"
#include "tests/support/FrameBuilder.h"

namespace {

using namespace FrameBuilder;

// One granule's fields; the other granule codes nothing.
struct TSide {
    int Part23 = 0, BigValues = 0, GlobalGain = 210;
    int Switching = 0, BlockType = 0;
    int Tables[3] = {0, 0, 0};
};

// An MPEG 1 mono frame (64 kbit/s, 44.1 kHz, no CRC) with Side in its first granule.
Bytes MonoFrame(const TSide& Side) {
    TFrameKind Kind;
    Kind.BitRateKbps = 64;
    Kind.ChannelMode = SingleChannel;
    Bytes Frame = FrameBuilder::Frame(Kind, 0);
    int Bit = FrameHeaderBytes * 8 + 9 + 5 + 4;  // main_data_begin, private bits, scfsi
    auto Put = [&](int Value, int Bits) {
        for (int I = Bits - 1; I >= 0; --I, ++Bit)
            if ((Value >> I) & 1) Frame[size_t(Bit / 8)] = char(Frame[size_t(Bit / 8)] | (0x80 >> (Bit % 8)));
    };
    Put(Side.Part23, 12);
    Put(Side.BigValues, 9);
    Put(Side.GlobalGain, 8);
    Put(0, 4);
    Put(Side.Switching, 1);
    if (Side.Switching) {
        Put(Side.BlockType, 2);
        Bit += 1;
        Put(Side.Tables[0], 5);
        Put(Side.Tables[1], 5);
        Bit += 9;
    } else {
        for (int Table : Side.Tables) Put(Table, 5);
        Bit += 7;
    }
    Bit += 3;
    Put(0, 12);  // the second granule: no bits at all
    Put(0, 9);
    Put(210, 8);
    return Frame;
}

const uint8_t* Data(const Bytes& Frame) { return reinterpret_cast<const uint8_t*>(Frame.data()); }

TFrameEnergy Read(const Bytes& Frame) {
    TFrameHeader Header;
    EXPECT_TRUE(DecodeFrameHeader(Data(Frame), Header));
    return ReadFrameEnergy(Data(Frame), int(Frame.size()), Header);
}

TEST(FrameEnergy, SideInformationBoundsTheValuesOrSaysNothing) {
    // 2 * 10 big values of at most 1 (table 1) and, of the 100 bits, 84 more
    // values of at most 1 behind them (a sign bit each, 4 to spare): 104.
    const TSide Ones{100, 10, 210, 0, 0, {1, 1, 1}};
    TSide Louder = Ones;
    Louder.GlobalGain = 214;  // a step twice as large: 4 times the energy
    TSide Big = Ones;
    Big.Tables[2] = 24;  // up to 30: 20 * 30^(8/3) + 84
    TSide Short{100, 10, 210, 1, 2, {1, 1, 0}};
    struct TCase {
        const char* What;
        TSide Side;
        bool Known;
        double Bound;
    } Cases[] = {
        {"nothing coded", {}, true, 0.0},
        {"values of at most 1", Ones, true, 104.0},
        {"twice the step", Louder, true, 416.0},
        {"a linbits table", Big, true, 20 * std::pow(30.0, 8.0 / 3.0) + 84},
        {"short blocks", Short, true, 104.0},
        {"more than 288 big values", {100, 289, 210, 0, 0, {1, 1, 1}}, false, 0},
        {"table 4, which does not exist", {100, 10, 210, 0, 0, {4, 1, 1}}, false, 0},
        {"window switching to a long block", {100, 10, 210, 1, 0, {1, 1, 0}}, false, 0},
        {"big values in no bits", {0, 10, 210, 0, 0, {1, 1, 1}}, false, 0},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        const TFrameEnergy E = Read(MonoFrame(C.Side));
        ASSERT_EQ(E.Known, C.Known);
        if (!C.Known) continue;
        EXPECT_EQ(E.Units, 2);
        EXPECT_NEAR(E.Unit[0].Bound, C.Bound, C.Bound * 1e-9);
        EXPECT_EQ(E.Unit[1].Bound, 0.0);
        EXPECT_EQ(E.Unit[0].Windows[0], C.Side.BlockType);
    }

    // Cut short before its side information ends, or with sync bits the
    // walk does not look at cleared: nothing.
    const Bytes Whole = MonoFrame(Ones);
    TFrameHeader Header;
    ASSERT_TRUE(DecodeFrameHeader(Data(Whole), Header));
    EXPECT_FALSE(ReadFrameEnergy(Data(Whole), 20, Header).Known);
    Bytes Damaged = Whole;
    Damaged[1] = char(Damaged[1] & 0x1F);
    EXPECT_FALSE(ReadFrameEnergy(Data(Damaged), int(Damaged.size()), Header).Known);
}

// The lapped transform is orthogonal only where a long window's slope
// meets a long one and a short one a short one.
TEST(FrameEnergy, WindowsFollowOneAnotherAsTheFormatPrescribes) {
    auto Unit = [](uint8_t Window) {
        TEnergyUnit U;
        U.Windows[0] = U.Windows[1] = Window;
        return U;
    };
    const bool Follows[4][4] = {
        {true, true, false, false},  // long: long or start
        {false, false, true, true},  // start: short or stop
        {false, false, true, true},  // short: short or stop
        {true, true, false, false},  // stop: long or start
    };
    for (uint8_t A = 0; A < 4; ++A)
        for (uint8_t B = 0; B < 4; ++B)
            EXPECT_EQ(WindowsFollow(Unit(A), Unit(B), 2), Follows[A][B]) << int(A) << int(B);
    EXPECT_FALSE(WindowsFollow(Unit(0), Unit(MixedWindow), 2));
    TEnergyUnit Split = Unit(0);
    Split.Windows[1] = 2;
    EXPECT_TRUE(WindowsFollow(Unit(0), Split, 1));  // the second channel does not count in mono
    EXPECT_FALSE(WindowsFollow(Unit(0), Split, 2));
}

}  // namespace
