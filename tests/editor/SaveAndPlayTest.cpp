// Saving the piece between the marks and listening to the file, through the
// real editor window on the offscreen platform: save names are handed in
// where the dialog would ask the user, message boxes are recorded, and the
// engine plays through the silent real-time output.
#include <QtTest/QtTest>

#include <QDir>
#include <QFile>

#include <cmath>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

#include "editor/UnitMP3Editor.h"
#include "engine/VekMp3.h"
#include "platform/TemporaryCleanup.h"
#include "player/Mpg123Player.h"
#include "tests/editor/WindowHarness.h"
#include "tests/support/FrameBuilder.h"
#include "widgets/FormControls.h"

namespace {

QByteArray ReadAll(const QString& Path) {
    QFile F(Path);
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
}

// What a save of StartMs..EndMs must hold: the audio frames (an information
// frame counts no time) from the first one that starts at or after StartMs
// until their durations reach the span.
QByteArray ExpectedAudio(const QByteArray& Source, int64_t StartMs, int64_t EndMs, int64_t& DurationMs) {
    const FrameBuilder::Bytes Data(Source.constData(), size_t(Source.size()));
    std::vector<FrameBuilder::TWalkedFrame> Frames;
    for (const FrameBuilder::TWalkedFrame& Frame : FrameBuilder::WalkFrames(Data, 0, int64_t(Data.size())).Frames)
        if (!Frame.Information) Frames.push_back(Frame);
    size_t I = 0;
    double Elapsed = 0;
    while (I < Frames.size() && Elapsed < double(StartMs)) Elapsed += Frames[I++].Ms();
    QByteArray Audio;
    double Written = 0;
    for (; I < Frames.size() && Written < double(EndMs - StartMs); ++I) {
        Audio += Source.mid(Frames[I].Offset, Frames[I].Length);
        Written += Frames[I].Ms();
    }
    DurationMs = static_cast<int64_t>(std::trunc(Written));
    return Audio;
}

// The fresh information frame a piece of a source with one starts with.
int LeadingInformationFrame(const QByteArray& Piece) {
    return FrameBuilder::LeadingInformationFrame(FrameBuilder::Bytes(Piece.constData(), size_t(Piece.size())));
}

}  // namespace

class SaveAndPlayTest : public QObject, private TWindowHarness {
    Q_OBJECT

private:
    bool Playing() const {
        return W->BtnStop->isEnabled() && W->TimerPos->isActive() && !W->BtnPlayStart->isEnabled() &&
               !W->BtnPlay2->isEnabled() && !W->BtnSetStart->isEnabled() && !W->BtnSetEnd->isEnabled() &&
               !W->TrackBarPos->isEnabled() && !W->BtnSaveMp3->isEnabled();
    }

    bool Idle() const {
        return !W->BtnStop->isEnabled() && !W->TimerPos->isActive() && W->BtnPlayStart->isEnabled() &&
               W->BtnPlay2->isEnabled() && W->BtnSetStart->isEnabled() && W->BtnSetEnd->isEnabled() &&
               W->TrackBarPos->isEnabled() && W->BtnSaveMp3->isEnabled();
    }

private slots:
    void initTestCase() {
        StartHarness();
        QVERIFY2(QFile::exists(Fixture("cbr128.mp3")), "fixtures missing");
    }

    void init() {
        // The sponsor window has come once already, so every save click saves.
        StoreSettings("[ZZ]\nsyCount=1\n");
        NewTest();
    }

    void cleanup() { W.reset(); }

    void savesThePieceBetweenTheMarksWithAndWithoutATag() {
        const QString Source = Copy("cbr128.mp3", "source.mp3");
        const QByteArray SourceBytes = ReadAll(Source);
        Open(Source);
        const int64_t Length = W->Mp3Engine->DataInfo.LengthMs;
        QVERIFY(Length > 2500);

        // A quarter of the bar's 424 pixels, and an end typed in.
        Drag(W->ImageStart, {129 + 106 + 8});
        QCOMPARE(W->ImageStart->x(), 129 + 106);
        QVERIFY(std::abs(W->StartTime - Length / 4) <= 1);
        SetTime(W->RzMaskEdit2, "000:00:02.500");
        QCOMPARE(W->EndTime, 2500_ms);
        const int64_t Start = W->StartTime;
        int64_t Duration = 0;
        const QByteArray Audio = ExpectedAudio(SourceBytes, Start, 2500, Duration);
        QVERIFY(Audio.size() > 0);

        // Tag texts typed while "Include" is off are left out.
        W->RzCheckBox1->setChecked(true);
        Type(W->RzEdit1, "Not written");
        W->RzCheckBox1->setChecked(false);
        const QString Plain = Files.filePath("plain.mp3");
        Save(Plain);
        QVERIFY(Boxes.empty());
        QCOMPARE(OfferedName, QString());
        // The source's information frame is replaced by one for the piece.
        const QByteArray PlainBytes = ReadAll(Plain);
        const int Fresh = LeadingInformationFrame(PlainBytes);
        QVERIFY(Fresh > 0);
        QCOMPARE(PlainBytes.mid(Fresh), Audio);
        TVekMP3 Saved(Plain.toStdString());
        QVERIFY(Saved.DataInfo.Valid);
        QCOMPARE(Saved.DataInfo.Id3v1Size, 0);
        QCOMPARE(Saved.DataInfo.LengthMs, Duration);
        // Nothing in the window changes, so another piece can be saved at once.
        QCOMPARE(W->StartTime, Start);
        QCOMPARE(W->EndTime, 2500_ms);
        QVERIFY(W->BtnSaveMp3->isEnabled());
        QVERIFY(W->PanelState->isHidden());

        W->RzCheckBox1->setChecked(true);
        Type(W->RzEdit1, "Segment title");
        Type(W->RzEdit2, "Artist");
        const QString Album = "An album name of forty characters long!!";
        QCOMPARE(Album.size(), 40);
        Type(W->RzEdit3, Album);
        Type(W->RzEdit6, "2024");
        Type(W->RzEdit7, "Thirty characters of comment!");
        QTest::keyClick(W->RzEdit7, Qt::Key_Exclam);
        QCOMPARE(W->RzEdit7->text().size(), 30);
        QCOMPARE(W->RzComboBox1->currentIndex(), -1);

        struct TCase {
            const char* Track;
            uint8_t Stored;
            int CommentBytes;
        };
        for (const TCase& C : {TCase{"", 0, 30}, TCase{"7", 7, 28}, TCase{"300", 0, 30}}) {
            Type(W->RzEdit5, C.Track);
            const QString Name = Files.filePath(QString("tagged-%1.mp3").arg(C.Track));
            const QString Offered = NextFile;
            Save(Name);
            QVERIFY(Boxes.empty());
            // The dialog offers the name chosen last time.
            QCOMPARE(OfferedName, Offered);

            const QByteArray Bytes = ReadAll(Name);
            QCOMPARE(Bytes.size(), Fresh + Audio.size() + 128);
            QCOMPARE(Bytes.mid(Fresh, Audio.size()), Audio);
            const QByteArray Tag = Bytes.right(128);
            QCOMPARE(Tag.left(3), QByteArray("TAG"));
            QCOMPARE(Tag.mid(3, 30), QByteArray("Segment title").leftJustified(30, '\0'));
            QCOMPARE(Tag.mid(63, 30), Album.left(30).toLatin1());
            QCOMPARE(Tag.mid(93, 4), QByteArray("2024"));
            QCOMPARE(Tag.mid(97, C.CommentBytes), QByteArray("Thirty characters of comment!!").left(C.CommentBytes));
            QCOMPARE(uint8_t(Tag[125]), uint8_t(C.Stored ? 0 : '!'));
            QCOMPARE(uint8_t(Tag[126]), uint8_t(C.Stored ? C.Stored : '!'));
            QCOMPARE(uint8_t(Tag[127]), uint8_t(255));

            TVekMP3 Analysed(Name.toStdString());
            QVERIFY(Analysed.DataInfo.Valid);
            QCOMPARE(Analysed.DataInfo.Id3v1Size, 128);
            QCOMPARE(Analysed.DataInfo.LengthMs, Duration);
            QCOMPARE(Analysed.DataInfo.Id3Tag.Track, C.Stored);
            QCOMPARE(Analysed.DataInfo.Id3Tag.Genre, uint8_t(255));
            QCOMPARE(QByteArray(Analysed.DataInfo.Id3Tag.Artist, 6), QByteArray("Artist"));
        }

        // A chosen genre is written as its item number.
        W->RzComboBox1->setCurrentIndex(17);
        Save(Files.filePath("rock.mp3"));
        QCOMPARE(uint8_t(ReadAll(Files.filePath("rock.mp3")).back()), uint8_t(17));
    }

    void tagTextsAreWrittenInTheSystemCodePage() {
        const QByteArray Saved = qgetenv("LC_ALL");
        qputenv("LC_ALL", "zh_CN.UTF-8");
        Open(Copy("cbr128.mp3", "gbk.mp3"));
        W->RzCheckBox1->setChecked(true);
        // 15 Latin bytes, then characters of two bytes each: byte 30 would be
        // the first half of one, so the title ends after 29 bytes.
        // (Keys can type Latin-1 only.)
        W->RzEdit1->setText("abcdefghijklmno"
                            "中文标题中文标题");
        W->RzEdit2->setText("歌手");
        const QString Name = Files.filePath("gbk-out.mp3");
        Save(Name);
        qputenv("LC_ALL", Saved);
        QVERIFY(Boxes.empty());
        const QByteArray Tag = ReadAll(Name).right(128);
        QCOMPARE(Tag.mid(3, 30), QByteArray("abcdefghijklmno\xD6\xD0\xCE\xC4\xB1\xEA\xCC\xE2\xD6\xD0\xCE\xC4\xB1\xEA")
                                     .leftJustified(30, '\0'));
        QCOMPARE(Tag.mid(33, 5), QByteArray("\xB8\xE8\xCA\xD6\0", 5));
    }

    void refusesWhatCannotBeSavedAndNeverTouchesTheOpenFile() {
        const QString Source = Copy("cbr128.mp3", "Song.mp3");
        const QByteArray Original = ReadAll(Source);
        Open(Source);

        // Equal marks: refused before any dialog.
        SetTime(W->RzMaskEdit2, "000:00:00.000");
        QCOMPARE(W->StartTime, W->EndTime);
        Save(Files.filePath("never.mp3"));
        QCOMPARE(SaveDialogs, 0);
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Text, Edition("结束点必须大于起始点", "The end mark must come after the start mark."));
        QCOMPARE(Boxes[0].Caption, Edition("信息", "Information"));
        QCOMPARE(Boxes[0].Icon, TMsgIcon::Information);
        SetTime(W->RzMaskEdit2, "000:00:01.000");

        // A cancelled dialog saves nothing and says nothing.
        Boxes.clear();
        CancelDialog = true;
        QTest::mouseClick(W->BtnSaveMp3, Qt::LeftButton);
        QCOMPARE(SaveDialogs, 1);
        QVERIFY(Boxes.empty());
        QVERIFY(!QFile::exists(Files.filePath("never.mp3")));

        // The open file's own name in other letter case.
        const QString OtherCase = Files.filePath("SONG.mp3");
        Save(OtherCase);
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Text, Edition("请使用其他文件名，不能保存为：",
                                        "Please choose another file name. The piece cannot be saved as:") +
                                    "\r\n" + OtherCase);
        QCOMPARE(Boxes[0].Caption, Edition("信息", "Information"));
        QCOMPARE(Boxes[0].Icon, TMsgIcon::Information);
        QVERIFY(!QFile::exists(OtherCase));
        QVERIFY(W->PanelState->isHidden());

        // The open file under another path form: the engine refuses it.
        QVERIFY(QFile::link(Source, Files.filePath("link.mp3")));
        const QString Unwritable[] = {Files.path() + "/./Song.mp3", Files.filePath("link.mp3"),
                                      Files.filePath("no-such-folder/piece.mp3"), "/proc/segmora-piece.mp3"};
        for (const QString& Name : Unwritable) {
            Boxes.clear();
            Save(Name);
            QCOMPARE(Boxes.size(), size_t(1));
            QCOMPARE(Boxes[0].Text, Edition("不能保存MP3文件", "The MP3 file could not be saved."));
            QCOMPARE(Boxes[0].Caption, Edition("错误", "Error"));
            QCOMPARE(Boxes[0].Icon, TMsgIcon::Error);
            QVERIFY(W->PanelState->isHidden());
            QVERIFY(W->BtnSaveMp3->isEnabled());
        }
        QCOMPARE(ReadAll(Source), Original);
        QVERIFY(QFileInfo(Files.filePath("link.mp3")).isSymLink());
        QCOMPARE(QDir(Files.path()).entryList({"*.segmora-*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    void playsFromTheStartMarkAndFollowsThePlayerUntilStopped() {
        Open(Copy("cbr128.mp3", "play.mp3"));
        QCOMPARE(W->TimerPos->interval(), 1000);
        W->TimerPos->setInterval(100);
        QVERIFY(Idle());

        // From the end mark, which stands at the file's end, nothing plays.
        W->PM_FromEnd->trigger();
        QVERIFY(Idle());
        QCOMPARE(W->Mp3Engine->GetPlayPosition(), -1_ms);

        SetTime(W->RzMaskEdit1, "000:00:01.000");
        W->PM_FromStart->trigger();
        QVERIFY(Playing());
        QCOMPARE(W->TrackBarPos->Position(), 1000);
        QCOMPARE(W->Label1->text(), QString("000:00:01.000"));
        QVERIFY(W->Mp3Engine->GetPlayPosition() >= 1000);

        // The bar follows the player, and the label the bar.
        QTRY_VERIFY_WITH_TIMEOUT(W->TrackBarPos->Position() > 1000, 3000);
        W->TimerPosTimer(W->TimerPos);
        const int Shown = W->TrackBarPos->Position();
        QVERIFY(W->Mp3Engine->GetPlayPosition() >= Shown);
        QCOMPARE(W->Label1->text(), W->MsToTimeCode(Shown));

        // The marks and their edits stay usable; playback goes on past the end mark.
        SetTime(W->RzMaskEdit2, "000:00:01.200");
        QCOMPARE(W->EndTime, 1200_ms);
        QVERIFY(Playing());
        QTRY_VERIFY_WITH_TIMEOUT(W->TrackBarPos->Position() > 1200, 3000);
        QVERIFY(W->Mp3Engine->GetPlayPosition() >= 0);

        QTest::mouseClick(W->BtnStop, Qt::LeftButton);
        QVERIFY(Idle());
        QCOMPARE(W->Mp3Engine->GetPlayPosition(), -1_ms);
        const int Stopped = W->TrackBarPos->Position();
        QTest::qWait(250);
        QCOMPARE(W->TrackBarPos->Position(), Stopped);

        // The play button plays from where the bar stands, and leaves the bar there.
        QTest::mouseClick(W->BtnPlayStart, Qt::LeftButton);
        QVERIFY(Playing());
        QCOMPARE(W->TrackBarPos->Position(), Stopped);
        QVERIFY(W->Mp3Engine->GetPlayPosition() >= Stopped);

        // Closing while playing stops the timer before the engine goes.
        W->close();
        QVERIFY(!W->Mp3Engine);
        QVERIFY(!W->TimerPos->isActive());
    }

    void theEndOfTheFileReturnsToIdleWithinOneTick() {
        Open(Copy("cbr128.mp3", "end.mp3"));
        // With the bar's thumb at the far right nothing plays.
        W->TrackBarPos->SetPosition(W->TrackBarPos->Max());
        QTest::mouseClick(W->BtnPlayStart, Qt::LeftButton);
        QVERIFY(Idle());

        // The last tenth of a second or so.
        Drag(W->ImageStart, {540 + 8});
        QVERIFY(W->StartTime < W->Mp3Engine->DataInfo.LengthMs);
        W->TimerPos->setInterval(60000);
        W->PM_FromStart->trigger();
        QVERIFY(Playing());
        QTRY_VERIFY_WITH_TIMEOUT(W->Mp3Engine->IsStopped(), 3000);
        QVERIFY(Playing());  // until the timer looks
        W->TimerPosTimer(W->TimerPos);
        QVERIFY(Idle());

        // And the timer does look.
        W->TimerPos->setInterval(100);
        W->PM_FromStart->trigger();
        QVERIFY(Playing());
        QTRY_VERIFY_WITH_TIMEOUT(Idle(), 3000);
    }

    void setsTheMarksFromThePositionWithinTheirBounds() {
        Open(Copy("cbr128.mp3", "marks.mp3"));
        const int64_t Length = W->Mp3Engine->DataInfo.LengthMs;
        SetTime(W->RzMaskEdit2, "000:00:01.500");

        // Beyond the end mark: the start goes no further than the end.
        W->TrackBarPos->SetPosition(2500);
        QTest::mouseClick(W->BtnSetStart, Qt::LeftButton);
        QCOMPARE(W->StartTime, 1500_ms);
        QCOMPARE(W->RzMaskEdit1->Text(), QString("000:00:01.500"));
        QCOMPARE(W->ImageStart->x(), 129 + int(std::lround(424.0 * 1500 / Length)));

        QTest::mouseClick(W->BtnSetEnd, Qt::LeftButton);
        QCOMPARE(W->EndTime, 2500_ms);
        QCOMPARE(W->ImageEnd->x(), 135 + int(std::lround(425.0 * 2500 / Length)));
        W->TrackBarPos->SetPosition(400);
        QTest::mouseClick(W->BtnSetEnd, Qt::LeftButton);
        QCOMPARE(W->EndTime, 1500_ms);
        QTest::mouseClick(W->BtnSetStart, Qt::LeftButton);
        QCOMPARE(W->StartTime, 400_ms);
        QVERIFY(Boxes.empty());
    }

    // A save that cannot write (the file size limit stands for a full disk)
    // reports the file and the reason through the application's error
    // report; a FIFO as the target gets the window's own refusal. Neither
    // touches what was there.
    void aFailedWriteSaysWhichFileAndWhy() {
        Open(Copy("cbr128.mp3", "Song.mp3"));
        const QString Old = Files.filePath("old.mp3");
        {
            QFile F(Old);
            QVERIFY(F.open(QIODevice::WriteOnly));
            F.write("previous piece");
        }
        IgnoreWriteSignals();
        struct rlimit Saved {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &Saved), 0);
        struct rlimit Small = Saved;
        Small.rlim_cur = 4096;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &Small), 0);
        Save(Old);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &Saved), 0);
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Text, "Stream write error \"" + QFileInfo(Old).canonicalFilePath() + "\". File too large.");
        QCOMPARE(Boxes[0].Caption, QString("Segmora"));
        QCOMPARE(Boxes[0].Icon, TMsgIcon::Error);
        QCOMPARE(ReadAll(Old), QByteArray("previous piece"));
        QVERIFY(W->PanelState->isHidden());

        Boxes.clear();
        const QString Fifo = Files.filePath("fifo.mp3");
        QCOMPARE(::mkfifo(QFile::encodeName(Fifo).constData(), 0600), 0);
        Save(Fifo);
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Text, Edition("不能保存MP3文件", "The MP3 file could not be saved."));
        QVERIFY(QFileInfo(Fifo).exists() && !QFileInfo(Fifo).isFile());
        QCOMPARE(QDir(Files.path()).entryList({"*.segmora-*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    void withoutASoundDeviceFilesOpenAndPlayingSaysWhy() {
        // The window's own kind of player, on a driver that is nowhere.
        MakePlayer = [] {
            TAudioOutput Output;
            Output.Kind = TAudioOutputKind::Auto;
            Output.Drivers = "no-such-driver";
            return CreateMediaPlayer(Output);
        };
        NewWindow();
        Open(Copy("cbr128.mp3", "device.mp3"));
        QVERIFY(Boxes.empty());
        QVERIFY(Idle());
        for (int Attempt = 0; Attempt < 2; ++Attempt) {
            W->PM_FromStart->trigger();
            QCOMPARE(Boxes.size(), size_t(Attempt + 1));
            QVERIFY2(Boxes.back().Text.contains("no-such-driver"), qPrintable(Boxes.back().Text));
            // The edition's own words lead, the player's technical reason follows.
            QVERIFY2(Boxes.back().Text.startsWith(Edition("无法播放。", "The file could not be played.") + "\r\n"),
                     qPrintable(Boxes.back().Text));
            QCOMPARE(Boxes.back().Caption, QString("Segmora"));
            QCOMPARE(Boxes.back().Icon, TMsgIcon::Error);
            QVERIFY(Idle());
        }
        // Saving needs no sound.
        Save(Files.filePath("device-piece.mp3"));
        QCOMPARE(Boxes.size(), size_t(2));
        QVERIFY(QFile::exists(Files.filePath("device-piece.mp3")));
    }

    void openingAFileDuringPlaybackStopsItFirst() {
        Open(Copy("cbr128.mp3", "first.mp3"));
        W->PM_FromStart->trigger();
        QVERIFY(Playing());

        // A cancelled dialog leaves the playback alone.
        CancelDialog = true;
        QTest::mouseClick(W->BtnOpenMp3, Qt::LeftButton);
        QVERIFY(Playing());
        QVERIFY(W->Mp3Engine->GetPlayPosition() >= 0);

        // A valid file: idle with the new file, nothing playing, nothing to notice later.
        Open(Copy("mono.mp3", "second.mp3"));
        QVERIFY(Idle());
        QCOMPARE(W->Mp3Engine->GetPlayPosition(), -1_ms);
        QCOMPARE(W->EndTime, W->Mp3Engine->DataInfo.LengthMs);
        W->TimerPosTimer(W->TimerPos);
        QVERIFY(Idle());

        // A file that is no MP3: the old playback ends too, and nothing comes back to life.
        W->PM_FromStart->trigger();
        QVERIFY(Playing());
        Open(Write("text.mp3", "This is no MP3 file at all."));
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(W->Mp3Engine->GetPlayPosition(), -1_ms);
        QVERIFY(!W->TimerPos->isActive());
        W->TimerPosTimer(W->TimerPos);
        for (QWidget* C : std::initializer_list<QWidget*>{W->BtnStop, W->BtnPlayStart, W->BtnPlay2, W->BtnSaveMp3,
                                                          W->TrackBarPos, W->BtnSetStart})
            QVERIFY2(!C->isEnabled(), qPrintable(C->objectName()));
    }
};

QTEST_MAIN(SaveAndPlayTest)
#include "SaveAndPlayTest.moc"
