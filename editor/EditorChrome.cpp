// The window's own frame: the title band it is moved by, its close and
// minimise buttons, and the guide page in the user's web browser.
#include "editor/UnitMP3Editor.h"

#include <QPoint>
#include <QUrl>

#include "widgets/WindowMove.h"

namespace {

// Where the guide pages are: SEGMORA_GUIDE_BASE when the build names a web
// site, otherwise the copies among the program's read-only files (DataPath).
QString GuideBase() {
    QString Base = QStringLiteral(SEGMORA_GUIDE_BASE);
    if (Base.isEmpty()) Base = QUrl::fromLocalFile(DataFile(QStringLiteral("guide"))).toString();
    while (Base.endsWith(QLatin1Char('/'))) Base.chop(1);
    return Base;
}

}  // namespace

void TFrmMP3Editor::Label10MouseDown(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y) {
    // Any button: the band answers the right and the middle button as well.
    StartWindowMove(this, Sender, QPoint(X, Y), Button);
}

// The same path as the window manager's close request.
void TFrmMP3Editor::RzBmpButton1Click(QObject*) { close(); }

void TFrmMP3Editor::RzBmpButton2Click(QObject*) { showMinimized(); }

QString TFrmMP3Editor::GuideAddress() const {
    return GuideBase() +
           (ChineseEdition ? QStringLiteral("/flya/mp3_guide.html") : QStringLiteral("/flya/mp3_guide_en.html"));
}

void TFrmMP3Editor::BtnAboutClick(QObject*) { OpenWebPage(FServices, GuideAddress()); }

void OpenWebPage(const TWindowServices& Services, const QString& Address) {
    if (Address.trimmed().isEmpty()) return;
    const QUrl Url = QUrl::fromUserInput(Address);
    if (Services.OpenUrl && Services.OpenUrl(Url)) return;
    // A page the desktop has no program for: let the user choose one. Only
    // for ".htm" addresses, which is what the chooser is asked about; the
    // page is not opened again afterwards, and nothing is said in any case.
    const qsizetype Dot = Address.lastIndexOf(QLatin1Char('.'));
    if (Dot >= 0 && Address.mid(Dot).toUpper() == QLatin1String(".HTM") && Services.ChooseApplication)
        Services.ChooseApplication(Url);
}
