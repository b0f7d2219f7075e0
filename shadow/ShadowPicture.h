// The shadow's picture: the owner's outline, blurred into a soft mask and
// coloured, in a 32-bit premultiplied image. Pure functions on QImage, kept
// apart from the window so that they can be checked pixel by pixel.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QtGlobal>

#include <array>
#include <cstdint>

// The halo reaches this far beyond the owner on every side.
inline constexpr int ShadowMargin = 16;

// The pixel layout of the picture: one 32-bit word per pixel holding alpha,
// red, green and blue from the top byte down (blue, green, red, alpha in
// memory on a little-endian machine).
inline constexpr QImage::Format ShadowFormat = QImage::Format_ARGB32_Premultiplied;
inline constexpr QRgb ShadowBlack = 0xFF000000u;
inline constexpr QRgb ShadowWhite = 0xFFFFFFFFu;

// MulTable[i][j] = i * j div 255: a colour component i scaled by an alpha j,
// looked up instead of multiplied and divided for every byte of the picture.
using TMulTable = std::array<std::array<uint8_t, 256>, 256>;
extern const TMulTable MulTable;

// Where the owner's shape lies in the picture. A shaped owner (a region of
// more than one rectangle, such as rounded corners) is followed exactly; an
// owner without a region, or with a single rectangle or an empty one, is
// taken as its whole window rectangle.
struct TShadowOutline {
    QRect Bounds;    // the outline's bounding rectangle
    QRegion Region;  // the shape itself; empty for a plain rectangle
};

// OwnerSize: the owner's window size; OwnerRegion: its window region in
// window coordinates (QWidget::mask() moved by the client area's offset).
TShadowOutline ShadowOutline(QSize OwnerSize, const QRegion& OwnerRegion);

// Sets every pixel of the outline (within its shape) to Value.
void FillOutline(QImage& Bitmap, const TShadowOutline& Outline, QRgb Value);

// One in-place blur pass over the blue, green and red bytes; alpha is left
// alone. Pixels are visited row by row from the top, left to right within a
// row; each colour byte becomes the mean (rounded down) of the same byte of
// the four pixels Radius away diagonally, row and column clamped to the
// picture. Pixels above and to the left have already been replaced when they
// are read, which drags the blur further down and right than up and left.
void BlurPass(QImage& Bitmap, int Radius);

// Colours the picture with Color premultiplied by each pixel's alpha. With
// CopyMask the blue byte (the blurred mask) first becomes the alpha;
// without it the existing alpha is kept and only the colour changes.
void ApplyAlpha(QImage& Bitmap, QColor Color, bool CopyMask);

// Stamps an owner drawn with a transparent colour onto the picture at At.
// Solid: the owner's opaque pixels become white, its KeyColor pixels black.
// Not Solid: the owner's opaque pixels become black, the rest stays.
void StampOwnerMask(QImage& Bitmap, const QImage& OwnerPicture, QColor KeyColor, QPoint At, bool Solid);
