#include "tests/support/ModalDriver.h"

#include <QApplication>
#include <QtTest/QTest>

#include <utility>

TModalDriver::TModalDriver(QObject* Parent) : QObject(Parent) {
    FTimer.setInterval(10);
    connect(&FTimer, &QTimer::timeout, this, &TModalDriver::Tick);
    FTimer.start();
}

void TModalDriver::Then(TAct Act, TReady Ready) { FSteps.push_back({std::move(Act), std::move(Ready)}); }

void TModalDriver::Tick() {
    QWidget* Modal = QApplication::activeModalWidget();
    if (!Modal || !Modal->isVisible() || FRunning) return;
    // A failed check inside a step leaves its window open: hiding it ends
    // the modal run, so the test reports instead of hanging.
    if (QTest::currentTestFailed()) {
        Modal->hide();
        return;
    }
    if (Modal != FLastSeen) {
        FLastSeen = Modal;
        ++FSeen;
    }
    TAct Act;
    if (!FSteps.empty()) {
        if (FSteps.front().Ready && !FSteps.front().Ready(Modal)) return;
        Act = std::move(FSteps.front().Act);
        FSteps.pop_front();
    } else if (FOtherwise) {
        Act = FOtherwise;
    } else {
        return;
    }
    // Posted, so that a nested modal run inside the step does not keep this
    // timer from firing.
    FRunning = true;
    QPointer<QWidget> Target(Modal);
    QTimer::singleShot(0, this, [this, Act = std::move(Act), Target] {
        FRunning = false;
        if (Target) Act(Target);
    });
}
