// One fetch of the payment picture on a thread of its own, so that the
// sponsor window keeps painting and counting while the service is slow.
#pragma once

#include <QImage>

#include <functional>
#include <string>
#include <thread>

#include "platform/HttpClient.h"
#include "widgets/WindowServices.h"

class QObject;

class TSponsorFetch {
public:
    using TDone = std::function<void(const QImage& Picture)>;
    // Done runs on Receiver's thread with the fetched picture (null when the
    // fetch failed), unless the fetch is released first.
    TSponsorFetch(std::string ServiceUrl, THttpFetch Fetch, QObject* Receiver, TDone Done);
    // Cancels a fetch that still runs and waits for its thread, which the
    // cancel ends at once: closing the window does not wait for a time-out.
    ~TSponsorFetch();
    TSponsorFetch(const TSponsorFetch&) = delete;
    TSponsorFetch& operator=(const TSponsorFetch&) = delete;

private:
    THttpCancel FCancel;
    std::thread FThread;
};
