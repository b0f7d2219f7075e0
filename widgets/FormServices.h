// Application-wide services of the window toolkit: the standard error report
// for errors that escape an event handler, message boxes and file dialogs
// behind seams that tests can replace, the application title, font
// substitutes for the Chinese font names, and the user's number separators.
#pragma once

#include <QFont>
#include <QObject>
#include <QString>

#include <exception>
#include <functional>
#include <utility>

class QWidget;

// ---- the application's standard error report ----

// Shows the error's text in a message box captioned with the application
// title; the program goes on afterwards.
void ApplicationShowException(const std::exception& E);

// Runs an event handler so that an error escaping it reaches the standard
// error report instead of unwinding through the toolkit.
template <class TBody>
void RunHandler(TBody&& Body) {
    try {
        std::forward<TBody>(Body)();
    } catch (const std::exception& E) {
        ApplicationShowException(E);
    }
}

// A slot for connect() that calls a handler method of Self under RunHandler.
template <class TObj, class... TArgs>
auto Guard(TObj* Self, void (TObj::*Method)(TArgs...)) {
    return [Self, Method](TArgs... Args) { RunHandler([&] { (Self->*Method)(Args...); }); };
}

// ---- application title ----

void SetApplicationTitle(const QString& Title);
QString ApplicationTitle();

// ---- message boxes ----

enum class TMsgIcon { None, Information, Warning, Error, Question };

// A modal box with an OK button. Text may hold CR LF line breaks.
void MessageBox(QWidget* Owner, const QString& Text, const QString& Caption, TMsgIcon Icon);

// Replaces the boxes (tests); returns the hook that was installed before.
// An empty hook restores the real boxes.
using TMessageBoxHook = std::function<void(const QString& Text, const QString& Caption, TMsgIcon Icon)>;
TMessageBoxHook SetMessageBoxHook(TMessageBoxHook Hook);

// ---- file dialogs ----

class TFileDialog : public QObject {
    Q_OBJECT
public:
    enum class TKind { Open, Save };
    explicit TFileDialog(TKind Kind, QObject* Owner = nullptr);

    TKind Kind;
    QString Title;
    // Pairs of description and pattern separated by "|", as in "MP3(*.mp3)|*.mp3".
    QString Filter;
    // Without the point; appended to a chosen name that has no extension.
    QString DefaultExt;
    // Asks before an existing file is replaced (save dialogs).
    bool OverwritePrompt = false;
    // In: offered to the user. Out: the chosen file.
    QString FileName;

    // True when the user chose a file; FileName then names it.
    bool Execute(QWidget* Owner);
};

// Replaces the dialogs (tests): the hook answers in place of the user,
// setting the dialog's FileName and returning whether one was chosen.
using TFileDialogHook = std::function<bool(TFileDialog& Dialog)>;
TFileDialogHook SetFileDialogHook(TFileDialogHook Hook);

// ---- fonts ----

// Maps the Chinese font names the window asks for onto the installed CJK font.
void InstallFontSubstitutes();
// A font of Family whose size in points is taken at 96 pixels per inch, so
// that texts keep their size in pixels whatever the screen's density.
QFont PointFont(const QString& Family, double Points, bool Bold = false);
QFont PixelFont(const QString& Family, int Pixels, bool Bold = false);

// ---- numbers in the user's locale ----

QString ThousandSeparator();
QString DecimalSeparator();
// Value rounded to an integer, a half away from zero, digits grouped by the
// thousands separator: the number format "%0.0n".
QString FormatNumber0(double Value);
