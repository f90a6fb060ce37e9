// Strip store and catalogue on large folders: one comic with 10,000 strips, and a
// catalogue of 1,000 comics of which 100 hold ten years of daily strips each.
#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "comics/TComicsList.h"
#include "platform/IniFile.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

using namespace pw::comics;

namespace {

void Touch(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0)
        ::close(fd);
}

void MakeStrips(const QString& dir, const QString& name, int count)
{
    QDir().mkpath(dir + name);
    QDate date(1990, 1, 1);
    for (int i = 0; i < count; ++i, date = date.addDays(1))
        Touch(dir + name + "/" + name + date.toString("yyyyMMdd") + (i % 3 ? ".gif" : ".jpg"));
}

struct BigComic {
    QTemporaryDir tmp;
    QString dir = tmp.path() + "/";
    BigComic() { MakeStrips(dir, "Big", 10000); }
};

struct BigCatalogue {
    QTemporaryDir tmp;
    QString dir = tmp.path() + "/Comics/";
    QString urls = tmp.path() + "/Comics.urls";
    QString ini = tmp.path() + "/panelwick.ini";
    BigCatalogue()
    {
        QDir().mkpath(dir);
        QByteArray text;
        QByteArray iniText = "[Comics]\r\n";
        for (int i = 0; i < 1000; ++i) {
            const QString name = QString("Comic %1").arg(i, 4, 10, QChar('0'));
            text += name.toUtf8() + "\thttp://comics.example/" + QByteArray::number(i) + "/\r\n";
            iniText += name.toUtf8() + (i % 2 ? "=1\r\n" : "=0\r\n");
            if (i % 10 == 0)
                MakeStrips(dir, name, 3650);
        }
        QFile f(urls);
        f.open(QIODevice::WriteOnly);
        f.write(text);
        QFile g(ini);
        g.open(QIODevice::WriteOnly);
        g.write(iniText);
    }
};

BigComic& Comic()
{
    static BigComic c;
    return c;
}

BigCatalogue& Catalogue()
{
    static BigCatalogue c;
    return c;
}

void BM_NextStrip10000(benchmark::State& state)
{
    TComicStripsDB db(Comic().dir);
    TComicInfo comic("Big", "");
    comic.CurrentStrip = TComicStrip::FromFileName(
        "Big" + QDate(1990, 1, 1).addDays(5000).toString("yyyyMMdd") + ".gif", db.Dir());
    for (auto _ : state) {
        auto next = db.NextStrip(comic);
        benchmark::DoNotOptimize(next);
    }
}
BENCHMARK(BM_NextStrip10000)->Unit(benchmark::kMillisecond);

void BM_PreviousStrip10000(benchmark::State& state)
{
    TComicStripsDB db(Comic().dir);
    TComicInfo comic("Big", "");
    comic.CurrentStrip = TComicStrip::FromFileName(
        "Big" + QDate(1990, 1, 1).addDays(5000).toString("yyyyMMdd") + ".gif", db.Dir());
    for (auto _ : state) {
        auto previous = db.PreviousStrip(comic);
        benchmark::DoNotOptimize(previous);
    }
}
BENCHMARK(BM_PreviousStrip10000)->Unit(benchmark::kMillisecond);

void BM_NewestStrip10000(benchmark::State& state)
{
    TComicStripsDB db(Comic().dir);
    for (auto _ : state) {
        auto newest = db.NewestStrip("Big");
        benchmark::DoNotOptimize(newest);
    }
}
BENCHMARK(BM_NewestStrip10000)->Unit(benchmark::kMillisecond);

void BM_LoadCatalogue1000(benchmark::State& state)
{
    TComicStripsDB db(Catalogue().dir);
    for (auto _ : state) {
        TComicsList all;
        all.LoadCatalogue(Catalogue().urls, db);
        benchmark::DoNotOptimize(all.Count());
    }
}
BENCHMARK(BM_LoadCatalogue1000)->Unit(benchmark::kMillisecond);

void BM_LoadCatalogue100000Lines(benchmark::State& state)
{
    static QTemporaryDir tmp;
    const QString urls = tmp.path() + "/Comics.urls";
    if (!QFile::exists(urls)) {
        QByteArray text;
        for (int i = 0; i < 100000; ++i)
            text += "Comic " + QByteArray::number(i) + "\thttp://comics.example/" + QByteArray::number(i) +
                    "/\r\n";
        QFile f(urls);
        f.open(QIODevice::WriteOnly);
        f.write(text);
    }
    TComicStripsDB db(tmp.path() + "/Comics");
    for (auto _ : state) {
        TComicsList all;
        all.LoadCatalogue(urls, db);
        benchmark::DoNotOptimize(all.Count());
    }
}
BENCHMARK(BM_LoadCatalogue100000Lines)->Unit(benchmark::kMillisecond);

void BM_SplitChosen1000(benchmark::State& state)
{
    TComicStripsDB db(Catalogue().dir);
    TComicsList all;
    all.LoadCatalogue(Catalogue().urls, db);
    pw::platform::TIniFile ini(Catalogue().ini);
    for (auto _ : state) {
        TComicsList toGet, notToGet;
        all.SplitChosen(ini, toGet, notToGet);
        benchmark::DoNotOptimize(toGet.Count());
    }
}
BENCHMARK(BM_SplitChosen1000)->Unit(benchmark::kMillisecond);

void BM_IniWriteOneKeyOf1000(benchmark::State& state)
{
    pw::platform::TIniFile ini(Catalogue().ini);
    int i = 0;
    for (auto _ : state)
        ini.WriteBool("Comics", "Comic 0500", (++i % 2) != 0);
}
BENCHMARK(BM_IniWriteOneKeyOf1000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
