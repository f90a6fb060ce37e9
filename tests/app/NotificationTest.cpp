// New strips announced through the desktop's notification service: the real program
// updates from nginx, the notifications go over a private session bus to a recording
// service.
#include "AppFixture.h"
#include "MessageBoxRecorder.h"
#include "NginxServer.h"
#include "NotificationBus.h"
#include "TestPaths.h"

#include "app/TForm1.h"
#include "app/TStartup.h"
#include "app/UnreadMarks.h"
#include "app/UpdateEngine.h"
#include "comics/TComicInfo.h"
#include "desktop/TTrayIcon.h"
#include "platform/IniFile.h"
#include "update/TUpdateScheduler.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QTest>
#include <gtest/gtest.h>

using namespace pw;

namespace {

QDateTime Day(int day)
{
    return QDateTime(QDate(2001, 12, day), QTime(10, 0), Qt::UTC);
}

class Notifications : public ::testing::Test {
protected:
    // One bus for the process: the program connects to the session bus once.
    static void SetUpTestSuite()
    {
        bus = new test::NotificationBus;
        started = bus->Start();
        if (started)
            qputenv("DBUS_SESSION_BUS_ADDRESS", bus->Address().toUtf8());
    }
    static void TearDownTestSuite()
    {
        delete bus;
        bus = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(started) << bus->Error().toStdString();
        ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
        qputenv("PANELWICK_SITE_BASE", nginx.Url("").toLatin1());
        QFile gif(test::SourceDir() + "/tests/smoke/smoke-a.gif");
        ASSERT_TRUE(gif.open(QIODevice::ReadOnly));
        ASSERT_TRUE(nginx.WriteFile("archive/images/s.gif", gif.readAll()));
        before = bus->Notifications().size();
    }
    void TearDown() override { qunsetenv("PANELWICK_SITE_BASE"); }

    void Publish(const QString& comic, const QDateTime& date)
    {
        ASSERT_TRUE(nginx.WriteFile(comic + "/index.html",
                                    "<html>\n<img src=\"/archive/images/s.gif\"> archive/images\n</html>\n",
                                    date));
    }
    // The program with its real update engine, started in the program's order; with
    // `desktop`, that records what would go to the desktop instead.
    app::TForm1& Start(const QStringList& comics, const QByteArray& iniExtra,
                       std::unique_ptr<app::TDesktopIntegration> desktop = nullptr,
                       const QHash<QString, QString>& addresses = {})
    {
        QByteArray catalogue;
        QByteArray ini = "[Comics]\r\n";
        for (const QString& c : comics) {
            const QString address = addresses.value(c, "http://comics.example/" + c + "/index.html");
            catalogue += (c + "\t" + address + "\r\n").toUtf8();
            ini += (c + "=1\r\n").toUtf8();
        }
        folder.WriteCatalogue(catalogue);
        folder.WriteIni(ini + "[Updates]\r\nUpdateProgramStart=0\r\n[Downloads]\r\nMaxSimDownloads=1\r\n" +
                        iniExtra);
        startup = std::make_unique<app::TStartup>();
        if (desktop)
            startup->MainWindow().SetDesktopIntegration(std::move(desktop));
        EXPECT_TRUE(startup->Start(folder.Options()));
        return startup->MainWindow();
    }
    app::TForm1& form() { return startup->MainWindow(); }
    // Ctrl+U, and back when the batch is over.
    void UpdateAll()
    {
        form().Updatecomicstrips1->trigger();
        auto& engine = dynamic_cast<app::UpdateEngine&>(form().Updates());
        ASSERT_TRUE(test::WaitFor([&] { return !engine.Scheduler().Busy(); }, 20000));
    }
    QList<QJsonObject> Recorded(int expected)
    {
        // The notification travels asynchronously; wait for it, or a while for none.
        test::WaitFor([&] { return bus->Notifications().size() - before >= std::max(expected, 1); },
                      expected > 0 ? 5000 : 400);
        return bus->Notifications().mid(before);
    }
    void PutInFront(QWidget& w)
    {
        w.showNormal();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }

    static inline test::NotificationBus* bus = nullptr;
    static inline bool started = false;
    test::MessageBoxRecorder boxes;
    test::ProgramFolder folder;
    test::NginxServer nginx;
    std::unique_ptr<app::TStartup> startup;
    qsizetype before = 0;
};

QString Mark(const app::TForm1& f, const QString& comic)
{
    const int i = f.comboComics->findText(comic);
    return f.comboComics->itemData(i, Qt::ToolTipRole).toString();
}

TEST_F(Notifications, ABatchWithNewStripsIsAnnouncedOnceAndItsClickShowsTheFirstComic)
{
    for (const char* c : {"Alpha", "Beta", "Gamma", "Delta"})
        Publish(c, Day(4));
    folder.AddGif("Delta", "20011204", "red"); // already stored: nothing new
    app::TForm1& f = Start({"Alpha", "Beta", "Gamma", "Delta"}, "[Comics]\r\nCurrentComic=Delta\r\n");
    f.showMinimized();
    UpdateAll();

    QList<QJsonObject> shown = Recorded(1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0]["app_name"].toString(), "Panelwick");
    EXPECT_EQ(shown[0]["summary"].toString(), "Panelwick");
    EXPECT_EQ(shown[0]["body"].toString(), "3 new strips: Alpha, Beta, Gamma");
    EXPECT_TRUE(shown[0]["actions"].toArray().contains("default"));
    // Meanwhile the selector tells which comics have something new.
    EXPECT_EQ(Mark(f, "Alpha"), "1 unread strip");
    EXPECT_EQ(Mark(f, "Gamma"), "1 unread strip");
    EXPECT_EQ(Mark(f, "Delta"), "");
    EXPECT_EQ(f.Unread().Total(), 3);
    EXPECT_EQ(f.TrayIcon1->Hint(), "Panelwick - 3 unread strips");

    // Nothing new: nothing to say.
    UpdateAll();
    EXPECT_EQ(Recorded(0).size(), 1);

    ASSERT_TRUE(bus->Click(static_cast<uint>(shown[0]["id"].toInt())));
    ASSERT_TRUE(test::WaitFor([&] { return f.CurrentComic() && f.CurrentComic()->Name == "Alpha"; }));
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.isMinimized());
    EXPECT_EQ(f.comboComics->currentText(), "Alpha");
    ASSERT_TRUE(f.CurrentComic()->CurrentStrip);
    EXPECT_EQ(f.CurrentComic()->CurrentStrip->FileName, "Alpha20011204.gif");
    EXPECT_EQ(Mark(f, "Alpha"), "");
    EXPECT_EQ(f.Unread().Total(), 2);
    EXPECT_EQ(f.TrayIcon1->Hint(), "Panelwick - 2 unread strips");
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("\n").toStdString();
}

TEST_F(Notifications, AStripWithATitleIsNamedByItInTheNoticeAndTheTrayHint)
{
    Publish("Alpha", Day(4));
    // A feed comic: its item's title names the strip.
    QFile gif(test::SourceDir() + "/tests/smoke/smoke-a.gif");
    ASSERT_TRUE(gif.open(QIODevice::ReadOnly));
    ASSERT_TRUE(nginx.WriteFile("weather/rain.gif", gif.readAll()));
    const QString yesterday = QLocale::c().toString(QDateTime::currentDateTimeUtc().addDays(-1),
                                                    QStringLiteral("ddd, dd MMM yyyy 10:00:00 +0000"));
    ASSERT_TRUE(nginx.WriteFile("weather/feed.xml",
                                ("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>W</title><item>"
                                 "<title>Rain</title><link>" +
                                 nginx.Url("/weather/rain") + "</link><pubDate>" + yesterday +
                                 "</pubDate><enclosure type=\"image/gif\" url=\"" +
                                 nginx.Url("/weather/rain.gif") + "\"/></item></channel></rss>")
                                    .toUtf8()));
    // Gamma is on screen, so that the new strips stay unread.
    app::TForm1& f = Start({"Alpha", "Weather", "Gamma"}, "[Comics]\r\nCurrentComic=Gamma\r\n", nullptr,
                           {{"Weather", nginx.Url("/weather/feed.xml")}});
    f.showMinimized();
    UpdateAll();
    const QList<QJsonObject> shown = Recorded(1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0]["body"].toString(), QStringLiteral("2 new strips: Alpha, Weather \u2013 Rain"));
    EXPECT_EQ(f.TrayIcon1->Hint(), QStringLiteral("Panelwick - 2 unread strips\nWeather \u2013 Rain"));
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("\n").toStdString();
}

TEST_F(Notifications, NothingIsAnnouncedWhenSwitchedOffOrWhileTheWindowIsInFront)
{
    Publish("Alpha", Day(4));
    app::TForm1& f = Start({"Alpha"}, "[Updates]\r\nNotifyNewStrips=0\r\n");
    f.showMinimized();
    UpdateAll();
    EXPECT_EQ(Recorded(0).size(), 0) << "switched off";

    f.Ini().WriteBool("Updates", "NotifyNewStrips", true);
    PutInFront(f);
    Publish("Alpha", Day(5));
    UpdateAll();
    EXPECT_EQ(Recorded(0).size(), 0) << "the user is looking at the window";

    // Behind another window counts as away.
    QWidget other;
    other.resize(200, 100);
    PutInFront(other);
    ASSERT_FALSE(f.isActiveWindow());
    Publish("Alpha", Day(6));
    UpdateAll();
    const QList<QJsonObject> shown = Recorded(1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0]["body"].toString(), "1 new strip: Alpha");
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("\n").toStdString();
}

TEST_F(Notifications, WithoutANotificationServiceTheTrayIconSaysIt)
{
    bus->StopService();
    Publish("Alpha", Day(4));
    Publish("Beta", Day(4));
    auto log = std::make_shared<test::HookLog>();
    auto recording = std::make_unique<test::RecordingDesktop>(log);
    test::RecordingDesktop& desktop = *recording;
    app::TForm1& f = Start({"Alpha", "Beta"}, "[Comics]\r\nCurrentComic=Beta\r\n", std::move(recording));
    f.showMinimized();
    UpdateAll();
    const QString message = "ShowTrayMessage Panelwick: 2 new strips: Alpha, Beta";
    ASSERT_TRUE(test::WaitFor([&] { return log->calls.contains(message); }))
        << log->calls.join("\n").toStdString();
    EXPECT_EQ(log->calls.count(message), 1);

    ASSERT_TRUE(desktop.trayMessageClicked);
    desktop.trayMessageClicked();
    EXPECT_FALSE(f.isMinimized());
    EXPECT_EQ(f.CurrentComic()->Name, "Alpha");
    EXPECT_EQ(f.comboComics->currentText(), "Alpha");
    EXPECT_EQ(Recorded(0).size(), 0);
    ASSERT_TRUE(bus->StartService()) << bus->Error().toStdString();
}

TEST(NewStripsText, NamesAtMostFiveComicsThenCountsTheRest)
{
    using app::NewStripsNotifier;
    EXPECT_EQ(NewStripsNotifier::Text(1, {"Alpha"}), "1 new strip: Alpha");
    EXPECT_EQ(NewStripsNotifier::Text(2, {"Alpha"}), "2 new strips: Alpha");
    EXPECT_EQ(NewStripsNotifier::Text(5, {"A", "B", "C", "D", "E"}), "5 new strips: A, B, C, D, E");
    EXPECT_EQ(NewStripsNotifier::Text(7, {"A", "B", "C", "D", "E", "F", "G"}),
              "7 new strips: A, B, C, D, E and 2 more");
}

} // namespace

TEST_F(Notifications, NamesAreTextForAMarkupServiceAndLongOnesAreCut)
{
    const QString longName = QString(60, 'L');
    const QString cut = QString(39, 'L') + QChar(0x2026);
    const QStringList comics{"Tom&Jerry", "<b>Bold", longName};
    for (const QString& c : comics)
        Publish(c, Day(4));
    app::TForm1& f = Start(comics, "");
    f.showMinimized();

    ASSERT_TRUE(bus->SetCapabilities({"actions", "body", "body-markup"}));
    UpdateAll();
    QList<QJsonObject> shown = Recorded(1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0]["body"].toString(), "3 new strips: Tom&amp;Jerry, &lt;b&gt;Bold, " + cut);

    // A service without markup takes the names as they are.
    ASSERT_TRUE(bus->SetCapabilities({"actions", "body"}));
    for (const QString& c : comics)
        Publish(c, Day(5));
    before = bus->Notifications().size();
    UpdateAll();
    shown = Recorded(1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0]["body"].toString(), "3 new strips: Tom&Jerry, <b>Bold, " + cut);
}
