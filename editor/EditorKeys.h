// The window's keys, in one table: which key does what, whether it is a
// key that means text in a time or tag field (and so stays the field's while
// one has the focus), and which control's tooltip names it.
#pragma once

#include <QHash>
#include <QKeyCombination>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QShortcut>
#include <QString>

#include <functional>
#include <span>
#include <vector>

class QEvent;
class QWidget;

enum class TKeyAction {
    PlayStop,
    Open,
    Save,
    StartHere,  // the start mark at the play position
    EndHere,
    FrameBack,  // the mark last touched, one frame back
    FrameOn,
    SecondBack,
    SecondOn,
    TenSecondsBack,
    TenSecondsOn,
    GoToStart,
    GoToEnd,
    Guide,
    PressFocused,  // the button that has the focus
};

struct TKeyBinding {
    QKeyCombination Key;
    TKeyAction Action;
    bool MeansText;       // a field with the focus keeps it
    const char* ShownOn;  // the control whose tooltip names it; nullptr for none
};

std::span<const TKeyBinding> KeyBindings();

// Makes the table's keys work in Window, keeps text keys for Fields, and
// shows each control's keys after its hint in its tooltip.
class TEditorKeys : public QObject {
    Q_OBJECT
public:
    TEditorKeys(QWidget& Window, const std::vector<QWidget*>& Fields, const std::function<void(TKeyAction)>& Handler,
                QObject* Parent = nullptr);
    // Takes its keys out of the window.
    ~TEditorKeys() override;

    // A line shown below the hint and keys in Control's tooltip.
    void SetNote(const QWidget* Control, const QString& Note) { FNotes[Control] = Note; }
    // What Control's tooltip shows.
    QString ToolTip(const QWidget* Control) const;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    std::vector<QPointer<QShortcut>> FShortcuts;  // children of the window
    QHash<const QWidget*, QString> FNotes;
    QSet<const QObject*> FFields;
};
