#include "tests/shadow/XServer.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QTest>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "shadow/Composition.h"

TXvfb::TXvfb(int Width, int Height) {
    int Pipe[2];
    if (pipe(Pipe) != 0) {
        FError = QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    const std::string Fd = std::to_string(Pipe[1]);
    const std::string Screen = std::to_string(Width) + "x" + std::to_string(Height) + "x24";
    FPid = fork();
    if (FPid == 0) {
        close(Pipe[0]);
        // Xvfb writes the number of the display it found free to Fd.
        execlp("Xvfb", "Xvfb", "-displayfd", Fd.c_str(), "-screen", "0", Screen.c_str(), "-nolisten", "tcp", "-noreset",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(Pipe[1]);
    if (FPid < 0) {
        FError = QStringLiteral("fork: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        close(Pipe[0]);
        return;
    }
    std::string Number;
    pollfd Wait{Pipe[0], POLLIN, 0};
    const QDeadlineTimer Deadline(10000);
    while (Number.find('\n') == std::string::npos && !Deadline.hasExpired()) {
        if (poll(&Wait, 1, static_cast<int>(Deadline.remainingTime())) <= 0) break;
        char Buffer[16];
        const ssize_t Got = read(Pipe[0], Buffer, sizeof Buffer);
        if (Got <= 0) break;
        Number.append(Buffer, static_cast<size_t>(Got));
    }
    close(Pipe[0]);
    if (Number.find('\n') == std::string::npos) {
        int Status = 0;
        const bool Gone = waitpid(FPid, &Status, WNOHANG) == FPid;
        FError = Gone && WIFEXITED(Status) && WEXITSTATUS(Status) == 127
                     ? QStringLiteral("Xvfb is not installed (scripts/install-deps.sh installs it)")
                     : QStringLiteral("Xvfb did not report a display within 10 s");
        if (!Gone) kill(FPid, SIGKILL), waitpid(FPid, nullptr, 0);
        FPid = -1;
        return;
    }
    FDisplay = QStringLiteral(":") + QString::fromStdString(Number).trimmed();
}

TXvfb::~TXvfb() {
    if (FPid <= 0) return;
    kill(FPid, SIGTERM);
    waitpid(FPid, nullptr, 0);
}

bool TCompositor::Start() {
    FProcess.setProgram(QStringLiteral("xcompmgr"));
    FProcess.setProcessChannelMode(QProcess::MergedChannels);
    FProcess.start();
    if (!FProcess.waitForStarted(3000)) {
        FError = QStringLiteral("xcompmgr could not be started (%1); scripts/install-deps.sh installs it")
                     .arg(FProcess.errorString());
        return false;
    }
    if (QTest::qWaitFor([] { return DesktopComposites(); }, 5000)) return true;
    FError =
        QStringLiteral("xcompmgr did not take the compositing selection within 5 s (%1): %2")
            .arg(FProcess.state() == QProcess::Running ? QStringLiteral("still running") : QStringLiteral("exited"),
                 QString::fromLocal8Bit(FProcess.readAll()));
    Stop();
    return false;
}

bool TCompositor::Stop() {
    if (FProcess.state() == QProcess::NotRunning) return true;
    FProcess.terminate();
    if (!FProcess.waitForFinished(3000)) {
        FProcess.kill();
        FProcess.waitForFinished(3000);
    }
    if (QTest::qWaitFor([] { return !DesktopComposites(); }, 5000)) return true;
    FError = QStringLiteral("the compositing selection stayed taken after xcompmgr ended");
    return false;
}

namespace {

xcb_connection_t* Connection() {
    auto* X11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return X11 ? X11->connection() : nullptr;
}

}  // namespace

bool FakeClick(int X, int Y) {
    xcb_connection_t* C = Connection();
    if (!C) return false;
    const xcb_window_t Root = xcb_setup_roots_iterator(xcb_get_setup(C)).data->root;
    const auto X16 = static_cast<int16_t>(X), Y16 = static_cast<int16_t>(Y);
    xcb_test_fake_input(C, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, Root, X16, Y16, 0);
    xcb_test_fake_input(C, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, Root, 0, 0, 0);
    xcb_test_fake_input(C, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, Root, 0, 0, 0);
    xcb_flush(C);
    return true;
}

bool MappedOnServer(uint32_t Window) {
    xcb_connection_t* C = Connection();
    if (!C) return false;
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> Reply(
        xcb_get_window_attributes_reply(C, xcb_get_window_attributes(C, Window), nullptr), &std::free);
    return Reply && Reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

QStringList PropertyOnServer(uint32_t Window, const char* Property) {
    QStringList Values;
    xcb_connection_t* C = Connection();
    if (!C) return Values;
    auto Intern = [C](const char* Name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> Reply(
            xcb_intern_atom_reply(C, xcb_intern_atom(C, 0, uint16_t(std::strlen(Name)), Name), nullptr), &std::free);
        return Reply ? Reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    };
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> Reply(
        xcb_get_property_reply(C, xcb_get_property(C, 0, Window, Intern(Property), XCB_ATOM_ANY, 0, 64), nullptr),
        &std::free);
    if (!Reply || Reply->format != 32) return Values;
    const auto* Data = static_cast<const uint32_t*>(xcb_get_property_value(Reply.get()));
    for (int I = 0; I < xcb_get_property_value_length(Reply.get()) / 4; ++I) {
        if (Reply->type != XCB_ATOM_ATOM) {
            Values << QString::number(Data[I]);
            continue;
        }
        std::unique_ptr<xcb_get_atom_name_reply_t, decltype(&std::free)> Name(
            xcb_get_atom_name_reply(C, xcb_get_atom_name(C, Data[I]), nullptr), &std::free);
        if (Name)
            Values << QString::fromLatin1(xcb_get_atom_name_name(Name.get()),
                                          xcb_get_atom_name_name_length(Name.get()));
    }
    return Values;
}
