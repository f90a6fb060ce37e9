// HTTP client throughput and responsiveness, measured as a whole process so that
// bench/net/run.sh can set it against curl doing the same work.
//
//   bench_http one URL FILE              one GET into FILE
//   bench_http many URLLIST CLIENTS      every URL of the list (one per line), CLIENTS at once
//
// Prints "bytes=... seconds=... failures=... max_tick_gap_ms=..." on one line.
#include "net/THttpCli.h"
#include "platform/GuardedCoreApplication.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

using pw::net::THttpCli;

namespace {

// Discards what it is given; the many-GET run measures transfer, not storage.
class NullDevice : public QIODevice {
public:
    NullDevice() { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override { return len; }
};

} // namespace

int main(int argc, char** argv)
{
    pw::platform::GuardedCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s one URL FILE | many URLLIST CLIENTS\n", argv[0]);
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);

    // A 10 ms timer shows how long the event loop is kept from running.
    QElapsedTimer sinceTick;
    qint64 maxGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] { maxGap = std::max(maxGap, sinceTick.restart()); });

    QElapsedTimer wall;
    qint64 bytes = 0;
    int failures = 0;

    if (mode == QLatin1String("one")) {
        QFile file(QString::fromLocal8Bit(argv[3]));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        THttpCli client;
        client.URL = QString::fromLocal8Bit(argv[2]);
        client.ReceiveStream = &file;
        client.OnRequestDone = [&](THttpCli* c, pw::net::THttpRequest, std::uint16_t error) {
            bytes = c->BodyBytes();
            failures = error != 0 || c->ResponseStatus() != 200;
            QCoreApplication::quit();
        };
        wall.start();
        sinceTick.start();
        ticker.start();
        client.StartGet();
        QCoreApplication::exec();
        file.flush();
    } else {
        QFile list(QString::fromLocal8Bit(argv[2]));
        if (!list.open(QIODevice::ReadOnly))
            return 1;
        std::vector<QString> urls;
        while (!list.atEnd()) {
            const QString line = QString::fromLatin1(list.readLine()).trimmed();
            if (!line.isEmpty())
                urls.push_back(line);
        }
        const int count = std::max(1, QString::fromLocal8Bit(argv[3]).toInt());
        NullDevice sink;
        size_t next = 0;
        int running = 0;
        std::vector<std::unique_ptr<THttpCli>> clients;
        const auto startNext = [&](THttpCli* c) {
            if (next >= urls.size())
                return false;
            c->URL = urls[next++];
            c->StartGet();
            ++running;
            return true;
        };
        for (int i = 0; i < count; ++i) {
            auto c = std::make_unique<THttpCli>();
            c->ReceiveStream = &sink;
            c->OnRequestDone = [&](THttpCli* sender, pw::net::THttpRequest, std::uint16_t error) {
                --running;
                bytes += sender->BodyBytes();
                failures += error != 0 || sender->ResponseStatus() != 200;
                if (!startNext(sender) && running == 0)
                    QCoreApplication::quit();
            };
            clients.push_back(std::move(c));
        }
        wall.start();
        sinceTick.start();
        ticker.start();
        for (auto& c : clients)
            startNext(c.get());
        if (running > 0)
            QCoreApplication::exec();
    }
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    std::printf("bytes=%lld seconds=%.3f failures=%d max_tick_gap_ms=%lld\n", static_cast<long long>(bytes),
                seconds, failures, static_cast<long long>(maxGap));
    return failures == 0 ? 0 : 1;
}
