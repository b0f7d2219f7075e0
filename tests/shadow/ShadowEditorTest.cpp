// The editor window with its shadow on the offscreen platform: created and
// coloured with the window, switched with its showing and hiding, released
// when it closes.
#include <QtTest/QtTest>

#include <QApplication>
#include <QColor>
#include <QImage>

#include <cstdlib>

#include "editor/UnitMP3Editor.h"
#include "player/Mpg123Player.h"
#include "sponsor/UnitSponsorMsg.h"
#include "tests/support/ModalDriver.h"

namespace {

// The halo colour at the pixel's alpha: un-premultiplying a component
// rounded down at alpha a is off by up to 255 / a.
bool NearHaloColour(QRgb Pixel) {
    if (qAlpha(Pixel) == 0) return false;
    const int Slack = 255 / qAlpha(Pixel) + 1;
    return std::abs(qRed(Pixel) - 0x4A) <= Slack && std::abs(qGreen(Pixel) - 0x79) <= Slack &&
           std::abs(qBlue(Pixel) - 0xA1) <= Slack;
}

}  // namespace

class ShadowEditorTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void theEditorCastsItsShadowUntilItCloses() {
        TWindowServices Services = DefaultWindowServices();
        Services.MakeMediaPlayer = [] { return CreateMediaPlayer(TAudioOutputKind::Null); };
        TFrmMP3Editor W(Services);
        QVERIFY(W.FormShadow);
        QVERIFY(!W.FormShadow->isVisible());
        // Nothing composites on this platform: pretend something does.
        W.FormShadow->SetCompositionProbe([] { return true; });
        QVERIFY(!W.FormShadow->isVisible());

        W.show();
        QVERIFY(QTest::qWaitForWindowExposed(&W));
        QVERIFY(W.FormShadow->isVisible());
        QCOMPARE(W.FormShadow->geometry(), W.frameGeometry().adjusted(-16, -16, 16, 16));
        const QImage Picture = W.FormShadow->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(Picture.size(), QSize(624, 484));
        for (const QPoint& Halo : {QPoint(15, 240), QPoint(16, 16), QPoint(300, 468)}) {
            const QRgb P = Picture.pixel(Halo);
            QVERIFY2(NearHaloColour(P), qPrintable(QColor::fromRgba(P).name(QColor::HexArgb)));
        }
        QCOMPARE(qAlpha(Picture.pixel(300, 240)), 0);

        W.showMinimized();
        QCoreApplication::processEvents();
        QVERIFY(!W.FormShadow->isVisible());
        W.showNormal();
        QCoreApplication::processEvents();
        QVERIFY(W.FormShadow->isVisible());
        W.move(W.pos() + QPoint(30, 20));
        QCOMPARE(W.FormShadow->geometry(), W.frameGeometry().adjusted(-16, -16, 16, 16));
        W.hide();
        QVERIFY(!W.FormShadow->isVisible());
        W.show();
        QVERIFY(W.FormShadow->isVisible());

        // The closing message comes first; "later" lets the window close.
        TModalDriver Modals;
        Modals.Then([](QWidget* Modal) {
            auto* Message = qobject_cast<TFrmSponsorMsg*>(Modal);
            QVERIFY(Message);
            QTest::mouseClick(Message->RzButton2, Qt::LeftButton);
        });
        W.close();
        QVERIFY(Modals.AllTaken());
        QVERIFY(!W.FormShadow);
        // Nothing is left watching the window.
        W.show();
        W.move(W.pos() + QPoint(5, 5));
        W.hide();
    }
};

QTEST_MAIN(ShadowEditorTest)
#include "ShadowEditorTest.moc"
