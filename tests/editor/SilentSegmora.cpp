// The program's window with the silent real-time output in place of the
// sound device, for trying it by hand where there is no sound.
#include <QApplication>

#include "editor/UnitMP3Editor.h"
#include "player/Mpg123Player.h"
#include "widgets/FormServices.h"
#include "widgets/WindowServices.h"

int main(int argc, char* argv[]) {
    QApplication Application(argc, argv);
    SetApplicationTitle(QStringLiteral("Segmora"));
    InstallFontSubstitutes();

    TWindowServices Services = DefaultWindowServices();
    Services.MakeMediaPlayer = [] { return CreateMediaPlayer(TAudioOutputKind::Null); };
    TFrmMP3Editor Editor(Services);
    FrmMP3Editor = &Editor;
    Editor.show();
    return Application.exec();
}
