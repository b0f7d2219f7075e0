#include "editor/ProgramFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>

#include "editor/EditorCommon.h"

namespace {

const QString ProgramName = QStringLiteral("segmora");

// Opening for appending is the one test that holds for root and on
// read-only file systems alike; it leaves the file as it is.
bool CanWrite(const QString& FileName) {
    if (!QFileInfo(FileName).isFile()) return false;
    QFile File(FileName);
    return File.open(QIODevice::WriteOnly | QIODevice::Append);
}

}  // namespace

void SetProgramNames() {
    // No organisation: it would be one more folder level between
    // $XDG_CONFIG_HOME and the program's own folder.
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName(ProgramName);
    QGuiApplication::setDesktopFileName(ProgramName);
}

QString ReadOnlyFolder(const QString& ProgramFolder) {
    if (QFileInfo(ProgramFolder + QStringLiteral("MarkStart.bmp")).isFile() ||
        QFileInfo(ProgramFolder + QStringLiteral("Languages")).isDir())
        return ProgramFolder;
    // The install's layout, as the build was configured (GNUInstallDirs).
    const QString Installed = QStringLiteral(SEGMORA_DATA_FROM_PROGRAM);
    return QDir::cleanPath(QDir::isAbsolutePath(Installed) ? Installed : ProgramFolder + Installed) + QLatin1Char('/');
}

QString UserConfigFolder() {
    QString Folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (Folder.isEmpty() || QDir::isRelativePath(Folder))
        Folder = QDir::homePath() + QStringLiteral("/.config/") + QCoreApplication::applicationName();
    return Folder;
}

QString SettingsFileFor(const QString& ProgramFolder) {
    QString Portable = ProgramFolder + SettingsName;
    if (CanWrite(Portable)) return Portable;
    return UserConfigFolder() + QLatin1Char('/') + SettingsName;
}
