// Drives the real editor window on the offscreen platform: the chosen file
// name is handed in where the open dialog would ask the user, message boxes
// are recorded instead of shown, and markers and edits get real mouse and
// key events.
#include <QtTest/QtTest>

#include <QFile>
#include <QRegion>
#include <QSignalSpy>

#include <string>

#include "editor/UnitMP3Editor.h"
#include "sponsor/UnitSponsor.h"
#include "sponsor/UnitSponsorMsg.h"
#include "tests/editor/WindowHarness.h"
#include "tests/support/FrameBuilder.h"
#include "widgets/FormControls.h"
#include "widgets/FormServices.h"

namespace {

using namespace FrameBuilder;

// MPEG 1 layer 1, 32 kbit/s, 48 kHz: 32 bytes and exactly 8 ms a frame.
const TFrameKind Layer1Stereo{Mpeg1, 1, 32, 48000, 0, Stereo};
const TFrameKind Layer1Mono{Mpeg1, 1, 32, 48000, 0, SingleChannel};
// MPEG 2.5 layer 3, 8 kbit/s, 8 kHz: 72 bytes and 72 ms a frame.
const TFrameKind Mpeg25Layer3{Mpeg25, 3, 8, 8000, 0, Stereo};

}  // namespace

class EditorTest : public QObject, private TWindowHarness {
    Q_OBJECT

private:
    // A ten-second file, so that times and marker places are easy to reckon.
    QString TenSeconds() { return Write("ten.mp3", Frames(Layer1Stereo, 1250)); }
    // 144 seconds, for times with two-digit seconds.
    QString Long() { return Write("long.mp3", Frames(Mpeg25Layer3, 2000)); }

private slots:
    void initTestCase() { StartHarness(); }

    void init() {
        QFile::remove(SettingsFile());
        NewTest();
    }

    void cleanup() { W.reset(); }

    void startsWithEveryControlInPlaceAndTheEditionsTexts() {
        QCOMPARE(W->size(), QSize(592, 452));
        QVERIFY(W->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(W->objectName(), QString("FrmMP3Editor"));
        QCOMPARE(AppPath, QCoreApplication::applicationDirPath() + "/");
        // The edition the build was asked for (SEGMORA_EDITION).
        QCOMPARE(ChineseEdition, SEGMORA_CHINESE_EDITION);

        const std::pair<const char*, QRect> Places[] = {
            {"BtnOpenMp3", {187, 34, 64, 64}},
            {"BtnSaveMp3", {267, 34, 64, 64}},
            {"BtnSp", {435, 34, 64, 64}},
            {"BtnAbout", {515, 34, 64, 64}},
            {"RzBmpButton1", {540, 1, 40, 20}},
            {"RzBmpButton2", {513, 1, 27, 20}},
            {"RzMaskEdit1", {240, 116, 96, 21}},
            {"RzMaskEdit2", {240, 140, 96, 21}},
            {"BtnSetStart", {337, 115, 25, 23}},
            {"BtnSetEnd", {337, 139, 25, 23}},
            {"BtnPlayStart", {368, 114, 88, 48}},
            {"BtnPlay2", {455, 114, 25, 48}},
            {"BtnStop", {484, 114, 88, 48}},
            {"ImageStart", {129, 173, 16, 16}},
            {"ImageEnd", {560, 173, 16, 16}},
            {"TrackBarPos", {128, 189, 449, 20}},
            {"RzPageControl1", {21, 225, 553, 184}},
            {"PanelState", {201, 201, 190, 50}},
            {"RzCheckBox1", {104, 14, 105, 17}},
            {"RzEdit1", {104, 38, 369, 21}},
            {"RzComboBox1", {104, 122, 133, 21}},
            {"RzEdit5", {336, 122, 49, 21}},
            {"RzEdit6", {432, 122, 41, 21}},
            {"RzEdit7", {104, 150, 369, 21}},
            {"FS", {1, 0, 592, 452}},
            {"Label10", {0, 0, 592, 105}},
        };
        for (const auto& [Name, Place] : Places) {
            auto* Control = W->findChild<QWidget*>(Name);
            QVERIFY2(Control, Name);
            QCOMPARE(Control->geometry(), Place);
        }
        for (const char* Name : {"TimerPos", "PopupMenu1", "PM_Play", "PM_FromStart", "PM_FromEnd", "OpenDialog1",
                                 "SaveDialog1", "PopupMenuView", "PM_English", "PM_French", "Label24", "Label25"})
            QVERIFY2(W->findChild<QObject*>(Name), Name);
        QCOMPARE(TagOf(W->PM_FromEnd), 2);
        QCOMPARE(TagOf(W->PM_Italian), 3);

        // Caption labels end at x 104 on the information page.
        QCOMPARE(W->Label23->geometry().right() + 1, 104);
        QCOMPARE(W->Label17->geometry().right() + 1, 104);

        // The edition's texts: built in, or the English language file on a system without a language.
        QCOMPARE(ApplicationTitle(), QString("Segmora"));
        QCOMPARE(W->RzPageControl1->currentWidget(), W->TabSheet2);
        if (ChineseEdition) {
            QVERIFY(W->Label28->isHidden());
            QCOMPARE(W->Label11->text(), QString("Segmora 2.3.7.0"));
            QCOMPARE(W->Label23->text(), QString("文件大小:"));
            QCOMPARE(W->Label17->text(), QString("播放时长:"));
            QCOMPARE(W->RzCheckBox1->text(), QString("包含"));
            QCOMPARE(W->BtnPlayStart->text(), QString("播 放"));
            QCOMPARE(W->ImageEnd->toolTip(), QString("用鼠标拖动设定结束点"));
            QCOMPARE(W->RzBmpButton1->toolTip(), QString("关闭"));
            QCOMPARE(W->RzPageControl1->tabText(W->RzPageControl1->indexOf(W->TabSheet2)), QString("常规"));
            QCOMPARE(W->RzPageControl1->tabText(W->RzPageControl1->indexOf(W->TabSheet1)), QString("ID3Tags V1"));
            QCOMPARE(W->Label25->text(), QString("正在打开......"));
            QCOMPARE(W->Ms_NotSaveName, QString("请使用其他文件名，不能保存为：\r\n"));
            QCOMPARE(W->Ms_AppError.count("\n\r"), 2);
            QCOMPARE(W->Ms_ClipErr, QString("结束点必须大于起始点"));
            QCOMPARE(W->OpenDialog1->Title, QString("打开mp3文件"));
            QCOMPARE(W->SaveDialog1->Title, QString("保存mp3文件"));
            QCOMPARE(W->PM_Play->text(), QString("从当前位置播放"));
            QCOMPARE(W->font().pixelSize(), 12);
            QCOMPARE(W->Label11->font().family(), QString("微软雅黑"));
            QCOMPARE(W->Label11->font().pixelSize(), 13);
        } else {
            QVERIFY(W->Label28->isVisible());
            QVERIFY(W->PM_English->isChecked());
            QCOMPARE(W->Label11->text(), QString("Segmora version 2.3.7.0"));
            QCOMPARE(W->Label23->text(), QString("File size:"));
            QCOMPARE(W->BtnPlayStart->text(), QString("&Play"));
            QCOMPARE(W->RzBmpButton1->toolTip(), QString("Close"));
            QCOMPARE(W->RzPageControl1->tabText(W->RzPageControl1->indexOf(W->TabSheet1)), QString("ID3v1 tag"));
            QCOMPARE(W->Ms_NotSaveName, QString("Please choose another file name. The piece cannot be saved as:\r\n"));
            QCOMPARE(W->OpenDialog1->Title, QString("Open MP3 file"));
            QCOMPARE(W->PM_Play->text(), QString("Play from the current position"));
            QCOMPARE(W->font().pixelSize(), 11);
        }
        QVERIFY(!W->BtnOpenMp3->Up.isNull());

        // Nothing is open yet.
        QCOMPARE(W->RzComboBox1->count(), 148);
        QCOMPARE(W->RzComboBox1->itemText(17), QString("Rock"));
        QCOMPARE(W->RzComboBox1->currentIndex(), -1);
        QVERIFY(!W->BtnSaveMp3->isEnabled());
        QVERIFY(W->BtnOpenMp3->isEnabled());
        QVERIFY(W->ImageFileState2->isVisible());
        QVERIFY(!W->ImageFileState1->isVisible());
        for (QWidget* C : std::initializer_list<QWidget*>{W->ImageStart, W->ImageEnd, W->LabelStart, W->LabelEnd,
                                                          W->RzMaskEdit1, W->RzMaskEdit2, W->TrackBarPos,
                                                          W->BtnPlayStart, W->BtnStop, W->RzEdit1, W->RzCheckBox1})
            QVERIFY2(!C->isEnabled(), qPrintable(C->objectName()));
        QCOMPARE(W->ImageStart->x(), 129);
        QCOMPARE(W->ImageEnd->x(), 560);
        QVERIFY(!W->ImageStart->Picture().isNull());
        QCOMPARE(W->RzMaskEdit1->Text(), QString("000:00:00.000"));
        QCOMPARE(W->StartTime, 0_ms);
        QCOMPARE(W->EndTime, 0_ms);
        QVERIFY(W->PanelState->isHidden());

        // The rounded outline from (2, 1) to (593, 452).
        const QRegion Outline = W->mask();
        QVERIFY(Outline.contains(QPoint(2, 200)));
        QVERIFY(!Outline.contains(QPoint(1, 200)));
        QVERIFY(Outline.contains(QPoint(300, 1)));
        QVERIFY(!Outline.contains(QPoint(300, 0)));
        QVERIFY(!Outline.contains(QPoint(2, 1)));
        QVERIFY(Boxes.empty());
    }

    void readsTheLanguageSettingAndWritesItBackAtClose() {
        // No file: 7, and nothing is created until the window closes.
        QCOMPARE(LangIndex, 7);
        QVERIFY(!QFile::exists(SettingsFile()));
        W->close();
        QVERIFY(!W->Mp3Engine);
        QFile Created(SettingsFile());
        QVERIFY(Created.open(QIODevice::ReadOnly));
        QCOMPARE(Created.readAll(), QByteArray("[LANGUAGE]\nDefault=7\n"));
        Created.close();

        const std::pair<const char*, int> Cases[] = {{"12", 7}, {"-3", 0}, {"abc", 7}, {"3", 3}, {"", 7}};
        for (const auto& [Stored, Expected] : Cases) {
            W.reset();
            QFile F(SettingsFile());
            QVERIFY(F.open(QIODevice::WriteOnly | QIODevice::Truncate));
            F.write(QByteArray("[ZZ]\nsyCount=4\n\n[language]\ndefault=") + Stored + "\n");
            F.close();
            NewWindow();
            QCOMPARE(int(LangIndex), Expected);
        }
        // The Chinese edition writes the setting back unchanged and keeps the rest of the file.
        W->close();
        QFile Kept(SettingsFile());
        QVERIFY(Kept.open(QIODevice::ReadOnly));
        QCOMPARE(Kept.readAll(), QByteArray("[ZZ]\nsyCount=4\n\n[language]\nDefault=7\n"));
    }

    // A fresh settings file: the first save click shows the sponsor window in
    // its waiting mode instead of saving, the second goes on to save; BtnSp
    // shows it without waiting; closing shows the closing message first.
    void sponsorWindowAtTheFirstSaveOnRequestAndAtClose() {
        Open(TenSeconds());
        QVERIFY(W->BtnSaveMp3->isEnabled());
        QCOMPARE(W->Sponsor->UseCount, 0);
        DialogTitle.clear();
        CancelDialog = true;
        Modals.Then([](QWidget* Modal) {
            auto* F = qobject_cast<TFrmSponsor*>(Modal);
            QVERIFY(F && !F->BtnClose->isEnabled() && !F->BtnHasDo->isEnabled());
            for (int I = 0; I < 60; ++I) F->TimerWaitTimer(F->TimerWait);
            QTest::mouseClick(F->BtnClose, Qt::LeftButton);
        });
        QTest::mouseClick(W->BtnSaveMp3, Qt::LeftButton);
        QVERIFY(Modals.AllTaken());
        QVERIFY(DialogTitle.isEmpty());
        QCOMPARE(W->Sponsor->UseCount, 1);
        QVERIFY(!QFile::exists(SettingsFile()));

        QTest::mouseClick(W->BtnSaveMp3, Qt::LeftButton);
        QCOMPARE(DialogTitle, Edition("保存mp3文件", "Save MP3 file"));
        QCOMPARE(W->Sponsor->UseCount, 2);

        Modals.Then([](QWidget* Modal) {
            auto* F = qobject_cast<TFrmSponsor*>(Modal);
            QVERIFY(F && F->BtnClose->isEnabled());
            QTest::mouseClick(F->BtnClose, Qt::LeftButton);
        });
        QTest::mouseClick(W->BtnSp, Qt::LeftButton);
        QVERIFY(Modals.AllTaken());
        QCOMPARE(W->Sponsor->UseCount, 2);

        Modals.Then([](QWidget* Modal) {
            auto* Message = qobject_cast<TFrmSponsorMsg*>(Modal);
            QVERIFY(Message);
            Message->close();
            QVERIFY(Message->isVisible());
            QTest::mouseClick(Message->RzButton2, Qt::LeftButton);
        });
        W->close();
        QVERIFY(Modals.AllTaken());
        QVERIFY(!W->isVisible());
        QVERIFY(!W->Sponsor);
        QVERIFY(Boxes.empty());
    }

    void formatsFileSizesInKilobytes() {
        const QString Sep = ThousandSeparator();
        QCOMPARE(W->FormatFileSize(0), QString("1 KB"));
        QCOMPARE(W->FormatFileSize(-5), QString("1 KB"));
        QCOMPARE(W->FormatFileSize(1023), QString("1 KB"));
        QCOMPARE(W->FormatFileSize(1024), QString("1 KB"));
        QCOMPARE(W->FormatFileSize(1536), QString("2 KB"));
        QCOMPARE(W->FormatFileSize(2560), QString("3 KB"));  // a half goes away from zero
        QCOMPARE(W->FormatFileSize(1048576), "1" + Sep + "024 KB");
        QCOMPARE(W->FormatFileSize(5000000), "4" + Sep + "883 KB");
        QCOMPARE(W->FormatFileSize(5000000000000LL), "4" + Sep + "882" + Sep + "812" + Sep + "500 KB");
    }

    void openingAFileFillsThePagesAndSpansTheMarks() {
        const std::string Tag = Id3v1Tag({.Title = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123",
                                          .Artist = "Artist  ",
                                          .Album = "Album with trailing spaces   ",
                                          .Year = "1999",
                                          .Comment = Id3v11Comment("Twenty-eight characters long", 7),
                                          .Genre = 255});
        const QString Path = Write("tagged.mp3", Frames(Layer1Stereo, 1250) + Tag);
        Open(Path);

        QVERIFY(Boxes.empty());
        QCOMPARE(DialogTitle, Edition("打开mp3文件", "Open MP3 file"));
        QCOMPARE(W->Label12->text(), Path);
        QCOMPARE(W->Label18->text(), QString("MPEG 1 Layer 1"));
        QCOMPARE(W->Label19->text(), Edition("立体声", "Stereo"));
        QCOMPARE(W->Label20->text(), QString("48000 Hz"));
        QCOMPARE(W->Label21->text(), QString("32 Kbps"));
        QCOMPARE(W->Label22->text(), QString("000:00:10.000"));
        QCOMPARE(W->Label24->text(), QString("39 KB"));  // 40 128 bytes

        QVERIFY(W->RzCheckBox1->isEnabled());
        QVERIFY(W->RzCheckBox1->isChecked());
        for (QWidget* C : std::initializer_list<QWidget*>{W->RzEdit1, W->RzEdit2, W->RzEdit3, W->RzEdit5, W->RzEdit6,
                                                          W->RzEdit7, W->RzComboBox1})
            QVERIFY2(C->isEnabled(), qPrintable(C->objectName()));
        QCOMPARE(W->RzEdit1->text(), QString("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"));
        QCOMPARE(W->RzEdit2->text(), QString("Artist  "));
        QCOMPARE(W->RzEdit3->text(), QString("Album with trailing spaces   "));
        QCOMPARE(W->RzEdit6->text(), QString("1999"));
        QCOMPARE(W->RzEdit7->text(), QString("Twenty-eight characters long"));
        QCOMPARE(W->RzEdit5->text(), QString("7"));
        QCOMPARE(W->RzComboBox1->currentIndex(), -1);

        QCOMPARE(W->TrackBarPos->Max(), 10000);
        QCOMPARE(W->TrackBarPos->Position(), 0);
        QVERIFY(W->TrackBarPos->isEnabled());
        QCOMPARE(W->StartTime, 0_ms);
        QCOMPARE(W->EndTime, 10000_ms);
        QCOMPARE(W->RzMaskEdit1->Text(), QString("000:00:00.000"));
        QCOMPARE(W->RzMaskEdit2->Text(), QString("000:00:10.000"));
        QCOMPARE(W->Label1->text(), QString("000:00:00.000"));
        QCOMPARE(W->ImageStart->x(), 129);
        QCOMPARE(W->ImageEnd->x(), 560);
        for (QWidget* C : std::initializer_list<QWidget*>{W->ImageStart, W->ImageEnd, W->RzMaskEdit1, W->RzMaskEdit2,
                                                          W->BtnSaveMp3, W->BtnPlayStart, W->BtnPlay2, W->BtnSetStart})
            QVERIFY2(C->isEnabled(), qPrintable(C->objectName()));
        QVERIFY(!W->BtnStop->isEnabled());
        QVERIFY(W->ImageFileState1->isVisible());
        QVERIFY(!W->ImageFileState2->isVisible());
        QVERIFY(W->PanelState->isHidden());

        // Track 0, a full 30-byte comment, a mono stream and a genre with a name.
        const QString Second =
            Write("second.mp3", Frames(Layer1Mono, 100) +
                                    Id3v1Tag({.Title = "T", .Comment = "Thirty characters of comment!!", .Genre = 17}));
        Open(Second);
        QCOMPARE(W->Label19->text(), Edition("单声道", "Mono"));
        QCOMPARE(W->RzEdit5->text(), QString());
        QCOMPARE(W->RzEdit7->text(), QString("Thirty characters of comment!!"));
        QCOMPARE(W->RzEdit2->text(), QString());
        QCOMPARE(W->RzComboBox1->currentIndex(), 17);
        QCOMPARE(W->EndTime, 800_ms);

        // A file without a tag clears and disables the tag inputs.
        Open(Write("plain.mp3", Frames(Layer1Stereo, 100)));
        QVERIFY(!W->RzCheckBox1->isChecked());
        QVERIFY(W->RzCheckBox1->isEnabled());
        QCOMPARE(W->RzEdit1->text(), QString());
        QVERIFY(!W->RzEdit1->isEnabled());
        QCOMPARE(W->RzComboBox1->currentIndex(), -1);

        // Cancelling the dialog changes nothing.
        CancelDialog = true;
        QTest::mouseClick(W->BtnOpenMp3, Qt::LeftButton);
        QCOMPARE(W->Label12->text(), Files.filePath("plain.mp3"));
        QCOMPARE(W->EndTime, 800_ms);
        QVERIFY(W->BtnSaveMp3->isEnabled());
        QVERIFY(Boxes.empty());
    }

    void tagTextsAreReadThroughTheSystemCodePage() {
        const QByteArray Saved = qgetenv("LC_ALL");
        qputenv("LC_ALL", "zh_CN.UTF-8");
        // "中文标题" and "歌手" in GBK.
        const std::string Title = "\xD6\xD0\xCE\xC4\xB1\xEA\xCC\xE2";
        const std::string Artist = "\xB8\xE8\xCA\xD6";
        Open(Write("gbk.mp3", Frames(Layer1Stereo, 100) + Id3v1Tag({.Title = Title, .Artist = Artist, .Genre = 0})));
        qputenv("LC_ALL", Saved);
        QCOMPARE(W->RzEdit1->text(), QString("中文标题"));
        QCOMPARE(W->RzEdit2->text(), QString("歌手"));
    }

    void refusedAndUnreadableFilesLeaveTheWindowCleared() {
        Open(TenSeconds());
        QCOMPARE(W->EndTime, 10000_ms);

        const QString Text = Write("text.mp3", "This is no MP3 file at all.");
        Open(Text);
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Caption, Edition("信息", "Information"));
        QCOMPARE(Boxes[0].Text, Text + "\r\n" + Edition("不是MP3文件", "This is not an MP3 file."));
        QCOMPARE(Boxes[0].Icon, TMsgIcon::Information);
        QCOMPARE(W->Label12->text(), Text);
        QVERIFY(W->ImageFileState2->isVisible());
        QVERIFY(!W->ImageFileState1->isVisible());
        QVERIFY(!W->BtnSaveMp3->isEnabled());
        QVERIFY(!W->ImageStart->isEnabled());
        QVERIFY(!W->TrackBarPos->isEnabled());
        QCOMPARE(W->Label22->text(), QString());
        QCOMPARE(W->RzMaskEdit2->Text(), QString("000:00:00.000"));
        // The bar keeps its maximum, and so does the end mark.
        QCOMPARE(W->EndTime, 10000_ms);
        QVERIFY(W->PanelState->isHidden());

        // An error of the file layer reaches the standard error report; the window goes on.
        Open(TenSeconds());
        Boxes.clear();
        const QString Missing = Files.filePath("missing.mp3");
        Open(Missing);
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Icon, TMsgIcon::Error);
        QCOMPARE(Boxes[0].Caption, QString("Segmora"));
        QVERIFY(Boxes[0].Text.contains("missing.mp3"));
        QVERIFY(W->PanelState->isHidden());
        QCOMPARE(W->Label12->text(), Missing);
        QVERIFY(!W->BtnSaveMp3->isEnabled());
        QVERIFY(W->ImageFileState1->isVisible());  // the icons keep their state
        QCOMPARE(W->StartTime, 0_ms);
        QCOMPARE(W->EndTime, 10000_ms);
        Open(TenSeconds());
        QVERIFY(W->BtnSaveMp3->isEnabled());
        QCOMPARE(Boxes.size(), size_t(1));
    }

    void aFileWithoutAWholeFrameIsRefused() {
        // A valid first header but no whole frame: 0 ms long.
        const QString Empty = Write("empty.mp3", Header(Layer1Stereo) + std::string(10, '\0'));
        Open(Empty);
        QVERIFY(W->Mp3Engine->DataInfo.Valid);
        QCOMPARE(W->Mp3Engine->DataInfo.LengthMs, 0_ms);
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Text, Empty + "\r\n" + Edition("不是MP3文件", "This is not an MP3 file."));
        QVERIFY(!W->BtnSaveMp3->isEnabled());
        QVERIFY(!W->ImageStart->isEnabled());
        QVERIFY(!W->RzMaskEdit2->isEnabled());
        QVERIFY(W->TrackBarPos->Max() > 0);
        // Even where a time meets no length, the marker stays at its zero place.
        W->ImageStart->setEnabled(true);
        W->TimeToMark(0, 500);
        QCOMPARE(W->ImageStart->x(), 129);
    }

    void theIncludeBoxSwitchesTheTagInputsOnEveryChange() {
        Open(TenSeconds());
        QVERIFY(!W->RzCheckBox1->isChecked());
        W->RzCheckBox1->setChecked(true);
        QVERIFY(W->RzEdit1->isEnabled() && W->RzComboBox1->isEnabled() && W->RzEdit7->isEnabled());
        QTest::keyClicks(W->RzEdit1, "typed");
        QTest::mouseClick(W->RzCheckBox1, Qt::LeftButton, {}, QPoint(6, 8));
        QVERIFY(!W->RzCheckBox1->isChecked());
        QVERIFY(!W->RzEdit1->isEnabled() && !W->RzEdit5->isEnabled());
        QCOMPARE(W->RzEdit1->text(), QString("typed"));
        W->RzCheckBox1->setChecked(true);
        QCOMPARE(W->RzEdit1->text(), QString("typed"));
        QVERIFY(W->RzEdit1->isEnabled());
    }

    void theMaskedEditKeepsBlanksAndRaisesOneChangePerChange() {
        TMaskEdit Edit(nullptr);
        Edit.SetEditMask("000:00:00.000;1;_");
        QSignalSpy Changes(&Edit, &TMaskEdit::Change);
        QCOMPARE(Edit.Text(), QString("   :  :  .   "));
        Edit.SetText("000:00:00.000");
        Edit.SetText("000:00:00.000");
        QCOMPARE(Changes.count(), 1);
        Edit.setCursorPosition(1);
        QTest::keyClick(&Edit, Qt::Key_Backspace);
        QCOMPARE(Edit.Text(), QString(" 00:00:00.000"));
        QCOMPARE(Changes.count(), 2);
        // A key that changes nothing raises nothing.
        Edit.setCursorPosition(2);
        QTest::keyClick(&Edit, Qt::Key_Left);
        QTest::keyClick(&Edit, Qt::Key_0);
        QCOMPARE(Edit.Text(), QString(" 00:00:00.000"));
        QCOMPARE(Changes.count(), 2);
        QTest::keyClick(&Edit, Qt::Key_Home);
        QTest::keyClick(&Edit, Qt::Key_1);
        QCOMPARE(Edit.Text(), QString("100:00:00.000"));
        QCOMPARE(Changes.count(), 3);
        Edit.Tag = 4;
        QCOMPARE(TagOf(&Edit), 4);
    }

    void typedTimesAreNormalisedAndKeptInTheirBounds() {
        Open(Long());
        QCOMPARE(W->EndTime, 144000_ms);
        TMaskEdit* Start = W->RzMaskEdit1;
        TMaskEdit* End = W->RzMaskEdit2;

        // Tens of seconds above 5 become 5 at once; the caret stays after the typed digit.
        TypeAt(Start, 7, "9");
        QCOMPARE(Start->Text(), QString("000:00:50.000"));
        QCOMPARE(Start->cursorPosition(), 8);
        QCOMPARE(W->StartTime, 50000_ms);
        QCOMPARE(W->ImageStart->x(), 129 + 147);  // 424 x 50 / 144 = 147.2
        QCOMPARE(W->EndMark.MinLeft, 129 + 147 + 7);

        TypeAt(Start, 8, "2");
        TypeAt(Start, 10, "345");
        QCOMPARE(Start->Text(), QString("000:00:52.345"));
        QCOMPARE(W->StartTime, 52345_ms);

        // A deleted digit shows 0 in its place at once, the caret kept.
        Start->setCursorPosition(12);
        QTest::keyClick(Start, Qt::Key_Backspace);
        QCOMPARE(Start->Text(), QString("000:00:52.305"));
        QCOMPARE(Start->cursorPosition(), 11);
        Start->setCursorPosition(7);
        QTest::keyClick(Start, Qt::Key_Delete);
        QCOMPARE(Start->Text(), QString("000:00:02.305"));
        QCOMPARE(Start->cursorPosition(), 7);
        QCOMPARE(W->StartTime, 2305_ms);

        // The end can go neither before the start nor past the file's end.
        SetTime(End, "000:00:10.000");
        QCOMPARE(End->Text(), QString("000:00:10.000"));
        QCOMPARE(W->EndTime, 10000_ms);
        QCOMPARE(W->ImageEnd->x(), 135 + 30);  // 425 x 10 / 144 = 29.51
        QCOMPARE(W->StartMark.MaxLeft, 135 + 30 - 7);
        SetTime(Start, "000:00:12.000");
        QCOMPARE(Start->Text(), QString("000:00:10.000"));
        QCOMPARE(W->StartTime, 10000_ms);
        QCOMPARE(W->ImageStart->x(), 129 + 29);
        SetTime(End, "000:00:20.000");
        QCOMPARE(W->EndTime, 20000_ms);
        TypeAt(End, 7, "0");
        QCOMPARE(End->Text(), QString("000:00:10.000"));
        QCOMPARE(W->EndTime, 10000_ms);
        SetTime(End, "999:59:59.999");
        QCOMPARE(End->Text(), QString("000:02:24.000"));
        QCOMPARE(W->EndTime, 144000_ms);
        QCOMPARE(W->ImageEnd->x(), 560);

        // A write marked by the Tag is no input.
        Start->Tag = 1;
        Start->SetText("000:00:01.000");
        Start->Tag = 0;
        QCOMPARE(W->StartTime, 10000_ms);
        QCOMPARE(W->ImageStart->x(), 129 + 29);
    }

    void markersAreDraggedWithinTheirBounds() {
        Open(TenSeconds());
        TImage* Start = W->ImageStart;
        TImage* End = W->ImageEnd;

        // Right after a reset the end marker can go down to 135, six pixels right of the start marker.
        Drag(End, {300, 0});
        QCOMPARE(End->x(), 135);
        QCOMPARE(W->EndTime, 0_ms);
        QCOMPARE(W->RzMaskEdit2->Text(), QString("000:00:00.000"));
        QCOMPARE(W->StartMark.MaxLeft, 128);
        Drag(End, {1000});
        QCOMPARE(End->x(), 560);
        QCOMPARE(W->EndTime, 10000_ms);
        QVERIFY(!W->EndMark.Dragging);

        // Far left stops at 129 and 0 ms; far right 7 pixels before the end marker.
        Drag(Start, {10});
        QCOMPARE(Start->x(), 129);
        QCOMPARE(W->StartTime, 0_ms);
        Drag(Start, {2000});
        QCOMPARE(Start->x(), 553);
        QCOMPARE(W->StartTime, 10000_ms);
        QCOMPARE(W->RzMaskEdit1->Text(), QString("000:00:10.000"));
        QCOMPARE(W->EndMark.MinLeft, 560);

        // 212 of 424 pixels is half the file.
        Drag(Start, {341 + 8});
        QCOMPARE(Start->x(), 341);
        QCOMPARE(W->StartTime, 5000_ms);
        QCOMPARE(W->RzMaskEdit1->Text(), QString("000:00:05.000"));
        QCOMPARE(W->EndMark.MinLeft, 348);
        Drag(End, {0});
        QCOMPARE(End->x(), 348);
        QCOMPARE(W->EndTime, 5012_ms);  // 10 000 x 213 / 425 = 5011.8

        // A typed end time places the end marker: 212.5 pixels go to the even 212.
        SetTime(W->RzMaskEdit2, "000:00:05.000");
        QCOMPARE(W->EndTime, 5000_ms);
        QCOMPARE(End->x(), 347);
        QCOMPARE(W->StartMark.MaxLeft, 340);

        // The right button starts no drag.
        Drag(Start, {200}, Qt::RightButton);
        QCOMPARE(Start->x(), 341);
        QCOMPARE(W->StartTime, 5000_ms);

        // A vertical move, or one against a bound, changes nothing, not even the
        // last point; the marker moves again once the mouse is back left of it.
        SetTime(W->RzMaskEdit2, "000:00:10.000");
        QCOMPARE(W->StartMark.MaxLeft, 553);
        const int Y = Start->y() + 8;
        auto MoveTo = [&](int X, int AtY) { QTest::mouseMove(Start, QPoint(X, AtY) - Start->pos()); };
        QTest::mousePress(Start, Qt::LeftButton, {}, QPoint(349, Y) - Start->pos());
        const QPoint Pressed = W->StartMark.LastPoint;
        QCOMPARE(Pressed, QPoint(349, Y));
        MoveTo(349, Y + 30);
        QCOMPARE(Start->x(), 341);
        QCOMPARE(W->StartMark.LastPoint, Pressed);
        MoveTo(599, Y);  // past MaxLeft
        QCOMPARE(Start->x(), 553);
        QCOMPARE(W->StartMark.LastPoint.x(), 599);
        MoveTo(620, Y);
        MoveTo(605, Y);  // still right of 599
        QCOMPARE(Start->x(), 553);
        QCOMPARE(W->StartMark.LastPoint.x(), 599);
        MoveTo(598, Y);
        QCOMPARE(Start->x(), 552);
        QVERIFY(W->StartMark.Dragging);
        // Releasing any button makes the last move and ends the drag.
        QTest::mouseRelease(Start, Qt::RightButton, {}, QPoint(281, Y) - Start->pos());
        QVERIFY(!W->StartMark.Dragging);
        QCOMPARE(Start->x(), 235);
        QCOMPARE(W->StartTime, 2500_ms);  // 10 000 x 106 / 424
        QCOMPARE(W->RzMaskEdit1->Text(), QString("000:00:02.500"));
    }

    void thePositionBarShowsItsPosition() {
        Open(TenSeconds());
        QSignalSpy Changes(W->TrackBarPos, &TTrackBar::Change);
        W->TrackBarPos->SetPosition(3723);
        QCOMPARE(W->Label1->text(), QString("000:00:03.723"));
        W->TrackBarPos->SetPosition(3723);
        QCOMPARE(Changes.count(), 1);
        W->Label1->SetCaption("x");
        W->TrackBarPos->SetPosition(3723);
        QCOMPARE(W->Label1->text(), QString("x"));
        W->TrackBarPos->SetMax(0);
        QCOMPARE(W->TrackBarPos->Max(), 1);
        QCOMPARE(W->Label1->text(), QString("000:00:00.001"));
    }

    void opensARealFile() {
        const QString Real = Fixture("cbr128.mp3");
        if (!QFile::exists(Real)) QSKIP("no fixture file");
        Open(Real);
        QVERIFY(Boxes.empty());
        QVERIFY(W->BtnSaveMp3->isEnabled());
        QCOMPARE(W->Label18->text(), QString("MPEG 1 Layer 3"));
        QCOMPARE(W->Label21->text(), QString("128 Kbps"));
        QVERIFY(W->EndTime > 0);
        QCOMPARE(W->EndTime, W->Mp3Engine->DataInfo.LengthMs);
        QCOMPARE(W->RzMaskEdit2->Text(), W->Label22->text());
    }
};

QTEST_MAIN(EditorTest)
#include "EditorTest.moc"
