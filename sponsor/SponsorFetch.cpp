#include "sponsor/SponsorFetch.h"

#include <QMetaObject>
#include <QObject>

#include <utility>

#include "sponsor/UnitSponsor.h"

TSponsorFetch::TSponsorFetch(std::string ServiceUrl, THttpFetch Fetch, QObject* Receiver, TDone Done) {
    FThread =
        std::thread([this, Url = std::move(ServiceUrl), Fetch = std::move(Fetch), Receiver, Done = std::move(Done)] {
            const QImage Picture = FetchSponsorPicture(Url, Fetch, FCancel);
            // The receiver outlives this thread (the destructor waits for it),
            // and a call still queued when the receiver goes is dropped with it.
            if (!FCancel.Cancelled())
                QMetaObject::invokeMethod(
                    Receiver, [Done, Picture] { Done(Picture); }, Qt::QueuedConnection);
        });
}

TSponsorFetch::~TSponsorFetch() {
    FCancel.Cancel();
    FThread.join();
}
