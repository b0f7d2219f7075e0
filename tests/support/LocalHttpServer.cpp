#include "tests/support/LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace {

bool SameName(const std::string& A, const std::string& B) {
    if (A.size() != B.size()) return false;
    for (size_t I = 0; I < A.size(); ++I)
        if (std::tolower(static_cast<unsigned char>(A[I])) != std::tolower(static_cast<unsigned char>(B[I])))
            return false;
    return true;
}

std::string Reason(int Status) {
    switch (Status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

void SendAll(int Fd, const std::string& Bytes) {
    size_t Sent = 0;
    while (Sent < Bytes.size()) {
        const ssize_t N = ::send(Fd, Bytes.data() + Sent, Bytes.size() - Sent, MSG_NOSIGNAL);
        if (N <= 0) return;
        Sent += static_cast<size_t>(N);
    }
}

}  // namespace

std::string TRecordedRequest::Header(const std::string& Name) const {
    for (const auto& [Key, Value] : Headers)
        if (SameName(Key, Name)) return Value;
    return std::string();
}

std::string HttpAnswer(int Status, const std::string& Body, const std::string& Extra) {
    return "HTTP/1.1 " + std::to_string(Status) + " " + Reason(Status) +
           "\r\nContent-Length: " + std::to_string(Body.size()) + "\r\nConnection: close\r\n" + Extra + "\r\n" + Body;
}

std::string HttpRedirect(int Status, const std::string& Location) {
    return HttpAnswer(Status, std::string(), "Location: " + Location + "\r\n");
}

TLocalHttpServer::TLocalHttpServer() {
    if (::pipe(FStopPipe) != 0) throw std::runtime_error("pipe");
    FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FListen < 0) throw std::runtime_error("socket");
    sockaddr_in Address{};
    Address.sin_family = AF_INET;
    Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Address.sin_port = 0;
    if (::bind(FListen, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0 || ::listen(FListen, 16) != 0)
        throw std::runtime_error("bind/listen");
    socklen_t Length = sizeof Address;
    ::getsockname(FListen, reinterpret_cast<sockaddr*>(&Address), &Length);
    FPort = ntohs(Address.sin_port);
    FAcceptor = std::thread([this] { AcceptLoop(); });
}

TLocalHttpServer::~TLocalHttpServer() {
    const char Stop = 'x';
    (void)!::write(FStopPipe[1], &Stop, 1);
    FAcceptor.join();
    for (std::thread& Connection : FConnections) Connection.join();
    ::close(FListen);
    ::close(FStopPipe[0]);
    ::close(FStopPipe[1]);
}

std::string TLocalHttpServer::Url(const std::string& Target) const {
    return "http://127.0.0.1:" + std::to_string(FPort) + Target;
}

void TLocalHttpServer::Answer(const std::string& Path, TCannedAnswer Answer) {
    std::lock_guard<std::mutex> Lock(FLock);
    FAnswers[Path] = std::move(Answer);
}

std::vector<TRecordedRequest> TLocalHttpServer::Requests() const {
    std::lock_guard<std::mutex> Lock(FLock);
    return FRequests;
}

bool TLocalHttpServer::WaitForRequests(size_t Count, int TimeoutMs) const {
    std::unique_lock<std::mutex> Lock(FLock);
    return FArrived.wait_for(Lock, std::chrono::milliseconds(TimeoutMs), [&] { return FRequests.size() >= Count; });
}

// True when Fd has data (or was closed); false once the server stops.
bool TLocalHttpServer::WaitReadable(int Fd) const {
    pollfd Fds[2] = {{Fd, POLLIN, 0}, {FStopPipe[0], POLLIN, 0}};
    for (;;) {
        if (::poll(Fds, 2, -1) < 0) return false;
        if (Fds[1].revents) return false;
        if (Fds[0].revents) return true;
    }
}

void TLocalHttpServer::AcceptLoop() {
    while (WaitReadable(FListen)) {
        const int Client = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (Client < 0) continue;
        FConnections.emplace_back([this, Client] { Serve(Client); });
    }
}

void TLocalHttpServer::Serve(int Client) {
    std::string Data;
    char Buffer[4096];
    size_t HeadEnd = std::string::npos;
    size_t BodyLength = 0;
    for (;;) {
        if (HeadEnd != std::string::npos && Data.size() >= HeadEnd + 4 + BodyLength) break;
        if (!WaitReadable(Client)) break;
        const ssize_t N = ::recv(Client, Buffer, sizeof Buffer, 0);
        if (N <= 0) break;
        Data.append(Buffer, static_cast<size_t>(N));
        if (HeadEnd == std::string::npos && (HeadEnd = Data.find("\r\n\r\n")) != std::string::npos) {
            const size_t At = Data.substr(0, HeadEnd).find("\r\nContent-Length:");
            if (At != std::string::npos) BodyLength = std::strtoul(Data.c_str() + At + 17, nullptr, 10);
        }
    }
    if (HeadEnd == std::string::npos) {
        ::close(Client);
        return;
    }

    TRecordedRequest Request;
    const std::string Head = Data.substr(0, HeadEnd);
    size_t LineEnd = Head.find("\r\n");
    const std::string First = Head.substr(0, LineEnd);
    const size_t Space1 = First.find(' '), Space2 = First.rfind(' ');
    Request.Method = First.substr(0, Space1);
    Request.Target = First.substr(Space1 + 1, Space2 - Space1 - 1);
    Request.Version = First.substr(Space2 + 1);
    while (LineEnd != std::string::npos && LineEnd < Head.size()) {
        const size_t Start = LineEnd + 2;
        LineEnd = Head.find("\r\n", Start);
        const std::string Line = Head.substr(Start, LineEnd == std::string::npos ? std::string::npos : LineEnd - Start);
        const size_t Colon = Line.find(':');
        std::string Value = Line.substr(Colon + 1);
        while (!Value.empty() && Value.front() == ' ') Value.erase(0, 1);
        Request.Headers.emplace_back(Line.substr(0, Colon), Value);
    }
    Request.Body = Data.substr(HeadEnd + 4);
    const std::string Path = Request.Target.substr(0, Request.Target.find('?'));

    TCannedAnswer Answer{HttpAnswer(404, "not here"), false};
    {
        std::lock_guard<std::mutex> Lock(FLock);
        FRequests.push_back(Request);
        const auto Found = FAnswers.find(Path);
        if (Found != FAnswers.end()) Answer = Found->second;
    }
    FArrived.notify_all();
    if (Answer.Silent) {
        // Holds the connection open without a word until the server stops
        // or the client gives up.
        while (WaitReadable(Client) && ::recv(Client, Buffer, sizeof Buffer, 0) > 0) {}
    } else {
        SendAll(Client, Answer.Bytes);
    }
    ::close(Client);
}
