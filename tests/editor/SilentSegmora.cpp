// The program's window with the silent real-time output in place of the
// sound device, for trying it by hand where there is no sound.
#include <QApplication>

#include "editor/UnitMP3Editor.h"
#include "player/Mpg123Player.h"
#include "widgets/FormServices.h"

int main(int argc, char* argv[]) {
    QApplication Application(argc, argv);
    SetApplicationTitle(QStringLiteral("Segmora"));
    InstallFontSubstitutes();
    SetMediaPlayerMaker([] { return CreateMediaPlayer(TAudioOutputKind::Null); });

    TFrmMP3Editor Editor;
    FrmMP3Editor = &Editor;
    Editor.show();
    return Application.exec();
}
