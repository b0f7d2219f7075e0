// A small HTTP/1.1 server on 127.0.0.1 for the tests of the network code:
// canned answers by path, every request recorded byte for byte as it came,
// and answers that never come, for time-outs and cancelling.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct TRecordedRequest {
    std::string Method, Target, Version;
    // In the order sent, names as sent.
    std::vector<std::pair<std::string, std::string>> Headers;
    std::string Body;
    // The value of the first header of this name in any letter case; empty when absent.
    std::string Header(const std::string& Name) const;
};

struct TCannedAnswer {
    // Sent as they are (status line, headers, body); then the connection closes.
    std::string Bytes;
    // Reads the request and then says nothing until the server stops.
    bool Silent = false;
};

// "HTTP/1.1 Status Reason" with Content-Length and "Connection: close";
// Extra holds further header lines, each ending in CR LF.
std::string HttpAnswer(int Status, const std::string& Body, const std::string& Extra = std::string());
// A redirect to Location.
std::string HttpRedirect(int Status, const std::string& Location);

class TLocalHttpServer {
public:
    TLocalHttpServer();
    ~TLocalHttpServer();
    TLocalHttpServer(const TLocalHttpServer&) = delete;
    TLocalHttpServer& operator=(const TLocalHttpServer&) = delete;

    int Port() const { return FPort; }
    // "http://127.0.0.1:<port>" followed by Target.
    std::string Url(const std::string& Target) const;
    // The answer for a path (the target without its query); other paths get a 404.
    void Answer(const std::string& Path, TCannedAnswer Answer);
    void Answer(const std::string& Path, const std::string& Bytes) { Answer(Path, TCannedAnswer{Bytes, false}); }

    std::vector<TRecordedRequest> Requests() const;
    // Waits until Count requests have come in, at most TimeoutMs; true when they have.
    bool WaitForRequests(size_t Count, int TimeoutMs) const;

private:
    void AcceptLoop();
    void Serve(int Client);
    bool WaitReadable(int Fd) const;

    int FListen = -1;
    int FStopPipe[2] = {-1, -1};
    int FPort = 0;
    mutable std::mutex FLock;
    mutable std::condition_variable FArrived;
    std::map<std::string, TCannedAnswer> FAnswers;
    std::vector<TRecordedRequest> FRequests;
    std::vector<std::thread> FConnections;
    std::thread FAcceptor;
};
