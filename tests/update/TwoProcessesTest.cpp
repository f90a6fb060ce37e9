// Two runs of the real program on one program folder at once (a batch run from cron beside
// the window, or beside another batch): a strip one of them stores stays, whatever the
// other's download of the same strip comes to.
#include "BatchTest.h"
#include "MisbehavingServer.h"
#include "QStringPrinter.h"
#include "TestPaths.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

using namespace pw;
using test::MisbehavingServer;

namespace {

const QByteArray kDate = "Tue, 07 Mar 2000 09:15:02 GMT";

QByteArray PageResponse()
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nLast-Modified: " + kDate + "\r\n\r\n" +
           test::Page("s.gif");
}

QByteArray ImageHeader(qint64 length)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: " + QByteArray::number(length) +
           "\r\n\r\n";
}

} // namespace

using TwoProcesses = test::BatchTest;

TEST_F(TwoProcesses, AStripStoredBesideAFailingDownloadOfTheSameStripStays)
{
    MisbehavingServer server;
    ASSERT_TRUE(server.Start());
    const QByteArray strip = "GIF89a" + test::Bytes('b', 300);
    // The first run's picture stalls halfway; the second run gets the whole of it.
    server.SetScripts({MisbehavingServer::Respond(PageResponse()),
                       MisbehavingServer::Script()
                           .ReadRequest()
                           .Send(ImageHeader(100000) + test::Bytes('a', 1000))
                           .HoldOpen(),
                       MisbehavingServer::Respond(PageResponse()),
                       MisbehavingServer::Respond(ImageHeader(strip.size()) + strip)});
    Choose("Twice", server.Url("/twice.html"));

    QProcess first;
    StartProgram(first, {"--batch-update"}, server.Url(""));
    ASSERT_TRUE(first.waitForStarted());
    // Its download has begun once its part file is there.
    QDeadlineTimer deadline(60000);
    while (!FilesOf("Twice").contains(".Twice20000307.gif.part") && !deadline.hasExpired() &&
           first.state() == QProcess::Running)
        QThread::msleep(10);
    ASSERT_TRUE(FilesOf("Twice").contains(".Twice20000307.gif.part"))
        << FilesOf("Twice").join(' ').toStdString();

    const Result second = Run(server.Url(""));
    EXPECT_EQ(second.lines,
              QStringList({"Twice: New strip updated", "1 updated, 0 didn't need a update, 0 failed."}))
        << second.errors.toStdString();
    EXPECT_EQ(test::ReadAll(Strip("Twice", "Twice20000307.gif")), strip);
    // The first run's download went on in its own file all the while.
    EXPECT_TRUE(FilesOf("Twice").contains(".Twice20000307.gif.part"))
        << FilesOf("Twice").join(' ').toStdString();

    // The first run's download is cut off: it fails, and takes nothing of the other's.
    server.Stop();
    ASSERT_TRUE(first.waitForFinished(60000));
    const QString firstLines = QString::fromUtf8(first.readAllStandardOutput());
    EXPECT_EQ(first.exitCode(), 1) << firstLines.toStdString();
    EXPECT_TRUE(firstLines.contains("0 updated, 0 didn't need a update, 1 failed."))
        << firstLines.toStdString();
    EXPECT_EQ(test::ReadAll(Strip("Twice", "Twice20000307.gif")), strip);
    EXPECT_EQ(FilesOf("Twice"), QStringList({"Twice.unr", "Twice20000307.gif"}));
}
