// What the files of the editor unit share: its colours and fixed texts.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

// The frames of the bar, the pages and the inputs: red 50, green 152, blue 204.
inline const QColor FrameColour(50, 152, 204);
inline const QColor StartColour(0, 128, 0);
inline const QColor EndColour(255, 0, 0);
inline const QString ZeroTimeCode = QStringLiteral("000:00:00.000");
inline const QString SettingsName = QStringLiteral("Segmora.ini");

// A picture compiled into the program, by its resource path (":/skin/skin.png").
inline QPixmap Resource(const char* Path) { return QPixmap(QString::fromLatin1(Path)); }
