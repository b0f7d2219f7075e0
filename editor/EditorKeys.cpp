#include "editor/EditorKeys.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QStringList>
#include <QToolTip>
#include <QWidget>

namespace {

constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Shift = Qt::ShiftModifier;
using enum TKeyAction;

// clang-format off
const TKeyBinding Bindings[] = {
    // key                            action          text   shown on
    {Qt::Key_Space,                   PlayStop,       true,  "BtnPlayStart"},
    {Qt::Key_Space,                   PlayStop,       true,  "BtnStop"},
    {Ctrl | Qt::Key_O,                Open,           false, "BtnOpenMp3"},
    {Ctrl | Qt::Key_S,                Save,           false, "BtnSaveMp3"},
    {Qt::Key_BracketLeft,             StartHere,      true,  "BtnSetStart"},
    {Qt::Key_I,                       StartHere,      true,  "BtnSetStart"},
    {Qt::Key_BracketRight,            EndHere,        true,  "BtnSetEnd"},
    {Qt::Key_O,                       EndHere,        true,  "BtnSetEnd"},
    {Qt::Key_Left,                    FrameBack,      true,  nullptr},
    {Qt::Key_Right,                   FrameOn,        true,  nullptr},
    {Shift | Qt::Key_Left,            SecondBack,     true,  nullptr},
    {Shift | Qt::Key_Right,           SecondOn,       true,  nullptr},
    {Ctrl | Qt::Key_Left,             TenSecondsBack, true,  nullptr},
    {Ctrl | Qt::Key_Right,            TenSecondsOn,   true,  nullptr},
    {Qt::Key_Home,                    GoToStart,      true,  "ImageStart"},
    {Qt::Key_End,                     GoToEnd,        true,  "ImageEnd"},
    {Qt::Key_F1,                      Guide,          false, "BtnAbout"},
    {Qt::Key_Return,                  PressFocused,   true,  nullptr},
    {Qt::Key_Enter,                   PressFocused,   true,  nullptr},
};
// clang-format on

}  // namespace

std::span<const TKeyBinding> KeyBindings() { return Bindings; }

TEditorKeys::TEditorKeys(QWidget& Window, const std::vector<QWidget*>& Fields,
                         const std::function<void(TKeyAction)>& Handler, QObject* Parent)
    : QObject(Parent) {
    // The Space row is there twice, for the two buttons that show it.
    QList<QKeyCombination> Made;
    for (const TKeyBinding& Binding : Bindings) {
        if (Made.contains(Binding.Key)) continue;
        Made << Binding.Key;
        auto* Shortcut = new QShortcut(QKeySequence(Binding.Key), &Window);
        Shortcut->setContext(Qt::WindowShortcut);
        FShortcuts.push_back(Shortcut);
        connect(Shortcut, &QShortcut::activated, this, [Handler, Action = Binding.Action] { Handler(Action); });
    }
    for (QWidget* Field : Fields) {
        Field->installEventFilter(this);
        FFields.insert(Field);
    }
    for (const TKeyBinding& Binding : Bindings)
        if (Binding.ShownOn)
            if (auto* Control = Window.findChild<QWidget*>(QLatin1String(Binding.ShownOn)))
                Control->installEventFilter(this);
}

TEditorKeys::~TEditorKeys() {
    for (const QPointer<QShortcut>& Shortcut : FShortcuts) delete Shortcut.data();
}

QString TEditorKeys::ToolTip(const QWidget* Control) const {
    QStringList Keys;
    for (const TKeyBinding& Binding : Bindings)
        if (Binding.ShownOn && Control->objectName() == QLatin1String(Binding.ShownOn))
            Keys << QKeySequence(Binding.Key).toString(QKeySequence::NativeText);
    QString Tip = Control->toolTip();
    if (!Keys.isEmpty())
        Tip = Tip.isEmpty() ? Keys.join(QStringLiteral(", "))
                            : Tip + QStringLiteral(" (") + Keys.join(QStringLiteral(", ")) + QLatin1Char(')');
    const QString Note = FNotes.value(Control);
    if (!Note.isEmpty()) Tip += (Tip.isEmpty() ? QString() : QStringLiteral("\n")) + Note;
    return Tip;
}

bool TEditorKeys::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::ShortcutOverride && FFields.contains(Watched)) {
        // Offered to the field first: a key that means text there is the field's.
        const auto* Press = static_cast<QKeyEvent*>(Event);
        const QKeyCombination Key(Press->modifiers() & ~Qt::KeypadModifier, Qt::Key(Press->key()));
        for (const TKeyBinding& Binding : Bindings)
            if (Binding.MeansText && Binding.Key == Key) {
                Event->accept();
                return true;
            }
    } else if (Event->type() == QEvent::ToolTip) {
        // The hint itself stays as the texts set it; the keys are only shown.
        auto* Control = static_cast<QWidget*>(Watched);
        const QString Tip = ToolTip(Control);
        if (Tip.isEmpty()) return false;
        QToolTip::showText(static_cast<QHelpEvent*>(Event)->globalPos(), Tip, Control);
        return true;
    }
    return QObject::eventFilter(Watched, Event);
}
