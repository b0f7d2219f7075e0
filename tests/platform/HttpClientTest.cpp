#include "platform/HttpClient.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

#include "tests/support/LocalHttpServer.h"

namespace {

using K = THttpError::TKind;

THttpRequest Get(const std::string& Url) {
    THttpRequest R;
    R.Url = Url;
    return R;
}

std::set<std::string> HeaderNames(const TRecordedRequest& Request) {
    std::set<std::string> Names;
    for (const auto& [Name, Value] : Request.Headers) Names.insert(Name);
    return Names;
}

// The kind of error a request ends in; no error counts as a test failure.
K FailureOf(const THttpRequest& Request, THttpCancel* Cancel = nullptr) {
    try {
        HttpRequest(Request, Cancel);
    } catch (const THttpError& E) {
        return E.Kind();
    }
    ADD_FAILURE() << Request.Url << " did not fail";
    return K::Transfer;
}

TEST(HttpClientTest, PostAndGetCarryOnlyTheirOwnHeadersAndReturnTheBodyUnchanged) {
    TLocalHttpServer Server;
    Server.Answer("/zz/zzinfo.asp", HttpAnswer(200, "!abc-http://x/y-z.jpg\r\n"));
    Server.Answer("/pic", HttpAnswer(200, std::string("\xFF\xD8\0\x01", 4)));

    THttpRequest Post = Get(Server.Url("/zz/zzinfo.asp"));
    Post.Method = THttpRequest::TMethod::Post;
    Post.ContentType = "application/x-www-form-urlencoded";
    EXPECT_EQ(HttpRequest(Post), "!abc-http://x/y-z.jpg\r\n");
    EXPECT_EQ(HttpRequest(Get(Server.Url("/pic"))), std::string("\xFF\xD8\0\x01", 4));

    const auto Requests = Server.Requests();
    ASSERT_EQ(Requests.size(), 2u);
    const TRecordedRequest& P = Requests[0];
    EXPECT_EQ(P.Method, "POST");
    EXPECT_EQ(P.Target, "/zz/zzinfo.asp");
    EXPECT_EQ(HeaderNames(P),
              (std::set<std::string>{"Host", "User-Agent", "Accept", "Content-Type", "Content-Length"}));
    EXPECT_EQ(P.Header("Accept"), "text/html, */*");
    EXPECT_EQ(P.Header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(P.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(P.Header("Content-Length"), "0");
    EXPECT_EQ(P.Body, "");

    const TRecordedRequest& G = Requests[1];
    EXPECT_EQ(G.Method, "GET");
    EXPECT_EQ(HeaderNames(G), (std::set<std::string>{"Host", "User-Agent", "Accept"}));
    EXPECT_EQ(G.Header("Accept"), "text/html, */*");
}

TEST(HttpClientTest, RedirectsAreFollowedOnlyWhenAskedAndOnlyToHttp) {
    TLocalHttpServer Server;
    Server.Answer("/moved", HttpRedirect(302, Server.Url("/here")));
    Server.Answer("/here", HttpAnswer(200, "arrived"));
    Server.Answer("/to-file", HttpRedirect(302, "file:///etc/hostname"));

    THttpRequest Follow = Get(Server.Url("/moved"));
    Follow.FollowRedirects = true;
    EXPECT_EQ(HttpRequest(Follow), "arrived");

    try {
        HttpRequest(Get(Server.Url("/moved")));
        ADD_FAILURE() << "a redirect that is not followed must fail";
    } catch (const THttpError& E) {
        EXPECT_EQ(E.Kind(), K::Status);
        EXPECT_EQ(E.Status(), 302);
    }

    THttpRequest ToFile = Get(Server.Url("/to-file"));
    ToFile.FollowRedirects = true;
    EXPECT_EQ(FailureOf(ToFile), K::Address);
    // /moved, /here, /moved again, /to-file: nothing beyond.
    EXPECT_EQ(Server.Requests().size(), 4u);
}

TEST(HttpClientTest, EveryFailureRaisesItsKind) {
    TLocalHttpServer Server;
    Server.Answer("/error", HttpAnswer(500, "broken"));
    int ClosedPort = 0;
    {
        TLocalHttpServer Gone;
        ClosedPort = Gone.Port();
    }
    const std::pair<std::string, K> Cases[] = {
        {Server.Url("/missing"), K::Status},
        {Server.Url("/error"), K::Status},
        {"http://127.0.0.1:" + std::to_string(ClosedPort) + "/", K::Transfer},
        {"", K::Address},
        {"file:///etc/hostname", K::Address},
        {"ftp://127.0.0.1/x", K::Address},
        {"not an address", K::Address},
        {Server.Url("/pic.jpg\r\n"), K::Address},
    };
    for (const auto& [Url, Kind] : Cases) EXPECT_EQ(FailureOf(Get(Url)), Kind) << Url;
    // Only the first two reached the server.
    EXPECT_EQ(Server.Requests().size(), 2u);
}

TEST(HttpClientTest, BodiesBeyondTheLimitAreRefusedWithOrWithoutALength) {
    TLocalHttpServer Server;
    const std::string Exact(1000, 'x');
    Server.Answer("/exact", HttpAnswer(200, Exact));
    Server.Answer("/long", HttpAnswer(200, Exact + "y"));
    // No Content-Length: the size is known only while the body comes in.
    Server.Answer("/stream", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(5000, 'z'));

    THttpRequest R = Get(Server.Url("/exact"));
    R.MaxBytes = 1000;
    EXPECT_EQ(HttpRequest(R), Exact);
    R.Url = Server.Url("/long");
    EXPECT_EQ(FailureOf(R), K::TooLarge);
    R.Url = Server.Url("/stream");
    EXPECT_EQ(FailureOf(R), K::TooLarge);
    R.MaxBytes = 0;
    EXPECT_EQ(HttpRequest(R).size(), 5000u);
}

TEST(HttpClientTest, ASilentServerEndsInATimeOutOrACancel) {
    TLocalHttpServer Server;
    Server.Answer("/silent", TCannedAnswer{std::string(), true});

    THttpRequest Total = Get(Server.Url("/silent"));
    Total.TotalTimeoutMs = 300;
    EXPECT_EQ(FailureOf(Total), K::TimedOut);

    // The read time-out alone ends it as well (curl counts it in whole seconds).
    THttpRequest Read = Get(Server.Url("/silent"));
    Read.ReadTimeoutMs = 1000;
    Read.TotalTimeoutMs = 60000;
    EXPECT_EQ(FailureOf(Read), K::TimedOut);

    // A cancel from another thread ends the wait; the time-out is far away.
    THttpRequest Long = Get(Server.Url("/silent"));
    Long.TotalTimeoutMs = 60000;
    THttpCancel Cancel;
    std::thread Canceller([&] {
        Server.WaitForRequests(3, 10000);
        Cancel.Cancel();
    });
    EXPECT_EQ(FailureOf(Long, &Cancel), K::Cancelled);
    Canceller.join();

    // Once cancelled, a request does not even start.
    EXPECT_EQ(FailureOf(Get(Server.Url("/silent")), &Cancel), K::Cancelled);
    EXPECT_EQ(Server.Requests().size(), 3u);
}

}  // namespace
