// A private X server for window tests that need a real one: Xvfb on the
// first free display, started before the application connects and stopped
// at the end; and a compositing manager (xcompmgr) to start and stop on it.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <cstdint>

class TXvfb {
public:
    // Starts Xvfb with one Width x Height x 24 screen; Error() says why not.
    TXvfb(int Width, int Height);
    ~TXvfb();
    TXvfb(const TXvfb&) = delete;
    TXvfb& operator=(const TXvfb&) = delete;

    bool Running() const { return FPid > 0 && !FDisplay.isEmpty(); }
    QString Display() const { return FDisplay; }  // ":N"
    QString Error() const { return FError; }

private:
    pid_t FPid = -1;
    QString FDisplay;
    QString FError;
};

class TCompositor {
public:
    ~TCompositor() { Stop(); }
    // Starts xcompmgr and waits until it owns the compositing selection;
    // false with Error() set when it does not within a few seconds.
    bool Start();
    // Stops it and waits until the selection is free again.
    bool Stop();
    QString Error() const { return FError; }

private:
    QProcess FProcess;
    QString FError;
};

// Clicks the first mouse button at a place on the screen through the X
// server's test extension, as a user's click would arrive.
bool FakeClick(int X, int Y);

// The X window of a widget is mapped and viewable.
bool MappedOnServer(uint32_t Window);

// The 32-bit values of a property of a window on the server (atoms by their
// names, numbers as decimal text); empty when it has none.
QStringList PropertyOnServer(uint32_t Window, const char* Property);
