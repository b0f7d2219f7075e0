#include "sponsor/UnitSponsorMsg.h"

#include <QAbstractButton>

#include <utility>

#include "sponsor/UnitSponsor.h"
#include "widgets/FormServices.h"

namespace {

TRzButton* NewButton(QWidget* Parent, const char* Name, int Left, int Top, int Width, const QString& Caption) {
    auto* Button = NewControl<TRzButton>(Parent, Name, Left, Top, Width, 28);
    Button->setText(Caption);
    return Button;
}

}  // namespace

TFrmSponsorMsg::TFrmSponsorMsg(TWindowServices Services) : TModalForm(std::move(Services)) {
    setObjectName(QStringLiteral("FrmSponsorMsg"));
    setWindowTitle(QStringLiteral("信息"));
    setFixedSize(364, 156);
    setFont(PixelFont(QStringLiteral("微软雅黑"), 13));

    Label1 = NewLabel(this, "Label1", 24, 54, QStringLiteral("我们需要您的赞助，仅需一点零花钱......"));
    Label2 = NewLabel(this, "Label2", 24, 30, QStringLiteral("为了让这个软件做的更好，并且能够给更多的人带来帮助。"));
    BtnHasDo = NewButton(this, "BtnHasDo", 28, 108, 133, QStringLiteral("慷慨解囊，去赞助"));
    RzButton1 = NewButton(this, "RzButton1", 164, 108, 85, QStringLiteral("我已赞助"));
    RzButton2 = NewButton(this, "RzButton2", 252, 108, 85, QStringLiteral("下次再说"));

    connect(BtnHasDo, &QAbstractButton::clicked, this,
            [this] { RunHandler(FServices, [this] { BtnHasDoClick(BtnHasDo); }); });
    for (TRzButton* Button : {RzButton1, RzButton2})
        connect(Button, &QAbstractButton::clicked, this,
                [this, Button] { RunHandler(FServices, [this, Button] { RzButton1Click(Button); }); });
}

void TFrmSponsorMsg::BtnHasDoClick(QObject*) {
    if (ShowSponsorWindow(false, FServices)) SetModalResult(mrOk);
}

void TFrmSponsorMsg::RzButton1Click(QObject*) { SetModalResult(mrOk); }

void TFrmSponsorMsg::FormCloseQuery(QObject*, bool& CanClose) { CanClose = ModalResult() == mrOk; }

void ShowSponsorMessage(const TWindowServices& Services) {
    TFrmSponsorMsg Form(Services);
    Form.ShowModal();
}
