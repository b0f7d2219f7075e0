// Measures the window shadow: what a rebuild of the picture costs for the
// editor's 592 x 452 window (the whole of it, and each step alone), and what
// the shadow adds to a move of its owner. Run by
// bench/shadow/measure-shadow.sh; nothing here is a test.
//
//   segmora_shadow_measure [ROUNDS]
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "shadow/Composition.h"
#include "shadow/ShadowPicture.h"
#include "shadow/ufrmShadowFrame.h"

namespace {

QRegion Rounded(int Width, int Height) {
    QPainterPath Path;
    Path.addRoundedRect(QRectF(1, 1, Width - 1, Height - 1), 4.5, 4.5);
    return QRegion(Path.toFillPolygon().toPolygon());
}

// Median of Rounds timings of Step, in milliseconds.
double MedianMs(int Rounds, const std::function<void()>& Step) {
    std::vector<double> Times;
    for (int I = 0; I < Rounds; ++I) {
        QElapsedTimer Clock;
        Clock.start();
        Step();
        Times.push_back(static_cast<double>(Clock.nsecsElapsed()) / 1e6);
    }
    std::sort(Times.begin(), Times.end());
    return Times[Times.size() / 2];
}

class TMoveCounter : public QObject {
public:
    int Moves = 0;

protected:
    bool eventFilter(QObject*, QEvent* Event) override {
        if (Event->type() == QEvent::Move) ++Moves;
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication App(argc, argv);
    const int Rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    std::printf("platform %s, compositing %s, %d rounds, medians\n", qPrintable(QGuiApplication::platformName()),
                DesktopComposites() ? "yes" : "no", Rounds);

    // The steps of a rebuild alone, on the picture of a 592 x 452 window.
    QImage Picture(624, 484, ShadowFormat);
    const TShadowOutline Outline = ShadowOutline(QSize(592, 452), Rounded(592, 452));
    const double Fill = MedianMs(Rounds, [&] {
        Picture.fill(ShadowBlack);
        FillOutline(Picture, Outline, ShadowWhite);
    });
    const double Blur = MedianMs(Rounds, [&] {
        for (const int Radius : {1, 2, 3}) BlurPass(Picture, Radius);
    });
    const double Colour = MedianMs(Rounds, [&] { ApplyAlpha(Picture, QColor(0x4A, 0x79, 0xA1), true); });
    std::printf("picture steps: fill and outline %.3f ms, three blur passes %.3f ms, colouring %.3f ms\n", Fill, Blur,
                Colour);

    QWidget Owner(nullptr, Qt::Window | Qt::FramelessWindowHint);
    Owner.setGeometry(100, 80, 592, 452);
    Owner.setMask(Rounded(592, 452));
    Owner.show();
    QCoreApplication::processEvents();

    // Moves of the owner alone, then with its shadow attached and shown;
    // each one timed until the owner has seen its move event, which on an
    // X server comes back from the server.
    TMoveCounter Counter;
    Owner.installEventFilter(&Counter);
    int Step = 0;
    auto Move = [&] {
        ++Step;
        const int Before = Counter.Moves;
        Owner.move(100 + Step % 50, 80 + Step % 30);
        QElapsedTimer Waited;
        Waited.start();
        while (Counter.Moves == Before && Waited.elapsed() < 500) QCoreApplication::processEvents();
    };
    const double Bare = MedianMs(Rounds, Move);

    TFormShadow Shadow;
    Shadow.SetCompositionProbe([] { return true; });
    Shadow.SetOwnerForm(&Owner);
    Shadow.SetShadowColor(QColor(0x4A, 0x79, 0xA1));
    Shadow.SetShown(true);
    QCoreApplication::processEvents();
    const double Shadowed = MedianMs(Rounds, Move);
    std::printf("move of the owner: %.3f ms alone, %.3f ms with its shadow (%.3f ms more)\n", Bare, Shadowed,
                Shadowed - Bare);

    // A change of size rebuilds the picture: one pixel wider, then back.
    bool Wide = false;
    const double Resize = MedianMs(Rounds, [&] {
        Wide = !Wide;
        Owner.resize(Wide ? 593 : 592, 452);
        QCoreApplication::processEvents();
    });
    std::printf("resize of the owner with a rebuild of the picture: %.3f ms\n", Resize);
    return 0;
}
