// The window's own frame on the offscreen platform, where there is no window
// manager: the title band moves the window by following the mouse, the small
// buttons close and minimise it, and the guide page goes to the desktop.
// (With a window manager the band hands the move to it: check-window-manager.sh.)
#include <QtTest/QtTest>

#include <QFile>
#include <QWindow>

#include "editor/UnitMP3Editor.h"
#include "tests/editor/WindowHarness.h"

class ChromeTest : public QObject, private TWindowHarness {
    Q_OBJECT

private:
    QByteArray Settings() const { return StoredSettings(); }

    // What a close leaves behind.
    struct TClosed {
        bool Visible, HasEngine;
        QByteArray Settings;
        bool operator==(const TClosed&) const = default;
    };
    TClosed Closed() const { return {W->isVisible(), bool(W->Mp3Engine), Settings()}; }

private slots:
    void initTestCase() { StartHarness(); }
    void init() {
        QFile::remove(SettingsFile());
        NewTest();
    }
    void cleanup() { W.reset(); }

    void theFreePartsOfTheBandMoveTheWindowWithAnyButton() {
        // What lies on the band takes its own clicks; only the rest is the band.
        const QPoint Free(300, 20);
        QCOMPARE(W->childAt(Free), W->Label10);
        QCOMPARE(W->childAt(W->Label11->geometry().center()), W->Label11);
        QCOMPARE(W->childAt(W->RzBmpButton1->geometry().center()), W->RzBmpButton1);
        QCOMPARE(W->childAt(W->BtnOpenMp3->geometry().center()), W->BtnOpenMp3);
        W->Label28->show();
        QCOMPARE(W->childAt(W->Label28->geometry().center()), W->Label28);

        for (const Qt::MouseButton Button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            const QPoint Start = W->pos();
            QPoint Mouse = W->Label10->mapToGlobal(Free);
            QTest::mousePress(W->Label10, Button, {}, Free);
            for (const QPoint Step : {QPoint(40, 25), QPoint(-100, 10)}) {
                Mouse += Step;
                QTest::mouseMove(W->Label10, W->Label10->mapFromGlobal(Mouse));
            }
            QCOMPARE(W->pos(), Start + QPoint(-60, 35));
            QTest::mouseRelease(W->Label10, Button, {}, W->Label10->mapFromGlobal(Mouse));
            // Released, the mouse moves alone.
            QTest::mouseMove(W->Label10, W->Label10->mapFromGlobal(Mouse + QPoint(30, 30)));
            QCOMPARE(W->pos(), Start + QPoint(-60, 35));
        }

        // The title text does not move the window.
        const QPoint Start = W->pos();
        QTest::mousePress(W->Label11, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(W->Label11, QPoint(60, 40));
        QTest::mouseRelease(W->Label11, Qt::LeftButton, {}, QPoint(60, 40));
        QCOMPARE(W->pos(), Start);
        QVERIFY(Boxes.empty());
    }

    void theCloseButtonTakesThePathOfTheWindowManagersClose() {
        LangIndex = 4;
        QTest::mouseClick(W->RzBmpButton1, Qt::LeftButton);
        const TClosed ByButton = Closed();
        QVERIFY(!ByButton.Visible);
        QVERIFY(!ByButton.HasEngine);
        QVERIFY(ByButton.Settings.contains("Default=4"));

        QFile::remove(SettingsFile());
        NewWindow();
        LangIndex = 4;
        // The platform's close request, as a window manager's close or Alt+F4 brings it.
        QVERIFY(W->windowHandle()->close());
        QCOMPARE(Closed(), ByButton);
        // A second request finds the window closed and changes nothing.
        QFile::remove(SettingsFile());
        W->close();
        QVERIFY(!QFile::exists(SettingsFile()));
    }

    void theMinimiseButtonMinimisesTheWindow() {
        QTest::mouseClick(W->RzBmpButton2, Qt::LeftButton);
        QTRY_VERIFY(W->isMinimized());
        QVERIFY(W->Mp3Engine);
    }

    void theGuideButtonOpensTheEditionsGuidePage() {
        QTest::mouseClick(W->BtnAbout, Qt::LeftButton);
        QCOMPARE(OpenedUrls.size(), size_t(1));
        const QUrl Guide = OpenedUrls[0];
        QCOMPARE(Guide, QUrl::fromUserInput(W->GuideAddress()));
        QVERIFY2(Guide.path().endsWith(ChineseEdition ? "/flya/mp3_guide.html" : "/flya/mp3_guide_en.html"),
                 qPrintable(Guide.toString()));
        // Without a web site named by the build, the guide is the page among the program's read-only files.
        if (Guide.isLocalFile()) {
            QCOMPARE(Guide.toLocalFile(), DataFile("guide" + Guide.path().mid(Guide.path().indexOf("/flya/"))));
            QVERIFY(QFile::exists(Guide.toLocalFile()));
        }
        // A page that ends in ".html" is not offered to the chooser when the desktop cannot open it.
        DesktopOpens = false;
        QTest::mouseClick(W->BtnAbout, Qt::LeftButton);
        QCOMPARE(OpenedUrls.size(), size_t(2));
        QVERIFY(ChooserUrls.empty());
        QVERIFY(Boxes.empty());
    }

    void aWebPageTheDesktopCannotOpenIsOfferedToItsChooserWhenItIsHtm() {
        const TWindowServices S = Services();
        const struct {
            const char* Address;
            bool Opens;
            size_t Opened, Chosen;
        } Cases[] = {
            {"", true, 0, 0},
            {"   ", false, 0, 0},
            {"https://example.org/guide.html", true, 1, 0},
            {"https://example.org/guide.html", false, 1, 0},
            {"https://example.org/guide.htm", true, 1, 0},
            {"https://example.org/guide.htm", false, 1, 1},
            {"file:///tmp/GUIDE.HTM", false, 1, 1},
            {"https://example.org/guide.htm?page=2", false, 1, 0},
            {"https://example.org/htm", false, 1, 0},
        };
        for (const auto& Case : Cases) {
            OpenedUrls.clear();
            ChooserUrls.clear();
            DesktopOpens = Case.Opens;
            OpenWebPage(S, Case.Address);
            QCOMPARE(OpenedUrls.size(), Case.Opened);
            QCOMPARE(ChooserUrls.size(), Case.Chosen);
            if (Case.Chosen) QCOMPARE(ChooserUrls[0], OpenedUrls[0]);
        }
        QVERIFY(Boxes.empty());
    }
};

QTEST_MAIN(ChromeTest)
#include "ChromeTest.moc"
