#include "widgets/FormServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

#include <cmath>

namespace {

TMessageBoxHook& MessageBoxHook() {
    static TMessageBoxHook Hook;
    return Hook;
}

TFileDialogHook& FileDialogHook() {
    static TFileDialogHook Hook;
    return Hook;
}

// "MP3(*.mp3)|*.mp3|All|*.*" as the toolkit's "MP3(*.mp3);;All (*.*)".
QString ToolkitFilter(const QString& Filter) {
    const QStringList Parts = Filter.split(QLatin1Char('|'));
    QStringList Result;
    for (qsizetype I = 0; I + 1 < Parts.size(); I += 2) {
        QString Patterns = Parts[I + 1];
        Patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString Description = Parts[I];
        if (Description.contains(QLatin1Char('(') + Patterns + QLatin1Char(')')))
            Result << Description;
        else
            Result << Description + QStringLiteral(" (") + Patterns + QLatin1Char(')');
    }
    return Result.join(QStringLiteral(";;"));
}

}  // namespace

void ApplicationShowException(const std::exception& E) {
    QString Text = QString::fromUtf8(E.what());
    // The report ends a sentence that lacks its full stop, but leaves one
    // that ends in "!", "?" or other punctuation below the full stop alone.
    if (!Text.isEmpty() && Text.back() > QLatin1Char('.')) Text += QLatin1Char('.');
    MessageBox(QApplication::activeWindow(), Text, ApplicationTitle(), TMsgIcon::Error);
}

void SetApplicationTitle(const QString& Title) { QGuiApplication::setApplicationDisplayName(Title); }

QString ApplicationTitle() { return QGuiApplication::applicationDisplayName(); }

void MessageBox(QWidget* Owner, const QString& Text, const QString& Caption, TMsgIcon Icon) {
    if (MessageBoxHook()) {
        MessageBoxHook()(Text, Caption, Icon);
        return;
    }
    QMessageBox::Icon BoxIcon = QMessageBox::NoIcon;
    switch (Icon) {
    case TMsgIcon::None: break;
    case TMsgIcon::Information: BoxIcon = QMessageBox::Information; break;
    case TMsgIcon::Warning: BoxIcon = QMessageBox::Warning; break;
    case TMsgIcon::Error: BoxIcon = QMessageBox::Critical; break;
    case TMsgIcon::Question: BoxIcon = QMessageBox::Question; break;
    }
    // The box shows a CR LF pair as one line break, not as two.
    QString Shown = Text;
    Shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox Box(BoxIcon, Caption, Shown, QMessageBox::Ok, Owner);
    Box.setTextFormat(Qt::PlainText);
    Box.exec();
}

TMessageBoxHook SetMessageBoxHook(TMessageBoxHook Hook) { return std::exchange(MessageBoxHook(), std::move(Hook)); }

TFileDialog::TFileDialog(TKind AKind, QObject* Owner) : QObject(Owner), Kind(AKind) {}

bool TFileDialog::Execute(QWidget* Owner) {
    if (FileDialogHook()) return FileDialogHook()(*this);
    QFileDialog::Options Options;
    if (!OverwritePrompt) Options |= QFileDialog::DontConfirmOverwrite;
    const QString Chosen =
        Kind == TKind::Open
            ? QFileDialog::getOpenFileName(Owner, Title, FileName, ToolkitFilter(Filter), nullptr, Options)
            : QFileDialog::getSaveFileName(Owner, Title, FileName, ToolkitFilter(Filter), nullptr, Options);
    if (Chosen.isEmpty()) return false;
    FileName = Chosen;
    if (Kind == TKind::Save && !DefaultExt.isEmpty() && QFileInfo(Chosen).suffix().isEmpty())
        FileName += QLatin1Char('.') + DefaultExt;
    return true;
}

TFileDialogHook SetFileDialogHook(TFileDialogHook Hook) { return std::exchange(FileDialogHook(), std::move(Hook)); }

void InstallFontSubstitutes() {
    const QStringList Cjk = {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                             QStringLiteral("Droid Sans Fallback")};
    for (const QString& Name : {QStringLiteral("宋体"), QStringLiteral("微软雅黑"), QStringLiteral("SimSun"),
                                QStringLiteral("Microsoft YaHei")})
        QFont::insertSubstitutions(Name, Cjk);
    // The Latin faces of the window are not on this platform either.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

QFont PixelFont(const QString& Family, int Pixels, bool Bold) {
    QFont Font(Family);
    Font.setPixelSize(Pixels);
    Font.setBold(Bold);
    return Font;
}

QFont PointFont(const QString& Family, double Points, bool Bold) {
    return PixelFont(Family, static_cast<int>(std::lround(Points * 96.0 / 72.0)), Bold);
}

QString ThousandSeparator() { return QLocale::system().groupSeparator(); }

QString DecimalSeparator() { return QLocale::system().decimalPoint(); }

QString FormatNumber0(double Value) {
    const long long Rounded = std::llround(Value);
    const QString Digits = QString::number(Rounded < 0 ? -Rounded : Rounded);
    const QString Separator = ThousandSeparator();
    QString Result;
    for (qsizetype I = 0; I < Digits.size(); ++I) {
        if (I > 0 && (Digits.size() - I) % 3 == 0) Result += Separator;
        Result += Digits[I];
    }
    return Rounded < 0 ? QLatin1Char('-') + Result : Result;
}
