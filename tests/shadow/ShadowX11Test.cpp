// The shadow on a real X server of its own, first with nothing compositing,
// then with xcompmgr, then without it again: no black frame ever, a blended
// halo while a compositor runs, and clicks on the halo reaching the window
// below it.
#include <QtTest/QtTest>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QScreen>

#include <cstdio>
#include <memory>

#include "shadow/Composition.h"
#include "tests/shadow/ShadowProbe.h"
#include "tests/shadow/XServer.h"

namespace {

const QColor HaloColour(0x4A, 0x79, 0xA1);

// A window that counts the clicks it receives.
class TClickTarget : public TTestOwner {
public:
    using TTestOwner::TTestOwner;
    int Presses = 0;
    QPoint LastPress;

protected:
    void mousePressEvent(QMouseEvent* Event) override {
        ++Presses;
        LastPress = Event->globalPosition().toPoint();
    }
};

QImage Screen() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

// The 16-pixel ring around Area where the halo lies.
template <typename F>
void ForRing(const QRect& Area, F&& Each) {
    const QRect Outer = Area.adjusted(-16, -16, 16, 16);
    for (int Y = Outer.top(); Y <= Outer.bottom(); ++Y)
        for (int X = Outer.left(); X <= Outer.right(); ++X)
            if (!Area.contains(X, Y)) Each(X, Y);
}

bool IsWhite(QRgb P) { return qRed(P) == 255 && qGreen(P) == 255 && qBlue(P) == 255; }
bool IsTinted(QRgb P) { return qBlue(P) > qRed(P) + 8; }

// White blended with the halo colour at any alpha lies between white and
// the colour itself: nothing darker, blue above green above red.
bool IsWhiteOrHalo(QRgb P) {
    return qRed(P) >= 72 && qGreen(P) >= 119 && qBlue(P) >= 159 && qBlue(P) + 2 >= qGreen(P) &&
           qGreen(P) + 2 >= qRed(P);
}

}  // namespace

class ShadowX11Test : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TClickTarget> Below;
    std::unique_ptr<TClickTarget> Owner;
    std::unique_ptr<TProbeShadow> Shadow;
    TCompositor Compositor;
    const QRect OwnerPlace{170, 140, 300, 200};

    // Why the ring is not as wanted, or empty when it is.
    QString RingFault(bool WantHalo) {
        const QImage Shot = Screen();
        QString Fault;
        int Tinted = 0;
        ForRing(Owner->frameGeometry(), [&](int X, int Y) {
            const QRgb P = Shot.pixel(X, Y);
            if (IsTinted(P)) ++Tinted;
            const bool Good = WantHalo ? IsWhiteOrHalo(P) : IsWhite(P);
            if (!Good && Fault.isEmpty())
                Fault = QStringLiteral("pixel %1,%2 is %3").arg(X).arg(Y).arg(QColor(P).name());
        });
        if (Fault.isEmpty() && WantHalo && Tinted < 1000)
            Fault = QStringLiteral("only %1 pixels of the ring are tinted").arg(Tinted);
        return Fault;
    }

    void SaveShot(const char* Name) {
        const QByteArray Folder = qgetenv("SEGMORA_SHADOW_SHOTS");
        if (!Folder.isEmpty()) Screen().save(QString::fromLocal8Bit(Folder) + QLatin1Char('/') + Name + ".png");
    }

private slots:
    void initTestCase() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        Below = std::make_unique<TClickTarget>(Qt::white);
        Below->setGeometry(0, 0, 640, 480);
        Below->show();
        QVERIFY(QTest::qWaitForWindowExposed(Below.get()));
        Owner = std::make_unique<TClickTarget>(QColor(48, 48, 48));
        Owner->setGeometry(OwnerPlace);
        Owner->setMask(RoundedRegion(OwnerPlace.width(), OwnerPlace.height()));
        Shadow = std::make_unique<TProbeShadow>();
        Shadow->SetOwnerForm(Owner.get());
        Shadow->SetShadowColor(HaloColour);
        Owner->show();
        Shadow->SetShown(true);
        QVERIFY(QTest::qWaitForWindowExposed(Owner.get()));
    }

    void cleanupTestCase() {
        Shadow.reset();
        Owner.reset();
        Below.reset();
    }

    void noBlackFrameWhereNothingComposites() {
        QVERIFY(!DesktopComposites());
        QVERIFY(!Shadow->isVisible());
        QVERIFY(!MappedOnServer(Shadow->winId()));
        QCOMPARE(Shadow->ShadowBitmap.size(), QSize(332, 232));  // built all the same
        QTRY_COMPARE(RingFault(false), QString());
        SaveShot("without-compositor");
    }

    void haloWhileACompositorRuns() {
        QVERIFY2(Compositor.Start(), qPrintable(Compositor.Error()));
        // The shadow notices the compositor by itself.
        QTRY_VERIFY(Shadow->isVisible());
        QTRY_VERIFY(MappedOnServer(Shadow->winId()));
        QCOMPARE(Shadow->geometry(), OwnerPlace.adjusted(-16, -16, 16, 16));
        QTRY_COMPARE(RingFault(true), QString());
        // The owner's rounded-off corner shows the halo through it.
        QVERIFY(IsTinted(Screen().pixel(OwnerPlace.topLeft())));
        QVERIFY(QGuiApplication::focusWindow() != Shadow->windowHandle());
        SaveShot("with-compositor");

        Owner->move(OwnerPlace.topLeft() + QPoint(60, 40));
        QTRY_COMPARE(Shadow->geometry(), Owner->frameGeometry().adjusted(-16, -16, 16, 16));
        QTRY_COMPARE(RingFault(true), QString());
        SaveShot("moved");
    }

    void clicksOnTheHaloReachTheWindowBelow() {
        QVERIFY(Shadow->isVisible());
        const QRect Place = Owner->frameGeometry();
        const QPoint OnHalo(Place.left() - 4, Place.center().y());
        QVERIFY(Shadow->geometry().contains(OnHalo));
        QVERIFY(FakeClick(OnHalo.x(), OnHalo.y()));
        QTRY_COMPARE(Below->Presses, 1);
        QCOMPARE(Below->LastPress, OnHalo);
        // The same kind of click on the owner reaches the owner.
        QVERIFY(FakeClick(Place.center().x(), Place.center().y()));
        QTRY_COMPARE(Owner->Presses, 1);
        QCOMPARE(Below->Presses, 1);
    }

    void theHaloIsNoWindowOfItsOwnForTaskBarsOrCompositors() {
        QVERIFY(Shadow->isVisible());
        const QStringList States = PropertyOnServer(Shadow->winId(), "_NET_WM_STATE");
        QVERIFY2(States.contains("_NET_WM_STATE_SKIP_TASKBAR") && States.contains("_NET_WM_STATE_SKIP_PAGER"),
                 qPrintable(States.join(' ')));
        QCOMPARE(PropertyOnServer(Shadow->winId(), "_COMPTON_SHADOW"), QStringList{"0"});
        // Shown again, it is marked again, once.
        Shadow->SetShown(false);
        Shadow->SetShown(true);
        QTRY_VERIFY(Shadow->isVisible());
        QCOMPARE(PropertyOnServer(Shadow->winId(), "_NET_WM_STATE").count("_NET_WM_STATE_SKIP_PAGER"), 1);
    }

    void noBlackFrameOnceTheCompositorStops() {
        QVERIFY2(Compositor.Stop(), qPrintable(Compositor.Error()));
        QTRY_VERIFY(!Shadow->isVisible());
        QTRY_COMPARE(RingFault(false), QString());
        SaveShot("compositor-stopped");
    }
};

int main(int argc, char** argv) {
    TXvfb Server(640, 480);
    if (!Server.Running()) {
        std::fprintf(stderr, "FAIL: no X server for the test: %s\n", qPrintable(Server.Error()));
        return 1;
    }
    qputenv("DISPLAY", Server.Display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("WAYLAND_DISPLAY");
    int Result = 0;
    {
        QApplication App(argc, argv);
        ShadowX11Test Test;
        Result = QTest::qExec(&Test, argc, argv);
    }
    return Result;
}
#include "ShadowX11Test.moc"
