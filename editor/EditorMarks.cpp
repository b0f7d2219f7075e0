// Time codes, the start and end markers, and the position bar. Where a
// marker may stand and which time its place stands for is TMarkScale's.
#include "editor/UnitMP3Editor.h"

#include <QPainter>

#include <initializer_list>

#include "editor/EditorCommon.h"
#include "editor/MarkScale.h"
#include "engine/TimeCode.h"

namespace {

// Drawn in place of a marker bitmap that cannot be found, so the markers
// can still be seen and dragged: a flag on a pole, as the bitmaps show them.
QPixmap FallbackMarker(bool Start, bool Enabled) {
    QPixmap Picture(16, 16);
    Picture.fill(Qt::transparent);
    QPainter Painter(&Picture);
    const QColor Colour = !Enabled ? QColor(160, 160, 160) : Start ? StartColour : EndColour;
    const int Pole = Start ? TMarkScale::StartPole : TMarkScale::EndPole;
    Painter.fillRect(Start ? QRect(1, 1, Pole - 1, 10) : QRect(Pole + 1, 1, 15 - Pole - 1, 10), Colour);
    Painter.fillRect(QRect(Pole, 1, 1, 15), Colour.darker(130));
    return Picture;
}

// A marker at home on Scale, its left edge at CurLeft, free to go the whole way.
TMarkDrag HomeMark(const TMarkScale& Scale, int32_t CurLeft, QWidget* Origin) {
    TMarkDrag Mark;
    Mark.Origin = Origin;
    Mark.MinLeft = Mark.ZeroLeft = Scale.ZeroLeft();
    Mark.MaxLeft = Mark.FullLeft = Scale.FullLeft();
    Mark.CurLeft = CurLeft;
    return Mark;
}

TMarkScale ScaleOf(const TMarkDrag& Mark) { return TMarkScale(Mark.ZeroLeft, Mark.FullLeft); }

}  // namespace

// ------------------------------------------------------------------ time codes

QString TFrmMP3Editor::MsToTimeCode(int64_t Ms) const { return QString::fromStdString(::MsToTimeCode(Ms)); }

QString TFrmMP3Editor::NormalizeTimeCode(const QString& Text) const {
    return QString::fromStdString(::NormalizeTimeCode(Text.toStdString()));
}

int64_t TFrmMP3Editor::TimeCodeToMs(const QString& Text) const { return ::TimeCodeToMs(Text.toStdString()); }

void TFrmMP3Editor::SetEditText(TMaskEdit* Edit, const QString& Text) {
    Edit->Tag = 1;
    Edit->SetText(Text);
    Edit->Tag = 0;
}

void TFrmMP3Editor::RzMaskEdit1Change(QWidget* Sender) {
    auto* Edit = dynamic_cast<TMaskEdit*>(Sender);
    if (!Edit || Edit->Tag != 0) return;
    int64_t Low, High;
    if (Edit == RzMaskEdit1) {
        Low = 0;
        High = EndTime;
    } else if (Edit == RzMaskEdit2) {
        Low = StartTime;
        High = Mp3Engine ? Mp3Engine->DataInfo.LengthMs : 0;
    } else {
        return;
    }
    int64_t V = TimeCodeToMs(NormalizeTimeCode(Edit->Text()));
    if (V < Low)
        V = Low;
    else if (V > High)
        V = High;
    const QString T = MsToTimeCode(V);
    if (T != Edit->Text()) {
        Edit->Tag = 1;
        const int Start = Edit->SelStart();
        const int Length = Edit->SelLength();
        Edit->SetText(T);
        Edit->SetSelStart(Start);
        Edit->SetSelLength(Length);
        Edit->Tag = 0;
    }
    TimeToMark(Edit == RzMaskEdit1 ? 0 : 1, V);
}

// ------------------------------------------------------------------ markers

void TFrmMP3Editor::ResetMarks(bool Enable) {
    const TMarkScale StartScale = TMarkScale::Start(TrackBarPos->x(), TrackBarPos->width());
    const TMarkScale EndScale = TMarkScale::End(TrackBarPos->x(), TrackBarPos->width());
    StartMark = HomeMark(StartScale, StartScale.ZeroLeft(), this);
    EndMark = HomeMark(EndScale, EndScale.FullLeft(), this);
    ImageStart->move(StartMark.MinLeft, ImageStart->y());
    ImageEnd->move(EndMark.MaxLeft, ImageEnd->y());

    const QString StartFile =
        DataFile(Enable ? QStringLiteral("MarkStart.bmp") : QStringLiteral("MarkStartD.bmp"));
    const QString EndFile = DataFile(Enable ? QStringLiteral("MarkEnd.bmp") : QStringLiteral("MarkEndD.bmp"));
    if (!ImageStart->LoadFromFile(StartFile)) ImageStart->SetPicture(FallbackMarker(true, Enable));
    if (!ImageEnd->LoadFromFile(EndFile)) ImageEnd->SetPicture(FallbackMarker(false, Enable));

    for (QWidget* Control :
         std::initializer_list<QWidget*>{ImageStart, ImageEnd, LabelStart, LabelEnd, RzMaskEdit1, RzMaskEdit2})
        Control->setEnabled(Enable);
}

void TFrmMP3Editor::MarkToTime(int Which) {
    if (ImageStart->isEnabled() && Which == 0) {
        StartTime = ScaleOf(StartMark).TimeAt(StartMark.CurLeft, TrackBarPos->Max());
        SetEditText(RzMaskEdit1, MsToTimeCode(StartTime));
    }
    if (ImageEnd->isEnabled() && Which == 1) {
        EndTime = ScaleOf(EndMark).TimeAt(EndMark.CurLeft, TrackBarPos->Max());
        SetEditText(RzMaskEdit2, MsToTimeCode(EndTime));
    }
}

void TFrmMP3Editor::TimeToMark(int Which, int64_t Ms) {
    const int64_t Length = Mp3Engine ? Mp3Engine->DataInfo.LengthMs : 0;
    if (ImageStart->isEnabled() && Which == 0) {
        StartTime = Ms;
        StartMark.CurLeft = ScaleOf(StartMark).LeftAt(Ms, Length);
        ImageStart->move(StartMark.CurLeft, ImageStart->y());
        EndMark.MinLeft = ImageStart->x() + TMarkScale::Gap;
    } else if (ImageEnd->isEnabled() && Which == 1) {
        EndTime = Ms;
        EndMark.CurLeft = ScaleOf(EndMark).LeftAt(Ms, Length);
        ImageEnd->move(EndMark.CurLeft, ImageEnd->y());
        StartMark.MaxLeft = ImageEnd->x() - TMarkScale::Gap;
    }
}

void TFrmMP3Editor::MarkMouseDown(TMarkDrag& Mark, QWidget* Sender, Qt::MouseButton Button, int X, int Y) {
    if (!Sender->isEnabled() || Button != Qt::LeftButton) return;
    Mark.LastPoint = Mark.Origin->mapFromGlobal(Sender->mapToGlobal(QPoint(X, Y)));
    Mark.Dragging = true;
    Sender->raise();
}

// Which is 0 for the start marker, whose move pushes the end marker's lower
// bound along, and 1 for the end marker, which pulls the start marker's upper one.
void TFrmMP3Editor::MarkMouseMove(TMarkDrag& Mark, TMarkDrag& Other, int Which, QWidget* Sender, int X, int Y) {
    if (!Sender->isEnabled() || !Mark.Dragging) return;
    const QPoint P = Mark.Origin->mapFromGlobal(Sender->mapToGlobal(QPoint(X, Y)));
    const int32_t NewLeft = ClampLeft(Sender->x() + (P.x() - Mark.LastPoint.x()), Mark.MinLeft, Mark.MaxLeft);
    if (NewLeft == Sender->x()) return;
    Sender->move(NewLeft, Sender->y());
    Mark.LastPoint = P;
    Mark.CurLeft = NewLeft;
    if (Which == 0)
        Other.MinLeft = Sender->x() + TMarkScale::Gap;
    else
        Other.MaxLeft = Sender->x() - TMarkScale::Gap;
    MarkToTime(Which);
}

// Releasing any button makes the last move and ends the drag.
void TFrmMP3Editor::MarkMouseUp(TMarkDrag& Mark, TMarkDrag& Other, int Which, QWidget* Sender, int X, int Y) {
    MarkMouseMove(Mark, Other, Which, Sender, X, Y);
    Mark.Dragging = false;
}

void TFrmMP3Editor::ImageStartMouseDown(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y) {
    MarkMouseDown(StartMark, Sender, Button, X, Y);
}

void TFrmMP3Editor::ImageEndMouseDown(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y) {
    MarkMouseDown(EndMark, Sender, Button, X, Y);
}

void TFrmMP3Editor::ImageStartMouseMove(QWidget* Sender, Qt::KeyboardModifiers, int X, int Y) {
    MarkMouseMove(StartMark, EndMark, 0, Sender, X, Y);
}

void TFrmMP3Editor::ImageEndMouseMove(QWidget* Sender, Qt::KeyboardModifiers, int X, int Y) {
    MarkMouseMove(EndMark, StartMark, 1, Sender, X, Y);
}

void TFrmMP3Editor::ImageStartMouseUp(QWidget* Sender, Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y) {
    MarkMouseUp(StartMark, EndMark, 0, Sender, X, Y);
}

void TFrmMP3Editor::ImageEndMouseUp(QWidget* Sender, Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y) {
    MarkMouseUp(EndMark, StartMark, 1, Sender, X, Y);
}

// ------------------------------------------------------------------ the position bar

void TFrmMP3Editor::TrackBarPosChange(QWidget*) { Label1->SetCaption(MsToTimeCode(TrackBarPos->Position())); }
