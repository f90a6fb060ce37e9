// A feed reader's list of 10,000 feeds imported into a catalogue of 5,000 comics, and the
// 15,000 chosen comics exported again: what File > Import Comics... and Export Comics...
// cost the window (both run on its thread).
#include "app/ComicsOpml.h"
#include "comics/TComicsList.h"
#include "platform/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace pw;

namespace {

constexpr int kShipped = 5000;
constexpr int kFeeds = 10000;

void Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

struct Folder {
    QTemporaryDir dir;
    Folder()
    {
        QByteArray shipped;
        for (int i = 0; i < kShipped; ++i)
            shipped += "Shipped " + QByteArray::number(i) + "\thttp://comics.example/c" +
                       QByteArray::number(i) + ".html\r\n";
        Write(dir.filePath("Comics.urls"), shipped);
        QByteArray opml =
            "<?xml version=\"1.0\"?><opml version=\"2.0\"><head/><body><outline text=\"Comics\">\n";
        for (int i = 0; i < kFeeds; ++i)
            opml += "<outline text=\"Feed " + QByteArray::number(i) +
                    "\" type=\"rss\" xmlUrl=\"https://site" + QByteArray::number(i) +
                    ".example/feed.xml\" htmlUrl=\"https://site" + QByteArray::number(i) + ".example/\"/>\n";
        Write(dir.filePath("list.opml"), opml + "</outline></body></opml>\n");
    }
};

void BM_ImportTenThousandFeeds(benchmark::State& state)
{
    Folder folder;
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(folder.dir.filePath("MyComics.urls"));
        Write(folder.dir.filePath("panelwick.ini"), "[Comics]\r\nShipped 1=1\r\n");
        comics::TComicsList catalogue;
        catalogue.LoadCatalogue(folder.dir.filePath("Comics.urls"));
        platform::TIniFile ini(folder.dir.filePath("panelwick.ini"));
        state.ResumeTiming();
        const app::TOpmlImport result = app::ComicsOpml::Import(folder.dir.filePath("list.opml"), catalogue,
                                                                folder.dir.filePath("MyComics.urls"), ini);
        if (result.Imported.size() != kFeeds)
            state.SkipWithError("not every feed was imported");
    }
}
BENCHMARK(BM_ImportTenThousandFeeds)->Unit(benchmark::kMillisecond);

void BM_ExportFifteenThousandComics(benchmark::State& state)
{
    Folder folder;
    comics::TComicsList catalogue;
    catalogue.LoadCatalogue(folder.dir.filePath("Comics.urls"));
    platform::TIniFile ini(folder.dir.filePath("panelwick.ini"));
    app::ComicsOpml::Import(folder.dir.filePath("list.opml"), catalogue, folder.dir.filePath("MyComics.urls"),
                            ini);
    for (auto _ : state) {
        QString error;
        if (!app::ComicsOpml::Export(folder.dir.filePath("out.opml"), catalogue,
                                     folder.dir.filePath("Comics"), &error))
            state.SkipWithError("not written");
    }
}
BENCHMARK(BM_ExportFifteenThousandComics)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
