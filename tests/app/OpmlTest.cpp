// "--import-opml" and "--export-opml" through the real program, with outline lists shaped
// as feed readers export them.
#include "TestPaths.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pw;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

struct Outcome {
    int exitCode = -1;
    QString out;
    QString errors;
};

// A program folder with the shipped catalogue's one comic.
struct Folder {
    QTemporaryDir dir;
    platform::TIniFile ini{dir.filePath("panelwick.ini")};

    Folder() { Write(dir.filePath("Comics.urls"), "Shipped\thttp://comics.example/shipped.html\r\n"); }
    QString MyComics() const { return QString::fromUtf8(ReadAll(dir.filePath("MyComics.urls"))); }

    Outcome Program(const QStringList& arguments) const
    {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.remove("DISPLAY"); // needs none
        e.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(e);
        p.start(test::BinaryDir() + "/panelwick", arguments + QStringList{"--program-folder", dir.path()});
        Outcome r;
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        r.errors = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
};

QString Opml(const char* name)
{
    return test::FixturePath(QStringLiteral("opml/") + name);
}

} // namespace

TEST(Opml, FeedReaderExportsBecomeComicsAndWhatIsPassedOverIsSaid)
{
    Folder folder;
    folder.ini.WriteBool("Comics", "Shipped", true);

    // Liferea: nested folders, type="rss", a title escaped twice, the same feed in two
    // folders, a local script and a file as feeds, a news bin without an address.
    Outcome r = folder.Program({"--import-opml", Opml("liferea-folders.opml")});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.out, "Imported 3 comics; 1 was already followed; 2 refused: Local script "
                     "(|/home/ann/bin/make-feed.sh is no http:// or https:// address), Saved from disk "
                     "(file:///home/ann/feeds/old.xml is no http:// or https:// address).");
    // FreshRSS: text without title, a feed: address, an outline without a usable title, an
    // empty address, and a comic of the shipped catalogue followed already.
    r = folder.Program({"--import-opml", Opml("freshrss-text-only.opml")});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.out, "Imported 3 comics; 1 was already followed; 1 refused: A Blog With No Feed Address "
                     "(no feed address).");
    EXPECT_EQ(folder.MyComics(), "Mossback Comics\thttps://mossback.example/feed/\r\n"
                                 "Penny & Quill\thttp://pennyquill.example/rss.xml\r\n"
                                 "Le Caf\u00e9 du Coin \u2013 Strips\thttps://cafe.example/comic/atom.xml\r\n"
                                 "Tiny Robots\thttps://tinyrobots.example/feed.xml\r\n"
                                 "feed: form\thttp://forms.example/feed.rss\r\n"
                                 "untitled.example\thttps://untitled.example/rss\r\n");
    for (const char* name : {"Mossback Comics", "Penny & Quill", "Le Caf\u00e9 du Coin \u2013 Strips",
                             "Tiny Robots", "feed: form", "untitled.example"})
        EXPECT_TRUE(folder.ini.ReadBool("Comics", QString::fromUtf8(name), false)) << name;

    // Again: everything is followed already, nothing is doubled.
    r = folder.Program({"--import-opml", Opml("liferea-folders.opml")});
    EXPECT_TRUE(r.out.startsWith("Imported 0 comics; 4 were already followed; 2 refused: "))
        << r.out.toStdString();
    EXPECT_EQ(folder.MyComics().count('\n'), 6);

    // Many unusable entries: the first few are named.
    QByteArray many = "<opml version=\"1.1\"><body>";
    for (int i = 1; i <= 7; ++i)
        many += "<outline text=\"Old " + QByteArray::number(i) + "\" xmlUrl=\"ftp://old.example/" +
                QByteArray::number(i) + "\"/>";
    Write(folder.dir.filePath("many.opml"), many + "</body></opml>");
    r = folder.Program({"--import-opml", folder.dir.filePath("many.opml")});
    EXPECT_EQ(r.out,
              "Imported 0 comics; 7 refused: Old 1 (ftp://old.example/1 is no http:// or https:// "
              "address), Old 2 (ftp://old.example/2 is no http:// or https:// address), Old 3 "
              "(ftp://old.example/3 is no http:// or https:// address), Old 4 (ftp://old.example/4 is no "
              "http:// or https:// address), Old 5 (ftp://old.example/5 is no http:// or https:// "
              "address) and 2 more.");
}

TEST(Opml, ExportedComicsComeBackWhole)
{
    Folder from;
    Write(from.dir.filePath("MyComics.urls"), "Inky & Co\thttps://inky.example/feed.xml\r\n"
                                              "Page Comic\thttps://page.example/\r\n"
                                              "Unchosen\thttps://unchosen.example/rss\r\n");
    from.ini.WriteBool("Comics", "Shipped", true);
    from.ini.WriteBool("Comics", "Inky & Co", true);
    from.ini.WriteBool("Comics", "Page Comic", true);
    // What an update learnt of the page comic: its page links a feed.
    Write(from.dir.filePath("Comics/Page Comic/.source"), "Feed=https://page.example/atom.xml\n");
    const QString file = from.dir.filePath("out/comics.opml");
    Write(file, "an older export, replaced whole");

    Outcome r = from.Program({"--export-opml", file});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.out, "Exported 3 comics to " + file);
    const QString opml = QString::fromUtf8(ReadAll(file));
    EXPECT_TRUE(opml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\">"))
        << opml.toStdString();
    EXPECT_TRUE(opml.contains("<outline text=\"Inky &amp; Co\" title=\"Inky &amp; Co\" type=\"rss\" "
                              "xmlUrl=\"https://inky.example/feed.xml\"/>"))
        << opml.toStdString();
    EXPECT_TRUE(
        opml.contains("<outline text=\"Page Comic\" title=\"Page Comic\" type=\"rss\" "
                      "xmlUrl=\"https://page.example/atom.xml\" htmlUrl=\"https://page.example/\"/>"));
    EXPECT_TRUE(opml.contains("type=\"link\" url=\"http://comics.example/shipped.html\""));
    EXPECT_FALSE(opml.contains("Unchosen"));
    EXPECT_EQ(QDir(from.dir.filePath("out")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"comics.opml"});

    // Another Panelwick, where the shipped comic is not chosen yet.
    Folder to;
    r = to.Program({"--import-opml", file});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.out, "Imported 3 comics.");
    EXPECT_EQ(to.MyComics(),
              "Inky & Co\thttps://inky.example/feed.xml\r\nPage Comic\thttps://page.example/atom.xml\r\n");
    EXPECT_TRUE(to.ini.ReadBool("Comics", "Shipped", false));
    EXPECT_TRUE(to.ini.ReadBool("Comics", "Page Comic", false));

    // A folder that is not there: nothing written, and said so.
    r = from.Program({"--export-opml", from.dir.filePath("missing/comics.opml")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.errors.contains("Couldn't write")) << r.errors.toStdString();
}

TEST(Opml, HostileListsAreRefusedWhole)
{
    Folder folder;
    QByteArray deep = "<?xml version=\"1.0\"?><opml version=\"2.0\"><head/><body>";
    for (int i = 0; i < 300; ++i)
        deep += "<outline text=\"f\">";
    deep += "<outline text=\"Deep\" type=\"rss\" xmlUrl=\"https://deep.example/feed\"/>";
    for (int i = 0; i < 300; ++i)
        deep += "</outline>";
    deep += "</body></opml>";
    Write(folder.dir.filePath("deep.opml"), deep);
    QByteArray huge = "<?xml version=\"1.0\"?><opml version=\"2.0\"><head/><body>";
    while (huge.size() <= 8 * 1024 * 1024)
        huge += "<outline text=\"Spam\" type=\"rss\" xmlUrl=\"https://spam.example/feed\"/>\n";
    huge += "</body></opml>";
    Write(folder.dir.filePath("huge.opml"), huge);
    Write(folder.dir.filePath("truncated.opml"),
          "<?xml version=\"1.0\"?><opml version=\"2.0\"><body><outline text=\"A\" type=\"rss\" "
          "xmlUrl=\"https://a.example/feed\"/><outline text=\"B\"");
    Write(folder.dir.filePath("feed.xml"), ReadAll(test::FixturePath("feeds/rss-enclosure.xml")));

    const std::vector<std::pair<QString, QString>> cases = {
        {Opml("billion-laughs.opml"), "its document type declares entries of its own"},
        {folder.dir.filePath("deep.opml"), "its outlines are nested deeper than 256 levels"},
        {folder.dir.filePath("huge.opml"), "it is larger than 8 MB"},
        {folder.dir.filePath("truncated.opml"), "it is malformed (line 1: "},
        {folder.dir.filePath("feed.xml"), "it is no OPML document"},
        {folder.dir.filePath("none.opml"), "Couldn't read"}};
    for (const auto& [file, reason] : cases) {
        const Outcome r = folder.Program({"--import-opml", file});
        EXPECT_EQ(r.exitCode, 1) << file.toStdString();
        EXPECT_TRUE(r.errors.contains(reason)) << r.errors.toStdString();
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(QFile::exists(folder.dir.filePath("MyComics.urls")));
}
