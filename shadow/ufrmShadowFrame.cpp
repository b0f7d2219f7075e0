#include "shadow/ufrmShadowFrame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QVariant>

#include <utility>

#include "shadow/Composition.h"
#include "shadow/ShadowPicture.h"

namespace {

const QPoint MarginOffset(ShadowMargin, ShadowMargin);

}  // namespace

TFormShadow::TFormShadow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput),
      ShadowBitmap(0, 0, ShadowFormat), FProbe(DesktopComposites), FWatch(new TCompositionWatch(this)) {
    setObjectName(QStringLiteral("FormShadow"));
    // Translucent from the start, so that the window gets a visual with alpha.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Only the owner decides when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFocusPolicy(Qt::NoFocus);
    connect(FWatch, &TCompositionWatch::Changed, this, [this] {
        RecheckComposition();
        NudgeOwner();
    });
    RecheckComposition();
}

TFormShadow::~TFormShadow() { SetOwnerForm(nullptr); }

void TFormShadow::SetOwnerForm(QWidget* Form) {
    if (Form == OwnerForm) return;
    if (OwnerForm) OwnerForm->removeEventFilter(this);
    OwnerForm = Form;
    if (OwnerForm) {
        OwnerForm->installEventFilter(this);
        MaskColor = OwnerTransparentColor();
        RecheckComposition();
    } else {
        // Nothing would ever move or hide a shadow left without its owner.
        hide();
    }
    Dirty = true;
    NudgeOwner();
}

void TFormShadow::SetShown(bool Value) {
    if (Value == Shown) return;
    Shown = Value;
    NudgeOwner();
}

void TFormShadow::SetShadowColor(const QColor& Color) {
    if (Color == ShadowColor) return;
    ShadowColor = Color;
    ApplyAlpha(false);
}

void TFormShadow::SetCompositionProbe(TCompositionProbe Probe) {
    FProbe = std::move(Probe);
    RecheckComposition();
    NudgeOwner();
}

void TFormShadow::RecheckComposition() { FComposites = FProbe && FProbe(); }

bool TFormShadow::OwnerExists() const { return OwnerForm && OwnerForm->windowHandle(); }

bool TFormShadow::OwnerIsNormal() const {
    return OwnerForm &&
           !(OwnerForm->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

bool TFormShadow::OwnerUsesTransparentColor() const {
    return OwnerForm && OwnerForm->property(TransparentColorProperty).toBool();
}

QColor TFormShadow::OwnerTransparentColor() const {
    return OwnerForm ? OwnerForm->property(TransparentColorValueProperty).value<QColor>() : QColor();
}

QPoint TFormShadow::ClientOffset() const {
    return OwnerForm->geometry().topLeft() - OwnerForm->frameGeometry().topLeft();
}

// Brings the shadow up to date with its owner as if the owner had just moved.
void TFormShadow::NudgeOwner() {
    if (OwnerExists()) WindowPosChanged();
}

bool TFormShadow::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == OwnerForm) OwnerWndProc(Event);
    return QWidget::eventFilter(Watched, Event);
}

void TFormShadow::OwnerWndProc(QEvent* Message) {
    switch (Message->type()) {
    case QEvent::Hide:
        // Whatever hid the owner, the shadow goes with it at once.
        hide();
        break;
    case QEvent::WindowStateChange:
        // The owner's geometry may still be that of its old state, with its
        // own events to follow: show what fits, build nothing for it.
        WindowPosChanged(false);
        break;
    case QEvent::Show:
        RecheckComposition();
        WindowPosChanged();
        break;
    case QEvent::Move:
    case QEvent::Resize: WindowPosChanged(); break;
    case QEvent::WindowActivate:
        if (isVisible()) StackBelowOwner();
        break;
    default: break;
    }
}

// The owner has moved, changed size or state, or been shown.
void TFormShadow::WindowPosChanged(bool MayRebuild) {
    if (!OwnerForm) return;
    const QRect Frame = OwnerForm->frameGeometry();
    if (MayRebuild && !(OwnerForm->windowState() & Qt::WindowMaximized)) RebuildShadow();
    if (ShadowBitmap.isNull())
        move(Frame.topLeft() - MarginOffset);
    else
        setGeometry(QRect(Frame.topLeft() - MarginOffset, ShadowBitmap.size()));
    const bool Fits = ShadowBitmap.size() == Frame.size() + QSize(2 * ShadowMargin, 2 * ShadowMargin);
    const bool Visible = Shown && FComposites && OwnerIsNormal() && OwnerForm->isVisible() && Fits;
    if (!Visible) {
        hide();
    } else if (isHidden()) {
        // Every time: a window manager drops the states of a window it hides.
        MarkAsDecoration(*this);
        show();
        StackBelowOwner();
    }
}

// Raising the shadow and then its owner leaves nothing between the two.
void TFormShadow::StackBelowOwner() {
    // Windowless platforms keep no stacking order.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    raise();
    OwnerForm->raise();
}

void TFormShadow::RebuildShadow() {
    if (!Shown || !OwnerExists()) return;
    const QSize OwnerSize = OwnerForm->frameGeometry().size();
    const QSize Size = OwnerSize + QSize(2 * ShadowMargin, 2 * ShadowMargin);
    if (ShadowBitmap.size() != Size) {
        Dirty = true;
        ShadowBitmap = QImage(Size, ShadowFormat);
    } else if (OwnerUsesTransparentColor() && OwnerTransparentColor() != MaskColor) {
        Dirty = true;
    }
    // A move alone leaves the picture as it is.
    if (!Dirty) return;
    Dirty = false;

    ShadowBitmap.fill(ShadowBlack);
    const QRegion OwnerRegion = OwnerForm->mask().translated(ClientOffset());
    const TShadowOutline Outline = ShadowOutline(OwnerSize, OwnerRegion);
    FillOutline(ShadowBitmap, Outline, ShadowWhite);
    PaintOwnerMask(true);
    for (const int Radius : {1, 2, 3}) BlurPass(ShadowBitmap, Radius);
    // The halo lies only outside the owner's shape.
    if (OwnerUsesTransparentColor())
        PaintOwnerMask(false);
    else
        FillOutline(ShadowBitmap, Outline, ShadowBlack);
    ApplyAlpha(true);
}

void TFormShadow::PaintOwnerMask(bool Solid) {
    if (!OwnerUsesTransparentColor()) return;
    MaskColor = OwnerTransparentColor();
    QImage Picture(OwnerForm->size(), QImage::Format_RGB32);
    // Whatever the owner does not paint counts as transparent.
    Picture.fill(MaskColor);
    OwnerForm->render(&Picture);
    StampOwnerMask(ShadowBitmap, Picture, MaskColor, ClientOffset() + MarginOffset, Solid);
}

void TFormShadow::ApplyAlpha(bool CopyMask) {
    const qreal Opacity = OwnerForm ? OwnerForm->windowOpacity() : 1.0;
    Blend.ConstantAlpha = Opacity < 1.0 ? static_cast<uint8_t>(qRound(Opacity * 255)) : 255;
    ::ApplyAlpha(ShadowBitmap, ShadowColor, CopyMask);
    // The window exists from here on, hidden until there is something to show.
    if (!testAttribute(Qt::WA_WState_Created)) create();
    if (!ShadowBitmap.isNull()) resize(ShadowBitmap.size());
    update();
}

void TFormShadow::paintEvent(QPaintEvent*) {
    QPainter Painter(this);
    Painter.setOpacity(Blend.ConstantAlpha / 255.0);
    Painter.drawImage(0, 0, ShadowBitmap);
}
