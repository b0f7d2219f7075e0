// The small message window shown whenever the editor window closes; it is
// left only through its own buttons.
#pragma once

#include <QObject>

#include "sponsor/SponsorControls.h"
#include "widgets/FormControls.h"
#include "widgets/WindowServices.h"

class TFrmSponsorMsg : public TModalForm {
    Q_OBJECT
public:
    explicit TFrmSponsorMsg(TWindowServices Services = DefaultWindowServices());

    // ---- controls, by their designer names ----
    TLabel* Label1;
    TLabel* Label2;
    TRzButton* BtnHasDo;
    TRzButton* RzButton1;
    TRzButton* RzButton2;

    void BtnHasDoClick(QObject* Sender);
    void RzButton1Click(QObject* Sender);
    void FormCloseQuery(QObject* Sender, bool& CanClose) override;

private:
};

// Creates, shows modally and releases a TFrmSponsorMsg.
void ShowSponsorMessage(const TWindowServices& Services = DefaultWindowServices());
