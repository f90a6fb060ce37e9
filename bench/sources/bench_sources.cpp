// Reading feeds and pages with every picture they name: a full feed of a comic site that
// wraps each strip in ads and counters, the most pictures a feed may carry, and a long
// page whose tags stand far into its body.
#include "sources/FeedReader.h"
#include "sources/HtmlHead.h"

#include <benchmark/benchmark.h>

using namespace pw::sources;

namespace {

// 500 items, each with a banner in an ad link, the strip, share buttons and a counter.
QByteArray RealFeed()
{
    QByteArray feed = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Big</title>"
                      "<link>https://comics.test/</link>";
    for (int i = 0; i < 500; ++i) {
        const QByteArray n = QByteArray::number(i);
        feed += "<item><title>Strip " + n + "</title><link>https://comics.test/strip/" + n +
                "</link><pubDate>Mon, 07 Dec 2026 08:00:00 PT</pubDate><description><![CDATA["
                "<a href=\"https://ads.other.test/click?i=" +
                n + "\"><img src=\"https://ads.other.test/b/" + n +
                ".gif\" width=\"728\" height=\"90\"></a><p><img src=\"https://comics.test/strips/" + n +
                ".png\" alt=\"Strip\" title=\"Words\" style=\"width: 900px\"></p>"
                "<a href=\"https://other.test/~ff/Big?a=" +
                n + "\"><img src=\"https://other.test/~ff/Big?d=" + n +
                "\"></a><img src=\"https://other.test/~r/Big/~4/" + n +
                "\" height=\"1\" width=\"1\" alt=\"\"/>]]></description></item>";
    }
    return feed + "</channel></rss>";
}

// As many <img> as the size cap lets a feed hold, in few items.
QByteArray ManyPictures()
{
    QByteArray feed = "<rss version=\"2.0\"><channel><title>Many</title>";
    for (int i = 0; i < 500; ++i) {
        feed += "<item><description>";
        for (int j = 0; j < 800; ++j)
            feed += "&lt;img src=\"/p/" + QByteArray::number(j) + ".png\"&gt;";
        feed += "</description></item>";
    }
    return feed.left(Feed::kMaxBytes - 100) + "\"&gt;</description></item></channel></rss>";
}

void BM_RealFeed(benchmark::State& state)
{
    const QByteArray feed = RealFeed();
    for (auto _ : state) {
        const Feed read = ReadFeed(feed, QStringLiteral("https://comics.test/feed.xml"));
        benchmark::DoNotOptimize(read.Items.size());
    }
    state.SetBytesProcessed(state.iterations() * feed.size());
}
BENCHMARK(BM_RealFeed)->Unit(benchmark::kMillisecond);

void BM_ManyPictures(benchmark::State& state)
{
    const QByteArray feed = ManyPictures();
    for (auto _ : state) {
        const Feed read = ReadFeed(feed, QStringLiteral("https://comics.test/feed.xml"));
        benchmark::DoNotOptimize(read.Items.size());
    }
    state.SetBytesProcessed(state.iterations() * feed.size());
}
BENCHMARK(BM_ManyPictures)->Unit(benchmark::kMillisecond);

void BM_LongPage(benchmark::State& state)
{
    QByteArray page = "<html><head><title>React App</title></head><body>";
    for (int i = 0; i < 20000; ++i)
        page += "<div class=\"card\"><a href=\"/p/" + QByteArray::number(i) + "\"><img src=\"/t/" +
                QByteArray::number(i) + ".jpg\" width=\"150\" height=\"150\" alt=\"x\"></a></div>\n";
    page += "<meta property=\"og:image\" content=\"/strip.png\"><title>Real</title></body></html>";
    for (auto _ : state) {
        const HtmlHead head = ScanHtmlHead(page, QStringLiteral("https://comics.test/comic/1/"));
        benchmark::DoNotOptimize(head.Picture.size());
    }
    state.SetBytesProcessed(state.iterations() * page.size());
}
BENCHMARK(BM_LongPage)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
