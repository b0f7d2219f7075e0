// One HTTP request at a time through libcurl, bounded in time and size,
// limited to http and https, and cancellable from another thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <stdexcept>
#include <string>

struct THttpRequest {
    enum class TMethod { Get, Post };
    TMethod Method = TMethod::Get;
    std::string Url;
    // Sent as the Content-Type of a POST; a GET sends none.
    std::string ContentType;
    // The body of a POST; empty gives Content-Length 0.
    std::string Body;
    // Redirects to http or https addresses are followed; otherwise a
    // redirect answer is an error.
    bool FollowRedirects = false;
    // Longest wait for the next data once connected; 0 waits as long as the
    // whole request may take.
    long ReadTimeoutMs = 0;
    // No request may hang for ever: a service that accepts and never answers
    // would otherwise hold its caller as long as the connection stays up.
    long ConnectTimeoutMs = 5000;
    long TotalTimeoutMs = 10000;
    // Largest body taken; 0 takes any size.
    size_t MaxBytes = 0;
};

// The request headers every request carries besides Host (and, for a POST,
// Content-Type and Content-Length).
extern const char* const HttpAccept;
extern const char* const HttpUserAgent;

class THttpError : public std::runtime_error {
public:
    enum class TKind {
        Address,    // an empty or malformed address, or a scheme other than http and https
        Transfer,   // no connection, a broken one, or a malformed answer
        Status,     // an answer other than 2xx (a redirect that is not followed among them)
        TimedOut,   // the connection, the next data or the whole request took too long
        TooLarge,   // the body is longer than MaxBytes
        Cancelled,  // THttpCancel::Cancel was called
    };
    THttpError(TKind Kind, const std::string& What, long Status = 0);
    TKind Kind() const { return FKind; }
    // The HTTP status of a Status error, 0 otherwise.
    long Status() const { return FStatus; }

private:
    TKind FKind;
    long FStatus;
};

// Stops the transfer that is given it, from any thread, at once: a request
// waiting for a silent server does not wait out its time-out. Once cancelled
// it stays so, and a request started with it fails at once.
class THttpCancel {
public:
    THttpCancel() = default;
    THttpCancel(const THttpCancel&) = delete;
    THttpCancel& operator=(const THttpCancel&) = delete;

    void Cancel();
    bool Cancelled() const { return FCancelled.load(); }

    // For the request while it waits in Transfer (a curl multi handle):
    // false when already cancelled, and the request then does not start.
    bool Attach(void* Transfer);
    void Detach();

private:
    std::mutex FLock;
    std::atomic<bool> FCancelled{false};
    void* FTransfer = nullptr;  // the multi handle a request waits in
};

// The body of a 2xx answer; any failure raises THttpError.
std::string HttpRequest(const THttpRequest& Request, THttpCancel* Cancel = nullptr);
