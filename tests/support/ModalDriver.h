// Acts on modal windows during their modal run, the way a user would: every
// few milliseconds it looks at the topmost modal window and, when the next
// step is ready for it, takes that step. Steps run from the event loop, not
// from the driver's timer, so a step may itself open a nested modal window
// that later steps act on.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

class TModalDriver : public QObject {
    Q_OBJECT
public:
    using TReady = std::function<bool(QWidget* Modal)>;
    using TAct = std::function<void(QWidget* Modal)>;

    explicit TModalDriver(QObject* Parent = nullptr);

    // The next step: Act on the topmost modal window once Ready says so
    // (by default at once).
    void Then(TAct Act, TReady Ready = {});
    // Taken for a modal window when no step is left (for example, answer
    // every closing message); without one, such a window is left alone.
    void Otherwise(TAct Act) { FOtherwise = std::move(Act); }

    bool AllTaken() const { return FSteps.empty() && !FRunning; }
    // How often a different modal window came on top.
    int Seen() const { return FSeen; }

private:
    struct TStep {
        TAct Act;
        TReady Ready;
    };
    void Tick();

    QTimer FTimer;
    std::deque<TStep> FSteps;
    TAct FOtherwise;
    bool FRunning = false;
    int FSeen = 0;
    QPointer<QWidget> FLastSeen;
};
