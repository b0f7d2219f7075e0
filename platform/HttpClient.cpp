#include "platform/HttpClient.h"

#include <curl/curl.h>

#include <memory>

const char* const HttpAccept = "text/html, */*";
const char* const HttpUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

THttpError::THttpError(TKind Kind, const std::string& What, long Status)
    : std::runtime_error(What), FKind(Kind), FStatus(Status) {}

void THttpCancel::Cancel() {
    std::lock_guard<std::mutex> Lock(FLock);
    FCancelled = true;
    if (FTransfer) curl_multi_wakeup(static_cast<CURLM*>(FTransfer));
}

bool THttpCancel::Attach(void* Transfer) {
    std::lock_guard<std::mutex> Lock(FLock);
    if (FCancelled) return false;
    FTransfer = Transfer;
    return true;
}

void THttpCancel::Detach() {
    std::lock_guard<std::mutex> Lock(FLock);
    FTransfer = nullptr;
}

namespace {

struct TEasyFree {
    void operator()(CURL* Easy) const { curl_easy_cleanup(Easy); }
};
struct TMultiFree {
    void operator()(CURLM* Multi) const { curl_multi_cleanup(Multi); }
};
struct TListFree {
    void operator()(curl_slist* List) const { curl_slist_free_all(List); }
};
using TEasy = std::unique_ptr<CURL, TEasyFree>;
using TMulti = std::unique_ptr<CURLM, TMultiFree>;
using THeaders = std::unique_ptr<curl_slist, TListFree>;

void GlobalInit() {
    static std::once_flag Once;
    std::call_once(Once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TSink {
    std::string Body;
    size_t MaxBytes = 0;
    bool Overflow = false;
};

size_t Collect(char* Data, size_t Size, size_t Count, void* User) {
    auto* Sink = static_cast<TSink*>(User);
    const size_t Bytes = Size * Count;
    if (Sink->MaxBytes != 0 && Sink->Body.size() + Bytes > Sink->MaxBytes) {
        Sink->Overflow = true;
        return 0;  // anything but Bytes stops the transfer
    }
    Sink->Body.append(Data, Bytes);
    return Bytes;
}

void AddHeader(THeaders& Headers, const std::string& Line) {
    curl_slist* Longer = curl_slist_append(Headers.get(), Line.c_str());
    if (!Longer) throw THttpError(THttpError::TKind::Transfer, "Out of memory for a request header");
    (void)Headers.release();
    Headers.reset(Longer);
}

THttpError Failure(CURLcode Code, const TSink& Sink, const char* Detail) {
    using K = THttpError::TKind;
    const std::string Text = std::string(curl_easy_strerror(Code)) + (*Detail ? std::string(": ") + Detail : "");
    switch (Code) {
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL: return THttpError(K::Address, Text);
    case CURLE_OPERATION_TIMEDOUT: return THttpError(K::TimedOut, Text);
    case CURLE_FILESIZE_EXCEEDED: return THttpError(K::TooLarge, Text);
    case CURLE_WRITE_ERROR:
        if (Sink.Overflow) return THttpError(K::TooLarge, "The answer is larger than allowed");
        return THttpError(K::Transfer, Text);
    default: return THttpError(K::Transfer, Text);
    }
}

// Runs the transfer in a multi handle of its own, so that a cancel from
// another thread can wake the wait instead of being noticed only when
// curl next looks at its progress.
CURLcode Perform(CURL* Easy, THttpCancel* Cancel) {
    TMulti Multi(curl_multi_init());
    if (!Multi) throw THttpError(THttpError::TKind::Transfer, "Cannot start a transfer");
    if (curl_multi_add_handle(Multi.get(), Easy) != CURLM_OK)
        throw THttpError(THttpError::TKind::Transfer, "Cannot start a transfer");
    struct TDetach {
        CURLM* Multi;
        CURL* Easy;
        THttpCancel* Cancel;
        ~TDetach() {
            if (Cancel) Cancel->Detach();
            curl_multi_remove_handle(Multi, Easy);
        }
    } Detach{Multi.get(), Easy, nullptr};
    if (Cancel) {
        if (!Cancel->Attach(Multi.get())) throw THttpError(THttpError::TKind::Cancelled, "The request was cancelled");
        Detach.Cancel = Cancel;
    }

    int Running = 1;
    for (;;) {
        if (curl_multi_perform(Multi.get(), &Running) != CURLM_OK)
            throw THttpError(THttpError::TKind::Transfer, "The transfer failed");
        if (Running == 0) break;
        if (Cancel && Cancel->Cancelled()) throw THttpError(THttpError::TKind::Cancelled, "The request was cancelled");
        if (curl_multi_poll(Multi.get(), nullptr, 0, 1000, nullptr) != CURLM_OK)
            throw THttpError(THttpError::TKind::Transfer, "The transfer failed");
        if (Cancel && Cancel->Cancelled()) throw THttpError(THttpError::TKind::Cancelled, "The request was cancelled");
    }
    int Left = 0;
    while (CURLMsg* Message = curl_multi_info_read(Multi.get(), &Left))
        if (Message->msg == CURLMSG_DONE && Message->easy_handle == Easy) return Message->data.result;
    throw THttpError(THttpError::TKind::Transfer, "The transfer ended without a result");
}

}  // namespace

std::string HttpRequest(const THttpRequest& Request, THttpCancel* Cancel) {
    GlobalInit();
    TEasy Easy(curl_easy_init());
    if (!Easy) throw THttpError(THttpError::TKind::Transfer, "Cannot create an HTTP client");
    CURL* E = Easy.get();

    TSink Sink;
    Sink.MaxBytes = Request.MaxBytes;
    char Detail[CURL_ERROR_SIZE] = "";

    curl_easy_setopt(E, CURLOPT_URL, Request.Url.c_str());
    // Neither the address given nor a redirect may reach local files or any
    // other protocol curl knows.
    curl_easy_setopt(E, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(E, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(E, CURLOPT_FOLLOWLOCATION, Request.FollowRedirects ? 1L : 0L);
    curl_easy_setopt(E, CURLOPT_MAXREDIRS, 15L);
    curl_easy_setopt(E, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(E, CURLOPT_CONNECTTIMEOUT_MS, Request.ConnectTimeoutMs);
    curl_easy_setopt(E, CURLOPT_TIMEOUT_MS, Request.TotalTimeoutMs);
    if (Request.ReadTimeoutMs > 0) {
        // curl measures a stall in whole seconds of less than a byte a second.
        curl_easy_setopt(E, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(E, CURLOPT_LOW_SPEED_TIME, (Request.ReadTimeoutMs + 999) / 1000);
    }
    if (Request.MaxBytes != 0)
        curl_easy_setopt(E, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(Request.MaxBytes));
    curl_easy_setopt(E, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(E, CURLOPT_WRITEDATA, &Sink);
    curl_easy_setopt(E, CURLOPT_ERRORBUFFER, Detail);
    curl_easy_setopt(E, CURLOPT_USERAGENT, HttpUserAgent);

    THeaders Headers;
    AddHeader(Headers, std::string("Accept: ") + HttpAccept);
    if (Request.Method == THttpRequest::TMethod::Post) {
        curl_easy_setopt(E, CURLOPT_POST, 1L);
        curl_easy_setopt(E, CURLOPT_POSTFIELDS, Request.Body.c_str());
        curl_easy_setopt(E, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(Request.Body.size()));
        if (!Request.ContentType.empty()) AddHeader(Headers, "Content-Type: " + Request.ContentType);
        // No "Expect: 100-continue" round trip, whatever the body's size.
        AddHeader(Headers, "Expect:");
    }
    curl_easy_setopt(E, CURLOPT_HTTPHEADER, Headers.get());

    const CURLcode Code = Perform(E, Cancel);
    if (Code != CURLE_OK) throw Failure(Code, Sink, Detail);

    long Status = 0;
    curl_easy_getinfo(E, CURLINFO_RESPONSE_CODE, &Status);
    if (Status < 200 || Status > 299)
        throw THttpError(THttpError::TKind::Status, "HTTP status " + std::to_string(Status), Status);
    return std::move(Sink.Body);
}
