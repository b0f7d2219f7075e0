#include "shadow/Composition.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>
#include <QWidget>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

xcb_connection_t* X11Connection() {
    auto* X11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return X11 ? X11->connection() : nullptr;
}

template <typename T>
using TReply = std::unique_ptr<T, decltype(&std::free)>;

// The X screen the program's windows go to: the one its display name names,
// as the connection itself was opened.
int DefaultScreenNumber() {
    char* Host = nullptr;
    int Display = 0;
    int Screen = 0;
    if (!xcb_parse_display(nullptr, &Host, &Display, &Screen)) Screen = 0;
    std::free(Host);
    return Screen;
}

xcb_window_t RootOf(xcb_connection_t* Connection, int ScreenNumber) {
    xcb_screen_iterator_t It = xcb_setup_roots_iterator(xcb_get_setup(Connection));
    for (int I = 0; It.rem > 0 && I < ScreenNumber; ++I) xcb_screen_next(&It);
    return It.rem > 0 ? It.data->root : xcb_window_t{XCB_WINDOW_NONE};
}

xcb_atom_t Atom(xcb_connection_t* Connection, const std::string& Name) {
    TReply<xcb_intern_atom_reply_t> Reply(
        xcb_intern_atom_reply(
            Connection, xcb_intern_atom(Connection, 0, static_cast<uint16_t>(Name.size()), Name.c_str()), nullptr),
        &std::free);
    return Reply ? Reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_atom_t CompositorSelection(xcb_connection_t* Connection) {
    return Atom(Connection, "_NET_WM_CM_S" + std::to_string(DefaultScreenNumber()));
}

bool SelectionOwned(xcb_connection_t* Connection, xcb_atom_t Selection) {
    if (Selection == XCB_ATOM_NONE) return false;
    TReply<xcb_get_selection_owner_reply_t> Reply(
        xcb_get_selection_owner_reply(Connection, xcb_get_selection_owner(Connection, Selection), nullptr), &std::free);
    return Reply && Reply->owner != XCB_WINDOW_NONE;
}

}  // namespace

bool DesktopComposites() {
    const QString Platform = QGuiApplication::platformName();
    if (Platform == QLatin1String("xcb")) {
        xcb_connection_t* Connection = X11Connection();
        return Connection && SelectionOwned(Connection, CompositorSelection(Connection));
    }
    // These desktops always blend their windows.
    return Platform == QLatin1String("windows") || Platform == QLatin1String("cocoa");
}

void MarkAsDecoration(QWidget& Window) {
    if (!OnX11()) return;
    xcb_connection_t* Connection = X11Connection();
    if (!Connection) return;
    const auto Id = static_cast<xcb_window_t>(Window.winId());
    // Set on the window while it is not shown; the toolkit keeps states it
    // did not set itself when it shows the window.
    const xcb_atom_t State = Atom(Connection, "_NET_WM_STATE");
    std::vector<xcb_atom_t> States;
    TReply<xcb_get_property_reply_t> Reply(
        xcb_get_property_reply(Connection, xcb_get_property(Connection, 0, Id, State, XCB_ATOM_ATOM, 0, 64), nullptr),
        &std::free);
    if (Reply && Reply->format == 32) {
        const auto* Held = static_cast<const xcb_atom_t*>(xcb_get_property_value(Reply.get()));
        States.assign(Held, Held + xcb_get_property_value_length(Reply.get()) / 4);
    }
    for (const char* Name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
        if (const xcb_atom_t Wanted = Atom(Connection, Name);
            std::find(States.begin(), States.end(), Wanted) == States.end())
            States.push_back(Wanted);
    xcb_change_property(Connection, XCB_PROP_MODE_REPLACE, Id, State, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(States.size()), States.data());
    const uint32_t NoShadow = 0;
    xcb_change_property(Connection, XCB_PROP_MODE_REPLACE, Id, Atom(Connection, "_COMPTON_SHADOW"), XCB_ATOM_CARDINAL,
                        32, 1, &NoShadow);
    xcb_flush(Connection);
}

TCompositionWatch::TCompositionWatch(QObject* Parent) : QObject(Parent) {
    if (!OnX11()) return;
    xcb_connection_t* Connection = X11Connection();
    if (!Connection) return;
    const xcb_query_extension_reply_t* XFixes = xcb_get_extension_data(Connection, &xcb_xfixes_id);
    if (!XFixes || !XFixes->present) return;
    // The version handshake is due once per connection before any other
    // XFixes request; repeating it is harmless.
    std::free(xcb_xfixes_query_version_reply(
        Connection, xcb_xfixes_query_version(Connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr));
    FSelection = CompositorSelection(Connection);
    const xcb_window_t Root = RootOf(Connection, DefaultScreenNumber());
    if (FSelection == XCB_ATOM_NONE || Root == XCB_WINDOW_NONE) return;
    FSelectionNotify = static_cast<uint8_t>(XFixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
    // Any change of owner: taken, given up, or its owner gone.
    xcb_xfixes_select_selection_input(Connection, Root, FSelection,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(Connection);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

TCompositionWatch::~TCompositionWatch() {
    if (FSelectionNotify != 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool TCompositionWatch::nativeEventFilter(const QByteArray& EventType, void* Message, qintptr*) {
    if (EventType != "xcb_generic_event_t") return false;
    const auto* Event = static_cast<const xcb_generic_event_t*>(Message);
    if ((Event->response_type & 0x7F) != FSelectionNotify) return false;
    const auto* Notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(Event);
    if (Notify->selection == FSelection) emit Changed();
    // The toolkit keeps its own watch on this selection: let it see it too.
    return false;
}
