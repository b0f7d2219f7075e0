// The editor window: the tool's one window, its state, its controls and
// their handlers. The unit's implementation is split by concern:
//   UnitMP3Editor.cpp   life (creation, showing, closing), the window's states
//   EditorLayout.cpp    the controls with their design-time places and texts
//   EditorTexts.cpp     the built-in texts of the Chinese edition
//   EditorLanguage.cpp  the language files of the international edition, the language menu
//   EditorChrome.cpp    the title band, the close and minimise buttons, the guide page
//   EditorFiles.cpp     opening a file, the information pages, saving the segment
//   EditorMarks.cpp     time codes, the markers and the position bar
//   EditorPlayback.cpp  the playback controls
// The marker arithmetic itself is editor/MarkScale.h, free of the window.
// The aids for cutting precisely (keys, the shaded selection, the loudness
// strip, listening to the edges, the note after a save) are a collaborator
// of their own, editor/CuttingAids.h, which the window only tells of files
// opened, saves made and texts applied.
#pragma once

#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/VekMp3.h"
#include "shadow/ufrmShadowFrame.h"
#include "sponsor/vekSponsor.h"
#include "widgets/FormControls.h"
#include "widgets/FormServices.h"
#include "widgets/WindowServices.h"

class QAbstractButton;
class QMenu;
class TCuttingAids;
class QCloseEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QEvent;
class QMimeData;
class QShowEvent;
class QHideEvent;

// Drag state of one marker image.
struct TMarkDrag {
    bool Dragging = false;
    QPoint LastPoint;  // in the client coordinates of Origin
    int32_t MinLeft = 0;
    int32_t MaxLeft = 0;
    int32_t ZeroLeft = 0;  // Left that stands for 0 ms
    int32_t FullLeft = 0;  // Left that stands for the whole file
    int32_t CurLeft = 0;
    QWidget* Origin = nullptr;
};

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

class TFrmMP3Editor : public QWidget {
    Q_OBJECT
    // The window's own published properties, the bare keys of a language file.
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
    Q_PROPERTY(int Left READ x WRITE SetLeft)
    Q_PROPERTY(int Top READ y WRITE SetTop)
    Q_PROPERTY(int Width READ width WRITE setFixedWidth)
    Q_PROPERTY(int Height READ height WRITE setFixedHeight)
public:
    // Services: the player, boxes and dialogs the window uses.
    explicit TFrmMP3Editor(TWindowServices Services = DefaultWindowServices(), QWidget* Parent = nullptr);
    ~TFrmMP3Editor() override;

    const TWindowServices& Services() const { return FServices; }

    // ---- controls, by their designer names ----
    TImage* FS;
    TLabel* Label10;
    TLabel* Label11;
    TLabel* Label28;
    TBmpButton* RzBmpButton1;
    TBmpButton* RzBmpButton2;
    TLabel* Label12;
    TImage* ImageFileState1;
    TImage* ImageFileState2;
    TPanel* PanelState;
    TImage* Image1;
    TLabel* Label25;

    TBmpButton* BtnOpenMp3;
    TBmpButton* BtnSaveMp3;
    TBmpButton* BtnSp;
    TBmpButton* BtnAbout;

    TLabel* LabelStart;
    TLabel* LabelEnd;
    TMaskEdit* RzMaskEdit1;
    TMaskEdit* RzMaskEdit2;
    TGlyphButton* BtnSetStart;
    TGlyphButton* BtnSetEnd;
    TGlyphButton* BtnPlayStart;
    TMenuButton* BtnPlay2;
    TGlyphButton* BtnStop;
    TImage* ImageStart;
    TImage* ImageEnd;
    TLabel* Label1;
    TTrackBar* TrackBarPos;
    TTimer* TimerPos;
    QMenu* PopupMenu1;
    TMenuItem* PM_Play;
    TMenuItem* PM_FromStart;
    TMenuItem* PM_FromEnd;

    TPageControl* RzPageControl1;
    TTabSheet* TabSheet2;
    TLabel* Label23;
    TLabel* Label24;
    TLabel* Label13;
    TLabel* Label18;
    TLabel* Label14;
    TLabel* Label19;
    TLabel* Label15;
    TLabel* Label20;
    TLabel* Label16;
    TLabel* Label21;
    TLabel* Label17;
    TLabel* Label22;
    TTabSheet* TabSheet1;
    TCheckBox* RzCheckBox1;
    TLabel* Label3;
    TEdit* RzEdit1;
    TLabel* Label4;
    TEdit* RzEdit2;
    TLabel* Label5;
    TEdit* RzEdit3;
    TLabel* Label9;
    TComboBox* RzComboBox1;
    TLabel* Label8;
    TEdit* RzEdit5;
    TLabel* Label6;
    TEdit* RzEdit6;
    TLabel* Label7;
    TEdit* RzEdit7;

    TFileDialog* OpenDialog1;
    TFileDialog* SaveDialog1;
    // The 64 x 64 button faces of the Chinese edition.
    std::vector<QPixmap> ImageList1;
    QMenu* PopupMenuView;
    TMenuItem* PM_English;
    TMenuItem* PM_Spanish;
    TMenuItem* PM_German;
    TMenuItem* PM_Italian;
    TMenuItem* PM_French;

    // ---- state ----
    std::unique_ptr<TFormShadow> FormShadow;
    std::unique_ptr<TVekMP3> Mp3Engine;
    int64_t StartTime = 0;
    int64_t EndTime = 0;
    TMarkDrag StartMark;
    TMarkDrag EndMark;
    std::unique_ptr<TvekSponsor> Sponsor;
    QString Ms_Opening, Ms_Waiting, Ms_AppError, Ms_Error, Ms_Pos, Ms_Unknow, Ms_Mono, Ms_Stereo, Ms_Info, Ms_NotMP3,
        Ms_NotSaveName, Ms_NotSave, Ms_ClipErr;
    // The edition's words that lead a box with the player's own error text,
    // which is technical and in English. Not one of the thirteen messages: a
    // language file gives it as the key Ms_PlayErr of its Messages section.
    QString PlayErrorText;
    std::unique_ptr<TCuttingAids> CuttingAids;

    // ---- life ----
    void FormCreate(QObject* Sender);
    void WMShowWindow(bool Show);
    void FormCloseQuery(QObject* Sender, bool& CanClose);
    void FormClose(QObject* Sender, TCloseAction& Action);
    QString GetAppPath() const;
    // The settings file, which the window and the sponsor counter share:
    // a writable "Segmora.ini" beside the program (a portable copy), or the
    // one in the user's configuration folder (editor/ProgramFiles.h).
    QString SettingsFileName() const;
    void ApplyRoundRegion();

    // ---- texts ----
    void ApplyChineseTexts();
    void SelectLanguage(uint8_t Index);
    void LoadMessages(const QString& FileName);
    void ApplyLanguageFile(const QString& FileName);
    void Label28Click(QWidget* Sender);
    void PM_EnglishClick(QObject* Sender);

    // ---- opening a file ----
    void BtnOpenMp3Click(QObject* Sender);
    // What the open button does with the chosen file: stop the playback,
    // analyse the file and fill the pages. Raises what the analysis raises.
    void OpenMp3File(const QString& FileName);
    // OpenMp3File once the message loop comes to it, an exception shown as a
    // handler's would be: for a file named on the command line or dropped.
    void OpenMp3FileLater(const QString& FileName);
    void RzCheckBox1Click(QWidget* Sender);
    QString FormatFileSize(int64_t Size) const;

    // ---- saving the segment ----
    void BtnSaveMp3Click(QObject* Sender);

    // ---- sponsor ----
    void BtnSpClick(QObject* Sender);

    // ---- time codes ----
    QString MsToTimeCode(int64_t Ms) const;
    QString NormalizeTimeCode(const QString& Text) const;
    int64_t TimeCodeToMs(const QString& Text) const;
    void RzMaskEdit1Change(QWidget* Sender);

    // ---- markers and the position bar ----
    void ResetMarks(bool Enable);
    void MarkToTime(int Which);
    void TimeToMark(int Which, int64_t Ms);
    void ImageStartMouseDown(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void ImageStartMouseMove(QWidget* Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    void ImageStartMouseUp(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void ImageEndMouseDown(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void ImageEndMouseMove(QWidget* Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    void ImageEndMouseUp(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void TrackBarPosChange(QWidget* Sender);

    // ---- playback ----
    void BtnPlayStartClick(QObject* Sender);
    void PM_PlayClick(QObject* Sender);
    void PlayFromCurrent();
    void PlayFromStart();
    void PlayFromEnd();
    void BtnStopClick(QObject* Sender);
    void TimerPosTimer(QObject* Sender);
    void BtnSetStartClick(QObject* Sender);
    void BtnSetEndClick(QObject* Sender);

    // ---- window chrome ----
    void Label10MouseDown(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void RzBmpButton1Click(QObject* Sender);
    void RzBmpButton2Click(QObject* Sender);
    void BtnAboutClick(QObject* Sender);
    // The guide page of the edition.
    QString GuideAddress() const;

protected:
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dragMoveEvent(QDragMoveEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    friend class TCuttingAids;

    // What the window offers, as enabled controls: nothing that needs a
    // file; a file to play, mark and save; a file playing. The markers and
    // their edits follow ResetMarks instead, and stay usable while playing.
    enum class TEditorState { NoFile, Idle, Playing };
    void ShowState(TEditorState State);

    // The busy panel with Text over the window, painted at once, for as long
    // as the object lives (an error going on to the report included).
    class TBusyPanel {
    public:
        TBusyPanel(TFrmMP3Editor& Window, const QString& Text);
        ~TBusyPanel();
        TBusyPanel(const TBusyPanel&) = delete;
        TBusyPanel& operator=(const TBusyPanel&) = delete;

    private:
        TPanel* FPanel;
    };

    // ---- made once, in the constructor ----
    void CreateControls();
    void ConnectHandlers();
    void ConnectClick(QAbstractButton* Button, void (TFrmMP3Editor::*Handler)(QObject*));
    void AcceptDroppedFiles();
    // Answers a drag or drop event that carries a local file (accepting it,
    // and opening the file at the drop); false for any other event.
    bool TakeDrop(QEvent* Event);

    // ---- through the services ----
    bool Execute(TFileDialog* Dialog);
    void ShowMessage(const QString& Text, const QString& Caption, TMsgIcon Icon);

    void MarkMouseDown(TMarkDrag& Mark, QWidget* Sender, Qt::MouseButton Button, int X, int Y);
    void MarkMouseMove(TMarkDrag& Mark, TMarkDrag& Other, int Which, QWidget* Sender, int X, int Y);
    void MarkMouseUp(TMarkDrag& Mark, TMarkDrag& Other, int Which, QWidget* Sender, int X, int Y);
    void SetEditText(TMaskEdit* Edit, const QString& Text);
    // Plays From to To, or to the end of the file when To is negative.
    void PlayFrom(int64_t From, bool MoveBar, int64_t To = -1);

    void SetLeft(int Value) { move(BoundedCoordinate(Value), y()); }
    void SetTop(int Value) { move(x(), BoundedCoordinate(Value)); }

    TWindowServices FServices;
    QString FSettingsFile;
    bool FPlaced = false;
    bool FClosed = false;
};

// ---- unit variables ----
// Folder of the program file, ending in "/".
extern QString AppPath;
// Folder of the files the program only reads, ending in "/": AppPath in a
// build tree or a portable copy, the installed data folder otherwise.
extern QString DataPath;
// The language setting, 0 to 7, read at start and written back at close.
extern uint8_t LangIndex;
// The edition switch: the Chinese edition carries its texts built in.
extern bool ChineseEdition;
extern TFrmMP3Editor* FrmMP3Editor;

// ---- unit functions ----

// A file the program only reads, by its name relative to DataPath
// ("MarkStart.bmp", "Languages/German.isl"): the one place that says where
// these files are.
QString DataFile(const QString& RelativeName);

// Sets the published property PropName of Component from Value by the
// property's type: an integer from its decimal text (raising
// std::invalid_argument for a text that is no number), a string as it is, a
// string list cut at each "||"; properties of any other type, unknown
// properties and an absent Component are left alone.
void SetPropertyText(QObject* Component, const QString& PropName, const QString& Value);
// Clears List; then, when Separator occurs in Text, adds the text after its
// first occurrence and then the text before it; otherwise adds Text whole.
void SplitAtSeparator(const QString& Text, const QString& Separator, QStringList& List);
// Each "#13#10" as a carriage return and a line feed.
QString ExpandLineBreaks(const QString& Text);
// The English name of the language of the user's locale (LC_ALL, else
// LC_MESSAGES, else LANG); empty for the "C" locale and for a name that
// does not fit the 19 characters the platform's query leaves for it.
QString GetSystemLanguageName();
// The same for a locale name such as "de_DE.UTF-8".
QString LanguageNameOfLocale(const QString& LocaleName);
// The language index for the system's language (7 when it is not one the
// program knows).
uint8_t DetectSystemLanguage();
// The same for an English language name.
uint8_t LanguageIndexOfName(const QString& Name);
// The file a drag carries: the first of its addresses that names a local
// regular file; empty when there is none.
QString DroppedFile(const QMimeData* Data);
// Hands Address to the desktop to be opened; a ".htm" address the desktop
// cannot open is offered to its application chooser. Shows nothing.
void OpenWebPage(const TWindowServices& Services, const QString& Address);
