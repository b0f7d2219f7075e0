// The sponsor window's picture fetch against a local HTTP server: the reply
// parser, the two requests as they leave and as the server sees them, every
// way the exchange can fail (each leaving the built-in picture), a service
// that never answers (the window keeps running meanwhile), and a close in
// the middle of a fetch.
#include <QtTest/QtTest>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QSignalSpy>

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/HttpClient.h"
#include "sponsor/SponsorInfo.h"
#include "sponsor/UnitSponsor.h"
#include "tests/support/JpegMaker.h"
#include "tests/support/LocalHttpServer.h"
#include "widgets/FormServices.h"

namespace {

using K = THttpError::TKind;

// What the window handed to its fetch, and how each request ended; filled
// on the fetch's thread.
struct TFetchLog {
    std::mutex Lock;
    std::vector<THttpRequest> Requests;
    std::vector<std::string> Outcomes;  // "ok" or the kind of error
    long TotalTimeoutMs = 0;            // 0 keeps the window's own

    THttpFetch Fetch() {
        return [this](const THttpRequest& Request, THttpCancel& Cancel) {
            THttpRequest Sent = Request;
            if (TotalTimeoutMs) Sent.TotalTimeoutMs = TotalTimeoutMs;
            {
                std::lock_guard<std::mutex> L(Lock);
                Requests.push_back(Request);
            }
            try {
                std::string Body = HttpRequest(Sent, &Cancel);
                Note("ok");
                return Body;
            } catch (const THttpError& E) {
                Note(KindName(E.Kind()));
                throw;
            }
        };
    }
    void Note(const std::string& Outcome) {
        std::lock_guard<std::mutex> L(Lock);
        Outcomes.push_back(Outcome);
    }
    static std::string KindName(K Kind) {
        switch (Kind) {
        case K::Address: return "address";
        case K::Transfer: return "transfer";
        case K::Status: return "status";
        case K::TimedOut: return "timed out";
        case K::TooLarge: return "too large";
        case K::Cancelled: return "cancelled";
        }
        return "?";
    }
};

QStringList ServedBy(const TLocalHttpServer& Server) {
    QStringList Lines;
    for (const TRecordedRequest& R : Server.Requests()) Lines << QString::fromStdString(R.Method + " " + R.Target);
    return Lines;
}

std::string Png() {
    QImage Image(40, 30, QImage::Format_RGB32);
    Image.fill(Qt::blue);
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    Image.save(&Buffer, "PNG");
    return Bytes.toStdString();
}

}  // namespace

class SponsorFetchTest : public QObject {
    Q_OBJECT

private:
    // One sponsor window in its waiting mode, fetching from Service, until
    // its picture shows; false when it never does.
    struct TRun {
        bool Shown = false;
        bool Fetched = false;
        QSize Picture;
        QColor TopLeft;
        int TicksWhileFetching = 0;
    };
    TRun Run(TFetchLog& Log, const std::string& Service) {
        qputenv("SEGMORA_SPONSOR_INFO_URL", QByteArray::fromStdString(Service));
        TWindowServices S = DefaultWindowServices();
        S.HttpFetch = Log.Fetch();
        TFrmSponsor F(S);
        PrepareSponsorWindow(F, true);
        QSignalSpy Shown(&F, &TFrmSponsor::PictureShown);
        // A timer of the window's thread, counted while the fetch runs.
        TRun Result;
        QTimer Beat;
        connect(&Beat, &QTimer::timeout, &F, [&] {
            if (F.Fetching()) ++Result.TicksWhileFetching;
        });
        Beat.start(20);
        F.show();
        // The picture timer's tick at once, instead of 100 ms later.
        F.TimerGetInfoTimer(F.TimerGetInfo);
        Result.Shown = Shown.count() == 1 || Shown.wait(15000);
        if (!Result.Shown) return Result;
        Result.Fetched = Shown.at(0).at(0).toBool();
        Result.Picture = F.ImageQR->Picture().size();
        Result.TopLeft = F.ImageQR->Picture().toImage().pixelColor(0, 0);
        // The picture shows in place of "please wait", sized to itself.
        if (!F.ImageQR->isVisible() || F.Label1->isVisible() || F.Shape1->isVisible() ||
            F.ImageQR->size() != Result.Picture)
            Result.Shown = false;
        return Result;
    }

private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        InstallFontSubstitutes();
    }

    void parsesTheReply_data() {
        QTest::addColumn<QByteArray>("Reply");
        QTest::addColumn<bool>("Names");
        QTest::addColumn<QByteArray>("Address");
        QTest::newRow("plain") << QByteArray("!ok-http://host/pic.jpg") << true << QByteArray("http://host/pic.jpg");
        QTest::newRow("a further dash") << QByteArray("!x-http://my-host/a-b.jpg") << true
                                        << QByteArray("http://my-host/a-b.jpg");
        QTest::newRow("line break kept") << QByteArray("!-http://h/p.jpg\r\n") << true
                                         << QByteArray("http://h/p.jpg\r\n");
        QTest::newRow("blanks kept") << QByteArray("!- http://h/p.jpg ") << true << QByteArray(" http://h/p.jpg ");
        QTest::newRow("empty address") << QByteArray("!-") << true << QByteArray();
        QTest::newRow("dash first after the mark") << QByteArray("!--") << true << QByteArray("-");
        QTest::newRow("empty") << QByteArray() << false << QByteArray();
        QTest::newRow("mark only") << QByteArray("!") << false << QByteArray();
        QTest::newRow("no dash") << QByteArray("!http://host/pic.jpg") << false << QByteArray();
        QTest::newRow("no mark") << QByteArray("ok-http://host/pic.jpg") << false << QByteArray();
        QTest::newRow("blank before the mark") << QByteArray(" !-http://h/p.jpg") << false << QByteArray();
        QTest::newRow("a zero byte") << QByteArray("!\0-a\0b", 6) << true << QByteArray("a\0b", 3);
    }
    void parsesTheReply() {
        QFETCH(QByteArray, Reply);
        QFETCH(bool, Names);
        QFETCH(QByteArray, Address);
        std::string Got = "untouched";
        QCOMPARE(ParseSponsorReply(Reply.toStdString(), Got), Names);
        if (Names) QCOMPARE(QByteArray::fromStdString(Got), Address);
    }

    void requestsAndServiceAddress() {
        const THttpRequest Info = SponsorInfoRequest("http://service/zz/zzinfo.asp");
        QVERIFY(Info.Method == THttpRequest::TMethod::Post);
        QCOMPARE(Info.Url, std::string("http://service/zz/zzinfo.asp"));
        QCOMPARE(Info.ContentType, std::string("application/x-www-form-urlencoded"));
        QVERIFY(Info.Body.empty());
        QVERIFY(Info.FollowRedirects);
        QCOMPARE(Info.ReadTimeoutMs, 10000L);
        QCOMPARE(Info.ConnectTimeoutMs, 5000L);
        QCOMPARE(Info.TotalTimeoutMs, 10000L);
        QCOMPARE(Info.MaxBytes, size_t(16 * 1024));

        const THttpRequest Picture = SponsorPictureRequest("http://host/p.jpg\r\n");
        QVERIFY(Picture.Method == THttpRequest::TMethod::Get);
        QCOMPARE(Picture.Url, std::string("http://host/p.jpg\r\n"));
        QVERIFY(!Picture.FollowRedirects);
        QCOMPARE(Picture.ConnectTimeoutMs, 5000L);
        QCOMPARE(Picture.TotalTimeoutMs, 10000L);
        QCOMPARE(Picture.MaxBytes, size_t(4 * 1024 * 1024));

        qputenv("SEGMORA_SPONSOR_INFO_URL", "http://127.0.0.1:9/zz/zzinfo.asp");
        QCOMPARE(SponsorInfoUrl(), std::string("http://127.0.0.1:9/zz/zzinfo.asp"));
        // Set but empty: no service, whatever the build names.
        qputenv("SEGMORA_SPONSOR_INFO_URL", "");
        QCOMPARE(SponsorInfoUrl(), std::string());
    }

    void showsTheFetchedPictureOrTheBuiltInOne_data() {
        QTest::addColumn<QString>("Reply");  // "@" stands for the server's address
        QTest::addColumn<bool>("Fetched");
        QTest::addColumn<QStringList>("Served");
        QTest::addColumn<QStringList>("Outcomes");
        const QStringList Post{"POST /zz/zzinfo.asp"};
        QTest::newRow("success") << "!v1-@/pic.jpg" << true << (Post + QStringList{"GET /pic.jpg"})
                                 << QStringList{"ok", "ok"};
        QTest::newRow("a further dash") << "!x-@/a-b-c.jpg" << true << (Post + QStringList{"GET /a-b-c.jpg"})
                                        << QStringList{"ok", "ok"};
        QTest::newRow("trailing line break") << "!x-@/pic.jpg\r\n" << false << Post << QStringList{"ok", "address"};
        QTest::newRow("empty address") << "!-" << false << Post << QStringList{"ok", "address"};
        QTest::newRow("file address") << "!x-file:///etc/hostname" << false << Post << QStringList{"ok", "address"};
        QTest::newRow("no mark") << "x-@/pic.jpg" << false << Post << QStringList{"ok"};
        QTest::newRow("no dash") << "!@/pic.jpg" << false << Post << QStringList{"ok"};
        QTest::newRow("reply too long") << QStringLiteral("!x-@/pic.jpg") + QString(16 * 1024, QLatin1Char('x'))
                                        << false << Post << QStringList{"too large"};
        QTest::newRow("not a JPEG") << "!x-@/pic.png" << false << (Post + QStringList{"GET /pic.png"})
                                    << QStringList{"ok", "ok"};
        QTest::newRow("truncated JPEG") << "!x-@/cut.jpg" << false << (Post + QStringList{"GET /cut.jpg"})
                                        << QStringList{"ok", "ok"};
        QTest::newRow("JPEG too wide") << "!x-@/wide.jpg" << false << (Post + QStringList{"GET /wide.jpg"})
                                       << QStringList{"ok", "ok"};
        QTest::newRow("picture too long")
            << "!x-@/huge.jpg" << false << (Post + QStringList{"GET /huge.jpg"}) << QStringList{"ok", "too large"};
        QTest::newRow("picture missing") << "!x-@/gone.jpg" << false << (Post + QStringList{"GET /gone.jpg"})
                                         << QStringList{"ok", "status"};
        QTest::newRow("picture redirects")
            << "!x-@/moved.jpg" << false << (Post + QStringList{"GET /moved.jpg"}) << QStringList{"ok", "status"};
    }
    void showsTheFetchedPictureOrTheBuiltInOne() {
        QFETCH(QString, Reply);
        QFETCH(bool, Fetched);
        QFETCH(QStringList, Served);
        QFETCH(QStringList, Outcomes);
        TLocalHttpServer Server;
        const std::string Origin = Server.Url("");
        const std::string Jpeg = MakeJpeg(320, 200);
        std::string Body = Reply.toStdString();
        for (size_t At = Body.find('@'); At != std::string::npos; At = Body.find('@', At + Origin.size()))
            Body.replace(At, 1, Origin);
        Server.Answer("/zz/zzinfo.asp", HttpAnswer(200, Body));
        Server.Answer("/pic.jpg", HttpAnswer(200, Jpeg));
        Server.Answer("/a-b-c.jpg", HttpAnswer(200, Jpeg));
        Server.Answer("/pic.png", HttpAnswer(200, Png()));
        Server.Answer("/cut.jpg", HttpAnswer(200, Jpeg.substr(0, Jpeg.size() * 2 / 3)));
        Server.Answer("/wide.jpg", HttpAnswer(200, MakeJpeg(4001, 8)));
        Server.Answer("/huge.jpg", HttpAnswer(200, Jpeg + std::string(4 * 1024 * 1024, '\0')));
        Server.Answer("/moved.jpg", HttpRedirect(302, Server.Url("/pic.jpg")));

        TFetchLog Log;
        const TRun R = Run(Log, Server.Url("/zz/zzinfo.asp"));
        QVERIFY(R.Shown);
        QCOMPARE(R.Fetched, Fetched);
        QCOMPARE(R.Picture, Fetched ? QSize(320, 200) : QSize(500, 245));
        if (Fetched) QVERIFY2(R.TopLeft.red() > 180 && R.TopLeft.green() < 70, qPrintable(R.TopLeft.name()));
        QCOMPARE(ServedBy(Server), Served);
        QStringList Got;
        for (const std::string& O : Log.Outcomes) Got << QString::fromStdString(O);
        QCOMPARE(Got, Outcomes);
        // The picture is asked for by the address exactly as the reply gave it.
        if (Log.Requests.size() == 2) {
            std::string Address;
            QVERIFY(ParseSponsorReply(Body, Address));
            QCOMPARE(Log.Requests[1].Url, Address);
        }
    }

    // The POST carries nothing but its content type and the two default
    // headers, and the first request follows a redirect.
    void postIsEmptyAndFollowsARedirect() {
        TLocalHttpServer Server;
        Server.Answer("/zz/zzinfo.asp", HttpRedirect(302, Server.Url("/info")));
        Server.Answer("/info", HttpAnswer(200, "!-" + Server.Url("/pic.jpg")));
        Server.Answer("/pic.jpg", HttpAnswer(200, MakeJpeg(100, 60, true)));
        TFetchLog Log;
        const TRun R = Run(Log, Server.Url("/zz/zzinfo.asp"));
        QVERIFY(R.Shown && R.Fetched);
        QCOMPARE(R.Picture, QSize(100, 60));
        QCOMPARE(ServedBy(Server), (QStringList{"POST /zz/zzinfo.asp", "GET /info", "GET /pic.jpg"}));
        const TRecordedRequest Post = Server.Requests()[0];
        std::set<std::string> Names;
        for (const auto& [Name, Value] : Post.Headers) Names.insert(Name);
        QVERIFY(Names == (std::set<std::string>{"Host", "User-Agent", "Accept", "Content-Type", "Content-Length"}));
        QCOMPARE(Post.Header("Content-Type"), std::string("application/x-www-form-urlencoded"));
        QCOMPARE(Post.Header("Accept"), std::string("text/html, */*"));
        QCOMPARE(Post.Header("User-Agent"), std::string("Mozilla/3.0 (compatible; Indy Library)"));
        QCOMPARE(Post.Header("Content-Length"), std::string("0"));
        QVERIFY(Post.Body.empty());
        QCOMPARE(Server.Requests()[2].Header("User-Agent"), std::string("Mozilla/3.0 (compatible; Indy Library)"));
        QCOMPARE(Server.Requests()[2].Header("Accept"), std::string("text/html, */*"));
    }

    // A service that accepts and never answers: the time-out ends the fetch
    // (shortened here from the window's 10 seconds), and the window's thread
    // runs its timers all the while.
    void aSilentServiceTimesOutWhileTheWindowRuns() {
        TLocalHttpServer Server;
        Server.Answer("/zz/zzinfo.asp", TCannedAnswer{std::string(), true});
        TFetchLog Log;
        Log.TotalTimeoutMs = 500;
        const TRun R = Run(Log, Server.Url("/zz/zzinfo.asp"));
        QVERIFY(R.Shown);
        QVERIFY(!R.Fetched);
        QCOMPARE(R.Picture, QSize(500, 245));
        QCOMPARE(Log.Outcomes, std::vector<std::string>{"timed out"});
        QCOMPARE(Log.Requests.at(0).TotalTimeoutMs, 10000L);
        QVERIFY2(R.TicksWhileFetching >= 3, qPrintable(QString::number(R.TicksWhileFetching)));
    }

    // Closing the window while the service keeps silent cancels the fetch
    // instead of waiting out its 10 seconds.
    void closingTheWindowCancelsTheFetch() {
        TLocalHttpServer Server;
        Server.Answer("/zz/zzinfo.asp", TCannedAnswer{std::string(), true});
        qputenv("SEGMORA_SPONSOR_INFO_URL", QByteArray::fromStdString(Server.Url("/zz/zzinfo.asp")));
        TFetchLog Log;
        {
            TWindowServices S = DefaultWindowServices();
            S.HttpFetch = Log.Fetch();
            TFrmSponsor F(S);
            PrepareSponsorWindow(F, false);
            QSignalSpy Shown(&F, &TFrmSponsor::PictureShown);
            F.show();
            QTRY_VERIFY_WITH_TIMEOUT(F.Fetching() && !Server.Requests().empty(), 5000);
            QTest::mouseClick(F.BtnClose, Qt::LeftButton);
            QVERIFY(!F.isVisible());
            QCOMPARE(F.result(), int(mrNo));
            QCOMPARE(Shown.count(), 0);
        }
        QCOMPARE(Log.Outcomes, std::vector<std::string>{"cancelled"});
    }

    // No service named: no request at all, the built-in picture at once.
    void noServiceMakesNoRequest() {
        TFetchLog Log;
        const TRun R = Run(Log, std::string());
        QVERIFY(R.Shown);
        QVERIFY(!R.Fetched);
        QCOMPARE(R.Picture, QSize(500, 245));
        QVERIFY(Log.Requests.empty());
    }
};

QTEST_MAIN(SponsorFetchTest)
#include "SponsorFetchTest.moc"
