// How soon the window's loudness strip has a file's frames and how soon all
// their levels: TStripLevels with the source the window uses, on a file
// given on the command line, several times in a row.
//
//   segmora_strip_measure FILE [RUNS]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>
#include <cstdlib>

#include "editor/LoudnessStrip.h"

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [RUNS]\n", argv[0]);
        return 2;
    }
    const int Runs = argc > 2 ? std::atoi(argv[2]) : 3;
    for (int Run = 0; Run < Runs; ++Run) {
        TStripLevels Levels(StripLevelSource);
        QEventLoop Loop;
        QElapsedTimer Clock;
        qint64 FramesAt = -1;
        size_t Frames = 0, Measured = 0;
        QObject::connect(&Levels, &TStripLevels::FramesFound, [&](std::shared_ptr<const TMp3FrameIndex> Index) {
            FramesAt = Clock.elapsed();
            Frames = Index->Count();
        });
        QObject::connect(&Levels, &TStripLevels::LevelsFound,
                         [&](size_t, const std::vector<float>& Found) { Measured += Found.size(); });
        QObject::connect(&Levels, &TStripLevels::Finished, &Loop, &QEventLoop::quit);
        Clock.start();
        Levels.Start(QString::fromLocal8Bit(argv[1]));
        Loop.exec();
        std::printf("run %d: %zu frames indexed after %lld ms, %zu measured after %lld ms\n", Run + 1, Frames,
                    static_cast<long long>(FramesAt), Measured, static_cast<long long>(Clock.elapsed()));
    }
    return 0;
}
