// The system's move command for a borderless window, started from a mouse
// press on one of its widgets: the window manager's own move where there is
// one, otherwise the window follows the mouse until the button is released.
#pragma once

class QPoint;
class QWidget;

// Starts moving Window from a press at GlobalPress on Handle, which holds the
// mouse until the release. True when the window manager took over the move
// (QWindow::startSystemMove); false when the window follows Handle's mouse
// events itself, which is what happens without a window manager and on
// platforms that have no system move.
bool StartWindowMove(QWidget* Window, QWidget* Handle, const QPoint& GlobalPress);
