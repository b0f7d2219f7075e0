// The system's move command for a borderless window, started from a mouse
// press on one of its widgets: the window manager's own move where there is
// one, otherwise the window follows the mouse until the button is released.
#pragma once

#include <Qt>

class QPoint;
class QWidget;

// Starts moving Window from a press of Button at Press (in Handle's
// coordinates) on Handle, which holds the mouse until the release. True when
// the window manager took over the move (QWindow::startSystemMove); false
// when the window follows Handle's mouse events itself: without a window
// manager, on platforms that have no system move, for buttons other than the
// left one, and where the toolkit has a wrong idea of where its window is.
bool StartWindowMove(QWidget* Window, QWidget* Handle, const QPoint& Press, Qt::MouseButton Button);
