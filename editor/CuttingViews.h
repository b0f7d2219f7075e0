// What the cutting aids show beside the window's own controls: the words
// they use, the shaded stretch between the markers, and the short note a
// successful save leaves beside the save button.
#pragma once

#include <QFrame>
#include <QObject>
#include <QString>
#include <QWidget>

class QLabel;
class QPaintEvent;
class QPropertyAnimation;
class QTimer;

// The words no control holds as its caption. A language file sets them as
// CutTexts.Selection=..., and so on; %1 stands for a number or a name.
class TCutTexts : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Selection MEMBER Selection)
    Q_PROPERTY(QString Frames MEMBER Frames)
    Q_PROPERTY(QString Saved MEMBER Saved)
    Q_PROPERTY(QString Nudge MEMBER Nudge)
public:
    explicit TCutTexts(QObject* Parent);
    QString Selection;  // "Selection: %1", the piece's length
    QString Frames;     // "%1 frames"
    QString Saved;      // "Saved: %1", the new file's name
    QString Nudge;      // how the arrow keys move a mark
};

// The stretch between the two markers' poles, shaded; it lets the mouse through.
class TSelectionShade : public QWidget {
    Q_OBJECT
public:
    explicit TSelectionShade(QWidget* Parent);
    // From X1 to X2 in the shade's own coordinates.
    void SetSpan(double X1, double X2);
    double Left() const { return FX1; }
    double Right() const { return FX2; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    double FX1 = 0.0, FX2 = 0.0;
};

// A few lines that fade after a few seconds, or go at once at the next key
// or click anywhere in the program. It asks for nothing and changes nothing.
class TSaveNote : public QFrame {
    Q_OBJECT
public:
    static constexpr int ShownMs = 4000;
    static constexpr int FadeMs = 700;

    explicit TSaveNote(QWidget* Parent);
    // Lines cut to the note's width in their middle; Whole is its tooltip.
    void Show(const QStringList& Lines, const QString& Whole);
    QString Text() const;
    void Dismiss();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    QLabel* FText;
    QTimer* FTimer;
    QPropertyAnimation* FFade;
};
