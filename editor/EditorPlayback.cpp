// The playback controls: playing from the position, the start mark or the end
// mark, following the player with the position bar, stopping, and taking the
// position as a mark.
#include "editor/UnitMP3Editor.h"

#include <string>

#include "engine/MediaPlayer.h"

void TFrmMP3Editor::BtnPlayStartClick(QObject*) { PM_PlayClick(PM_Play); }

void TFrmMP3Editor::PM_PlayClick(QObject* Sender) {
    switch (TagOf(Sender)) {
    case 0: PlayFromCurrent(); break;
    case 1: PlayFromStart(); break;
    case 2: PlayFromEnd(); break;
    default: break;
    }
}

void TFrmMP3Editor::PlayFromCurrent() { PlayFrom(TrackBarPos->Position(), false); }

void TFrmMP3Editor::PlayFromStart() { PlayFrom(StartTime, true); }

void TFrmMP3Editor::PlayFromEnd() { PlayFrom(EndTime, true); }

// Playback always runs to the end of the file, past the end mark. A device
// error leaves PlayRange before any control has been switched, so the window
// stays idle behind the error report.
void TFrmMP3Editor::PlayFrom(int64_t From, bool MoveBar, int64_t To) {
    if (From >= Mp3Engine->DataInfo.LengthMs) return;
    bool Playing = false;
    try {
        Playing = Mp3Engine->PlayRange(From, To < 0 ? TrackBarPos->Max() : To);
    } catch (const EMediaPlayerError& E) {
        // The player's reason is technical and in English: the box leads with the edition's own words.
        throw EMediaPlayerError((PlayErrorText + QStringLiteral("\r\n")).toStdString() + E.what());
    }
    if (!Playing) return;
    ShowState(TEditorState::Playing);
    if (MoveBar) TrackBarPos->SetPosition(static_cast<int32_t>(From));
}

// The bar keeps the last position a tick showed, so playing from the current
// position afterwards resumes about there.
void TFrmMP3Editor::BtnStopClick(QObject*) {
    Mp3Engine->StopPlay();
    ShowState(TEditorState::Idle);
}

void TFrmMP3Editor::TimerPosTimer(QObject*) {
    if (Mp3Engine->IsStopped()) ShowState(TEditorState::Idle);
    const int64_t P = Mp3Engine->GetPlayPosition();
    if (P >= 0) TrackBarPos->SetPosition(static_cast<int32_t>(P));
}

// Written as the user would type it, so that the edit's change handler keeps
// the mark in its bounds and moves the marker.
void TFrmMP3Editor::BtnSetStartClick(QObject*) { RzMaskEdit1->SetText(Label1->text()); }

void TFrmMP3Editor::BtnSetEndClick(QObject*) { RzMaskEdit2->SetText(Label1->text()); }
