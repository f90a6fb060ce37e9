#include "sources/FeedDate.h"

#include <gtest/gtest.h>

using pw::sources::ParseFeedDate;

namespace {

struct Row {
    const char* Text;
    const char* UtcIso; // nullptr: no date
    const char* Format;
};

// What real feeds send, each with the UTC instant it stands for.
const Row kRows[] = {
    // RFC 822 and RFC 2822
    {"Thu, 01 Jan 2004 19:48:21 GMT", "2004-01-01T19:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 +0000", "2004-01-01T19:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 Z", "2004-01-01T19:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 UT", "2004-01-01T19:48:21", "rfc822"},
    {"Thu, 1 Jan 2004 19:48:21 GMT", "2004-01-01T19:48:21", "rfc822"},
    {"01 Jan 2004 19:48:21 GMT", "2004-01-01T19:48:21", "rfc822"},      // no weekday
    {"Thu, 01 Jan 04 19:48:21 GMT", "2004-01-01T19:48:21", "rfc822"},   // two-digit year
    {"Fri, 01 Jan 99 19:48:21 GMT", "1999-01-01T19:48:21", "rfc822"},   // two-digit, last century
    {"Thu, 01 Jan 2004 19:48:21 EST", "2004-01-02T00:48:21", "rfc822"}, // US zones
    {"Thu, 01 Jul 2004 19:48:21 PDT", "2004-07-02T02:48:21", "rfc822"},
    {"Thu, 01 Jul 2004 19:48:21 CDT", "2004-07-02T00:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 PT", "2004-01-02T03:48:21", "rfc822"}, // generic North American zones
    {"Thu, 01 Jan 2004 19:48:21 ET", "2004-01-02T00:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 CT", "2004-01-02T01:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 MT", "2004-01-02T02:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 AST", "2004-01-01T23:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 NST", "2004-01-01T23:18:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 AKST", "2004-01-02T04:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 HST", "2004-01-02T05:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 A", "2004-01-01T20:48:21", "rfc822"}, // military letters, RFC 822's signs
    {"Thu, 01 Jan 2004 19:48:21 M", "2004-01-02T07:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 N", "2004-01-01T18:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 Y", "2004-01-01T07:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 J", "2004-01-01T19:48:21", "rfc822"},    // no zone: UTC
    {"Thu, 01 Jul 2004 19:48:21 CEST", "2004-07-01T17:48:21", "rfc822"}, // European zones
    {"Thu, 01 Jan 2004 19:48:21 CET", "2004-01-01T18:48:21", "rfc822"},
    {"Thu, 01 Jul 2004 19:48:21 BST", "2004-07-01T18:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 EET", "2004-01-01T17:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 Etc/GMT", "2004-01-01T19:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 GMT-01:01", "2004-01-01T20:49:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 -01:01", "2004-01-01T20:49:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 +0530", "2004-01-01T14:18:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 -0800 (PST)", "2004-01-02T03:48:21", "rfc822"},  // zone comment
    {"Thu, 01 Jan 2004 19:48 GMT", "2004-01-01T19:48:00", "rfc822"},             // no seconds
    {"Thu, 01 Jan 2004", "2004-01-01T00:00:00", "rfc822"},                       // no time
    {"Thu, 01 Jan 2004 19:48:21", "2004-01-01T19:48:21", "rfc822"},              // no zone: UTC
    {"Thursday, 01 January 2004 19:48:21 GMT", "2004-01-01T19:48:21", "rfc822"}, // long names
    {"Wed, 01 Sept 2004 08:00:00 GMT", "2004-09-01T08:00:00", "rfc822"},
    {"Thu, 01 Jan 2004, 19:48:21 GMT", "2004-01-01T19:48:21", "rfc822"}, // extra comma
    {"Thu, Jan 01 2004 19:48:21 GMT", "2004-01-01T19:48:21", "rfc822"},  // day and month swapped
    {"Thu,01 Jan 2004 19:48:21 GMT", "2004-01-01T19:48:21", "rfc822"},   // no blank after comma
    {"thu, 01 jan 2004 19:48:21 gmt", "2004-01-01T19:48:21", "rfc822"},
    {"Thu, 01 Jan 2004 19:48:21 XYZ", "2004-01-01T19:48:21", "rfc822"},   // unknown zone name: UTC
    {"Sat, 31 Dec 2005 23:59:60 GMT", "2005-12-31T23:59:59", "rfc822"},   // leap second
    {"Thu, 01 Jan 2004 00:30:00 +0100", "2003-12-31T23:30:00", "rfc822"}, // zone moves the day
    {"Tue, 29 Feb 2000 10:00:00 GMT", "2000-02-29T10:00:00", "rfc822"},   // leap year
    // W3C-DTF and RFC 3339
    {"2003-12-31T10:14:55Z", "2003-12-31T10:14:55", "w3dtf"},
    {"2003-12-31T10:14:55-08:00", "2003-12-31T18:14:55", "w3dtf"},
    {"2003-12-31T10:14:55.123+01:00", "2003-12-31T09:14:55.123", "w3dtf"},
    {"2003-12-31T10:14:55.123456789Z", "2003-12-31T10:14:55.123", "w3dtf"}, // long fraction
    {"2003-12-31T10:14Z", "2003-12-31T10:14:00", "w3dtf"},                  // no seconds
    {"2003-12-31 10:14:55Z", "2003-12-31T10:14:55", "w3dtf"},               // a blank for T
    {"2003-12-31t10:14:55z", "2003-12-31T10:14:55", "w3dtf"},
    {"2003-12-31T10:14:55", "2003-12-31T10:14:55", "w3dtf"}, // no zone: UTC
    {"2003-12-31T10:14:55+0100", "2003-12-31T09:14:55", "w3dtf"},
    {"2003-12-31", "2003-12-31T00:00:00", "w3dtf"},
    {"2003-12", "2003-12-01T00:00:00", "w3dtf"}, // reduced forms
    {"2003", "2003-01-01T00:00:00", "w3dtf"},
    {"  2003-12-31T10:14:55Z\n", "2003-12-31T10:14:55", "w3dtf"},
    {"2004-01-01T00:30:00+02:00", "2003-12-31T22:30:00", "w3dtf"},
    // asctime
    {"Sun Jan  4 16:29:06 2004", "2004-01-04T16:29:06", "asctime"},
    {"Sun Jan 4 16:29:06 PST 2004", "2004-01-05T00:29:06", "asctime"}, // zone before the year
    {"Sun Jan 04 16:29:06 +0100 2004", "2004-01-04T15:29:06", "asctime"},
    // no dates
    {"", nullptr, ""},
    {"   ", nullptr, ""},
    {"yesterday", nullptr, ""},
    {"Thu, 32 Jan 2004 19:48:21 GMT", nullptr, ""},
    {"Thu, 29 Feb 2003 19:48:21 GMT", nullptr, ""}, // not a leap year
    {"Thu, 01 Foo 2004 19:48:21 GMT", nullptr, ""},
    {"Thu, 01 Jan 2004 25:48:21 GMT", nullptr, ""},
    {"Thu, 01 Jan 2004 19:61:21 GMT", nullptr, ""},
    {"Thu, 01 Jan 2004 19:48:21 +9900", nullptr, ""},
    {"Thu, 01 Jan 2004 19:48:21 GMT and more", nullptr, ""},
    {"Thu, 01 Jan 12345 19:48:21 GMT", nullptr, ""},
    {"2003-13-01", nullptr, ""},
    {"2003-02-30", nullptr, ""},
    {"2003-12-31T24:00:00Z", nullptr, ""},
    {"2003-12-31T10:14:55+25:00", nullptr, ""},
    {"20031231", nullptr, ""},
    {"0999-01-01", nullptr, ""}, // years that cannot name a strip file
    {"0001-01-01T00:30:00+01:00", nullptr, ""},
    {"Sun Jan  4 16:29:06", nullptr, ""},
    {"../../etc/passwd", nullptr, ""},
};

} // namespace

TEST(FeedDate, EveryFormFeedsSend)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.Text);
        const auto date = ParseFeedDate(QString::fromUtf8(row.Text));
        if (!row.UtcIso) {
            EXPECT_FALSE(date) << date->Utc.toString(Qt::ISODateWithMs).toStdString();
            continue;
        }
        ASSERT_TRUE(date);
        EXPECT_EQ(date->Utc.timeSpec(), Qt::UTC);
        QDateTime expected = QDateTime::fromString(QString::fromLatin1(row.UtcIso), Qt::ISODateWithMs);
        expected.setTimeSpec(Qt::UTC);
        EXPECT_EQ(date->Utc, expected) << date->Utc.toString(Qt::ISODateWithMs).toStdString();
        EXPECT_STREQ(date->Format, row.Format);
    }
}

TEST(FeedDate, TheStripDayIsTheUtcDay)
{
    const auto date = ParseFeedDate("Mon, 07 Dec 2026 23:30:00 -0500");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->UtcDay(), QDate(2026, 12, 8));
}
