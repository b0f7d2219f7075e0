#include "editor/MarkScale.h"

#include <cmath>

int64_t RoundHalfEven(double X) {
    const double Floor = std::floor(X);
    const double Fraction = X - Floor;
    int64_t Result = static_cast<int64_t>(Floor);
    if (Fraction > 0.5 || (Fraction == 0.5 && (Result % 2 != 0))) ++Result;
    return Result;
}

int32_t ClampLeft(int32_t Left, int32_t MinLeft, int32_t MaxLeft) {
    if (Left < MinLeft) return MinLeft;
    if (Left > MaxLeft) return MaxLeft;
    return Left;
}

int64_t TMarkScale::TimeAt(int32_t Left, int64_t Max) const {
    // A scale without extent would divide by zero; its one place is 0 ms.
    if (FFullLeft == FZeroLeft) return 0;
    const double Ratio = double(Left - FZeroLeft) / (FFullLeft - FZeroLeft);
    return RoundHalfEven(Max * Ratio);
}

int32_t TMarkScale::LeftAt(int64_t Ms, int64_t Length) const {
    if (Length <= 0) return FZeroLeft;
    return FZeroLeft + static_cast<int32_t>(RoundHalfEven(double(int64_t(FFullLeft - FZeroLeft) * Ms) / Length));
}
