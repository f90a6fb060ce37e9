// The files that the window and a batch or add run beside it both rewrite: changes made
// at the same moment by two writers are all kept.
#include "comics/TComicStrip.h"
#include "comics/TComicStripsDB.h"
#include "comics/TComicsList.h"
#include "comics/TUserCatalogue.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace pw;

namespace {

// Runs write(writer, i) for i in [0, n) from two writers at once.
template <class F> void TwoWriters(int n, F write)
{
    std::atomic<int> ready{0};
    auto run = [&](int writer) {
        ++ready;
        while (ready < 2)
            std::this_thread::yield();
        for (int i = 0; i < n; ++i)
            write(writer, i);
    };
    std::thread a(run, 0), b(run, 1);
    a.join();
    b.join();
}

} // namespace

TEST(SharedFiles, WritersAtTheSameMomentLoseNothingOfEachOther)
{
    QTemporaryDir dir;
    constexpr int kEach = 40;

    // The configuration file: the window's keys and an add run's choice.
    const QString iniPath = dir.filePath("panelwick.ini");
    TwoWriters(kEach, [&](int writer, int i) {
        platform::TIniFile ini(iniPath);
        ini.WriteBool("Comics", QString("W%1 comic %2").arg(writer).arg(i), true);
    });
    platform::TIniFile ini(iniPath);
    for (int writer = 0; writer < 2; ++writer)
        for (int i = 0; i < kEach; ++i)
            EXPECT_TRUE(ini.ReadBool("Comics", QString("W%1 comic %2").arg(writer).arg(i), false))
                << writer << " " << i;

    // The user's catalogue.
    const QString mine = dir.filePath("MyComics.urls");
    TwoWriters(kEach, [&](int writer, int i) {
        QString error;
        EXPECT_TRUE(comics::TUserCatalogue::Append(mine, QString("W%1 comic %2").arg(writer).arg(i),
                                                   QString("https://w%1.test/%2").arg(writer).arg(i), &error))
            << error.toStdString();
    });
    comics::TComicsList list;
    list.LoadUserCatalogue(mine);
    EXPECT_EQ(list.Count(), 2 * kEach);

    // A comic's unread marks: a batch run marks new strips unread while the window marks
    // the ones it shows read.
    comics::TComicStripsDB db(dir.filePath("Comics"));
    ASSERT_TRUE(QDir().mkpath(db.ComicFolder("C")));
    const auto strip = [&](int day) {
        return *comics::TComicStrip::FromFileName(QString("C2001%1%2.gif")
                                                      .arg(1 + day / 28, 2, 10, QChar('0'))
                                                      .arg(1 + day % 28, 2, 10, QChar('0')),
                                                  db.Dir());
    };
    for (int i = 0; i < kEach; ++i)
        db.MarkUnread(strip(i)); // listed before, read now by the window
    TwoWriters(kEach, [&](int writer, int i) {
        if (writer == 0)
            db.MarkRead(strip(i));
        else
            db.MarkUnread(strip(kEach + i)); // new strips of the batch run
    });
    EXPECT_EQ(db.UnreadCount("C"), kEach);
    EXPECT_EQ(db.FirstUnreadStrip("C")->FileName, strip(kEach).FileName);
}
