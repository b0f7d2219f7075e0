// Controls of the window toolkit where Qt's widgets behave differently from
// what the window's handlers rely on: a Tag integer on every control that
// shared handlers tell their senders apart by, change and click events that
// fire exactly on a change of state, a masked edit whose text keeps a blank
// at each unfilled position, pictures with mouse events, bitmap buttons with
// their own faces, and labels that size themselves to their text.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QString>
#include <QStringList>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <algorithm>

class QMenu;
class QMetaProperty;

// The integer every control carries for its handlers' use.
class TTagged {
public:
    virtual ~TTagged() = default;
    int Tag = 0;
};

// Tag of a control or menu item; 0 for anything that carries none.
int TagOf(const QObject* Control);

// ---- published properties ----
//
// What a language file may set on a control by name: the properties our
// classes declare as Q_PROPERTY under the toolkit's names (Caption, Hint,
// Left, ...). Qt's own properties (objectName, geometry, font, ...) are not
// published, so a file cannot reach into the toolkit underneath.

// True when Property is declared by one of our classes (their names begin with "T").
bool IsPublishedProperty(const QMetaProperty& Property);
// Index of the published property Name of Component, its letter case
// ignored as the toolkit's names are; -1 when there is none.
int PublishedPropertyIndex(const QObject* Component, const QString& Name);

// What a published Left or Top takes: far beyond any screen, yet near enough
// that a place and a size never overflow the toolkit's rectangles.
inline int BoundedCoordinate(int Value) { return std::clamp(Value, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX); }

// The place, hint, tag and switches every visible control publishes; the
// accessors behind them come from TControl.
#define SEGMORA_PUBLISHED_CONTROL                                                                                      \
    Q_PROPERTY(int Left READ GetLeft WRITE SetLeft)                                                                    \
    Q_PROPERTY(int Top READ GetTop WRITE SetTop)                                                                       \
    Q_PROPERTY(int Width READ GetWidth WRITE SetWidth)                                                                 \
    Q_PROPERTY(int Height READ GetHeight WRITE SetHeight)                                                              \
    Q_PROPERTY(QString Hint READ GetHint WRITE SetHint)                                                                \
    Q_PROPERTY(int Tag READ GetTag WRITE SetTag)                                                                       \
    Q_PROPERTY(bool Visible READ GetVisible WRITE SetVisible)                                                          \
    Q_PROPERTY(bool Enabled READ GetEnabled WRITE SetEnabled)

// A visible control: its Tag and the accessors of SEGMORA_PUBLISHED_CONTROL.
class TControl : public TTagged {
public:
    int GetLeft() const { return Self().x(); }
    void SetLeft(int Value) { Self().move(BoundedCoordinate(Value), Self().y()); }
    int GetTop() const { return Self().y(); }
    void SetTop(int Value) { Self().move(Self().x(), BoundedCoordinate(Value)); }
    int GetWidth() const { return Self().width(); }
    void SetWidth(int Value) { Self().resize(Value, Self().height()); }
    int GetHeight() const { return Self().height(); }
    void SetHeight(int Value) { Self().resize(Self().width(), Value); }
    QString GetHint() const { return Self().toolTip(); }
    void SetHint(const QString& Value) { Self().setToolTip(Value); }
    int GetTag() const { return Tag; }
    void SetTag(int Value) { Tag = Value; }
    bool GetVisible() const { return !Self().isHidden(); }
    void SetVisible(bool Value) { Self().setVisible(Value); }
    bool GetEnabled() const { return Self().isEnabled(); }
    void SetEnabled(bool Value) { Self().setEnabled(Value); }

private:
    QWidget& Self() const;
};

// Style sheet of a one-pixel frame in Colour around a control of Kind
// ("QLineEdit", "QComboBox", ...); Text colours the text as well when valid.
QString FrameStyle(const char* Kind, const QColor& Colour, const QColor& Text = QColor());

class TLabel : public QLabel, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    explicit TLabel(QWidget* Parent);
    // A label that sizes itself keeps its left edge, or its right edge when
    // its text is right-aligned.
    bool AutoSize = true;
    void SetCaption(const QString& Caption);
    QString Caption() const { return text(); }
    void SetTextColour(const QColor& Colour);
signals:
    void MouseDown(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void Click(QWidget* Sender);

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    void AdjustBounds();
};

class TImage : public QWidget, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
public:
    explicit TImage(QWidget* Parent);
    // Scales the picture to the control's size instead of drawing it at the corner.
    bool Stretch = false;
    // Pictures loaded from files leave out the colour of their lower left pixel.
    bool Transparent = false;
    void SetPicture(const QPixmap& Picture);
    const QPixmap& Picture() const { return FPicture; }
    // False, leaving no picture, when the file cannot be read as a picture.
    bool LoadFromFile(const QString& FileName);
signals:
    void MouseDown(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void MouseMove(QWidget* Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    void MouseUp(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    QPixmap FPicture;
};

// A button drawn from pictures: Up at rest, Hot under the mouse, Disabled
// while disabled; a missing picture falls back to the next sensible one.
class TBmpButton : public QAbstractButton, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
    Q_PROPERTY(QString Caption READ text WRITE SetCaption)
public:
    explicit TBmpButton(QWidget* Parent);
    QPixmap Up, Hot, Disabled;
    // Space above the caption, which is drawn below the picture.
    int Margin = 0;
    QSize sizeHint() const override;
    void SetCaption(const QString& Caption);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
};

// A push button with a glyph for its enabled and for its disabled look.
class TGlyphButton : public QPushButton, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
    Q_PROPERTY(QString Caption READ text WRITE setText)
public:
    explicit TGlyphButton(QWidget* Parent);
    void SetGlyphs(const QPixmap& Normal, const QPixmap& Disabled);
};

// A button that drops down its menu.
class TMenuButton : public QToolButton, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
public:
    explicit TMenuButton(QWidget* Parent);
    void SetDropDownMenu(QMenu* Menu);
};

class TMenuItem : public QAction, public TTagged {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(QString Hint READ statusTip WRITE setStatusTip)
    Q_PROPERTY(int Tag READ GetTag WRITE SetTag)
    Q_PROPERTY(bool Checked READ isChecked WRITE setChecked)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool Visible READ isVisible WRITE setVisible)
public:
    TMenuItem(const QString& Caption, int ATag, QObject* Parent);
    int GetTag() const { return Tag; }
    void SetTag(int Value) { Tag = Value; }
signals:
    void Click(QObject* Sender);
};

class TEdit : public QLineEdit, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
    Q_PROPERTY(QString Text READ text WRITE setText)
    Q_PROPERTY(int MaxLength READ maxLength WRITE setMaxLength)
public:
    explicit TEdit(QWidget* Parent);
};

// A masked edit. Text() keeps the mask's layout with a blank at each
// unfilled position, so "12_:__:__.___" on screen reads "12 :  :  .   ".
// Change is raised once for every change of that text, after a keystroke
// has been dealt with completely, and at once for a change the program makes.
class TMaskEdit : public QLineEdit, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(int MaxLength READ maxLength WRITE setMaxLength)
public:
    explicit TMaskEdit(QWidget* Parent);
    // A mask such as "000:00:00.000;1;_": digits at "0", the literals kept
    // in the text, "_" shown at unfilled positions.
    void SetEditMask(const QString& Mask);
    QString Text() const;
    void SetText(const QString& Text);
    // The caret, or the start of the selection, and the selection's length.
    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int Start);
    void SetSelLength(int Length);
signals:
    void Change(QWidget* Sender);

protected:
    bool event(QEvent* Event) override;

private:
    void TextChanged();
    QString FLastText;
    int FEventDepth = 0;
    bool FPendingChange = false;
};

class TComboBox : public QComboBox, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
public:
    explicit TComboBox(QWidget* Parent);
    QStringList Items() const;
    void SetItems(const QStringList& Items);
};

// Click is raised on every change of the checked state, whoever makes it,
// and only then.
class TCheckBox : public QCheckBox, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(bool Checked READ isChecked WRITE setChecked)
public:
    explicit TCheckBox(QWidget* Parent);
signals:
    void Click(QWidget* Sender);
};

// A horizontal position bar. Change is raised only when the position
// really changes. Its maximum always stays above its minimum.
class TTrackBar : public QSlider, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
    Q_PROPERTY(int Max READ Max WRITE SetMax)
    Q_PROPERTY(int Position READ Position WRITE SetPosition)
public:
    explicit TTrackBar(QWidget* Parent);
    int Max() const { return maximum(); }
    void SetMax(int Value);
    int Position() const { return value(); }
    void SetPosition(int Value) { setValue(Value); }
    void SetLook(const QColor& Frame, const QPixmap& Thumb);
signals:
    void Change(QWidget* Sender);
};

class TPanel : public QFrame, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
public:
    explicit TPanel(QWidget* Parent);
};

// Pages with their tabs on the left edge.
class TPageControl : public QTabWidget, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
public:
    explicit TPageControl(QWidget* Parent);
    void SetLook(const QColor& Frame, int TabWidth);
};

class TTabSheet : public QWidget, public TControl {
    Q_OBJECT
    SEGMORA_PUBLISHED_CONTROL
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    TTabSheet(TPageControl* PageControl, const QString& Caption);
    QString Caption() const;
    void SetCaption(const QString& Caption);

private:
    TPageControl* FPageControl;
};

// A timer that, like the platform's, runs while it is enabled and waits
// 1000 ms between ticks unless told otherwise.
class TTimer : public QTimer {
    Q_OBJECT
    Q_PROPERTY(int Interval READ interval WRITE setInterval)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
public:
    explicit TTimer(QObject* Parent);
    bool Enabled() const { return isActive(); }
    void SetEnabled(bool Value);
};
