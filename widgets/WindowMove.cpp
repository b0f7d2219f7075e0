#include "widgets/WindowMove.h"

#include <QEvent>
#include <QMouseEvent>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace {

const char* const FollowerName = "SegmoraFollowMouse";

// Moves its window with the mouse while it watches the handle, and goes
// away at the release of the button (or when the handle loses the mouse).
class TFollowMouse : public QObject {
public:
    TFollowMouse(QWidget* Window, QWidget* Handle, const QPoint& GlobalPress)
        : QObject(Handle), FWindow(Window), FGrab(GlobalPress - Window->pos()) {
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
    // Where the mouse holds the window, from its top left corner.
    QPoint FGrab;
};

}  // namespace

bool StartWindowMove(QWidget* Window, QWidget* Handle, const QPoint& GlobalPress) {
    if (!Window || !Handle) return false;
    if (QWindow* Native = Window->windowHandle(); Native && Native->startSystemMove()) return true;
    // The handle's own followers from an earlier press that never saw its release.
    for (QObject* Old : Handle->findChildren<QObject*>(QLatin1String(FollowerName), Qt::FindDirectChildrenOnly)) {
        Handle->removeEventFilter(Old);
        Old->deleteLater();
    }
    new TFollowMouse(Window, Handle, GlobalPress);  // owned by Handle
    return false;
}
