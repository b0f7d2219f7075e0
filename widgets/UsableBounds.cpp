#include "widgets/UsableBounds.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <utility>

#include "widgets/FormControls.h"

namespace {

// Place inside Area: no larger than it, and wholly within it.
QRect Inside(const QRect& Place, const QRect& Area) {
    const QSize Size = Place.size().boundedTo(Area.size()).expandedTo(QSize(0, 0));
    const int X = std::clamp(Place.x(), Area.left(), Area.left() + Area.width() - Size.width());
    const int Y = std::clamp(Place.y(), Area.top(), Area.top() + Area.height() - Size.height());
    return QRect(QPoint(X, Y), Size);
}

// The controls a name can reach: ours, which publish their place.
std::vector<QWidget*> Controls(QWidget& Window) {
    std::vector<QWidget*> Result;
    for (QWidget* Child : Window.findChildren<QWidget*>())
        if (!Child->isWindow() && dynamic_cast<TControl*>(Child)) Result.push_back(Child);
    return Result;
}

}  // namespace

TUsableBounds::TUsableBounds(QWidget& Window, TRules Rules) : FWindow(Window), FRules(std::move(Rules)) {
    for (QWidget* Control : Controls(FWindow)) FPlaces.insert(Control, Control->geometry());
}

void TUsableBounds::Settle() {
    SettleWindowSize();
    for (QWidget* Control : Controls(FWindow)) {
        const auto Noted = FPlaces.constFind(Control);
        if (Noted != FPlaces.cend() && *Noted == Control->geometry()) continue;
        // Pages that are not shown have no place of their own yet: what lies
        // on them is only kept no larger than the window.
        const QRect Bounded = Control->parentWidget() == &FWindow
                                  ? Inside(Control->geometry(), FWindow.rect())
                                  : QRect(Control->pos(), Control->size().boundedTo(FWindow.size()));
        if (Bounded != Control->geometry()) Control->setGeometry(Bounded);
    }
    if (FRules.Skin) FRules.Skin->setGeometry(FRules.Skin->geometry().united(FRules.SkinArea));
    for (const TButton& Button : FRules.Buttons) {
        const QRect Place(Button.Control->pos(), Button.Control->size().expandedTo(Button.MinSize));
        Button.Control->setGeometry(Inside(Place, FWindow.rect()));
        Button.Control->raise();
    }
    SettleWindowPlace();
    for (QWidget* Control : Controls(FWindow)) FPlaces.insert(Control, Control->geometry());
}

namespace {

// The available area of the screen the window is on, or of the one nearest
// to it, or of the primary screen; empty when there is no screen at all.
QRect Available(const QWidget& Window) {
    const QScreen* Screen = QGuiApplication::screenAt(Window.geometry().center());
    if (!Screen) Screen = Window.screen();
    if (!Screen) Screen = QGuiApplication::primaryScreen();
    return Screen ? Screen->availableGeometry() : QRect();
}

}  // namespace

void TUsableBounds::SettleWindowSize() {
    const QRect Area = Available(FWindow);
    QSize Size = FWindow.size();
    if (!Area.isEmpty()) Size = Size.boundedTo(Area.size());
    Size = Size.expandedTo(FRules.MinWindow);
    if (Size != FWindow.size()) FWindow.setFixedSize(Size);
}

void TUsableBounds::SettleWindowPlace() {
    const QRect Area = Available(FWindow);
    if (Area.isEmpty()) return;
    const QRect Place = FWindow.geometry();
    // The top left corner, with the title band and its buttons, comes first
    // where the window is larger than the area.
    const int X = std::max(std::min(Place.x(), Area.left() + Area.width() - Place.width()), Area.left());
    const int Y = std::max(std::min(Place.y(), Area.top() + Area.height() - Place.height()), Area.top());
    if (QPoint(X, Y) != Place.topLeft()) FWindow.move(X, Y);
}
