// Controls of the sponsor windows that the shared stand-ins do not cover: a
// modal form whose close requests pass through FormCloseQuery and whose
// modal result closes it, hot-tracking buttons, a memo and a shape.
#pragma once

#include <QColor>
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "widgets/FormControls.h"
#include "widgets/WindowServices.h"

class QCloseEvent;
class QPaintEvent;
class QShowEvent;

// The modal results a form ends with; ShowModal returns one of them.
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrNo = 7 };

// A modal form placed in the middle of the screen. Setting a modal result
// other than mrNone closes it, unless FormCloseQuery refuses; the close box,
// the window manager's close and Esc ask to close with mrCancel. Errors that
// escape its handlers are reported through its services.
class TModalForm : public QDialog {
    Q_OBJECT
public:
    explicit TModalForm(TWindowServices Services, QWidget* Parent = nullptr);
    const TWindowServices& Services() const { return FServices; }
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int Result);
    int ShowModal();

protected:
    // CanClose comes in true; ModalResult holds the result asked for.
    virtual void FormCloseQuery(QObject* Sender, bool& CanClose) = 0;
    void done(int Result) override;
    void reject() override;
    void closeEvent(QCloseEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

    TWindowServices FServices;

private:
    int FModalResult = mrNone;
    bool FPlaced = false;
};

// A push button that lights up under the mouse.
class TRzButton : public QPushButton, public TTagged {
    Q_OBJECT
public:
    explicit TRzButton(QWidget* Parent);
};

// A multi-line edit without a frame on the button-face colour.
class TMemo : public QPlainTextEdit, public TTagged {
    Q_OBJECT
public:
    explicit TMemo(QWidget* Parent);
    void AddLine(const QString& Line) { appendPlainText(Line); }
};

// A filled rectangle with an outline.
class TShape : public QWidget, public TTagged {
    Q_OBJECT
public:
    explicit TShape(QWidget* Parent);
    QColor BrushColour = Qt::white;
    QColor PenColour = Qt::black;

protected:
    void paintEvent(QPaintEvent* Event) override;
};

// A control of a sponsor window with its designer name at its design-time place.
template <class T>
T* NewControl(QWidget* Parent, const char* Name, int Left, int Top, int Width, int Height) {
    auto* Control = new T(Parent);
    Control->setObjectName(QString::fromLatin1(Name));
    Control->setGeometry(Left, Top, Width, Height);
    return Control;
}

// A label that sizes itself to its caption from its design-time corner.
TLabel* NewLabel(QWidget* Parent, const char* Name, int Left, int Top, const QString& Caption);
