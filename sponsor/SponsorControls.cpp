#include "sponsor/SponsorControls.h"

#include <QCloseEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>

#include <utility>

#include "widgets/FormServices.h"

TModalForm::TModalForm(TWindowServices Services, QWidget* Parent) : QDialog(Parent), FServices(std::move(Services)) {
    // Only the close box in the title bar, and a size of its own.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setSizeGripEnabled(false);
}

void TModalForm::SetModalResult(int Result) {
    if (Result == mrNone)
        FModalResult = mrNone;
    else
        done(Result);
}

int TModalForm::ShowModal() {
    FModalResult = mrNone;
    return exec();
}

void TModalForm::done(int Result) {
    FModalResult = Result;
    bool CanClose = true;
    RunHandler(FServices, [&] { FormCloseQuery(this, CanClose); });
    if (!CanClose) {
        FModalResult = mrNone;
        return;
    }
    QDialog::done(Result);
}

void TModalForm::reject() { done(mrCancel); }

void TModalForm::closeEvent(QCloseEvent* Event) {
    if (!isVisible()) {
        Event->accept();
        return;
    }
    done(mrCancel);
    if (isVisible())
        Event->ignore();
    else
        Event->accept();
}

void TModalForm::showEvent(QShowEvent* Event) {
    if (!FPlaced && !Event->spontaneous()) {
        FPlaced = true;
        // The whole window, frame and title bar included, in the middle.
        if (const QScreen* Screen = screen()) {
            const QRect Outer(QPoint(0, 0), frameGeometry().size());
            move(Screen->availableGeometry().center() - Outer.center());
        }
    }
    QDialog::showEvent(Event);
}

TRzButton::TRzButton(QWidget* Parent) : QPushButton(Parent) {
    setAttribute(Qt::WA_Hover);
    setStyleSheet(QStringLiteral("TRzButton:hover:enabled { color: #0b5cad; }"));
}

TMemo::TMemo(QWidget* Parent) : QPlainTextEdit(Parent) {
    setFrameShape(QFrame::NoFrame);
    QPalette P = palette();
    P.setColor(QPalette::Base, P.color(QPalette::Button));
    setPalette(P);
}

TShape::TShape(QWidget* Parent) : QWidget(Parent) {}

void TShape::paintEvent(QPaintEvent*) {
    QPainter Painter(this);
    Painter.setPen(QPen(PenColour, 1));
    Painter.setBrush(BrushColour);
    Painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

TLabel* NewLabel(QWidget* Parent, const char* Name, int Left, int Top, const QString& Caption) {
    auto* Label = new TLabel(Parent);
    Label->setObjectName(QString::fromLatin1(Name));
    Label->move(Left, Top);
    Label->SetCaption(Caption);
    return Label;
}
