// The feed reader and the HTML scan on the worst 8 MB documents we could build: each
// must be read (or refused) in well under a second, on the window's thread.
#include "sources/FeedReader.h"
#include "sources/HtmlHead.h"
#include "sources/HtmlPictures.h"

#include <benchmark/benchmark.h>

using namespace pw::sources;

namespace {

constexpr qsizetype kSize = 8 * 1024 * 1024 - 1024;

QByteArray Fill(const QByteArray& head, const QByteArray& unit, const QByteArray& tail)
{
    QByteArray out = head;
    out.reserve(kSize);
    while (out.size() + unit.size() + tail.size() < kSize)
        out += unit;
    return out + tail;
}

QByteArray Numbered(const QByteArray& head, const char* before, const char* after, const QByteArray& tail,
                    int limit = -1)
{
    QByteArray out = head;
    out.reserve(kSize);
    for (int i = 0; limit < 0 || i < limit; ++i) {
        const QByteArray unit = before + QByteArray::number(i) + after;
        if (out.size() + unit.size() + tail.size() >= kSize)
            break;
        out += unit;
    }
    return out + tail;
}

QByteArray Feed(int which)
{
    switch (which) {
    case 0: // one element with every attribute it can hold
        return Numbered("<rss", " a", "=''", "><channel/></rss>");
    case 1: // as many attributes as are let through, on every element
        return Fill("<rss><channel>", Numbered("<x", " a", "=''", "/>", 256), "</channel></rss>");
    case 2: // attribute defaults of a document type
        return Numbered("<!DOCTYPE rss [", "<!ATTLIST rss a", " CDATA 'x'>", "]><rss/>");
    case 3: // namespaces in scope, then many elements that look them up
        return Fill(Numbered("<rss>", "<n:x xmlns:n='urn:", "'>", "", 64), "<n:y/>", "</rss>");
    case 4: // undeclared entities the resolver is asked about, in an item's text
        return Fill("<rss><channel><item><description>", "&eacute;&nbsp;&x;",
                    "</description></item></channel></rss>");
    case 5: // the most items, each with escaped HTML to scan for pictures
        return Fill("<rss><channel>",
                    "<item><title>t</title><description>&lt;p&gt;&lt;img src=a.png&gt;" +
                        QByteArray(16000, 'x') + "</description></item>",
                    "</channel></rss>");
    default: // deep nesting
        return Fill("<rss>", "<x>", "</rss>");
    }
}

const char* const kFeedNames[] = {"attributes on one element",
                                  "256 attributes on every element",
                                  "attribute defaults",
                                  "64 namespaces in scope",
                                  "undeclared entities",
                                  "500 items of HTML",
                                  "deep nesting"};

void BM_ReadWorstFeed(benchmark::State& state)
{
    const QByteArray document = Feed(static_cast<int>(state.range(0)));
    state.SetLabel(kFeedNames[state.range(0)]);
    for (auto _ : state) {
        const pw::sources::Feed feed = ReadFeed(document, QStringLiteral("https://comics.test/feed"));
        benchmark::DoNotOptimize(feed.Items.size());
    }
    state.SetBytesProcessed(state.iterations() * document.size());
}
BENCHMARK(BM_ReadWorstFeed)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

QByteArray Page(int which)
{
    switch (which) {
    case 0:
        return Fill("<html><head><meta property=og:image content=\"", "&", "\"></head></html>");
    case 1:
        return Fill("<html><head><meta property=og:image content=\"", "&amp", "\"></head></html>");
    case 2:
        return Fill("<html><head>", "<meta a=b c=d e=&amp;>", "</head></html>");
    case 3:
        return Fill("<html><head><title>", "&#x41;", "</title></head></html>");
    case 4:
        return Fill("<html><head>", "<!", "</head></html>");
    default:
        return Fill("<html><head><script>", "</scrip", "</head></html>");
    }
}

const char* const kPageNames[] = {"a run of &",
                                  "a run of &amp without ;",
                                  "many tags with attributes",
                                  "a long title of references",
                                  "unclosed declarations",
                                  "script end look-alikes"};

void BM_ScanWorstPage(benchmark::State& state)
{
    const QByteArray page = Page(static_cast<int>(state.range(0)));
    const QString text = QString::fromUtf8(page);
    state.SetLabel(kPageNames[state.range(0)]);
    for (auto _ : state) {
        const HtmlHead head = ScanHtmlHead(page, QStringLiteral("https://comics.test/"));
        benchmark::DoNotOptimize(head.Picture.size());
        benchmark::DoNotOptimize(ImagesIn(text, QStringLiteral("https://comics.test/")).size());
    }
    state.SetBytesProcessed(state.iterations() * page.size());
}
BENCHMARK(BM_ScanWorstPage)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
