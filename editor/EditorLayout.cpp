// The controls of the editor window with their design-time places, texts and
// settings, as one table in the order they stack: the skin at the bottom, the
// title band above it, then everything that takes its own clicks, the busy
// panel on top. CreateControls walks the table; what no row can say follows
// it. Every control is named after its field, which is how the language
// files find it.
#include "editor/UnitMP3Editor.h"

#include <QActionGroup>
#include <QMenu>
#include <QPalette>
#include <QRect>

#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "editor/EditorCommon.h"

namespace {

// The field a row fills; its type is the control's class.
template <class... TControls>
using TFieldOf = std::variant<TControls * TFrmMP3Editor::*...>;
using TField = TFieldOf<TImage, TLabel, TBmpButton, TGlyphButton, TMenuButton, TMaskEdit, TEdit, TComboBox, TCheckBox,
                        TTrackBar, TTimer, TPanel, TPageControl, TTabSheet, QMenu, TMenuItem, TFileDialog>;

enum TOption : unsigned {
    Disabled = 1 << 0,
    Hidden = 1 << 1,
    RightAligned = 1 << 2,  // a label that keeps its right edge as it sizes itself
    FixedSize = 1 << 3,     // a label that does not size itself
    Opaque = 1 << 4,
    TitleFont = 1 << 5,  // the bold type of the title band
    HandCursor = 1 << 6,
    Transparent = 1 << 7,  // a picture without the colour of its lower left pixel
    Stretch = 1 << 8,      // a picture scaled to the control
    Radio = 1 << 9,        // a menu item that unchecks the others of its menu
    Checked = 1 << 10,
    ForSaving = 1 << 11,  // a save dialog
};

struct TControlRow {
    TField Field;
    const char* Name;
    const char* Parent = "";  // the window
    QRect Place{};            // none for what is not seen or placed by its parent
    const char* Text = "";    // caption, a dialog's title
    const char* Hint = "";
    const char* Picture = nullptr;   // a picture, a button's Up face, a glyph, the bar's thumb
    const char* Picture2 = nullptr;  // a button's Hot face, a disabled glyph
    QColor Colour{};                 // of a text, and of a time edit's frame
    int Tag = 0;
    int MaxLength = 0;
    unsigned Options = 0;
};

#define CONTROL(Member) .Field = &TFrmMP3Editor::Member, .Name = #Member

// A caption label of the pages, right-aligned to end at Right.
QRect EndsAt(int Right, int Top) { return QRect(0, Top, Right, 13); }
// A value label of the information page: empty at first, growing to the right from x 116.
QRect ValueAt(int Top) { return QRect(116, Top, 0, 13); }

const char* const TimeMask = "000:00:00.000;1;_";
const char* const Mp3Filter = "MP3(*.mp3)|*.mp3";

// clang-format off
const TControlRow Layout[] = {
    // Window chrome and status.
    {CONTROL(FS), .Place = {1, 0, 592, 452}, .Picture = ":/skin/skin.png"},
    {CONTROL(Label10), .Place = {0, 0, 592, 105}, .Options = FixedSize},
    {CONTROL(Label11), .Place = {12, 6, 157, 13}, .Text = "Segmora  version 1.0", .Colour = Qt::white,
     .Options = TitleFont},
    {CONTROL(Label28), .Place = {429, 8, 76, 13}, .Text = ">> Language", .Colour = Qt::white,
     .Options = TitleFont | RightAligned | HandCursor},
    {CONTROL(RzBmpButton1), .Place = {540, 1, 40, 20}, .Hint = "Close", .Picture = ":/buttons/close_up.png",
     .Picture2 = ":/buttons/close_hot.png"},
    {CONTROL(RzBmpButton2), .Place = {513, 1, 27, 20}, .Hint = "Minimize", .Picture = ":/buttons/minimize_up.png",
     .Picture2 = ":/buttons/minimize_hot.png"},
    {CONTROL(Label12), .Place = {30, 431, 3, 13}, .Colour = Qt::white},
    {CONTROL(ImageFileState1), .Place = {10, 430, 16, 16}, .Picture = ":/icons/file_ok.png", .Options = Hidden},
    {CONTROL(ImageFileState2), .Place = {10, 430, 16, 16}, .Picture = ":/icons/file_none.png"},

    // Main buttons; the Chinese edition puts its own faces (ImageList1) on open, save and about.
    {CONTROL(BtnOpenMp3), .Place = {187, 34, 64, 64}, .Picture = ":/buttons/open_up.png",
     .Picture2 = ":/buttons/open_hot.png"},
    {CONTROL(BtnSaveMp3), .Place = {267, 34, 64, 64}, .Picture = ":/buttons/save_up.png",
     .Picture2 = ":/buttons/save_hot.png", .Options = Disabled},
    {CONTROL(BtnSp), .Place = {435, 34, 64, 64}, .Picture = ":/buttons/sponsor_up.png",
     .Picture2 = ":/buttons/sponsor_hot.png"},
    {CONTROL(BtnAbout), .Place = {515, 34, 64, 64}, .Picture = ":/buttons/about_up.png",
     .Picture2 = ":/buttons/about_hot.png"},

    // Marks, position and playback.
    {CONTROL(LabelStart), .Place = {192, 120, 43, 13}, .Text = "Start tag", .Colour = StartColour,
     .Options = RightAligned | Disabled},
    {CONTROL(LabelEnd), .Place = {198, 144, 37, 13}, .Text = "End tag", .Colour = EndColour,
     .Options = RightAligned | Disabled},
    {CONTROL(RzMaskEdit1), .Place = {240, 116, 96, 21}, .Text = "000:00:00.000", .Colour = StartColour,
     .MaxLength = 13, .Options = Disabled},
    {CONTROL(RzMaskEdit2), .Place = {240, 140, 96, 21}, .Text = "000:00:00.000", .Colour = EndColour,
     .MaxLength = 13, .Options = Disabled},
    {CONTROL(BtnSetStart), .Place = {337, 115, 25, 23}, .Hint = "Set current postion as start",
     .Picture = ":/glyphs/set_start.png", .Picture2 = ":/glyphs/set_start_disabled.png", .Options = Disabled},
    {CONTROL(BtnSetEnd), .Place = {337, 139, 25, 23}, .Hint = "Set current postion as end",
     .Picture = ":/glyphs/set_end.png", .Picture2 = ":/glyphs/set_end_disabled.png", .Options = Disabled},
    {CONTROL(BtnPlayStart), .Place = {368, 114, 88, 48}, .Text = "&Play", .Picture = ":/glyphs/play.png",
     .Picture2 = ":/glyphs/play_disabled.png", .Options = Disabled},
    {CONTROL(BtnPlay2), .Place = {455, 114, 25, 48}, .Options = Disabled},
    {CONTROL(BtnStop), .Place = {484, 114, 88, 48}, .Text = "&Stop", .Picture = ":/glyphs/stop.png",
     .Picture2 = ":/glyphs/stop_disabled.png", .Options = Disabled},
    {CONTROL(PopupMenu1)},
    {CONTROL(PM_Play), .Parent = "PopupMenu1", .Text = "从当前位置播放", .Tag = 0},
    {CONTROL(PM_FromStart), .Parent = "PopupMenu1", .Text = "从①开始播放", .Tag = 1},
    {CONTROL(PM_FromEnd), .Parent = "PopupMenu1", .Text = "从②开始播放", .Tag = 2},
    {CONTROL(ImageStart), .Place = {129, 173, 16, 16}, .Hint = "Drag to set start tag",
     .Options = Transparent | HandCursor | Disabled},
    {CONTROL(ImageEnd), .Place = {560, 173, 16, 16}, .Hint = "Drag to set end tag",
     .Options = Transparent | HandCursor | Disabled},
    {CONTROL(Label1), .Place = {53, 193, 72, 13}, .Text = "000:00:00.000", .Options = RightAligned},
    {CONTROL(TrackBarPos), .Place = {128, 189, 449, 20}, .Picture = ":/trackbar/thumb.png", .Options = Disabled},
    {CONTROL(TimerPos)},

    // Information pages.
    {CONTROL(RzPageControl1), .Place = {21, 225, 553, 184}},
    {CONTROL(TabSheet2), .Parent = "RzPageControl1", .Text = "Standard"},
    {CONTROL(Label23), .Parent = "TabSheet2", .Place = EndsAt(104, 16), .Text = "File size:", .Options = RightAligned},
    {CONTROL(Label24), .Parent = "TabSheet2", .Place = ValueAt(16), .Options = Opaque},
    {CONTROL(Label13), .Parent = "TabSheet2", .Place = EndsAt(104, 42), .Text = "Encoding:", .Options = RightAligned},
    {CONTROL(Label18), .Parent = "TabSheet2", .Place = ValueAt(42), .Options = Opaque},
    {CONTROL(Label14), .Parent = "TabSheet2", .Place = EndsAt(104, 70), .Text = "Channel:", .Options = RightAligned},
    {CONTROL(Label19), .Parent = "TabSheet2", .Place = ValueAt(70), .Options = Opaque},
    {CONTROL(Label15), .Parent = "TabSheet2", .Place = EndsAt(104, 98), .Text = "SampleRate:",
     .Options = RightAligned},
    {CONTROL(Label20), .Parent = "TabSheet2", .Place = ValueAt(98), .Options = Opaque},
    {CONTROL(Label16), .Parent = "TabSheet2", .Place = EndsAt(104, 126), .Text = "Bitrate:", .Options = RightAligned},
    {CONTROL(Label21), .Parent = "TabSheet2", .Place = ValueAt(126), .Options = Opaque},
    {CONTROL(Label17), .Parent = "TabSheet2", .Place = EndsAt(104, 154), .Text = "Length:", .Options = RightAligned},
    {CONTROL(Label22), .Parent = "TabSheet2", .Place = ValueAt(154), .Options = Opaque},

    {CONTROL(TabSheet1), .Parent = "RzPageControl1", .Text = "ID3Tags V1"},
    {CONTROL(RzCheckBox1), .Parent = "TabSheet1", .Place = {104, 14, 105, 17}, .Text = "Include", .Options = Disabled},
    {CONTROL(Label3), .Parent = "TabSheet1", .Place = EndsAt(100, 42), .Text = "Title:", .Options = RightAligned},
    {CONTROL(RzEdit1), .Parent = "TabSheet1", .Place = {104, 38, 369, 21}, .MaxLength = 30, .Options = Disabled},
    {CONTROL(Label4), .Parent = "TabSheet1", .Place = EndsAt(100, 70), .Text = "Artist:", .Options = RightAligned},
    {CONTROL(RzEdit2), .Parent = "TabSheet1", .Place = {104, 66, 369, 21}, .MaxLength = 30, .Options = Disabled},
    {CONTROL(Label5), .Parent = "TabSheet1", .Place = EndsAt(100, 98), .Text = "Album:", .Options = RightAligned},
    // No limit in the edit: the album is cut to its field's width when saved.
    {CONTROL(RzEdit3), .Parent = "TabSheet1", .Place = {104, 94, 369, 21}, .Options = Disabled},
    {CONTROL(Label9), .Parent = "TabSheet1", .Place = EndsAt(100, 126), .Text = "Genre:", .Options = RightAligned},
    {CONTROL(RzComboBox1), .Parent = "TabSheet1", .Place = {104, 122, 133, 21}, .Options = Disabled},
    {CONTROL(Label8), .Parent = "TabSheet1", .Place = EndsAt(332, 126), .Text = "TrackNumber:",
     .Options = RightAligned},
    {CONTROL(RzEdit5), .Parent = "TabSheet1", .Place = {336, 122, 49, 21}, .MaxLength = 3, .Options = Disabled},
    {CONTROL(Label6), .Parent = "TabSheet1", .Place = EndsAt(428, 126), .Text = "Year:", .Options = RightAligned},
    {CONTROL(RzEdit6), .Parent = "TabSheet1", .Place = {432, 122, 41, 21}, .MaxLength = 4, .Options = Disabled},
    {CONTROL(Label7), .Parent = "TabSheet1", .Place = EndsAt(100, 154), .Text = "Comment:", .Options = RightAligned},
    {CONTROL(RzEdit7), .Parent = "TabSheet1", .Place = {104, 150, 369, 21}, .MaxLength = 30, .Options = Disabled},

    // The busy panel lies above everything else.
    {CONTROL(PanelState), .Place = {201, 201, 190, 50}, .Options = Hidden},
    {CONTROL(Image1), .Parent = "PanelState", .Place = {0, 0, 190, 50}, .Picture = ":/panel/busy.png",
     .Options = Stretch},
    {CONTROL(Label25), .Parent = "PanelState", .Place = {32, 19, 0, 13}, .Text = "Opening......",
     .Colour = Qt::white},

    // Components that are not seen.
    {CONTROL(OpenDialog1), .Text = "Open MP3 file"},
    {CONTROL(SaveDialog1), .Text = "Save Mp3 file", .Options = ForSaving},
    {CONTROL(PopupMenuView)},
    {CONTROL(PM_English), .Parent = "PopupMenuView", .Text = "English", .Tag = 0, .Options = Radio | Checked},
    {CONTROL(PM_Spanish), .Parent = "PopupMenuView", .Text = "Spanish", .Tag = 1, .Options = Radio},
    {CONTROL(PM_German), .Parent = "PopupMenuView", .Text = "German", .Tag = 2, .Options = Radio},
    {CONTROL(PM_Italian), .Parent = "PopupMenuView", .Text = "Italian", .Tag = 3, .Options = Radio},
    {CONTROL(PM_French), .Parent = "PopupMenuView", .Text = "French", .Tag = 4, .Options = Radio},
};
// clang-format on

#undef CONTROL

QString TextOf(const char* Utf8) { return QString::fromUtf8(Utf8); }

template <class TControl>
TControl* Create(const TControlRow& Row, QWidget* Parent) {
    if constexpr (std::is_same_v<TControl, TTabSheet>) {
        auto* Pages = qobject_cast<TPageControl*>(Parent);
        if (!Pages) throw std::logic_error("a page outside a page control");
        return new TTabSheet(Pages, TextOf(Row.Text));
    } else if constexpr (std::is_same_v<TControl, TMenuItem>) {
        return new TMenuItem(TextOf(Row.Text), Row.Tag, Parent);
    } else if constexpr (std::is_same_v<TControl, TFileDialog>) {
        return new TFileDialog(Row.Options & ForSaving ? TFileDialog::TKind::Save : TFileDialog::TKind::Open, Parent);
    } else {
        return new TControl(Parent);
    }
}

// ---- what each class takes from its row ----

void Setup(TLabel* Label, const TControlRow& Row) {
    Label->setAlignment((Row.Options & RightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    if (Row.Options & FixedSize) Label->AutoSize = false;
    Label->SetCaption(TextOf(Row.Text));
    if (Row.Colour.isValid()) Label->SetTextColour(Row.Colour);
    if (Row.Options & Opaque) Label->setAutoFillBackground(true);
    if (Row.Options & TitleFont) Label->setFont(PixelFont(QStringLiteral("Tahoma"), 11, true));
}

void Setup(TImage* Image, const TControlRow& Row) {
    Image->Transparent = Row.Options & Transparent;
    Image->Stretch = Row.Options & Stretch;
    if (Row.Picture) Image->SetPicture(Resource(Row.Picture));
}

void Setup(TBmpButton* Button, const TControlRow& Row) {
    Button->setFocusPolicy(Qt::NoFocus);
    if (Row.Picture) Button->Up = Resource(Row.Picture);
    if (Row.Picture2) Button->Hot = Resource(Row.Picture2);
}

void Setup(TGlyphButton* Button, const TControlRow& Row) {
    Button->setText(TextOf(Row.Text));
    Button->SetGlyphs(Resource(Row.Picture), Resource(Row.Picture2));
}

void Setup(TMaskEdit* Edit, const TControlRow& Row) {
    Edit->SetEditMask(QLatin1String(TimeMask));
    Edit->setMaxLength(Row.MaxLength);
    Edit->SetText(TextOf(Row.Text));
    Edit->setStyleSheet(FrameStyle("QLineEdit", Row.Colour, Row.Colour));
}

void Setup(TEdit* Edit, const TControlRow& Row) {
    if (Row.MaxLength > 0) Edit->setMaxLength(Row.MaxLength);
    Edit->setStyleSheet(FrameStyle("QLineEdit", FrameColour));
}

void Setup(TComboBox* Box, const TControlRow&) { Box->setStyleSheet(FrameStyle("QComboBox", FrameColour)); }

void Setup(TCheckBox* Box, const TControlRow& Row) { Box->setText(TextOf(Row.Text)); }

void Setup(TTrackBar* Bar, const TControlRow& Row) {
    Bar->setRange(0, 100);
    Bar->SetPosition(0);
    Bar->SetLook(FrameColour, Resource(Row.Picture));
}

void Setup(TPageControl* Pages, const TControlRow&) { Pages->SetLook(FrameColour, 23); }

void Setup(TMenuItem* Item, const TControlRow& Row) {
    auto* Menu = qobject_cast<QMenu*>(Item->parent());
    if (!Menu) throw std::logic_error("a menu item outside a menu");
    if (Row.Options & Radio) {
        auto* Group = Menu->findChild<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly);
        if (!Group) Group = new QActionGroup(Menu);
        Group->setExclusive(true);
        Item->setCheckable(true);
        Group->addAction(Item);
    }
    Menu->addAction(Item);
    if (Row.Options & Checked) Item->setChecked(true);
}

void Setup(TFileDialog* Dialog, const TControlRow& Row) {
    Dialog->Title = TextOf(Row.Text);
    Dialog->Filter = QLatin1String(Mp3Filter);
    if (Dialog->Kind == TFileDialog::TKind::Save) {
        Dialog->DefaultExt = QStringLiteral("mp3");
        Dialog->OverwritePrompt = true;
    }
}

// Menus, the busy panel, the timer and the rest take nothing beyond their place.
void Setup(QObject*, const TControlRow&) {}

}  // namespace

QRect DesignPlaceOf(const char* Name) {
    for (const TControlRow& Row : Layout)
        if (std::string_view(Row.Name) == Name) return Row.Place;
    return QRect();
}

void TFrmMP3Editor::CreateControls() {
    for (const TControlRow& Row : Layout) {
        QWidget* Parent = this;
        if (*Row.Parent) {
            Parent = findChild<QWidget*>(QLatin1String(Row.Parent));
            if (!Parent) throw std::logic_error(std::string("no control ") + Row.Parent);
        }
        std::visit(
            [&](auto Field) {
                using TControl = std::remove_pointer_t<std::remove_reference_t<decltype(this->*Field)>>;
                TControl* Control = Create<TControl>(Row, Parent);
                Control->setObjectName(QLatin1String(Row.Name));
                if constexpr (std::is_base_of_v<QWidget, TControl>) {
                    if (!Row.Place.isNull()) Control->setGeometry(Row.Place);
                    if (*Row.Hint) Control->setToolTip(TextOf(Row.Hint));
                    if (Row.Options & HandCursor) Control->setCursor(Qt::PointingHandCursor);
                }
                Setup(Control, Row);
                if constexpr (std::is_base_of_v<QWidget, TControl>) {
                    if (Row.Options & Disabled) Control->setEnabled(false);
                    if (Row.Options & Hidden) Control->hide();
                }
                if constexpr (std::is_base_of_v<TTagged, TControl>) Control->Tag = Row.Tag;
                this->*Field = Control;
            },
            Row.Field);
    }

    // What no row says.
    BtnSaveMp3->Disabled = Resource(":/buttons/save_disabled.png");
    BtnOpenMp3->Margin = 42;
    BtnOpenMp3->setFont(PixelFont(QStringLiteral("Arial"), 15, true));
    QPalette Navy = BtnOpenMp3->palette();
    Navy.setColor(QPalette::ButtonText, QColor(0, 0, 128));
    BtnOpenMp3->setPalette(Navy);
    ImageList1 = {Resource(":/buttons/open_up.png"),       Resource(":/buttons/open_hot.png"),
                  Resource(":/buttons/save_up.png"),       Resource(":/buttons/save_hot.png"),
                  Resource(":/buttons/save_disabled.png"), Resource(":/buttons/about_up.png"),
                  Resource(":/buttons/about_hot.png")};
    BtnPlay2->SetDropDownMenu(PopupMenu1);
    RzPageControl1->setCurrentWidget(TabSheet2);
    // Without its picture the busy panel is still seen, in the frame colour.
    if (Image1->Picture().isNull()) {
        PanelState->setAutoFillBackground(true);
        QPalette Fill = PanelState->palette();
        Fill.setColor(QPalette::Window, FrameColour);
        PanelState->setPalette(Fill);
    }
}
