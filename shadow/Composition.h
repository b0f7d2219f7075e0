// Whether the desktop blends translucent windows. A translucent window on an
// X server without a compositing manager shows black wherever it is
// transparent, and a Wayland client cannot place its own windows; in both
// cases a shadow window would do more harm than good.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>
#include <QtGlobal>

class QWidget;

#include <cstdint>

// X11: a compositing manager owns the _NET_WM_CM_S<screen> selection.
// Wayland, and the offscreen and other windowless platforms: never.
bool DesktopComposites();

// X11: marks the native window of Window (which must exist and not be shown)
// as part of another window's looks rather than a window of its own: out of
// task bars and pagers, and without a compositing manager's own shadow
// (_COMPTON_SHADOW 0, which compton and picom honour). Elsewhere nothing.
void MarkAsDecoration(QWidget& Window);

// Tells when a compositing manager starts or stops (X11 only; elsewhere the
// answer cannot change while the program runs).
class TCompositionWatch : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit TCompositionWatch(QObject* Parent = nullptr);
    ~TCompositionWatch() override;

    bool nativeEventFilter(const QByteArray& EventType, void* Message, qintptr* Result) override;

signals:
    void Changed();

private:
    uint32_t FSelection = 0;       // the _NET_WM_CM_S<screen> atom
    uint8_t FSelectionNotify = 0;  // event code of XFixes selection notices
};
