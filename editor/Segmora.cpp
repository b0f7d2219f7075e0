// The program's entry: the command line, one application, one editor window,
// the message loop.
#include <QApplication>

#include "editor/CommandLine.h"
#include "editor/ProgramFiles.h"
#include "editor/UnitMP3Editor.h"
#include "platform/TemporaryCleanup.h"
#include "platform/Version.h"
#include "widgets/FormServices.h"

int main(int argc, char* argv[]) {
    // The version and the help are answered before the application exists,
    // so that they need no display. A line that does not parse yet may hold
    // Qt's own options (-platform, -style, ...): it is judged again once the
    // application has taken those out.
    const TCommandLine Early = ParseCommandLine(ArgumentsOf(argc, argv));
    if (Early.Action == TCommandLine::TAction::Version || Early.Action == TCommandLine::TAction::Help)
        return AnswerCommandLine(Early);

    // A save that reaches the file size limit fails with its message instead
    // of ending the program.
    IgnoreWriteSignals();
    SetProgramNames();
    QApplication Application(argc, argv);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(SegmoraVersion));
    const TCommandLine Line = ParseCommandLine(QCoreApplication::arguments());
    if (const int Status = AnswerCommandLine(Line); Status >= 0) return Status;

    SetApplicationTitle(QStringLiteral("Segmora"));
    InstallFontSubstitutes();

    TFrmMP3Editor Editor;
    FrmMP3Editor = &Editor;
    Editor.show();
    if (!Line.FileName.isEmpty()) Editor.OpenMp3FileLater(Line.FileName);
    return Application.exec();
}
