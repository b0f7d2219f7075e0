// The small message window shown whenever the editor window closes; it is
// left only through its own buttons.
#pragma once

#include <QObject>

#include "sponsor/SponsorControls.h"
#include "sponsor/SponsorServices.h"
#include "widgets/FormControls.h"

class TFrmSponsorMsg : public TModalForm {
    Q_OBJECT
public:
    explicit TFrmSponsorMsg(TSponsorServices Services = {});

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
    TSponsorServices FServices;
};

// Creates, shows modally and releases a TFrmSponsorMsg.
void ShowSponsorMessage(const TSponsorServices& Services = {});
