// The aids for cutting precisely, on the real window (offscreen): a cut made
// with the keyboard alone and heard at both edges against a player that
// records what it is asked to play, the loudness strip and its worker, the
// note after a save and the reason of a failed one, and the mends (the
// information page across a change of language, the window's place, the
// captions).
#include <QtTest/QtTest>

#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "editor/CuttingAids.h"
#include "editor/CuttingViews.h"
#include "editor/LoudnessStrip.h"
#include "editor/MarkScale.h"
#include "engine/MediaPlayer.h"
#include "engine/VekMp3.h"
#include "player/Mpg123Player.h"
#include "tests/editor/WindowHarness.h"
#include "widgets/FormServices.h"
#include "widgets/WindowMove.h"

namespace {

// The silent player, telling what each play was asked for: from, to.
class TRecordingPlayer : public TMediaPlayer {
public:
    explicit TRecordingPlayer(std::vector<std::pair<int32_t, int32_t>>& Plays)
        : FReal(CreateMediaPlayer(TAudioOutputKind::Null)), FPlays(Plays) {}
    void Close() override { FReal->Close(); }
    void SetFileName(const std::string& Name) override { FReal->SetFileName(Name); }
    void SetTimeFormat(TMPTimeFormats Format) override { FReal->SetTimeFormat(Format); }
    void Open() override { FReal->Open(); }
    int32_t Length() override { return FReal->Length(); }
    void SetPosition(int32_t Ms) override { FReal->SetPosition(FFrom = Ms); }
    void SetEndPos(int32_t Ms) override { FReal->SetEndPos(FTo = Ms); }
    void Play() override {
        FPlays.emplace_back(FFrom, FTo);
        FReal->Play();
    }
    TMPModes Mode() override { return FReal->Mode(); }
    int32_t Position() override { return FReal->Position(); }

private:
    std::unique_ptr<TMediaPlayer> FReal;
    std::vector<std::pair<int32_t, int32_t>>& FPlays;
    int32_t FFrom = 0, FTo = 0;
};

}  // namespace

class CuttingTest : public QObject, private TWindowHarness {
    Q_OBJECT

private:
    std::vector<std::pair<int32_t, int32_t>> Plays;

    TCuttingAids& Aids() const { return *W->CuttingAids; }
    void Key(int KeyCode, Qt::KeyboardModifiers Modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : W.get(), Qt::Key(KeyCode),
                        Modifiers);
    }
    bool Playing() const { return W->BtnStop->isEnabled(); }

private slots:
    void initTestCase() { StartHarness(); }
    void init() {
        StoreSettings("[ZZ]\nsyCount=1\n");
        NewTest();
        Plays.clear();
        MakePlayer = [this] { return std::make_unique<TRecordingPlayer>(Plays); };
        NewWindow();
        QApplication::setActiveWindow(W.get());
        QVERIFY(QTest::qWaitForWindowActive(W.get()));
        W->setFocus();
    }
    void cleanup() { W.reset(); }

    void aPieceIsCutWithTheKeyboardAloneAndHeardAtBothEdges() {
        // Ctrl+O opens; the strip is drawn once the worker has measured every frame.
        NextFile = Copy("gaps.mp3", "gaps.mp3");
        Key(Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(W->Label12->text(), NextFile);
        TLoudnessStrip& Strip = *Aids().Strip;
        QVERIFY(Strip.isVisible() && Aids().LabelSelection->isVisible());
        QTRY_VERIFY(Strip.FrameCount() > 0 && Strip.Measured() == Strip.FrameCount());
        QVERIFY(Aids().Selection().HasFrames());
        // Loud where the tone plays, empty over the 1.5 s of silence from 2 s on.
        const QImage Drawn = Strip.grab().toImage();
        const QRgb Empty = Drawn.pixel(0, 3);
        QVERIFY(Drawn.pixel(int(Strip.XAt(1000)), 3) != Empty);
        QCOMPARE(Drawn.pixel(int(Strip.XAt(2750)), 3), Empty);

        // Space plays from the position; [ and ] take the player's own position; Space stops.
        Key(Qt::Key_Space);
        QVERIFY(Playing());
        QTRY_VERIFY(W->Mp3Engine->GetPlayPosition() >= 100);
        Key(Qt::Key_BracketLeft);
        const int64_t Start = W->StartTime;
        QTRY_VERIFY(W->Mp3Engine->GetPlayPosition() >= Start + 100);
        Key(Qt::Key_O);
        const int64_t End = W->EndTime;
        QVERIFY2(Start >= 100 && Start + 100 <= End && End < 5000, qPrintable(QString("%1 %2").arg(Start).arg(End)));
        Key(Qt::Key_Space);
        QVERIFY(!Playing());

        // The arrows move the mark last touched, the end, by one frame; Home goes to the start
        // mark and makes it the one the arrows move.
        const int64_t Frames = Aids().Selection().Piece().Frames;
        Key(Qt::Key_Right);
        QCOMPARE(Aids().Selection().Piece().Frames, Frames + 1);
        QCOMPARE(W->RzMaskEdit2->Text(), W->MsToTimeCode(W->EndTime));
        const int64_t OneFrameOn = W->EndTime;
        QVERIFY(OneFrameOn > End && OneFrameOn < End + 2 * 27);  // the next boundary after the piece's own end
        Key(Qt::Key_Home);
        QCOMPARE(int64_t(W->TrackBarPos->Position()), W->StartTime);
        Key(Qt::Key_Left);
        QCOMPARE(Aids().Selection().Piece().Frames, Frames + 2);
        QVERIFY(W->StartTime < Start);
        Key(Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(W->StartTime, W->EndTime);  // a second on, held at the end mark
        Key(Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(W->StartTime, 0_ms);
        Key(Qt::Key_End);
        QCOMPARE(int64_t(W->TrackBarPos->Position()), OneFrameOn);
        Key(Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(W->EndTime, OneFrameOn + 1000);

        // The shade lies between the two poles; the length is shown.
        QCOMPARE(Aids().Shade->Left() + Aids().Shade->x(), W->ImageStart->x() + TMarkScale::StartPole + 0.5);
        QCOMPARE(Aids().Shade->Right() + Aids().Shade->x(), W->ImageEnd->x() + TMarkScale::EndPole + 0.5);
        QVERIFY(Aids().LabelSelection->text().contains(W->MsToTimeCode(int64_t(Aids().Selection().Piece().Ms))));

        // In a time field its own keys stay its own: the caret moves, nothing plays.
        W->RzMaskEdit1->setFocus();
        W->RzMaskEdit1->setCursorPosition(5);
        const int64_t Kept = W->StartTime;
        for (int Code : {Qt::Key_Left, Qt::Key_Home, Qt::Key_Space, Qt::Key_BracketLeft}) Key(Code);
        QCOMPARE(W->StartTime, Kept);
        QCOMPARE(W->RzMaskEdit1->cursorPosition(), 0);
        QVERIFY(!Playing());
        W->setFocus();

        // The play menu's new items play exactly the selection and its edges.
        W->PopupMenu1->popup(QPoint(0, 0));
        QVERIFY(Aids().PM_PlaySelection->isEnabled());
        W->PopupMenu1->close();
        for (auto [Item, Stretch] : {std::pair(Aids().PM_PlaySelection, Aids().Selection().Selection()),
                                     std::pair(Aids().PM_PlayAfterStart, Aids().Selection().AfterStart()),
                                     std::pair(Aids().PM_PlayBeforeEnd, Aids().Selection().BeforeEnd())}) {
            Item->trigger();
            QVERIFY(Playing());
            QCOMPARE(Plays.back(), std::pair(int32_t(Stretch.From), int32_t(Stretch.To)));
            QCOMPARE(W->TrackBarPos->Position(), int(Stretch.From));
            Key(Qt::Key_Space);
        }
        QCOMPARE(Aids().Selection().Selection().From, W->StartTime);
        QVERIFY(Aids().Selection().Selection().To >= W->EndTime);

        // The keys are named in the tooltips, below the hints the texts give.
        QVERIFY(Aids()
                    .Keys->ToolTip(W->BtnOpenMp3)
                    .contains(QKeySequence(Qt::CTRL | Qt::Key_O).toString(QKeySequence::NativeText)));
        QVERIFY(Aids().Keys->ToolTip(W->ImageStart).startsWith(W->ImageStart->toolTip()));
        QVERIFY(Aids().Keys->ToolTip(W->ImageStart).endsWith(Aids().Texts->Nudge));

        // Ctrl+S saves; a short note tells of it, no box, and goes at the next key.
        NextFile = Files.filePath("piece.mp3");
        Key(Qt::Key_S, Qt::ControlModifier);
        QVERIFY(Boxes.empty());
        QVERIFY(Aids().Note->isVisible());
        QCOMPARE(Aids().Note->toolTip(), NextFile);
        QVERIFY(Aids().Note->Text().contains(W->MsToTimeCode(TVekMP3(NextFile.toStdString()).DataInfo.LengthMs)));
        Key(Qt::Key_Escape);
        QVERIFY(!Aids().Note->isVisible());

        // A failed save keeps its box and text, with the system's reason in the details.
        Save(Files.filePath("no-such-folder/piece.mp3"));
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Text, W->Ms_NotSave);
        QCOMPARE(Boxes[0].Caption, W->Ms_Error);
        QVERIFY2(Boxes[0].Details.endsWith(": No such file or directory"), qPrintable(Boxes[0].Details));
        QVERIFY(!Aids().Note->isVisible());
    }

    void anotherFileStopsTheMeasuringOfTheLast() {
        // A source that measures until it is told to stop.
        std::atomic<int> Stopped{0};
        TStripLevels Levels([&](const std::string&, const TMp3FrameIndex&, size_t, size_t, const TFrameLevelVisitor&,
                                const std::atomic<bool>* Stop) {
            while (!*Stop) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ++Stopped;
        });
        std::vector<size_t> Counts;
        connect(&Levels, &TStripLevels::FramesFound, this,
                [&](std::shared_ptr<const TMp3FrameIndex> Frames) { Counts.push_back(Frames->Count()); });
        Levels.Start(Fixture("cbr128.mp3"));
        QTRY_COMPARE(Counts.size(), size_t(1));
        Levels.Start(Fixture("gaps.mp3"));
        QTRY_VERIFY(Stopped > 0);
        QTRY_COMPARE(Counts.size(), size_t(2));
        QVERIFY(Counts[1] != Counts[0]);
    }

    void aChangeOfLanguageKeepsTheOpenFileShown() {
        const QString File = Copy("gaps.mp3", "mono file.mp3");
        Open(File);
        W->SelectLanguage(1);
        QCOMPARE(W->Label12->text(), File);
        QCOMPARE(W->Label19->text(), W->Ms_Mono);
        QCOMPARE(Aids().PM_PlaySelection->text(), QString("Reproducir la selección"));
        QVERIFY(Aids().LabelSelection->text().startsWith("Selección: "));
    }

    void theWindowKeepsItsTitleBandOnTheScreen() {
        // Centred where it fits; otherwise at the top left of the available area.
        const struct {
            QRect Area;
            QPoint At;
        } Cases[] = {{{0, 0, 1280, 800}, {343, 173}}, {{0, 27, 640, 373}, {23, 27}}, {{100, 0, 500, 400}, {100, 0}}};
        for (const auto& C : Cases) QCOMPARE(CentredInside(C.Area, QSize(592, 452)), C.At);
        // Whatever scale the screen runs at (this test also runs at twice the size).
        const QRect Available = W->screen()->availableGeometry();
        QVERIFY(W->x() >= Available.left() && W->y() >= Available.top());
        // A title Qt would append to every caption on X11 is never set.
        QCOMPARE(ApplicationTitle(), QString("Segmora"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    }
};

QTEST_MAIN(CuttingTest)
#include "CuttingTest.moc"
