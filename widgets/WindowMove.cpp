#include "widgets/WindowMove.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <QWindow>

#include <algorithm>

QPoint CentredInside(const QRect& Area, const QSize& Size) {
    const QPoint Centred = Area.center() - QPoint(Size.width() / 2, Size.height() / 2);
    // Right and bottom first, so that what does not fit goes off the right and the bottom.
    const int X = std::max(std::min(Centred.x(), Area.right() + 1 - Size.width()), Area.left());
    const int Y = std::max(std::min(Centred.y(), Area.bottom() + 1 - Size.height()), Area.top());
    return QPoint(X, Y);
}

namespace {

const char* const FollowerName = "SegmoraFollowMouse";

// Moves its window with the mouse while it watches the handle, and goes
// away at the release of the button (or when the handle loses the mouse).
class TFollowMouse : public QObject {
public:
    TFollowMouse(QWidget* Window, QWidget* Handle, const QPoint& Press)
        : QObject(Handle), FWindow(Window), FGrab(Handle->mapTo(Window, Press)) {
        setObjectName(QLatin1String(FollowerName));
        Handle->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        switch (Event->type()) {
        case QEvent::MouseMove: {
            const auto* Mouse = static_cast<QMouseEvent*>(Event);
            if (Mouse->buttons() == Qt::NoButton) {
                Finish(Watched);
                return false;
            }
            if (FWindow) FWindow->move(Mouse->globalPosition().toPoint() - FGrab);
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(Event)->buttons() == Qt::NoButton) Finish(Watched);
            return false;
        case QEvent::Hide:
        case QEvent::UngrabMouse: Finish(Watched); return false;
        default: return false;
        }
    }

private:
    void Finish(QObject* Watched) {
        Watched->removeEventFilter(this);
        deleteLater();
    }

    QPointer<QWidget> FWindow;
    // Where the mouse holds the window, from its top left corner. Measured
    // inside the window and met with the events' screen positions, it does
    // not depend on where the toolkit believes the window to be.
    QPoint FGrab;
};

// Whether the toolkit knows where its window is. Qt's request to an X11
// window manager names the press by the window's place as Qt last heard it,
// and that can still be the place inside the manager's frame (0, 0): the
// manager would then move the window by that error. The pointer, asked of
// the X server, tells.
bool KnowsItsPlace(const QWidget* Handle, const QPoint& Press) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return true;
    return Handle->mapToGlobal(Press) == QCursor::pos();
}

}  // namespace

bool StartWindowMove(QWidget* Window, QWidget* Handle, const QPoint& Press, Qt::MouseButton Button) {
    if (!Window || !Handle) return false;
    // Qt's request to an X11 window manager names the left button, which the
    // manager then waits for to end the move: a move begun with another
    // button would go on after its release. Those buttons move the window here.
    QWindow* Native = Window->windowHandle();
    if (Button == Qt::LeftButton && Native && KnowsItsPlace(Handle, Press) && Native->startSystemMove()) return true;
    // The handle's own followers from an earlier press that never saw its release.
    for (QObject* Old : Handle->findChildren<QObject*>(QLatin1String(FollowerName), Qt::FindDirectChildrenOnly)) {
        Handle->removeEventFilter(Old);
        Old->deleteLater();
    }
    new TFollowMouse(Window, Handle, Press);  // owned by Handle
    return false;
}
