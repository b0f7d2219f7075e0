#include "editor/CuttingAids.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

#include <cerrno>
#include <cmath>
#include <initializer_list>
#include <system_error>
#include <utility>

#include "editor/CuttingViews.h"
#include "editor/LoudnessStrip.h"
#include "editor/MarkScale.h"
#include "editor/UnitMP3Editor.h"

namespace {

// The band above the position bar where the markers stand, widened upwards
// into the free space below the buttons: the strip and the shade lie there,
// under the markers.
constexpr int BandTop = 163;
constexpr int BandHeight = 26;
// Left of the time fields and their labels.
const QRect SelectionPlace(22, 117, 166, 44);
// Right of the save button, on the title band.
const QRect NotePlace(333, 37, 98, 58);

// How long a frame lasts by the first frame's header, until the file's frames are known.
double NominalFrameMs(const TMp3DataInfo& Info) {
    const int Samples = Info.Layer == 1 ? 384 : Info.Layer == 3 && Info.Version != 1.0 ? 576 : 1152;
    return Info.SampleRate > 0 ? Samples * 1000.0 / Info.SampleRate : 26.0;
}

// Where a marker's pole stands, in window coordinates.
double PoleX(const QWidget* Marker, int32_t Pole) { return Marker->x() + Pole + 0.5; }

}  // namespace

TCuttingAids::TCuttingAids(TFrmMP3Editor& Window)
    : PM_PlaySelection(new TMenuItem(QStringLiteral("Play the selection"), 3, Window.PopupMenu1)),
      PM_PlayAfterStart(new TMenuItem(QStringLiteral("Play 3 seconds from ①"), 4, Window.PopupMenu1)),
      PM_PlayBeforeEnd(new TMenuItem(QStringLiteral("Play 3 seconds up to ②"), 5, Window.PopupMenu1)),
      LabelSelection(new QLabel(&Window)), Shade(new TSelectionShade(&Window)), Strip(new TLoudnessStrip(&Window)),
      Levels(new TStripLevels(StripLevelSource, this)), Note(new TSaveNote(&Window)), Texts(new TCutTexts(&Window)),
      Keys(new TEditorKeys(
          Window,
          {Window.RzMaskEdit1, Window.RzMaskEdit2, Window.RzEdit1, Window.RzEdit2, Window.RzEdit3, Window.RzEdit5,
           Window.RzEdit6, Window.RzEdit7, Window.RzComboBox1},
          [this](TKeyAction Action) { KeyPressed(Action); }, this)),
      W(Window) {
    PM_PlaySelection->setObjectName(QStringLiteral("PM_PlaySelection"));
    PM_PlayAfterStart->setObjectName(QStringLiteral("PM_PlayAfterStart"));
    PM_PlayBeforeEnd->setObjectName(QStringLiteral("PM_PlayBeforeEnd"));
    W.PopupMenu1->addSeparator();
    W.PopupMenu1->addActions({PM_PlaySelection, PM_PlayAfterStart, PM_PlayBeforeEnd});
    LabelSelection->setObjectName(QStringLiteral("LabelSelection"));
    Place();
    Connect();
    ShowSelection();
}

TCuttingAids::~TCuttingAids() = default;

void TCuttingAids::Place() {
    const QRect Band(W.TrackBarPos->x(), BandTop, W.TrackBarPos->width(), BandHeight);
    for (QWidget* View : {static_cast<QWidget*>(Strip), static_cast<QWidget*>(Shade)}) {
        View->setGeometry(Band);
        View->stackUnder(W.ImageStart);
        View->hide();
    }
    Strip->stackUnder(Shade);
    // Both markers' poles on one line: the mean of their two scales, each
    // pole within half a pixel of it.
    const TMarkScale Start = TMarkScale::Start(W.TrackBarPos->x(), W.TrackBarPos->width());
    const TMarkScale End = TMarkScale::End(W.TrackBarPos->x(), W.TrackBarPos->width());
    const double Zero = (Start.ZeroLeft() + TMarkScale::StartPole + End.ZeroLeft() + TMarkScale::EndPole + 1) / 2.0;
    const double Full = (Start.FullLeft() + TMarkScale::StartPole + End.FullLeft() + TMarkScale::EndPole + 1) / 2.0;
    Strip->SetScale(Zero - Band.x(), Full - Band.x());

    LabelSelection->setGeometry(SelectionPlace);
    LabelSelection->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LabelSelection->hide();
    Note->setGeometry(NotePlace);

    // Tab reaches the main buttons too (the close and minimise buttons keep
    // out of the keyboard's way), and runs over the marks in reading order.
    for (QWidget* Button : {W.BtnOpenMp3, W.BtnSaveMp3, W.BtnSp, W.BtnAbout}) Button->setFocusPolicy(Qt::TabFocus);
    QWidget::setTabOrder(W.RzMaskEdit1, W.BtnSetStart);
    QWidget::setTabOrder(W.BtnSetStart, W.RzMaskEdit2);
    QWidget::setTabOrder(W.RzMaskEdit2, W.BtnSetEnd);
    QWidget::setTabOrder(W.BtnSetEnd, W.BtnPlayStart);
}

void TCuttingAids::Connect() {
    // A mark typed, set from the position or moved by a key is touched; the
    // program's own writes (Tag 1) touch nothing.
    for (TMaskEdit* Edit : {W.RzMaskEdit1, W.RzMaskEdit2})
        connect(Edit, &TMaskEdit::Change, this, [this, Edit] {
            if (Edit->Tag == 0) FModel.Touch(Edit == W.RzMaskEdit1 ? TMarkSide::Start : TMarkSide::End);
            MarksChanged();
        });
    connect(W.ImageStart, &TImage::MouseDown, this, [this] { FModel.Touch(TMarkSide::Start); });
    connect(W.ImageEnd, &TImage::MouseDown, this, [this] { FModel.Touch(TMarkSide::End); });
    W.ImageStart->installEventFilter(this);
    W.ImageEnd->installEventFilter(this);

    connect(PM_PlaySelection, &QAction::triggered, this, [this] { Play(FModel.Selection()); });
    connect(PM_PlayAfterStart, &QAction::triggered, this, [this] { Play(FModel.AfterStart()); });
    connect(PM_PlayBeforeEnd, &QAction::triggered, this, [this] { Play(FModel.BeforeEnd()); });
    connect(W.PopupMenu1, &QMenu::aboutToShow, this, [this] {
        MarksChanged();
        PM_PlaySelection->setEnabled(FModel.CanPlaySelection());
        PM_PlayAfterStart->setEnabled(FModel.CanPlayAfterStart());
        PM_PlayBeforeEnd->setEnabled(FModel.CanPlayBeforeEnd());
    });

    connect(Levels, &TStripLevels::FramesFound, this, [this](std::shared_ptr<const TMp3FrameIndex> Frames) {
        FModel.SetFrames(Frames);
        Strip->SetFrames(std::move(Frames));
        ShowSelection();
    });
    connect(Levels, &TStripLevels::LevelsFound, Strip, &TLoudnessStrip::AddLevels);
}

bool TCuttingAids::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::Move) ShowShade();
    return QObject::eventFilter(Watched, Event);
}

// ------------------------------------------------------------------ told by the window

void TCuttingAids::FileChosen(const QString& FileName) {
    FChosenName = FileName;
    Levels->Cancel();
    FModel.Close();
    Strip->Reset(0);
    ShowViews(false);
}

// The window spans the marks over the file after this; the model does the same.
void TCuttingAids::FileOpened() {
    const TMp3DataInfo& Info = W.Mp3Engine->DataInfo;
    FModel.Open(Info.LengthMs, NominalFrameMs(Info));
    Strip->Reset(Info.LengthMs);
    Levels->Start(QString::fromStdString(Info.FileName));
    ShowViews(true);
    ShowSelection();
    ShowShade();
}

void TCuttingAids::Saved(const QString& FileName, int64_t DurationMs) {
    const QFileInfo File(FileName);
    Note->Show({Texts->Saved.arg(File.fileName()), W.MsToTimeCode(DurationMs), W.FormatFileSize(File.size())},
               FileName);
}

void TCuttingAids::ApplyChineseTexts() {
    Texts->Selection = QStringLiteral("选区：%1");
    Texts->Frames = QStringLiteral("%1 帧");
    Texts->Saved = QStringLiteral("已保存：%1");
    Texts->Nudge = QStringLiteral("←/→ 移动一帧，Shift+←/→ 一秒，Ctrl+←/→ 十秒");
    PM_PlaySelection->setText(QStringLiteral("播放选区"));
    PM_PlayAfterStart->setText(QStringLiteral("从①起播放3秒"));
    PM_PlayBeforeEnd->setText(QStringLiteral("播放②之前的3秒"));
    LanguageApplied();
}

// A language file names the status line's opening hint and the channel
// words; with a file open, its name and its channels stay shown.
void TCuttingAids::LanguageApplied() {
    Keys->SetNote(W.ImageStart, Texts->Nudge);
    Keys->SetNote(W.ImageEnd, Texts->Nudge);
    ShowSelection();
    if (!FChosenName.isEmpty()) W.Label12->SetCaption(FChosenName);
    if (FModel.HasFile()) W.Label19->SetCaption(W.Mp3Engine->DataInfo.Mono ? W.Ms_Mono : W.Ms_Stereo);
}

// ------------------------------------------------------------------ the marks shown

void TCuttingAids::ShowViews(bool Shown) {
    for (QWidget* View : std::initializer_list<QWidget*>{Strip, Shade, LabelSelection}) View->setVisible(Shown);
}

void TCuttingAids::MarksChanged() {
    if (!FModel.HasFile()) return;
    FModel.SetMarks(W.StartTime, W.EndTime);
    ShowSelection();
}

void TCuttingAids::ShowSelection() {
    if (!FModel.HasFile()) return;
    const TPieceSize Piece = FModel.Piece();
    QString Text = Texts->Selection.arg(W.MsToTimeCode(static_cast<int64_t>(std::trunc(Piece.Ms))));
    if (Piece.Frames >= 0) Text += QLatin1Char('\n') + Texts->Frames.arg(Piece.Frames);
    LabelSelection->setText(Text);
}

void TCuttingAids::ShowShade() {
    Shade->SetSpan(PoleX(W.ImageStart, TMarkScale::StartPole) - Shade->x(),
                   PoleX(W.ImageEnd, TMarkScale::EndPole) - Shade->x());
}

// ------------------------------------------------------------------ keys

bool TCuttingAids::Playing() const { return W.BtnStop->isEnabled(); }

TMaskEdit* TCuttingAids::EditOf(TMarkSide Side) const {
    return Side == TMarkSide::Start ? W.RzMaskEdit1 : W.RzMaskEdit2;
}

void TCuttingAids::KeyPressed(TKeyAction Action) {
    switch (Action) {
    case TKeyAction::PlayStop: (Playing() ? W.BtnStop : W.BtnPlayStart)->click(); break;
    case TKeyAction::Open: W.BtnOpenMp3->click(); break;
    case TKeyAction::Save: W.BtnSaveMp3->click(); break;
    case TKeyAction::Guide: W.BtnAbout->click(); break;
    case TKeyAction::StartHere: MarkHere(TMarkSide::Start); break;
    case TKeyAction::EndHere: MarkHere(TMarkSide::End); break;
    case TKeyAction::FrameBack: Nudge(-1, TNudgeStep::Frame); break;
    case TKeyAction::FrameOn: Nudge(1, TNudgeStep::Frame); break;
    case TKeyAction::SecondBack: Nudge(-1, TNudgeStep::Second); break;
    case TKeyAction::SecondOn: Nudge(1, TNudgeStep::Second); break;
    case TKeyAction::TenSecondsBack: Nudge(-1, TNudgeStep::TenSeconds); break;
    case TKeyAction::TenSecondsOn: Nudge(1, TNudgeStep::TenSeconds); break;
    case TKeyAction::GoToStart: GoTo(TMarkSide::Start); break;
    case TKeyAction::GoToEnd: GoTo(TMarkSide::End); break;
    case TKeyAction::PressFocused: PressFocused(); break;
    }
}

// Idle, the window's own button takes the position bar's time. While the
// file plays that button is off, and the player's own position is finer
// than the bar's once-a-second steps.
void TCuttingAids::MarkHere(TMarkSide Side) {
    TMaskEdit* Edit = EditOf(Side);
    if (!Edit->isEnabled()) return;
    QAbstractButton* SetButton = Side == TMarkSide::Start ? W.BtnSetStart : W.BtnSetEnd;
    if (SetButton->isEnabled()) {
        SetButton->click();
        return;
    }
    int64_t Position = W.Mp3Engine->GetPlayPosition();
    if (Position < 0) Position = W.TrackBarPos->Position();
    // Typed as a user would, so that the edit's handler keeps it in bounds.
    Edit->SetText(W.MsToTimeCode(Position));
}

void TCuttingAids::Nudge(int Steps, TNudgeStep Step) {
    if (!FModel.HasFile()) return;
    MarksChanged();
    TMaskEdit* Edit = EditOf(FModel.Touched());
    if (Edit->isEnabled()) Edit->SetText(W.MsToTimeCode(FModel.Nudged(Steps, Step)));
}

void TCuttingAids::GoTo(TMarkSide Side) {
    if (!FModel.HasFile()) return;
    FModel.Touch(Side);
    if (Playing()) {
        RunHandler(W.Services(), [&] { Side == TMarkSide::Start ? W.PlayFromStart() : W.PlayFromEnd(); });
    } else if (W.TrackBarPos->isEnabled()) {
        W.TrackBarPos->SetPosition(static_cast<int32_t>(Side == TMarkSide::Start ? W.StartTime : W.EndTime));
    }
}

// Space plays; Enter presses the button the keyboard is on.
void TCuttingAids::PressFocused() {
    QWidget* Focus = QApplication::focusWidget();
    if (auto* MenuButton = qobject_cast<QToolButton*>(Focus); MenuButton && MenuButton->menu())
        MenuButton->showMenu();
    else if (auto* Button = qobject_cast<QAbstractButton*>(Focus))
        Button->click();
}

void TCuttingAids::Play(const TPlayStretch& Stretch) {
    RunHandler(W.Services(), [&] { W.PlayFrom(Stretch.From, true, Stretch.To); });
}

// ------------------------------------------------------------------ a failed save

QString SaveFailureDetails(const TVekMP3& Engine, const QString& Target) {
    int Error = Engine.LastSaveError();
    QString Name = Target;
    switch (Engine.LastSaveFailure()) {
    case TSaveFailure::SourceMissing:
        Error = ENOENT;
        Name = QString::fromStdString(Engine.DataInfo.FileName);
        break;
    case TSaveFailure::TargetIsFolder: Error = EISDIR; break;
    case TSaveFailure::TargetExists: Error = EEXIST; break;
    default: break;
    }
    if (Error == 0) return QString();
    return Name + QStringLiteral(": ") + QString::fromStdString(std::generic_category().message(Error));
}
