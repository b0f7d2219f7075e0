// Where the window program's files are: those it only reads (marker bitmaps,
// language files, guide pages) and its settings file. Run from a build tree
// or any folder that holds them, the program finds them beside itself; an
// installed copy reads them from the installed data folder and keeps its
// settings in the user's configuration folder.
#pragma once

#include <QString>

// Names the application as the desktop knows it ("segmora", its menu entry
// segmora.desktop), which also makes Qt's configuration folder for it
// $XDG_CONFIG_HOME/segmora. Called before the window is made.
void SetProgramNames();

// The folder, ending in "/", of the files the program only reads: its own
// folder ProgramFolder (ending in "/") when the marker bitmaps or the
// language files lie there, otherwise the installed data folder as seen
// from the installed program (share/segmora beside bin/).
QString ReadOnlyFolder(const QString& ProgramFolder);

// The settings file: "Segmora.ini" in ProgramFolder when it exists there and
// can be written (a portable copy), otherwise "Segmora.ini" in the user's
// configuration folder for the program, which need not exist yet.
QString SettingsFileFor(const QString& ProgramFolder);

// The user's configuration folder for the program, without a trailing "/":
// $XDG_CONFIG_HOME/segmora, or ~/.config/segmora when that variable is unset
// or, against the rules for it, not an absolute path.
QString UserConfigFolder();
