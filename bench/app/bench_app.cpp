// The program as the user meets it, in-process on the offscreen platform: start-up with a
// large catalogue until the main window has painted, and one Right key press until the next
// strip has painted. The program folders come from bench/app/make-bench-folder.py through
// PANELWICK_BENCH_STARTUP_FOLDER and PANELWICK_BENCH_STRIPS_FOLDER (bench/app/run.sh).
#include "app/StartupOptions.h"
#include "app/StripPicture.h"
#include "app/TForm1.h"
#include "app/TStartup.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStrip.h"
#include "comics/TComicStripsDB.h"
#include "platform/MessageBoxService.h"
#include "platform/Timer.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QTest>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>

using namespace pw;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// This thread's time on a CPU and waiting for one (the machine is shared: the wall time
// minus the wait is what the work takes on an idle machine).
struct SchedTimes {
    double cpuMs = 0;
    double waitMs = 0;
    static SchedTimes Now()
    {
        // The run-queue wait is up to date while this thread runs; its CPU time in
        // schedstat is not, so that comes from the clock.
        std::ifstream in("/proc/thread-self/schedstat");
        double cpuNs = 0;
        double waitNs = 0;
        in >> cpuNs >> waitNs;
        timespec cpu{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        return {static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) / 1e6, waitNs / 1e6};
    }
    SchedTimes operator-(const SchedTimes& o) const { return {cpuMs - o.cpuMs, waitMs - o.waitMs}; }
    SchedTimes& operator+=(const SchedTimes& o)
    {
        cpuMs += o.cpuMs;
        waitMs += o.waitMs;
        return *this;
    }
};

void ReportSched(benchmark::State& state, const SchedTimes& total)
{
    state.counters["thread_cpu_ms"] = benchmark::Counter(total.cpuMs, benchmark::Counter::kAvgIterations);
    state.counters["cpu_wait_ms"] = benchmark::Counter(total.waitMs, benchmark::Counter::kAvgIterations);
}

// Any box during a benchmark is a broken set-up: say so instead of blocking.
class FailingBoxes : public platform::IMessageBoxBackend {
public:
    void Show(platform::BoxKind, const QString&, const QString& text) override
    {
        qWarning("message box during the benchmark: %s", qPrintable(text));
        shown = true;
    }
    bool Ask(const QString&, const QString& text) override
    {
        Show(platform::BoxKind::Information, {}, text);
        return false;
    }
    static inline bool shown = false;
};

std::optional<app::TStartupOptions> OptionsFor(const char* variable)
{
    const QString folder = qEnvironmentVariable(variable);
    if (folder.isEmpty() || !QDir(folder).exists())
        return std::nullopt;
    return app::TStartupOptions::Parse({QStringLiteral("--program-folder"), folder},
                                       QStringLiteral("/nonexistent/panelwick"));
}

// Notices the first paint of a widget after Reset().
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    void Reset() { painted_ = false; }
    bool Painted() const { return painted_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted_ = true;
        return QObject::eventFilter(watched, event);
    }

private:
    bool painted_ = false;
};

// Runs the event loop until the watched widget has painted; false after ten seconds.
bool WaitForPaint(const PaintWatch& watch)
{
    QElapsedTimer limit;
    limit.start();
    while (!watch.Painted()) {
        if (limit.elapsed() > 10000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// One start-up as the process entry runs it: the windows in their order, the start-up
// message, showing, and the event loop until the strip's picture has painted once.
struct StartupRun {
    double startMs = 0; // start-up steps and the other windows, up to show()
    double paintMs = 0; // from show() to the strip's first paint
    bool ok = false;
};

StartupRun StartOnce(const app::TStartupOptions& options, std::unique_ptr<app::TStartup>& keep)
{
    StartupRun run;
    const auto t0 = Clock::now();
    keep = std::make_unique<app::TStartup>();
    PaintWatch watch(keep->MainWindow().Image1);
    if (!keep->Start(options))
        return run;
    run.startMs = MsSince(t0);
    const auto t1 = Clock::now();
    run.ok = keep->MainWindow().isVisible() && WaitForPaint(watch);
    run.paintMs = MsSince(t1);
    return run;
}

void Dispose(std::unique_ptr<app::TStartup>& startup)
{
    startup.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void ReportStartup(benchmark::State& state, double startMs, double paintMs)
{
    state.counters["steps_ms"] = benchmark::Counter(startMs, benchmark::Counter::kAvgIterations);
    state.counters["show_to_paint_ms"] = benchmark::Counter(paintMs, benchmark::Counter::kAvgIterations);
}

// Start-up to the main window shown and painted. The first run in a process also pays
// for Qt's own first-use work (fonts, style); the steady figure is what a start costs
// once that is in the page cache.
void BM_StartupToPainted(benchmark::State& state)
{
    const auto options = OptionsFor("PANELWICK_BENCH_STARTUP_FOLDER");
    if (!options) {
        state.SkipWithError("PANELWICK_BENCH_STARTUP_FOLDER names no program folder");
        return;
    }
    double startMs = 0;
    double paintMs = 0;
    SchedTimes sched;
    for (auto _ : state) {
        std::unique_ptr<app::TStartup> startup;
        const SchedTimes s0 = SchedTimes::Now();
        const StartupRun run = StartOnce(*options, startup);
        sched += SchedTimes::Now() - s0;
        state.PauseTiming();
        if (!run.ok || FailingBoxes::shown) {
            state.SkipWithError("the main window did not start, show and paint");
            break;
        }
        const int chosen = startup->MainWindow().comboComics->count();
        Dispose(startup);
        state.ResumeTiming();
        startMs += run.startMs;
        paintMs += run.paintMs;
        state.counters["chosen_comics"] = chosen;
    }
    ReportStartup(state, startMs, paintMs);
    ReportSched(state, sched);
}
BENCHMARK(BM_StartupToPainted)
    ->Name("StartupToPainted/first_in_process")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartupToPainted)
    ->Name("StartupToPainted/steady")
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

// The program on the folder of one comic with 10,000 strips, shown and positioned on
// its oldest strip.
struct StripsProgram {
    std::unique_ptr<app::TStartup> startup;
    std::optional<comics::TComicStrip> oldest;
    std::unique_ptr<PaintWatch> watch;
    QString error;

    StripsProgram()
    {
        const auto options = OptionsFor("PANELWICK_BENCH_STRIPS_FOLDER");
        if (!options) {
            error = QStringLiteral("PANELWICK_BENCH_STRIPS_FOLDER names no program folder");
            return;
        }
        if (!StartOnce(*options, startup).ok) {
            error = QStringLiteral("the main window did not start, show and paint");
            return;
        }
        app::TForm1& form = startup->MainWindow();
        form.activateWindow();
        QCoreApplication::processEvents();
        comics::TComicInfo* comic = form.CurrentComic();
        if (!comic) {
            error = QStringLiteral("no current comic");
            return;
        }
        // The folder's strips are daily from 1 January 2010 on.
        oldest = comics::TComicStrip::FromFileName(comic->Name + QStringLiteral("20100101.gif"),
                                                   form.StripsDB().Dir());
        if (!oldest) {
            error = QStringLiteral("unexpected strip names in the folder");
            return;
        }
        watch = std::make_unique<PaintWatch>(form.Image1);
        Rewind();
    }

    void Rewind()
    {
        app::TForm1& form = startup->MainWindow();
        form.ShowStrip(*form.CurrentComic(), oldest);
        watch->Reset();
        WaitForPaint(*watch);
    }
};

// Made by the first benchmark that needs it, and ended before the application object.
std::unique_ptr<StripsProgram> stripsProgram;

StripsProgram& Strips()
{
    if (!stripsProgram)
        stripsProgram = std::make_unique<StripsProgram>();
    return *stripsProgram;
}

// One Right key press, delivered through the application like a user's, then the event
// loop until the next strip is painted into the window (with its date).
void BM_RightKeyToPainted(benchmark::State& state)
{
    StripsProgram& program = Strips();
    if (!program.error.isEmpty()) {
        state.SkipWithError(qPrintable(program.error));
        return;
    }
    app::TForm1& form = program.startup->MainWindow();
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &form;
    double keyMs = 0;
    double paintMs = 0;
    std::int64_t steps = 0;
    SchedTimes sched;
    for (auto _ : state) {
        const QString before = form.lblCurrentDate->text();
        program.watch->Reset();
        const SchedTimes s0 = SchedTimes::Now();
        const auto t0 = Clock::now();
        QTest::keyClick(target, Qt::Key_Right);
        const double key = MsSince(t0);
        const auto t1 = Clock::now();
        const bool painted = WaitForPaint(*program.watch);
        paintMs += MsSince(t1);
        sched += SchedTimes::Now() - s0;
        keyMs += key;
        state.PauseTiming();
        if (form.NoStripsTimer->Enabled()) {
            // The newest strip was passed: start over from the oldest, untimed.
            QTest::keyClick(target, Qt::Key_Right);
            program.Rewind();
        } else if (form.lblCurrentDate->text() == before || !painted) {
            state.SkipWithError("the key press did not show and paint the next strip");
            break;
        } else {
            ++steps;
        }
        state.ResumeTiming();
    }
    state.counters["key_handling_ms"] = benchmark::Counter(keyMs, benchmark::Counter::kAvgIterations);
    state.counters["repaint_ms"] = benchmark::Counter(paintMs, benchmark::Counter::kAvgIterations);
    state.counters["strips_stepped"] = static_cast<double>(steps);
    ReportSched(state, sched);
}
BENCHMARK(BM_RightKeyToPainted)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Space with nothing unread anywhere: every chosen comic's unread list is read (100 on the
// start-up folder) before the "No unread strips" notice shows. A second Space, untimed,
// ends the notice.
void BM_SpaceWithNothingUnread(benchmark::State& state)
{
    const auto options = OptionsFor("PANELWICK_BENCH_STARTUP_FOLDER");
    std::unique_ptr<app::TStartup> startup;
    if (!options || !StartOnce(*options, startup).ok) {
        state.SkipWithError("the start-up folder did not start, show and paint");
        return;
    }
    app::TForm1& form = startup->MainWindow();
    form.activateWindow();
    QCoreApplication::processEvents();
    SchedTimes sched;
    for (auto _ : state) {
        const SchedTimes s0 = SchedTimes::Now();
        QTest::keyClick(&form, Qt::Key_Space);
        sched += SchedTimes::Now() - s0;
        state.PauseTiming();
        if (!form.NoUnreadTimer->Enabled()) {
            state.SkipWithError("Space did not end in the notice");
            break;
        }
        QTest::keyClick(&form, Qt::Key_Space);
        state.ResumeTiming();
    }
    state.counters["chosen_comics"] = form.comboComics->count();
    ReportSched(state, sched);
    Dispose(startup);
}
BENCHMARK(BM_SpaceWithNothingUnread)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Panelwick"));
    platform::MessageBoxService::Install(std::make_unique<FailingBoxes>());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (stripsProgram) {
        stripsProgram->watch.reset();
        stripsProgram->startup.reset();
        stripsProgram.reset();
    }
    return 0;
}
