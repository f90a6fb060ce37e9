// The strip area in-process on the offscreen platform: a Right key press to the next
// 900 x 300 strip painted at Actual Size, and a 1,000 x 10,000 strip in Fit Width
// repainted after the window was resized, with the memory its pictures take.
#include "app/StripPicture.h"
#include "app/StripView.h"
#include "app/StripZoom.h"
#include "app/TForm1.h"
#include "app/TStartup.h"
#include "platform/MessageBoxService.h"
#include "platform/Timer.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>

using namespace pw;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

class QuietBoxes : public platform::IMessageBoxBackend {
public:
    void Show(platform::BoxKind, const QString&, const QString& text) override
    {
        qWarning("message box during the benchmark: %s", qPrintable(text));
    }
    bool Ask(const QString&, const QString&) override { return false; }
};

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

template <class Done> bool RunUntil(Done done)
{
    QElapsedTimer limit;
    limit.start();
    while (!done()) {
        if (limit.elapsed() > 10000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// A program folder: "Wide" with 30 strips of 900 x 300, "Long" with one 1,000 x 10,000.
struct ViewProgram {
    QTemporaryDir dir;
    std::unique_ptr<app::TStartup> startup;
    std::unique_ptr<PaintWatch> watch;
    QString error;

    ViewProgram()
    {
        const QString root = dir.path() + QLatin1Char('/');
        QDir().mkpath(root + "Comics/Wide");
        QDir().mkpath(root + "Comics/Long");
        for (int i = 0; i < 30; ++i) {
            QImage strip(900, 300, QImage::Format_RGB32);
            strip.fill(QColor::fromHsv(i * 12, 200, 220));
            strip.save(root +
                       QStringLiteral("Comics/Wide/Wide201001%1.png").arg(i + 1, 2, 10, QLatin1Char('0')));
        }
        QImage tall(1000, 10000, QImage::Format_RGB32);
        for (int y = 0; y < tall.height(); ++y)
            std::fill_n(reinterpret_cast<QRgb*>(tall.scanLine(y)), tall.width(), qRgb(y % 256, 90, 160));
        tall.save(root + "Comics/Long/Long20100101.png");
        QFile cat(root + "Comics.urls");
        cat.open(QIODevice::WriteOnly);
        cat.write("Wide\thttp://127.0.0.1:9/w/\r\nLong\thttp://127.0.0.1:9/l/\r\n");
        cat.close();
        QFile ini(root + "panelwick.ini");
        ini.open(QIODevice::WriteOnly);
        ini.write(
            "[Comics]\r\nWide=1\r\nLong=1\r\nCurrentComic=Wide\r\n[Updates]\r\nUpdateProgramStart=0\r\n");
        ini.close();
        const auto options = app::TStartupOptions::Parse({QStringLiteral("--program-folder"), dir.path()},
                                                         QStringLiteral("/nonexistent/panelwick"));
        startup = std::make_unique<app::TStartup>();
        if (!options || !startup->Start(*options)) {
            error = QStringLiteral("the program did not start");
            return;
        }
        app::TForm1& form = startup->MainWindow();
        form.resize(705, 507);
        form.activateWindow();
        watch = std::make_unique<PaintWatch>(form.Image1);
        RunUntil([&] { return watch->Painted(); });
    }
    app::TForm1& Form() { return startup->MainWindow(); }
};

std::unique_ptr<ViewProgram> program;

ViewProgram& Program()
{
    if (!program)
        program = std::make_unique<ViewProgram>();
    return *program;
}

void BM_RightKeyToPainted_900x300_ActualSize(benchmark::State& state)
{
    ViewProgram& p = Program();
    if (!p.error.isEmpty()) {
        state.SkipWithError(qPrintable(p.error));
        return;
    }
    app::TForm1& form = p.Form();
    form.SetZoom(app::StripZoom());
    form.comboComics->setCurrentIndex(0);
    form.ShowComic(QStringLiteral("Wide"));
    QTest::keyClick(&form, Qt::Key_Home);
    double total = 0;
    for (auto _ : state) {
        p.watch->Reset();
        const auto t0 = Clock::now();
        QTest::keyClick(&form, Qt::Key_Right);
        const bool painted = RunUntil([&] { return p.watch->Painted(); });
        total += MsSince(t0);
        state.PauseTiming();
        if (!painted) {
            state.SkipWithError("the next strip was not painted");
            break;
        }
        if (form.NoStripsTimer->Enabled()) {
            QTest::keyClick(&form, Qt::Key_Home); // ends the notice
            QTest::keyClick(&form, Qt::Key_Home);
            RunUntil([&] { return p.watch->Painted(); });
        }
        state.ResumeTiming();
    }
    state.counters["key_to_paint_ms"] = benchmark::Counter(total, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RightKeyToPainted_900x300_ActualSize)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_FitWidthRepaintAfterResize_1000x10000(benchmark::State& state)
{
    ViewProgram& p = Program();
    if (!p.error.isEmpty()) {
        state.SkipWithError(qPrintable(p.error));
        return;
    }
    app::TForm1& form = p.Form();
    form.comboComics->setCurrentIndex(1);
    form.ShowComic(QStringLiteral("Long"));
    form.SetZoom(app::StripZoom::Fit(app::StripZoom::Mode::FitWidth));
    RunUntil([&] { return p.watch->Painted(); });
    double total = 0;
    double settled = 0;
    int width = 705;
    for (auto _ : state) {
        width = width == 705 ? 745 : 705;
        p.watch->Reset();
        const auto t0 = Clock::now();
        form.resize(width, 507);
        const bool painted = RunUntil([&] { return p.watch->Painted(); });
        total += MsSince(t0);
        state.PauseTiming();
        // The smooth copy once the size has settled: memory is the picture plus that copy.
        const bool copied = RunUntil([&] { return form.Image1->CopySize() == form.Image1->ScaledSize(); });
        settled += MsSince(t0);
        if (!painted || !copied) {
            state.SkipWithError("the strip was not repainted and copied after the resize");
            break;
        }
        state.ResumeTiming();
    }
    const QSize copy = form.Image1->CopySize();
    const QSize picture = form.Image1->picture().size();
    state.counters["resize_to_paint_ms"] = benchmark::Counter(total, benchmark::Counter::kAvgIterations);
    state.counters["resize_to_copy_ms"] = benchmark::Counter(settled, benchmark::Counter::kAvgIterations);
    state.counters["picture_mb"] = picture.width() * picture.height() * 4.0 / (1024 * 1024);
    state.counters["copy_mb"] = copy.width() * copy.height() * 4.0 / (1024 * 1024);
}
BENCHMARK(BM_FitWidthRepaintAfterResize_1000x10000)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::MessageBoxService::Install(std::make_unique<QuietBoxes>());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (program) {
        program->watch.reset();
        program->startup.reset();
        program.reset();
    }
    return 0;
}
