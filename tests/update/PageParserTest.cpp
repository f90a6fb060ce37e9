#include "update/PageParser.h"

#include <gtest/gtest.h>

using pw::update::FindStripAddress;
using pw::update::FindStripAddressInPage;
using pw::update::SplitPageLines;

namespace {

const QString kBase = QStringLiteral("http://comics.example");

// Both ways of searching a page must agree on every page.
QString Find(const QByteArray& page)
{
    QStringList lines = SplitPageLines(page);
    const QString address = FindStripAddress(lines, kBase);
    EXPECT_EQ(FindStripAddressInPage(page, kBase), address) << page.toStdString();
    return address;
}

} // namespace

TEST(SplitPageLines, EveryKindOfBreak)
{
    EXPECT_EQ(SplitPageLines("a\rb\nc\r\nd"), (QStringList{"a", "b", "c", "d"}));
    // LF CR and CR CR are two breaks with an empty line between them.
    EXPECT_EQ(SplitPageLines("a\n\rb"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(SplitPageLines("a\r\rb"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(SplitPageLines("a\r\n\r\nb\r\n"), (QStringList{"a", "", "b"}));
    EXPECT_TRUE(SplitPageLines("").isEmpty());
    EXPECT_EQ(SplitPageLines("\n"), (QStringList{""}));
}

TEST(SplitPageLines, NulEndsTheLineTextOnly)
{
    const QByteArray page("abc\0def\nnext", 12);
    EXPECT_EQ(SplitPageLines(page), (QStringList{"abc", "next"}));
}

TEST(SplitPageLines, BytesMapOneToOne)
{
    const QStringList lines = SplitPageLines("\xe9t\xe9\n");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].toLatin1(), QByteArray("\xe9t\xe9"));
}

TEST(FindStripAddress, ImageTagAnyCase)
{
    EXPECT_EQ(Find("<html>\n<img src=\"/archive/images/foo20000307.gif\" alt=x>\n"),
              kBase + "/archive/images/foo20000307.gif");
    EXPECT_EQ(Find("<IMG SRC=\"/archive/images/Bar.JPG\">"), kBase + "/archive/images/Bar.JPG");
}

TEST(FindStripAddress, AnchorWinsOverImage)
{
    EXPECT_EQ(Find("<a href=\"/archive/images/big.gif\"><img src=\"/archive/images/small.gif\"></a>"),
              kBase + "/archive/images/big.gif");
    // Even when the image tag comes first in the line.
    EXPECT_EQ(Find("<img src=\"/archive/images/small.gif\"><a href=\"/x/big.gif\">"), kBase + "/x/big.gif");
}

TEST(FindStripAddress, OnlyTheFirstQualifyingLineCounts)
{
    const QByteArray page = "<img src=\"/archive/images/SendAStrip.gif\">\n"
                            "<p>no strip here</p>\n"
                            "<p>archive/images</p>\n"
                            "<img src=\"/archive/images/real.gif\">\n";
    // The third line qualifies and holds no tag: the text from its tenth character.
    EXPECT_EQ(Find(page), kBase + "");
    EXPECT_EQ(Find("<img src=\"/archive/images/SendAStrip.gif\">\n<IMG SRC=\"/archive/images/a.gif\">"),
              kBase + "/archive/images/a.gif");
}

TEST(FindStripAddress, NothingQualifies)
{
    EXPECT_EQ(Find(""), QString());
    EXPECT_EQ(Find("<img src=\"/archive/images/SendAStrip.gif\">\n<img src=\"/other.gif\">"), QString());
    // Split across lines, the marker text is never whole.
    EXPECT_EQ(Find("<img src=\"/archive/\n images/a.gif\">"), QString());
    // Case matters for the qualifying text.
    EXPECT_EQ(Find("<img src=\"/ARCHIVE/IMAGES/a.gif\">"), QString());
}

TEST(FindStripAddress, NoClosingQuoteGivesTheBaseAlone)
{
    EXPECT_EQ(Find("<img src=\"/archive/images/a.gif"), kBase);
}

TEST(FindStripAddress, NoTagTakesTextFromTheTenthCharacter)
{
    // Characters 10.. of the line: 'ij"...' cut at the quote.
    EXPECT_EQ(Find("abcdefghijkl\" archive/images"), kBase + "jkl");
}

TEST(FindStripAddress, NonAsciiBeforeTheMarkerKeepsPositions)
{
    // Upper-casing must not move the marker (\xdf would become "SS" with full mapping).
    EXPECT_EQ(Find("\xdf\xdf\xff<img src=\"/archive/images/x.gif\">"), kBase + "/archive/images/x.gif");
}

TEST(FindStripAddress, NulCutsTheQualifyingText)
{
    // The marker after a NUL is not in the line's text; the next line qualifies.
    EXPECT_EQ(
        Find(QByteArray("<img src=\"x\0/archive/images/a.gif\">\n<img src=\"/archive/images/b.gif\">", 69)),
        kBase + "/archive/images/b.gif");
    // A NUL after the marker only shortens the text the address is cut from.
    EXPECT_EQ(Find(QByteArray("<img src=\"/archive/images/a.gif\0\">\n", 35)), kBase);
    // "SendAStrip" hidden behind a NUL no longer disqualifies the line.
    EXPECT_EQ(Find(QByteArray("<img src=\"/archive/images/a.gif\">\0SendAStrip\r\n", 46)),
              kBase + "/archive/images/a.gif");
}

TEST(FindStripAddress, MarkerTwiceInDisqualifiedLinesAndLoneBreaks)
{
    EXPECT_EQ(Find("archive/images archive/images SendAStrip\r\rarchive/images SendAStrip\n\r"
                   "<A HREF=\"/archive/images/c.gif\">"),
              kBase + "/archive/images/c.gif");
}
