// Bounds that keep a window usable whatever was set on its published
// geometry by name: a language file, which travels between users, may set
// any control's Left, Top, Width and Height, and the window's own. Those
// stay settable; the bounds only take back what would leave the window
// unusable:
//  - the window: no smaller than MinWindow, no larger than the available
//    area of its screen (unless that is smaller than MinWindow), and wholly
//    on that area (its top left corner, where it does not fit);
//  - a control whose place changed: no larger than the window, and when it
//    lies on the window itself, wholly inside it, so that none is out of
//    reach (the pages of a page control have no place before they are
//    shown: what lies on them keeps its place);
//  - the skin: covers at least SkinArea, so that the window's outline,
//    which is made from the skin's place, never hides the window;
//  - the buttons that close and minimise the window: at least their own
//    size, wholly inside the window, above every other control.
#pragma once

#include <QHash>
#include <QRect>
#include <QSize>

#include <vector>

class QWidget;

class TUsableBounds {
public:
    struct TButton {
        QWidget* Control;
        QSize MinSize;
    };
    struct TRules {
        QSize MinWindow;
        QWidget* Skin = nullptr;
        QRect SkinArea;
        std::vector<TButton> Buttons;
    };

    // Notes where the window's controls are now.
    TUsableBounds(QWidget& Window, TRules Rules);
    // Applies the bounds to the window as it is now.
    void Settle();

private:
    void SettleWindowSize();
    void SettleWindowPlace();

    QWidget& FWindow;
    TRules FRules;
    QHash<QWidget*, QRect> FPlaces;
};
