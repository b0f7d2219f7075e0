// The sponsor window, the closing message window and the use counter, on
// the offscreen platform: their design, the close requests they refuse, the
// waiting mode's countdown (driven tick by tick), the confirmation, the way
// back from the sponsor window to the closing message, and the counter in
// the settings file. Modal runs are driven by a TModalDriver.
#include <QtTest/QtTest>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <limits>
#include <string>
#include <vector>

#include "sponsor/UnitSponsor.h"
#include "sponsor/UnitSponsorMsg.h"
#include "sponsor/vekSponsor.h"
#include "tests/support/ModalDriver.h"
#include "widgets/FormServices.h"

namespace {

struct TQuestion {
    QWidget* Owner;
    QString Text, Caption;
};

const QString Appeal =
    QStringLiteral("    您好！ 您现在使用的是一款具有良好用户口碑的免费软件！目前这款软件中没有任何广告和插件捆绑，"
                   "因此我们没有一点收入，而软件的升级维护都需要钱，作为个人软件开发者要想坚持下非常艰难。"
                   "如果您觉得本软件能给您带来帮助，请赞助我们，这点小钱对您来说不算什么，对我们却意义重大："
                   "这能让我们的软件存活下去并且越做越好。");

template <class T>
T* Top(QWidget* Modal) {
    return qobject_cast<T*>(Modal);
}

bool Waiting(const TFrmSponsor* F) { return !F->BtnClose->isEnabled() && !F->BtnHasDo->isEnabled(); }

// The flags a window with only a close box in its title bar carries.
bool OnlyCloseBox(const QWidget* W) {
    const Qt::WindowFlags Flags = W->windowFlags();
    return (Flags & Qt::WindowCloseButtonHint) && !(Flags & Qt::WindowMinimizeButtonHint) &&
           !(Flags & Qt::WindowMaximizeButtonHint) && (Flags & Qt::CustomizeWindowHint);
}

}  // namespace

class SponsorWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir Dir;
    std::vector<TQuestion> Questions;
    bool AnswerYes = false;

    TWindowServices Services() {
        TWindowServices S = DefaultWindowServices();
        S.ShowMessage = [this](QWidget* Owner, const TMessage& Message) {
            if (Message.Buttons != TMsgButtons::YesNo || Message.Icon != TMsgIcon::Question) return TMsgAnswer::Ok;
            Questions.push_back({Owner, Message.Text, Message.Caption});
            return AnswerYes ? TMsgAnswer::Yes : TMsgAnswer::No;
        };
        return S;
    }

    QString Settings() const { return Dir.filePath("Segmora.ini"); }
    void PutSettings(const QByteArray& Text) {
        QFile F(Settings());
        QVERIFY(F.open(QIODevice::WriteOnly | QIODevice::Truncate));
        F.write(Text);
    }
    QByteArray GetSettings() const {
        QFile F(Settings());
        return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray("(none)");
    }

    // Closes a waiting sponsor window the only way there is: after its 60 seconds.
    static void SitOutTheWait(QWidget* Modal) {
        auto* F = Top<TFrmSponsor>(Modal);
        QVERIFY(F && Waiting(F));
        for (int I = 0; I < 60; ++I) F->TimerWaitTimer(F->TimerWait);
        QTest::mouseClick(F->BtnClose, Qt::LeftButton);
    }

private slots:
    void initTestCase() {
        QVERIFY(Dir.isValid());
        QApplication::setQuitOnLastWindowClosed(false);
        InstallFontSubstitutes();
        // No information service: the built-in picture shows at once.
        qputenv("SEGMORA_SPONSOR_INFO_URL", "");
    }

    void init() {
        Questions.clear();
        AnswerYes = false;
        QFile::remove(Settings());
    }

    void sponsorWindowHasItsDesignAndShowsTheBuiltInPicture() {
        TFrmSponsor F(Services());
        PrepareSponsorWindow(F, false);
        QCOMPARE(F.windowTitle(), QString("我们需要您的赞助"));
        QCOMPARE(F.size(), QSize(584, 437));
        QCOMPARE(F.minimumSize(), F.maximumSize());
        QVERIFY(OnlyCloseBox(&F));
        QCOMPARE(F.font().family(), QString("微软雅黑"));
        QCOMPARE(F.font().pixelSize(), 13);

        const std::pair<const char*, QRect> Places[] = {
            {"BtnHasDo", {244, 396, 145, 28}}, {"MemoInfo", {16, 8, 553, 97}},    {"Panel1", {39, 139, 500, 245}},
            {"LabelQR", {16, 112, 464, 21}},   {"BtnClose", {394, 396, 145, 28}}, {"Shape1", {0, 0, 500, 245}},
            {"ImageQR", {0, 0, 500, 245}},
        };
        for (const auto& [Name, Place] : Places) {
            auto* Control = F.findChild<QWidget*>(Name);
            QVERIFY2(Control, Name);
            QCOMPARE(Control->geometry(), Place);
        }
        QCOMPARE(F.Label1->pos(), QPoint(226, 112));
        for (QWidget* InPanel :
             {static_cast<QWidget*>(F.Shape1), static_cast<QWidget*>(F.ImageQR), static_cast<QWidget*>(F.Label1)})
            QCOMPARE(InPanel->parentWidget(), F.Panel1);
        QCOMPARE(F.TimerWait->objectName(), QString("TimerWait"));
        QCOMPARE(F.TimerGetInfo->objectName(), QString("TimerGetInfo"));

        QCOMPARE(F.BtnHasDo->text(), QString("我已赞助"));
        QCOMPARE(F.BtnClose->text(), QString("下次再说"));
        QCOMPARE(F.Label1->text(), QString("请等待..."));
        QCOMPARE(F.LabelQR->text(), QString("赞助后您将全功能使用本软件，请扫码赞助我们，感谢您的支持！"));
        QCOMPARE(F.LabelQR->palette().color(QPalette::WindowText), QColor(0, 128, 128));
        QCOMPARE(F.LabelQR->font().pixelSize(), 16);
        QCOMPARE(F.Panel1->palette().color(QPalette::Window), QColor(40, 176, 64));
        QCOMPARE(F.Label1->palette().color(QPalette::WindowText), QColor(Qt::white));
        QCOMPARE(F.Label1->font().pixelSize(), 16);
        QCOMPARE(F.MemoInfo->toPlainText(), "亲爱的用户：\n" + Appeal);
        QCOMPARE(F.MemoInfo->palette().color(QPalette::Base), F.MemoInfo->palette().color(QPalette::Button));

        // Not waiting: both buttons at once, no countdown; the picture timer runs.
        QVERIFY(F.BtnHasDo->isEnabled() && F.BtnClose->isEnabled());
        QVERIFY(!F.TimerWait->isActive());
        QCOMPARE(F.TimerWait->interval(), 1000);
        QVERIFY(F.TimerGetInfo->isActive());
        QCOMPARE(F.TimerGetInfo->interval(), 100);
        QVERIFY(F.ImageQR->isHidden());
        QCOMPARE(F.ImageQR->Picture().size(), QSize(500, 245));

        QSignalSpy Shown(&F, &TFrmSponsor::PictureShown);
        F.show();
        QVERIFY(QTest::qWaitForWindowExposed(&F));
        const QRect Screen = F.screen()->availableGeometry();
        QVERIFY((F.frameGeometry().center() - Screen.center()).manhattanLength() <= 2);
        // "Please wait" on the panel's green until the picture timer has run.
        QVERIFY(F.Label1->isVisible());
        QCOMPARE(F.grab().toImage().pixelColor(F.Panel1->pos() + QPoint(3, 3)), QColor(40, 176, 64));
        QVERIFY(Shown.wait(2000));
        QCOMPARE(Shown.at(0).at(0).toBool(), false);
        QVERIFY(F.ImageQR->isVisible());
        QVERIFY(F.Label1->isHidden() && F.Shape1->isHidden());
        QVERIFY(!F.TimerGetInfo->isActive());
        // The card's dashed frame does not reach the corner, which shows its green.
        const QColor Corner = F.grab().toImage().pixelColor(F.Panel1->pos() + QPoint(3, 3));
        QVERIFY2(Corner.green() > 140 && Corner.red() < 80 && Corner.blue() < 100, qPrintable(Corner.name()));
    }

    void messageWindowHasItsDesign() {
        TFrmSponsorMsg M(Services());
        QCOMPARE(M.windowTitle(), QString("信息"));
        QCOMPARE(M.size(), QSize(364, 156));
        QCOMPARE(M.minimumSize(), M.maximumSize());
        QVERIFY(OnlyCloseBox(&M));
        QCOMPARE(M.font().pixelSize(), 13);
        QCOMPARE(M.Label1->pos(), QPoint(24, 54));
        QCOMPARE(M.Label1->text(), QString("我们需要您的赞助，仅需一点零花钱......"));
        QCOMPARE(M.Label2->pos(), QPoint(24, 30));
        QCOMPARE(M.Label2->text(), QString("为了让这个软件做的更好，并且能够给更多的人带来帮助。"));
        const std::tuple<TRzButton*, const char*, QRect, QString> Buttons[] = {
            {M.BtnHasDo, "BtnHasDo", {28, 108, 133, 28}, "慷慨解囊，去赞助"},
            {M.RzButton1, "RzButton1", {164, 108, 85, 28}, "我已赞助"},
            {M.RzButton2, "RzButton2", {252, 108, 85, 28}, "下次再说"},
        };
        for (const auto& [Button, Name, Place, Caption] : Buttons) {
            QCOMPARE(Button->objectName(), QString(Name));
            QCOMPARE(Button->geometry(), Place);
            QCOMPARE(Button->text(), Caption);
        }
        M.show();
        QVERIFY(QTest::qWaitForWindowExposed(&M));
        QVERIFY((M.frameGeometry().center() - M.screen()->availableGeometry().center()).manhattanLength() <= 2);
    }

    // The close box, Esc and any other close request leave both windows
    // open; only their buttons close them, with their own results.
    void onlyTheButtonsCloseTheWindows() {
        auto Refuses = [](TModalForm& W) {
            W.show();
            QVERIFY(QTest::qWaitForWindowExposed(&W));
            W.close();
            QVERIFY(W.isVisible());
            QTest::keyClick(&W, Qt::Key_Escape);
            QVERIFY(W.isVisible());
            W.SetModalResult(mrCancel);
            QVERIFY(W.isVisible());
            QCOMPARE(W.ModalResult(), int(mrNone));
        };
        {
            TFrmSponsor F(Services());
            PrepareSponsorWindow(F, false);
            Refuses(F);
            // "I have sponsored" asks first; No keeps the window.
            QTest::mouseClick(F.BtnHasDo, Qt::LeftButton);
            QCOMPARE(Questions.size(), size_t(1));
            QCOMPARE(Questions[0].Text, QString("感谢您赞助我们！\r\n如果您已经赞助请点击“是”。"));
            QCOMPARE(Questions[0].Caption, QString("确认"));
            QCOMPARE(Questions[0].Owner, &F);
            QVERIFY(F.isVisible());
            AnswerYes = true;
            QTest::mouseClick(F.BtnHasDo, Qt::LeftButton);
            QVERIFY(!F.isVisible());
            QCOMPARE(F.result(), int(mrOk));
        }
        {
            TFrmSponsor F(Services());
            PrepareSponsorWindow(F, false);
            F.show();
            QTest::mouseClick(F.BtnClose, Qt::LeftButton);
            QVERIFY(!F.isVisible());
            QCOMPARE(F.result(), int(mrNo));
        }
        for (int Which = 1; Which <= 2; ++Which) {
            TFrmSponsorMsg M(Services());
            Refuses(M);
            QTest::mouseClick(Which == 1 ? M.RzButton1 : M.RzButton2, Qt::LeftButton);
            QVERIFY(!M.isVisible());
            QCOMPARE(M.result(), int(mrOk));
        }
    }

    void waitingModeCountsDownSixtySeconds() {
        TFrmSponsor F(Services());
        PrepareSponsorWindow(F, true);
        F.show();
        // The ticks are driven here; the real timer stays running, out of the way.
        F.TimerWait->setInterval(3600 * 1000);
        QVERIFY(F.TimerWait->isActive());
        QCOMPARE(F.WaitTicks, 0);
        QCOMPARE(F.BtnHasDo->text(), QString("我已赞助"));
        QVERIFY(Waiting(&F));

        for (int Second = 1; Second <= 59; ++Second) {
            F.TimerWaitTimer(F.TimerWait);
            QCOMPARE(F.BtnHasDo->text(), QString("我已赞助 (%1秒)").arg(60 - Second));
            QVERIFY(Waiting(&F));
        }
        QCOMPARE(F.BtnHasDo->text(), QString("我已赞助 (1秒)"));
        // Nothing leaves the window yet: not the close box, not the disabled button.
        F.close();
        QTest::mouseClick(F.BtnClose, Qt::LeftButton);
        QVERIFY(F.isVisible());

        F.TimerWaitTimer(F.TimerWait);
        QCOMPARE(F.WaitTicks, 60);
        QCOMPARE(F.BtnHasDo->text(), QString("我已赞助"));
        QVERIFY(F.BtnHasDo->isEnabled() && F.BtnClose->isEnabled());
        QVERIFY(!F.TimerWait->isActive());

        // The timer itself drives the same count.
        TFrmSponsor Quick(Services());
        PrepareSponsorWindow(Quick, true);
        Quick.TimerWait->setInterval(1);
        QTRY_VERIFY_WITH_TIMEOUT(Quick.BtnClose->isEnabled(), 5000);
        QCOMPARE(Quick.WaitTicks, 60);
        QCOMPARE(Quick.BtnHasDo->text(), QString("我已赞助"));
    }

    // The counter, as the editor uses it at each save click and from BtnSp.
    void countsSaveAttemptsInTheSettingsFile() {
        TModalDriver Driver;
        const TWindowServices S = Services();

        // No settings file: the window in its waiting mode, counted in memory only.
        {
            TvekSponsor Sponsor(Settings().toStdString(), S);
            QCOMPARE(Sponsor.UseCount, 0);
            Driver.Then(SitOutTheWait);
            QVERIFY(Sponsor.ShowIfDue(false));
            QVERIFY(Driver.AllTaken());
            QCOMPARE(Sponsor.UseCount, 1);
            QVERIFY(!Sponsor.ShowIfDue(false));
            QCOMPARE(Sponsor.UseCount, 2);
            QVERIFY(!QFile::exists(Settings()));
            QCOMPARE(Driver.Seen(), 1);
        }
        // A stored 0: the same window, and 1 stored.
        PutSettings("[ZZ]\nsyCount=0\n");
        {
            TvekSponsor Sponsor(Settings().toStdString(), S);
            Driver.Then(SitOutTheWait);
            QVERIFY(Sponsor.ShowIfDue(false));
            QVERIFY(Driver.AllTaken());
            QCOMPARE(GetSettings(), QByteArray("[ZZ]\nsyCount=1\n"));
        }
        // A stored 5: no window, 6 stored; BtnSp shows it without waiting and
        // stores nothing, also when the user confirms having sponsored.
        PutSettings("[LANGUAGE]\nDefault=7\n[zz]\nsyCount=5\n");
        {
            TvekSponsor Sponsor(Settings().toStdString(), S);
            QCOMPARE(Sponsor.UseCount, 5);
            const int SeenBefore = Driver.Seen();
            QVERIFY(!Sponsor.ShowIfDue(false));
            QCOMPARE(Driver.Seen(), SeenBefore);
            QCOMPARE(GetSettings(), QByteArray("[LANGUAGE]\nDefault=7\n[zz]\nsyCount=6\n"));

            AnswerYes = true;
            Driver.Then([](QWidget* Modal) {
                auto* F = Top<TFrmSponsor>(Modal);
                QVERIFY(F && !Waiting(F));
                QTest::mouseClick(F->BtnHasDo, Qt::LeftButton);
            });
            QVERIFY(Sponsor.ShowIfDue(true));
            QVERIFY(Driver.AllTaken());
            QCOMPARE(Questions.size(), size_t(1));
            QCOMPARE(Sponsor.UseCount, 6);
            QCOMPARE(GetSettings(), QByteArray("[LANGUAGE]\nDefault=7\n[zz]\nsyCount=6\n"));
        }
        // A count at the top of the range stays there.
        PutSettings("[ZZ]\nsyCount=2147483647\n");
        {
            TvekSponsor Sponsor(Settings().toStdString(), S);
            QVERIFY(!Sponsor.ShowIfDue(false));
            QCOMPARE(Sponsor.UseCount, std::numeric_limits<int32_t>::max());
            QCOMPARE(GetSettings(), QByteArray("[ZZ]\nsyCount=2147483647\n"));
        }
        // A settings "file" that cannot be written (here a folder) keeps the
        // count in memory and never raises, so the save goes on.
        QFile::remove(Settings());
        QVERIFY(QDir(Dir.path()).mkdir("Segmora.ini"));
        {
            TvekSponsor Sponsor(Settings().toStdString(), S);
            Driver.Then(SitOutTheWait);
            QVERIFY(Sponsor.ShowIfDue(false));
            QVERIFY(!Sponsor.ShowIfDue(false));
            QCOMPARE(Sponsor.UseCount, 2);
        }
        QVERIFY(QDir(Dir.path()).rmdir("Segmora.ini"));
    }

    // Going to the sponsor window from the closing message and choosing
    // "later" there comes back to the closing message, which stays until one
    // of its own buttons is used; confirming there closes both.
    void closingMessageComesBackFromTheSponsorWindow() {
        TModalDriver Driver;
        TvekSponsor Sponsor(Settings().toStdString(), Services());
        Driver.Then(
            [](QWidget* Modal) {
                auto* M = Top<TFrmSponsorMsg>(Modal);
                M->close();
                QVERIFY(M->isVisible());
                QTest::mouseClick(M->BtnHasDo, Qt::LeftButton);
            },
            [](QWidget* Modal) { return Top<TFrmSponsorMsg>(Modal) != nullptr; });
        Driver.Then(
            [](QWidget* Modal) {
                auto* F = Top<TFrmSponsor>(Modal);
                QVERIFY(!Waiting(F));
                QTest::mouseClick(F->BtnClose, Qt::LeftButton);
            },
            [](QWidget* Modal) { return Top<TFrmSponsor>(Modal) != nullptr; });
        Driver.Then(
            [](QWidget* Modal) {
                auto* M = Top<TFrmSponsorMsg>(Modal);
                QVERIFY(M->isVisible());
                M->close();
                QTest::keyClick(M, Qt::Key_Escape);
                QVERIFY(M->isVisible());
                QTest::mouseClick(M->RzButton2, Qt::LeftButton);
            },
            [](QWidget* Modal) { return Top<TFrmSponsorMsg>(Modal) != nullptr; });
        Sponsor.ShowClosingMessage();
        QVERIFY(Driver.AllTaken());
        QCOMPARE(Driver.Seen(), 3);
        QCOMPARE(Sponsor.UseCount, 0);

        AnswerYes = true;
        Driver.Then([](QWidget* Modal) { QTest::mouseClick(Top<TFrmSponsorMsg>(Modal)->BtnHasDo, Qt::LeftButton); },
                    [](QWidget* Modal) { return Top<TFrmSponsorMsg>(Modal) != nullptr; });
        Driver.Then([](QWidget* Modal) { QTest::mouseClick(Top<TFrmSponsor>(Modal)->BtnHasDo, Qt::LeftButton); },
                    [](QWidget* Modal) { return Top<TFrmSponsor>(Modal) != nullptr; });
        Sponsor.ShowClosingMessage();
        QVERIFY(Driver.AllTaken());
        QCOMPARE(Questions.size(), size_t(1));
        QVERIFY(!QFile::exists(Settings()));
    }

    // The real confirmation box: the question icon, Yes and No, No the
    // default and the answer to Esc.
    void confirmationBoxAsksYesOrNo() {
        TModalDriver Driver;
        QMessageBox* Seen = nullptr;
        auto Check = [&Seen](QWidget* Modal) {
            auto* Box = qobject_cast<QMessageBox*>(Modal);
            QVERIFY(Box);
            Seen = Box;
            QCOMPARE(Box->icon(), QMessageBox::Question);
            QCOMPARE(Box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(Box->defaultButton(), Box->button(QMessageBox::No));
            QCOMPARE(Box->windowTitle(), QString("确认"));
            QCOMPARE(Box->text(), QString("第一行\n第二行"));
        };
        Driver.Then([&](QWidget* Modal) {
            Check(Modal);
            QTest::keyClick(Modal, Qt::Key_Escape);
        });
        QVERIFY(!AskYesNo(DefaultWindowServices(), nullptr, "第一行\r\n第二行", "确认"));
        Driver.Then([&](QWidget* Modal) {
            Check(Modal);
            QTest::mouseClick(Seen->button(QMessageBox::Yes), Qt::LeftButton);
        });
        QVERIFY(AskYesNo(DefaultWindowServices(), nullptr, "第一行\r\n第二行", "确认"));
        QVERIFY(Driver.AllTaken());
    }
};

QTEST_MAIN(SponsorWindowTest)
#include "SponsorWindowTest.moc"
