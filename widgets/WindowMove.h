// Placing and moving a borderless window: where it first shows, and the
// system's move command, started from a mouse press on one of its widgets:
// the window manager's own move where there is one, otherwise the window
// follows the mouse until the button is released.
#pragma once

#include <Qt>

class QPoint;
class QRect;
class QSize;
class QWidget;

// The top left corner of a window of Size centred in Area, moved right and
// down as far as it takes to keep its top left inside Area: a window larger
// than the screen keeps its title band and buttons on it.
QPoint CentredInside(const QRect& Area, const QSize& Size);

// Starts moving Window from a press of Button at Press (in Handle's
// coordinates) on Handle, which holds the mouse until the release. True when
// the window manager took over the move (QWindow::startSystemMove); false
// when the window follows Handle's mouse events itself: without a window
// manager, on platforms that have no system move, for buttons other than the
// left one, and where the toolkit has a wrong idea of where its window is.
bool StartWindowMove(QWidget* Window, QWidget* Handle, const QPoint& Press, Qt::MouseButton Button);
