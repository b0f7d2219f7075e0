#include "sponsor/UnitSponsor.h"

#include <QByteArray>
#include <QFile>
#include <QPalette>
#include <QPixmap>

#include <utility>

#include "platform/JpegDecoder.h"
#include "sponsor/SponsorFetch.h"
#include "sponsor/SponsorInfo.h"
#include "widgets/FormServices.h"

namespace {

// The platform colour $40B028 of the picture panel: red 40, green 176, blue 64.
const QColor PanelColour(40, 176, 64);
const QString FontName = QStringLiteral("微软雅黑");
const QString HasDoCaption = QStringLiteral("我已赞助");
constexpr int WaitSeconds = 60;

TTimer* NewTimer(QObject* Parent, const char* Name, int Interval) {
    auto* Timer = new TTimer(Parent);
    Timer->setObjectName(QString::fromLatin1(Name));
    Timer->setInterval(Interval);
    return Timer;
}

}  // namespace

TFrmSponsor::TFrmSponsor(TWindowServices Services) : TModalForm(std::move(Services)) {
    setObjectName(QStringLiteral("FrmSponsor"));
    setWindowTitle(QStringLiteral("我们需要您的赞助"));
    setFixedSize(584, 437);
    setFont(PixelFont(FontName, 13));
    CreateControls();
    connect(BtnHasDo, &QAbstractButton::clicked, this,
            [this] { RunHandler(FServices, [this] { BtnHasDoClick(BtnHasDo); }); });
    connect(BtnClose, &QAbstractButton::clicked, this,
            [this] { RunHandler(FServices, [this] { BtnCloseClick(BtnClose); }); });
    connect(TimerWait, &QTimer::timeout, this,
            [this] { RunHandler(FServices, [this] { TimerWaitTimer(TimerWait); }); });
    connect(TimerGetInfo, &QTimer::timeout, this,
            [this] { RunHandler(FServices, [this] { TimerGetInfoTimer(TimerGetInfo); }); });
}

// Released before the controls: a fetch still running is cancelled here.
TFrmSponsor::~TFrmSponsor() = default;

void TFrmSponsor::CreateControls() {
    BtnHasDo = NewControl<TRzButton>(this, "BtnHasDo", 244, 396, 145, 28);

    MemoInfo = NewControl<TMemo>(this, "MemoInfo", 16, 8, 553, 97);

    Panel1 = NewControl<TPanel>(this, "Panel1", 39, 139, 500, 245);
    Panel1->setAutoFillBackground(true);
    QPalette Colours = Panel1->palette();
    Colours.setColor(QPalette::Window, PanelColour);
    Colours.setColor(QPalette::WindowText, Qt::white);
    Panel1->setPalette(Colours);
    Panel1->setFont(PixelFont(FontName, 16));

    Shape1 = NewControl<TShape>(Panel1, "Shape1", 0, 0, 500, 245);
    Shape1->BrushColour = PanelColour;
    Shape1->PenColour = PanelColour;

    ImageQR = NewControl<TImage>(Panel1, "ImageQR", 0, 0, 500, 245);
    ImageQR->hide();
    QFile BuiltIn(QStringLiteral(":/sponsor/payment.jpg"));
    QImage Picture;
    if (BuiltIn.open(QIODevice::ReadOnly) && DecodeJpegImage(BuiltIn.readAll().toStdString(), Picture)) {
        ImageQR->SetPicture(QPixmap::fromImage(Picture));
        ImageQR->resize(Picture.size());
    }

    Label1 = NewLabel(Panel1, "Label1", 226, 112, QStringLiteral("请等待..."));

    LabelQR = new TLabel(this);
    LabelQR->setObjectName(QStringLiteral("LabelQR"));
    LabelQR->AutoSize = false;
    LabelQR->setGeometry(16, 112, 464, 21);
    LabelQR->setFont(PixelFont(FontName, 16));
    LabelQR->SetTextColour(QColor(0, 128, 128));
    LabelQR->SetCaption(QStringLiteral("赞助后您将全功能使用本软件，请扫码赞助我们，感谢您的支持！"));

    TimerWait = NewTimer(this, "TimerWait", 1000);

    BtnClose = NewControl<TRzButton>(this, "BtnClose", 394, 396, 145, 28);
    BtnClose->setText(QStringLiteral("下次再说"));

    TimerGetInfo = NewTimer(this, "TimerGetInfo", 100);
}

void TFrmSponsor::BtnHasDoClick(QObject*) {
    if (AskYesNo(FServices, this, QStringLiteral("感谢您赞助我们！\r\n如果您已经赞助请点击“是”。"),
                 QStringLiteral("确认")))
        SetModalResult(mrOk);
}

void TFrmSponsor::BtnCloseClick(QObject*) { SetModalResult(mrNo); }

void TFrmSponsor::TimerWaitTimer(QObject*) {
    ++WaitTicks;
    if (WaitTicks >= WaitSeconds) TimerWait->SetEnabled(false);
    if (WaitTicks < WaitSeconds) {
        BtnHasDo->setText(HasDoCaption + QStringLiteral(" (") + QString::number(WaitSeconds - WaitTicks) +
                          QStringLiteral("秒)"));
    } else {
        BtnHasDo->setText(HasDoCaption);
        BtnHasDo->setEnabled(true);
        BtnClose->setEnabled(true);
    }
}

void TFrmSponsor::TimerGetInfoTimer(QObject*) {
    TimerGetInfo->SetEnabled(false);
    FetchSponsorInfo();
}

void TFrmSponsor::FormCloseQuery(QObject*, bool& CanClose) {
    CanClose = ModalResult() == mrOk || ModalResult() == mrNo;
}

void TFrmSponsor::FetchSponsorInfo() {
    if (FFetch) return;
    const std::string Url = SponsorInfoUrl();
    // Without a service there is nothing to ask: the built-in picture at once.
    if (Url.empty()) {
        ShowPicture(QImage());
        return;
    }
    FFetch = std::make_unique<TSponsorFetch>(Url, FServices.HttpFetch, this,
                                             [this](const QImage& Fetched) { ShowPicture(Fetched); });
}

void TFrmSponsor::ShowPicture(const QImage& Fetched) {
    FFetch.reset();
    if (!Fetched.isNull()) {
        ImageQR->SetPicture(QPixmap::fromImage(Fetched));
        ImageQR->resize(Fetched.size());
    }
    Label1->hide();
    Shape1->hide();
    ImageQR->show();
    emit PictureShown(!Fetched.isNull());
}

void PrepareSponsorWindow(TFrmSponsor& Form, bool Wait) {
    Form.MemoInfo->AddLine(QStringLiteral("亲爱的用户："));
    Form.MemoInfo->AddLine(
        QStringLiteral("    您好！ 您现在使用的是一款具有良好用户口碑的免费软件！目前这款软件中没有任何广告和插件捆绑，"
                       "因此我们没有一点收入，而软件的升级维护都需要钱，作为个人软件开发者要想坚持下非常艰难。"
                       "如果您觉得本软件能给您带来帮助，请赞助我们，这点小钱对您来说不算什么，对我们却意义重大："
                       "这能让我们的软件存活下去并且越做越好。"));
    Form.BtnHasDo->setText(HasDoCaption);
    if (Wait) {
        Form.BtnHasDo->setEnabled(false);
        Form.BtnClose->setEnabled(false);
        Form.WaitTicks = 0;
        Form.TimerWait->SetEnabled(true);
    }
    Form.ImageQR->hide();
    Form.TimerGetInfo->SetEnabled(true);
}

bool ShowSponsorWindow(bool Wait, const TWindowServices& Services) {
    TFrmSponsor Form(Services);
    PrepareSponsorWindow(Form, Wait);
    return Form.ShowModal() == mrOk;
}

QImage FetchSponsorPicture(const std::string& ServiceUrl, const THttpFetch& Fetch, THttpCancel& Cancel) {
    QImage Picture;
    try {
        const std::string Reply = Fetch(SponsorInfoRequest(ServiceUrl), Cancel);
        std::string Address;
        if (ParseSponsorReply(Reply, Address)) LoadQrImage(Address, Fetch, Cancel, Picture);
    } catch (...) {
        // Whatever went wrong, the built-in picture stays; nothing is reported.
    }
    return Picture;
}

bool LoadQrImage(const std::string& Address, const THttpFetch& Fetch, THttpCancel& Cancel, QImage& Picture) {
    try {
        return DecodeJpegImage(Fetch(SponsorPictureRequest(Address), Cancel), Picture);
    } catch (...) {
        return false;
    }
}

bool DecodeJpegImage(const std::string& Bytes, QImage& Picture) {
    TRgbaImage Image;
    if (!DecodeJpeg(reinterpret_cast<const uint8_t*>(Bytes.data()), Bytes.size(), Image)) return false;
    Picture = QImage(Image.Pixels.data(), Image.Width, Image.Height, Image.Width * 4, QImage::Format_RGBA8888).copy();
    return true;
}
