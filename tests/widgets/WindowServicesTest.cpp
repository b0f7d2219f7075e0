// The real services a window gets by default, shown on the offscreen
// platform and answered by the test as a user would, and the standard error
// report that goes through a window's services.
#include <QtTest/QtTest>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <stdexcept>
#include <vector>

#include "engine/MediaPlayer.h"
#include "widgets/FormServices.h"
#include "widgets/WindowServices.h"

namespace {

// Runs Act on the modal window of class TModal as soon as one is up, once.
template <class TModal>
void WhenShown(std::function<void(TModal*)> Act) {
    auto* Poll = new QTimer(qApp);
    QObject::connect(Poll, &QTimer::timeout, Poll, [Poll, Act] {
        if (auto* Modal = qobject_cast<TModal*>(QApplication::activeModalWidget()); Modal && Modal->isVisible()) {
            Poll->stop();
            Poll->deleteLater();
            Act(Modal);
        }
    });
    Poll->start(5);
}

// Path typed into the dialog's name field and accepted, as a user does:
// selectFile leaves the field alone once it has the focus, which it takes at
// a moment of the window system's choosing.
void TypeAndAccept(QFileDialog* Dialog, const QString& Path) {
    auto* Name = Dialog->findChild<QLineEdit*>("fileNameEdit");
    QVERIFY(Name);
    Name->setText(Path);
    QMetaObject::invokeMethod(Dialog, "accept");
}

// A window as Guard expects one: it hands out its services.
class TWindow {
public:
    TWindowServices FServices;
    int Seen = 0;
    const TWindowServices& Services() const { return FServices; }
    void Handler(int Value) {
        Seen = Value;
        throw std::runtime_error("Stream read error");
    }
};

}  // namespace

class WindowServicesTest : public QObject {
    Q_OBJECT

private slots:
    void theDefaultsAreAllThere() {
        const TWindowServices Services = DefaultWindowServices();
        QVERIFY(Services.ShowMessage);
        QVERIFY(Services.ExecuteDialog);
        QVERIFY(Services.MakeMediaPlayer);
        QVERIFY(Services.OpenUrl);
        QVERIFY(Services.ChooseApplication);
    }

    void aQuestionOffersYesAndNoWithNoAsTheDefault() {
        const TWindowServices Services = DefaultWindowServices();
        const TMessage Question{"Thank you!\r\nHave you sponsored us?", "Confirm", TMsgIcon::Question,
                                TMsgButtons::YesNo};
        bool Looked = false;
        WhenShown<QMessageBox>([&](QMessageBox* Box) {
            Looked = true;
            QCOMPARE(Box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(Box->defaultButton(), Box->button(QMessageBox::No));
            QCOMPARE(Box->icon(), QMessageBox::Question);
            QCOMPARE(Box->windowTitle(), QString("Confirm"));
            // The CR LF pair is one line break.
            QCOMPARE(Box->text(), QString("Thank you!\nHave you sponsored us?"));
            Box->button(QMessageBox::Yes)->click();
        });
        QCOMPARE(Services.ShowMessage(nullptr, Question), TMsgAnswer::Yes);
        QVERIFY(Looked);

        // Enter takes the default; a box closed without a choice says No as well.
        WhenShown<QMessageBox>([](QMessageBox* Box) { QTest::keyClick(Box, Qt::Key_Return); });
        QVERIFY(!AskYesNo(Services, nullptr, Question.Text, Question.Caption));
        WhenShown<QMessageBox>([](QMessageBox* Box) { QTest::keyClick(Box, Qt::Key_Escape); });
        QCOMPARE(Services.ShowMessage(nullptr, Question), TMsgAnswer::No);
    }

    void aMessageHasOneOkButtonAndItsIcon() {
        const TWindowServices Services = DefaultWindowServices();
        const std::pair<TMsgIcon, QMessageBox::Icon> Icons[] = {{TMsgIcon::None, QMessageBox::NoIcon},
                                                                {TMsgIcon::Information, QMessageBox::Information},
                                                                {TMsgIcon::Warning, QMessageBox::Warning},
                                                                {TMsgIcon::Error, QMessageBox::Critical}};
        for (const auto& [Icon, Shown] : Icons) {
            QMessageBox::Icon Seen = QMessageBox::NoIcon;
            QMessageBox::StandardButtons Buttons;
            WhenShown<QMessageBox>([&](QMessageBox* Box) {
                Seen = Box->icon();
                Buttons = Box->standardButtons();
                QTest::keyClick(Box, Qt::Key_Escape);
            });
            QCOMPARE(Services.ShowMessage(nullptr, {"Text", "Caption", Icon, TMsgButtons::Ok}), TMsgAnswer::Ok);
            QCOMPARE(Seen, Shown);
            QCOMPARE(Buttons, QMessageBox::Ok);
        }
    }

    // Runs first: the folder the dialogs start in is the session's.
    void fileDialogsStartInTheFolderAFileWasLastChosenIn() {
        const TWindowServices Services = DefaultWindowServices();
        const auto StartsIn = [&Services](TFileDialog& Dialog, const QString& Choose = QString()) {
            QString Folder;
            WhenShown<QFileDialog>([&](QFileDialog* Shown) {
                Folder = Shown->directory().absolutePath();
                if (Choose.isEmpty()) return Shown->reject();
                TypeAndAccept(Shown, Choose);
            });
            Services.ExecuteDialog(nullptr, Dialog);
            return Folder;
        };
        TFileDialog Open(TFileDialog::TKind::Open);
        Open.Filter = "MP3(*.mp3)|*.mp3";
        TFileDialog Save(TFileDialog::TKind::Save);
        Save.Filter = "MP3(*.mp3)|*.mp3";

        // At first the user's music folder, or home where there is none; not where the program was started.
        const QString Music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
        const QString First = QDir(QFileInfo(Music).isDir() ? Music : QDir::homePath()).absolutePath();
        QCOMPARE(StartsIn(Open), First);

        // Once a file was chosen, both dialogs start in its folder; a name with a folder of its own keeps it.
        QTemporaryDir Chosen, Other;
        QVERIFY(Chosen.isValid() && Other.isValid());
        QFile Song(Chosen.filePath("song.mp3"));
        QVERIFY(Song.open(QIODevice::WriteOnly));
        Song.close();
        QCOMPARE(StartsIn(Open, Chosen.filePath("song.mp3")), First);
        QCOMPARE(Open.FileName, Chosen.filePath("song.mp3"));
        Open.FileName.clear();
        QCOMPARE(StartsIn(Open), QDir(Chosen.path()).absolutePath());
        Save.FileName = "piece.mp3";
        QCOMPARE(StartsIn(Save), QDir(Chosen.path()).absolutePath());
        Save.FileName = Other.filePath("piece.mp3");
        QCOMPARE(StartsIn(Save), QDir(Other.path()).absolutePath());
        QCOMPARE(Save.FileName, Other.filePath("piece.mp3"));
    }

    void qtSpeaksTheLanguageItIsGiven() {
        const bool Installed = QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm");
        if (!Installed) QSKIP("Qt's translations are not installed (Debian package qt6-translations-l10n)");
        QVERIFY(SetToolkitLanguage("de"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("Suchen in:"));
        QVERIFY(SetToolkitLanguage("zh_CN"));
        QVERIFY(QCoreApplication::translate("QFileDialog", "Look in:") != QString("Look in:"));
        // A language Qt has no translation for, and none at all, leave Qt's English.
        QVERIFY(!SetToolkitLanguage("xx"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("Look in:"));
        QVERIFY(SetToolkitLanguage("fr"));
        QVERIFY(!SetToolkitLanguage(""));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("Look in:"));
    }

    void fileDialogsTakeTheFilterAndAddTheDefaultExtension() {
        QTemporaryDir Folder;
        QVERIFY(Folder.isValid());
        const TWindowServices Services = DefaultWindowServices();
        TFileDialog Save(TFileDialog::TKind::Save);
        Save.Title = "Save Mp3 file";
        Save.Filter = "MP3(*.mp3)|*.mp3";
        Save.DefaultExt = "mp3";
        Save.OverwritePrompt = true;
        Save.FileName = Folder.filePath("offered.mp3");

        const std::pair<QString, QString> Cases[] = {{"piece", "piece.mp3"}, {"piece.MP3", "piece.MP3"}};
        for (const auto& [Typed, Chosen] : Cases) {
            WhenShown<QFileDialog>([&](QFileDialog* Dialog) {
                QCOMPARE(Dialog->windowTitle(), QString("Save Mp3 file"));
                QCOMPARE(Dialog->nameFilters(), QStringList{"MP3(*.mp3)"});
                QCOMPARE(Dialog->acceptMode(), QFileDialog::AcceptSave);
                TypeAndAccept(Dialog, Folder.filePath(Typed));
            });
            QVERIFY(Services.ExecuteDialog(nullptr, Save));
            QCOMPARE(Save.FileName, Folder.filePath(Chosen));
        }

        // A cancelled dialog keeps the name it offered.
        TFileDialog Open(TFileDialog::TKind::Open);
        Open.Filter = "MP3(*.mp3)|*.mp3|All|*.*";
        Open.FileName = "kept.mp3";
        QStringList Filters;
        WhenShown<QFileDialog>([&](QFileDialog* Dialog) {
            Filters = Dialog->nameFilters();
            Dialog->reject();
        });
        QVERIFY(!Services.ExecuteDialog(nullptr, Open));
        QCOMPARE(Open.FileName, QString("kept.mp3"));
        QCOMPARE(Filters, (QStringList{"MP3(*.mp3)", "All (*.*)"}));
    }

    void theErrorReportGoesThroughTheWindowsServices() {
        std::vector<TMessage> Boxes;
        TWindow Window;
        Window.FServices.ShowMessage = [&Boxes](QWidget*, const TMessage& Message) {
            Boxes.push_back(Message);
            return TMsgAnswer::Ok;
        };
        SetApplicationTitle("Segmora");

        // A handler's error reaches the report, which ends the sentence; the caller goes on.
        Guard(&Window, &TWindow::Handler)(5);
        QCOMPARE(Window.Seen, 5);
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Text, QString("Stream read error."));
        QCOMPARE(Boxes[0].Caption, QString("Segmora"));
        QCOMPARE(Boxes[0].Icon, TMsgIcon::Error);
        QCOMPARE(Boxes[0].Buttons, TMsgButtons::Ok);

        // Punctuation below the full stop stays as it is; a handler without error shows nothing.
        RunHandler(Window.Services(), [] { throw EMediaPlayerError("No sound device!"); });
        RunHandler(Window.Services(), [] {});
        QCOMPARE(Boxes.size(), size_t(2));
        QCOMPARE(Boxes[1].Text, QString("No sound device!"));
    }
};

QTEST_MAIN(WindowServicesTest)
#include "WindowServicesTest.moc"
