// Decoding a strip-sized picture (900 x 300) through our decoders, next to Qt's own
// image readers as a yardstick. Goal: each of ours within 1.5x of Qt's and under 10 ms.
#include "imaging/TGifDecoder.h"
#include "imaging/TJpegDecoder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <benchmark/benchmark.h>

namespace {

QByteArray Strip(const char* name)
{
    QFile f(QStringLiteral(PANELWICK_BENCH_DIR "/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot open %s", name);
    return f.readAll();
}

QImage QtRead(const QByteArray& data, const char* format)
{
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer, format);
    return reader.read();
}

void BM_GifOurs(benchmark::State& state)
{
    const QByteArray data = Strip("strip.gif");
    for (auto _ : state)
        benchmark::DoNotOptimize(pw::imaging::TGifDecoder::GetGIFBuffer(data));
    state.SetBytesProcessed(state.iterations() * data.size());
}

void BM_GifQt(benchmark::State& state)
{
    const QByteArray data = Strip("strip.gif");
    for (auto _ : state)
        benchmark::DoNotOptimize(QtRead(data, "gif"));
    state.SetBytesProcessed(state.iterations() * data.size());
}

void BM_JpegOurs(benchmark::State& state)
{
    const QByteArray data = Strip("strip.jpg");
    for (auto _ : state)
        benchmark::DoNotOptimize(pw::imaging::TJpegDecoder::LoadFromBuffer(data));
    state.SetBytesProcessed(state.iterations() * data.size());
}

void BM_JpegQt(benchmark::State& state)
{
    const QByteArray data = Strip("strip.jpg");
    for (auto _ : state)
        benchmark::DoNotOptimize(QtRead(data, "jpeg"));
    state.SetBytesProcessed(state.iterations() * data.size());
}

} // namespace

BENCHMARK(BM_GifOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GifQt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegQt)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
