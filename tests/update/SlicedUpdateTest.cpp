// "&Update Comics" adds its comics a slice per turn of the event loop: what may happen
// between two slices.
#include "UpdateTestSupport.h"

#include "MessageBoxRecorder.h"
#include "MisbehavingServer.h"
#include "NginxServer.h"
#include "QStringPrinter.h"
#include "TestPaths.h"
#include "platform/Tunables.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace pw;
using test::MisbehavingServer;

namespace {

struct SlicedUpdateTest : ::testing::Test {
    test::UpdateRig rig;
    test::MessageBoxRecorder boxes;
    const int savedSliceMs = platform::Tunables::AddComicsSliceMs;

    void SetUp() override { platform::Tunables::AddComicsSliceMs = 0; } // one comic a turn
    void TearDown() override { platform::Tunables::AddComicsSliceMs = savedSliceMs; }

    int Started() const
    {
        return rig.scheduler->ActiveDownloads().Count() + rig.scheduler->QueuedDownloads().Count();
    }
    // Comics whose address has no host: their jobs fail without a connection.
    void LostComics(int count)
    {
        for (int i = 0; i < count; ++i)
            rig.AddComic(QStringLiteral("Lost%1").arg(i), QStringLiteral("http:///lost.html"));
    }
    // Lets the started jobs run to their end while the scheduler's next slice waits:
    // every event posted to another object is delivered, until none is left.
    void FinishStartedJobs()
    {
        for (int round = 0; round < 20 && rig.scheduler->ActiveDownloads().Count() > 0; ++round)
            for (QObject* o : QCoreApplication::instance()->findChildren<QObject*>())
                if (o != rig.scheduler.get())
                    QCoreApplication::sendPostedEvents(o, 0);
    }
    // Comics on a server that accepts, reads the request and never answers.
    void SilentComics(MisbehavingServer& server, int count)
    {
        server.SetScript(MisbehavingServer::SilenceAfterAccept());
        ASSERT_TRUE(server.Start());
        for (int i = 0; i < count; ++i)
            rig.AddComic(QStringLiteral("Q%1").arg(i), server.Url(QStringLiteral("/q%1.html").arg(i)));
    }
};

// The paths of the requests nginx answered, in order, with their protocol.
QStringList Requests(const test::NginxServer& nginx)
{
    QStringList requests;
    static const QRegularExpression line(QStringLiteral("\"GET (\\S+) (HTTP/\\S+)\""));
    for (const QByteArray& entry : nginx.AccessLog().split('\n')) {
        const QRegularExpressionMatch m = line.match(QString::fromLatin1(entry));
        if (m.hasMatch())
            requests << m.captured(1) + QLatin1Char(' ') + m.captured(2);
    }
    return requests;
}

} // namespace

TEST_F(SlicedUpdateTest, TheBatchStaysOpenWhileComicsAreStillToBeAdded)
{
    LostComics(5);
    rig.scheduler->UpdateAllComics();
    EXPECT_EQ(Started(), 1);
    EXPECT_EQ(rig.host.text, "0 of 1 comics done.");
    FinishStartedJobs();
    ASSERT_EQ(rig.finished.size(), 1);
    EXPECT_TRUE(rig.scheduler->Busy());
    EXPECT_TRUE(rig.host.abortEnabled);
    EXPECT_EQ(rig.batches, 0);
    EXPECT_EQ(rig.host.text, "1 of 1 comics done.");

    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.batches, 1);
    ASSERT_EQ(rig.finished.size(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(rig.finished[i].startsWith(QStringLiteral("Lost%1: ").arg(i)))
            << rig.finished[i].toStdString();
    EXPECT_EQ(rig.host.text, "0 updated, 0 didn't need a update, 5 failed.");
    EXPECT_FALSE(rig.host.abortEnabled);
}

TEST_F(SlicedUpdateTest, AbortWhileNoJobRunsEndsTheBatchInTheNextTurn)
{
    LostComics(5);
    rig.scheduler->UpdateAllComics();
    FinishStartedJobs();
    ASSERT_TRUE(rig.scheduler->Busy());
    rig.scheduler->AbortAll();
    QCoreApplication::processEvents();
    EXPECT_FALSE(rig.scheduler->Busy());
    EXPECT_EQ(rig.batches, 1);
    EXPECT_EQ(rig.finished.size(), 1);
    EXPECT_EQ(rig.host.text, "0 updated, 0 didn't need a update, 5 failed.");
    EXPECT_FALSE(rig.host.abortEnabled);
}

TEST_F(SlicedUpdateTest, RequestsKeepTheListOrderAndNoComicIsDoubled)
{
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
    rig.ini.WriteInteger("Downloads", "MaxSimDownloads", 1); // one after the other
    const QDateTime date(QDate(2001, 12, 4), QTime(10, 0), Qt::UTC);
    QStringList pages;
    QStringList expected;
    for (int i = 0; i < 8; ++i) {
        const QString name = QStringLiteral("C%1").arg(i);
        ASSERT_TRUE(nginx.WriteFile(name + "/index.html", "<html></html>", date));
        ASSERT_TRUE(QDir().mkpath(rig.db.ComicFolder(name)));
        QFile stored(rig.StripPath(name, name + "20011204.gif"));
        ASSERT_TRUE(stored.open(QIODevice::WriteOnly));
        rig.AddComic(name, nginx.Url("/" + name + "/index.html"));
        pages << "/" + name + "/index.html HTTP/1.0";
        expected << name + ": No updated strip found";
    }

    rig.scheduler->UpdateAllComics();
    ASSERT_EQ(Started(), 1);
    rig.scheduler->UpdateComic("C0"); // running
    rig.scheduler->UpdateComic("C5"); // still to be added: it comes in its turn
    rig.scheduler->UpdateAllComics(); // the same comics again
    EXPECT_EQ(Started(), 1);
    ASSERT_TRUE(rig.RunBatch());

    EXPECT_EQ(Requests(nginx), pages);
    EXPECT_EQ(rig.finished, expected);
    EXPECT_EQ(rig.batches, 1);
    EXPECT_EQ(rig.host.text, "0 updated, 8 didn't need a update, 0 failed.");
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(SlicedUpdateTest, AbortWhileAddingDropsTheComicsNotYetAdded)
{
    MisbehavingServer server;
    ASSERT_NO_FATAL_FAILURE(SilentComics(server, 10));
    rig.ini.WriteInteger("Downloads", "MaxSimDownloads", 1);
    rig.scheduler->UpdateAllComics();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_LT(Started(), 10) << "still adding";

    rig.scheduler->AbortAll();
    ASSERT_TRUE(rig.RunBatch());
    // They count as failed, as queued jobs dropped by the abort do.
    EXPECT_EQ(rig.finished, QStringList{"Q0: Aborted by user"});
    EXPECT_EQ(rig.host.text, "0 updated, 0 didn't need a update, 10 failed.");
    EXPECT_EQ(rig.batches, 1);
    EXPECT_FALSE(rig.host.abortEnabled);
    test::WaitFor([] { return false; }, 200);
    EXPECT_LE(server.Connections(), 1) << "no comic is started after the abort";
    EXPECT_EQ(rig.batches, 1);
}

TEST_F(SlicedUpdateTest, TheSchedulerMayGoWhileAdding)
{
    MisbehavingServer server;
    ASSERT_NO_FATAL_FAILURE(SilentComics(server, 10));
    rig.scheduler->UpdateAllComics();
    QCoreApplication::processEvents();
    ASSERT_TRUE(rig.scheduler->Busy());
    rig.scheduler.reset();
    test::WaitFor([] { return false; }, 200);
    EXPECT_LE(server.Connections(), 2);
    EXPECT_EQ(rig.batches, 0);
}
