// The window program's command line: segmora [--version] [--help] [FILE].
#pragma once

#include <QString>
#include <QStringList>

struct TCommandLine {
    enum class TAction { Run, Version, Help, Usage };
    TAction Action = TAction::Run;
    // Run: the file to open at start, absolute (a relative name is taken
    // against the current folder); empty for none.
    QString FileName;
    // Usage: what is wrong with the command line.
    QString Error;
};

// Arguments as the program got them, its own name first.
TCommandLine ParseCommandLine(const QStringList& Arguments);

// The arguments of main() as text in the locale's encoding.
QStringList ArgumentsOf(int argc, char* argv[]);

// Prints what Line asks for (the version or the usage on the standard
// output, a usage error on the standard error) and gives the exit status:
// 0 for the version and the usage, 2 for a usage error, -1 to run.
int AnswerCommandLine(const TCommandLine& Line);
