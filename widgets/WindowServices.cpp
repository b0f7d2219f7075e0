#include "widgets/WindowServices.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

#include "engine/MediaPlayer.h"
#include "platform/HttpClient.h"
#include "player/Mpg123Player.h"
#include "widgets/DesktopPortal.h"
#include "widgets/FormServices.h"

namespace {

QMessageBox::Icon BoxIcon(TMsgIcon Icon) {
    switch (Icon) {
    case TMsgIcon::None: break;
    case TMsgIcon::Information: return QMessageBox::Information;
    case TMsgIcon::Warning: return QMessageBox::Warning;
    case TMsgIcon::Error: return QMessageBox::Critical;
    case TMsgIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

TMsgAnswer ShowMessageBox(QWidget* Owner, const TMessage& Message) {
    // The box shows a CR LF pair as one line break, not as two.
    QString Shown = Message.Text;
    Shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const bool Question = Message.Buttons == TMsgButtons::YesNo;
    QMessageBox Box(BoxIcon(Message.Icon), Message.Caption, Shown,
                    Question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, Owner);
    Box.setTextFormat(Qt::PlainText);
    if (!Message.Details.isEmpty()) Box.setDetailedText(Message.Details);
    if (Question) {
        Box.setDefaultButton(QMessageBox::No);
        Box.setEscapeButton(QMessageBox::No);
    }
    const int Chosen = Box.exec();
    if (!Question) return TMsgAnswer::Ok;
    return Chosen == QMessageBox::Yes ? TMsgAnswer::Yes : TMsgAnswer::No;
}

// "MP3(*.mp3)|*.mp3|All|*.*" as the toolkit's "MP3(*.mp3);;All (*.*)".
QString ToolkitFilter(const QString& Filter) {
    const QStringList Parts = Filter.split(QLatin1Char('|'));
    QStringList Result;
    for (qsizetype I = 0; I + 1 < Parts.size(); I += 2) {
        QString Patterns = Parts[I + 1];
        Patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString& Description = Parts[I];
        if (Description.contains(QLatin1Char('(') + Patterns + QLatin1Char(')')))
            Result << Description;
        else
            Result << Description + QStringLiteral(" (") + Patterns + QLatin1Char(')');
    }
    return Result.join(QStringLiteral(";;"));
}

// The folder a file was last chosen in, by any dialog of this session; the
// user's music folder, or home, until then. Without it the dialogs would
// start wherever the program happened to be started from.
QString& LastDialogFolder() {
    static QString Folder = [] {
        const QString Music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
        return !Music.isEmpty() && QFileInfo(Music).isDir() ? Music : QDir::homePath();
    }();
    return Folder;
}

// Where a dialog starts: the name it offers, in the last folder unless the
// name has a folder of its own.
QString StartPath(const QString& FileName) {
    if (QFileInfo(FileName).isAbsolute()) return FileName;
    return FileName.isEmpty() ? LastDialogFolder() : QDir(LastDialogFolder()).filePath(FileName);
}

bool ExecuteFileDialog(QWidget* Owner, TFileDialog& Dialog) {
    QFileDialog::Options Options;
    if (!Dialog.OverwritePrompt) Options |= QFileDialog::DontConfirmOverwrite;
    const bool Open = Dialog.Kind == TFileDialog::TKind::Open;
    const QString Filter = ToolkitFilter(Dialog.Filter);
    const QString Start = StartPath(Dialog.FileName);
    const QString Chosen = Open ? QFileDialog::getOpenFileName(Owner, Dialog.Title, Start, Filter, nullptr, Options)
                                : QFileDialog::getSaveFileName(Owner, Dialog.Title, Start, Filter, nullptr, Options);
    if (Chosen.isEmpty()) return false;
    Dialog.FileName = Chosen;
    LastDialogFolder() = QFileInfo(Chosen).absolutePath();
    if (!Open && !Dialog.DefaultExt.isEmpty() && QFileInfo(Chosen).suffix().isEmpty())
        Dialog.FileName += QLatin1Char('.') + Dialog.DefaultExt;
    return true;
}

}  // namespace

TWindowServices DefaultWindowServices() {
    TWindowServices Services;
    Services.MakeMediaPlayer = [] { return CreateMediaPlayer(); };
    Services.ShowMessage = ShowMessageBox;
    Services.ExecuteDialog = ExecuteFileDialog;
    Services.HttpFetch = [](const THttpRequest& Request, THttpCancel& Cancel) { return HttpRequest(Request, &Cancel); };
    Services.OpenUrl = [](const QUrl& Address) { return QDesktopServices::openUrl(Address); };
    Services.ChooseApplication = AskPortalToOpenWith;
    return Services;
}

void MessageBox(const TWindowServices& Services, QWidget* Owner, const QString& Text, const QString& Caption,
                TMsgIcon Icon) {
    Services.ShowMessage(Owner, {Text, Caption, Icon, TMsgButtons::Ok});
}

bool AskYesNo(const TWindowServices& Services, QWidget* Owner, const QString& Text, const QString& Caption) {
    return Services.ShowMessage(Owner, {Text, Caption, TMsgIcon::Question, TMsgButtons::YesNo}) == TMsgAnswer::Yes;
}
