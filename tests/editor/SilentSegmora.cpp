// The program's window with the silent real-time output in place of the
// sound device, for trying it by hand where there is no sound. It takes the
// program's command line.
#include <QApplication>

#include "editor/CommandLine.h"
#include "editor/ProgramFiles.h"
#include "editor/UnitMP3Editor.h"
#include "player/Mpg123Player.h"
#include "widgets/FormServices.h"
#include "widgets/WindowServices.h"

int main(int argc, char* argv[]) {
    SetProgramNames();
    QApplication Application(argc, argv);
    const TCommandLine Line = ParseCommandLine(QCoreApplication::arguments());
    if (const int Status = AnswerCommandLine(Line); Status >= 0) return Status;
    SetApplicationTitle(QStringLiteral("Segmora"));
    InstallFontSubstitutes();

    TWindowServices Services = DefaultWindowServices();
    Services.MakeMediaPlayer = [] { return CreateMediaPlayer(TAudioOutputKind::Null); };
    TFrmMP3Editor Editor(Services);
    FrmMP3Editor = &Editor;
    Editor.show();
    if (!Line.FileName.isEmpty()) Editor.OpenMp3FileLater(Line.FileName);
    return Application.exec();
}
