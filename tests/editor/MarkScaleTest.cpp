// The marker arithmetic on the window's own bar: left edge 128, 449 pixels
// wide, so the start marker runs from 129 to 553 and the end marker from 135
// to 560.
#include <gtest/gtest.h>

#include <cstdint>

#include "editor/MarkScale.h"

namespace {

const TMarkScale StartScale = TMarkScale::Start(128, 449);
const TMarkScale EndScale = TMarkScale::End(128, 449);

// A marker's place and the time it stands for in a file of Length ms, the
// bar's maximum.
struct TPlace {
    const TMarkScale& Scale;
    int32_t Left;
    int64_t Ms;
    int64_t Length;
};

TEST(MarkScale, TheWindowsBarGivesTheMarkersTheirPlaces) {
    EXPECT_EQ(StartScale.ZeroLeft(), 129);
    EXPECT_EQ(StartScale.FullLeft(), 553);
    EXPECT_EQ(EndScale.ZeroLeft(), 135);
    EXPECT_EQ(EndScale.FullLeft(), 560);
    // At their zero places the end marker stands six pixels right of the start
    // marker, one less than the gap a drag keeps between them.
    EXPECT_EQ(EndScale.ZeroLeft() - StartScale.ZeroLeft(), 6);
    EXPECT_EQ(TMarkScale::Gap, 7);
}

TEST(MarkScale, RoundsExactHalvesToTheEvenNeighbour) {
    const struct {
        double X;
        int64_t Rounded;
    } Cases[] = {{0.5, 0},   {1.5, 2},    {2.5, 2},    {3.5, 4}, {-0.5, 0},  {-1.5, -2},
                 {-2.5, -2}, {2.4999, 2}, {2.5001, 3}, {7.0, 7}, {-7.0, -7}, {1e12 + 0.5, 1000000000000}};
    for (const auto& C : Cases) EXPECT_EQ(RoundHalfEven(C.X), C.Rounded) << C.X;
}

TEST(MarkScale, PlacesStandForTimes) {
    const TPlace Cases[] = {
        {StartScale, 129, 0, 10000},      // the zero place
        {StartScale, 553, 10000, 10000},  // the full place
        {StartScale, 341, 5000, 10000},   // 212 of 424 pixels
        {StartScale, 235, 2500, 10000},   // 106 of 424
        {EndScale, 135, 0, 10000},       {EndScale, 560, 10000, 10000},
        {EndScale, 348, 5012, 10000},  // 10 000 x 213 / 425 = 5011.8
        {StartScale, 341, 0, 1},       // exact halves: 0.5, 1.5, 2.5 and 3.5 ms
        {StartScale, 341, 2, 3},         {StartScale, 341, 2, 5},
        {StartScale, 341, 4, 7},         {StartScale, 553, 1, 1},
        {StartScale, 341, 0, 0},  // a bar without length
    };
    for (const TPlace& C : Cases) EXPECT_EQ(C.Scale.TimeAt(C.Left, C.Length), C.Ms) << C.Left << " of " << C.Length;
}

TEST(MarkScale, TimesHaveTheirPlaces) {
    const TPlace Cases[] = {
        {StartScale, 129, 0, 10000},
        {StartScale, 553, 10000, 10000},
        {StartScale, 129 + 147, 50000, 144000},  // 424 x 50 / 144 = 147.2
        {EndScale, 135 + 30, 10000, 144000},     // 425 x 10 / 144 = 29.51
        {EndScale, 135 + 212, 5000, 10000},      // 212.5 goes to the even 212
        {EndScale, 135 + 214, 427, 850},         // 213.5 goes to the even 214
        {StartScale, 129, 1, 848},               // 0.5
        {StartScale, 129 + 2, 3, 848},           // 1.5
        {StartScale, 129, 500, 0},               // without a length, the zero place
        {EndScale, 135, 500, 0},
        {EndScale, 135, 500, -1},
    };
    for (const TPlace& C : Cases) EXPECT_EQ(C.Scale.LeftAt(C.Ms, C.Length), C.Left) << C.Ms << " of " << C.Length;
}

TEST(MarkScale, AScaleWithoutExtentStandsForZero) {
    const TMarkScale Point(200, 200);
    EXPECT_EQ(Point.TimeAt(200, 10000), 0);
    EXPECT_EQ(Point.TimeAt(250, 10000), 0);
    EXPECT_EQ(Point.LeftAt(5000, 10000), 200);
}

TEST(MarkScale, ClampsPlacesToTheirBounds) {
    const struct {
        int32_t Left, Min, Max, Clamped;
    } Cases[] = {
        {300, 129, 553, 300},
        {10, 129, 553, 129},
        {2000, 129, 553, 553},
        {129, 129, 553, 129},
        {553, 129, 553, 553},
        // Crossed bounds: MinLeft wins for places left of it, MaxLeft for the rest.
        {100, 300, 200, 300},
        {250, 300, 200, 300},
        {350, 300, 200, 200},
    };
    for (const auto& C : Cases) EXPECT_EQ(ClampLeft(C.Left, C.Min, C.Max), C.Clamped) << C.Left;
}

}  // namespace
