// Opening a file (chosen in the dialog, named on the command line or dropped
// on the window) and showing what it holds, and saving the piece between the
// marks as a new file.
#include "editor/UnitMP3Editor.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <string>

#include "editor/CuttingAids.h"
#include "editor/EditorCommon.h"
#include "engine/InfoText.h"
#include "engine/TagRecord.h"
#include "platform/LocaleServices.h"

namespace {

QString Text(const std::string& Utf8) { return QString::fromStdString(Utf8); }

// A tag field as text: its bytes up to the first zero byte in the system's
// ANSI code page.
QString TagText(const char* Field, size_t Width) { return Text(TagFieldUtf8(Field, Width, SystemAnsiCodePage())); }

}  // namespace

// ------------------------------------------------------------------ opening a file

void TFrmMP3Editor::BtnOpenMp3Click(QObject*) {
    if (!Execute(OpenDialog1)) return;
    OpenMp3File(OpenDialog1->FileName);
}

void TFrmMP3Editor::OpenMp3File(const QString& FileName) {
    // A new file is never analysed under a running playback: the old one would
    // play on behind controls cleared for the new file, or end unnoticed and
    // leave the stop button and the timer waiting. Stopped here, the window is
    // idle whatever the analysis then finds.
    Mp3Engine->StopPlay();
    TimerPos->SetEnabled(false);

    const TBusyPanel Busy(*this, Ms_Opening);
    // Whatever happens from here on, the marks span the bar.
    struct TSpanMarks {
        TFrmMP3Editor* Self;
        ~TSpanMarks() {
            Self->StartTime = 0;
            Self->EndTime = Self->TrackBarPos->Max();
        }
    } SpanMarks{this};

    Label12->SetCaption(FileName);
    CuttingAids->FileChosen(FileName);

    TrackBarPos->SetPosition(0);
    RzCheckBox1->setChecked(false);
    ShowState(TEditorState::NoFile);
    for (TEdit* Edit : {RzEdit1, RzEdit2, RzEdit3, RzEdit5, RzEdit6, RzEdit7}) Edit->clear();
    RzComboBox1->setCurrentIndex(-1);
    for (TLabel* Label : {Label18, Label19, Label20, Label21, Label22, Label24}) Label->SetCaption(QString());
    SetEditText(RzMaskEdit1, ZeroTimeCode);
    SetEditText(RzMaskEdit2, ZeroTimeCode);
    Label1->SetCaption(ZeroTimeCode);
    ResetMarks(false);

    Mp3Engine->AnalyseFile(FileName.toStdString());
    const TMp3DataInfo& Info = Mp3Engine->DataInfo;

    // A file without a single whole frame has no length: nothing in it could
    // be played, marked or cut, so it is refused like a file that is no MP3.
    if (!Info.Valid || Info.LengthMs <= 0) {
        ImageFileState2->show();
        ImageFileState1->hide();
        ShowMessage(FileName + QStringLiteral("\r\n") + Ms_NotMP3, Ms_Info, TMsgIcon::Information);
        return;
    }

    ShowState(TEditorState::Idle);
    TrackBarPos->SetMax(static_cast<int>(std::min<int64_t>(Info.LengthMs, std::numeric_limits<int>::max())));
    Label1->SetCaption(ZeroTimeCode);

    RzCheckBox1->setChecked(Info.Id3v1Size > 0);
    if (RzCheckBox1->isChecked()) {
        const TId3v1Tag& Tag = Info.Id3Tag;
        RzEdit1->setText(TagText(Tag.Title, sizeof Tag.Title));
        RzEdit2->setText(TagText(Tag.Artist, sizeof Tag.Artist));
        RzEdit3->setText(TagText(Tag.Album, sizeof Tag.Album));
        if (Tag.Track > 0) RzEdit5->setText(QString::number(Tag.Track));
        RzEdit6->setText(TagText(Tag.Year, sizeof Tag.Year));
        RzEdit7->setText(TagText(Tag.Comment, sizeof Tag.Comment));
        RzComboBox1->setCurrentIndex(Tag.Genre < RzComboBox1->count() ? Tag.Genre : -1);
    }

    Label18->SetCaption(Text(EncodingText(Info.Version, Info.Layer, DecimalSeparator().toStdString())));
    Label19->SetCaption(Info.Mono ? Ms_Mono : Ms_Stereo);
    Label20->SetCaption(Text(SampleRateText(Info.SampleRate)));
    Label21->SetCaption(Text(BitRateText(Info.BitRate)));
    Label22->SetCaption(MsToTimeCode(Info.LengthMs));
    Label24->SetCaption(FormatFileSize(Info.FileSize));

    ImageFileState2->hide();
    ImageFileState1->show();
    ResetMarks(true);
    MarkToTime(1);
    CuttingAids->FileOpened();
}

void TFrmMP3Editor::OpenMp3FileLater(const QString& FileName) {
    // Queued: a drop returns to the program it came from at once instead of
    // waiting for the analysis and any message box, and a file named on the
    // command line opens in the window once it is shown. A window closed
    // in between has released its engine and opens nothing.
    QTimer::singleShot(0, this, [this, FileName] {
        if (!FClosed) RunHandler(FServices, [&] { OpenMp3File(FileName); });
    });
}

// ------------------------------------------------------------------ dropping a file

QString DroppedFile(const QMimeData* Data) {
    if (!Data || !Data->hasUrls()) return QString();
    // Any regular file: the analysis refuses what is no MP3, as it does for
    // a file the open dialog was made to show with another name.
    for (const QUrl& Url : Data->urls())
        if (Url.isLocalFile() && QFileInfo(Url.toLocalFile()).isFile()) return Url.toLocalFile();
    return QString();
}

void TFrmMP3Editor::AcceptDroppedFiles() {
    setAcceptDrops(true);
    // The edits take dropped text themselves; a dropped file is the window's.
    for (QLineEdit* Edit : findChildren<QLineEdit*>()) Edit->installEventFilter(this);
}

bool TFrmMP3Editor::TakeDrop(QEvent* Event) {
    switch (Event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* Drag = static_cast<QDragMoveEvent*>(Event);
        if (DroppedFile(Drag->mimeData()).isEmpty()) return false;
        Drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* Drop = static_cast<QDropEvent*>(Event);
        const QString FileName = DroppedFile(Drop->mimeData());
        if (FileName.isEmpty()) return false;
        Drop->acceptProposedAction();
        OpenMp3FileLater(FileName);
        return true;
    }
    default: return false;
    }
}

void TFrmMP3Editor::dragEnterEvent(QDragEnterEvent* Event) {
    if (!TakeDrop(Event)) Event->ignore();
}

void TFrmMP3Editor::dragMoveEvent(QDragMoveEvent* Event) {
    if (!TakeDrop(Event)) Event->ignore();
}

void TFrmMP3Editor::dropEvent(QDropEvent* Event) {
    if (!TakeDrop(Event)) Event->ignore();
}

bool TFrmMP3Editor::eventFilter(QObject* Watched, QEvent* Event) {
    if (qobject_cast<QLineEdit*>(Watched) && TakeDrop(Event)) return true;
    return QWidget::eventFilter(Watched, Event);
}

// ------------------------------------------------------------------ the pages

void TFrmMP3Editor::RzCheckBox1Click(QWidget*) {
    const bool Checked = RzCheckBox1->isChecked();
    for (QWidget* Input :
         std::initializer_list<QWidget*>{RzEdit1, RzEdit2, RzEdit3, RzEdit5, RzEdit6, RzEdit7, RzComboBox1})
        Input->setEnabled(Checked);
}

QString TFrmMP3Editor::FormatFileSize(int64_t Size) const {
    return Text(FileSizeText(Size, ThousandSeparator().toStdString()));
}

// ------------------------------------------------------------------ saving the segment

void TFrmMP3Editor::BtnSaveMp3Click(QObject*) {
    if (Sponsor->ShowIfDue(false)) return;
    if (!(StartTime < EndTime)) {
        ShowMessage(Ms_ClipErr, Ms_Info, TMsgIcon::Information);
        return;
    }
    // No name is offered: the dialog keeps the one chosen last time.
    if (!Execute(SaveDialog1)) return;
    const QString FileName = SaveDialog1->FileName;
    if (SameFileNameIgnoringCase(FileName.toStdString(), Mp3Engine->DataInfo.FileName)) {
        ShowMessage(Ms_NotSaveName + FileName, Ms_Info, TMsgIcon::Information);
        return;
    }

    bool Saved = false;
    int64_t ByteCount = 0, DurationMs = 0;
    {
        const TBusyPanel Busy(*this, Ms_Waiting);

        // The engine reads the source while nothing else holds it.
        Mp3Engine->StopPlay();

        // All zero, "TAG" included, means no tag.
        TId3v1Tag Tag{};
        if (RzCheckBox1->isChecked()) {
            auto Utf8 = [](const TEdit* Edit) { return Edit->text().toStdString(); };
            TTagTexts Texts;
            Texts.Title = Utf8(RzEdit1);
            Texts.Artist = Utf8(RzEdit2);
            Texts.Album = Utf8(RzEdit3);
            Texts.Year = Utf8(RzEdit6);
            Texts.Track = Utf8(RzEdit5);
            Texts.Comment = Utf8(RzEdit7);
            Texts.GenreIndex = RzComboBox1->currentIndex();
            Tag = MakeTagRecordFromUtf8(Texts, SystemAnsiCodePage());
        }

        Saved = Mp3Engine->SaveSegment(static_cast<int32_t>(StartTime), static_cast<int32_t>(EndTime),
                                       FileName.toStdString(), Tag, ByteCount, DurationMs);
    }
    if (Saved) {
        CuttingAids->Saved(FileName, DurationMs);
    } else {
        // The box and its text are as ever; why the system refused goes into its details.
        FServices.ShowMessage(
            this, {Ms_NotSave, Ms_Error, TMsgIcon::Error, TMsgButtons::Ok, SaveFailureDetails(*Mp3Engine, FileName)});
    }
}
