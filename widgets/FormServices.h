// Application-wide services of the window toolkit: the standard error report
// for errors that escape an event handler, the file dialogs' descriptions,
// the application title, font substitutes for the Chinese font names, and
// the user's number separators. Boxes and dialogs are shown through the
// window's services (widgets/WindowServices.h).
#pragma once

#include <QFont>
#include <QObject>
#include <QString>

#include <exception>
#include <utility>

#include "widgets/WindowServices.h"

// ---- the application's standard error report ----

// Shows the error's text in a message box captioned with the application
// title, through Services; the program goes on afterwards.
void ApplicationShowException(const TWindowServices& Services, const std::exception& E);

// Runs an event handler so that an error escaping it reaches the standard
// error report instead of unwinding through the toolkit.
template <class TBody>
void RunHandler(const TWindowServices& Services, TBody&& Body) {
    try {
        std::forward<TBody>(Body)();
    } catch (const std::exception& E) {
        ApplicationShowException(Services, E);
    }
}

// A slot for connect() that calls a handler method of the window Self under
// RunHandler, reporting through the window's Services().
template <class TWindow, class... TArgs>
auto Guard(TWindow* Self, void (TWindow::*Method)(TArgs...)) {
    return [Self, Method](TArgs... Args) { RunHandler(Self->Services(), [&] { (Self->*Method)(Args...); }); };
}

// ---- application title ----

void SetApplicationTitle(const QString& Title);
QString ApplicationTitle();

// ---- the toolkit's own texts ----

// Loads Qt's translation of its own texts (the file dialogs, the buttons of
// message boxes) for Language ("zh_CN", "de", ...) in place of the one loaded
// before; an empty Language, or one Qt has no translation for, leaves Qt's
// own English. True when a translation was loaded.
bool SetToolkitLanguage(const QString& Language);

// ---- file dialogs ----

// What a file dialog asks and what it answered; the window's services run it.
class TFileDialog : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Title MEMBER Title)
    Q_PROPERTY(QString Filter MEMBER Filter)
    Q_PROPERTY(QString DefaultExt MEMBER DefaultExt)
    Q_PROPERTY(QString FileName MEMBER FileName)
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
};

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
