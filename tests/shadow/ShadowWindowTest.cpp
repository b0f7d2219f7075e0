// The shadow window on the offscreen platform with a test owner: where it
// lies, when it shows, when its picture is rebuilt, and the halo it draws.
#include <QtTest/QtTest>

#include <QColor>
#include <QImage>
#include <QRegion>

#include <functional>
#include <memory>
#include <vector>

#include "shadow/ShadowPicture.h"
#include "tests/shadow/ShadowProbe.h"

namespace {

const QColor HaloColour(0x4A, 0x79, 0xA1);

int AlphaAt(const QImage& Image, int X, int Y) { return qAlpha(Image.pixel(X, Y)); }

}  // namespace

class ShadowWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTestOwner> Owner;
    std::unique_ptr<TProbeShadow> Shadow;
    bool Composites = true;

    // A 592 x 452 rounded owner at (100, 80), shown, with its shadow
    // attached and switched on the way the editor does it.
    void ShowOwner(bool Rounded = true) {
        Owner = std::make_unique<TTestOwner>();
        Owner->setGeometry(100, 80, 592, 452);
        if (Rounded) Owner->setMask(RoundedRegion(592, 452));
        Shadow = std::make_unique<TProbeShadow>();
        Shadow->SetCompositionProbe([this] { return Composites; });
        Shadow->SetOwnerForm(Owner.get());
        Shadow->SetShadowColor(HaloColour);
        Owner->show();
        Shadow->SetShown(true);
        QVERIFY(QTest::qWaitForWindowExposed(Owner.get()));
    }

private slots:
    void init() { Composites = true; }
    void cleanup() {
        Shadow.reset();
        Owner.reset();
    }

    // One owner taken through its states; after each step the shadow is
    // visible or not, lies 16 pixels up and left of the owner, and keeps
    // its picture unless the owner's size changed.
    void placementAndVisibilityFollowTheOwner() {
        ShowOwner();
        struct TStep {
            const char* Name;
            std::function<void()> Act;
            bool Visible;
            bool Rebuilt;
        };
        const std::vector<TStep> Steps = {
            {"shown", [] {}, true, false},
            {"moved", [&] { Owner->move(300, 200); }, true, false},
            {"minimised", [&] { Owner->showMinimized(); }, false, false},
            {"restored", [&] { Owner->showNormal(); }, true, false},
            {"maximised", [&] { Owner->showMaximized(); }, false, false},
            {"normal again", [&] { Owner->showNormal(); }, true, false},
            {"hidden", [&] { Owner->hide(); }, false, false},
            {"shown again", [&] { Owner->show(); }, true, false},
            {"switched off", [&] { Shadow->SetShown(false); }, false, false},
            {"moved while off", [&] { Owner->move(310, 210); }, false, false},
            {"switched on", [&] { Shadow->SetShown(true); }, true, false},
            {"resized", [&] { Owner->resize(400, 300); }, true, true},
            {"recoloured", [&] { Shadow->SetShadowColor(Qt::red); }, true, true},
            {"nothing composites", [&] { Shadow->SetCompositionProbe([] { return false; }); }, false, false},
            {"compositing again", [&] { Shadow->SetCompositionProbe([] { return true; }); }, true, false},
        };
        QCOMPARE(Shadow->ShadowBitmap.size(), QSize(624, 484));
        for (const TStep& Step : Steps) {
            const qint64 Key = Shadow->ShadowBitmap.cacheKey();
            Step.Act();
            QCoreApplication::processEvents();
            QVERIFY2(Shadow->isVisible() == Step.Visible, Step.Name);
            QVERIFY2((Shadow->ShadowBitmap.cacheKey() != Key) == Step.Rebuilt, Step.Name);
            if (!Step.Visible) continue;
            const QRect Want(Owner->frameGeometry().topLeft() - QPoint(16, 16),
                             Owner->frameGeometry().size() + QSize(32, 32));
            QVERIFY2(Shadow->geometry() == Want, Step.Name);
            QVERIFY2(Shadow->ShadowBitmap.size() == Want.size(), Step.Name);
        }
    }

    void detachedShadowStaysHiddenAndStill() {
        ShowOwner();
        QVERIFY(Shadow->isVisible());
        Shadow->SetOwnerForm(nullptr);
        QVERIFY(!Shadow->isVisible());
        const QRect Place = Shadow->geometry();
        Owner->move(0, 0);
        Owner->hide();
        Owner->show();
        QCoreApplication::processEvents();
        QVERIFY(!Shadow->isVisible());
        QCOMPARE(Shadow->geometry(), Place);
        // Attached again, it catches up at once.
        Shadow->SetOwnerForm(Owner.get());
        QVERIFY(Shadow->isVisible());
        QCOMPARE(Shadow->geometry().topLeft(), QPoint(-16, -16));
        // An owner that goes away first leaves nothing behind to call.
        Owner.reset();
        Shadow.reset();
    }

    // Where nothing composites the picture is still built, but never shown.
    void withoutCompositingThePictureIsBuiltButNotShown() {
        Composites = false;
        ShowOwner();
        QVERIFY(!Shadow->isVisible());
        QCOMPARE(Shadow->ShadowBitmap.size(), QSize(624, 484));
        Owner->move(20, 30);
        QCOMPARE(Shadow->geometry().topLeft(), QPoint(4, 14));
        QVERIFY(!Shadow->isVisible());
    }

    // The halo lies only outside the owner's shape, reaches into the
    // rounded-off corners, and is the halo colour premultiplied by its alpha
    // everywhere.
    void haloFollowsTheRoundedOutline() {
        ShowOwner(true);
        const QImage Rounded = Shadow->ShadowBitmap;
        const QRegion Shape = RoundedRegion(592, 452).translated(16, 16);
        for (const QRect& Part : Shape)
            for (int Y = Part.top(); Y <= Part.bottom(); ++Y)
                for (int X = Part.left(); X <= Part.right(); ++X)
                    if (AlphaAt(Rounded, X, Y) != 0)
                        QFAIL(qPrintable(QStringLiteral("halo inside at %1,%2").arg(X).arg(Y)));
        QVERIFY(AlphaAt(Rounded, 16, 16) > 0);    // the owner's top left pixel, rounded off
        QVERIFY(AlphaAt(Rounded, 607, 467) > 0);  // its bottom right one
        for (const QPoint& Edge : {QPoint(15, 240), QPoint(608, 240), QPoint(300, 15), QPoint(300, 468)})
            QVERIFY2(AlphaAt(Rounded, Edge.x(), Edge.y()) > 0,
                     qPrintable(QStringLiteral("%1,%2").arg(Edge.x()).arg(Edge.y())));
        for (int Y = 0; Y < Rounded.height(); ++Y)
            for (int X = 0; X < Rounded.width(); ++X) {
                const uint32_t P = reinterpret_cast<const uint32_t*>(Rounded.constScanLine(Y))[X];
                const unsigned A = P >> 24;
                if (P != ((A << 24) | (uint32_t{MulTable[74][A]} << 16) | (uint32_t{MulTable[121][A]} << 8) |
                          MulTable[161][A]))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(X).arg(Y).arg(P, 8, 16)));
            }

        // The same owner without its region: the corner pixel is the owner's.
        ShowOwner(false);
        const QImage Square = Shadow->ShadowBitmap;
        QCOMPARE(AlphaAt(Square, 16, 16), 0);
        QCOMPARE(AlphaAt(Square, 607, 467), 0);
        QVERIFY(AlphaAt(Square, 15, 16) > 0);
        QVERIFY(Square != Rounded);
    }

    // The owner's opacity scales the whole shadow; the painted window shows
    // the picture as it is.
    void ownerOpacityAndPaintedWindow() {
        ShowOwner();
        QCOMPARE(int(Shadow->Blend.ConstantAlpha), 255);
        const QImage Painted = Shadow->grab().toImage().convertToFormat(ShadowFormat);
        QCOMPARE(Painted.pixel(15, 240), Shadow->ShadowBitmap.pixel(15, 240));
        Owner->setWindowOpacity(0.5);  // kept in 255ths, rounded down
        Shadow->SetShadowColor(Qt::blue);
        QCOMPARE(int(Shadow->Blend.ConstantAlpha), 127);
    }

    // An owner drawn with a transparent colour: its halo follows what it
    // draws, and a new transparent colour rebuilds the picture at the next
    // move.
    void transparentColourOwnerCastsItsDrawnShape() {
        Owner = std::make_unique<TTestOwner>(QColor(255, 0, 255));
        Owner->setGeometry(100, 80, 200, 100);
        Owner->setProperty(TransparentColorProperty, true);
        Owner->setProperty(TransparentColorValueProperty, QColor(255, 0, 255));
        auto* Body = new QWidget(Owner.get());  // the drawn part: 100 x 40 at (50, 30)
        Body->setGeometry(50, 30, 100, 40);
        Body->setAutoFillBackground(true);
        QPalette Dark;
        Dark.setColor(QPalette::Window, QColor(20, 20, 20));
        Body->setPalette(Dark);
        Shadow = std::make_unique<TProbeShadow>();
        Shadow->SetCompositionProbe([] { return true; });
        Shadow->SetOwnerForm(Owner.get());
        Owner->show();
        Shadow->SetShown(true);
        const QImage& Picture = Shadow->ShadowBitmap;
        QCOMPARE(Picture.size(), QSize(232, 132));
        QCOMPARE(Shadow->MaskColor, QColor(255, 0, 255));
        QCOMPARE(AlphaAt(Picture, 16 + 100, 16 + 50), 0);  // inside the body
        QVERIFY(AlphaAt(Picture, 16 + 48, 16 + 50) > 0);   // just left of it, inside the window
        QCOMPARE(AlphaAt(Picture, 16 + 5, 16 + 5), 0);     // far from it
        QCOMPARE(AlphaAt(Picture, 15, 60), 0);             // the window's own edge casts nothing

        const qint64 Key = Shadow->ShadowBitmap.cacheKey();
        Owner->move(120, 80);
        QCOMPARE(Shadow->ShadowBitmap.cacheKey(), Key);
        Owner->setProperty(TransparentColorValueProperty, QColor(20, 20, 20));
        Owner->move(140, 80);
        QVERIFY(Shadow->ShadowBitmap.cacheKey() != Key);
        QCOMPARE(Shadow->MaskColor, QColor(20, 20, 20));
        // Now the body is the transparent part: the rest of the window casts
        // the halo into it.
        QCOMPARE(AlphaAt(Shadow->ShadowBitmap, 16 + 5, 16 + 5), 0);
        QVERIFY(AlphaAt(Shadow->ShadowBitmap, 16 + 52, 16 + 50) > 0);
    }
};

QTEST_MAIN(ShadowWindowTest)
#include "ShadowWindowTest.moc"
