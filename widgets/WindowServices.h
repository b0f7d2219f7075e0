// What a window asks of the world outside it, in one object handed to the
// window when it is made: the media player its engine plays through, message
// boxes, file dialogs, HTTP requests and the desktop's handling of web
// addresses. DefaultWindowServices() gives the real ones; tests hand in their
// own, which record boxes and answer dialogs in place of the user. A service a
// window needs later becomes one more member here, with its real one in the
// defaults.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <string>

class QUrl;
class QWidget;
class TFileDialog;
class TMediaPlayer;
struct THttpRequest;
class THttpCancel;

enum class TMsgIcon { None, Information, Warning, Error, Question };
// A box with Yes and No has No as its default button.
enum class TMsgButtons { Ok, YesNo };
enum class TMsgAnswer { Ok, Yes, No };

// One message box as a window asks for it. Text may hold CR LF line breaks.
// Details, when there are any, are offered behind a button of the box.
struct TMessage {
    QString Text;
    QString Caption;
    TMsgIcon Icon = TMsgIcon::None;
    TMsgButtons Buttons = TMsgButtons::Ok;
    QString Details{};
};

// Performs one HTTP request, on whatever thread calls it: the body of a 2xx
// answer, or an exception.
using THttpFetch = std::function<std::string(const THttpRequest& Request, THttpCancel& Cancel)>;

struct TWindowServices {
    // A new media player for an engine the window owns.
    std::function<std::unique_ptr<TMediaPlayer>()> MakeMediaPlayer;
    // Shows a modal box owned by Owner and returns the button chosen; a
    // question closed without a choice answers No.
    std::function<TMsgAnswer(QWidget* Owner, const TMessage& Message)> ShowMessage;
    // Lets the user choose a file as Dialog describes; true, with
    // Dialog.FileName naming the file, when one was chosen.
    // The dialogs start in the folder a file was last chosen in, this session
    // (the user's music folder, or home, at first), unless Dialog.FileName
    // names a folder of its own.
    std::function<bool(QWidget* Owner, TFileDialog& Dialog)> ExecuteDialog;
    // The sponsor window's requests; they run on a thread of their own, so
    // this must be safe to call from any thread.
    THttpFetch HttpFetch;
    // Hands an address to the desktop to be opened (a web page in the user's
    // browser); false when nothing took it.
    std::function<bool(const QUrl& Address)> OpenUrl;
    // Lets the user choose an application to open the address with; false
    // where the desktop offers no such chooser.
    std::function<bool(const QUrl& Address)> ChooseApplication;
};

// The sound device, QMessageBox, QFileDialog, libcurl, QDesktopServices and
// the desktop portal's application chooser.
TWindowServices DefaultWindowServices();

// A box with an OK button.
void MessageBox(const TWindowServices& Services, QWidget* Owner, const QString& Text, const QString& Caption,
                TMsgIcon Icon);
// A question with the buttons Yes and No, No the default, and the question
// icon; true when the answer is Yes.
bool AskYesNo(const TWindowServices& Services, QWidget* Owner, const QString& Text, const QString& Caption);
