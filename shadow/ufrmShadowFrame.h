// The window shadow: a click-through translucent window lying directly
// behind its owner window, ShadowMargin pixels larger on every side, showing
// a soft coloured halo around the owner's outline. It follows the owner by
// itself through an event filter on it: a move only moves the shadow, a
// change of size rebuilds its picture, hiding, minimising or maximising the
// owner hides it.
#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

class QEvent;
class QPaintEvent;
class TCompositionWatch;

// An owner drawn with a transparent colour (the colour shows what lies
// behind it) says so with these dynamic properties: a bool and a QColor.
// Its halo then follows what it draws rather than its window outline.
inline constexpr char TransparentColorProperty[] = "TransparentColor";
inline constexpr char TransparentColorValueProperty[] = "TransparentColorValue";

class TFormShadow : public QWidget {
    Q_OBJECT
public:
    TFormShadow();
    ~TFormShadow() override;

    // Attaches to Form, or detaches with nullptr; a detached shadow is hidden.
    void SetOwnerForm(QWidget* Form);
    // Switches the shadow on or off together with the owner's visibility.
    void SetShown(bool Value);
    // Recolours the picture without rebuilding it.
    void SetShadowColor(const QColor& Color);

    // Whether the desktop blends translucent windows, asked at attaching, at
    // every showing of the owner and whenever a compositing manager starts
    // or stops. The shadow is never visible where the answer is no.
    using TCompositionProbe = std::function<bool()>;
    void SetCompositionProbe(TCompositionProbe Probe);

protected:
    // Sees every event of the owner before the owner does.
    virtual void OwnerWndProc(QEvent* Message);
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;

    // The picture is painted source-over with its per-pixel alpha, scaled by
    // ConstantAlpha (the owner's own opacity).
    struct TShadowBlend {
        uint8_t ConstantAlpha = 0;
    };

    QPointer<QWidget> OwnerForm;
    bool Shown = false;
    QColor ShadowColor = Qt::black;
    // The owner's transparent colour when the picture was last built.
    QColor MaskColor;
    QImage ShadowBitmap;
    TShadowBlend Blend;
    bool Dirty = true;

private:
    bool OwnerExists() const;
    bool OwnerIsNormal() const;
    bool OwnerUsesTransparentColor() const;
    QColor OwnerTransparentColor() const;
    // The owner's client area relative to its frame.
    QPoint ClientOffset() const;

    void NudgeOwner();
    void WindowPosChanged(bool MayRebuild = true);
    void RebuildShadow();
    void PaintOwnerMask(bool Solid);
    void ApplyAlpha(bool CopyMask);
    void StackBelowOwner();
    void RecheckComposition();

    TCompositionProbe FProbe;
    bool FComposites = false;
    TCompositionWatch* FWatch;  // a child of this window
};
