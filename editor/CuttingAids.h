// The editor window's aids for cutting precisely, added beside what its own
// controls do: the keys of the key table, the shaded selection and its
// length, the loudness strip, listening to the selection and to its edges,
// the note after a save, and the information page and status line kept
// right when the language changes. The window makes one and tells it when a
// file is chosen and when it has been opened, when a save succeeds and when
// texts have been applied; the rest it learns by watching the window's
// controls, whose handlers it only calls as a user's click would.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

#include "editor/CutSelection.h"
#include "editor/EditorKeys.h"

class QLabel;
class TCutTexts;
class TFrmMP3Editor;
class TLoudnessStrip;
class TMaskEdit;
class TMenuItem;
class TSaveNote;
class TSelectionShade;
class TStripLevels;
class TVekMP3;

class TCuttingAids : public QObject {
    Q_OBJECT
public:
    explicit TCuttingAids(TFrmMP3Editor& Window);
    ~TCuttingAids() override;

    // ---- told by the window ----
    // A file has been chosen: what was shown of the last one goes.
    void FileChosen(const QString& FileName);
    // The chosen file has been opened and found valid.
    void FileOpened();
    void Saved(const QString& FileName, int64_t DurationMs);
    // The Chinese edition's texts, and a language file, have been applied.
    void ApplyChineseTexts();
    void LanguageApplied();

    // ---- what it adds to the window ----
    TMenuItem* PM_PlaySelection;
    TMenuItem* PM_PlayAfterStart;
    TMenuItem* PM_PlayBeforeEnd;
    QLabel* LabelSelection;
    TSelectionShade* Shade;
    TLoudnessStrip* Strip;
    TStripLevels* Levels;
    TSaveNote* Note;
    TCutTexts* Texts;
    TEditorKeys* Keys;

    const TCutSelection& Selection() const { return FModel; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Place();
    void Connect();
    void KeyPressed(TKeyAction Action);
    // The marks as the window holds them now, shown.
    void MarksChanged();
    void ShowViews(bool Shown);
    void ShowSelection();
    void ShowShade();
    void Nudge(int Steps, TNudgeStep Step);
    void MarkHere(TMarkSide Side);
    void GoTo(TMarkSide Side);
    void PressFocused();
    void Play(const TPlayStretch& Stretch);
    TMaskEdit* EditOf(TMarkSide Side) const;
    bool Playing() const;

    TFrmMP3Editor& W;
    TCutSelection FModel;
    QString FChosenName;
};

// The system's reason why the last save of Engine to Target failed, as the
// details of the failure's box: the file and what the system said about it.
// Empty when no reason is known.
QString SaveFailureDetails(const TVekMP3& Engine, const QString& Target);
