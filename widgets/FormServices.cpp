#include "widgets/FormServices.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>
#include <QWidget>

#include <cmath>
#include <memory>

void ApplicationShowException(const TWindowServices& Services, const std::exception& E) {
    QString Text = QString::fromUtf8(E.what());
    // The report ends a sentence that lacks its full stop, but leaves one
    // that ends in "!", "?" or other punctuation below the full stop alone.
    if (!Text.isEmpty() && Text.back() > QLatin1Char('.')) Text += QLatin1Char('.');
    MessageBox(Services, QApplication::activeWindow(), Text, ApplicationTitle(), TMsgIcon::Error);
}

namespace {
const char* const TitleProperty = "SegmoraApplicationTitle";
}

// Not Qt's display name: on X11 Qt appends that to the caption of every
// window and box, which must read exactly as the program words it.
void SetApplicationTitle(const QString& Title) {
    if (QCoreApplication* App = QCoreApplication::instance()) App->setProperty(TitleProperty, Title);
}

QString ApplicationTitle() {
    const QCoreApplication* App = QCoreApplication::instance();
    return App ? App->property(TitleProperty).toString() : QString();
}

bool SetToolkitLanguage(const QString& Language) {
    // The one translator lives as a child of the application, found by its name.
    const QString Name = QStringLiteral("SegmoraToolkitTranslation");
    QCoreApplication* App = QCoreApplication::instance();
    if (!App) return false;
    // Released, it takes itself out of the application's translators.
    std::unique_ptr<QTranslator>(App->findChild<QTranslator*>(Name, Qt::FindDirectChildrenOnly)).reset();
    if (Language.isEmpty()) return false;
    auto Translator = std::make_unique<QTranslator>();
    Translator->setObjectName(Name);
    if (!Translator->load(QStringLiteral("qtbase_") + Language, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    Translator->setParent(App);
    return QCoreApplication::installTranslator(Translator.release());
}

TFileDialog::TFileDialog(TKind AKind, QObject* Owner) : QObject(Owner), Kind(AKind) {}

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
