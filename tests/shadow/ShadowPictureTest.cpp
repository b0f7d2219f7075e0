// The shadow's picture functions on small bitmaps, checked pixel by pixel.
#include <QtTest/QtTest>

#include <QColor>
#include <QImage>
#include <QRegion>

#include <cstdint>
#include <vector>

#include "shadow/ShadowPicture.h"
#include "tests/shadow/ShadowProbe.h"

namespace {

// $A1794A as the window toolkit writes colours: blue A1, green 79, red 4A.
const QColor HaloColour(0x4A, 0x79, 0xA1);

QImage Picture(int Width, int Height, QRgb Fill) {
    QImage Image(Width, Height, ShadowFormat);
    Image.fill(Fill);
    return Image;
}

uint32_t Pixel(const QImage& Image, int X, int Y) {
    return reinterpret_cast<const uint32_t*>(Image.constScanLine(Y))[X];
}

void SetPixel(QImage& Image, int X, int Y, uint32_t Value) {
    reinterpret_cast<uint32_t*>(Image.scanLine(Y))[X] = Value;
}

uint32_t Argb(unsigned A, unsigned R, unsigned G, unsigned B) { return (A << 24) | (R << 16) | (G << 8) | B; }

}  // namespace

class ShadowPictureTest : public QObject {
    Q_OBJECT

private slots:
    // The halo colour at full and half alpha, in the picture's byte order,
    // then recoloured without touching the alpha.
    void applyAlphaColoursByTheMask() {
        QImage Image = Picture(3, 1, 0);
        SetPixel(Image, 0, 0, Argb(0, 255, 255, 255));  // blue byte 255: the mask at full
        SetPixel(Image, 1, 0, Argb(9, 1, 2, 128));      // only the blue byte counts
        SetPixel(Image, 2, 0, Argb(200, 255, 255, 0));  // outside the mask
        ApplyAlpha(Image, HaloColour, true);
        QCOMPARE(Pixel(Image, 0, 0), Argb(255, 74, 121, 161));
        QCOMPARE(Pixel(Image, 1, 0), Argb(128, 37, 60, 80));
        QCOMPARE(Pixel(Image, 2, 0), Argb(0, 0, 0, 0));
        if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            const uchar* Bytes = Image.constBits();
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(Bytes), 8),
                     QByteArray("\xA1\x79\x4A\xFF\x50\x3C\x25\x80", 8));
        }
        ApplyAlpha(Image, QColor(255, 255, 255), false);
        QCOMPARE(Pixel(Image, 0, 0), Argb(255, 255, 255, 255));
        QCOMPARE(Pixel(Image, 1, 0), Argb(128, 128, 128, 128));
        QCOMPARE(Pixel(Image, 2, 0), Argb(0, 0, 0, 0));
    }

    // Radius 1 on a 4 x 3 picture, worked out by hand in visiting order:
    // each pixel reads the already replaced pixels above and to its left.
    // Green is even everywhere and must stay so; alpha is never touched.
    void blurPassWorksInPlaceInVisitingOrder() {
        const int Blue[3][4] = {{0, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 0, 40}};
        const int Expected[3][4] = {{63, 15, 67, 16}, {19, 32, 17, 30}, {12, 12, 28, 28}};
        QImage Image = Picture(4, 3, 0);
        for (int Y = 0; Y < 3; ++Y)
            for (int X = 0; X < 4; ++X) SetPixel(Image, X, Y, Argb(77, 0, 200, Blue[Y][X]));
        BlurPass(Image, 1);
        for (int Y = 0; Y < 3; ++Y)
            for (int X = 0; X < 4; ++X) {
                QVERIFY2(Pixel(Image, X, Y) == Argb(77, 0, 200, Expected[Y][X]),
                         qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(X).arg(Y).arg(Pixel(Image, X, Y), 8, 16)));
            }
    }

    // A radius beyond the picture reads only the clamped corners, the pixel
    // itself among them: 3 x 2, worked out by hand.
    void blurPassClampsToThePicture() {
        QImage Image = Picture(3, 2, Argb(1, 0, 0, 0));
        SetPixel(Image, 2, 1, Argb(1, 0, 0, 200));
        BlurPass(Image, 5);
        const int Expected[2][3] = {{50, 62, 62}, {78, 97, 97}};
        for (int Y = 0; Y < 2; ++Y)
            for (int X = 0; X < 3; ++X) QCOMPARE(Pixel(Image, X, Y), Argb(1, 0, 0, Expected[Y][X]));
    }

    void outlineFollowsOnlyAShapedRegion() {
        const TShadowOutline None = ShadowOutline(QSize(592, 452), QRegion());
        QCOMPARE(None.Bounds, QRect(16, 16, 592, 452));
        QVERIFY(None.Region.isEmpty());
        // A single rectangle, even a smaller one, counts as no shape.
        const TShadowOutline Plain = ShadowOutline(QSize(592, 452), QRegion(10, 10, 100, 100));
        QCOMPARE(Plain.Bounds, QRect(16, 16, 592, 452));
        QVERIFY(Plain.Region.isEmpty());
        const QRegion Rounded = RoundedRegion(592, 452);
        const TShadowOutline Shaped = ShadowOutline(QSize(592, 452), Rounded);
        QCOMPARE(Shaped.Region, Rounded.translated(16, 16));
        QCOMPARE(Shaped.Bounds, Rounded.boundingRect().translated(16, 16));

        QImage Image = Picture(624, 484, ShadowBlack);
        FillOutline(Image, Shaped, ShadowWhite);
        QCOMPARE(Pixel(Image, 16, 16), ShadowBlack);  // the rounded-off corner
        QCOMPARE(Pixel(Image, 300, 16 + 1), ShadowWhite);
        QCOMPARE(Pixel(Image, 300, 16), ShadowBlack);  // the edge left out
        FillOutline(Image, None, ShadowWhite);
        QCOMPARE(Pixel(Image, 16, 16), ShadowWhite);
        QCOMPARE(Pixel(Image, 15, 16), ShadowBlack);
    }

    // An owner drawn with a transparent colour: a 4 x 2 picture, key colour
    // magenta, stamped at (2, 1) and at a place where it sticks out.
    void ownerMaskStampsOpaquePixels() {
        const QColor Key(255, 0, 255);
        QImage Owner(4, 2, QImage::Format_RGB32);
        Owner.fill(Key);
        Owner.setPixel(1, 0, qRgb(10, 20, 30));
        Owner.setPixel(3, 1, qRgb(255, 0, 254));  // near the key is not the key
        QImage Image = Picture(6, 4, Argb(255, 90, 90, 90));
        StampOwnerMask(Image, Owner, Key, QPoint(2, 1), true);
        for (int Y = 0; Y < 4; ++Y)
            for (int X = 0; X < 6; ++X) {
                const bool Inside = X >= 2 && Y >= 1 && Y <= 2;
                const bool Opaque = (X == 3 && Y == 1) || (X == 5 && Y == 2);
                const uint32_t Want = !Inside ? Argb(255, 90, 90, 90) : Opaque ? ShadowWhite : ShadowBlack;
                QCOMPARE(Pixel(Image, X, Y), Want);
            }
        QImage Grey = Picture(6, 4, Argb(255, 90, 90, 90));
        StampOwnerMask(Grey, Owner, Key, QPoint(4, 3), false);  // only row 0, columns 0 and 1 fit
        for (int Y = 0; Y < 4; ++Y)
            for (int X = 0; X < 6; ++X)
                QCOMPARE(Pixel(Grey, X, Y), (X == 5 && Y == 3) ? ShadowBlack : Argb(255, 90, 90, 90));
    }
};

QTEST_MAIN(ShadowPictureTest)
#include "ShadowPictureTest.moc"
