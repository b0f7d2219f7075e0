#include "editor/CuttingViews.h"

#include <QApplication>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPainter>
#include <QPropertyAnimation>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

TCutTexts::TCutTexts(QObject* Parent)
    : QObject(Parent), Selection(QStringLiteral("Selection: %1")), Frames(QStringLiteral("%1 frames")),
      Saved(QStringLiteral("Saved: %1")),
      Nudge(QStringLiteral("←/→ one frame, Shift+←/→ one second, Ctrl+←/→ ten seconds")) {
    setObjectName(QStringLiteral("CutTexts"));
}

// ------------------------------------------------------------------ the shade

TSelectionShade::TSelectionShade(QWidget* Parent) : QWidget(Parent) {
    setObjectName(QStringLiteral("SelectionShade"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TSelectionShade::SetSpan(double X1, double X2) {
    if (X1 == FX1 && X2 == FX2) return;
    FX1 = X1;
    FX2 = X2;
    update();
}

void TSelectionShade::paintEvent(QPaintEvent*) {
    if (FX2 <= FX1) return;
    QPainter Painter(this);
    Painter.fillRect(QRectF(FX1, 0.0, FX2 - FX1, height()), QColor(50, 152, 204, 90));
}

// ------------------------------------------------------------------ the note

TSaveNote::TSaveNote(QWidget* Parent)
    : QFrame(Parent), FText(new QLabel(this)), FTimer(new QTimer(this)), FFade(nullptr) {
    setObjectName(QStringLiteral("SaveNote"));
    setStyleSheet(QStringLiteral("TSaveNote { background: #fdfefe; border: 1px solid #3298cc; border-radius: 4px; }"
                                 "QLabel { color: #1b4f72; }"));
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(5, 3, 5, 3);
    Layout->addWidget(FText);
    auto* Opacity = new QGraphicsOpacityEffect(this);
    setGraphicsEffect(Opacity);
    FFade = new QPropertyAnimation(Opacity, "opacity", this);
    FFade->setDuration(FadeMs);
    FFade->setStartValue(1.0);
    FFade->setEndValue(0.0);
    connect(FFade, &QPropertyAnimation::finished, this, &TSaveNote::Dismiss);
    FTimer->setSingleShot(true);
    FTimer->setInterval(ShownMs);
    connect(FTimer, &QTimer::timeout, FFade, [this] { FFade->start(); });
    hide();
}

QString TSaveNote::Text() const { return FText->text(); }

void TSaveNote::Show(const QStringList& Lines, const QString& Whole) {
    FFade->stop();
    static_cast<QGraphicsOpacityEffect*>(graphicsEffect())->setOpacity(1.0);
    // Long names are cut in their middle, where they differ least.
    const int Room = width() - 12;
    QStringList Shown;
    for (const QString& Line : Lines) Shown << FText->fontMetrics().elidedText(Line, Qt::ElideMiddle, Room);
    FText->setText(Shown.join(QLatin1Char('\n')));
    setToolTip(Whole);
    show();
    raise();
    FTimer->start();
    qApp->installEventFilter(this);
}

void TSaveNote::Dismiss() {
    qApp->removeEventFilter(this);
    FTimer->stop();
    FFade->stop();
    hide();
}

bool TSaveNote::eventFilter(QObject* Watched, QEvent* Event) {
    switch (Event->type()) {
    // A key a shortcut takes comes as no key press: its offer to the focus comes first.
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel: Dismiss(); break;
    default: break;
    }
    return QFrame::eventFilter(Watched, Event);
}
