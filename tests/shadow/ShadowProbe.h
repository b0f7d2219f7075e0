// A shadow whose state the tests can read, and owners to attach it to.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <QWidget>

#include "shadow/ufrmShadowFrame.h"

class TProbeShadow : public TFormShadow {
public:
    using TFormShadow::Blend;
    using TFormShadow::MaskColor;
    using TFormShadow::OwnerForm;
    using TFormShadow::ShadowBitmap;
    using TFormShadow::ShadowColor;
    using TFormShadow::Shown;
};

// The rounded outline a borderless window gives itself: corners of 9 x 9
// pixel ellipses, the right and bottom edges left out.
inline QRegion RoundedRegion(int Width, int Height) {
    QPainterPath Path;
    Path.addRoundedRect(QRectF(1, 1, Width - 1, Height - 1), 4.5, 4.5);
    return QRegion(Path.toFillPolygon().toPolygon());
}

// A borderless owner filled with one colour.
class TTestOwner : public QWidget {
public:
    explicit TTestOwner(QColor Fill = QColor(48, 48, 48)) : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
        FFill = Fill;
    }
    QColor FFill;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), FFill); }
};
