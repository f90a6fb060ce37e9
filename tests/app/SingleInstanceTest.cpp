// A second start and the window's channel: the address forms a browser passes, what
// travels over the channel, and how a second start ends.
#include "app/SingleInstance.h"
#include "AppFixture.h"
#include "app/InstanceRequest.h"
#include "app/StartupOptions.h"
#include "app/TForm1.h"
#include "app/TfrmAddComic.h"
#include "app/UnreadMarks.h"
#include "app/WindowRequests.h"
#include "comics/TComicInfo.h"
#include "platform/IniFile.h"
#include "platform/LocalChannel.h"
#include "platform/LocalRequestServer.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <future>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace pw;
using app::TInstanceRequest;
using app::TStartupOptions;

namespace {

template <class T> T WhileLooping(std::future<T> result)
{
    QDeadlineTimer deadline(30000);
    while (result.wait_for(std::chrono::seconds(0)) != std::future_status::ready && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return result.get();
}

std::optional<QByteArray> Ask(const QByteArray& path, const QByteArray& request)
{
    return WhileLooping(std::async(std::launch::async, [&] {
        return platform::LocalChannel::Exchange(platform::LocalChannel::Reach(path), request, 20000);
    }));
}

} // namespace

TEST(SingleInstance, ALoneAddressInEveryFormABrowserPassesOpensAddComic)
{
    const auto open = [](const QStringList& arguments) {
        const auto o = TStartupOptions::Parse(arguments);
        EXPECT_TRUE(o) << arguments.join(' ').toStdString();
        return o ? o->OpenAddress : QString("(refused)");
    };
    EXPECT_EQ(open({"https://comics.test/feed.xml"}), "https://comics.test/feed.xml");
    EXPECT_EQ(open({"feed:https://comics.test/feed.xml"}), "https://comics.test/feed.xml");
    EXPECT_EQ(open({"FEED:http://comics.test/rss"}), "http://comics.test/rss");
    // feed://host/... names no scheme: tried as https, then http, like a typed address.
    EXPECT_EQ(open({"feed://comics.test/feed.xml"}), "comics.test/feed.xml");
    EXPECT_EQ(open({"feed://localhost:8080/rss"}), "localhost:8080/rss");
    EXPECT_EQ(open({"comics.test"}), "comics.test");
    EXPECT_EQ(open({"--program-folder", "/srv/pw", "feed://a.test/f", "-platform", "xcb"}), "a.test/f");
    EXPECT_EQ(TStartupOptions::Parse({})->OpenAddress, QString());
    EXPECT_EQ(TStartupOptions::Parse({"-platform", "offscreen"})->OpenAddress, QString());

    // A feed saved on this computer, as a path or a file: address.
    QTemporaryDir dir;
    QFile feed(dir.filePath("saved feed.rss"));
    ASSERT_TRUE(feed.open(QIODevice::WriteOnly));
    feed.close();
    for (const QString& given : QStringList{dir.filePath("saved feed.rss"),
                                            QUrl::fromLocalFile(dir.filePath("saved feed.rss")).toString()}) {
        const auto o = TStartupOptions::Parse({given});
        ASSERT_TRUE(o);
        EXPECT_EQ(o->OpenFeedFile, dir.filePath("saved feed.rss"));
        EXPECT_TRUE(o->OpenAddress.isEmpty());
    }

    for (const QStringList& bad : {QStringList{"a.test", "b.test"}, QStringList{"--batch-update", "a.test"},
                                   QStringList{"--add-comic", "a.test", "b.test"}, QStringList{"stray"}}) {
        QString error;
        EXPECT_FALSE(TStartupOptions::Parse(bad, &error)) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(SingleInstance, RequestsTravelWholeAndAnythingElseIsRefused)
{
    TInstanceRequest show;
    show.Address = QString::fromUtf8("https://comics.test/s\u00e9rie feed?a=1&b=%20");
    show.StartupId = "openbox/panelwick/1234-0-host_TIME5678";
    show.ActivationToken = "token with\ttab";
    const auto back = TInstanceRequest::Decode(show.Encode());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Kind, TInstanceRequest::TKind::Show);
    EXPECT_EQ(back->Address, show.Address);
    EXPECT_EQ(back->StartupId, show.StartupId);
    EXPECT_EQ(back->ActivationToken, show.ActivationToken);

    TInstanceRequest strips;
    strips.Kind = TInstanceRequest::TKind::Strips;
    strips.ComicName = QString::fromUtf8("Caf\u00e9 & Co 100%");
    EXPECT_EQ(TInstanceRequest::Decode(strips.Encode())->ComicName, strips.ComicName);

    const QByteArray head = "panelwick-request 1\n";
    for (const QByteArray& garbage :
         {QByteArray(), QByteArray("GET / HTTP/1.0\r\n\r\n"), QByteArray("panelwick-request 2\nshow\n"),
          head + "shout\n", head + "show", head + "show\naddress a%0Ab\n", head + "show\naddress %FF%FE\n",
          head + "strips\n", head + "show\nfeed-file relative.rss\n", head + "show\nnovalue\n",
          QByteArray(5000, '\0')}) {
        EXPECT_FALSE(TInstanceRequest::Decode(garbage)) << garbage.left(60).toStdString();
    }
    // Keys of a later version are passed over.
    EXPECT_TRUE(TInstanceRequest::Decode(head + "catalogue\nfuture-key x\n"));

    // The window's channel answers garbage with a refusal and takes a request.
    QTemporaryDir dir;
    const QByteArray path = platform::LocalChannel::SocketPath("window requests");
    const auto claim = platform::LocalChannel::ClaimOrReach(path);
    ASSERT_GE(claim.ListenFd, 0);
    app::WindowRequests requests(claim.ListenFd, path);
    EXPECT_EQ(Ask(path, "GET / HTTP/1.0\r\n\r\n"), TInstanceRequest::Refused());
    EXPECT_EQ(Ask(path, strips.Encode()), TInstanceRequest::Done());
}

TEST(SingleInstance, ASecondStartHandsItsAddressToTheRunningWindowAndEnds)
{
    QTemporaryDir dir;
    const auto options = TStartupOptions::Parse(
        {"--program-folder", dir.path(), "feed:https://comics.test/feed.xml"}, "/opt/bin/panelwick");
    ASSERT_TRUE(options);
    const QByteArray path = app::SingleInstance::SocketPath(options->Paths);
    ASSERT_FALSE(path.isEmpty());

    // No window runs: this start is the window.
    const app::SingleInstance::TClaim first = app::SingleInstance::ClaimWindow(*options);
    ASSERT_GE(first.ListenFd, 0);
    EXPECT_FALSE(first.ExitCode);
    EXPECT_EQ(first.SocketPath, path);

    platform::LocalRequestServer window(first.ListenFd, path);
    std::optional<TInstanceRequest> received;
    QByteArray answer = TInstanceRequest::Done();
    window.OnRequest = [&](const QByteArray& bytes) {
        received = TInstanceRequest::Decode(bytes);
        return answer;
    };
    qputenv("DESKTOP_STARTUP_ID", "launcher-42_TIME99");
    const auto second = WhileLooping(
        std::async(std::launch::async, [&] { return app::SingleInstance::ClaimWindow(*options); }));
    qunsetenv("DESKTOP_STARTUP_ID");
    EXPECT_EQ(second.ExitCode, 0);
    EXPECT_LT(second.ListenFd, 0);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->Kind, TInstanceRequest::TKind::Show);
    EXPECT_EQ(received->Address, "https://comics.test/feed.xml");
    EXPECT_EQ(received->StartupId, "launcher-42_TIME99");

    // A window that refuses: the start ends with 1 and opens nothing of its own.
    answer = TInstanceRequest::Refused();
    const auto refused = WhileLooping(
        std::async(std::launch::async, [&] { return app::SingleInstance::ClaimWindow(*options); }));
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_LT(refused.ListenFd, 0);
}

TEST(SingleInstance, AStartWhileTheWindowClosesBecomesTheWindow)
{
    QTemporaryDir dir;
    const auto options = TStartupOptions::Parse({"--program-folder", dir.path()}, "/opt/bin/panelwick");
    const app::SingleInstance::TClaim first = app::SingleInstance::ClaimWindow(*options);
    ASSERT_GE(first.ListenFd, 0);
    // The window's loop has ended: what reaches it now goes unanswered, and it lets go.
    auto closing = std::make_unique<platform::LocalRequestServer>(first.ListenFd, first.SocketPath);
    closing->OnRequest = [&](const QByteArray&) {
        QTimer::singleShot(0, [&] { closing.reset(); });
        return QByteArray();
    };
    const auto next = WhileLooping(
        std::async(std::launch::async, [&] { return app::SingleInstance::ClaimWindow(*options); }));
    EXPECT_FALSE(next.ExitCode);
    EXPECT_GE(next.ListenFd, 0);
    EXPECT_FALSE(closing);
    ::close(next.ListenFd);
}

namespace {

template <class F> bool LoopUntil(F done)
{
    QDeadlineTimer deadline(30000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    return done();
}

QStringList SelectorItems(const app::TForm1& form)
{
    QStringList items;
    for (int i = 0; i < form.comboComics->count(); ++i)
        items << form.comboComics->itemText(i);
    return items;
}

} // namespace

TEST(SingleInstance, TheWindowTakesWhatOtherProcessesTellIt)
{
    test::ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://127.0.0.1:9/a/\r\nBeta\thttp://127.0.0.1:9/b/\r\n");
    folder.WriteIni(
        "[Comics]\r\nAlpha=1\r\nBeta=1\r\nCurrentComic=Alpha\r\n[Updates]\r\nUpdateProgramStart=0\r\n");
    folder.AddGif("Alpha", "20010101", "red");
    folder.AddGif("Beta", "20010101", "red");
    test::TestProgram program;
    ASSERT_TRUE(program.Start(folder.Options()));
    app::TForm1& form = program.form;
    ASSERT_EQ(test::ShownColour(form), QColor("red"));
    app::WindowRequests requests(-1, {});
    requests.Attach(form);

    // A batch run beside the window stored strips of the comic on screen and of another.
    const auto stored = [&](const QString& comic, const QString& colour) {
        folder.AddGif(comic, "20010102", colour);
        folder.WriteUnread(comic, {comic + "20010102.gif"});
        TInstanceRequest told;
        told.Kind = TInstanceRequest::TKind::Strips;
        told.ComicName = comic;
        requests.Post(told);
    };
    stored("Beta", "blue");
    ASSERT_TRUE(LoopUntil([&] { return form.Unread().Count("Beta") == 1; }));
    EXPECT_EQ(test::ShownColour(form), QColor("red")); // the strip being read stays
    stored("Alpha", "lime");
    ASSERT_TRUE(LoopUntil([&] { return test::ShownColour(form) == QColor("lime"); }));
    EXPECT_EQ(folder.Unread("Alpha"), QStringList()); // shown, so read

    // "--add-comic" beside the window, while a dialog is open: taken in once it closes.
    QFile mine(folder.Path() + "MyComics.urls");
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("Gamma\thttp://127.0.0.1:9/g/\r\n");
    mine.close();
    form.Ini().WriteBool("Comics", "Gamma", true);
    QDialog dialog(&form);
    dialog.open();
    ASSERT_TRUE(LoopUntil([&] { return QApplication::activeModalWidget() == &dialog; }));
    TInstanceRequest added;
    added.Kind = TInstanceRequest::TKind::Catalogue;
    requests.Post(added);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(SelectorItems(form), QStringList({"Alpha", "Beta"}));
    dialog.reject();
    ASSERT_TRUE(LoopUntil([&] {
        return SelectorItems(form) == QStringList({"Alpha", "Beta", "Gamma"});
    })) << SelectorItems(form).join(' ').toStdString();
    EXPECT_TRUE(form.AllComics().FindByName("Gamma")->UserAdded);

    // A second start with an address: Add comic opens with it.
    QString filled;
    form.RunAddComicModal = [&](QDialog& d) {
        filled = static_cast<app::TfrmAddComic&>(d).editAddress->text();
        return false;
    };
    TInstanceRequest show;
    show.Address = "https://comics.test/feed.xml";
    requests.Post(show);
    ASSERT_TRUE(LoopUntil([&] { return !filled.isEmpty(); }));
    EXPECT_EQ(filled, "https://comics.test/feed.xml");
}
