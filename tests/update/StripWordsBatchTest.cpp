// A strip's words (title, hover text, page) from RSS, Atom and page comics, through the
// real program in batch mode against nginx, kept beside the strips.
#include "BatchTest.h"
#include "NginxServer.h"
#include "QStringPrinter.h"
#include "comics/StripWordsFile.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>
#include <gtest/gtest.h>

using namespace pw;

namespace {

QByteArray Png(char seed)
{
    return "\x89PNG\r\n\x1A\n" + QByteArray(200, seed);
}

const QDateTime kOld(QDate(2026, 11, 1), QTime(12, 0), Qt::UTC);

struct StripWordsBatchTest : test::BatchTest {
    test::NginxServer nginx;
    void SetUp() override { ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString(); }
    void Serve(const QString& path, const QByteArray& bytes, const QDateTime& mtime = kOld)
    {
        ASSERT_TRUE(
            nginx.WriteFile(path, QByteArray(bytes).replace("@SITE@", nginx.Url("").toLatin1()), mtime));
    }
    // The words of the comic's one stored strip.
    comics::StripWords WordsOf(const QString& comic)
    {
        const QStringList strips = FilesOf(comic).filter(QRegularExpression("^" + comic + "\\d{8}\\.png$"));
        EXPECT_EQ(strips.size(), 1) << FilesOf(comic).join(", ").toStdString();
        comics::StripWordsFile file;
        return file.Find(folder.filePath("Comics/" + comic), strips.value(0));
    }
};

const QByteArray kRss = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0"><channel><title>Weather</title>
  <item>
    <title>Rain</title>
    <link>@SITE@/rss/rain</link>
    <pubDate>Mon, 07 Dec 2026 05:00:00 -0500</pubDate>
    <description>&lt;p&gt;&lt;img src="@SITE@/rss/logo.png" title="our logo"&gt;&lt;img src="@SITE@/rss/rain.png" title="It never stops &amp;amp; never will." alt="A cloud"&gt;&lt;/p&gt;&lt;p&gt;Day &lt;b&gt;forty&lt;/b&gt;.&lt;/p&gt;</description>
    <enclosure url="@SITE@/rss/rain.png" type="image/png" length="208"/>
  </item>
</channel></rss>
)xml";

const QByteArray kAtom = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<feed xmlns="http://www.w3.org/2005/Atom"><title>Sky</title><id>urn:sky</id>
  <entry>
    <title>Sun&#x9b;31m&#x202e; </title>
    <id>urn:sky:1</id>
    <link rel="alternate" href="javascript:alert(1)"/>
    <updated>2026-12-06T10:00:00Z</updated>
    <content type="xhtml"><div xmlns="http://www.w3.org/1999/xhtml"><img src="@SITE@/atom/sun.png" title="Bright
      and hot" alt="A sun"/></div></content>
  </entry>
</feed>
)xml";

const QByteArray kPage = R"xml(<html><head>
<meta property="og:image" content="/page/snow.png">
<meta property="og:title" content="Snow">
<meta property="og:url" content="@SITE@/page/archive/snow">
<meta property="og:description" content="White all over.">
</head><body><img src="/page/logo.png" title="Home">
<div id="comic"><img src="//HOST/page/snow.png" title="Cold &amp; white" alt="snow"></div></body></html>
)xml";

} // namespace

TEST_F(StripWordsBatchTest, WordsComeFromRssAtomAndPagesAndStayBesideTheStrips)
{
    Serve("rss/feed.xml", kRss);
    Serve("rss/rain.png", Png('r'));
    Serve("atom/feed.xml", kAtom);
    Serve("atom/sun.png", Png('s'));
    const QString host = QUrl(nginx.Url("")).authority();
    Serve("page/index.html", QByteArray(kPage).replace("HOST", host.toLatin1()),
          QDateTime(QDate(2026, 12, 5), QTime(8, 0), Qt::UTC));
    Serve("page/snow.png", Png('w'));
    Choose("Rainy", nginx.Url("/rss/feed.xml"));
    Choose("Sunny", nginx.Url("/atom/feed.xml"));
    Choose("Snowy", nginx.Url("/page/index.html"));

    const BatchTest::Result r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString() << r.lines.join("\n").toStdString();
    EXPECT_EQ(r.lines.value(3), "3 updated, 0 didn't need a update, 0 failed.")
        << r.lines.join("\n").toStdString();

    const comics::StripWords rain = WordsOf("Rainy");
    EXPECT_EQ(rain.Title, "Rain");
    EXPECT_EQ(rain.TitleText, "It never stops & never will.")
        << "the enclosure's picture's <img>, not the logo";
    EXPECT_EQ(rain.AltText, "A cloud");
    EXPECT_EQ(rain.Page, nginx.Url("/rss/rain"));
    EXPECT_EQ(rain.Note, "Day forty.");

    const comics::StripWords sun = WordsOf("Sunny");
    EXPECT_EQ(sun.Title, "Sun31m") << "control and direction characters removed";
    EXPECT_EQ(sun.TitleText, "Bright and hot");
    EXPECT_EQ(sun.AltText, "A sun");
    EXPECT_EQ(sun.Page, "") << "only http(s) pages are kept";

    const comics::StripWords snow = WordsOf("Snowy");
    EXPECT_EQ(snow.Title, "Snow");
    EXPECT_EQ(snow.TitleText, "Cold & white");
    EXPECT_EQ(snow.Page, nginx.Url("/page/archive/snow"));
    EXPECT_EQ(snow.Note, "White all over.");
}
