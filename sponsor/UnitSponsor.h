// The sponsor window: the appeal, the payment picture fetched from the
// information service while the window is open, and its two buttons, which
// the waiting mode keeps disabled for 60 seconds.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

#include "sponsor/SponsorControls.h"
#include "widgets/FormControls.h"
#include "widgets/WindowServices.h"

class TSponsorFetch;

class TFrmSponsor : public TModalForm {
    Q_OBJECT
public:
    explicit TFrmSponsor(TWindowServices Services = DefaultWindowServices());
    ~TFrmSponsor() override;

    // ---- controls, by their designer names ----
    TRzButton* BtnHasDo;
    TMemo* MemoInfo;
    TPanel* Panel1;
    TShape* Shape1;
    TImage* ImageQR;
    TLabel* Label1;
    TLabel* LabelQR;
    TTimer* TimerWait;
    TRzButton* BtnClose;
    TTimer* TimerGetInfo;

    // Seconds of the waiting mode so far.
    int32_t WaitTicks = 0;

    void BtnHasDoClick(QObject* Sender);
    void BtnCloseClick(QObject* Sender);
    void TimerWaitTimer(QObject* Sender);
    void TimerGetInfoTimer(QObject* Sender);
    void FormCloseQuery(QObject* Sender, bool& CanClose) override;

    // Starts the fetch of the payment picture off the window thread; the
    // picture area shows the picture (fetched or built in) when it ends.
    void FetchSponsorInfo();
    bool Fetching() const { return FFetch != nullptr; }

signals:
    // The picture area has changed from "please wait" to the picture; Fetched
    // tells whether it is one from the information service.
    void PictureShown(bool Fetched);

private:
    void CreateControls();
    void ShowPicture(const QImage& Fetched);

    std::unique_ptr<TSponsorFetch> FFetch;
};

// Steps of ShowSponsorWindow before the window's modal run: the appeal text,
// the caption of BtnHasDo, the waiting mode, the picture area.
void PrepareSponsorWindow(TFrmSponsor& Form, bool Wait);
// Creates, shows modally and releases a sponsor window; true when the user
// confirmed having sponsored.
bool ShowSponsorWindow(bool Wait, const TWindowServices& Services = DefaultWindowServices());

// The work of the fetch, on whatever thread runs it: the information
// service's reply at ServiceUrl names the picture, which LoadQrImage gets.
// A null picture when anything fails; no error leaves it.
QImage FetchSponsorPicture(const std::string& ServiceUrl, const THttpFetch& Fetch, THttpCancel& Cancel);
// GETs the JPEG picture at Address into Picture; false, leaving Picture as
// it was, when it cannot be fetched or is no JPEG picture.
bool LoadQrImage(const std::string& Address, const THttpFetch& Fetch, THttpCancel& Cancel, QImage& Picture);
// A JPEG picture decoded by libjpeg; false for anything else.
bool DecodeJpegImage(const std::string& Bytes, QImage& Picture);
