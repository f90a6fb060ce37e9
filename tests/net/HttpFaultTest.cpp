// The client against servers that misbehave: every fault must end in exactly one
// OnRequestDone that tells the truth, without blocking or spinning.
#include "HttpEventLog.h"
#include "MisbehavingServer.h"
#include "TestPaths.h"
#include "net/THttpCli.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace pw;
using net::THttpCli;
using test::MisbehavingServer;
namespace HttpError = net::HttpError;

namespace {

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class Faults : public ::testing::Test {
protected:
    // Starts the server with script and runs one GET to completion.
    void Run(MisbehavingServer::Script script, int ms = 15000)
    {
        server.SetScript(std::move(script));
        ASSERT_TRUE(server.Start());
        body.open(QIODevice::WriteOnly);
        client.ReceiveStream = &body;
        client.URL = server.Url("/strip.html");
        client.StartGet();
        ASSERT_TRUE(test::WaitFor([&] { return log.done > 0; }, ms));
        test::WaitFor([] { return false; }, 50); // nothing more may arrive
        EXPECT_EQ(log.done, 1);
        EXPECT_EQ(client.ClientState(), net::THttpState::Ready);
    }

    MisbehavingServer server;
    THttpCli client;
    test::HttpEventLog log{client};
    QBuffer body;
};

} // namespace

TEST_F(Faults, RefusedConnection)
{
    client.URL = QStringLiteral("http://127.0.0.1:%1/").arg(MisbehavingServer::RefusingPort());
    client.StartGet();
    ASSERT_TRUE(test::WaitFor([&] { return log.done > 0; }));
    EXPECT_EQ(log.lastError, 10061);
    EXPECT_EQ(client.ResponseStatus(), 404);
    EXPECT_EQ(client.ResponseReason(), "Connection refused (Error #10061)");
    test::WaitFor([] { return false; }, 50);
    EXPECT_EQ(log.done, 1);
}

TEST_F(Faults, ResetDuringHeader)
{
    Run(MisbehavingServer::ResetDuringHeader());
    EXPECT_EQ(log.lastError, 10054);
    EXPECT_EQ(client.ResponseStatus(), 404);
    EXPECT_EQ(log.Count("DocBegin"), 0);
}

TEST_F(Faults, ResetDuringBody)
{
    Run(MisbehavingServer::ResetDuringBody(1000, 100000));
    EXPECT_EQ(log.lastError, 10054);
    EXPECT_EQ(client.ResponseReason(), "Connection reset by peer (Error #10054)");
    EXPECT_EQ(log.Count("DocEnd"), 1);
}

TEST_F(Faults, RequestIsAnHttp10GetWithHostAndNoKeepAlive)
{
    Run(MisbehavingServer::Respond("HTTP/1.0 200 OK\r\n\r\nfine"));
    const QByteArray request = server.Request(0);
    EXPECT_TRUE(request.startsWith("GET /strip.html HTTP/1.0\r\n")) << request.toStdString();
    EXPECT_TRUE(request.contains("\r\nHost: 127.0.0.1\r\n"));
    EXPECT_FALSE(request.contains("onnection:"));
    EXPECT_TRUE(request.endsWith("\r\n\r\n"));
    EXPECT_EQ(body.data(), "fine");
}

TEST_F(Faults, SilentServerWaitsUntilAborted)
{
    server.SetScript(MisbehavingServer::SilenceAfterAccept());
    ASSERT_TRUE(server.Start());
    client.URL = server.Url("/");
    client.StartGet();
    ASSERT_TRUE(test::WaitFor([&] { return !server.Request(0).isEmpty(); }));
    const double cpuBefore = ProcessCpuSeconds();
    test::WaitFor([] { return false; }, 500);
    EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.25); // waiting, not spinning
    EXPECT_EQ(log.done, 0);
    client.Abort();
    ASSERT_TRUE(test::WaitFor([&] { return log.done == 1; }));
    EXPECT_EQ(log.lastError, HttpError::Aborted);
    EXPECT_TRUE(test::WaitFor([&] { return server.PeerClosed(0); }));
}

TEST_F(Faults, OverlongHeaderLineFailsWhileTheServerHoldsTheConnection)
{
    const double cpuBefore = ProcessCpuSeconds();
    Run(MisbehavingServer::LongHeaderLine(10000));
    EXPECT_EQ(log.lastError, HttpError::LineTooLong);
    EXPECT_EQ(client.ResponseReason(), "HTTP line too long");
    EXPECT_EQ(log.Count("DocBegin"), 0);
    EXPECT_TRUE(test::WaitFor([&] { return server.PeerClosed(0); })); // the client hung up
    EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 2.0);
}

TEST_F(Faults, HtmlWithoutHeader)
{
    const QByteArray page = "<HTML>\r\n<BODY><IMG SRC=\"/strips/a.gif\"></BODY>\n</HTML>\n";
    Run(MisbehavingServer::HtmlWithoutHeader(page));
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(body.data(), page);
    EXPECT_EQ(client.ResponseType(), "text/html");
}

TEST_F(Faults, OneByteAtATime)
{
    const QByteArray response =
        "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: 6\r\n\r\nGIF89a";
    Run(MisbehavingServer::OneByteAtATime(response));
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(log.headerLines,
              QStringList({"HTTP/1.0 200 OK", "Content-Type: image/gif", "Content-Length: 6"}));
    EXPECT_EQ(body.data(), "GIF89a");
    EXPECT_EQ(log.Count("HeaderBegin"), 1);
    EXPECT_EQ(log.Count("DocBegin"), 1);
}

TEST_F(Faults, LfOnlyLines)
{
    Run(MisbehavingServer::Respond(
        "HTTP/1.0 200 OK\nLast-modified: Tue, 07 Mar 2000 09:15:02 GMT\n\nline\n"));
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(log.headerLines.value(1), "Last-modified: Tue, 07 Mar 2000 09:15:02 GMT");
    EXPECT_EQ(body.data(), "line\n");
}

TEST_F(Faults, LocationLoopEndsAfterTheRedirectLimit)
{
    Run(MisbehavingServer::LocationLoop("/again"));
    EXPECT_EQ(log.lastError, HttpError::TooManyRedirects);
    EXPECT_EQ(server.Connections(), THttpCli::MaxRedirects + 1);
    EXPECT_TRUE(server.Request(1).startsWith("GET /again HTTP/1.0"));
}

TEST_F(Faults, BodyShorterThanContentLength)
{
    Run(MisbehavingServer::Respond("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\nonly this"));
    EXPECT_EQ(log.lastError, HttpError::IncompleteBody);
    EXPECT_EQ(client.ResponseStatus(), 404);
    EXPECT_EQ(body.data(), "only this");
}

TEST_F(Faults, BodyLongerThanContentLengthIsReadToTheClose)
{
    Run(MisbehavingServer::Respond("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\n1234 and more"));
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(body.data(), "1234 and more");
}

TEST_F(Faults, ErrorStatusClosesAfterTheStatusLine)
{
    Run(MisbehavingServer::StatusThenHold("HTTP/1.0 403 Forbidden"));
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(client.ResponseStatus(), 403);
    EXPECT_EQ(client.ResponseReason(), "Forbidden");
    EXPECT_EQ(log.headerLines, QStringList({"HTTP/1.0 403 Forbidden"}));
    EXPECT_TRUE(test::WaitFor([&] { return server.PeerClosed(0); }));
}

TEST_F(Faults, ServerClosingWithoutAnswer)
{
    Run(MisbehavingServer::Script().ReadRequest().Close());
    EXPECT_EQ(log.lastError, HttpError::IncompleteHeader);
    EXPECT_EQ(client.ResponseStatus(), 404);
}

TEST_F(Faults, PostSendsItsWholeBodyAfterTheHeader)
{
    EXPECT_THROW(client.StartPost(), net::EHttpException); // nothing to post
    EXPECT_EQ(client.ClientState(), net::THttpState::Ready);

    QByteArray form(20000, 'f');
    form.prepend("name=value&");
    QBuffer post(&form);
    post.open(QIODevice::ReadOnly);
    client.PostStream = &post;
    qint64 reported = 0;
    int ends = 0;
    client.OnSendData = [&](THttpCli*, const char*, qint64 len) { reported += len; };
    client.OnSendEnd = [&](THttpCli*) { ++ends; };
    server.SetScript(MisbehavingServer::Respond("HTTP/1.0 200 OK\r\n\r\nthanks"));
    ASSERT_TRUE(server.Start());
    body.open(QIODevice::WriteOnly);
    client.ReceiveStream = &body;
    client.URL = server.Url("/form");
    client.StartPost();
    ASSERT_TRUE(test::WaitFor([&] { return log.done == 1; }));
    EXPECT_EQ(log.lastKind, net::THttpRequest::Post);
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(body.data(), "thanks");
    EXPECT_EQ(reported, form.size());
    EXPECT_EQ(client.SentCount(), form.size());
    EXPECT_EQ(ends, 1);
    const QByteArray request = server.Request(0);
    EXPECT_TRUE(request.startsWith("POST /form HTTP/1.0\r\n"));
    EXPECT_TRUE(request.contains("\r\nContent-Type: application/x-www-form-urlencoded\r\n"));
    EXPECT_TRUE(request.contains("\r\nContent-Length: " + QByteArray::number(form.size()) + "\r\n"));
    EXPECT_TRUE(request.endsWith("\r\n\r\n" + form));
}
