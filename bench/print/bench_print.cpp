// The print dialog with a 900 x 300 strip, on the offscreen platform: opening it until the
// preview has painted (goal: 150 ms), and one print to the PDF printer until the file is
// complete (goal: 300 ms). HOME points at a temporary folder, where the PDFs go.
#include "imaging/TStripDecoder.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "print/PdfOutput.h"
#include "print/TPaperPreview.h"
#include "print/TPrintForm.h"
#include "print/TPrintPreview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace pw;

namespace {

class SilentBoxes : public platform::IMessageBoxBackend {
public:
    void Show(platform::BoxKind, const QString&, const QString&) override {}
    bool Ask(const QString&, const QString&) override { return false; }
};

struct Bench {
    QTemporaryDir home;
    std::unique_ptr<platform::TIniFile> ini;
    std::unique_ptr<print::TPrintForm> dialog;

    Bench()
    {
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
        platform::MessageBoxService::Install(std::make_unique<SilentBoxes>());
        QFile file(home.path() + "/panelwick.ini");
        file.open(QIODevice::WriteOnly);
        file.write("[Printing]\r\nPrinter=Print to PDF file\r\n");
        file.close();
        ini = std::make_unique<platform::TIniFile>(file.fileName());
        const QImage strip = imaging::TStripDecoder::LoadFromFile(QStringLiteral(PANELWICK_BENCH_STRIP));
        if (strip.size() != QSize(900, 300))
            qFatal("the bench strip is not 900 x 300");
        dialog = std::make_unique<print::TPrintForm>(*ini, [strip] {
            return print::TPrintSource{strip, QStringLiteral("Bench"), QStringLiteral("1/5/24"),
                                       QDate(2024, 1, 5)};
        });
    }
};

Bench& Shared()
{
    static Bench bench;
    return bench;
}

void BM_DialogShownWithPreview(benchmark::State& state)
{
    Bench& b = Shared();
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        b.dialog->show(); // reads [Printing], fills the lists, rebuilds the preview
        b.dialog->PrintPreview1->Sheet().repaint();
        QApplication::processEvents();
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        b.dialog->hide();
        QApplication::processEvents();
    }
}

void BM_PrintToPdf(benchmark::State& state)
{
    Bench& b = Shared();
    b.dialog->show();
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        b.dialog->PrintComic();
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        QDir(print::PdfFolder()).removeRecursively();
    }
    b.dialog->hide();
}

} // namespace

// The first showing pays for fonts, styles and image plug-ins once; later ones reload the
// choices and rebuild the preview only.
BENCHMARK(BM_DialogShownWithPreview)
    ->Name("DialogFirstShowing")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DialogShownWithPreview)
    ->Name("DialogShownAgain")
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintToPdf)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
