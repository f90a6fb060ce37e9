// The window during a large update: the real program in-process (its main window and
// the Advanced Info window shown), "&Update Comics" triggered once the window is up, and
// the event loop watched through a 10 ms timer until the batch has ended. Prints the
// longest gap between ticks (goal <= 50 ms), how many gaps passed 50 ms, the batch's
// wall and CPU time and the summary. bench/update/run.sh sets up the program folder.
//
//   bench_update_window PROGRAM_FOLDER
#include "app/StartupOptions.h"
#include "app/TForm1.h"
#include "app/TStartup.h"
#include "app/UpdateEngine.h"
#include "platform/MessageBoxService.h"
#include "platform/Tunables.h"
#include "update/TUpdateScheduler.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <ctime>

using namespace pw;

namespace {

// Any box during the benchmark is a broken set-up: say so instead of blocking.
class FailingBoxes : public platform::IMessageBoxBackend {
public:
    void Show(platform::BoxKind, const QString&, const QString& text) override
    {
        std::fprintf(stderr, "message box during the benchmark: %s\n", qPrintable(text));
    }
    bool Ask(const QString&, const QString& text) override
    {
        Show(platform::BoxKind::Information, {}, text);
        return false;
    }
};

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Panelwick"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM_FOLDER\n", argv[0]);
        return 2;
    }
    platform::MessageBoxService::Install(std::make_unique<FailingBoxes>());
    platform::Tunables::ReadEnvironment();
    const auto options =
        app::TStartupOptions::Parse({QStringLiteral("--program-folder"), QString::fromLocal8Bit(argv[1])},
                                    QStringLiteral("/nonexistent/pw"));
    if (!options)
        return 2;
    app::TStartup startup;
    if (!startup.Start(*options))
        return 2;
    app::TForm1& form = startup.MainWindow();
    auto& engine = dynamic_cast<app::UpdateEngine&>(form.Updates());
    update::TUpdateScheduler& scheduler = engine.Scheduler();

    QElapsedTimer sinceTick;
    qint64 maxGap = 0;
    int longGaps = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.restart();
        maxGap = std::max(maxGap, gap);
        longGaps += gap > 50 ? 1 : 0;
    });

    // Let the window come up and settle before the batch.
    QElapsedTimer wall;
    double cpu0 = 0;
    qint64 updateAllMs = 0; // the command itself: its first slice of comics
    QTimer::singleShot(500, [&] {
        sinceTick.start();
        ticker.start();
        QTimer::singleShot(100, [&] {
            wall.start();
            cpu0 = ProcessCpuSeconds();
            form.Updatecomicstrips1->trigger();
            updateAllMs = wall.elapsed();
        });
    });
    scheduler.OnBatchFinished = [&] {
        const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        const double cpu = ProcessCpuSeconds() - cpu0;
        // The summary is painted in the next turns of the loop; they are measured too.
        QTimer::singleShot(200, [=, &maxGap, &longGaps, &form] {
            std::printf("max_tick_gap_ms=%lld gaps_over_50ms=%d update_command_ms=%lld batch_wall_s=%.2f "
                        "batch_cpu_s=%.2f (%s)\n",
                        static_cast<long long>(maxGap), longGaps, static_cast<long long>(updateAllMs),
                        seconds, cpu, qPrintable(form.ProgressLabel->text()));
            QCoreApplication::quit();
        });
    };
    return QApplication::exec();
}
