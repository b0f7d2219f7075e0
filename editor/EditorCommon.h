// What the files of the editor unit share: its colours and fixed texts.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QString>

// The frames of the bar, the pages and the inputs: red 50, green 152, blue 204.
inline const QColor FrameColour(50, 152, 204);
inline const QColor StartColour(0, 128, 0);
inline const QColor EndColour(255, 0, 0);
// The window's halo, $A1794A as the window toolkit writes colours: blue A1, green 79, red 4A.
inline const QColor ShadowColour(0x4A, 0x79, 0xA1);
inline const QString ZeroTimeCode = QStringLiteral("000:00:00.000");
inline const QString SettingsName = QStringLiteral("Segmora.ini");

// A picture compiled into the program, by its resource path (":/skin/skin.png").
inline QPixmap Resource(const char* Path) { return QPixmap(QString::fromLatin1(Path)); }
// Where the window's design places the control of this name (EditorLayout.cpp);
// empty for a name it does not place.
QRect DesignPlaceOf(const char* Name);
