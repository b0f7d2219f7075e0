#include "editor/UnitMP3Editor.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHideEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <utility>

#include "engine/TagRecord.h"
#include "engine/TimeCode.h"
#include "platform/IniFile.h"
#include "platform/LocaleServices.h"
#include "player/Mpg123Player.h"

QString AppPath;
uint8_t LangIndex = 0;
bool ChineseEdition = false;
TFrmMP3Editor* FrmMP3Editor = nullptr;

namespace {

const QColor FrameColour(50, 152, 204);
const QColor StartColour(0, 128, 0);
const QColor EndColour(255, 0, 0);
const QString ZeroTimeCode = QStringLiteral("000:00:00.000");
const QString SettingsName = QStringLiteral("Segmora.ini");

TMediaPlayerMaker& PlayerMaker() {
    static TMediaPlayerMaker Maker;
    return Maker;
}

// The player the engine measures and plays through: the sound device,
// unless a silent one has been put in its place.
std::unique_ptr<TMediaPlayer> NewMediaPlayer() {
    if (PlayerMaker()) return PlayerMaker()();
    return CreateMediaPlayer();
}

// Rounds to the nearest integer, an exact half to the even neighbour.
int64_t RoundHalfEven(double X) {
    const double Floor = std::floor(X);
    const double Fraction = X - Floor;
    int64_t Result = static_cast<int64_t>(Floor);
    if (Fraction > 0.5 || (Fraction == 0.5 && (Result % 2 != 0))) ++Result;
    return Result;
}

QString ToQString(const std::string& Utf8) { return QString::fromStdString(Utf8); }

// A tag field as text: its bytes up to the first zero byte in the system's
// ANSI code page.
QString TagText(const char* Field, size_t Width) {
    return ToQString(AnsiToUtf8(TagFieldText(Field, Width), SystemAnsiCodePage()));
}

// The shortest decimal form of a version number with the user's separator.
QString VersionText(double Version) {
    char Buffer[32];
    const auto [End, Ec] = std::to_chars(Buffer, Buffer + sizeof Buffer, Version);
    QString Text = Ec == std::errc() ? QString::fromLatin1(Buffer, End - Buffer) : QString::number(Version);
    Text.replace(QLatin1Char('.'), DecimalSeparator());
    return Text;
}

// Drawn in place of a marker bitmap that is not beside the program, so the
// markers can still be seen and dragged.
QPixmap FallbackMarker(bool Start, bool Enabled) {
    QPixmap Picture(16, 16);
    Picture.fill(Qt::transparent);
    QPainter Painter(&Picture);
    Painter.setRenderHint(QPainter::Antialiasing);
    const QColor Colour = !Enabled ? QColor(160, 160, 160) : Start ? StartColour : EndColour;
    Painter.setPen(Colour.darker(130));
    Painter.setBrush(Colour);
    const QPointF Tip = Start ? QPointF(1.5, 15.5) : QPointF(14.5, 15.5);
    const QPointF Corner = Start ? QPointF(14.5, 1.5) : QPointF(1.5, 1.5);
    Painter.drawPolygon(QPolygonF({Tip, QPointF(Tip.x(), 1.5), Corner}));
    return Picture;
}

QPixmap Resource(const char* Path) { return QPixmap(QString::fromLatin1(Path)); }

TLabel* NewLabel(QWidget* Parent, const char* Name, int Left, int Top, const QString& Caption,
                 Qt::Alignment Align = Qt::AlignLeft) {
    auto* Label = new TLabel(Parent);
    Label->setObjectName(QLatin1String(Name));
    Label->setAlignment(Align | Qt::AlignTop);
    Label->setGeometry(Left, Top, 0, 13);
    Label->SetCaption(Caption);
    return Label;
}

// A caption label whose right edge stays at Right.
TLabel* NewCaption(QWidget* Parent, const char* Name, int Right, int Top, const QString& Caption) {
    auto* Label = new TLabel(Parent);
    Label->setObjectName(QLatin1String(Name));
    Label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label->setGeometry(0, Top, Right, 13);
    Label->SetCaption(Caption);
    return Label;
}

// A value label of the information page: opaque, empty at first.
TLabel* NewValue(QWidget* Parent, const char* Name, int Top) {
    TLabel* Label = NewLabel(Parent, Name, 116, Top, QString());
    Label->setAutoFillBackground(true);
    return Label;
}

TEdit* NewEdit(QWidget* Parent, const char* Name, int Left, int Top, int Width, int MaxLength) {
    auto* Edit = new TEdit(Parent);
    Edit->setObjectName(QLatin1String(Name));
    Edit->setGeometry(Left, Top, Width, 21);
    if (MaxLength > 0) Edit->setMaxLength(MaxLength);
    Edit->setStyleSheet(FrameStyle("QLineEdit", FrameColour));
    Edit->setEnabled(false);
    return Edit;
}

TBmpButton* NewBmpButton(QWidget* Parent, const char* Name, int Left, int Top, int Width, int Height) {
    auto* Button = new TBmpButton(Parent);
    Button->setObjectName(QLatin1String(Name));
    Button->setGeometry(Left, Top, Width, Height);
    Button->setFocusPolicy(Qt::NoFocus);
    return Button;
}

TGlyphButton* NewGlyphButton(QWidget* Parent, const char* Name, int Left, int Top, int Width, int Height,
                             const QString& Caption, const char* Glyph, const char* DisabledGlyph) {
    auto* Button = new TGlyphButton(Parent);
    Button->setObjectName(QLatin1String(Name));
    Button->setGeometry(Left, Top, Width, Height);
    Button->setText(Caption);
    Button->SetGlyphs(Resource(Glyph), Resource(DisabledGlyph));
    Button->setEnabled(false);
    return Button;
}

TMaskEdit* NewTimeEdit(QWidget* Parent, const char* Name, int Top, const QColor& Colour) {
    auto* Edit = new TMaskEdit(Parent);
    Edit->setObjectName(QLatin1String(Name));
    Edit->setGeometry(240, Top, 96, 21);
    Edit->SetEditMask(QStringLiteral("000:00:00.000;1;_"));
    Edit->setMaxLength(13);
    Edit->SetText(ZeroTimeCode);
    Edit->setStyleSheet(FrameStyle("QLineEdit", Colour, Colour));
    Edit->setEnabled(false);
    return Edit;
}

TImage* NewImage(QWidget* Parent, const char* Name, int Left, int Top, int Width, int Height) {
    auto* Image = new TImage(Parent);
    Image->setObjectName(QLatin1String(Name));
    Image->setGeometry(Left, Top, Width, Height);
    return Image;
}

}  // namespace

TMediaPlayerMaker SetMediaPlayerMaker(TMediaPlayerMaker Maker) {
    return std::exchange(PlayerMaker(), std::move(Maker));
}

TFrmMP3Editor::TFrmMP3Editor(QWidget* Parent) : QWidget(Parent) {
    setObjectName(QStringLiteral("FrmMP3Editor"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Segmora"));
    setFixedSize(592, 452);
    setFont(PixelFont(QStringLiteral("Tahoma"), 11));
    CreateControls();
    ConnectHandlers();
    RunHandler([this] { FormCreate(this); });
}

TFrmMP3Editor::~TFrmMP3Editor() {
    if (FrmMP3Editor == this) FrmMP3Editor = nullptr;
}

// The window's controls with their design-time places and settings, in the
// order they stack: the skin at the bottom, the title band above it, then
// everything that takes its own clicks.
void TFrmMP3Editor::CreateControls() {
    FS = NewImage(this, "FS", 1, 0, 592, 452);
    FS->SetPicture(Resource(":/skin/skin.png"));

    Label10 = NewLabel(this, "Label10", 0, 0, QString());
    Label10->AutoSize = false;
    Label10->setGeometry(0, 0, 592, 105);

    Label11 = NewLabel(this, "Label11", 12, 6, QStringLiteral("Segmora  version 1.0"));
    Label11->setFont(PixelFont(QStringLiteral("Tahoma"), 11, true));
    Label11->SetTextColour(Qt::white);

    Label28 = NewCaption(this, "Label28", 429 + 76, 8, QStringLiteral(">> Language"));
    Label28->setFont(PixelFont(QStringLiteral("Tahoma"), 11, true));
    Label28->SetTextColour(Qt::white);
    Label28->setCursor(Qt::PointingHandCursor);

    RzBmpButton1 = NewBmpButton(this, "RzBmpButton1", 540, 1, 40, 20);
    RzBmpButton1->Up = Resource(":/buttons/close_up.png");
    RzBmpButton1->Hot = Resource(":/buttons/close_hot.png");
    RzBmpButton1->setToolTip(QStringLiteral("Close"));
    RzBmpButton2 = NewBmpButton(this, "RzBmpButton2", 513, 1, 27, 20);
    RzBmpButton2->Up = Resource(":/buttons/minimize_up.png");
    RzBmpButton2->Hot = Resource(":/buttons/minimize_hot.png");
    RzBmpButton2->setToolTip(QStringLiteral("Minimize"));

    Label12 = NewLabel(this, "Label12", 30, 431, QString());
    Label12->SetTextColour(Qt::white);
    ImageFileState1 = NewImage(this, "ImageFileState1", 10, 430, 16, 16);
    ImageFileState1->SetPicture(Resource(":/icons/file_ok.png"));
    ImageFileState1->hide();
    ImageFileState2 = NewImage(this, "ImageFileState2", 10, 430, 16, 16);
    ImageFileState2->SetPicture(Resource(":/icons/file_none.png"));

    // Main buttons.
    BtnOpenMp3 = NewBmpButton(this, "BtnOpenMp3", 187, 34, 64, 64);
    BtnOpenMp3->Margin = 42;
    BtnOpenMp3->setFont(PixelFont(QStringLiteral("Arial"), 15, true));
    {
        QPalette P = BtnOpenMp3->palette();
        P.setColor(QPalette::ButtonText, QColor(0, 0, 128));
        BtnOpenMp3->setPalette(P);
    }
    BtnSaveMp3 = NewBmpButton(this, "BtnSaveMp3", 267, 34, 64, 64);
    BtnSaveMp3->setEnabled(false);
    BtnSp = NewBmpButton(this, "BtnSp", 435, 34, 64, 64);
    BtnSp->Up = Resource(":/buttons/sponsor_up.png");
    BtnSp->Hot = Resource(":/buttons/sponsor_hot.png");
    BtnAbout = NewBmpButton(this, "BtnAbout", 515, 34, 64, 64);
    ImageList1 = {Resource(":/buttons/open_up.png"),       Resource(":/buttons/open_hot.png"),
                  Resource(":/buttons/save_up.png"),       Resource(":/buttons/save_hot.png"),
                  Resource(":/buttons/save_disabled.png"), Resource(":/buttons/about_up.png"),
                  Resource(":/buttons/about_hot.png")};

    // Marks, position and playback.
    LabelStart = NewCaption(this, "LabelStart", 192 + 43, 120, QStringLiteral("Start tag"));
    LabelStart->SetTextColour(StartColour);
    LabelStart->setEnabled(false);
    LabelEnd = NewCaption(this, "LabelEnd", 198 + 37, 144, QStringLiteral("End tag"));
    LabelEnd->SetTextColour(EndColour);
    LabelEnd->setEnabled(false);
    RzMaskEdit1 = NewTimeEdit(this, "RzMaskEdit1", 116, StartColour);
    RzMaskEdit2 = NewTimeEdit(this, "RzMaskEdit2", 140, EndColour);
    BtnSetStart = NewGlyphButton(this, "BtnSetStart", 337, 115, 25, 23, QString(), ":/glyphs/set_start.png",
                                 ":/glyphs/set_start_disabled.png");
    BtnSetStart->setToolTip(QStringLiteral("Set current postion as start"));
    BtnSetEnd = NewGlyphButton(this, "BtnSetEnd", 337, 139, 25, 23, QString(), ":/glyphs/set_end.png",
                               ":/glyphs/set_end_disabled.png");
    BtnSetEnd->setToolTip(QStringLiteral("Set current postion as end"));
    BtnPlayStart = NewGlyphButton(this, "BtnPlayStart", 368, 114, 88, 48, QStringLiteral("&Play"), ":/glyphs/play.png",
                                  ":/glyphs/play_disabled.png");
    BtnPlay2 = new TMenuButton(this);
    BtnPlay2->setObjectName(QStringLiteral("BtnPlay2"));
    BtnPlay2->setGeometry(455, 114, 25, 48);
    BtnPlay2->setEnabled(false);
    BtnStop = NewGlyphButton(this, "BtnStop", 484, 114, 88, 48, QStringLiteral("&Stop"), ":/glyphs/stop.png",
                             ":/glyphs/stop_disabled.png");

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PM_Play = new TMenuItem(QStringLiteral("从当前位置播放"), 0, PopupMenu1);
    PM_Play->setObjectName(QStringLiteral("PM_Play"));
    PM_FromStart = new TMenuItem(QStringLiteral("从①开始播放"), 1, PopupMenu1);
    PM_FromStart->setObjectName(QStringLiteral("PM_FromStart"));
    PM_FromEnd = new TMenuItem(QStringLiteral("从②开始播放"), 2, PopupMenu1);
    PM_FromEnd->setObjectName(QStringLiteral("PM_FromEnd"));
    PopupMenu1->addActions({PM_Play, PM_FromStart, PM_FromEnd});
    BtnPlay2->SetDropDownMenu(PopupMenu1);

    ImageStart = NewImage(this, "ImageStart", 129, 173, 16, 16);
    ImageStart->Transparent = true;
    ImageStart->setCursor(Qt::PointingHandCursor);
    ImageStart->setToolTip(QStringLiteral("Drag to set start tag"));
    ImageStart->setEnabled(false);
    ImageEnd = NewImage(this, "ImageEnd", 560, 173, 16, 16);
    ImageEnd->Transparent = true;
    ImageEnd->setCursor(Qt::PointingHandCursor);
    ImageEnd->setToolTip(QStringLiteral("Drag to set end tag"));
    ImageEnd->setEnabled(false);

    Label1 = NewCaption(this, "Label1", 53 + 72, 193, ZeroTimeCode);
    TrackBarPos = new TTrackBar(this);
    TrackBarPos->setObjectName(QStringLiteral("TrackBarPos"));
    TrackBarPos->setGeometry(128, 189, 449, 20);
    TrackBarPos->setRange(0, 100);
    TrackBarPos->SetPosition(0);
    TrackBarPos->SetLook(FrameColour, Resource(":/trackbar/thumb.png"));
    TrackBarPos->setEnabled(false);
    TimerPos = new TTimer(this);
    TimerPos->setObjectName(QStringLiteral("TimerPos"));

    // Information pages.
    RzPageControl1 = new TPageControl(this);
    RzPageControl1->setObjectName(QStringLiteral("RzPageControl1"));
    RzPageControl1->setGeometry(21, 225, 553, 184);
    RzPageControl1->SetLook(FrameColour, 23);

    TabSheet2 = new TTabSheet(RzPageControl1, QStringLiteral("Standard"));
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    Label23 = NewCaption(TabSheet2, "Label23", 104, 16, QStringLiteral("File size:"));
    Label24 = NewValue(TabSheet2, "Label24", 16);
    Label13 = NewCaption(TabSheet2, "Label13", 104, 42, QStringLiteral("Encoding:"));
    Label18 = NewValue(TabSheet2, "Label18", 42);
    Label14 = NewCaption(TabSheet2, "Label14", 104, 70, QStringLiteral("Channel:"));
    Label19 = NewValue(TabSheet2, "Label19", 70);
    Label15 = NewCaption(TabSheet2, "Label15", 104, 98, QStringLiteral("SampleRate:"));
    Label20 = NewValue(TabSheet2, "Label20", 98);
    Label16 = NewCaption(TabSheet2, "Label16", 104, 126, QStringLiteral("Bitrate:"));
    Label21 = NewValue(TabSheet2, "Label21", 126);
    Label17 = NewCaption(TabSheet2, "Label17", 104, 154, QStringLiteral("Length:"));
    Label22 = NewValue(TabSheet2, "Label22", 154);

    TabSheet1 = new TTabSheet(RzPageControl1, QStringLiteral("ID3Tags V1"));
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    RzCheckBox1 = new TCheckBox(TabSheet1);
    RzCheckBox1->setObjectName(QStringLiteral("RzCheckBox1"));
    RzCheckBox1->setGeometry(104, 14, 105, 17);
    RzCheckBox1->setText(QStringLiteral("Include"));
    RzCheckBox1->setEnabled(false);
    Label3 = NewCaption(TabSheet1, "Label3", 100, 42, QStringLiteral("Title:"));
    RzEdit1 = NewEdit(TabSheet1, "RzEdit1", 104, 38, 369, 30);
    Label4 = NewCaption(TabSheet1, "Label4", 100, 70, QStringLiteral("Artist:"));
    RzEdit2 = NewEdit(TabSheet1, "RzEdit2", 104, 66, 369, 30);
    Label5 = NewCaption(TabSheet1, "Label5", 100, 98, QStringLiteral("Album:"));
    RzEdit3 = NewEdit(TabSheet1, "RzEdit3", 104, 94, 369, 0);
    Label9 = NewCaption(TabSheet1, "Label9", 100, 126, QStringLiteral("Genre:"));
    RzComboBox1 = new TComboBox(TabSheet1);
    RzComboBox1->setObjectName(QStringLiteral("RzComboBox1"));
    RzComboBox1->setGeometry(104, 122, 133, 21);
    RzComboBox1->setStyleSheet(FrameStyle("QComboBox", FrameColour));
    RzComboBox1->setEnabled(false);
    Label8 = NewCaption(TabSheet1, "Label8", 332, 126, QStringLiteral("TrackNumber:"));
    RzEdit5 = NewEdit(TabSheet1, "RzEdit5", 336, 122, 49, 3);
    Label6 = NewCaption(TabSheet1, "Label6", 428, 126, QStringLiteral("Year:"));
    RzEdit6 = NewEdit(TabSheet1, "RzEdit6", 432, 122, 41, 4);
    Label7 = NewCaption(TabSheet1, "Label7", 100, 154, QStringLiteral("Comment:"));
    RzEdit7 = NewEdit(TabSheet1, "RzEdit7", 104, 150, 369, 30);
    RzPageControl1->setCurrentWidget(TabSheet2);

    // The busy panel lies above everything else.
    PanelState = new TPanel(this);
    PanelState->setObjectName(QStringLiteral("PanelState"));
    PanelState->setGeometry(201, 201, 190, 50);
    Image1 = NewImage(PanelState, "Image1", 0, 0, 190, 50);
    Image1->Stretch = true;
    Image1->SetPicture(Resource(":/panel/busy.png"));
    if (Image1->Picture().isNull()) {
        PanelState->setAutoFillBackground(true);
        QPalette P = PanelState->palette();
        P.setColor(QPalette::Window, FrameColour);
        PanelState->setPalette(P);
    }
    Label25 = NewLabel(PanelState, "Label25", 32, 19, QStringLiteral("Opening......"));
    Label25->SetTextColour(Qt::white);
    PanelState->hide();

    OpenDialog1 = new TFileDialog(TFileDialog::TKind::Open, this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->Filter = QStringLiteral("MP3(*.mp3)|*.mp3");
    OpenDialog1->Title = QStringLiteral("Open MP3 file");
    SaveDialog1 = new TFileDialog(TFileDialog::TKind::Save, this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->Filter = QStringLiteral("MP3(*.mp3)|*.mp3");
    SaveDialog1->DefaultExt = QStringLiteral("mp3");
    SaveDialog1->OverwritePrompt = true;
    SaveDialog1->Title = QStringLiteral("Save Mp3 file");

    PopupMenuView = new QMenu(this);
    PopupMenuView->setObjectName(QStringLiteral("PopupMenuView"));
    auto* Languages = new QActionGroup(PopupMenuView);
    Languages->setExclusive(true);
    const std::pair<TMenuItem**, const char*> Items[] = {{&PM_English, "English"},
                                                         {&PM_Spanish, "Spanish"},
                                                         {&PM_German, "German"},
                                                         {&PM_Italian, "Italian"},
                                                         {&PM_French, "French"}};
    int ItemTag = 0;
    for (const auto& [Item, Caption] : Items) {
        *Item = new TMenuItem(QLatin1String(Caption), ItemTag++, PopupMenuView);
        (*Item)->setObjectName(QStringLiteral("PM_") + QLatin1String(Caption));
        (*Item)->setCheckable(true);
        Languages->addAction(*Item);
        PopupMenuView->addAction(*Item);
    }
    PM_English->setChecked(true);
}

void TFrmMP3Editor::ConnectHandlers() {
    connect(BtnOpenMp3, &QAbstractButton::clicked, this,
            [this] { RunHandler([this] { BtnOpenMp3Click(BtnOpenMp3); }); });
    connect(RzCheckBox1, &TCheckBox::Click, this, Guard(this, &TFrmMP3Editor::RzCheckBox1Click));
    connect(RzMaskEdit1, &TMaskEdit::Change, this, Guard(this, &TFrmMP3Editor::RzMaskEdit1Change));
    connect(RzMaskEdit2, &TMaskEdit::Change, this, Guard(this, &TFrmMP3Editor::RzMaskEdit1Change));
    connect(ImageStart, &TImage::MouseDown, this, Guard(this, &TFrmMP3Editor::ImageStartMouseDown));
    connect(ImageStart, &TImage::MouseMove, this, Guard(this, &TFrmMP3Editor::ImageStartMouseMove));
    connect(ImageStart, &TImage::MouseUp, this, Guard(this, &TFrmMP3Editor::ImageStartMouseUp));
    connect(ImageEnd, &TImage::MouseDown, this, Guard(this, &TFrmMP3Editor::ImageEndMouseDown));
    connect(ImageEnd, &TImage::MouseMove, this, Guard(this, &TFrmMP3Editor::ImageEndMouseMove));
    connect(ImageEnd, &TImage::MouseUp, this, Guard(this, &TFrmMP3Editor::ImageEndMouseUp));
    connect(TrackBarPos, &TTrackBar::Change, this, Guard(this, &TFrmMP3Editor::TrackBarPosChange));
    connect(BtnSaveMp3, &QAbstractButton::clicked, this,
            [this] { RunHandler([this] { BtnSaveMp3Click(BtnSaveMp3); }); });
    connect(BtnSp, &QAbstractButton::clicked, this, [this] { RunHandler([this] { BtnSpClick(BtnSp); }); });
    connect(BtnPlayStart, &QAbstractButton::clicked, this,
            [this] { RunHandler([this] { BtnPlayStartClick(BtnPlayStart); }); });
    for (TMenuItem* Item : {PM_Play, PM_FromStart, PM_FromEnd})
        connect(Item, &TMenuItem::Click, this, Guard(this, &TFrmMP3Editor::PM_PlayClick));
    connect(BtnStop, &QAbstractButton::clicked, this, [this] { RunHandler([this] { BtnStopClick(BtnStop); }); });
    connect(TimerPos, &QTimer::timeout, this, [this] { RunHandler([this] { TimerPosTimer(TimerPos); }); });
    connect(BtnSetStart, &QAbstractButton::clicked, this,
            [this] { RunHandler([this] { BtnSetStartClick(BtnSetStart); }); });
    connect(BtnSetEnd, &QAbstractButton::clicked, this, [this] { RunHandler([this] { BtnSetEndClick(BtnSetEnd); }); });
    connect(RzBmpButton1, &QAbstractButton::clicked, this,
            [this] { RunHandler([this] { RzBmpButton1Click(RzBmpButton1); }); });
    connect(RzBmpButton2, &QAbstractButton::clicked, this,
            [this] { RunHandler([this] { RzBmpButton2Click(RzBmpButton2); }); });
}

// ------------------------------------------------------------------ life

QString TFrmMP3Editor::GetAppPath() const {
    const QString Program = QCoreApplication::applicationFilePath();
    QString Folder = Program.left(Program.lastIndexOf(QLatin1Char('/')) + 1);
    if (!Folder.endsWith(QLatin1Char('/'))) Folder += QLatin1Char('/');
    return Folder;
}

void TFrmMP3Editor::FormCreate(QObject*) {
    AppPath = GetAppPath();

    const TIniFile Settings((AppPath + SettingsName).toStdString());
    const int32_t Stored = Settings.ReadInteger("LANGUAGE", "Default", 7);
    LangIndex = static_cast<uint8_t>(Stored < 0 ? 0 : Stored > 7 ? 7 : Stored);

    ChineseEdition = true;
    if (ChineseEdition) ApplyChineseTexts();

    ApplyRoundRegion();

    Mp3Engine = std::make_unique<TVekMP3>(std::string(), NewMediaPlayer());

    for (const char* Genre : Id3Genres) RzComboBox1->addItem(QString::fromLatin1(Genre));
    RzComboBox1->setCurrentIndex(-1);

    ResetMarks(false);

    Sponsor = std::make_unique<TvekSponsor>((AppPath + SettingsName).toStdString());
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

void TFrmMP3Editor::WMShowWindow([[maybe_unused]] bool Show) {}

// The closing message never refuses the close; it goes on once the message is dismissed.
void TFrmMP3Editor::FormCloseQuery(QObject*, [[maybe_unused]] bool& CanClose) {
    if (Sponsor) Sponsor->ShowClosingMessage();
}

void TFrmMP3Editor::FormClose(QObject*, TCloseAction&) {
    // A tick after this would ask a released engine for its position.
    TimerPos->SetEnabled(false);
    Mp3Engine.reset();
    Sponsor.reset();
    TIniFile Settings((AppPath + SettingsName).toStdString());
    Settings.WriteInteger("LANGUAGE", "Default", LangIndex);
}

void TFrmMP3Editor::showEvent(QShowEvent* Event) {
    if (!FPlaced && !Event->spontaneous()) {
        FPlaced = true;
        if (const QScreen* Screen = screen()) {
            const QRect Desktop = Screen->availableGeometry();
            move(Desktop.center() - QPoint(width() / 2, height() / 2));
        }
    }
    RunHandler([this] { WMShowWindow(true); });
    QWidget::showEvent(Event);
}

void TFrmMP3Editor::hideEvent(QHideEvent* Event) {
    RunHandler([this] { WMShowWindow(false); });
    QWidget::hideEvent(Event);
}

void TFrmMP3Editor::closeEvent(QCloseEvent* Event) {
    if (FClosed) {
        Event->accept();
        return;
    }
    bool CanClose = true;
    RunHandler([&] { FormCloseQuery(this, CanClose); });
    if (!CanClose) {
        Event->ignore();
        return;
    }
    FClosed = true;
    TCloseAction Action = TCloseAction::caHide;
    RunHandler([&] { FormClose(this, Action); });
    Event->accept();
}

// ------------------------------------------------------------------ texts

void TFrmMP3Editor::ApplyChineseTexts() {
    Label28->hide();

    Ms_Opening = QStringLiteral("正在打开......");
    Ms_Waiting = QStringLiteral("请稍等......");
    Ms_AppError = QStringLiteral("程序初始化错误！\n\r请使用官方发布的安装包进行安装。\n\r"
                                 "如果您是Win7系统，安装时请以管理员身份登录。");
    Ms_Error = QStringLiteral("错误");
    Ms_Pos = QStringLiteral("当前位置");
    Ms_Unknow = QStringLiteral("未知");
    Ms_Mono = QStringLiteral("单声道");
    Ms_Stereo = QStringLiteral("立体声");
    Ms_Info = QStringLiteral("信息");
    Ms_NotMP3 = QStringLiteral("不是MP3文件");
    Ms_NotSaveName = QStringLiteral("请使用其他文件名，不能保存为：\r\n");
    Ms_NotSave = QStringLiteral("不能保存MP3文件");
    Ms_ClipErr = QStringLiteral("结束点必须大于起始点");

    const QString SongTi = QStringLiteral("宋体");
    setFont(PointFont(SongTi, 9));
    Label11->setFont(PointFont(QStringLiteral("微软雅黑"), 10, Label11->font().bold()));
    LabelStart->setFont(PointFont(SongTi, 9));
    LabelEnd->setFont(PointFont(SongTi, 9));
    Label25->setFont(PointFont(SongTi, 9));

    SetApplicationTitle(QStringLiteral("Segmora"));
    Label11->SetCaption(QStringLiteral("Segmora 2.3.7.0"));

    RzBmpButton2->setToolTip(QStringLiteral("最小化"));
    RzBmpButton1->setToolTip(QStringLiteral("关闭"));
    BtnPlayStart->setText(QStringLiteral("播 放"));
    BtnStop->setText(QStringLiteral("停 止"));
    LabelStart->SetCaption(QStringLiteral("起始点"));
    LabelEnd->SetCaption(QStringLiteral("结束点"));
    Label1->SetCaption(ZeroTimeCode);
    Label25->SetCaption(Ms_Opening);
    TabSheet2->SetCaption(QStringLiteral("常规"));
    Label23->SetCaption(QStringLiteral("文件大小:"));
    Label13->SetCaption(QStringLiteral("编码:"));
    Label14->SetCaption(QStringLiteral("声道:"));
    Label15->SetCaption(QStringLiteral("频率:"));
    Label16->SetCaption(QStringLiteral("码率:"));
    Label17->SetCaption(QStringLiteral("播放时长:"));
    RzCheckBox1->setText(QStringLiteral("包含"));
    Label3->SetCaption(QStringLiteral("标题:"));
    Label4->SetCaption(QStringLiteral("艺术家:"));
    Label5->SetCaption(QStringLiteral("专辑:"));
    Label9->SetCaption(QStringLiteral("流派:"));
    Label8->SetCaption(QStringLiteral("音轨:"));
    Label6->SetCaption(QStringLiteral("年代:"));
    Label7->SetCaption(QStringLiteral("备注:"));
    ImageStart->setToolTip(QStringLiteral("用鼠标拖动设定起始点"));
    ImageEnd->setToolTip(QStringLiteral("用鼠标拖动设定结束点"));
    Label12->SetCaption(QStringLiteral("点击“打开”选择MP3文件，拖动①和②设定起止点，然后点击“保存”新MP3文件。"));
    BtnSetStart->setToolTip(QStringLiteral("当前位置设为起始点"));
    BtnSetEnd->setToolTip(QStringLiteral("当前位置设为结束点"));
    SaveDialog1->Title = QStringLiteral("保存mp3文件");
    OpenDialog1->Title = QStringLiteral("打开mp3文件");

    BtnOpenMp3->Up = ImageList1[0];
    BtnOpenMp3->Hot = ImageList1[1];
    BtnSaveMp3->Up = ImageList1[2];
    BtnSaveMp3->Hot = ImageList1[3];
    BtnSaveMp3->Disabled = ImageList1[4];
    BtnAbout->Up = ImageList1[5];
    BtnAbout->Hot = ImageList1[6];
    for (QWidget* Button : {BtnOpenMp3, BtnSaveMp3, BtnAbout}) Button->update();
}

// ------------------------------------------------------------------ opening a file

void TFrmMP3Editor::BtnOpenMp3Click(QObject*) {
    if (!OpenDialog1->Execute(this)) return;
    const QString FileName = OpenDialog1->FileName;

    // A new file is never analysed under a running playback: the old one would
    // play on behind controls cleared for the new file, or end unnoticed and
    // leave the stop button and the timer waiting. Stopped here, the window is
    // idle whatever the analysis then finds.
    Mp3Engine->StopPlay();
    TimerPos->SetEnabled(false);

    Label25->SetCaption(Ms_Opening);
    PanelState->show();
    PanelState->raise();
    QCoreApplication::processEvents();

    Label12->SetCaption(FileName);

    TrackBarPos->setEnabled(false);
    BtnSetStart->setEnabled(false);
    BtnSetEnd->setEnabled(false);
    TrackBarPos->SetPosition(0);
    RzCheckBox1->setChecked(false);
    RzCheckBox1->setEnabled(false);
    for (TEdit* Edit : {RzEdit1, RzEdit2, RzEdit3, RzEdit5, RzEdit6, RzEdit7}) Edit->clear();
    RzComboBox1->setCurrentIndex(-1);
    for (TLabel* Label : {Label18, Label19, Label20, Label21, Label22, Label24}) Label->SetCaption(QString());
    SetEditText(RzMaskEdit1, ZeroTimeCode);
    SetEditText(RzMaskEdit2, ZeroTimeCode);
    Label1->SetCaption(ZeroTimeCode);
    BtnPlayStart->setEnabled(false);
    BtnPlay2->setEnabled(false);
    BtnStop->setEnabled(false);
    ResetMarks(false);
    BtnSaveMp3->setEnabled(false);

    // Whatever happens from here on, the marks span the bar and the busy
    // panel goes away.
    struct TFinally {
        TFrmMP3Editor* Self;
        ~TFinally() {
            Self->StartTime = 0;
            Self->EndTime = Self->TrackBarPos->Max();
            Self->PanelState->hide();
        }
    } Finally{this};

    Mp3Engine->AnalyseFile(FileName.toStdString());
    const TMp3DataInfo& Info = Mp3Engine->DataInfo;

    // A file without a single whole frame has no length: nothing in it could
    // be played, marked or cut, so it is refused like a file that is no MP3.
    if (Info.Valid && Info.LengthMs > 0) {
        TrackBarPos->setEnabled(true);
        BtnSetStart->setEnabled(true);
        BtnSetEnd->setEnabled(true);
        TrackBarPos->SetMax(static_cast<int>(std::min<int64_t>(Info.LengthMs, std::numeric_limits<int>::max())));
        Label1->SetCaption(ZeroTimeCode);

        RzCheckBox1->setEnabled(true);
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

        Label18->SetCaption(QStringLiteral("MPEG ") + VersionText(Info.Version) + QStringLiteral(" Layer ") +
                            QString::number(Info.Layer));
        Label19->SetCaption(Info.Mono ? Ms_Mono : Ms_Stereo);
        Label20->SetCaption(QString::number(Info.SampleRate) + QStringLiteral(" Hz"));
        Label21->SetCaption(QString::number(Info.BitRate) + QStringLiteral(" Kbps"));
        Label22->SetCaption(MsToTimeCode(Info.LengthMs));
        Label24->SetCaption(FormatFileSize(Info.FileSize));

        BtnPlayStart->setEnabled(true);
        BtnPlay2->setEnabled(true);
        BtnStop->setEnabled(false);
        ImageFileState2->hide();
        ImageFileState1->show();
        BtnSaveMp3->setEnabled(true);
        ResetMarks(true);
        MarkToTime(1);
    } else {
        ImageFileState2->show();
        ImageFileState1->hide();
        MessageBox(this, FileName + QStringLiteral("\r\n") + Ms_NotMP3, Ms_Info, TMsgIcon::Information);
    }
}

void TFrmMP3Editor::RzCheckBox1Click(QWidget*) {
    const bool Checked = RzCheckBox1->isChecked();
    for (QWidget* Input :
         std::initializer_list<QWidget*>{RzEdit1, RzEdit2, RzEdit3, RzEdit5, RzEdit6, RzEdit7, RzComboBox1})
        Input->setEnabled(Checked);
}

QString TFrmMP3Editor::FormatFileSize(int64_t Size) const {
    if (Size < 1024) return QStringLiteral("1 KB");
    return FormatNumber0(static_cast<double>(Size) / 1024.0) + QStringLiteral(" KB");
}

// ------------------------------------------------------------------ saving the segment

void TFrmMP3Editor::BtnSaveMp3Click(QObject*) {
    // When the sponsor window comes instead, this click saves nothing.
    if (Sponsor->ShowIfDue(false)) return;
    if (!(StartTime < EndTime)) {
        MessageBox(this, Ms_ClipErr, Ms_Info, TMsgIcon::Information);
        return;
    }
    // No name is offered: the dialog keeps the one chosen last time.
    if (!SaveDialog1->Execute(this)) return;
    const QString FileName = SaveDialog1->FileName;
    if (SameFileNameIgnoringCase(FileName.toStdString(), Mp3Engine->DataInfo.FileName)) {
        MessageBox(this, Ms_NotSaveName + FileName, Ms_Info, TMsgIcon::Information);
        return;
    }

    Label25->SetCaption(Ms_Waiting);
    PanelState->show();
    PanelState->raise();
    QCoreApplication::processEvents();
    // An error while cutting goes on to the error report; the panel must not
    // stay over the window after it.
    struct THidePanel {
        TPanel* Panel;
        ~THidePanel() { Panel->hide(); }
    } HidePanel{PanelState};

    // The engine reads the source while nothing else holds it.
    Mp3Engine->StopPlay();

    // All zero, "TAG" included, means no tag.
    TId3v1Tag Tag{};
    if (RzCheckBox1->isChecked()) {
        const int CodePage = SystemAnsiCodePage();
        auto Ansi = [CodePage](const TEdit* Edit) { return Utf8ToAnsi(Edit->text().toStdString(), CodePage); };
        TTagTexts Texts;
        Texts.Title = Ansi(RzEdit1);
        Texts.Artist = Ansi(RzEdit2);
        Texts.Album = Ansi(RzEdit3);
        Texts.Year = Ansi(RzEdit6);
        Texts.Track = Ansi(RzEdit5);
        Texts.Comment = Ansi(RzEdit7);
        Texts.GenreIndex = RzComboBox1->currentIndex();
        Tag = MakeTagRecord(Texts, [CodePage](unsigned char Byte) { return IsLeadByte(Byte, CodePage); });
    }

    int64_t ByteCount = 0, DurationMs = 0;
    const bool Saved = Mp3Engine->SaveSegment(static_cast<int32_t>(StartTime), static_cast<int32_t>(EndTime),
                                              FileName.toStdString(), Tag, ByteCount, DurationMs);
    PanelState->hide();
    if (!Saved) MessageBox(this, Ms_NotSave, Ms_Error, TMsgIcon::Error);
}

// ------------------------------------------------------------------ sponsor

// The sponsor window on request: no waiting, and the count stays as it is.
void TFrmMP3Editor::BtnSpClick(QObject*) { Sponsor->ShowIfDue(true); }

// ------------------------------------------------------------------ time codes

QString TFrmMP3Editor::MsToTimeCode(int64_t Ms) const { return ToQString(::MsToTimeCode(Ms)); }

QString TFrmMP3Editor::NormalizeTimeCode(const QString& Text) const {
    return ToQString(::NormalizeTimeCode(Text.toStdString()));
}

int64_t TFrmMP3Editor::TimeCodeToMs(const QString& Text) const { return ::TimeCodeToMs(Text.toStdString()); }

void TFrmMP3Editor::SetEditText(TMaskEdit* Edit, const QString& Text) {
    Edit->Tag = 1;
    Edit->SetText(Text);
    Edit->Tag = 0;
}

void TFrmMP3Editor::RzMaskEdit1Change(QWidget* Sender) {
    auto* Edit = dynamic_cast<TMaskEdit*>(Sender);
    if (!Edit || Edit->Tag != 0) return;
    int64_t Low, High;
    if (Edit == RzMaskEdit1) {
        Low = 0;
        High = EndTime;
    } else if (Edit == RzMaskEdit2) {
        Low = StartTime;
        High = Mp3Engine ? Mp3Engine->DataInfo.LengthMs : 0;
    } else {
        return;
    }
    int64_t V = TimeCodeToMs(NormalizeTimeCode(Edit->Text()));
    if (V < Low)
        V = Low;
    else if (V > High)
        V = High;
    const QString T = MsToTimeCode(V);
    if (T != Edit->Text()) {
        Edit->Tag = 1;
        const int Start = Edit->SelStart();
        const int Length = Edit->SelLength();
        Edit->SetText(T);
        Edit->SetSelStart(Start);
        Edit->SetSelLength(Length);
        Edit->Tag = 0;
    }
    TimeToMark(Edit == RzMaskEdit1 ? 0 : 1, V);
}

// ------------------------------------------------------------------ markers

void TFrmMP3Editor::ResetMarks(bool Enable) {
    const int BL = TrackBarPos->x();
    const int BW = TrackBarPos->width();

    StartMark = TMarkDrag{};
    StartMark.Origin = this;
    StartMark.MinLeft = BL + 1;
    StartMark.MaxLeft = BL + BW - 24;
    StartMark.ZeroLeft = BL + 1;
    StartMark.FullLeft = BL + BW - 24;
    StartMark.CurLeft = BL + 1;

    EndMark = TMarkDrag{};
    EndMark.Origin = this;
    EndMark.MinLeft = BL + 7;
    EndMark.MaxLeft = BL + BW - 17;
    EndMark.ZeroLeft = BL + 7;
    EndMark.FullLeft = BL + BW - 17;
    EndMark.CurLeft = BL + BW - 17;

    ImageStart->move(StartMark.MinLeft, ImageStart->y());
    ImageEnd->move(EndMark.MaxLeft, ImageEnd->y());

    const QString StartFile = AppPath + (Enable ? QStringLiteral("MarkStart.bmp") : QStringLiteral("MarkStartD.bmp"));
    const QString EndFile = AppPath + (Enable ? QStringLiteral("MarkEnd.bmp") : QStringLiteral("MarkEndD.bmp"));
    if (!ImageStart->LoadFromFile(StartFile)) ImageStart->SetPicture(FallbackMarker(true, Enable));
    if (!ImageEnd->LoadFromFile(EndFile)) ImageEnd->SetPicture(FallbackMarker(false, Enable));

    for (QWidget* Control :
         std::initializer_list<QWidget*>{ImageStart, ImageEnd, LabelStart, LabelEnd, RzMaskEdit1, RzMaskEdit2})
        Control->setEnabled(Enable);
}

void TFrmMP3Editor::MarkToTime(int Which) {
    if (ImageStart->isEnabled() && Which == 0) {
        const double Ratio = double(StartMark.CurLeft - StartMark.ZeroLeft) / (StartMark.FullLeft - StartMark.ZeroLeft);
        StartTime = RoundHalfEven(TrackBarPos->Max() * Ratio);
        SetEditText(RzMaskEdit1, MsToTimeCode(StartTime));
    }
    if (ImageEnd->isEnabled() && Which == 1) {
        const double Ratio = double(EndMark.CurLeft - EndMark.ZeroLeft) / (EndMark.FullLeft - EndMark.ZeroLeft);
        EndTime = RoundHalfEven(TrackBarPos->Max() * Ratio);
        SetEditText(RzMaskEdit2, MsToTimeCode(EndTime));
    }
}

void TFrmMP3Editor::TimeToMark(int Which, int64_t Ms) {
    const int64_t Length = Mp3Engine ? Mp3Engine->DataInfo.LengthMs : 0;
    // Without a length every time stands at the marker's zero position.
    auto OffsetOf = [Length, Ms](const TMarkDrag& Mark) -> int32_t {
        if (Length <= 0) return 0;
        return static_cast<int32_t>(RoundHalfEven(double(int64_t(Mark.FullLeft - Mark.ZeroLeft) * Ms) / Length));
    };
    if (ImageStart->isEnabled() && Which == 0) {
        StartTime = Ms;
        StartMark.CurLeft = StartMark.ZeroLeft + OffsetOf(StartMark);
        ImageStart->move(StartMark.CurLeft, ImageStart->y());
        EndMark.MinLeft = ImageStart->x() + 7;
    } else if (ImageEnd->isEnabled() && Which == 1) {
        EndTime = Ms;
        EndMark.CurLeft = EndMark.ZeroLeft + OffsetOf(EndMark);
        ImageEnd->move(EndMark.CurLeft, ImageEnd->y());
        StartMark.MaxLeft = ImageEnd->x() - 7;
    }
}

void TFrmMP3Editor::MarkMouseDown(TMarkDrag& Mark, QWidget* Sender, Qt::MouseButton Button, int X, int Y) {
    if (!Sender->isEnabled() || Button != Qt::LeftButton) return;
    Mark.LastPoint = Mark.Origin->mapFromGlobal(Sender->mapToGlobal(QPoint(X, Y)));
    Mark.Dragging = true;
    Sender->raise();
}

void TFrmMP3Editor::MarkMouseMove(TMarkDrag& Mark, TMarkDrag& Other, int Which, QWidget* Sender, int X, int Y) {
    if (!Sender->isEnabled() || !Mark.Dragging) return;
    const QPoint P = Mark.Origin->mapFromGlobal(Sender->mapToGlobal(QPoint(X, Y)));
    int NewLeft = Sender->x() + (P.x() - Mark.LastPoint.x());
    if (NewLeft < Mark.MinLeft)
        NewLeft = Mark.MinLeft;
    else if (NewLeft > Mark.MaxLeft)
        NewLeft = Mark.MaxLeft;
    if (NewLeft == Sender->x()) return;
    Sender->move(NewLeft, Sender->y());
    Mark.LastPoint = P;
    Mark.CurLeft = NewLeft;
    if (Which == 0)
        Other.MinLeft = Sender->x() + 7;
    else
        Other.MaxLeft = Sender->x() - 7;
    MarkToTime(Which);
}

void TFrmMP3Editor::ImageStartMouseDown(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y) {
    MarkMouseDown(StartMark, Sender, Button, X, Y);
}

void TFrmMP3Editor::ImageStartMouseMove(QWidget* Sender, Qt::KeyboardModifiers, int X, int Y) {
    MarkMouseMove(StartMark, EndMark, 0, Sender, X, Y);
}

void TFrmMP3Editor::ImageStartMouseUp(QWidget* Sender, Qt::MouseButton, Qt::KeyboardModifiers Shift, int X, int Y) {
    ImageStartMouseMove(Sender, Shift, X, Y);
    StartMark.Dragging = false;
}

void TFrmMP3Editor::ImageEndMouseDown(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y) {
    MarkMouseDown(EndMark, Sender, Button, X, Y);
}

void TFrmMP3Editor::ImageEndMouseMove(QWidget* Sender, Qt::KeyboardModifiers, int X, int Y) {
    MarkMouseMove(EndMark, StartMark, 1, Sender, X, Y);
}

void TFrmMP3Editor::ImageEndMouseUp(QWidget* Sender, Qt::MouseButton, Qt::KeyboardModifiers Shift, int X, int Y) {
    ImageEndMouseMove(Sender, Shift, X, Y);
    EndMark.Dragging = false;
}

void TFrmMP3Editor::TrackBarPosChange(QWidget*) { Label1->SetCaption(MsToTimeCode(TrackBarPos->Position())); }

// ------------------------------------------------------------------ playback

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
void TFrmMP3Editor::PlayFrom(int64_t From, bool MoveBar) {
    if (From >= Mp3Engine->DataInfo.LengthMs) return;
    if (!Mp3Engine->PlayRange(From, TrackBarPos->Max())) return;
    TrackBarPos->setEnabled(false);
    BtnSetStart->setEnabled(false);
    BtnSetEnd->setEnabled(false);
    BtnPlayStart->setEnabled(false);
    BtnPlay2->setEnabled(false);
    BtnStop->setEnabled(true);
    BtnSaveMp3->setEnabled(false);
    if (MoveBar) TrackBarPos->SetPosition(static_cast<int32_t>(From));
    TimerPos->SetEnabled(true);
}

void TFrmMP3Editor::ShowIdle() {
    TrackBarPos->setEnabled(true);
    BtnSetStart->setEnabled(true);
    BtnSetEnd->setEnabled(true);
    BtnPlayStart->setEnabled(true);
    BtnPlay2->setEnabled(true);
    BtnStop->setEnabled(false);
    BtnSaveMp3->setEnabled(true);
}

// The bar keeps the last position a tick showed, so playing from the current
// position afterwards resumes about there.
void TFrmMP3Editor::BtnStopClick(QObject*) {
    Mp3Engine->StopPlay();
    TimerPos->SetEnabled(false);
    ShowIdle();
}

void TFrmMP3Editor::TimerPosTimer(QObject*) {
    if (Mp3Engine->IsStopped()) {
        TimerPos->SetEnabled(false);
        ShowIdle();
    }
    const int64_t P = Mp3Engine->GetPlayPosition();
    if (P >= 0) TrackBarPos->SetPosition(static_cast<int32_t>(P));
}

// Written as the user would type it, so that the edit's change handler keeps
// the mark in its bounds and moves the marker.
void TFrmMP3Editor::BtnSetStartClick(QObject*) { RzMaskEdit1->SetText(Label1->text()); }

void TFrmMP3Editor::BtnSetEndClick(QObject*) { RzMaskEdit2->SetText(Label1->text()); }

// ------------------------------------------------------------------ window chrome

void TFrmMP3Editor::RzBmpButton1Click(QObject*) { close(); }

void TFrmMP3Editor::RzBmpButton2Click(QObject*) { showMinimized(); }
