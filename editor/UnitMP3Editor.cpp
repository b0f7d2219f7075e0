// The window's life (creation, showing, closing), its states, and the
// services it goes through.
#include "editor/UnitMP3Editor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHideEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QShowEvent>

#include <initializer_list>
#include <utility>

#include "editor/CuttingAids.h"
#include "editor/EditorCommon.h"
#include "editor/ProgramFiles.h"
#include "platform/IniFile.h"
#include "widgets/WindowMove.h"

QString AppPath;
QString DataPath;
uint8_t LangIndex = 0;
bool ChineseEdition = false;
TFrmMP3Editor* FrmMP3Editor = nullptr;

QString DataFile(const QString& RelativeName) { return DataPath + RelativeName; }

TFrmMP3Editor::TFrmMP3Editor(TWindowServices Services, QWidget* Parent)
    : QWidget(Parent), FServices(std::move(Services)) {
    setObjectName(QStringLiteral("FrmMP3Editor"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Segmora"));
    setFixedSize(592, 452);
    setFont(PixelFont(QStringLiteral("Tahoma"), 11));
    CreateControls();
    ConnectHandlers();
    AcceptDroppedFiles();
    CuttingAids = std::make_unique<TCuttingAids>(*this);
    RunHandler(FServices, [this] { FormCreate(this); });
}

TFrmMP3Editor::~TFrmMP3Editor() {
    if (FrmMP3Editor == this) FrmMP3Editor = nullptr;
}

void TFrmMP3Editor::ConnectClick(QAbstractButton* Button, void (TFrmMP3Editor::*Handler)(QObject*)) {
    connect(Button, &QAbstractButton::clicked, this,
            [this, Button, Handler] { RunHandler(FServices, [&] { (this->*Handler)(Button); }); });
}

void TFrmMP3Editor::ConnectHandlers() {
    ConnectClick(BtnOpenMp3, &TFrmMP3Editor::BtnOpenMp3Click);
    ConnectClick(BtnSaveMp3, &TFrmMP3Editor::BtnSaveMp3Click);
    ConnectClick(BtnSp, &TFrmMP3Editor::BtnSpClick);
    ConnectClick(BtnPlayStart, &TFrmMP3Editor::BtnPlayStartClick);
    ConnectClick(BtnStop, &TFrmMP3Editor::BtnStopClick);
    ConnectClick(BtnSetStart, &TFrmMP3Editor::BtnSetStartClick);
    ConnectClick(BtnSetEnd, &TFrmMP3Editor::BtnSetEndClick);
    ConnectClick(RzBmpButton1, &TFrmMP3Editor::RzBmpButton1Click);
    ConnectClick(RzBmpButton2, &TFrmMP3Editor::RzBmpButton2Click);
    ConnectClick(BtnAbout, &TFrmMP3Editor::BtnAboutClick);
    connect(Label10, &TLabel::MouseDown, this, Guard(this, &TFrmMP3Editor::Label10MouseDown));
    connect(Label28, &TLabel::Click, this, Guard(this, &TFrmMP3Editor::Label28Click));
    for (TMenuItem* Item : {PM_English, PM_Spanish, PM_German, PM_Italian, PM_French})
        connect(Item, &TMenuItem::Click, this, Guard(this, &TFrmMP3Editor::PM_EnglishClick));
    connect(RzCheckBox1, &TCheckBox::Click, this, Guard(this, &TFrmMP3Editor::RzCheckBox1Click));
    for (TMaskEdit* Edit : {RzMaskEdit1, RzMaskEdit2})
        connect(Edit, &TMaskEdit::Change, this, Guard(this, &TFrmMP3Editor::RzMaskEdit1Change));
    connect(ImageStart, &TImage::MouseDown, this, Guard(this, &TFrmMP3Editor::ImageStartMouseDown));
    connect(ImageStart, &TImage::MouseMove, this, Guard(this, &TFrmMP3Editor::ImageStartMouseMove));
    connect(ImageStart, &TImage::MouseUp, this, Guard(this, &TFrmMP3Editor::ImageStartMouseUp));
    connect(ImageEnd, &TImage::MouseDown, this, Guard(this, &TFrmMP3Editor::ImageEndMouseDown));
    connect(ImageEnd, &TImage::MouseMove, this, Guard(this, &TFrmMP3Editor::ImageEndMouseMove));
    connect(ImageEnd, &TImage::MouseUp, this, Guard(this, &TFrmMP3Editor::ImageEndMouseUp));
    connect(TrackBarPos, &TTrackBar::Change, this, Guard(this, &TFrmMP3Editor::TrackBarPosChange));
    for (TMenuItem* Item : {PM_Play, PM_FromStart, PM_FromEnd})
        connect(Item, &TMenuItem::Click, this, Guard(this, &TFrmMP3Editor::PM_PlayClick));
    connect(TimerPos, &QTimer::timeout, this, [this] { RunHandler(FServices, [this] { TimerPosTimer(TimerPos); }); });
}

// ------------------------------------------------------------------ life

QString TFrmMP3Editor::GetAppPath() const {
    const QString Program = QCoreApplication::applicationFilePath();
    QString Folder = Program.left(Program.lastIndexOf(QLatin1Char('/')) + 1);
    if (!Folder.endsWith(QLatin1Char('/'))) Folder += QLatin1Char('/');
    return Folder;
}

QString TFrmMP3Editor::SettingsFileName() const { return FSettingsFile; }

void TFrmMP3Editor::FormCreate(QObject*) {
    AppPath = GetAppPath();
    DataPath = ReadOnlyFolder(AppPath);
    // Decided once, so that the window and the sponsor counter share one
    // file even when the first close creates it.
    FSettingsFile = SettingsFileFor(AppPath);

    const TIniFile Settings(SettingsFileName().toStdString());
    const int32_t Stored = Settings.ReadInteger("LANGUAGE", "Default", 7);
    LangIndex = static_cast<uint8_t>(Stored < 0 ? 0 : Stored > 7 ? 7 : Stored);

    // The build chooses the edition (SEGMORA_EDITION); nothing changes it afterwards.
    ChineseEdition = SEGMORA_CHINESE_EDITION;
    if (ChineseEdition) {
        ApplyChineseTexts();
    } else {
        if (LangIndex == 7) LangIndex = DetectSystemLanguage();
        SelectLanguage(LangIndex);
    }

    ApplyRoundRegion();
    FormShadow = std::make_unique<TFormShadow>();
    FormShadow->SetOwnerForm(this);
    FormShadow->SetShadowColor(ShadowColour);

    Mp3Engine = std::make_unique<TVekMP3>(std::string(), FServices.MakeMediaPlayer());

    for (const char* Genre : Id3Genres) RzComboBox1->addItem(QString::fromLatin1(Genre));
    RzComboBox1->setCurrentIndex(-1);

    ResetMarks(false);

    Sponsor = std::make_unique<TvekSponsor>(SettingsFileName().toStdString(), FServices);
}

void TFrmMP3Editor::ApplyRoundRegion() {
    const QRect Bounds = FS->geometry();
    // Corners of 9 x 9 pixel ellipses from (left + 1, top + 1) to
    // (right, bottom), the right and bottom edges themselves left out.
    const QRectF Area(Bounds.left() + 1, Bounds.top() + 1, Bounds.right() + 1 - (Bounds.left() + 1),
                      Bounds.bottom() + 1 - (Bounds.top() + 1));
    QPainterPath Path;
    Path.addRoundedRect(Area, 4.5, 4.5);
    setMask(QRegion(Path.toFillPolygon().toPolygon()));
    update();
}

void TFrmMP3Editor::WMShowWindow(bool Show) {
    if (FormShadow) FormShadow->SetShown(Show);
}

// The closing message never refuses the close.
void TFrmMP3Editor::FormCloseQuery(QObject*, bool&) {
    if (Sponsor) Sponsor->ShowClosingMessage();
}

void TFrmMP3Editor::FormClose(QObject*, TCloseAction&) {
    // A tick after this would ask a released engine for its position.
    TimerPos->SetEnabled(false);
    Mp3Engine.reset();
    FormShadow.reset();
    Sponsor.reset();
    // The user's configuration folder may not exist yet; a failure to make
    // it is reported by the write, which names the file.
    QDir().mkpath(QFileInfo(SettingsFileName()).absolutePath());
    TIniFile Settings(SettingsFileName().toStdString());
    Settings.WriteInteger("LANGUAGE", "Default", LangIndex);
}

void TFrmMP3Editor::showEvent(QShowEvent* Event) {
    if (!FPlaced && !Event->spontaneous()) {
        FPlaced = true;
        if (const QScreen* Screen = screen()) move(CentredInside(Screen->availableGeometry(), size()));
    }
    RunHandler(FServices, [this] { WMShowWindow(true); });
    QWidget::showEvent(Event);
}

void TFrmMP3Editor::hideEvent(QHideEvent* Event) {
    RunHandler(FServices, [this] { WMShowWindow(false); });
    QWidget::hideEvent(Event);
}

void TFrmMP3Editor::closeEvent(QCloseEvent* Event) {
    if (FClosed) {
        Event->accept();
        return;
    }
    bool CanClose = true;
    RunHandler(FServices, [&] { FormCloseQuery(this, CanClose); });
    if (!CanClose) {
        Event->ignore();
        return;
    }
    FClosed = true;
    TCloseAction Action = TCloseAction::caHide;
    RunHandler(FServices, [&] { FormClose(this, Action); });
    Event->accept();
}

// ------------------------------------------------------------------ states

void TFrmMP3Editor::ShowState(TEditorState State) {
    struct TSwitch {
        QWidget* Control;
        bool NoFile, Idle, Playing;
    };
    // clang-format off
    const TSwitch Switches[] = {
        //               no file  idle   playing
        {TrackBarPos,    false,   true,  false},
        {BtnSetStart,    false,   true,  false},
        {BtnSetEnd,      false,   true,  false},
        {BtnPlayStart,   false,   true,  false},
        {BtnPlay2,       false,   true,  false},
        {BtnStop,        false,   false, true},
        {BtnSaveMp3,     false,   true,  false},
        // "Include" stays usable while a file plays, as the marks do.
        {RzCheckBox1,    false,   true,  true},
    };
    // clang-format on
    for (const TSwitch& Switch : Switches)
        Switch.Control->setEnabled(State == TEditorState::NoFile ? Switch.NoFile
                                   : State == TEditorState::Idle ? Switch.Idle
                                                                 : Switch.Playing);
    TimerPos->SetEnabled(State == TEditorState::Playing);
}

TFrmMP3Editor::TBusyPanel::TBusyPanel(TFrmMP3Editor& Window, const QString& Text) : FPanel(Window.PanelState) {
    Window.Label25->SetCaption(Text);
    FPanel->show();
    FPanel->raise();
    QCoreApplication::processEvents();
}

TFrmMP3Editor::TBusyPanel::~TBusyPanel() { FPanel->hide(); }

// ------------------------------------------------------------------ services

bool TFrmMP3Editor::Execute(TFileDialog* Dialog) { return FServices.ExecuteDialog(this, *Dialog); }

void TFrmMP3Editor::ShowMessage(const QString& Text, const QString& Caption, TMsgIcon Icon) {
    MessageBox(FServices, this, Text, Caption, Icon);
}

// ------------------------------------------------------------------ sponsor

void TFrmMP3Editor::BtnSpClick(QObject*) { Sponsor->ShowIfDue(true); }
