// Where the start and end markers may stand along the position bar and which
// time each place stands for. Kept free of the window so that the arithmetic
// (the rounding of exact halves above all) can be checked on its own.
#pragma once

#include <cstdint>

// Rounds to the nearest integer, an exact half to the even neighbour.
int64_t RoundHalfEven(double X);

// Left is kept between MinLeft and MaxLeft; should the bounds cross, a place
// left of MinLeft still goes to MinLeft.
int32_t ClampLeft(int32_t Left, int32_t MinLeft, int32_t MaxLeft);

// The scale of one marker: the left edge that stands for 0 ms and the one
// that stands for the whole file.
class TMarkScale {
public:
    // The markers keep at least this many pixels between their left edges.
    static constexpr int32_t Gap = 7;
    // The column of its picture on which each marker's pole stands. The start
    // marker's flag lies left of its pole and the end marker's right of it, so
    // that with the offset scales below both poles stand for one time at one
    // place (within half a pixel), and meet when the markers are Gap apart.
    static constexpr int32_t StartPole = 11;
    static constexpr int32_t EndPole = StartPole - Gap;

    TMarkScale(int32_t ZeroLeft, int32_t FullLeft) : FZeroLeft(ZeroLeft), FFullLeft(FullLeft) {}

    // The markers of a bar whose left edge is at BarLeft and which is
    // BarWidth pixels wide. The start marker's tip lies at its left edge and
    // the end marker's at its right edge, so their scales are offset: at home
    // the end marker stands six pixels right of the start marker's zero place.
    static TMarkScale Start(int32_t BarLeft, int32_t BarWidth) { return {BarLeft + 1, BarLeft + BarWidth - 24}; }
    static TMarkScale End(int32_t BarLeft, int32_t BarWidth) { return {BarLeft + 7, BarLeft + BarWidth - 17}; }

    int32_t ZeroLeft() const { return FZeroLeft; }
    int32_t FullLeft() const { return FFullLeft; }

    // The time a marker at Left stands for on a bar that counts up to Max ms.
    int64_t TimeAt(int32_t Left, int64_t Max) const;
    // The left edge that stands for Ms in a file of Length ms; without a
    // length every time stands at the zero place.
    int32_t LeftAt(int64_t Ms, int64_t Length) const;

private:
    int32_t FZeroLeft;
    int32_t FFullLeft;
};
