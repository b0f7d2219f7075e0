// The program's entry: one application, one editor window, the message loop.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "editor/UnitMP3Editor.h"
#include "platform/TemporaryCleanup.h"
#include "platform/Version.h"
#include "widgets/FormServices.h"

int main(int argc, char* argv[]) {
    // Answered before the application exists, so that it needs no display.
    for (int I = 1; I < argc; ++I)
        if (std::strcmp(argv[I], "--version") == 0) {
            std::printf("segmora %s\n", SegmoraVersion);
            return 0;
        }

    // A save that reaches the file size limit fails with its message instead
    // of ending the program.
    IgnoreWriteSignals();
    QApplication Application(argc, argv);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(SegmoraVersion));
    SetApplicationTitle(QStringLiteral("Segmora"));
    InstallFontSubstitutes();

    TFrmMP3Editor Editor;
    FrmMP3Editor = &Editor;
    Editor.show();
    return Application.exec();
}
