// Opening a file without the open dialog: named on the program's command
// line, or dropped onto the window. Both take the open button's path once the
// message loop comes to them.
#include <QtTest/QtTest>

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include "editor/CommandLine.h"
#include "editor/UnitMP3Editor.h"
#include "tests/editor/WindowHarness.h"

class OpenFileTest : public QObject, private TWindowHarness {
    Q_OBJECT

private:
    bool Opened(const QString& FileName) const {
        return W->Label12->text() == FileName && W->Mp3Engine->DataInfo.FileName == FileName.toStdString() &&
               W->Mp3Engine->DataInfo.Valid && W->BtnPlayStart->isEnabled() && W->BtnSaveMp3->isEnabled() &&
               !W->BtnStop->isEnabled() && !W->TimerPos->isActive();
    }

    // Drags Urls (and their text, as file managers also offer it) onto
    // Target and drops them there: whether the drag and the drop were taken.
    std::pair<bool, bool> DropOn(QWidget* Target, const QList<QUrl>& Urls, bool WithText = true) {
        QMimeData Data;
        Data.setUrls(Urls);
        if (WithText && !Urls.isEmpty()) Data.setText(Urls[0].toString());
        const QPoint At = Target->rect().center();
        QDragEnterEvent Enter(At, Qt::CopyAction | Qt::MoveAction, &Data, Qt::LeftButton, {});
        QApplication::sendEvent(Target, &Enter);
        QDropEvent Drop(At, Qt::CopyAction | Qt::MoveAction, &Data, Qt::LeftButton, {});
        QApplication::sendEvent(Target, &Drop);
        return {Enter.isAccepted(), Drop.isAccepted()};
    }

    // Lets queued work run; a file that was to be opened has been by then.
    static void Settle() {
        for (int I = 0; I < 5; ++I) QCoreApplication::processEvents();
    }

private slots:
    void initTestCase() {
        StartHarness();
        QVERIFY2(QFile::exists(Fixture("cbr128.mp3")), "fixtures missing");
    }
    void init() {
        QFile::remove(SettingsFile());
        NewTest();
    }
    void cleanup() { W.reset(); }

    void theCommandLineNamesAtMostOneFile() {
        using A = TCommandLine::TAction;
        const QString Here = QDir::currentPath();
        const struct {
            QStringList Arguments;
            A Action;
            QString FileName;
        } Cases[] = {
            {{"segmora"}, A::Run, ""},
            {{"segmora", "a.mp3"}, A::Run, Here + "/a.mp3"},
            {{"segmora", "x/../b c.mp3"}, A::Run, Here + "/b c.mp3"},
            {{"segmora", "/music/歌.mp3"}, A::Run, "/music/歌.mp3"},
            {{"segmora", "--", "--version"}, A::Run, Here + "/--version"},
            {{"segmora", "--version"}, A::Version, ""},
            {{"segmora", "a.mp3", "--version"}, A::Version, ""},
            {{"segmora", "--help"}, A::Help, ""},
            {{"segmora", "-h"}, A::Help, ""},
            {{"segmora", "--bogus"}, A::Usage, ""},
            {{"segmora", "--bogus", "--version"}, A::Usage, ""},
            {{"segmora", "-platform", "offscreen"}, A::Usage, ""},
            {{"segmora", "a.mp3", "b.mp3"}, A::Usage, ""},
            {{"segmora", ""}, A::Usage, ""},
        };
        for (const auto& Case : Cases) {
            const TCommandLine Line = ParseCommandLine(Case.Arguments);
            const QString What = Case.Arguments.join(' ');
            QVERIFY2(Line.Action == Case.Action, qPrintable(What));
            QCOMPARE(Line.FileName, Case.FileName);
            QCOMPARE(Line.Error.isEmpty(), Case.Action != A::Usage);
        }
        QVERIFY(ParseCommandLine({"segmora", "--bogus"}).Error.contains("bogus"));
    }

    void aFileNamedOnTheCommandLineOpensOnceTheLoopRuns() {
        QVERIFY(QDir::setCurrent(Files.path()));
        const QString Given = Copy("cbr128.mp3", "given.mp3");
        const TCommandLine Line = ParseCommandLine({"segmora", "given.mp3"});
        QCOMPARE(Line.FileName, Given);
        const QString Before = W->Label12->text();
        W->OpenMp3FileLater(Line.FileName);
        QCOMPARE(W->Label12->text(), Before);
        QTRY_VERIFY(Opened(Given));
        QCOMPARE(W->Label22->text(), W->MsToTimeCode(W->Mp3Engine->DataInfo.LengthMs));
        QVERIFY(Boxes.empty());

        // A file that is not there is reported by name, as a failed handler is.
        W->OpenMp3FileLater(Files.filePath("missing.mp3"));
        QTRY_COMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Icon, TMsgIcon::Error);
        QVERIFY(Boxes[0].Text.contains("missing.mp3"));
    }

    void aDroppedFileOpensLikeAChosenOne() {
        const QString First = Copy("cbr128.mp3", "first.mp3");
        const QString Second = Copy("vbr.mp3", "second.mp3");
        const QString Before = W->Label12->text();
        QCOMPARE(DropOn(W.get(), {QUrl::fromLocalFile(First)}), std::make_pair(true, true));
        // Opened after the drop has returned to the program it came from.
        QCOMPARE(W->Label12->text(), Before);
        QTRY_VERIFY(Opened(First));

        // Several: the first that is a local file; web addresses and folders are passed over.
        const QList<QUrl> Several{QUrl("https://example.org/a.mp3"), QUrl::fromLocalFile(Files.path()),
                                  QUrl::fromLocalFile(Second), QUrl::fromLocalFile(First)};
        QCOMPARE(DropOn(W.get(), Several), std::make_pair(true, true));
        QTRY_VERIFY(Opened(Second));
        QVERIFY(Boxes.empty());
    }

    void dropsWithoutALocalFileAreLeftAlone() {
        const QString Source = Copy("cbr128.mp3", "source.mp3");
        Open(Source);
        QVERIFY(Opened(Source));
        const QList<QList<QUrl>> Refused{{},
                                         {QUrl("https://example.org/a.mp3")},
                                         {QUrl::fromLocalFile(Files.path())},
                                         {QUrl::fromLocalFile(Files.filePath("missing.mp3"))}};
        for (const QList<QUrl>& Urls : Refused) {
            QCOMPARE(DropOn(W.get(), Urls), std::make_pair(false, false));
            Settle();
            QVERIFY(Opened(Source));
        }
        // Text alone is not a file either.
        QMimeData Text;
        Text.setText(Files.filePath("source.mp3"));
        QDragEnterEvent Enter(QPoint(300, 300), Qt::CopyAction, &Text, Qt::LeftButton, {});
        QApplication::sendEvent(W.get(), &Enter);
        QVERIFY(!Enter.isAccepted());
        QVERIFY(Boxes.empty());

        // A drop the window had taken just before it was closed.
        QCOMPARE(DropOn(W.get(), {QUrl::fromLocalFile(Source)}), std::make_pair(true, true));
        W->close();
        Settle();
        QVERIFY(!W->Mp3Engine);
        QVERIFY(Boxes.empty());
    }

    void aFileDroppedOnAnEditIsTheWindowsButTextStaysTheEdits() {
        const QString Source = Copy("id3v1.mp3", "tagged.mp3");
        Open(Copy("cbr128.mp3", "source.mp3"));
        W->RzPageControl1->setCurrentWidget(W->TabSheet1);
        W->RzCheckBox1->setChecked(true);
        W->RzCheckBox1Click(W->RzCheckBox1);
        QVERIFY(W->RzEdit1->isEnabled());
        W->RzEdit1->setText("kept");
        QCOMPARE(DropOn(W->RzEdit1, {QUrl::fromLocalFile(Source)}), std::make_pair(true, true));
        QTRY_VERIFY(Opened(Source));
        QVERIFY(W->RzEdit1->text() != "kept" && !W->RzEdit1->text().contains("tagged.mp3"));

        // Dragged text still goes to the edit.
        QMimeData Text;
        Text.setText("words");
        QDragEnterEvent Enter(W->RzEdit1->rect().center(), Qt::CopyAction, &Text, Qt::LeftButton, {});
        QApplication::sendEvent(W->RzEdit1, &Enter);
        QVERIFY(Enter.isAccepted());
    }

    void aDropStopsThePlaybackAndTheAnalysisRefusesWhatIsNoMp3() {
        const QString Source = Copy("cbr128.mp3", "source.mp3");
        Open(Source);
        QTest::mouseClick(W->BtnPlayStart, Qt::LeftButton);
        QVERIFY(W->BtnStop->isEnabled() && W->TimerPos->isActive());

        // Any regular file is taken; the analysis says it is no MP3.
        const QString Text = Write("notes.mp3", std::string(4000, 'x'));
        QCOMPARE(DropOn(W.get(), {QUrl::fromLocalFile(Text)}), std::make_pair(true, true));
        QTRY_COMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Text, Text + "\r\n" + Edition("不是MP3文件", "This is not an MP3 file."));
        QVERIFY(!W->BtnStop->isEnabled() && !W->TimerPos->isActive());
        QVERIFY(!W->BtnPlayStart->isEnabled() && !W->BtnSaveMp3->isEnabled());
        QVERIFY(!W->Mp3Engine->DataInfo.Valid);
    }
};

QTEST_MAIN(OpenFileTest)
#include "OpenFileTest.moc"
