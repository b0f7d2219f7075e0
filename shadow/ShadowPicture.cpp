#include "shadow/ShadowPicture.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr TMulTable MakeMulTable() {
    TMulTable Table{};
    for (unsigned I = 0; I < 256; ++I)
        for (unsigned J = 0; J < 256; ++J) Table[I][J] = static_cast<uint8_t>(I * J / 255);
    return Table;
}

// Mean, rounded down, of the blue, green and red bytes of four pixels, in
// place in one word: the sums of red and blue share a word without
// overlapping (ten bits each), and shifting the word shifts both at once.
inline uint32_t Mean4(uint32_t A, uint32_t B, uint32_t C, uint32_t D) {
    const uint32_t RedBlue = (A & 0x00FF00FFu) + (B & 0x00FF00FFu) + (C & 0x00FF00FFu) + (D & 0x00FF00FFu);
    const uint32_t Green = (A & 0x0000FF00u) + (B & 0x0000FF00u) + (C & 0x0000FF00u) + (D & 0x0000FF00u);
    return ((RedBlue >> 2) & 0x00FF00FFu) | ((Green >> 2) & 0x0000FF00u);
}

}  // namespace

constinit const TMulTable MulTable = MakeMulTable();

TShadowOutline ShadowOutline(QSize OwnerSize, const QRegion& OwnerRegion) {
    TShadowOutline Outline;
    if (OwnerRegion.rectCount() > 1) {
        Outline.Region = OwnerRegion.translated(ShadowMargin, ShadowMargin);
        Outline.Bounds = Outline.Region.boundingRect();
    } else {
        Outline.Bounds = QRect(QPoint(ShadowMargin, ShadowMargin), OwnerSize);
    }
    return Outline;
}

void FillOutline(QImage& Bitmap, const TShadowOutline& Outline, QRgb Value) {
    if (Bitmap.isNull()) return;
    QPainter Painter(&Bitmap);
    Painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (!Outline.Region.isEmpty()) Painter.setClipRegion(Outline.Region);
    Painter.fillRect(Outline.Bounds, QColor::fromRgba(Value));
}

void BlurPass(QImage& Bitmap, int Radius) {
    const int Height = Bitmap.height();
    const int Width = Bitmap.width();
    if (Height == 0 || Width == 0) return;
    const qsizetype Stride = Bitmap.bytesPerLine() / 4;
    auto* const Pixels = reinterpret_cast<uint32_t*>(Bitmap.bits());
    for (int I = 0; I < Height; ++I) {
        uint32_t* const Row = Pixels + I * Stride;
        const uint32_t* const Above = Pixels + std::clamp(I - Radius, 0, Height - 1) * Stride;
        const uint32_t* const Below = Pixels + std::clamp(I + Radius, 0, Height - 1) * Stride;
        for (int J = 0; J < Width; ++J) {
            const int Left = std::clamp(J - Radius, 0, Width - 1);
            const int Right = std::clamp(J + Radius, 0, Width - 1);
            // Read all four before writing: with Radius 0 or at a clamped
            // edge one of them is the pixel itself.
            const uint32_t A = Above[Left], B = Above[Right], C = Below[Left], D = Below[Right];
            Row[J] = (Row[J] & 0xFF000000u) | Mean4(A, B, C, D);
        }
    }
}

void ApplyAlpha(QImage& Bitmap, QColor Color, bool CopyMask) {
    if (Bitmap.isNull()) return;
    const QRgb Rgb = Color.rgb();
    const auto& Red = MulTable[qRed(Rgb)];
    const auto& Green = MulTable[qGreen(Rgb)];
    const auto& Blue = MulTable[qBlue(Rgb)];
    for (int Y = 0; Y < Bitmap.height(); ++Y) {
        auto* Row = reinterpret_cast<uint32_t*>(Bitmap.scanLine(Y));
        for (int X = 0; X < Bitmap.width(); ++X) {
            const uint32_t A = CopyMask ? (Row[X] & 0xFF) : (Row[X] >> 24);
            Row[X] = (A << 24) | (uint32_t{Red[A]} << 16) | (uint32_t{Green[A]} << 8) | Blue[A];
        }
    }
}

void StampOwnerMask(QImage& Bitmap, const QImage& OwnerPicture, QColor KeyColor, QPoint At, bool Solid) {
    if (Bitmap.isNull() || OwnerPicture.isNull()) return;
    const QImage Owner = OwnerPicture.convertToFormat(QImage::Format_RGB32);
    const QRgb Key = KeyColor.rgb() & 0xFFFFFF;
    const QRect Area = QRect(At, Owner.size()) & Bitmap.rect();
    for (int Y = Area.top(); Y <= Area.bottom(); ++Y) {
        auto* Row = reinterpret_cast<uint32_t*>(Bitmap.scanLine(Y));
        const auto* Source = reinterpret_cast<const uint32_t*>(Owner.constScanLine(Y - At.y()));
        for (int X = Area.left(); X <= Area.right(); ++X) {
            const bool Opaque = (Source[X - At.x()] & 0xFFFFFF) != Key;
            if (Solid)
                Row[X] = Opaque ? ShadowWhite : ShadowBlack;
            else if (Opaque)
                Row[X] = ShadowBlack;
        }
    }
}
