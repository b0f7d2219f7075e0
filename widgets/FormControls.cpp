#include "widgets/FormControls.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

int TagOf(const QObject* Control) {
    const auto* Tagged = dynamic_cast<const TTagged*>(Control);
    return Tagged ? Tagged->Tag : 0;
}

bool IsPublishedProperty(const QMetaProperty& Property) {
    const QMetaObject* Owner = Property.enclosingMetaObject();
    return Owner && Owner->className()[0] == 'T';
}

int PublishedPropertyIndex(const QObject* Component, const QString& Name) {
    if (!Component || Name.isEmpty()) return -1;
    const QMetaObject* Meta = Component->metaObject();
    const int Exact = Meta->indexOfProperty(Name.toLatin1().constData());
    if (Exact >= 0) return IsPublishedProperty(Meta->property(Exact)) ? Exact : -1;
    for (int I = 0; I < Meta->propertyCount(); ++I) {
        const QMetaProperty Property = Meta->property(I);
        if (IsPublishedProperty(Property) && Name.compare(QLatin1String(Property.name()), Qt::CaseInsensitive) == 0)
            return I;
    }
    return -1;
}

QWidget& TControl::Self() const {
    // Every TControl is also the widget it stands for.
    auto* Widget = dynamic_cast<QWidget*>(const_cast<TControl*>(this));
    Q_ASSERT(Widget);
    return *Widget;
}

QString FrameStyle(const char* Kind, const QColor& Colour, const QColor& Text) {
    QString Style = QStringLiteral("%1 { border: 1px solid %2; background: white; padding: 0px 1px;")
                        .arg(QLatin1String(Kind), Colour.name());
    if (Text.isValid()) Style += QStringLiteral(" color: %1;").arg(Text.name());
    Style += QStringLiteral(" } %1:disabled { border-color: #b4b4b4; color: #8c8c8c; background: #f4f4f4; }")
                 .arg(QLatin1String(Kind));
    return Style;
}

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(QWidget* Parent) : QLabel(Parent) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TLabel::SetCaption(const QString& Caption) {
    setText(Caption);
    AdjustBounds();
}

void TLabel::SetTextColour(const QColor& Colour) {
    QPalette P = palette();
    P.setColor(QPalette::Active, QPalette::WindowText, Colour);
    P.setColor(QPalette::Inactive, QPalette::WindowText, Colour);
    setPalette(P);
}

void TLabel::AdjustBounds() {
    if (!AutoSize) return;
    const QFontMetrics Metrics(font());
    const int Width = text().isEmpty() ? 0 : Metrics.horizontalAdvance(text());
    const int Height = Metrics.height();
    const int Left = (alignment() & Qt::AlignRight) ? geometry().right() + 1 - Width : x();
    setGeometry(Left, y(), Width, Height);
}

void TLabel::changeEvent(QEvent* Event) {
    QLabel::changeEvent(Event);
    if (Event->type() == QEvent::FontChange) AdjustBounds();
}

void TLabel::mousePressEvent(QMouseEvent* Event) {
    const QPoint P = Event->position().toPoint();
    emit MouseDown(this, Event->button(), Event->modifiers(), P.x(), P.y());
    Event->accept();
}

void TLabel::mouseReleaseEvent(QMouseEvent* Event) {
    Event->accept();
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint())) emit Click(this);
}

// ---------------------------------------------------------------- TImage

TImage::TImage(QWidget* Parent) : QWidget(Parent) { setAttribute(Qt::WA_NoSystemBackground); }

void TImage::SetPicture(const QPixmap& Picture) {
    FPicture = Picture;
    update();
}

bool TImage::LoadFromFile(const QString& FileName) {
    QImage Image(FileName);
    if (Image.isNull()) {
        SetPicture(QPixmap());
        return false;
    }
    if (Transparent && Image.height() > 0) {
        const QRgb Key = Image.pixel(0, Image.height() - 1);
        Image = Image.convertToFormat(QImage::Format_ARGB32);
        for (int Y = 0; Y < Image.height(); ++Y) {
            auto* Line = reinterpret_cast<QRgb*>(Image.scanLine(Y));
            for (int X = 0; X < Image.width(); ++X)
                if (Line[X] == Key) Line[X] = 0;
        }
    }
    SetPicture(QPixmap::fromImage(Image));
    return true;
}

void TImage::paintEvent(QPaintEvent*) {
    if (FPicture.isNull()) return;
    QPainter Painter(this);
    if (Stretch)
        Painter.drawPixmap(rect(), FPicture);
    else
        Painter.drawPixmap(0, 0, FPicture);
}

void TImage::mousePressEvent(QMouseEvent* Event) {
    const QPoint P = Event->position().toPoint();
    emit MouseDown(this, Event->button(), Event->modifiers(), P.x(), P.y());
    Event->accept();
}

void TImage::mouseMoveEvent(QMouseEvent* Event) {
    const QPoint P = Event->position().toPoint();
    emit MouseMove(this, Event->modifiers(), P.x(), P.y());
    Event->accept();
}

void TImage::mouseReleaseEvent(QMouseEvent* Event) {
    const QPoint P = Event->position().toPoint();
    emit MouseUp(this, Event->button(), Event->modifiers(), P.x(), P.y());
    Event->accept();
}

// ---------------------------------------------------------------- TBmpButton

TBmpButton::TBmpButton(QWidget* Parent) : QAbstractButton(Parent) {
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_Hover);
}

void TBmpButton::SetCaption(const QString& Caption) {
    setText(Caption);
    update();
}

QSize TBmpButton::sizeHint() const { return Up.isNull() ? QSize(64, 64) : Up.deviceIndependentSize().toSize(); }

void TBmpButton::enterEvent(QEnterEvent* Event) {
    QAbstractButton::enterEvent(Event);
    update();
}

void TBmpButton::leaveEvent(QEvent* Event) {
    QAbstractButton::leaveEvent(Event);
    update();
}

void TBmpButton::paintEvent(QPaintEvent*) {
    QPainter Painter(this);
    QPixmap Face;
    if (!isEnabled()) {
        if (!Disabled.isNull())
            Face = Disabled;
        else if (!Up.isNull())
            Face = style()->generatedIconPixmap(QIcon::Disabled, Up, nullptr);
    } else if ((underMouse() || isDown()) && !Hot.isNull()) {
        Face = Hot;
    } else {
        Face = Up;
    }
    const int Shift = isDown() ? 1 : 0;
    if (!Face.isNull()) {
        Painter.drawPixmap(Shift, Shift, Face);
    } else {
        // Without its pictures the button still shows where it can be clicked.
        Painter.setRenderHint(QPainter::Antialiasing);
        Painter.setPen(QColor(255, 255, 255, 160));
        Painter.setBrush(QColor(255, 255, 255, underMouse() ? 70 : 40));
        Painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
    if (!text().isEmpty()) {
        Painter.setFont(font());
        Painter.setPen(isEnabled() ? palette().color(QPalette::ButtonText) : QColor(128, 128, 128));
        const QRect Area = rect().adjusted(Shift, Margin + Shift, Shift, Shift);
        Painter.drawText(Area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, text());
    }
    // Where the keyboard is: a dotted ring inside the face.
    if (hasFocus()) {
        Painter.setRenderHint(QPainter::Antialiasing, false);
        Painter.setPen(QPen(QColor(255, 255, 255, 220), 1, Qt::DotLine));
        Painter.setBrush(Qt::NoBrush);
        Painter.drawRoundedRect(rect().adjusted(1, 1, -2, -2), 4, 4);
    }
}

// ---------------------------------------------------------------- TGlyphButton

TGlyphButton::TGlyphButton(QWidget* Parent) : QPushButton(Parent) {}

void TGlyphButton::SetGlyphs(const QPixmap& Normal, const QPixmap& DisabledGlyph) {
    QIcon Icon;
    if (!Normal.isNull()) Icon.addPixmap(Normal, QIcon::Normal);
    if (!DisabledGlyph.isNull()) Icon.addPixmap(DisabledGlyph, QIcon::Disabled);
    setIcon(Icon);
    if (!Normal.isNull()) setIconSize(Normal.deviceIndependentSize().toSize());
}

// ---------------------------------------------------------------- TMenuButton

TMenuButton::TMenuButton(QWidget* Parent) : QToolButton(Parent) {
    setPopupMode(QToolButton::InstantPopup);
    setArrowType(Qt::DownArrow);
    setAutoRaise(false);
    // The arrow already says that a menu drops down.
    setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
}

void TMenuButton::SetDropDownMenu(QMenu* Menu) { setMenu(Menu); }

// ---------------------------------------------------------------- TMenuItem

TMenuItem::TMenuItem(const QString& Caption, int ATag, QObject* Parent) : QAction(Caption, Parent) {
    Tag = ATag;
    connect(this, &QAction::triggered, this, [this] { emit Click(this); });
}

// ---------------------------------------------------------------- TEdit

TEdit::TEdit(QWidget* Parent) : QLineEdit(Parent) {}

// ---------------------------------------------------------------- TMaskEdit

TMaskEdit::TMaskEdit(QWidget* Parent) : QLineEdit(Parent) {
    connect(this, &QLineEdit::textChanged, this, [this] { TextChanged(); });
}

void TMaskEdit::SetEditMask(const QString& Mask) {
    // "000:00:00.000;1;_": the toolkit's mask takes the blank after the
    // first ";" and keeps the literals in the text anyway.
    const QStringList Parts = Mask.split(QLatin1Char(';'));
    QString ToolkitMask = Parts.value(0);
    const QString Blank = Parts.size() >= 3 ? Parts[2] : QStringLiteral("_");
    if (!Blank.isEmpty()) ToolkitMask += QLatin1Char(';') + Blank.left(1);
    const QSignalBlocker Blocker(this);
    setInputMask(ToolkitMask);
    FLastText = Text();
}

QString TMaskEdit::Text() const {
    // text() drops the unfilled positions; the shown text keeps every
    // position in place with the blank character there.
    if (inputMask().isEmpty()) return text();
    const QString Shown = displayText();
    const qsizetype Semicolon = inputMask().lastIndexOf(QLatin1Char(';'));
    const QChar Blank =
        Semicolon >= 0 && Semicolon + 1 < inputMask().size() ? inputMask()[Semicolon + 1] : QLatin1Char(' ');
    QString Result = Shown;
    Result.replace(Blank, QLatin1Char(' '));
    return Result;
}

void TMaskEdit::SetText(const QString& Value) { setText(Value); }

int TMaskEdit::SelStart() const { return hasSelectedText() ? selectionStart() : cursorPosition(); }

int TMaskEdit::SelLength() const { return hasSelectedText() ? static_cast<int>(selectedText().size()) : 0; }

void TMaskEdit::SetSelStart(int Start) {
    deselect();
    setCursorPosition(Start);
}

void TMaskEdit::SetSelLength(int Length) {
    const int Start = SelStart();
    if (Length > 0)
        setSelection(Start, Length);
    else
        SetSelStart(Start);
}

bool TMaskEdit::event(QEvent* Event) {
    ++FEventDepth;
    const bool Result = QLineEdit::event(Event);
    --FEventDepth;
    if (FEventDepth == 0 && FPendingChange) {
        FPendingChange = false;
        emit Change(this);
    }
    return Result;
}

void TMaskEdit::TextChanged() {
    const QString Now = Text();
    if (Now == FLastText) return;
    FLastText = Now;
    // A change made while the toolkit is still handling a keystroke is
    // raised when it has finished with it, so that a handler that rewrites
    // the text and places the caret has the last word.
    if (FEventDepth > 0)
        FPendingChange = true;
    else
        emit Change(this);
}

// ---------------------------------------------------------------- TComboBox

TComboBox::TComboBox(QWidget* Parent) : QComboBox(Parent) {
    setEditable(false);
    setMaxVisibleItems(16);
}

QStringList TComboBox::Items() const {
    QStringList Result;
    for (int I = 0; I < count(); ++I) Result << itemText(I);
    return Result;
}

void TComboBox::SetItems(const QStringList& Items) {
    clear();
    addItems(Items);
    setCurrentIndex(-1);
}

// ---------------------------------------------------------------- TCheckBox

TCheckBox::TCheckBox(QWidget* Parent) : QCheckBox(Parent) {
    connect(this, &QCheckBox::toggled, this, [this] { emit Click(this); });
}

// ---------------------------------------------------------------- TTrackBar

TTrackBar::TTrackBar(QWidget* Parent) : QSlider(Qt::Horizontal, Parent) {
    setTickPosition(QSlider::NoTicks);
    setSingleStep(1);
    setPageStep(2);
    connect(this, &QSlider::valueChanged, this, [this] { emit Change(this); });
}

void TTrackBar::SetMax(int Value) { setMaximum(Value > minimum() ? Value : minimum() + 1); }

void TTrackBar::SetLook(const QColor& Frame, const QPixmap& Thumb) {
    // A white track 4 pixels high, 8 pixels in from both ends, framed flat.
    QString Style = QStringLiteral("QSlider::groove:horizontal { height: 4px; background: white;"
                                   " border: 1px solid %1; margin: 0px 8px; }")
                        .arg(Frame.name());
    if (!Thumb.isNull()) {
        const QSize Size = Thumb.deviceIndependentSize().toSize();
        Style += QStringLiteral(" QSlider::handle:horizontal { image: url(:/trackbar/thumb.png); width: %1px;"
                                " height: %2px; margin: -%3px -%4px; }")
                     .arg(Size.width())
                     .arg(Size.height())
                     .arg((Size.height() - 4) / 2 + 1)
                     .arg(Size.width() / 2);
        if (!QPixmap(QStringLiteral(":/trackbar/thumb_disabled.png")).isNull())
            Style +=
                QStringLiteral(" QSlider::handle:horizontal:disabled { image: url(:/trackbar/thumb_disabled.png); }");
    } else {
        Style += QStringLiteral(" QSlider::handle:horizontal { background: %1; border: 1px solid white;"
                                " width: 9px; margin: -7px -4px; border-radius: 2px; }"
                                " QSlider::handle:horizontal:disabled { background: #b4b4b4; }")
                     .arg(Frame.name());
    }
    setStyleSheet(Style);
}

// ---------------------------------------------------------------- TPanel

TPanel::TPanel(QWidget* Parent) : QFrame(Parent) { setFrameShape(QFrame::NoFrame); }

// ---------------------------------------------------------------- TPageControl

TPageControl::TPageControl(QWidget* Parent) : QTabWidget(Parent) {
    setTabPosition(QTabWidget::West);
    setDocumentMode(false);
}

void TPageControl::SetLook(const QColor& Frame, int TabWidth) {
    setStyleSheet(QStringLiteral("QTabWidget::pane { border: 1px solid %1; border-radius: 3px; background: #fbfbfb; }"
                                 " QTabBar::tab { width: %2px; padding: 8px 0px; margin-bottom: 2px;"
                                 " border: 1px solid %1; border-right: none; border-top-left-radius: 4px;"
                                 " border-bottom-left-radius: 4px; background: #e9f1f8; }"
                                 " QTabBar::tab:selected { background: #fbfbfb; }")
                      .arg(Frame.name())
                      .arg(TabWidth));
}

TTabSheet::TTabSheet(TPageControl* PageControl, const QString& Caption)
    : QWidget(PageControl), FPageControl(PageControl) {
    PageControl->addTab(this, Caption);
}

QString TTabSheet::Caption() const {
    const int Index = FPageControl->indexOf(const_cast<TTabSheet*>(this));
    return Index >= 0 ? FPageControl->tabText(Index) : QString();
}

void TTabSheet::SetCaption(const QString& Caption) {
    const int Index = FPageControl->indexOf(const_cast<TTabSheet*>(this));
    if (Index >= 0) FPageControl->setTabText(Index, Caption);
}

// ---------------------------------------------------------------- TTimer

TTimer::TTimer(QObject* Parent) : QTimer(Parent) { setInterval(1000); }

void TTimer::SetEnabled(bool Value) {
    if (Value)
        start();
    else
        stop();
}
