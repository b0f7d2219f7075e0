// The program's entry: one application, one editor window, the message loop.
#include <QApplication>

#include "editor/UnitMP3Editor.h"
#include "widgets/FormServices.h"

int main(int argc, char* argv[]) {
    QApplication Application(argc, argv);
    SetApplicationTitle(QStringLiteral("Segmora"));
    InstallFontSubstitutes();

    TFrmMP3Editor Editor;
    FrmMP3Editor = &Editor;
    Editor.show();
    return Application.exec();
}
