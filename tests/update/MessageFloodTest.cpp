// Faults that a server can repeat as often as it likes, while a message box is open (a
// modal box runs the event loop, so network events go on inside it): each fault of a job
// gives at most one box, and boxes never stack up.
#include "UpdateTestSupport.h"

#include "MessageBoxRecorder.h"
#include "MisbehavingServer.h"
#include "QStringPrinter.h"
#include "TestPaths.h"
#include "platform/Tunables.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace pw;
using test::MisbehavingServer;

namespace {

const QString kTimedOut =
    " timed out while contacting the comic server. This could be caused for several reason. For "
    "example, the server could be temporarily down, you are not connected to the internet or your "
    "proxy settings are incorrect.";

// A redirect whose header repeats a Last-modified line that holds no date.
QByteArray RedirectWithBadDates(int lines)
{
    QByteArray response = "HTTP/1.0 302 Found\r\nLocation: /again.html\r\n";
    for (int i = 0; i < lines; ++i)
        response += "Last-modified: Tue,  07 Mar 2000 09:15:02 GMT\r\n";
    return response + "\r\n";
}

struct MessageFlood : ::testing::Test {
    MisbehavingServer flood;
    MisbehavingServer silent;
    test::UpdateRig rig;
    test::MessageBoxRecorder boxes;

    void SetUp() override
    {
        ASSERT_TRUE(flood.Start());
        ASSERT_TRUE(silent.Start());
        rig.ini.WriteInteger("Downloads", "MaxSimDownloads", 6);
        rig.info.SetSlotCount(6);
    }
    void TearDown() override { platform::Tunables::JobTimeoutMs = 60000; }
};

} // namespace

TEST_F(MessageFlood, BadDatesAndTimeOutsRaiseOneBoxEachWhileOneIsOpen)
{
    platform::Tunables::JobTimeoutMs = 300;
    flood.SetScript(MisbehavingServer::Respond(RedirectWithBadDates(50)));
    silent.SetScript(MisbehavingServer::SilenceAfterAccept());
    for (const QString name : {"FloodA", "FloodB", "FloodC"})
        rig.AddComic(name, flood.Url("/" + name + ".html"));
    for (const QString name : {"SilentA", "SilentB", "SilentC"})
        rig.AddComic(name, silent.Url("/" + name + ".html"));
    // The first box stays open until every job has ended.
    boxes.HoldOpenUntil([&] { return !rig.scheduler->Busy(); });

    rig.scheduler->UpdateAllComics();
    ASSERT_TRUE(rig.RunBatch());
    ASSERT_TRUE(test::WaitFor([&] { return boxes.Texts().size() >= 2; }));
    QCoreApplication::processEvents(); // what the last jobs posted

    QStringList finished = rig.finished;
    finished.sort();
    EXPECT_EQ(finished, QStringList({"FloodA: Failed: the page's Last-modified date is not a valid date",
                                     "FloodB: Failed: the page's Last-modified date is not a valid date",
                                     "FloodC: Failed: the page's Last-modified date is not a valid date",
                                     "SilentA: Timed out", "SilentB: Timed out", "SilentC: Timed out"}));
    EXPECT_EQ(flood.Connections(), 3); // the first bad line ends the job: no redirect followed
    // One box for the bad dates of three comics, one for three time-outs.
    const QStringList texts = boxes.Texts();
    ASSERT_EQ(texts.size(), 2) << texts.join("\n").toStdString();
    EXPECT_EQ(texts.count("Exception in OnHeaders"), 1);
    EXPECT_EQ(texts.filter(kTimedOut).size(), 1);
}
