#include "UpdateTestSupport.h"

#include "MessageBoxRecorder.h"
#include "MisbehavingServer.h"
#include "NginxServer.h"
#include "QStringPrinter.h"
#include "TestPaths.h"
#include "TinyproxyServer.h"
#include "comics/ComicSite.h"
#include "net/WSocketApi.h"
#include "platform/Tunables.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>

using namespace pw;
using test::MisbehavingServer;
using update::TComicDownloadInfo;

namespace {

const QDateTime kMarch7 = QDateTime(QDate(2000, 3, 7), QTime(9, 15, 2), Qt::UTC);

QByteArray StripPage(const QString& imagePath)
{
    return "<html><body>\r\n<p>Today's strip</p>\r\n<img src=\"/archive/images/SendAStrip.gif\">\r\n"
           "<center><img src=\"" +
           imagePath.toLatin1() + "\" alt=\"strip\"> archive/images</center>\r\n</body></html>\r\n";
}

QByteArray GifBytes(int n = 1500)
{
    QByteArray b("GIF89a");
    for (int i = 0; i < n; ++i)
        b.append(static_cast<char>(i * 31 + 7));
    return b;
}

// Sets a served file's modification time (what nginx sends as Last-Modified).
void Touch(const QString& path, const QDateTime& mtime)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(mtime, QFileDevice::FileModificationTime));
}

int OpenDescriptors()
{
    return static_cast<int>(
        QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System).size());
}

// Lets the freed jobs go (they are deleted from the loop) and gives peers running in this
// process a moment to close their side, then counts descriptors. A leak stays counted.
int DescriptorsAfterBatch(int expected)
{
    int open = 0;
    test::WaitFor(
        [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
            open = OpenDescriptors();
            return open == expected;
        },
        30000);
    return open;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A comic web site on nginx, with the site base pointed at it.
struct SiteTest : ::testing::Test {
    test::NginxServer nginx;
    test::UpdateRig rig;
    test::MessageBoxRecorder boxes;
    const int savedSliceMs = platform::Tunables::AddComicsSliceMs;

    void SetUp() override
    {
        // "&Update Comics" adds every comic in its first slice however slow the machine
        // is: what it does at once is checked before the loop runs.
        platform::Tunables::AddComicsSliceMs = std::numeric_limits<int>::max();
        ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
        qputenv("PANELWICK_SITE_BASE", nginx.Url("").toLatin1());
        platform::Tunables::JobTimeoutMs = 60000;
    }
    void TearDown() override
    {
        qunsetenv("PANELWICK_SITE_BASE");
        platform::Tunables::JobTimeoutMs = 60000;
        platform::Tunables::AddComicsSliceMs = savedSliceMs;
    }
    // A comic whose page is dated `date` and shows `image` (served with `bytes`).
    comics::TComicInfo* Comic(const QString& name, const QDateTime& date, const QString& image = {},
                              const QByteArray& bytes = GifBytes())
    {
        const QString img = image.isEmpty() ? "/archive/images/" + name + ".gif" : image;
        EXPECT_TRUE(nginx.WriteFile(name + "/index.html", StripPage(img)));
        Touch(nginx.Root() + "/" + name + "/index.html", date);
        if (!bytes.isNull()) {
            EXPECT_TRUE(nginx.WriteFile(img.mid(1), bytes));
        }
        return rig.AddComic(name, QString::fromLatin1(comics::kComicSiteBase) + name + "/index.html");
    }
};

} // namespace

TEST_F(SiteTest, NewStripIsStoredUnderItsDateAndMarkedUnread)
{
    comics::TComicInfo* comic = Comic("Alpha", QDateTime(QDate(2000, 3, 7), QTime(9, 0), Qt::UTC));
    rig.host.shown = comic;
    rig.ini.WriteString("Wallpaper", "Comic", "Alpha");
    rig.scheduler->UpdateComic("Alpha");
    EXPECT_TRUE(rig.host.abortEnabled);
    ASSERT_TRUE(rig.RunBatch());

    EXPECT_EQ(rig.finished, QStringList{"Alpha: New strip updated"});
    EXPECT_EQ(ReadAll(rig.StripPath("Alpha", "Alpha20000307.gif")), GifBytes());
    EXPECT_EQ(ReadAll(rig.db.MarkerPath("Alpha")), QByteArray("Alpha20000307.gif\r\n"));
    EXPECT_EQ(rig.FilesOf("Alpha"), (QStringList{"Alpha.unr", "Alpha20000307.gif"})); // no leftovers
    EXPECT_EQ(rig.host.shownStrips, QStringList{"Alpha20000307.gif"});
    EXPECT_EQ(rig.host.wallpapers, QStringList{"Alpha20000307.gif"});
    EXPECT_EQ(rig.host.text, "1 updated, 0 didn't need a update, 0 failed.");
    EXPECT_FALSE(rig.host.abortEnabled);
    EXPECT_EQ(rig.info.Results(), QStringList{"Alpha: New strip updated"});
    EXPECT_TRUE(rig.host.log.contains("Alpha: onDataBegin"));
    EXPECT_TRUE(rig.host.log.filter("Alpha: Last-Modified: Tue, 07 Mar 2000").size() == 1);
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(SiteTest, AFailingStepAfterAJobFreesItsSlotAndIsReportedOnce)
{
    rig.ini.WriteInteger("Downloads", "MaxSimDownloads", 1);
    rig.host.shown = Comic("Alpha", kMarch7);
    Comic("Beta", kMarch7);
    rig.host.showFails = true;
    rig.scheduler->OnJobFinished = [this](const update::TComicDownloadInfo& job) {
        rig.finished << job.ComicName() + ": " + job.StatusText();
        if (job.ComicName() == "Beta")
            throw std::runtime_error("notification refused");
    };
    rig.scheduler->UpdateAllComics();
    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.finished, (QStringList{"Alpha: New strip updated", "Beta: New strip updated"}));
    EXPECT_EQ(rig.host.text, "2 updated, 0 didn't need a update, 0 failed.");
    EXPECT_FALSE(rig.host.abortEnabled);
    EXPECT_EQ(rig.batches, 1);
    EXPECT_TRUE(test::WaitFor([&] { return boxes.Texts().size() == 2; }));
    EXPECT_EQ(boxes.Texts(), (QStringList{"cannot draw Alpha20000307.gif", "notification refused"}));
    EXPECT_EQ(ReadAll(rig.db.MarkerPath("Alpha")), QByteArray("Alpha20000307.gif\r\n"));
}

TEST_F(SiteTest, StoredDateEndsAfterTheHeaderWithoutStripRequest)
{
    Comic("Beta", QDateTime(QDate(2026, 12, 7), QTime(1, 0), Qt::UTC));
    QDir().mkpath(rig.db.ComicFolder("Beta"));
    QFile stored(rig.StripPath("Beta", "Beta20261207.jpg")); // any extension counts
    ASSERT_TRUE(stored.open(QIODevice::WriteOnly));
    stored.write("jpeg");
    stored.close();

    rig.scheduler->UpdateComic("Beta");
    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.finished, QStringList{"Beta: No updated strip found"});
    EXPECT_EQ(rig.host.text, "0 updated, 1 didn't need a update, 0 failed.");
    EXPECT_FALSE(nginx.AccessLog().contains("/archive/images"));
    EXPECT_EQ(ReadAll(stored.fileName()), QByteArray("jpeg"));
    EXPECT_FALSE(QFile::exists(rig.db.MarkerPath("Beta")));
}

TEST_F(SiteTest, FiveComicsWithLimitThreeThreeRunTwoWait)
{
    rig.ini.WriteInteger("Downloads", "MaxSimDownloads", 3);
    rig.ini.WriteBool("Updates", "ShowAdvancedInfo", true);
    for (const char* n : {"C1", "C2", "C3", "C4", "C5"})
        Comic(n, kMarch7);
    const int descriptors = OpenDescriptors();
    const int sockets = net::WSocketApi::LiveSockets();
    rig.scheduler->UpdateAllComics();
    EXPECT_EQ(rig.scheduler->ActiveDownloads().Count(), 3);
    EXPECT_EQ(rig.scheduler->QueuedDownloads().Count(), 2);
    // A waiting job holds no client of its own yet: thousands may wait.
    EXPECT_EQ(net::WSocketApi::LiveSockets(), sockets + 3);
    EXPECT_EQ(rig.host.max, 20);
    EXPECT_EQ(rig.host.text, "0 of 5 comics done.");
    EXPECT_EQ(rig.info.RowAt(3)[1], "C3");
    EXPECT_EQ(rig.host.advancedInfoShown, 5);
    // Asking again for running or waiting comics adds nothing.
    rig.scheduler->UpdateComic("C1");
    rig.scheduler->UpdateComic("C5");
    EXPECT_EQ(rig.host.max, 20);

    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.finished.size(), 5);
    EXPECT_EQ(rig.host.text, "5 updated, 0 didn't need a update, 0 failed.");
    EXPECT_EQ(rig.batches, 1);
    EXPECT_EQ(DescriptorsAfterBatch(descriptors), descriptors); // no socket or file left open
    // Nothing of a finished job stays behind.
    EXPECT_EQ(net::WSocketApi::LiveSockets(), sockets);
    EXPECT_TRUE(rig.scheduler->findChildren<TComicDownloadInfo*>().isEmpty());
    for (const char* n : {"C1", "C2", "C3", "C4", "C5"})
        EXPECT_TRUE(QFile::exists(rig.StripPath(n, QString(n) + "20000307.gif"))) << n;
    // The waiting ones started in request order as slots were freed.
    const QByteArray log = nginx.AccessLog();
    EXPECT_LT(log.indexOf("/C3/index.html"), log.indexOf("/C4/index.html"));
    EXPECT_LT(log.indexOf("/C4/index.html"), log.indexOf("/C5/index.html"));
}

TEST_F(SiteTest, NameListedTwiceIsUpdatedOnce)
{
    const comics::TComicInfo* first = Comic("Twin", kMarch7);
    rig.AddComic("Twin", first->PageURL);
    rig.scheduler->UpdateAllComics();
    ASSERT_EQ(rig.scheduler->ActiveDownloads().Count(), 1);
    EXPECT_EQ(rig.scheduler->ActiveDownloads().Items(0)->Comic(), first);
    EXPECT_EQ(rig.scheduler->QueuedDownloads().Count(), 0);
    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.finished, QStringList{"Twin: New strip updated"});
}

TEST_F(SiteTest, LoweredLimitStopsNothingAndQueueDrains)
{
    rig.ini.WriteInteger("Downloads", "MaxSimDownloads", 2);
    Comic("D1", kMarch7);
    Comic("D2", kMarch7);
    Comic("D3", kMarch7);
    rig.scheduler->UpdateComic("D1");
    rig.scheduler->UpdateComic("D2");
    rig.ini.WriteInteger("Downloads", "MaxSimDownloads", 1);
    rig.scheduler->UpdateComic("D3");
    EXPECT_EQ(rig.scheduler->ActiveDownloads().Count(), 2);
    EXPECT_EQ(rig.scheduler->QueuedDownloads().Count(), 1);
    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.host.text, "3 updated, 0 didn't need a update, 0 failed.");
}

TEST_F(SiteTest, EmptyImageCountsAsFailedAndLeavesNoFile)
{
    Comic("Empty", kMarch7, "/archive/images/empty.gif", QByteArray(""));
    rig.scheduler->UpdateComic("Empty");
    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.host.text, "0 updated, 0 didn't need a update, 1 failed.");
    EXPECT_EQ(rig.FilesOf("Empty"), QStringList{});
}

TEST_F(SiteTest, FaultsOfTheSiteEndTheJobAsFailures)
{
    rig.ini.WriteInteger("Downloads", "MaxSimDownloads", 2);
    // Missing image (404), an address without a usable extension, one that climbs out
    // of the folder, no strip in the page, a missing page.
    Comic("NoImage", kMarch7, "/archive/images/gone.gif", QByteArray());
    Comic("Query", kMarch7, "/archive/images/strip.php?x=1");
    Comic("Climb", kMarch7, "/archive/images/../", QByteArray());
    ASSERT_TRUE(nginx.WriteFile("Plain/index.html", "<html>no strip today</html>\n"));
    Touch(nginx.Root() + "/Plain/index.html", kMarch7);
    rig.AddComic("Plain", QString::fromLatin1(comics::kComicSiteBase) + "Plain/index.html");
    rig.AddComic("Missing", QString::fromLatin1(comics::kComicSiteBase) + "Missing/index.html");
    rig.scheduler->UpdateAllComics();
    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.host.text, "0 updated, 0 didn't need a update, 5 failed.");
    EXPECT_TRUE(rig.finished.contains("Plain: No strip found in strip info."))
        << rig.finished.join("\n").toStdString();
    EXPECT_TRUE(rig.finished.filter(QRegularExpression("^NoImage: Failed: .*404")).size() == 1)
        << rig.finished.join("\n").toStdString();
    EXPECT_TRUE(rig.finished.filter(QRegularExpression("^Missing: Failed: .*404")).size() == 1);
    EXPECT_TRUE(rig.finished.filter(QRegularExpression("^Query: Failed: .*extension")).size() == 1);
    EXPECT_TRUE(rig.finished.filter(QRegularExpression("^Climb: Failed: .*extension")).size() == 1);
    for (const char* n : {"NoImage", "Query", "Climb", "Plain", "Missing"})
        EXPECT_EQ(rig.FilesOf(n), QStringList{}) << n;
    EXPECT_EQ(rig.info.RowAt(1)[1], "Free");
    EXPECT_EQ(rig.info.RowAt(2)[1], "Free");
    EXPECT_FALSE(rig.host.abortEnabled);
}

TEST_F(SiteTest, ProxyCarriesBothRequests)
{
    test::TinyproxyServer proxy;
    ASSERT_TRUE(proxy.Start()) << proxy.Error().toStdString();
    rig.ini.WriteBool("Proxy", "UseProxy", true);
    rig.ini.WriteString("Proxy", "ProxyIP", "127.0.0.1");
    rig.ini.WriteString("Proxy", "ProxyPort", QString::number(proxy.Port()));
    Comic("Prox", kMarch7);
    rig.scheduler->UpdateComic("Prox");
    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.finished, QStringList{"Prox: New strip updated"});
    const QByteArray base = nginx.Url("").toLatin1();
    EXPECT_TRUE(proxy.WaitForLog("GET " + base + "/Prox/index.html")) << proxy.Log().toStdString();
    EXPECT_TRUE(proxy.WaitForLog("GET " + base + "/archive/images/Prox.gif")) << proxy.Log().toStdString();
}

TEST_F(SiteTest, DailyTimerFiresWithTheTestClock)
{
    Comic("Daily", kMarch7);
    rig.ini.WriteString("Updates", "UpdateTime", "12:00:30");
    // The real timer, ticking fast, against a clock that moves one second per reading,
    // as each tick reads it once.
    QTime now(12, 0, 27);
    QTime firstSeenBusy; // the reading of the tick after the one that started the update
    const auto savedNow = platform::Tunables::Now;
    const int savedTick = platform::Tunables::DailyTickMs;
    platform::Tunables::Now = [&] {
        const QTime read = now;
        now = now.addSecs(1);
        if (!firstSeenBusy.isValid() && (rig.host.abortEnabled || !rig.finished.isEmpty()))
            firstSeenBusy = read;
        return QDateTime(QDate(2026, 12, 7), read);
    };
    platform::Tunables::DailyTickMs = 10;
    rig.scheduler->SetDailyTimerEnabled(true);
    ASSERT_TRUE(test::WaitFor([&] { return !rig.finished.isEmpty(); }));
    // The ticks of the rest of the minute start no second update.
    EXPECT_TRUE(test::WaitFor([&] { return now >= QTime(12, 0, 55); }));
    EXPECT_EQ(firstSeenBusy, QTime(12, 0, 31)) << "the update starts at the tick of the set time";
    EXPECT_FALSE(rig.scheduler->Busy());
    rig.scheduler->SetDailyTimerEnabled(false);
    platform::Tunables::Now = savedNow;
    platform::Tunables::DailyTickMs = savedTick;
    EXPECT_EQ(rig.finished, QStringList{"Daily: New strip updated"});
}

TEST_F(SiteTest, StartupTriggersFollowTheSettings)
{
    Comic("Boot", kMarch7);
    rig.ini.WriteBool("Updates", "UpdateProgramStart", false);
    rig.ini.WriteBool("Updates", "UpdateDaily", true);
    rig.scheduler->RunStartupTriggers();
    EXPECT_FALSE(rig.scheduler->Busy());
    EXPECT_TRUE(rig.scheduler->DailyTimerEnabled());
    rig.scheduler->SetDailyTimerEnabled(false);
    rig.ini.WriteBool("Updates", "UpdateProgramStart", true);
    rig.ini.WriteBool("Updates", "UpdateDaily", false);
    rig.scheduler->RunStartupTriggers();
    EXPECT_TRUE(rig.scheduler->Busy());
    EXPECT_FALSE(rig.scheduler->DailyTimerEnabled());
    ASSERT_TRUE(rig.RunBatch());
}

// Faults from a server of our own.
struct FaultTest : ::testing::Test {
    MisbehavingServer server;
    test::UpdateRig rig;
    test::MessageBoxRecorder boxes;
    const int savedSliceMs = platform::Tunables::AddComicsSliceMs;

    void SetUp() override
    {
        platform::Tunables::AddComicsSliceMs = std::numeric_limits<int>::max(); // as above
        ASSERT_TRUE(server.Start());
        qputenv("PANELWICK_SITE_BASE", server.Url("").toLatin1());
    }
    void TearDown() override
    {
        qunsetenv("PANELWICK_SITE_BASE");
        platform::Tunables::JobTimeoutMs = 60000;
        platform::Tunables::AddComicsSliceMs = savedSliceMs;
    }
    void Add(const QString& name) { rig.AddComic(name, server.Url("/" + name + "/index.html")); }
};

QByteArray PageResponse(const QByteArray& lastModified, const QByteArray& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nLast-Modified: " + lastModified +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

TEST_F(FaultTest, SilentServerTimesOutWithTheMessage)
{
    platform::Tunables::JobTimeoutMs = 300;
    server.SetScript(MisbehavingServer::SilenceAfterAccept());
    Add("Slow");
    rig.scheduler->UpdateComic("Slow");
    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.finished, QStringList{"Slow: Timed out"});
    EXPECT_EQ(rig.host.text, "0 updated, 0 didn't need a update, 1 failed.");
    ASSERT_TRUE(test::WaitFor([&] { return !boxes.Texts().isEmpty(); }));
    EXPECT_EQ(boxes.Texts(),
              QStringList{"Slow timed out while contacting the comic server. This could be caused for "
                          "several reason. For example, the server could be temporarily down, you are "
                          "not connected to the internet or your proxy settings are incorrect."});
    EXPECT_EQ(rig.info.Results(), QStringList{"Slow: Timed out"});
}

TEST_F(FaultTest, StripThatStallsMidwayTimesOutAndLeavesNothing)
{
    platform::Tunables::JobTimeoutMs = 400;
    const QByteArray page = StripPage("/archive/images/s.gif");
    server.SetScripts({MisbehavingServer::Respond(PageResponse("Tue, 07 Mar 2000 09:15:02 GMT", page)),
                       MisbehavingServer::Script()
                           .ReadRequest()
                           .Send("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\nGIF89a partial")
                           .HoldOpen()});
    Add("Stall");
    rig.scheduler->UpdateComic("Stall");
    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.finished, QStringList{"Stall: Timed out"});
    EXPECT_EQ(rig.FilesOf("Stall"), QStringList{});
}

TEST_F(FaultTest, BrokenTransfersEndAsFailuresAndLeaveNothing)
{
    const QByteArray page = StripPage("/archive/images/r.gif");
    const QByteArray lm = "Tue, 07 Mar 2000 09:15:02 GMT";
    server.SetScripts(
        {MisbehavingServer::Respond(PageResponse(lm, page)), MisbehavingServer::ResetDuringBody()});
    Add("Reset");
    rig.scheduler->UpdateComic("Reset");
    ASSERT_TRUE(rig.RunBatch());
    ASSERT_EQ(rig.finished.size(), 1);
    EXPECT_TRUE(rig.finished[0].startsWith("Reset: Failed: ")) << rig.finished[0].toStdString();
    EXPECT_EQ(rig.FilesOf("Reset"), QStringList{});
    EXPECT_EQ(rig.host.text, "0 updated, 0 didn't need a update, 1 failed.");
}

TEST_F(FaultTest, EveryFaultEndsAndFreesItsSlot)
{
    rig.ini.WriteInteger("Downloads", "MaxSimDownloads", 1); // each must free the one slot
    const QByteArray lm = "Tue, 07 Mar 2000 09:15:02 GMT";
    server.SetScripts({
        MisbehavingServer::Respond(
            "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html></html>"), // no date
        MisbehavingServer::Script().ReadRequest().Send("HTTP/1.0 200 OK\r\nLast-Modified: " + lm +
                                                       "\r\n"), // no body
        MisbehavingServer::ResetDuringHeader(),
        MisbehavingServer::HtmlWithoutHeader("<html>archive/images</html>"),
        MisbehavingServer::Respond("HTTP/1.0 500 Oops\r\nLast-Modified: " + lm + "\r\n\r\nerror page"),
        MisbehavingServer::LocationLoop(),
    });
    for (const char* n : {"NoDate", "NoBody", "ResetHead", "NoHeader", "Oops", "Loop"})
        Add(n);
    rig.AddComic("Refused", QString("http://127.0.0.1:%1/x.html").arg(MisbehavingServer::RefusingPort()));
    const int descriptors = OpenDescriptors();
    rig.scheduler->UpdateAllComics();
    ASSERT_TRUE(rig.RunBatch(30000)) << rig.finished.join("\n").toStdString();
    // The server runs in this process: its side of a connection closes a moment after ours.
    test::WaitFor([&] {
        for (int i = 0; i < server.Connections(); ++i)
            if (!server.Finished(i))
                return false;
        return true;
    });
    EXPECT_EQ(DescriptorsAfterBatch(descriptors), descriptors);
    EXPECT_EQ(rig.finished.size(), 7);
    for (const QString& line : rig.finished)
        EXPECT_TRUE(line.contains(": Failed: ") || line.contains("No strip found")) << line.toStdString();
    EXPECT_TRUE(rig.finished.filter("NoDate: Failed: the page has no Last-modified date").size() == 1)
        << rig.finished.join("\n").toStdString();
    EXPECT_TRUE(rig.finished.filter("Refused: Failed: ").size() == 1);
    EXPECT_EQ(rig.host.text, "0 updated, 0 didn't need a update, 7 failed.");
    EXPECT_FALSE(rig.host.abortEnabled);
}

TEST_F(FaultTest, MalformedDateLineShowsOneBoxAndKeepsTheState)
{
    server.SetScript(MisbehavingServer::Respond(
        "HTTP/1.0 200 OK\r\nLast-modified: Tue,  07 Mar 2000 09:15:02 GMT\r\nContent-Length: 4\r\n\r\nbody"));
    Add("BadDate");
    rig.scheduler->UpdateComic("BadDate");
    // The job stayed in its state (not new, not aborting): it ends for want of a usable date.
    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.finished,
              QStringList{"BadDate: Failed: the page's Last-modified date is not a valid date"});
    ASSERT_TRUE(test::WaitFor([&] { return !boxes.Texts().isEmpty(); }));
    EXPECT_EQ(boxes.Texts(), QStringList{"Exception in OnHeaders"});
    EXPECT_TRUE(rig.host.log.contains("BadDate: Last-modified: Tue,  07 Mar 2000 09:15:02 GMT"));
}

TEST_F(FaultTest, OversizedPageIsRefused)
{
    const QByteArray header = "HTTP/1.0 200 OK\r\nLast-Modified: Tue, 07 Mar 2000 09:15:02 GMT\r\n\r\n";
    server.SetScript(
        MisbehavingServer::Respond(header + QByteArray(TComicDownloadInfo::kMaxPageBytes + 100000, 'x')));
    Add("Huge");
    rig.scheduler->UpdateComic("Huge");
    ASSERT_TRUE(rig.RunBatch(30000));
    EXPECT_EQ(rig.finished, QStringList{"Huge: Failed: the page is larger than 8 MB"});
}

TEST_F(FaultTest, AbortDropsQueuedJobsAndEndsRunningOnes)
{
    rig.ini.WriteInteger("Downloads", "MaxSimDownloads", 2);
    server.SetScript(MisbehavingServer::SilenceAfterAccept());
    for (const char* n : {"A1", "A2", "A3", "A4"})
        Add(n);
    rig.scheduler->UpdateAllComics();
    ASSERT_TRUE(test::WaitFor([&] { return server.Connections() == 2; }));
    rig.scheduler->AbortAll();
    EXPECT_EQ(rig.scheduler->QueuedDownloads().Count(), 0);
    EXPECT_TRUE(rig.host.abortEnabled); // until the running ones report their end
    ASSERT_TRUE(rig.RunBatch());
    EXPECT_EQ(rig.finished, (QStringList{"A1: Aborted by user", "A2: Aborted by user"}));
    EXPECT_EQ(rig.host.text, "0 updated, 0 didn't need a update, 4 failed.");
    EXPECT_FALSE(rig.host.abortEnabled);
    EXPECT_EQ(server.Connections(), 2);
}

TEST_F(SiteTest, UserAbortWhileAbortingKeepsNoUpdateResult)
{
    comics::TComicInfo* comic = Comic("Keep", kMarch7);
    QDir().mkpath(rig.db.ComicFolder("Keep"));
    QFile stored(rig.StripPath("Keep", "Keep20000307.gif"));
    ASSERT_TRUE(stored.open(QIODevice::WriteOnly));
    stored.close();

    TComicDownloadInfo job(*comic, rig.db, rig.ini);
    QList<int> states;
    job.OnStatusChange = [&](TComicDownloadInfo& j) {
        states << j.State();
        if (j.State() == TComicDownloadInfo::kNoNewStripAborting)
            j.Abort(); // the user presses Abort right then
    };
    job.Start();
    ASSERT_TRUE(test::WaitFor([&] { return TComicDownloadInfo::IsFinal(job.State()); }));
    EXPECT_EQ(states, (QList<int>{0, 1, -4, 6}));
    EXPECT_EQ(job.StatusText(), "No updated strip found");
}

TEST_F(SiteTest, JobStepsAndDebugLogOfANewStrip)
{
    comics::TComicInfo* comic = Comic("Steps", kMarch7);
    QDir().mkpath(rig.db.ComicFolder("Steps"));
    TComicDownloadInfo job(*comic, rig.db, rig.ini);
    QList<int> states;
    QStringList log;
    job.OnStatusChange = [&](TComicDownloadInfo& j) { states << j.State(); };
    job.OnLog = [&](const QString& line) { log << line; };
    job.Start();
    ASSERT_TRUE(test::WaitFor([&] { return TComicDownloadInfo::IsFinal(job.State()); }));
    EXPECT_EQ(states, (QList<int>{0, 1, -3, 2, 3, 4}));
    EXPECT_EQ(job.Extension(), ".gif");
    EXPECT_EQ(job.StripFileName(), "Steps20000307.gif");
    EXPECT_EQ(job.DownloadedSize(), GifBytes().size());
    // One body begin per request; header lines after the date decision are not logged.
    EXPECT_EQ(log.count("Steps: onDataBegin"), 2);
    const qsizetype date = log.indexOf(QRegularExpression("^Steps: Last-Modified: .*"));
    ASSERT_GE(date, 0);
    EXPECT_EQ(log.indexOf(QRegularExpression("^Steps: (?!onDataBegin).*"), date + 1), -1)
        << log.join("\n").toStdString();
}
