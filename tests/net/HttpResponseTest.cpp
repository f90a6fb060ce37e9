// The client's receive path fed with response bytes in pieces of the test's choice, over
// a loopback connection the test plays itself: line splitting, header handling, body
// delivery and how a response ends.
#include "HttpEventLog.h"
#include "HttpResponder.h"
#include "TestPaths.h"
#include "net/THttpCli.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pw;
namespace HttpError = net::HttpError;
using net::THttpCli;
using net::THttpState;

namespace {

// Feeds a whole response in pieces of the given size, then the close (or a reset).
void PlayTo(test::HttpResponder& responder, THttpCli& client, const QByteArray& response, int piece = 1 << 20,
            bool reset = false)
{
    for (qsizetype i = 0; i < response.size(); i += piece)
        responder.Feed(client,
                       QByteArrayView(response).sliced(i, qMin<qsizetype>(piece, response.size() - i)));
    responder.End(reset);
}

struct Fed : ::testing::Test {
    THttpCli client;
    test::HttpEventLog log{client};
    QBuffer body;
    test::HttpResponder responder;

    void SetUp() override
    {
        client.URL = QStringLiteral("http://comics.example/strips/today.html");
        body.open(QIODevice::WriteOnly);
        client.ReceiveStream = &body;
        ASSERT_TRUE(responder.Begin(client));
    }
    void Play(const QByteArray& response, int piece = 1 << 20, bool reset = false)
    {
        PlayTo(responder, client, response, piece, reset);
    }
    bool WaitDone()
    {
        return test::WaitFor([&] { return log.done > 0; });
    }
};

const QByteArray kPage = "HTTP/1.0 200 OK\r\n"
                         "content-TYPE: Text/HTML; Charset=ISO-8859-1\r\n"
                         "CONTENT-LENGTH: 25\r\n"
                         "Last-Modified: Tue, 07 Mar 2000 09:15:02 GMT\r\n"
                         "Set-Cookie: id=1\r\n"
                         "\r\n"
                         "<html>\r\nline two\nline 3\r\n";

} // namespace

TEST_F(Fed, HeaderLinesAreReportedAsSentAndKnownNamesRecognisedInAnyCase)
{
    Play(kPage);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(
        log.headerLines,
        QStringList({"HTTP/1.0 200 OK", "content-TYPE: Text/HTML; Charset=ISO-8859-1", "CONTENT-LENGTH: 25",
                     "Last-Modified: Tue, 07 Mar 2000 09:15:02 GMT", "Set-Cookie: id=1"}));
    EXPECT_EQ(client.ResponseHeader(), log.headerLines);
    EXPECT_EQ(client.ResponseStatus(), 200);
    EXPECT_EQ(client.ResponseReason(), "OK");
    EXPECT_EQ(client.ResponseType(), "text/html; charset=iso-8859-1");
    EXPECT_EQ(client.ResponseLength(), 25);
    EXPECT_EQ(client.CompletionError(), 0);
    EXPECT_EQ(log.lastError, 0);
    // The body keeps its bytes exactly, line ends included.
    EXPECT_EQ(body.data(), "<html>\r\nline two\nline 3\r\n");
    EXPECT_EQ(log.body, body.data());
    EXPECT_EQ(client.BodyBytes(), 25);
    EXPECT_EQ(log.Milestones(),
              QStringList({"State:Preparing", "State:ResolvingHost", "State:HostResolved", "State:Connected",
                           "SessionConnected", "State:ReadingHeader", "RequestHeaderBegin",
                           "RequestHeaderEnd", "HeaderBegin", "Cookie:id=1", "State:ReadingBody", "HeaderEnd",
                           "DocBegin", "DocEnd", "State:Ready", "Done:1:0"}));
    EXPECT_EQ(log.Count("CurrentLineMismatch"), 0);
}

TEST_F(Fed, AnyCutOfTheResponseGivesTheSameResult)
{
    for (int piece : {1, 2, 3, 7, 16}) {
        THttpCli other;
        test::HttpEventLog otherLog(other);
        test::HttpResponder otherResponder;
        ASSERT_TRUE(otherResponder.Begin(other));
        PlayTo(otherResponder, other, kPage, piece);
        ASSERT_TRUE(test::WaitFor([&] { return otherLog.done == 1; })) << piece;
        EXPECT_EQ(otherLog.headerLines.size(), 5) << piece;
        EXPECT_EQ(otherLog.body, "<html>\r\nline two\nline 3\r\n") << piece;
        EXPECT_EQ(otherLog.lastError, 0) << piece;
    }
}

TEST_F(Fed, LfOnlyLinesWork)
{
    Play("HTTP/1.0 200 OK\nContent-Type: text/plain\n\nbody\nmore\n", 5);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(log.headerLines, QStringList({"HTTP/1.0 200 OK", "Content-Type: text/plain"}));
    EXPECT_EQ(body.data(), "body\nmore\n");
    EXPECT_EQ(log.lastError, 0);
}

TEST_F(Fed, HtmlWithoutHeaderIsAllBodyWithItsLineEnds)
{
    const QByteArray page = "<HTML><HEAD><TITLE>x</TITLE>\r\n<BODY>\n<IMG SRC=\"/s.gif\">\r\n</HTML>";
    Play(page, 9);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(body.data(), page);
    EXPECT_EQ(client.ResponseType(), "text/html");
    EXPECT_EQ(client.ResponseStatus(), 0);
    EXPECT_EQ(log.Count("HeaderBegin"), 1);
    EXPECT_EQ(log.Count("HeaderData"), 0);
    EXPECT_EQ(log.Count("DocBegin"), 1);
    EXPECT_EQ(log.lastError, 0);
}

TEST_F(Fed, ErrorStatusStopsReadingAfterTheStatusLine)
{
    Play("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html>missing</html>");
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(client.ResponseStatus(), 404);
    EXPECT_EQ(client.ResponseReason(), "Not Found");
    EXPECT_EQ(client.CompletionError(), 0);
    EXPECT_EQ(log.headerLines, QStringList({"HTTP/1.0 404 Not Found"}));
    EXPECT_EQ(log.Count("DocBegin"), 0);
    EXPECT_EQ(body.size(), 0);
    EXPECT_EQ(log.done, 1);
}

TEST_F(Fed, OverlongLineEndsTheRequestAsAFailure)
{
    responder.Feed(client, "HTTP/1.0 200 OK\r\nX-Long: ");
    responder.Feed(client, QByteArray(10000, 'a'));
    // Not waiting for the close: the request is over as soon as the buffer is full.
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(log.lastError, HttpError::LineTooLong);
    EXPECT_EQ(client.ResponseStatus(), 404);
    EXPECT_EQ(client.ResponseReason(), "HTTP line too long");
    EXPECT_EQ(client.ClientState(), THttpState::Ready);
    responder.Feed(client, "\r\n\r\nbody");
    EXPECT_EQ(log.Count("DocBegin"), 0);
    EXPECT_EQ(log.done, 1);
}

TEST_F(Fed, LineOfExactlyTheBufferSizeMinusLineEndStillFits)
{
    QByteArray line = "X-Fill: " + QByteArray(THttpCli::LineBufferSize - 10, 'f');
    ASSERT_EQ(line.size() + 2, THttpCli::LineBufferSize);
    Play("HTTP/1.0 200 OK\r\n" + line + "\r\n\r\nok", 1000);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(log.headerLines.value(1), QString::fromLatin1(line));
    EXPECT_EQ(body.data(), "ok");
}

TEST_F(Fed, EndlessHeaderIsCutOff)
{
    responder.Feed(client, "HTTP/1.0 200 OK\r\n");
    for (int i = 0; i < THttpCli::MaxHeaderLines + 50 && log.done == 0; ++i) {
        responder.Feed(client, "X-More: yes\r\n");
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(log.lastError, HttpError::HeaderTooLarge);
    EXPECT_LE(client.ResponseHeader().size(), THttpCli::MaxHeaderLines);
}

TEST_F(Fed, ConnectionEndingInsideTheHeaderIsAFailure)
{
    Play("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n");
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(log.lastError, HttpError::IncompleteHeader);
    EXPECT_EQ(client.ResponseStatus(), 404);
}

TEST_F(Fed, ResetDuringTheBodyIsAFailureWithTheSocketError)
{
    Play("HTTP/1.0 200 OK\r\n\r\npartial", 1 << 20, true);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(log.lastError, 10054);
    EXPECT_EQ(client.ResponseReason(), "Connection reset by peer (Error #10054)");
    EXPECT_EQ(log.Count("DocEnd"), 1);
}

TEST_F(Fed, BodyShorterThanContentLengthIsAFailureLongerIsKept)
{
    Play("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n12345");
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(log.lastError, HttpError::IncompleteBody);

    THttpCli longer;
    test::HttpEventLog longerLog(longer);
    test::HttpResponder longerResponder;
    ASSERT_TRUE(longerResponder.Begin(longer));
    PlayTo(longerResponder, longer, "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n12345");
    ASSERT_TRUE(test::WaitFor([&] { return longerLog.done == 1; }));
    EXPECT_EQ(longerLog.lastError, 0);
    EXPECT_EQ(longerLog.body, "12345"); // the body ends when the server closes
    EXPECT_EQ(longer.ResponseLength(), 3);
}

TEST_F(Fed, HeadRequestsAndNotModifiedHaveNoBodyToMiss)
{
    THttpCli head;
    test::HttpEventLog headLog(head);
    test::HttpResponder headResponder;
    ASSERT_TRUE(headResponder.Begin(head, net::THttpRequest::Head));
    PlayTo(headResponder, head, "HTTP/1.0 200 OK\r\nContent-Length: 500\r\n\r\n");
    ASSERT_TRUE(test::WaitFor([&] { return headLog.done == 1; }));
    EXPECT_EQ(headLog.lastError, 0);
    EXPECT_EQ(headLog.lastKind, net::THttpRequest::Head);

    Play("HTTP/1.0 304 Not Modified\r\nContent-Length: 500\r\n\r\n");
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(client.ResponseStatus(), 304);
}

TEST_F(Fed, StreamThatRefusesTheBodyFailsTheRequest)
{
    QTemporaryDir dir;
    QFile readOnly(dir.filePath(QStringLiteral("x")));
    ASSERT_TRUE(readOnly.open(QIODevice::WriteOnly));
    readOnly.close();
    ASSERT_TRUE(readOnly.open(QIODevice::ReadOnly));
    client.ReceiveStream = &readOnly;
    Play("HTTP/1.0 200 OK\r\n\r\nbody bytes");
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(log.lastError, HttpError::WriteFailed);
    EXPECT_TRUE(client.ResponseReason().startsWith("Can't write the document"));
}

TEST_F(Fed, ContentRangeAcceptRangesChallengesAndExeDocuments)
{
    THttpCli exe;
    test::HttpEventLog exeLog(exe);
    exe.URL = QStringLiteral("http://h/cgi/run.exe");
    test::HttpResponder exeResponder;
    ASSERT_TRUE(exeResponder.Begin(exe));
    PlayTo(exeResponder, exe,
           "HTTP/1.0 206 Partial\r\nContent-Range: bytes 10-19/100\r\nAccept-Ranges: bytes\r\n"
           "WWW-Authenticate: Basic realm=\"a\"\r\nContent-Type: TEXT/HTML\r\n\r\n0123456789");
    ASSERT_TRUE(test::WaitFor([&] { return exeLog.done == 1; }));
    EXPECT_EQ(exe.ContentRangeBegin, "10");
    EXPECT_EQ(exe.ContentRangeEnd, "19");
    EXPECT_EQ(exe.AcceptRanges(), "bytes");
    EXPECT_EQ(exe.AuthenticateChallenges(), QStringList({"Basic realm=\"a\""}));
    EXPECT_EQ(exe.DocumentName(), "run.htm");
}

TEST_F(Fed, RedirectsMoveTheTargetAndALoopEnds)
{
    // The responder is the client's proxy: every hop comes back to it.
    const auto nextHop = [&] {
        test::WaitFor([&] {
            return log.done > 0 ||
                   (client.ResponseStatus() == 0 && client.ClientState() == THttpState::ReadingHeader);
        });
        return log.done == 0 && responder.Accept();
    };
    Play("HTTP/1.0 302 Found\r\nLocation: archive/1.html\r\n\r\n");
    ASSERT_TRUE(nextHop());
    EXPECT_EQ(log.Count("LocationChange"), 1);
    EXPECT_EQ(client.RequestTarget(), "http://comics.example/strips/archive/1.html");
    EXPECT_EQ(log.done, 0);

    for (int hop = 2; hop <= THttpCli::MaxRedirects + 1; ++hop) {
        Play("HTTP/1.0 301 Moved\r\nLocation: http://mirror.example:8081/x\r\n\r\n");
        if (!nextHop())
            break;
    }
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(log.lastError, HttpError::TooManyRedirects);
    EXPECT_EQ(log.Count("LocationChange"), THttpCli::MaxRedirects);
    EXPECT_EQ(client.HostHeader(), "mirror.example");
    EXPECT_EQ(client.RequestTarget(), "http://mirror.example:8081/x");
}

TEST_F(Fed, AbortFromAHeaderEventStopsEverythingAndReportsOnce)
{
    client.OnHeaderData = [&](THttpCli* c) {
        if (c->CurrentLineText().startsWith("Last-Modified"))
            c->Abort();
    };
    Play(kPage, 3);
    ASSERT_TRUE(WaitDone());
    test::WaitFor([] { return false; }, 50);
    EXPECT_EQ(log.done, 1);
    EXPECT_EQ(log.lastError, HttpError::Aborted);
    EXPECT_EQ(client.ResponseReason(), "Connection aborted on request");
    EXPECT_EQ(log.Count("DocBegin"), 0);
    EXPECT_EQ(log.Count("Cookie"), 0);
    EXPECT_EQ(body.size(), 0);
}

TEST_F(Fed, ClientMayBeDeletedInsideRequestDone)
{
    auto* owned = new THttpCli;
    int done = 0;
    owned->OnRequestDone = [&](THttpCli* sender, net::THttpRequest, std::uint16_t) {
        ++done;
        delete sender;
    };
    test::HttpResponder ownedResponder;
    ASSERT_TRUE(ownedResponder.Begin(*owned));
    PlayTo(ownedResponder, *owned, "HTTP/1.0 200 OK\r\n\r\nx");
    ASSERT_TRUE(test::WaitFor([&] { return done == 1; }));
    test::WaitFor([] { return false; }, 20);
    EXPECT_EQ(done, 1);
}
